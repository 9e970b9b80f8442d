#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/record_layout.h"
#include "sort/compare_from.h"
#include "sort/sort_in_place.h"
#include "util/file_system.h"

namespace mirdal {

// Puts one region file in magnitude order, smallest value first, keeping the
// order of equal magnitudes. A file of one record or none is not rewritten,
// and neither is one whose records are too short to hold the magnitude key
// (a layout without its magnitude field): it keeps its input order.
// Returns whether the file was rewritten.
//
// A region file up to `oneRunLimit` bytes is sorted in memory and written
// back over itself (memory: the file's size and 8 bytes a record), which is
// only for a file that a failed build throws away, such as those of its
// staging directory. A larger one goes through the sorter's runs of its size
// bands and replaces the file in one step.
inline constexpr std::int64_t kRegionOneRunBytes = 32'000'000;
bool sortRegionByMagnitude(InPlaceSorter& sorter, const std::string& regionFile, const std::string& scratch,
                           const RecordLayout& layout, std::int64_t oneRunLimit = kRegionOneRunBytes);

// Puts the index in name order, letter case ignored, keeping the order of
// equal names.
void sortIndexByName(InPlaceSorter& sorter, const std::string& indexFile, const std::string& scratch,
                     const RecordLayout& layout);

// The name order of index records.
TextFromCompare indexNameOrder(const RecordLayout& layout);

// A build gathers up to this many bytes of index records in memory and
// writes them sorted (CatalogFiles::sortIndexRuns): an index of up to about
// 1,800,000 names of 10 bytes is written once, in order; a larger one only
// needs the merge of its runs. The sort of a full run takes about 2.3 times
// its size besides.
inline constexpr std::size_t kIndexRunBytes = 32'000'000;

// Puts an index written as sorted runs (`runRecords` records each) in name
// order; one run or none is in order already.
void mergeIndexRuns(InPlaceSorter& sorter, const std::string& indexFile, const std::vector<std::int64_t>& runRecords,
                    const std::string& scratch, const RecordLayout& layout);

}  // namespace mirdal
