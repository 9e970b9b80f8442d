#pragma once

// A bounded look at the rows of a catalog that may be any size: a release
// of thousands of parts, each of many gigabytes, is never read whole to
// propose a project. The rows are taken from the parts spread over the
// release, and within a plain text file from its head, evenly spaced
// places and its tail, so that widths and the faintest magnitude see more
// than the first rows.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "input/row_source.h"
#include "util/file_system.h"

namespace mirdal {

struct SampleBudget {
  std::size_t rows = 0;   // rows at most, over all the parts
  std::size_t bytes = 0;  // bytes of text at most, over all the parts
};

// What a sample read.
struct SampleExtent {
  std::size_t rows = 0;         // rows handed on
  std::size_t partsRead = 0;    // parts looked at
  std::size_t parts = 0;        // parts in all
  bool whole = true;            // every row of every part was handed on
  std::int64_t bytesInAll = 0;  // the parts' sizes added up (compressed sizes as they are)

  // "all 12000 rows of 3 files", "200000 rows spread over 16 of 3000 files (1.2 GB)".
  std::string describe() const;
};

// The parts a sample reads: all of them up to `most`, else `most` evenly
// spaced ones, the first and the last among them.
std::vector<std::size_t> sampledParts(std::size_t parts, std::size_t most);

// Hands each text row of a sample of `paths` to `row`: the rows of each
// sampled part as RowSource gives them, up to its share of `budget`; where
// a plain (not compressed) file holds more, the rest of its share comes
// from windows of whole lines at evenly spaced places after the head, the
// last one ending at the file's end. Rows of a window that are comments or
// blank in a delimited form are passed over. FITS and VOTable files give no
// text rows: `typed` is called with the open source and the number of rows
// it may read, returns the rows it read and sets `more` when rows were left.
// `partOpened`, when given, is called with each part's source once its
// header is read, before any of its rows. While an import keeps what it
// reads (input/kept_reads.h), a compressed text part starts with the rows
// an earlier sample kept of it and reads on from its kept source. Throws
// Error as RowSource does.
using TypedSample = std::function<std::size_t(RowSource& source, std::size_t rows, bool& more)>;
SampleExtent sampleRows(FileSystem& fs, const std::vector<std::string>& paths, const InputFormat& format,
                        SampleBudget budget, const std::function<void(std::string_view row)>& row,
                        const TypedSample& typed = {},
                        const std::function<void(RowSource& source)>& partOpened = {});

// The number of parts a sample reads at most.
constexpr std::size_t kSampledPartsMost = 16;

}  // namespace mirdal
