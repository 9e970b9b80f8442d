#include "input/ipac_header.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace detail {

namespace {

// Without the blanks (and controls) at its end.
std::string_view trimmedRight(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

// The 0-based positions of the bars of a header line, which must start with one.
std::vector<std::size_t> barsOf(std::string_view line) {
  std::vector<std::size_t> bars;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] == '|') bars.push_back(i);
  return bars;
}

// The full name of a type; its one-letter short form ("i", "d") included.
// Empty for a type the format does not have.
std::string typeName(std::string_view type) {
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {"char", "c"}, {"int", "i"}, {"long", "l"}, {"double", "d"}, {"float", "f"}, {"real", "r"}, {"date", ""}};
  const std::string lower = asciiLowered(trimmed(type));
  for (auto [name, letter] : kTypes)
    if (lower == name || (!letter.empty() && lower == letter)) return std::string(name);
  return {};
}

bool isBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Writers differ on the byte under a bar: most leave it blank, some end a
// value there (it then belongs to the column on its left), some start one
// there (to the column on its right). The first rows tell which: a value
// under a bar that touches only its left or only its right neighbour. When
// rows do both, the more common wins, and the note says so. `line` is the
// first row, already read.
void placeBytesUnderBars(HeaderLines& lines, std::string_view line, bool haveLine, const std::vector<std::size_t>& bars,
                         TableLayout& layout) {
  constexpr int kRowsLookedAt = 2000;
  constexpr std::int64_t kBytesLookedAt = std::int64_t{4} << 20;
  int toLeft = 0, toRight = 0;
  std::int64_t leftLine = 0, rightLine = 0;
  for (int n = 0; haveLine && n < kRowsLookedAt; ++n) {
    for (std::size_t p : bars) {
      if (p >= line.size() || isBlankByte(line[p])) continue;
      const bool left = p > 0 && !isBlankByte(line[p - 1]);
      const bool right = p + 1 < line.size() && !isBlankByte(line[p + 1]);
      if (left == right) continue;
      if (left && toLeft++ == 0) leftLine = lines.number();
      if (right && toRight++ == 0) rightLine = lines.number();
    }
    if (lines.nextOffset() - layout.dataOffset > kBytesLookedAt) break;
    haveLine = lines.nextOfHeaderOrData(line);
  }
  if (toLeft == 0 && toRight == 0) return;
  const bool leftWins = toLeft >= toRight;
  std::string note = leftWins ? "the rows end values under the bar that closes their column (line " +
                                    std::to_string(leftLine) + "): a column's bytes run through its closing bar"
                              : "the rows start values under the bar that opens their column (line " +
                                    std::to_string(rightLine) + "): a column's bytes start at its opening bar";
  if (toLeft > 0 && toRight > 0)
    note += " (" + std::to_string(std::max(toLeft, toRight)) + " values against " +
            std::to_string(std::min(toLeft, toRight)) + " the other way, from line " +
            std::to_string(leftWins ? rightLine : leftLine) + ")";
  layout.notes.push_back(std::move(note));
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    if (leftWins) layout.columns[i].lastByte = static_cast<int>(bars[i + 1]) + 1;
    else layout.columns[i].firstByte = static_cast<int>(bars[i]) + 1;
  }
}

}  // namespace

void readIpacHeader(HeaderLines& lines, TableLayout& layout) {
  std::string_view line;
  bool found = false;
  while (lines.next(line)) {
    if (!line.empty() && line.front() == '\\') continue;
    if (trimmed(line).empty()) continue;
    found = true;
    break;
  }
  if (!found || line.front() != '|')
    throw Error(quoted(lines.path()) + (found ? " line " + std::to_string(lines.number()) : std::string()) +
                ": no line of column names delimited by bars (\"|\") after the \"\\\" lines");
  const std::string_view namesLine = trimmedRight(line);
  const std::vector<std::size_t> bars = barsOf(namesLine);
  if (bars.size() < 2 || bars.back() + 1 != namesLine.size())
    throw Error(quoted(lines.path()) + " line " + std::to_string(lines.number()) +
                ": the line of column names does not end with a bar (\"|\")");
  for (std::size_t i = 0; i + 1 < bars.size(); ++i) {
    if (bars[i + 1] == bars[i] + 1)
      throw Error(quoted(lines.path()) + " line " + std::to_string(lines.number()) + ": column " +
                  std::to_string(i + 1) + " has no bytes between its bars");
    TableColumn column = numberedColumn(static_cast<int>(i) + 1);
    column.name = std::string(trimmed(namesLine.substr(bars[i] + 1, bars[i + 1] - bars[i] - 1)));
    column.firstByte = static_cast<int>(bars[i]) + 2;
    column.lastByte = static_cast<int>(bars[i + 1]);
    column.nullValue = "null";
    layout.columns.push_back(std::move(column));
  }
  startDataAfter(lines, layout);

  // Types, units and null markers follow in that order, each line with the
  // bars of the names.
  bool haveLine = false;
  for (int extra = 0; (haveLine = lines.nextOfHeaderOrData(line)); ++extra) {
    if (extra == 3 || line.empty() || line.front() != '|') break;
    const std::string_view t = trimmedRight(line);
    if (barsOf(t) != bars)
      throw Error(quoted(lines.path()) + " line " + std::to_string(lines.number()) +
                  ": its bars (\"|\") do not stand where those of the line of column names do");
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
      TableColumn& column = layout.columns[i];
      const std::string_view cell = trimmed(t.substr(bars[i] + 1, bars[i + 1] - bars[i] - 1));
      if (extra == 0) {
        column.datatype = typeName(cell);
        if (column.datatype.empty() && !cell.empty())
          layout.notes.push_back("line " + std::to_string(lines.number()) + ": column \"" + column.name +
                                 "\" has the type \"" + std::string(cell) +
                                 "\", none of char, int, long, double, float, real, date: read from its values");
      } else if (extra == 1) {
        column.unit = std::string(cell);
      } else if (!cell.empty()) {
        column.nullValue = std::string(cell);
      }
    }
    startDataAfter(lines, layout);
  }
  placeBytesUnderBars(lines, line, haveLine, bars, layout);
}

}  // namespace detail
}  // namespace mirdal
