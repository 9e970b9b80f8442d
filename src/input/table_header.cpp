#include "input/table_header.h"

#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <optional>

#include "input/input_source.h"
#include "input/row_splitter.h"
#include "input/table_text.h"
#include "import/readme_import.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {


TableColumn numberedColumn(int number) {
  TableColumn column;
  column.number = number;
  return column;
}

// A header line that runs past kMaxTableHeaderBytes.
struct HeaderTooLong : Error {
  using Error::Error;
};

// The lines of a table's header, read through InputSource (so ".gz" files
// too) with their numbers and byte offsets. Lines end at LF with a CR before
// it dropped, or, in a text whose first block has CR but no LF, at CR.
class HeaderLines {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{64} << 10;

  HeaderLines(FileSystem& fs, const std::string& path) : source_(openInputSource(fs, path)), path_(path) {}
  ~HeaderLines() {
    try {
      source_->close();
    } catch (...) {
      // Reading is done; a failing close of a read-only file changes nothing.
    }
  }

  // The next line in `line` (valid until the next call); false at the end of the text.
  bool next(std::string_view& line) {
    begin_ = end_;
    std::size_t from = static_cast<std::size_t>(begin_ - buffered_);
    std::size_t at;
    while ((at = buffer_.find(lineEnd_, from)) == std::string::npos && !atEnd_) {
      const std::size_t searched = buffer_.size() - static_cast<std::size_t>(begin_ - buffered_);
      fill();  // the line now starts the buffer
      from = searched;
    }
    if (at == std::string::npos) {
      if (static_cast<std::size_t>(begin_ - buffered_) == buffer_.size()) return false;
      at = buffer_.size();
      end_ = buffered_ + static_cast<std::int64_t>(at);
    } else {
      end_ = buffered_ + static_cast<std::int64_t>(at) + 1;
    }
    ++number_;
    line = std::string_view(buffer_).substr(static_cast<std::size_t>(begin_ - buffered_),
                                            at - static_cast<std::size_t>(begin_ - buffered_));
    if (lineEnd_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (number_ == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      byteOrderMark_ = true;
      line.remove_prefix(kByteOrderMark.size());
    }
    if (line.find('\0') != std::string_view::npos)
      fail("holds binary data (a byte 0): it is not a text table");
    return true;
  }

  // As next, for a line that may be a row of data rather than the header:
  // one too long for a header is left to the reader of the rows.
  bool nextOfHeaderOrData(std::string_view& line) {
    try {
      return next(line);
    } catch (const HeaderTooLong&) {
      return false;
    }
  }

  std::int64_t number() const { return number_; }          // of the line handed out last
  std::int64_t offset() const { return begin_; }           // where it starts
  std::int64_t nextOffset() const { return end_; }         // where the line after it starts
  bool byteOrderMark() const { return byteOrderMark_; }
  const std::string& path() const { return path_; }

  [[noreturn]] void fail(const std::string& reason) const {
    throw Error(quoted(path_) + " line " + std::to_string(number_) + ": " + reason);
  }

 private:
  void fill() {
    // Drop what was handed out before the current line.
    const std::size_t drop = static_cast<std::size_t>(begin_ - buffered_);
    buffer_.erase(0, drop);
    buffered_ += static_cast<std::int64_t>(drop);
    if (buffered_ + static_cast<std::int64_t>(buffer_.size()) >= kMaxTableHeaderBytes)
      throw HeaderTooLong(quoted(path_) + ": no end of the header in its first " +
                  std::to_string(kMaxTableHeaderBytes >> 20) + " MiB (line " + std::to_string(number_ + 1) +
                  " runs past it)");
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kBlockSize);
    const std::size_t got = source_->read(buffer_.data() + old, kBlockSize, atEnd_);
    buffer_.resize(old + got);
    if (first_) {
      first_ = false;
      const std::string_view block(buffer_);
      if (block.find('\n') == std::string_view::npos && block.find('\r') != std::string_view::npos) lineEnd_ = '\r';
    }
  }

  std::unique_ptr<InputSource> source_;
  std::string path_;
  std::string buffer_;          // text from offset buffered_ on
  std::int64_t buffered_ = 0;
  std::int64_t begin_ = 0;      // offset of the line handed out last
  std::int64_t end_ = 0;        // offset after its line end
  std::int64_t number_ = 0;
  char lineEnd_ = '\n';
  bool atEnd_ = false;
  bool first_ = true;
  bool byteOrderMark_ = false;
};

void startDataAfter(const HeaderLines& lines, TableLayout& layout) {
  layout.dataLine = lines.number() + 1;
  layout.dataOffset = lines.nextOffset();
}

void startDataAt(const HeaderLines& lines, TableLayout& layout) {
  layout.dataLine = lines.number();
  layout.dataOffset = lines.offset();
}

// Splits a header row, which must be whole: names with line ends are not taken.
const RowSplitter& splitHeaderRow(RowSplitter& splitter, std::string_view line, const HeaderLines& lines,
                                  std::string_view what) {
  const RowStatus status = splitter.split(line);
  if (status != RowStatus::Ok)
    lines.fail("the row of " + std::string(what) + " cannot be read: " + std::string(rowStatusText(status)) +
               " (byte " + std::to_string(splitter.problemColumn()) + ")");
  return splitter;
}

