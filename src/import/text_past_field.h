#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/row_source.h"
#include "util/file_system.h"

// Whether a fixed column chosen by hand holds its texts: a selection made
// on one sample line ("A1Vn") may be shorter than the texts of other lines
// ("B8IVpMnHg"), which the build would cut to it.

namespace mirdal {

// The first rows of a fixed-column file, as far as they fit a budget.
struct SampleRows {
  std::vector<std::string> rows;
};

// Reads up to `maxRows` rows of `path` as `format` says, and no more once
// they hold `maxBytes` (lines longer than `maxLineLength` are refused as the
// sample refuses them). Throws Error as RowSource does.
SampleRows readSampleRows(FileSystem& fs, const std::string& path, const InputFormat& format, std::int64_t maxRows,
                          std::size_t maxBytes, std::size_t maxLineLength);

struct TextPastField {
  std::int64_t rows = 0;      // rows looked at
  std::int64_t rowsPast = 0;  // rows whose text runs on past the field, as the build counts a cut text
  int widthThatHolds = 0;     // from the field's first byte to the end of the longest such text
};

// For the field of 1-based `firstChar` and `length` bytes. A text runs on
// past the field where its last byte and the one after are both non-blank;
// it ends at the next blank.
TextPastField textPastField(const SampleRows& sample, int firstChar, int length);

}  // namespace mirdal
