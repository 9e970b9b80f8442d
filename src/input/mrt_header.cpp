#include "input/mrt_header.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "input/readme_parser.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace detail {

namespace {

bool isDescriptionHeading(std::string_view t) {
  return startsWithNoCase(t, "Byte-by-byte Description") || startsWithNoCase(t, "Byte-per-byte Description");
}

// "-----" or "=====": the rules around the description and its notes.
bool isRule(std::string_view t) {
  return t.size() >= 3 && (t.front() == '-' || t.front() == '=') && t.find_first_not_of(t.front()) == std::string_view::npos;
}

// A rule, or the "(End)" line that closes an archive's description: what
// follows it is not the text of a note.
bool isClosing(std::string_view t) { return isRule(t) || startsWithNoCase(t, "(End)"); }

// The first line of a closing section: "History:", "Acknowledgements:",
// "Remarks and modifications:" (a label of words before a colon), never a
// row of data, which holds numbers.
bool isSectionHeading(std::string_view t) {
  const std::size_t colon = t.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > 40) return false;
  for (char c : t.substr(0, colon))
    if (!std::isalpha(static_cast<unsigned char>(c)) && c != ' ') return false;
  return std::isalpha(static_cast<unsigned char>(t.front())) != 0;
}

// The column titles "Bytes Format Units Label Explanations".
bool isTitleLine(std::string_view t) { return startsWithNoCase(t, "Bytes") && t.find("Label") != std::string_view::npos; }

// Some writers put the rows of a machine-readable table elsewhere than
// their description says: wider numbers than the format allows, or a
// column the description lists twice. A description that leaves bytes of
// the rows outside every column cannot be used as it is; the rows then
// tell where their columns stand. Columns are runs of bytes that some row
// fills, each separated by bytes no row fills; the description's columns,
// in their order, are matched to those runs so that each takes the runs
// nearest its own width (a text with blanks may span several runs, and a
// column no row fills takes none).
constexpr std::size_t kMrtSampleRows = 20000;

// The width a format such as "I2", "F5.2" or "A10" gives; 0 without one.
int formatWidth(std::string_view format) {
  std::size_t p = 0;
  while (p < format.size() && std::isalpha(static_cast<unsigned char>(format[p]))) ++p;
  int width = 0;
  for (; p < format.size() && format[p] >= '0' && format[p] <= '9' && width < 100000; ++p) width = width * 10 + (format[p] - '0');
  return width;
}
constexpr std::int64_t kMrtSampleBytes = std::int64_t{8} << 20;

