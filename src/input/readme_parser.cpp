#include "input/readme_parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <optional>

#include "catalog/project_file.h"
#include "util/error.h"
#include "util/interrupt.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr auto isDigit = isAsciiDigit;
constexpr auto isLetter = isAsciiLetter;

// A byte number of a table row: 1 to 7 digits, 1..kMaxSlotValue.
bool readByteNumber(std::string_view s, std::size_t& pos, int& value) {
  std::size_t b = pos;
  while (pos < s.size() && isDigit(s[pos]) && pos - b < 8) ++pos;
  if (pos == b || pos - b > 7 || (pos < s.size() && isDigit(s[pos]))) return false;
  int v = 0;
  std::from_chars(s.data() + b, s.data() + pos, v);
  if (v < 1 || v > kMaxSlotValue) return false;
  value = v;
  return true;
}

// "A10", "I4", "F5.2", "E9.3", "D24.17": letter, width, optional decimals.
bool isFormat(std::string_view f) {
  if (f.size() < 2) return false;
  const char letter = asciiUpper(f[0]);
  if (letter != 'A' && letter != 'I' && letter != 'F' && letter != 'E' && letter != 'D') return false;
  std::size_t i = 1;
  while (i < f.size() && isDigit(f[i])) ++i;
  if (i == 1 || i - 1 > 7) return false;
  if (i == f.size()) return true;
  if (f[i] != '.' || letter == 'A' || letter == 'I') return false;
  std::size_t j = ++i;
  while (i < f.size() && isDigit(f[i])) ++i;
  return i == f.size() && i > j && i - j <= 3;
}

// A row "  1-  4  I4     ---     HR       [1/9110]+ Harvard Revised Number",
// or "     42  A1  ---  IRflag  ..." for one byte: range, format, units, label,
// explanation. Words are told apart by blanks only, so a row without units
// cannot be told from one without explanation; units must be there. Returns
// why the line is not a row, or nothing when `column` was filled.
std::optional<std::string> parseColumnLine(std::string_view line, ReadMeColumn& column) {
  static const std::string kBadNumber = "a byte number is not 1 to " + std::to_string(kMaxSlotValue);
  std::size_t p = 0;
  while (p < line.size() && isBlank(line[p])) ++p;
  int first = 0, last = 0;
  if (!readByteNumber(line, p, first)) return kBadNumber;
  std::size_t q = p;
  while (q < line.size() && line[q] == ' ') ++q;
  if (q < line.size() && line[q] == '-') {
    ++q;
    while (q < line.size() && line[q] == ' ') ++q;
    if (!readByteNumber(line, q, last)) return kBadNumber;
    p = q;
  } else {
    last = first;
  }
  if (last < first)
    return "the byte range " + std::to_string(first) + "-" + std::to_string(last) + " runs backwards";
  if (p >= line.size() || !isBlank(line[p])) return std::string("no blank and format after the bytes");
  std::string_view rest = line.substr(p);
  const std::string_view format = nextToken(rest);
  if (!isFormat(format))
    return "\"" + std::string(format) + "\" is not a format (A, I, F, E or D with a width, such as F5.2)";
  const std::string_view units = nextToken(rest);
  const std::string_view label = nextToken(rest);
  if (label.empty()) return std::string("no units and label after the format");
  column.firstByte = first;
  column.lastByte = last;
  column.format = std::string(format);
  column.units = std::string(units);
  column.label = std::string(label);
  column.explanation = std::string(trimmed(rest));
  return std::nullopt;
}

// "-----" or "=====" rules around and between tables.
bool isRule(std::string_view trimmedLine) {
  if (trimmedLine.size() < 3) return false;
  const char c = trimmedLine.front();
  if (c != '-' && c != '=') return false;
  return std::all_of(trimmedLine.begin(), trimmedLine.end(), [c](char x) { return x == c; });
}

bool isHeaderLine(std::string_view line) {
  return findNoCase(line, "bytes") != std::string_view::npos && findNoCase(line, "format") != std::string_view::npos &&
         findNoCase(line, "label") != std::string_view::npos;
}

