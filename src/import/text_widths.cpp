#include "import/text_widths.h"

#include <algorithm>
#include <charconv>

#include "input/table_form.h"

namespace mirdal {

namespace {

// A count of 1 or more written in decimal digits alone.
int positiveCount(std::string_view s) {
  int n = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  return ec == std::errc() && end == s.data() + s.size() && n > 0 ? n : 0;
}

}  // namespace

int declaredTextWidth(std::string_view d) {
  if (d.size() >= 2 && (d.front() == 'A' || d.front() == 'a'))
    if (const int n = positiveCount(d.substr(1))) return n;
  if (d.size() >= 2 && (d.back() == 'A' || d.back() == 'a'))
    if (const int n = positiveCount(d.substr(0, d.size() - 1))) return n;
  const std::size_t open = d.find('[');
  if (open == std::string_view::npos || d.back() != ']') return 0;
  std::string_view size = d.substr(open + 1, d.size() - open - 2);
  // "12*": at most 12.
  if (!size.empty() && size.back() == '*') size.remove_suffix(1);
  return positiveCount(size);
}

TextWidth textWidthOf(const TableColumn& column, const ColumnSample& seen, std::size_t rows, bool whole) {
  if (const int w = declaredTextWidth(column.datatype); w > 0) return {w, "from its datatype " + column.datatype};
  if (rows > 0)
    return {static_cast<int>(std::max<std::size_t>(seen.widest, 1)),
            std::string("the widest cell of ") + (whole ? "all " : "") + std::to_string(rows) + " rows" +
                (whole ? "" : " sampled over the data") + "; longer texts are cut"};
  return {1, "no row to measure"};
}

std::vector<TextWidth> textWidthsOf(FileSystem& fs, const std::string& path, const InputFormat& format) {
  const TableLayout layout = readInputLayout(fs, path, format);
  const bool declared = std::all_of(layout.columns.begin(), layout.columns.end(),
                                    [](const TableColumn& c) { return declaredTextWidth(c.datatype) > 0; });
  const TableSample sample = declared ? TableSample{} : readTableSample(fs, path, format);
  std::vector<TextWidth> widths;
  for (std::size_t i = 0; i < layout.columns.size(); ++i)
    widths.push_back(textWidthOf(layout.columns[i], i < sample.columns.size() ? sample.columns[i] : ColumnSample{},
                                 sample.rows, sample.whole));
  return widths;
}

}  // namespace mirdal