void alignMrtColumns(const std::vector<std::string>& rows, TableLayout& layout) {
  std::size_t width = 0;
  for (const std::string& r : rows) width = std::max(width, r.size());
  std::vector<bool> filled(width, false);
  for (const std::string& r : rows)
    for (std::size_t p = 0; p < r.size(); ++p)
      if (!isBlank(r[p])) filled[p] = true;
  std::vector<bool> described(width, false);
  for (const TableColumn& c : layout.columns)
    for (int b = std::max(c.firstByte, 1); b <= c.lastByte && static_cast<std::size_t>(b) <= width; ++b)
      described[static_cast<std::size_t>(b - 1)] = true;
  std::size_t outside = width;
  for (std::size_t p = 0; p < width && outside == width; ++p)
    if (filled[p] && !described[p]) outside = p;
  if (outside == width) return;

  struct Run {
    int first, last;  // 1-based, inclusive
  };
  std::vector<Run> runs;
  for (std::size_t p = 0; p < width; ++p) {
    if (!filled[p]) continue;
    if (p > 0 && filled[p - 1]) {
      runs.back().last = static_cast<int>(p) + 1;
    } else {
      runs.push_back({static_cast<int>(p) + 1, static_cast<int>(p) + 1});
    }
  }
  // cost[i][j]: columns before i placed on the runs before j.
  const std::size_t n = layout.columns.size();
  const std::size_t m = runs.size();
  constexpr std::size_t kMaxRunsPerColumn = 8;
  constexpr int kUnreachable = std::numeric_limits<int>::max();
  std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1, kUnreachable));
  std::vector<std::vector<std::size_t>> from(n + 1, std::vector<std::size_t>(m + 1, 0));
  cost[0][0] = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const TableColumn& c = layout.columns[i];
    const int declared = std::max({1, c.lastByte - c.firstByte + 1, formatWidth(c.datatype)});
    for (std::size_t k = 0; k <= m; ++k) {
      int best = kUnreachable;
      std::size_t bestFrom = k;
      for (std::size_t j = k >= kMaxRunsPerColumn ? k - kMaxRunsPerColumn : 0; j < k; ++j) {
        if (cost[i][j] == kUnreachable) continue;
        const int span = runs[k - 1].last - runs[j].first + 1;
        const int v = cost[i][j] + std::abs(span - declared) + static_cast<int>(k - j - 1);
        if (v < best) {
          best = v;
          bestFrom = j;
        }
      }
      // On a tie the later column goes without a run: of two columns that
      // share a name, the first one reads the bytes.
      if (cost[i][k] != kUnreachable && cost[i][k] + declared + 1 <= best) {
        best = cost[i][k] + declared + 1;
        bestFrom = k;
      }
      cost[i + 1][k] = best;
      from[i + 1][k] = bestFrom;
    }
  }
  if (cost[n][m] == kUnreachable) return;
  std::string example;
  for (std::size_t i = n, k = m; i > 0; --i) {
    TableColumn& c = layout.columns[i - 1];
    const std::size_t j = from[i][k];
    const int declaredFirst = c.firstByte, declaredLast = c.lastByte;
    if (j == k) {
      // No row fills it: bytes past every row read as blank.
      c.firstByte = c.lastByte = static_cast<int>(width) + 1;
    } else {
      c.firstByte = runs[j].first;
      c.lastByte = runs[k - 1].last;
      if (static_cast<std::size_t>(c.firstByte) <= outside + 1 && static_cast<std::size_t>(c.lastByte) >= outside + 1)
        example = "column \"" + c.name + "\" fills bytes " + std::to_string(c.firstByte) + "-" +
                  std::to_string(c.lastByte) + " where the description says " + std::to_string(declaredFirst) + "-" +
                  std::to_string(declaredLast);
    }
    k = j;
  }
  layout.notes.push_back("the rows do not stand where the byte-by-byte description places them" +
                         (example.empty() ? std::string() : " (" + example + ")") +
                         "; each column is read where the rows have it");
}

}  // namespace