bool isDashRow(const RowSplitter& row) {
  if (row.size() == 0) return false;
  for (std::size_t i = 0; i < row.size(); ++i) {
    const std::string_view c = row.cell(i);
    if (c.empty() || c.find_first_not_of('-') != std::string_view::npos) return false;
  }
  return true;
}

void readDelimited(HeaderLines& lines, TableLayout& layout, bool hasHeaderRow) {
  RowSplitter splitter(layout.delimiting);
  std::string_view line;
  bool found = false;
  while (lines.next(line))
    if (!isCommentOrBlank(line)) {
      found = true;
      break;
    }
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
  if (split && isDashRow(splitter)) {
    startDataAfter(lines, layout);
    return;
  }
  std::vector<std::string> units;
  for (std::size_t i = 0; split && i < splitter.size(); ++i) units.emplace_back(splitter.cell(i));
  if (!lines.nextOfHeaderOrData(line)) return;
  if (splitter.split(line) != RowStatus::Ok || !isDashRow(splitter)) return;
  for (std::size_t i = 0; i < units.size() && i < layout.columns.size(); ++i) layout.columns[i].unit = units[i];
  startDataAfter(lines, layout);
}

// The datatypes the ECSV standard allows.
constexpr std::array<std::string_view, 17> kEcsvDatatypes{
    "bool",    "int8",    "int16",   "int32",     "int64",      "uint8",      "uint16",    "uint32", "uint64",
    "float16", "float32", "float64", "float128", "complex64", "complex128", "complex256", "string"};

std::string scalarText(const YAML::Node& node, const std::string& what, const HeaderLines& lines,
                       std::int64_t yamlFirstLine) {
  if (node.IsNull()) return {};
  if (!node.IsScalar())
    throw Error(quoted(lines.path()) + " line " + std::to_string(yamlFirstLine + node.Mark().line) + ": " + what +
                " in the ECSV header is not a text");
  return node.Scalar();
}

void readEcsv(HeaderLines& lines, TableLayout& layout) {
  std::string_view line;
  if (!lines.next(line) || line.substr(0, 7) != "# %ECSV")
    throw Error(quoted(lines.path()) + " is not an ECSV table: its first line is not \"# %ECSV 1.0\"");
  const std::string version(trimmed(line.substr(7)));
  if (version.substr(0, 2) != "0." && version.substr(0, 2) != "1.")
    lines.fail("ECSV version \"" + version + "\" is not one this program reads (1.0 is)");

  std::string yaml;
  const std::int64_t yamlFirstLine = lines.number() + 1;
  bool names = false;
  while (lines.next(line)) {
    if (line.empty() || line.front() != '#') {
      names = true;
      break;
    }
    if (line.size() > 1 && line[1] != ' ') lines.fail("a line of the ECSV header does not start with \"# \"");
    if (line.size() > 1) yaml.append(line.substr(2));
    yaml += '\n';
  }
  const std::int64_t namesLine = lines.number();

  const YAML::Node root = [&] {
    try {
      return YAML::Load(yaml);
    } catch (const YAML::DeepRecursion& e) {
      throw Error(quoted(lines.path()) + " line " + std::to_string(yamlFirstLine + e.mark.line) +
                  ": the ECSV header nests lists or mappings more than " + std::to_string(e.depth()) + " deep");
    } catch (const YAML::Exception& e) {
      const std::int64_t at = e.mark.is_null() ? yamlFirstLine : yamlFirstLine + e.mark.line;
      throw Error(quoted(lines.path()) + " line " + std::to_string(at) + ": the ECSV header is not valid YAML: " +
                  e.msg);
    }
  }();
  const std::string where = quoted(lines.path()) + " line " + std::to_string(yamlFirstLine) + ": ";
  try {
    if (!root.IsMap()) throw Error(where + "the ECSV header is not a YAML mapping");
    const YAML::Node datatypes = root["datatype"];
    if (!datatypes || !datatypes.IsSequence() || datatypes.size() == 0)
      throw Error(where + "the ECSV header has no \"datatype\" list of columns");
    if (const YAML::Node d = root["delimiter"]) {
      const std::string delimiter = scalarText(d, "the delimiter", lines, yamlFirstLine);
      if (delimiter == ",")
        layout.delimiting = Delimiting{',', false};
      else if (delimiter != " ")
        throw Error(where + "the ECSV delimiter \"" + delimiter + "\" is neither a blank nor a comma");
    }
    for (const YAML::Node& item : datatypes) {
      const std::int64_t itemLine = yamlFirstLine + item.Mark().line;
      const std::string here = quoted(lines.path()) + " line " + std::to_string(itemLine) + ": ";
      if (!item.IsMap()) throw Error(here + "a column of the ECSV header is not a mapping");
      TableColumn column = numberedColumn(static_cast<int>(layout.columns.size()) + 1);
      if (!item["name"]) throw Error(here + "a column of the ECSV header has no name");
      column.name = scalarText(item["name"], "a column name", lines, yamlFirstLine);
      if (!item["datatype"]) throw Error(here + "column \"" + column.name + "\" of the ECSV header has no datatype");
      column.datatype = scalarText(item["datatype"], "a datatype", lines, yamlFirstLine);
      if (const YAML::Node u = item["unit"]) column.unit = scalarText(u, "a unit", lines, yamlFirstLine);
      if (const YAML::Node d = item["description"])
        column.description = scalarText(d, "a description", lines, yamlFirstLine);
      if (std::find(kEcsvDatatypes.begin(), kEcsvDatatypes.end(), column.datatype) == kEcsvDatatypes.end())
        layout.notes.push_back("line " + std::to_string(itemLine) + ": column \"" + column.name + "\" has datatype \"" +
                               column.datatype + "\", which is not one of ECSV's");
      layout.columns.push_back(std::move(column));
    }
  } catch (const YAML::Exception& e) {
    throw Error(where + "the ECSV header cannot be read: " + e.msg);
  }

  if (!names) throw Error(quoted(lines.path()) + " has no row of column names after its ECSV header");
  RowSplitter splitter(layout.delimiting);
  splitHeaderRow(splitter, line, lines, "names");
  for (std::size_t i = 0; i < std::max(splitter.size(), layout.columns.size()); ++i) {
    const std::string_view got = i < splitter.size() ? splitter.cell(i) : std::string_view("(none)");
    const std::string_view want = i < layout.columns.size() ? layout.columns[i].name : std::string_view("(none)");
    if (got != want)
      throw Error(quoted(lines.path()) + " line " + std::to_string(namesLine) +
                  ": the row of names does not repeat the ECSV header: name " + std::to_string(i + 1) + " is \"" +
                  std::string(got) + "\", the header has \"" + std::string(want) + "\"");
  }
  startDataAfter(lines, layout);
}

