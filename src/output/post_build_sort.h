#pragma once

#include <string>

#include "catalog/file_system.h"
#include "output/record_layout.h"
#include "sort/sort_in_place.h"

namespace mirdal {

// Puts one region file in magnitude order, smallest value first, keeping the
// order of equal magnitudes. A file of one record or none is not rewritten,
// and neither is one whose records are too short to hold the magnitude key
// (a layout without its magnitude field): it keeps its input order.
// Returns whether the file was rewritten.
bool sortRegionByMagnitude(InPlaceSorter& sorter, const std::string& regionFile, const std::string& scratch,
                           const RecordLayout& layout);

// Puts the index in name order, letter case ignored, keeping the order of
// equal names.
void sortIndexByName(InPlaceSorter& sorter, const std::string& indexFile, const std::string& scratch,
                     const RecordLayout& layout);

}  // namespace mirdal
