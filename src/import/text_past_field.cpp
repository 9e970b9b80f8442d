#include "import/text_past_field.h"

#include "util/text.h"

namespace mirdal {

ColumnOccupancy readColumnOccupancy(FileSystem& fs, const std::string& path, const InputFormat& format,
                                    std::int64_t maxRows, std::size_t maxLineLength) {
  ColumnOccupancy occupancy;
  RowSource rows(fs, path, format);
  rows.setMaxLineLength(maxLineLength);
  std::string_view row;
  std::int64_t line = 0;
  while (occupancy.rows < maxRows && rows.nextLine(row, line)) {
    ++occupancy.rows;
    if (row.size() > occupancy.nonBlank.size()) occupancy.nonBlank.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c)
      if (!isBlank(row[c])) ++occupancy.nonBlank[c];
  }
  return occupancy;
}

TextPastField textPastField(const ColumnOccupancy& occupancy, int firstChar, int length) {
  TextPastField past;
  past.rows = occupancy.rows;
  if (firstChar < 1 || length < 1) return past;
  const auto start = static_cast<std::size_t>(firstChar - 1);
  std::size_t end = start + static_cast<std::size_t>(length);
  const std::vector<std::int64_t>& n = occupancy.nonBlank;
  if (end < n.size()) past.rowsPast = n[end];
  while (end < n.size() && n[end] > 0) ++end;
  past.widthThatHolds = static_cast<int>(end - start);
  return past;
}

}  // namespace mirdal