// Adds the file names of `text` to `names`: words told apart by blanks,
// commas or semicolons, up to a parenthesised remark; "and" is no name.
void addFileNames(std::string_view text, std::vector<std::string>& names) {
  for (;;) {
    std::string_view token = nextToken(text);
    if (token.empty() || token.front() == '(') break;
    while (!token.empty()) {
      const std::size_t cut = token.find_first_of(",;");
      const std::string_view name = token.substr(0, cut);
      if (!name.empty() && !equalNoCase(name, "and")) names.emplace_back(name);
      if (cut == std::string_view::npos) break;
      token.remove_prefix(cut + 1);
    }
  }
}

// "Byte-by-byte Description of file: catalog", also written "Byte-per-byte",
// and "of files: table1.dat table2.dat". Returns false for other lines.
bool parseHeading(std::string_view trimmedLine, std::vector<std::string>& names) {
  if (!startsWithNoCase(trimmedLine, "byte-")) return false;
  const std::size_t d = findNoCase(trimmedLine, "description");
  if (d == std::string_view::npos || d > 16) return false;
  std::string_view rest = trimmedLine.substr(d + 11);
  const std::size_t colon = rest.find(':');
  if (colon != std::string_view::npos) {
    rest.remove_prefix(colon + 1);
  } else {
    const std::size_t f = findNoCase(rest, "file");
    rest = f == std::string_view::npos ? std::string_view{} : rest.substr(f + 4);
    if (startsWithNoCase(rest, "s")) rest.remove_prefix(1);
  }
  names.clear();
  addFileNames(rest, names);
  return true;
}

// "table1.dat", "table*.dat", "t[12].dat": a word that names a file, with a
// dot or a wildcard in it.
bool isFileNameWord(std::string_view word) {
  if (word.find_first_of(".*?[") == std::string_view::npos) return false;
  return std::all_of(word.begin(), word.end(), [](char c) {
    return isDigit(c) || isLetter(c) || std::string_view("._-+*?[]!^~/").find(c) != std::string_view::npos;
  });
}

// A line under a heading that goes on with its file names:
// "                                   table3.dat table4.dat".
bool continuesFileNames(std::string_view trimmedLine) {
  std::vector<std::string> names;
  addFileNames(trimmedLine, names);
  if (names.empty()) return false;
  return std::all_of(names.begin(), names.end(), [](const std::string& n) { return isFileNameWord(n); });
}