bool isDescriptionHeading(std::string_view t) {
  return startsWithNoCase(t, "Byte-by-byte Description") || startsWithNoCase(t, "Byte-per-byte Description");
}

// "-----" or "=====": the rules around the description and its notes.
bool isRule(std::string_view t) {
  return t.size() >= 3 && (t.front() == '-' || t.front() == '=') && t.find_first_not_of(t.front()) == std::string_view::npos;
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

void readMrt(HeaderLines& lines, TableLayout& layout) {
  // Before the description; in it (rows seen or not); after it, where the
  // first line after a rule that is not a note is the first row of data.
  enum class Part { Before, Description, After } part = Part::Before;
  bool rowsSeen = false;
  bool afterRule = false;
  bool dataFound = false;
  std::string header;
  std::string_view line;
  while (lines.next(line)) {
    const std::string_view t = trimmed(line);
    if (part == Part::After && afterRule && !t.empty() && !isRule(t) && !startsWithNoCase(t, "Note") &&
        !isDescriptionHeading(t)) {
      startDataAt(lines, layout);
      dataFound = true;
      break;
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
      afterRule = isRule(t);
    }
  }
  if (part == Part::Before)
    throw Error(quoted(lines.path()) + " is not a machine-readable table: it has no \"Byte-by-byte Description\"");
  if (part == Part::Description)
    throw Error(quoted(lines.path()) + " line " + std::to_string(lines.number()) +
                ": the byte-by-byte description is not closed by a rule line");
  std::vector<std::string> sample;
  if (!dataFound) {
    startDataAfter(lines, layout);
    layout.notes.push_back("no row of data follows the header");
  } else {
    // Within the bound of a header's text; a sample cut short by a huge
    // line is a sample all the same.
    const std::int64_t sampleEnd =
        std::min(lines.offset() + kMrtSampleBytes, kMaxTableHeaderBytes - 2 * static_cast<std::int64_t>(HeaderLines::kBlockSize));
    try {
      do {
        if (!trimmed(line).empty()) sample.emplace_back(line);
      } while (sample.size() < kMrtSampleRows && lines.nextOffset() < sampleEnd && lines.next(line));
    } catch (const Error&) {
    }
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

}  // namespace

TableLayout readTableLayout(FileSystem& fs, const std::string& path, TableForm form, bool hasHeaderRow) {
  TableLayout layout;
  layout.form = form;
  layout.delimiting = delimitingOf(form);
  if (form == TableForm::Fixed) return layout;
  HeaderLines lines(fs, path);
  switch (form) {
    case TableForm::Ecsv:
      readEcsv(lines, layout);
      break;
    case TableForm::Mrt:
      readMrt(lines, layout);
      break;
    default:
      readDelimited(lines, layout, hasHeaderRow);
      break;
  }
  layout.byteOrderMark = lines.byteOrderMark();
  // A name given twice cannot tell its columns apart.
  std::map<std::string_view, int> firstWithName;
  for (const TableColumn& column : layout.columns) {
    if (column.name.empty()) continue;
    const auto [it, isNew] = firstWithName.emplace(column.name, column.number);
    if (!isNew)
      layout.notes.push_back("columns " + std::to_string(it->second) + " and " + std::to_string(column.number) +
                             " are both named \"" + column.name + "\"");
  }
  return layout;
}

}  // namespace mirdal
