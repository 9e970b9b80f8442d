#include "input/table_form.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "input/input_source.h"
#include "input/row_splitter.h"
#include "input/table_forms.h"
#include "input/table_header.h"
#include "input/table_text.h"
#include "util/error.h"
#include "util/interrupt.h"
#include "util/text.h"

namespace mirdal {

namespace {

// The separated forms in the order detection prefers them when the content
// allows several alike and the name says nothing.
constexpr std::array<TableForm, 4> kSeparatedForms{TableForm::Csv, TableForm::Tsv, TableForm::Psv,
                                                   TableForm::Semicolon};

// The form a file name announces: ".csv", ".tsv", ".psv", ".ecsv", ".mrt",
// also before ".gz", ".bz2", ".xz" or ".zst".
std::optional<TableForm> formOfName(std::string_view path) {
  for (std::string_view packed : {".gz", ".bz2", ".xz", ".zst"})
    if (endsWithNoCase(path, packed)) path.remove_suffix(packed.size());
  for (auto [form, ext] : {std::pair{TableForm::Csv, ".csv"}, {TableForm::Tsv, ".tsv"}, {TableForm::Psv, ".psv"},
                           {TableForm::Ecsv, ".ecsv"}, {TableForm::Mrt, ".mrt"}})
    if (endsWithNoCase(path, ext)) return form;
  return std::nullopt;
}

// Tab, LF, VT, FF, CR, and the DOS end-of-file byte are text.
bool isControlByte(unsigned char c) { return c < 32 && (c < 9 || c > 13) && c != 26; }

void refuseBinary(std::string_view text, std::string_view path) {
  refuseUnreadCompression(text, path);
  std::size_t controls = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0)
      throw Error("\"" + std::string(path) + "\" is not a text table: it holds binary data (a byte 0 at offset " +
                  std::to_string(i) + ")");
    if (isControlByte(c)) ++controls;
  }
  if (controls * 100 > text.size())
    throw Error("\"" + std::string(path) + "\" is not a text table: it holds binary data (" + std::to_string(controls) +
                " control bytes in its first " + std::to_string(text.size()) + ")");
}

// The cells of each row under one delimiting; a quoted cell that holds a
// line end joins the lines it spans. Rows that cannot be split are counted.
struct SplitRows {
  std::vector<std::vector<std::string>> cells;
  std::size_t refused = 0;
};

SplitRows splitRows(const std::vector<std::string_view>& rows, Delimiting delimiting, std::size_t maxRows) {
  SplitRows out;
  RowSplitter splitter(delimiting);
  std::string joined;
  for (std::size_t r = 0; r < rows.size() && out.cells.size() < maxRows; ++r) {
    std::string_view row = rows[r];
    if (isRuleLine(row, delimiting)) continue;
    RowStatus status = splitter.split(row);
    if (status == RowStatus::OpenQuote) {
      joined.assign(row);
      for (int extra = 0; status == RowStatus::OpenQuote && extra < 100 && r + 1 < rows.size(); ++extra) {
        joined += '\n';
        joined += rows[++r];
        status = splitter.split(joined);
      }
    }
    if (status != RowStatus::Ok) {
      ++out.refused;
      continue;
    }
    std::vector<std::string>& cells = out.cells.emplace_back();
    for (std::size_t i = 0; i < splitter.size(); ++i) cells.emplace_back(splitter.cell(i));
  }
  return out;
}

// The form's delimiting, enclosed when every row of a `|`-separated text
// that is not a rule starts and ends with a bar (as the header reader
// decides from the first row: see readDelimitedHeader).
Delimiting delimitingOfRows(TableForm form, const std::vector<std::string_view>& rows) {
  Delimiting delimiting = delimitingOf(form);
  if (delimiting.separator != '|' || delimiting.blankRuns) return delimiting;
  Delimiting enclosed = delimiting;
  enclosed.enclosed = true;
  bool any = false;
  for (std::string_view row : rows) {
    if (isRuleLine(row, enclosed)) continue;
    if (!isEnclosedRow(row, '|')) return delimiting;
    any = true;
  }
  return any ? enclosed : delimiting;
}

// Every row has the same number of cells, at least two.
bool consistent(const SplitRows& rows) {
  if (rows.refused != 0 || rows.cells.empty() || rows.cells.front().size() < 2) return false;
  return std::all_of(rows.cells.begin(), rows.cells.end(),
                     [&](const auto& cells) { return cells.size() == rows.cells.front().size(); });
}

