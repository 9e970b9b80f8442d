#include "input/delimited_header.h"

#include <string>
#include <vector>

#include "input/table_text.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace detail {

namespace {

bool isDashRow(const RowSplitter& row) {
  if (row.size() == 0) return false;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const std::string_view c = row.cell(i);
    if (c.empty() || c.find_first_not_of('-') != std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

void readDelimitedHeader(HeaderLines& lines, TableLayout& layout, bool hasHeaderRow) {
  // A `|` table whose first row starts and ends with a bar is drawn with
  // bars: those close its rows (see Delimiting::enclosed). A rule over the
  // first row (`+----+----+`) says so too.
  Delimiting enclosed = layout.delimiting;
  enclosed.enclosed = enclosed.separator == '|' && !enclosed.blankRuns;
  std::string_view line;
  bool found = false;
  while (lines.next(line)) {
    if (isCommentOrBlank(line)) continue;
    if (isRuleLine(line, enclosed) && (trimmed(line).front() == '+' || trimmed(line).front() == '|')) {
      layout.delimiting = enclosed;
      continue;
    }
    if (enclosed.enclosed && isEnclosedRow(line, '|')) layout.delimiting = enclosed;
    found = true;
    break;
  }
  RowSplitter splitter(layout.delimiting);
  if (!found) {
    if (hasHeaderRow) throw Error(quoted(lines.path()) + " has no row of column names");
    startDataAfter(lines, layout);
    return;
  }
  if (!hasHeaderRow) {
    // The first row counts the columns; a cell of it may hold line ends.
    std::string row(line);
    RowStatus status = splitter.split(row);
    const std::int64_t firstLine = lines.number();
    layout.dataLine = firstLine;
    layout.dataOffset = lines.offset();
    while (status == RowStatus::OpenQuote && lines.next(line)) {
      row += '\n';
      row += line;
      if (!splitter.quoteStaysOpen(line)) status = splitter.split(row);
    }
    if (status != RowStatus::Ok)
      throw Error(quoted(lines.path()) + " line " + std::to_string(firstLine) +
                  ": the first row cannot be read, so its cells cannot be counted: " +
                  std::string(rowStatusText(status)) + " (byte " + std::to_string(splitter.problemColumn()) + ")");
    for (std::size_t i = 0; i < splitter.size(); ++i) layout.columns.push_back(numberedColumn(static_cast<int>(i) + 1));
    return;
  }
  splitHeaderRow(splitter, line, lines, "names");
  for (std::size_t i = 0; i < splitter.size(); ++i) {
    TableColumn column = numberedColumn(static_cast<int>(i) + 1);
    column.name = std::string(splitter.cell(i));
    layout.columns.push_back(std::move(column));
  }
  startDataAfter(lines, layout);

  // The archive layout: a row of units and a row of dashes, or dashes only.
  if (!lines.nextOfHeaderOrData(line)) return;
  const bool split = splitter.split(line) == RowStatus::Ok;
  if (isRuleLine(line, layout.delimiting) || (split && isDashRow(splitter))) {
    startDataAfter(lines, layout);
    return;
  }
  std::vector<std::string> units;
  for (std::size_t i = 0; split && i < splitter.size(); ++i) units.emplace_back(splitter.cell(i));
  if (!lines.nextOfHeaderOrData(line)) return;
  if (!isRuleLine(line, layout.delimiting) && (splitter.split(line) != RowStatus::Ok || !isDashRow(splitter))) return;
  for (std::size_t i = 0; i < units.size() && i < layout.columns.size(); ++i) layout.columns[i].unit = units[i];
  startDataAfter(lines, layout);
}

}  // namespace detail
}  // namespace mirdal
