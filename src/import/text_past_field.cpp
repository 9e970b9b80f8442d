#include "import/text_past_field.h"

#include <algorithm>

#include "util/text.h"

namespace mirdal {

SampleRows readSampleRows(FileSystem& fs, const std::string& path, const InputFormat& format, std::int64_t maxRows,
                          std::size_t maxBytes, std::size_t maxLineLength) {
  SampleRows sample;
  RowSource rows(fs, path, format);
  rows.setMaxLineLength(maxLineLength);
  std::string_view row;
  std::int64_t line = 0;
  std::size_t bytes = 0;
  while (static_cast<std::int64_t>(sample.rows.size()) < maxRows && bytes < maxBytes && rows.nextLine(row, line)) {
    sample.rows.emplace_back(row);
    bytes += row.size();
  }
  return sample;
}

TextPastField textPastField(const SampleRows& sample, int firstChar, int length) {
  TextPastField past;
  past.rows = static_cast<std::int64_t>(sample.rows.size());
  if (firstChar < 1 || length < 1) return past;
  const auto start = static_cast<std::size_t>(firstChar - 1);
  const std::size_t end = start + static_cast<std::size_t>(length);
  std::size_t longest = end;
  for (const std::string& row : sample.rows) {
    if (end >= row.size() || isBlank(row[end - 1]) || isBlank(row[end])) continue;
    ++past.rowsPast;
    std::size_t stop = end;
    while (stop < row.size() && !isBlank(row[stop])) ++stop;
    longest = std::max(longest, stop);
  }
  past.widthThatHolds = static_cast<int>(longest - start);
  return past;
}

}  // namespace mirdal