// Each column of blank-separated values starts or ends at the same byte in
// every row: a fixed-column table that happens to have no empty field.
bool aligned(const std::vector<std::string_view>& rows) {
  RowSplitter splitter(Delimiting{' ', true});
  std::vector<std::pair<std::size_t, std::size_t>> first;  // begin and end of each cell of row 1
  std::vector<bool> startsAgree, endsAgree;
  for (std::string_view row : rows) {
    if (splitter.split(row) != RowStatus::Ok) return false;
    std::vector<std::pair<std::size_t, std::size_t>> bounds;
    for (const CellSpan& s : splitter.spans())
      bounds.emplace_back(s.offset - (s.quoted ? 1 : 0), s.offset + s.length + (s.quoted ? 1 : 0));
    if (first.empty()) {
      first = bounds;
      startsAgree.assign(first.size(), true);
      endsAgree.assign(first.size(), true);
      continue;
    }
    if (bounds.size() != first.size()) return false;
    for (std::size_t i = 0; i < first.size(); ++i) {
      startsAgree[i] = startsAgree[i] && bounds[i].first == first[i].first;
      endsAgree[i] = endsAgree[i] && bounds[i].second == first[i].second;
    }
  }
  for (std::size_t i = 0; i < first.size(); ++i)
    if (!startsAgree[i] && !endsAgree[i]) return false;
  return true;
}

// "12", "-0.5", "+1.2e-3", ".5", "nan", "inf": what a column of numbers holds.
bool looksNumeric(std::string_view s) {
  s = trimmed(s);
  if (s.empty()) return false;
  const std::string lower = asciiLowered(s);
  std::string_view t = lower;
  if (t.front() == '+' || t.front() == '-') t.remove_prefix(1);
  if (t == "nan" || t == "inf" || t == "infinity") return true;
  std::size_t i = 0, digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'd')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const std::size_t b = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    if (i == b) return false;
  }
  return i == t.size();
}

bool isDashes(std::string_view cell) {
  cell = trimmed(cell);
  return !cell.empty() && cell.find_first_not_of('-') == std::string_view::npos;
}

// See detectTableForm: names that are not numbers, over numbers.
bool firstRowNamesColumns(const SplitRows& rows) {
  if (rows.cells.empty()) return false;
  const std::vector<std::string>& names = rows.cells.front();
  std::set<std::string_view> seen;
  for (const std::string& name : names)
    if (trimmed(name).empty() || looksNumeric(name) || !seen.insert(name).second) return false;
  if (rows.cells.size() == 1) return true;
  // The archive layout: names, perhaps units, then a row of dashes.
  for (std::size_t r = 1; r <= 2 && r < rows.cells.size(); ++r) {
    const auto& cells = rows.cells[r];
    if (!cells.empty() && std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return isDashes(c); }))
      return true;
  }
  for (std::size_t r = 1; r < rows.cells.size(); ++r)
    for (std::size_t c = 0; c < rows.cells[r].size() && c < names.size(); ++c)
      if (looksNumeric(rows.cells[r][c])) return true;
  return false;
}

// The second header line of an IPAC table: a type in every column.
bool isIpacTypeLine(std::string_view line) {
  static const std::set<std::string, std::less<>> kTypes = {"c", "char", "d", "double", "r", "real", "f", "float",
                                                           "i", "int", "integer", "l", "long", "date", "s", "string"};
  std::size_t types = 0;
  for (std::size_t at = 1; at < line.size();) {
    std::size_t bar = line.find('|', at);
    if (bar == std::string_view::npos) bar = line.size();
    const std::string_view cell = trimmed(line.substr(at, bar - at));
    if (bar < line.size() || !cell.empty()) {
      if (!kTypes.contains(asciiLowered(cell))) return false;
      ++types;
    }
    at = bar + 1;
  }
  return types > 0;
}

// An IPAC table: the first line other than `\` lines and blanks starts
// with a bar, and so do the header lines after it, while the first row of
// data does not. A table drawn with bars has its rows between bars too. A
// whole text that ends after its header lines is an IPAC table without
// rows when its second line gives the columns' types.
bool isIpacText(const std::vector<std::string_view>& lines, bool complete) {
  std::size_t i = 0;
  while (i < lines.size() && (trimmed(lines[i]).empty() || lines[i].front() == '\\')) ++i;
  if (i == lines.size() || lines[i].front() != '|') return false;
  const std::size_t first = i;
  std::size_t headerLines = 0;
  for (; i < lines.size() && !lines[i].empty() && lines[i].front() == '|'; ++i)
    if (++headerLines > 4) return false;
  while (i < lines.size() && trimmed(lines[i]).empty()) ++i;
  if (i == lines.size()) return complete && headerLines >= 2 && isIpacTypeLine(trimmed(lines[first + 1]));
  return trimmed(lines[i]).front() != '|';
}

}  // namespace

Delimiting delimitingOf(TableForm form) { return tableFormRow(form).delimiting; }