void readMrtHeader(HeaderLines& lines, TableLayout& layout) {
  // Before the description; in it (rows seen or not); after it, where the
  // first line after a rule that is not a note is the first row of data.
  // Closing sections (notes, history, "(End)" and the rules between them)
  // may stand after the description: a rule or "(End)" among the first rows
  // shows that what was taken for rows is one more of them, and the rows
  // start after it again.
  enum class Part { Before, Description, After } part = Part::Before;
  bool rowsSeen = false;
  bool afterRule = false;
  bool dataFound = false;
  std::string header;
  std::string taken;                // the text from the first row on, while it may still be a closing section
  std::vector<std::string> sample;  // its rows
  std::int64_t sampleEnd = 0;
  // Where the rows were taken to start before the last closing line: they
  // do start there when nothing but closing lines follow (a file may end
  // with a rule).
  struct Start {
    std::int64_t line = 0, offset = 0;
    std::size_t headerSize = 0;
    std::vector<std::string> sample;
  };
  std::optional<Start> fallback;
  std::string_view line;
  for (;;) {
    if (!dataFound) {
      if (!lines.next(line)) break;
    } else {
      // Within the bound of a header's text; a sample cut short by a huge
      // line is a sample all the same.
      bool more = false;
      try {
        more = sample.size() < kMrtSampleRows && lines.nextOffset() < sampleEnd && lines.next(line);
      } catch (const Error&) {
      }
      if (!more) break;
    }
    const std::string_view t = trimmed(line);
    if (dataFound) {
      if (!isClosing(t)) {
        if (!t.empty()) sample.emplace_back(line);
        taken.append(line);
        taken += '\n';
        continue;
      }
      // A rule or "(End)" after rows of data: the rows stand (the build
      // rejects such a line with its reason), and the sample ends before it.
      if (!isSectionHeading(trimmed(std::string_view(taken).substr(0, taken.find('\n'))))) {
        if (!isRule(t))
          layout.notes.push_back("line " + std::to_string(lines.number()) + ": \"" + std::string(t.substr(0, 40)) +
                                 "\" stands among the rows of data, which start at line " +
                                 std::to_string(layout.dataLine));
        break;
      }
      fallback = Start{layout.dataLine, layout.dataOffset, header.size(), std::move(sample)};
      header += taken;
      taken.clear();
      sample.clear();
      dataFound = false;
    } else if (part == Part::After && afterRule && !t.empty() && !isClosing(t) && !startsWithNoCase(t, "Note") &&
               !isDescriptionHeading(t)) {
      startDataAt(lines, layout);
      dataFound = true;
      sampleEnd = std::min(lines.offset() + kMrtSampleBytes,
                           kMaxTableHeaderBytes - 2 * static_cast<std::int64_t>(HeaderLines::kBlockSize));
      sample.emplace_back(line);
      taken.assign(line);
      taken += '\n';
      continue;
    }
    header.append(line);
    header += '\n';
    if (isDescriptionHeading(t)) {
      part = Part::Description;
      rowsSeen = false;
      continue;
    }
    if (part == Part::Description) {
      if (isRule(t) && rowsSeen) {
        part = Part::After;
        afterRule = true;
      } else if (!t.empty() && !isRule(t) && !isTitleLine(t)) {
        rowsSeen = true;
      }
    } else if (part == Part::After && !t.empty()) {
      afterRule = isClosing(t);
    }
  }
  if (part == Part::Before)
    throw Error(quoted(lines.path()) + " is not a machine-readable table: it has no \"Byte-by-byte Description\"");
  if (part == Part::Description)
    throw Error(quoted(lines.path()) + " line " + std::to_string(lines.number()) +
                ": the byte-by-byte description is not closed by a rule line");
  if (!dataFound && fallback) {
    header.resize(fallback->headerSize);
    layout.dataLine = fallback->line;
    layout.dataOffset = fallback->offset;
    sample = std::move(fallback->sample);
    dataFound = true;
  }
  if (!dataFound) {
    startDataAfter(lines, layout);
    layout.notes.push_back("no row of data follows the header");
  }

  const ReadMe readMe = parseReadMe(header);
  if (readMe.tables.empty() || readMe.tables.front().columns.empty())
    throw Error(quoted(lines.path()) + ": no column of its byte-by-byte description can be read");
  const ReadMeTable& table = readMe.tables.front();
  for (const ReadMeUnreadRow& row : table.unreadRows)
    layout.notes.push_back("line " + std::to_string(row.line) + ": \"" + row.text + "\" is not read: " + row.reason);
  for (const ReadMeColumn& c : table.columns) {
    TableColumn column = numberedColumn(static_cast<int>(layout.columns.size()) + 1);
    column.name = c.label;
    column.unit = c.units == "---" ? std::string() : c.units;
    column.description = c.explanation;
    column.datatype = c.format;
    column.firstByte = c.firstByte;
    column.lastByte = c.lastByte;
    layout.columns.push_back(std::move(column));
  }
  alignMrtColumns(sample, layout);
}

}  // namespace detail
}  // namespace mirdal