std::string collapseBlanks(std::string_view s) {
  std::string out;
  for (char c : trimmed(s)) {
    if (isBlank(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// "V/50           Bright Star Catalogue, 5th Revised Ed.     (Hoffleit+, 1991)"
void parseTitleLine(std::string_view line, ReadMe& readMe) {
  if (!isPrintableAscii(line)) return;
  std::string_view rest = line;
  const std::string_view designation = nextToken(rest);
  if (designation.find('/') == std::string_view::npos || designation.size() > 40) return;
  std::string_view title = trimmed(rest);
  if (!title.empty() && title.back() == ')') {
    int depth = 0;
    for (std::size_t i = title.size(); i-- > 0;) {
      if (title[i] == ')') ++depth;
      if (title[i] == '(' && --depth == 0) {
        title = trimmed(title.substr(0, i));
        break;
      }
    }
  }
  readMe.designation = std::string(designation);
  readMe.title = collapseBlanks(title);
}

class ReadMeParser {
 public:
  void line(std::string_view text) {
    ++lineNumber_;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::string_view t = trimmed(text);
    if (!sawFirstLine_ && !t.empty()) {
      sawFirstLine_ = true;
      parseTitleLine(t, readMe_);
    }
    std::vector<std::string> names;
    if (parseHeading(t, names)) {
      closeTable();
      open_ = true;
      table_ = ReadMeTable{};
      table_.fileNames = std::move(names);
      canContinue_ = false;
      namesGoOn_ = true;
      return;
    }
    if (!open_) return;
    if (namesGoOn_ && !t.empty() && continuesFileNames(t)) {
      addFileNames(t, table_.fileNames);
      return;
    }
    namesGoOn_ = false;
    if (t.empty()) {
      canContinue_ = false;
      return;
    }
    if (isRule(t)) {
      if (hasRows()) closeTable();
      return;
    }
    ReadMeColumn column;
    const std::optional<std::string> problem = parseColumnLine(text, column);
    if (!problem) {
      formatColumn_ = text.find(column.format, text.find_first_not_of(" \t"));
      table_.columns.push_back(std::move(column));
      canContinue_ = true;
      return;
    }
    if (looksLikeRow(text)) {
      // Kept for the notes: silently dropped, the row's column would be
      // missing and another column could take its place.
      table_.unreadRows.push_back(ReadMeUnreadRow{lineNumber_, std::string(t), *problem});
      canContinue_ = false;
      return;
    }
    if (!hasRows()) return;  // header line or other text before the rows
    if (isBlank(text.front())) {
      if (canContinue_ && !isHeaderLine(t)) {
        std::string& e = table_.columns.back().explanation;
        if (!e.empty()) e += ' ';
        e.append(t);
      }
      return;
    }
    closeTable();  // "Note (1): ..." and the like end a table without its closing rule
  }

  ReadMe finish() {
    closeTable();
    return std::move(readMe_);
  }

  void markTruncated() { readMe_.truncated = true; }

 private:
  bool hasRows() const { return !table_.columns.empty() || !table_.unreadRows.empty(); }

  // A line that starts with a byte number or range ("42 ", "4- 1 ") left of
  // the rows' format column is meant as a row; continuation lines of
  // explanations stand further right, or start otherwise ("2-digit years").
  bool looksLikeRow(std::string_view text) const {
    const std::size_t formatColumn = formatColumn_ == std::string_view::npos ? kFirstFormatColumn : formatColumn_;
    std::size_t p = text.find_first_not_of(" \t");
    if (p == std::string_view::npos || p >= formatColumn) return false;
    auto digits = [&] {
      const std::size_t b = p;
      while (p < text.size() && isDigit(text[p])) ++p;
      return p > b;
    };
    auto blanks = [&] {
      while (p < text.size() && text[p] == ' ') ++p;
    };
    if (!digits()) return false;
    const std::size_t afterFirst = p;
    blanks();
    if (p < text.size() && text[p] == '-') {
      ++p;
      blanks();
      if (!digits()) return false;
    } else {
      p = afterFirst;
    }
    return p == text.size() || isBlank(text[p]);
  }

  void closeTable() {
    if (open_ && hasRows()) readMe_.tables.push_back(std::move(table_));
    open_ = false;
    canContinue_ = false;
    namesGoOn_ = false;
    formatColumn_ = std::string_view::npos;
    table_ = ReadMeTable{};
  }

  // Where the format stands before any row was read: byte ranges take up to
  // "1000000-1000001" plus the blanks around them.
  static constexpr std::size_t kFirstFormatColumn = 16;

  ReadMe readMe_;
  ReadMeTable table_;
  bool open_ = false;
  bool canContinue_ = false;
  bool namesGoOn_ = false;  // the lines after a heading may name more files
  bool sawFirstLine_ = false;
  int lineNumber_ = 0;
  std::size_t formatColumn_ = std::string_view::npos;  // of the last row read
};

// Splits bytes into lines at LF, cutting each to kMaxReadMeLineLength bytes.
class LineSplitter {
 public:
  explicit LineSplitter(ReadMeParser& parser) : parser_(parser) {}

  void feed(std::string_view bytes) {
    while (!bytes.empty()) {
      const std::size_t lf = bytes.find('\n');
      const std::string_view part = bytes.substr(0, lf);
      if (line_.size() < kMaxReadMeLineLength)
        line_.append(part.substr(0, kMaxReadMeLineLength - line_.size()));
      if (lf == std::string_view::npos) return;
      parser_.line(line_);
      line_.clear();
      bytes.remove_prefix(lf + 1);
    }
  }

  void finish() {
    if (!line_.empty()) parser_.line(line_);
    line_.clear();
  }

 private:
  ReadMeParser& parser_;
  std::string line_;
};

// Matches * ? and [set] (with ranges and a leading ! or ^); anything else literally.
bool globMatch(std::string_view pattern, std::string_view name, bool noCase) {
  auto same = [noCase](char a, char b) { return noCase ? asciiLower(a) == asciiLower(b) : a == b; };
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    bool matched = false;
    std::size_t nextP = p + 1;
    if (p < pattern.size()) {
      const char c = pattern[p];
      if (c == '*') {
        starP = p++;
        starN = n;
        continue;
      }
      if (c == '?') {
        matched = true;
      } else if (c == '[') {
        std::size_t e = pattern.find(']', p + 2);
        if (e != std::string_view::npos) {
          std::size_t i = p + 1;
          const bool negate = pattern[i] == '!' || pattern[i] == '^';
          if (negate) ++i;
          bool in = false;
          for (; i < e; ++i) {
            if (i + 2 < e && pattern[i + 1] == '-') {
              const char lo = noCase ? asciiLower(pattern[i]) : pattern[i];
              const char hi = noCase ? asciiLower(pattern[i + 2]) : pattern[i + 2];
              const char x = noCase ? asciiLower(name[n]) : name[n];
              if (x >= lo && x <= hi) in = true;
              i += 2;
            } else if (same(pattern[i], name[n])) {
              in = true;
            }
          }
          matched = in != negate;
          nextP = e + 1;
        } else {
          matched = same(c, name[n]);
        }
      } else {
        matched = same(c, name[n]);
      }
    }
    if (matched) {
      p = nextP;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::string_view lastPathComponent(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view withoutGz(std::string_view name) {
  for (std::string_view packed : {".gz", ".bz2", ".xz", ".zst"})
    if (name.size() > packed.size() && equalNoCase(name.substr(name.size() - packed.size()), packed))
      return name.substr(0, name.size() - packed.size());
  return name;
}

bool ReadMeColumn::isText() const { return !format.empty() && asciiUpper(format.front()) == 'A'; }

int ReadMeColumn::decimals() const {
  const std::size_t dot = format.find('.');
  int d = 0;
  if (dot != std::string::npos) std::from_chars(format.data() + dot + 1, format.data() + format.size(), d);
  return d;
}

std::string ReadMeColumn::describe() const {
  if (column > 0) return label + " (column " + std::to_string(column) + ")";
  std::string range = std::to_string(firstByte);
  if (lastByte != firstByte) range += "-" + std::to_string(lastByte);
  return label + " (" + range + ")";
}

bool ReadMeTable::describes(std::string_view path) const {
  const std::string_view name = withoutGz(lastPathComponent(path));
  if (name.empty()) return false;
  for (bool noCase : {false, true})
    for (const std::string& pattern : fileNames)
      if (globMatch(withoutGz(lastPathComponent(pattern)), name, noCase)) return true;
  return false;
}

const ReadMeTable* ReadMe::tableFor(std::string_view path) const {
  for (bool noCase : {false, true}) {
    const std::string_view name = withoutGz(lastPathComponent(path));
    for (const ReadMeTable& t : tables)
      for (const std::string& pattern : t.fileNames)
        if (!name.empty() && globMatch(withoutGz(lastPathComponent(pattern)), name, noCase)) return &t;
  }
  return nullptr;
}

std::string ReadMe::describedFiles() const {
  std::string out;
  for (const ReadMeTable& t : tables)
    for (const std::string& n : t.fileNames) {
      if (!out.empty()) out += ", ";
      out += n;
    }
  return out;
}

ReadMe parseReadMe(std::string_view text) {
  ReadMeParser parser;
  LineSplitter splitter(parser);
  if (static_cast<std::int64_t>(text.size()) > kMaxReadMeBytes) {
    text = text.substr(0, static_cast<std::size_t>(kMaxReadMeBytes));
    parser.markTruncated();
  }
  splitter.feed(text);
  splitter.finish();
  return parser.finish();
}

ReadMe readReadMe(const std::string& path, FileSystem& fs) {
  std::unique_ptr<File> file = fs.open(path, OpenMode::ReadRegular);
  ReadMeParser parser;
  LineSplitter splitter(parser);
  std::vector<char> buffer(std::size_t{1} << 16);
  std::int64_t total = 0;
  for (;;) {
    stopIfInterrupted();
    const std::size_t n = file->read(buffer.data(), buffer.size());
    if (n == 0) break;
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(n), kMaxReadMeBytes - total));
    splitter.feed(std::string_view(buffer.data(), take));
    total += static_cast<std::int64_t>(take);
    if (take < n || total >= kMaxReadMeBytes) {
      char probe;
      if (take < n || file->read(&probe, 1) > 0) parser.markTruncated();
      break;
    }
  }
  file->close();
  splitter.finish();
  return parser.finish();
}

}  // namespace mirdal