DetectedForm detectTableFormOfText(std::string_view text, std::string_view path, bool complete) {
  // A FITS file starts with its first 80-byte header card; a VOTable is an
  // XML document whose root is VOTABLE.
  if (text.substr(0, 9) == "SIMPLE  =") return {TableForm::Fits, true};
  {
    // An XML document in UTF-16 starts with its byte order mark (the XML
    // parser reads it so); its ASCII characters are looked at as bytes.
    std::string narrowed;
    std::string_view xml = text;
    const bool little = text.starts_with("\xFF\xFE"), big = text.starts_with("\xFE\xFF");
    if (little || big) {
      for (std::size_t i = 2; i + 1 < std::min<std::size_t>(text.size(), 8192); i += 2) {
        const char low = text[little ? i : i + 1], high = text[little ? i + 1 : i];
        narrowed += high == 0 && static_cast<unsigned char>(low) < 0x80 ? low : '?';
      }
      xml = narrowed;
    }
    const std::string_view head = withoutByteOrderMark(xml.substr(0, 4096));
    const std::string_view t = trimmed(head);
    if (!t.empty() && t.front() == '<' && (head.find("<VOTABLE") != std::string_view::npos ||
                                           head.find(":VOTABLE") != std::string_view::npos))
      return {TableForm::VoTable, true};
  }
  refuseBinary(text, path);
  text = withoutByteOrderMark(text);
  const std::vector<std::string_view> lines = splitTextLines(text, complete);

  for (std::string_view line : lines) {
    const std::string_view t = trimmed(line);
    if (t.empty()) continue;
    if (startsWithNoCase(t, "# %ECSV")) return {TableForm::Ecsv, true};
    break;
  }
  if (isIpacText(lines, complete)) return {TableForm::Ipac, true};
  for (std::string_view line : lines) {
    const std::string_view t = trimmed(line);
    if (startsWithNoCase(t, "Byte-by-byte Description") || startsWithNoCase(t, "Byte-per-byte Description"))
      return {TableForm::Mrt, true};
  }

  std::vector<std::string_view> rows;
  for (std::string_view line : lines)
    if (!isCommentOrBlank(line)) rows.push_back(line);
  if (rows.empty()) return {formOfName(path).value_or(TableForm::Fixed), false};

  // Enough rows to see a ragged table, few enough to stay quick.
  constexpr std::size_t kRowsLookedAt = 200;
  const std::optional<TableForm> named = formOfName(path);
  std::optional<TableForm> best;
  std::size_t bestCells = 0;
  SplitRows bestRows;
  for (TableForm form : kSeparatedForms) {
    const Delimiting delimiting = delimitingOfRows(form, rows);
    SplitRows split = splitRows(rows, delimiting, kRowsLookedAt);
    if (!consistent(split)) continue;
    const std::size_t cells = split.cells.front().size();
    if (delimiting.enclosed) {
      // Bars at both ends of every row say more than a name or commas in the cells.
      best = form;
      bestRows = std::move(split);
      break;
    }
    const bool isNamed = named && form == *named;
    const bool bestIsNamed = best && named && *best == *named;
    if (isNamed || (!bestIsNamed && cells > bestCells)) {
      best = form;
      bestCells = cells;
      bestRows = std::move(split);
    }
  }
  if (!best && named && isDelimited(*named) && *named != TableForm::Ecsv) {
    best = named;
    bestRows = splitRows(rows, delimitingOfRows(*named, rows), kRowsLookedAt);
  }
  if (!best) {
    SplitRows split = splitRows(rows, delimitingOf(TableForm::Blanks), kRowsLookedAt);
    const std::vector<std::string_view> looked(rows.begin(), rows.begin() + std::min(rows.size(), kRowsLookedAt));
    if (!consistent(split) || aligned(looked)) return {TableForm::Fixed, false};
    best = TableForm::Blanks;
    bestRows = std::move(split);
  }
  return {*best, firstRowNamesColumns(bestRows)};
}

DetectedForm detectTableForm(FileSystem& fs, const std::string& path) {
  const std::unique_ptr<InputSource> source = openInputSource(fs, path);
  std::string sample(kDetectionSampleBytes, '\0');
  bool atEnd = false;
  sample.resize(source->read(sample.data(), sample.size(), atEnd));
  // A header line of tens of thousands of columns is longer than the
  // sample: more is read, up to the bound of a header, until the first
  // lines are whole, so that its form is seen rather than a cut line.
  constexpr std::size_t kLinesWanted = 8;
  while (!atEnd && sample.size() < static_cast<std::size_t>(kMaxTableHeaderBytes) &&
         static_cast<std::size_t>(std::count_if(sample.begin(), sample.end(),
                                                [](char c) { return c == '\n' || c == '\r'; })) < kLinesWanted) {
    stopIfInterrupted();
    const std::size_t had = sample.size();
    sample.resize(std::min(had * 2, static_cast<std::size_t>(kMaxTableHeaderBytes)));
    sample.resize(had + source->read(sample.data() + had, sample.size() - had, atEnd));
  }
  if (!atEnd) {
    // A file of exactly the sample's size is complete too.
    char extra = 0;
    bool extraAtEnd = false;
    atEnd = source->read(&extra, 1, extraAtEnd) == 0;
  }
  source->close();
  return detectTableFormOfText(sample, path, atEnd);
}

}  // namespace mirdal
