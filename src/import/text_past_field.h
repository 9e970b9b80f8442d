#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/row_source.h"
#include "util/file_system.h"

// Whether a fixed column chosen by hand holds its texts: a selection made
// on one sample line ("A1Vn") may be shorter than the texts of other lines
// ("B8IVpMnHg"), which the build would cut to it.

namespace mirdal {

// Per byte column of a fixed-column file, how many of its first rows hold
// a non-blank byte there.
struct ColumnOccupancy {
  std::int64_t rows = 0;              // rows read
  std::vector<std::int64_t> nonBlank;  // per 0-based byte column
};

// Reads up to `maxRows` rows of `path` as `format` says (lines longer than
// `maxLineLength` are refused as the sample refuses them). Throws Error as
// RowSource does.
ColumnOccupancy readColumnOccupancy(FileSystem& fs, const std::string& path, const InputFormat& format,
                                    std::int64_t maxRows, std::size_t maxLineLength);

struct TextPastField {
  std::int64_t rows = 0;         // rows looked at
  std::int64_t rowsPast = 0;     // rows with a non-blank byte just past the field
  int widthThatHolds = 0;        // from the field's first byte to the first byte blank in every row
};

// For the field of 1-based `firstChar` and `length` bytes.
TextPastField textPastField(const ColumnOccupancy& occupancy, int firstChar, int length);

}  // namespace mirdal
