// TABLEs of VOTable documents, read through expat as a stream.
//
// The file is read in blocks through the file system (a gzipped file, under
// any name, reads as the text it holds) and fed to the parser; the parser is suspended as soon as
// the rows asked for are buffered and resumed by the next readRows, so the
// memory needed does not grow with the file. Rows come from TABLEDATA cells
// or from BINARY and BINARY2 streams, base64 decoded on the fly.
//
// Entity declarations are refused outright (no document needs them, and
// expansion attacks need them), as are entities the document does not declare.

#include <expat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "input/input_source.h"
#include "input/typed_rows.h"
#include "util/coding.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace {

namespace be = big_endian;
using Kind = TableCell::Kind;


constexpr std::size_t kReadBlock = 256 << 10;
constexpr std::size_t kMaxCellText = 16 << 20;      // one TD
constexpr std::size_t kMaxDescription = 1 << 20;    // one FIELD's DESCRIPTION
constexpr std::int64_t kMaxBinaryValue = 64 << 20;  // one variable-length array in a stream
// Stream bytes are turned into rows once this many are decoded (expat hands
// over base64 a line at a time, far less than a row).
constexpr std::size_t kDecodeBatch = 64 << 10;

enum class Base { Boolean, Bit, UByte, Short, Int, Long, Char, UChar, Float, Double, FComplex, DComplex, Unknown };

Base baseOf(std::string_view t) {
  static constexpr std::pair<std::string_view, Base> kNames[] = {
      {"boolean", Base::Boolean}, {"bit", Base::Bit},       {"unsignedByte", Base::UByte},
      {"short", Base::Short},     {"int", Base::Int},       {"long", Base::Long},
      {"char", Base::Char},       {"unicodeChar", Base::UChar}, {"float", Base::Float},
      {"double", Base::Double},   {"floatComplex", Base::FComplex}, {"doubleComplex", Base::DComplex}};
  for (auto& [name, base] : kNames)
    if (t == name) return base;
  return Base::Unknown;
}

int elementBytes(Base b) {
  switch (b) {
    case Base::Boolean: case Base::UByte: case Base::Char: return 1;
    case Base::Short: case Base::UChar: return 2;
    case Base::Int: case Base::Float: return 4;
    case Base::Long: case Base::Double: case Base::FComplex: return 8;
    case Base::DComplex: return 16;
    case Base::Bit: case Base::Unknown: return 0;
  }
  return 0;
}

bool isText(Base b) { return b == Base::Char || b == Base::UChar; }

// A FIELD as the rows need it.
struct Field {
  Base base = Base::Unknown;
  bool variable = false;    // arraysize ends in "*": a 4-byte count precedes the elements in a stream
  std::int64_t count = 1;   // elements of a fixed array
  bool scalar = true;
  bool hasNull = false;
  std::int64_t nullInteger = 0;
  double nullReal = 0;
  std::string nullText;
  std::vector<std::size_t> slots;  // the places of its cell among the selected
};

// "12", "*", "10*", "3x2", "3x*": elements and whether the last is variable.
bool parseArraysize(std::string_view a, Field& f) {
  f.count = 1;
  f.variable = false;
  if (a.empty()) return true;
  std::size_t start = 0;
  while (start <= a.size()) {
    std::size_t x = a.find('x', start);
    std::string_view dim = a.substr(start, x == std::string_view::npos ? std::string_view::npos : x - start);
    if (!dim.empty() && dim.back() == '*') {
      if (x != std::string_view::npos) return false;  // only the last dimension may vary
      f.variable = true;
      dim.remove_suffix(1);
      if (dim.empty()) break;
    }
    std::int64_t n = 0;
    auto [p, ec] = std::from_chars(dim.data(), dim.data() + dim.size(), n);
    if (ec != std::errc() || p != dim.data() + dim.size() || n < 0 || n > (std::int64_t{1} << 31)) return false;
    if (!f.variable) f.count *= n;
    if (f.count > (std::int64_t{1} << 31)) return false;
    if (x == std::string_view::npos) break;
    start = x + 1;
  }
  return true;
}

bool parseInteger(std::string_view t, std::int64_t& v) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  bool negative = false;
  std::string_view digits = t;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    std::uint64_t u = 0;
    auto [p, ec] = std::from_chars(digits.data() + 2, digits.data() + digits.size(), u, 16);
    if (ec != std::errc() || p != digits.data() + digits.size()) return false;
    v = negative ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
    return true;
  }
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return ec == std::errc() && p == t.data() + t.size();
}

bool parseReal(std::string_view t, double& v) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec == std::errc::result_out_of_range) return p == t.data() + t.size();
  return ec == std::errc() && p == t.data() + t.size();
}

// UCS-2 (big-endian) to UTF-8, up to the first NUL.
void appendUcs2(std::string& out, const unsigned char* p, std::size_t chars) {
  for (std::size_t i = 0; i < chars; ++i) {
    unsigned c = (unsigned{p[2 * i]} << 8) | p[2 * i + 1];
    if (c == 0) break;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

constexpr std::array<signed char, 256> kBase64 = [] {
  std::array<signed char, 256> t{};
  for (auto& v : t) v = -1;
  const char* chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(chars[i])] = static_cast<signed char>(i);
  t[' '] = t['\n'] = t['\r'] = t['\t'] = -2;
  t['='] = -3;
  return t;
}();

// A decoded value: a text is an offset into the buffered text.
struct PendingCell {
  Kind kind = Kind::Missing;
  double real = 0;
  std::int64_t integer = 0;  // for a text, its offset
  std::uint32_t length = 0;  // for a text
};

class VoTable final : public TypedRowSource {
 public:
  VoTable(FileSystem& fs, const std::string& path, const std::string& table, bool layoutOnly)
      : path_(path), table_(table) {
    if (const auto id = fs.identity(path); id && !id->regular) fail("not a file");
    source_ = openInputSourceByContent(fs, path);
    fileSize_ = source_->fileSize();
    parser_ = XML_ParserCreate(nullptr);
    if (!parser_) fail("out of memory for the XML parser");
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &VoTable::onStart, &VoTable::onEnd);
    XML_SetCharacterDataHandler(parser_, &VoTable::onText);
    XML_SetEntityDeclHandler(parser_, &VoTable::onEntityDecl);
    XML_SetSkippedEntityHandler(parser_, &VoTable::onSkippedEntity);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    layout_.form = TableForm::VoTable;
    stopAtData_ = true;
    while (!fieldsDone_ && !ended_) step(0);
    stopAtData_ = false;
    if (!found_) {
      fail(table.empty() ? "holds no TABLE"
                         : "has no TABLE " + std::string(isNumber(table) ? "number " + table : "named \"" + table + "\"") +
                               " (it holds " + std::to_string(tablesSeen_) + ")");
    }
    if (layoutOnly) return;
    std::vector<int> all;
    selectColumns(all);
  }

  const TableLayout& layout() const override { return layout_; }

  void selectColumns(std::vector<int> numbers) override {
    for (auto& f : fields_) f.slots.clear();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      const int n = numbers[i];
      if (n < 1 || n > static_cast<int>(fields_.size()))
        throw Error(quoted(path_) + ": the table has no column " + std::to_string(n) + " (it has " +
                    std::to_string(fields_.size()) + ")");
      const Field& f = fields_[static_cast<std::size_t>(n - 1)];
      const TableColumn& c = layout_.columns[static_cast<std::size_t>(n - 1)];
      if (!isText(f.base) && (!f.scalar || f.base == Base::FComplex || f.base == Base::DComplex || f.base == Base::Unknown))
        throw Error(quoted(path_) + ": column " + std::to_string(n) + " (" + c.name + ") is of type " + c.datatype +
                    "; only columns of one number or of text can be read");
      fields_[static_cast<std::size_t>(n - 1)].slots.push_back(i);
    }
    if (!pending_.empty() || pendingRows_ != 0)
      throw Error(quoted(path_) + ": columns are chosen before rows are read");
    selected_ = numbers.size();
  }

  std::size_t readRows(std::vector<TableCell>& cells, std::size_t maxRows) override {
    target_ = maxRows;
    while (pendingRows_ < maxRows && !(finished_ || ended_)) step(maxRows);
    const std::size_t n = std::min(maxRows, pendingRows_);
    const std::size_t count = n * selected_;
    // The buffered cells and texts change hands; a text cell holds its
    // offset until here. Texts delivered before now may go.
    std::size_t fixed = 0;
    if (pending_.size() == count) {
      cells.swap(pending_);
      pending_.clear();
      out_.swap(pendingText_);
      pendingText_.clear();
      fixed = textCells_.size();
    } else {
      cells.assign(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
      out_ = pendingText_;  // the rows left keep their offsets into pendingText_
      while (fixed < textCells_.size() && textCells_[fixed].first < count) ++fixed;
    }
    for (std::size_t i = 0; i < fixed; ++i) {
      TableCell& c = cells[textCells_[i].first];
      c.text = std::string_view(out_.data() + c.integer, textCells_[i].second);
      c.integer = 0;
    }
    textCells_.erase(textCells_.begin(), textCells_.begin() + static_cast<std::ptrdiff_t>(fixed));
    for (auto& t : textCells_) t.first -= count;
    pendingRows_ -= n;
    rowsRead_ += static_cast<std::int64_t>(n);
    return n;
  }

  std::int64_t rowsRead() const override { return rowsRead_; }
  std::int64_t position() const override { return std::min(source_->fileBytesRead(), fileSize_); }
  std::int64_t size() const override { return fileSize_; }

 private:
  static bool isNumber(const std::string& s) {
    return !s.empty() && s.size() < 10 && std::all_of(s.begin(), s.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
  }

  [[noreturn]] void fail(const std::string& reason) const { throw Error(quoted(path_) + ": " + reason); }
  [[noreturn]] void failAtLine(const std::string& reason) const {
    throw Error(quoted(path_) + " line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " + reason);
  }

  // Inside a handler: remembers the first error and stops the parser; the
  // error is thrown once expat has returned.
  void raise(std::string reason) {
    if (error_.empty()) {
      error_ = quoted(path_) + " line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " + std::move(reason);
      XML_StopParser(parser_, XML_FALSE);
    }
  }
  // Inside a handler: stops the parser once the current call returns, to be
  // resumed by the next step. (Between calls expat still says it is parsing.)
  void suspend() {
    if (!inParser_) return;
    XML_ParsingStatus s;
    XML_GetParsingStatus(parser_, &s);
    if (s.parsing == XML_PARSING) XML_StopParser(parser_, XML_TRUE);
  }

  // One step: rows from stream bytes already decoded, else the parser
  // resumed, else one more block of the file.
  void step(std::size_t target) {
    if (target > 0 && inStream_ && binOffset_ < bin_.size()) {
      decodeBinaryRows(false);
      if (!error_.empty()) throw Error(error_);
      if (pendingRows_ >= target) return;
    }
    XML_Status status;
    struct InParser {
      bool& flag;
      explicit InParser(bool& f) : flag(f) { flag = true; }
      ~InParser() { flag = false; }
    } inParser(inParser_);
    if (suspended_) {
      suspended_ = false;
      status = XML_ResumeParser(parser_);
    } else {
      void* buffer = XML_GetBuffer(parser_, static_cast<int>(kReadBlock));
      if (!buffer) fail(std::string("the XML parser has no room: ") + XML_ErrorString(XML_GetErrorCode(parser_)));
      // The text's last bytes are parsed as any others; the parse is
      // finished by an empty buffer after them.
      int n = 0;
      if (!sourceAtEnd_) n = static_cast<int>(source_->read(static_cast<char*>(buffer), kReadBlock, sourceAtEnd_));
      status = XML_ParseBuffer(parser_, n, n == 0);
      if (n == 0 && status == XML_STATUS_OK) ended_ = true;
    }
    if (!error_.empty()) throw Error(error_);
    if (status == XML_STATUS_SUSPENDED) {
      suspended_ = true;
    } else if (status == XML_STATUS_ERROR) {
      if (finished_ && XML_GetErrorCode(parser_) == XML_ERROR_ABORTED) return;
      failAtLine(std::string("not well-formed XML: ") + XML_ErrorString(XML_GetErrorCode(parser_)));
    }
    if (ended_ && found_ && inTarget_) failAtLine("the document ends inside the TABLE");
  }

  static std::string_view localName(const XML_Char* name) {
    std::string_view n = name;
    const auto colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
  }
  static const char* attribute(const XML_Char** atts, std::string_view key) {
    for (int i = 0; atts[i]; i += 2)
      if (localName(atts[i]) == key) return atts[i + 1];
    return nullptr;
  }

  static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char** atts) {
    static_cast<VoTable*>(self)->start(localName(name), atts);
  }
  static void XMLCALL onEnd(void* self, const XML_Char* name) { static_cast<VoTable*>(self)->end(localName(name)); }
  static void XMLCALL onText(void* self, const XML_Char* s, int len) {
    static_cast<VoTable*>(self)->text(std::string_view(s, static_cast<std::size_t>(len)));
  }
  static void XMLCALL onEntityDecl(void* self, const XML_Char* name, int, const XML_Char*, int, const XML_Char*,
                                   const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<VoTable*>(self)->raise(std::string("the document declares the entity \"") + name +
                                       "\"; entity declarations are refused");
  }
  static void XMLCALL onSkippedEntity(void* self, const XML_Char* name, int) {
    static_cast<VoTable*>(self)->raise(std::string("the entity \"&") + name + ";\" is not declared");
  }

  void start(std::string_view name, const XML_Char** atts) {
    if (!rootSeen_) {
      rootSeen_ = true;
      if (name != "VOTABLE") raise("not a VOTable: the document's root element is <" + std::string(name) + ">");
      return;
    }
    if (name == "TABLE") {
      ++tablesSeen_;
      if (found_) return;
      const char* n = attribute(atts, "name");
      const char* id = attribute(atts, "ID");
      const bool match = table_.empty() ||
                         (isNumber(table_) ? std::to_string(tablesSeen_) == table_
                                           : (n && table_ == n) || (id && table_ == id));
      if (match) {
        found_ = inTarget_ = true;
      }
      return;
    }
    if (!inTarget_) return;
    if (fieldsDone_) {
      rowStart(name, atts);
      return;
    }
    if (name == "FIELD") {
      TableColumn c;
      c.number = static_cast<int>(layout_.columns.size()) + 1;
      const char* n = attribute(atts, "name");
      const char* id = attribute(atts, "ID");
      c.name = n ? n : id ? id : "";
      const char* unit = attribute(atts, "unit");
      const char* ucd = attribute(atts, "ucd");
      const char* type = attribute(atts, "datatype");
      const char* arraysize = attribute(atts, "arraysize");
      c.unit = unit ? unit : "";
      c.ucd = ucd ? ucd : "";
      Field f;
      f.base = baseOf(type ? type : "");
      c.datatype = type ? type : "";
      if (arraysize) c.datatype += "[" + std::string(arraysize) + "]";
      if (f.base == Base::Unknown)
        layout_.notes.push_back("column " + std::to_string(c.number) + " (" + c.name + ") has the datatype \"" +
                                (type ? type : "") + "\", which is not a VOTable's");
      if (!parseArraysize(arraysize ? arraysize : "", f)) {
        raise("FIELD \"" + c.name + "\" has the arraysize \"" + std::string(arraysize) + "\", which is not a VOTable's");
        return;
      }
      f.scalar = !f.variable && f.count == 1;
      if (c.name.empty()) layout_.notes.push_back("column " + std::to_string(c.number) + " has no name");
      layout_.columns.push_back(std::move(c));
      fields_.push_back(std::move(f));
      inField_ = true;
    } else if (inField_ && name == "DESCRIPTION") {
      inDescription_ = true;
    } else if (inField_ && name == "VALUES") {
      if (const char* null = attribute(atts, "null")) setNull(null);
    } else if (name == "DATA") {
      fieldsDone_ = true;
      finishLayout();
      if (stopAtData_) suspend();
    }
  }

  void setNull(std::string_view null) {
    TableColumn& c = layout_.columns.back();
    Field& f = fields_.back();
    c.nullValue = std::string(null);
    const std::string_view t = trimmed(null);
    switch (f.base) {
      case Base::UByte: case Base::Short: case Base::Int: case Base::Long:
        f.hasNull = parseInteger(t, f.nullInteger);
        break;
      case Base::Float: case Base::Double:
        f.hasNull = parseReal(t, f.nullReal) && !std::isnan(f.nullReal);
        break;
      case Base::Char: case Base::UChar:
        f.hasNull = true;
        f.nullText = std::string(trimmedBlanksAndNulsAtEnd(null));
        break;
      default: break;
    }
    if (!f.hasNull && f.base != Base::Boolean && f.base != Base::Bit && f.base != Base::Float && f.base != Base::Double)
      layout_.notes.push_back("column " + std::to_string(c.number) + " (" + c.name + ") has the null value \"" +
                              c.nullValue + "\", which is not of its type");
  }

  void finishLayout() {
    auto& cols = layout_.columns;
    for (std::size_t i = 0; i < cols.size(); ++i)
      for (std::size_t j = 0; j < i; ++j)
        if (!cols[i].name.empty() && cols[i].name == cols[j].name) {
          layout_.notes.push_back("columns " + std::to_string(j + 1) + " and " + std::to_string(i + 1) +
                                  " are both named \"" + cols[i].name + "\"");
          break;
        }
  }

  void rowStart(std::string_view name, const XML_Char** atts) {
    if (name == "TR") {
      inRow_ = true;
      cellsInRow_ = 0;
      pending_.resize(pending_.size() + selected_);
    } else if (name == "TD" && inRow_) {
      inCell_ = true;
      td_.clear();
    } else if (name == "BINARY" || name == "BINARY2") {
      binary2_ = name == "BINARY2";
      nullFlagBytes_ = binary2_ ? (fields_.size() + 7) / 8 : 0;
    } else if (name == "STREAM") {
      const char* href = attribute(atts, "href");
      const char* encoding = attribute(atts, "encoding");
      if (href) return raise("the rows are in another file (STREAM href=\"" + std::string(href) + "\"), which is not read");
      if (!encoding || std::string_view(encoding) != "base64")
        return raise("the STREAM's encoding is \"" + std::string(encoding ? encoding : "") +
                     "\"; only base64 streams are read");
      inStream_ = true;
      quadSize_ = 0;
    } else if (name == "FITS") {
      raise("the rows are a FITS file inside the VOTable, which is not read; save the table as TABLEDATA or BINARY2");
    }
  }

  void end(std::string_view name) {
    if (name == "TABLE" && inTarget_) {
      inTarget_ = false;
      if (!fieldsDone_) {
        fieldsDone_ = true;
        finishLayout();
      }
      finished_ = true;
      if (!stopAtData_) XML_StopParser(parser_, XML_FALSE);
      else suspend();
      return;
    }
    if (!inTarget_) return;
    if (name == "FIELD") {
      inField_ = false;
    } else if (name == "DESCRIPTION" && inDescription_) {
      inDescription_ = false;
      std::string& d = layout_.columns.back().description;
      d = std::string(trimmed(d));
    } else if (name == "TD" && inCell_) {
      inCell_ = false;
      cellEnd();
    } else if (name == "TR" && inRow_) {
      inRow_ = false;
      if (cellsInRow_ != fields_.size())
        return raise("row " + std::to_string(rowsRead_ + static_cast<std::int64_t>(pendingRows_) + 1) + " has " +
                     std::to_string(cellsInRow_) + " cells for " + std::to_string(fields_.size()) + " FIELDs");
      ++pendingRows_;
      if (pendingRows_ >= target_) suspend();
    } else if (name == "STREAM" && inStream_) {
      inStream_ = false;
      if (quadSize_ != 0) return raise("the base64 data ends inside a group of 4 characters: it is cut short");
      decodeBinaryRows(true);
      if (binOffset_ < bin_.size())
        return raise("the binary data ends inside row " + std::to_string(rowsRead_ + static_cast<std::int64_t>(pendingRows_) + 1) +
                     " (" + std::to_string(bin_.size() - binOffset_) + " bytes left): it is cut short");
    }
  }

  void text(std::string_view s) {
    if (!inTarget_) return;
    if (inStream_) {
      base64(s);
      if (error_.empty() && bin_.size() - binOffset_ >= needBytes_) decodeBinaryRows(false);
    } else if (inCell_) {
      if (td_.size() + s.size() > kMaxCellText)
        return raise("a TD holds more than " + std::to_string(kMaxCellText >> 20) + " MB");
      td_.append(s);
    } else if (inDescription_) {
      std::string& d = layout_.columns.back().description;
      if (d.size() + s.size() <= kMaxDescription) d.append(s);
    }
  }

  // --- cells ---------------------------------------------------------------

  // A decoded value into its places in the row that starts at pending_[rowBase].
  void put(const Field& f, const PendingCell& cell, std::size_t rowBase) {
    TableCell* row = pending_.data() + rowBase;
    for (std::size_t slot : f.slots) {
      TableCell& c = row[slot];
      c.kind = cell.kind;
      c.real = cell.real;
      c.integer = cell.integer;
      if (cell.kind == Kind::Text) textCells_.emplace_back(rowBase + slot, cell.length);
    }
  }
  void put(const Field& f, const PendingCell& cell) { put(f, cell, pendingRows_ * selected_); }

  void putText(const Field& f, std::string_view t) {
    t = trimmedBlanksAndNulsAtEnd(t);
    PendingCell cell;
    if (!t.empty() && !(f.hasNull && t == f.nullText)) {
      cell.kind = Kind::Text;
      cell.integer = static_cast<std::int64_t>(pendingText_.size());
      cell.length = static_cast<std::uint32_t>(t.size());
      pendingText_.append(t);
    }
    put(f, cell);
  }

  void cellEnd() {
    const std::size_t index = cellsInRow_++;
    if (index >= fields_.size() || fields_[index].slots.empty()) return;
    const Field& f = fields_[index];
    if (isText(f.base)) return putText(f, td_);
    const std::string_view t = trimmed(td_);
    PendingCell cell;
    if (!t.empty()) {
      bool ok = true;
      switch (f.base) {
        case Base::Boolean: case Base::Bit:
          if (t == "T" || t == "t" || t == "1" || t == "true" || t == "TRUE" || t == "True") cell = {Kind::Integer, 0, 1, 0};
          else if (t == "F" || t == "f" || t == "0" || t == "false" || t == "FALSE" || t == "False") cell = {Kind::Integer, 0, 0, 0};
          else ok = t == "?";
          break;
        case Base::UByte: case Base::Short: case Base::Int: case Base::Long: {
          std::int64_t v = 0;
          if (parseInteger(t, v)) {
            if (!(f.hasNull && v == f.nullInteger)) cell = {Kind::Integer, 0, v, 0};
          } else {
            ok = t == "NaN" || t == "nan";  // some writers mark a missing integer so
          }
          break;
        }
        case Base::Float: case Base::Double: {
          double v = 0;
          if (parseReal(t, v)) {
            if (!std::isnan(v) && !(f.hasNull && v == f.nullReal)) cell = {Kind::Real, v, 0, 0};
          } else {
            ok = false;
          }
          break;
        }
        default: break;
      }
      if (!ok)
        return raise("row " + std::to_string(rowsRead_ + static_cast<std::int64_t>(pendingRows_) + 1) + ", column " +
                     std::to_string(index + 1) + " (" + layout_.columns[index].name + "): \"" +
                     std::string(t.substr(0, 40)) + "\" is not a value of type " + layout_.columns[index].datatype);
    }
    put(f, cell);
  }

  void base64(std::string_view s) {
    const std::size_t old = bin_.size();
    bin_.resize(old + s.size() * 3 / 4 + 3);
    unsigned char* out = bin_.data() + old;
    std::uint32_t quad = quad_;
    int n = quadSize_;
    const auto* in = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = in + s.size();
    // Whole groups of four, the common case, then one character at a time.
    if (n == 0) {
      while (end - in >= 4) {
        const int a = kBase64[in[0]], b = kBase64[in[1]], c = kBase64[in[2]], d = kBase64[in[3]];
        if ((a | b | c | d) < 0) break;
        const std::uint32_t v = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12) |
                                (static_cast<std::uint32_t>(c) << 6) | static_cast<std::uint32_t>(d);
        out[0] = static_cast<unsigned char>(v >> 16);
        out[1] = static_cast<unsigned char>(v >> 8);
        out[2] = static_cast<unsigned char>(v);
        out += 3;
        in += 4;
      }
    }
    for (; in < end; ++in) {
      const unsigned char ch = *in;
      const int v = kBase64[ch];
      if (v >= 0) {
        quad = (quad << 6) | static_cast<std::uint32_t>(v);
        if (++n == 4) {
          *out++ = static_cast<unsigned char>(quad >> 16);
          *out++ = static_cast<unsigned char>(quad >> 8);
          *out++ = static_cast<unsigned char>(quad);
          n = 0;
          quad = 0;
        }
      } else if (v == -3) {  // '=' pads the last group
        if (n == 2) *out++ = static_cast<unsigned char>(quad >> 4);
        else if (n == 3) {
          *out++ = static_cast<unsigned char>(quad >> 10);
          *out++ = static_cast<unsigned char>(quad >> 2);
        } else if (n == 1) {
          bin_.resize(static_cast<std::size_t>(out - bin_.data()));
          return raise("the base64 data has a lone character before its padding");
        }
        n = 0;
        quad = 0;
      } else if (v == -1) {
        bin_.resize(static_cast<std::size_t>(out - bin_.data()));
        return raise("the base64 data holds the byte " + std::to_string(ch) + ", which base64 has not");
      }
    }
    quad_ = quad;
    quadSize_ = n;
    bin_.resize(static_cast<std::size_t>(out - bin_.data()));
  }

  // Rows from the decoded stream bytes, up to the target unless `all`.
  void decodeBinaryRows(bool all) {
    const unsigned char* const data = bin_.data();
    const std::size_t size = bin_.size();
    needBytes_ = kDecodeBatch;
    while (binOffset_ < size && (all || pendingRows_ < target_)) {
      const std::size_t used = decodeBinaryRow(data + binOffset_, size - binOffset_);
      if (used == 0) {
        // A row longer than a batch: try again once another batch is there.
        needBytes_ = size - binOffset_ + kDecodeBatch;
        break;
      }
      binOffset_ += used;
      ++pendingRows_;
    }
    if (!error_.empty()) return;
    if (pendingRows_ >= target_ && !all) suspend();
    // Keep only the bytes not yet read.
    if (binOffset_ > 0 && (binOffset_ == size || binOffset_ > (1u << 20))) {
      bin_.erase(bin_.begin(), bin_.begin() + static_cast<std::ptrdiff_t>(binOffset_));
      binOffset_ = 0;
    }
  }

  // One row from `p`: its size, or 0 when it is not all there yet.
  std::size_t decodeBinaryRow(const unsigned char* p, std::size_t n) {
    if (n < nullFlagBytes_) return 0;
    const unsigned char* flags = p;
    std::size_t at = nullFlagBytes_;
    // The cells go in place only once the whole row is there.
    const std::size_t rowStart = pending_.size();
    const std::size_t textStart = pendingText_.size();
    const std::size_t textCellsStart = textCells_.size();
    pending_.resize(rowStart + selected_);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const Field& f = fields_[i];
      std::int64_t count = f.count;
      if (f.variable) {
        if (n - at < 4) return undo(rowStart, textStart, textCellsStart);
        count = be::load<std::uint32_t>(p + at);
        at += 4;
        if (count * std::max(1, elementBytes(f.base)) > kMaxBinaryValue) {
          raise("row " + std::to_string(rowsRead_ + static_cast<std::int64_t>(pendingRows_) + 1) + ", column " +
                std::to_string(i + 1) + ": a value of " + std::to_string(count) + " elements");
          return undo(rowStart, textStart, textCellsStart);
        }
      }
      const std::size_t bytes = f.base == Base::Bit ? static_cast<std::size_t>((count + 7) / 8)
                                                     : static_cast<std::size_t>(count) * static_cast<std::size_t>(elementBytes(f.base));
      if (n - at < bytes) return undo(rowStart, textStart, textCellsStart);
      if (!f.slots.empty()) {
        const bool null = binary2_ && (flags[i >> 3] & (0x80u >> (i & 7)));
        decodeBinaryCell(f, p + at, static_cast<std::size_t>(count), null, rowStart);
      }
      at += bytes;
    }
    return at;
  }
  std::size_t undo(std::size_t rowStart, std::size_t textStart, std::size_t textCellsStart) {
    pending_.resize(rowStart);
    textCells_.resize(textCellsStart);
    pendingText_.resize(textStart);
    return 0;
  }

  void decodeBinaryCell(const Field& f, const unsigned char* p, std::size_t count, bool null, std::size_t rowBase) {
    PendingCell cell;
    if (!null) {
      switch (f.base) {
        case Base::Char: {
          const char* s = reinterpret_cast<const char*>(p);
          const void* nul = std::memchr(s, 0, count);
          const std::string_view t(s, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - s) : count);
          const std::string_view kept = trimmedBlanksAndNulsAtEnd(t);
          if (!kept.empty() && !(f.hasNull && kept == f.nullText)) {
            cell = {Kind::Text, 0, static_cast<std::int64_t>(pendingText_.size()), static_cast<std::uint32_t>(kept.size())};
            pendingText_.append(kept);
          }
          break;
        }
        case Base::UChar: {
          const std::size_t at = pendingText_.size();
          appendUcs2(pendingText_, p, count);
          const std::size_t len = trimmedBlanksAndNulsAtEnd(std::string_view(pendingText_).substr(at)).size();
          pendingText_.resize(at + len);
          if (len > 0 && !(f.hasNull && std::string_view(pendingText_).substr(at) == f.nullText))
            cell = {Kind::Text, 0, static_cast<std::int64_t>(at), static_cast<std::uint32_t>(len)};
          else
            pendingText_.resize(at);
          break;
        }
        case Base::Boolean:
          if (*p == 'T' || *p == 't' || *p == '1') cell = {Kind::Integer, 0, 1, 0};
          else if (*p == 'F' || *p == 'f' || *p == '0') cell = {Kind::Integer, 0, 0, 0};
          break;
        case Base::Bit: cell = {Kind::Integer, 0, (*p & 0x80) ? 1 : 0, 0}; break;
        case Base::UByte: integer(f, *p, cell); break;
        case Base::Short: integer(f, be::load<std::int16_t>(p), cell); break;
        case Base::Int: integer(f, be::load<std::int32_t>(p), cell); break;
        case Base::Long: integer(f, be::load<std::int64_t>(p), cell); break;
        case Base::Float: real(f, be::load<float>(p), cell); break;
        case Base::Double: real(f, be::load<double>(p), cell); break;
        default: break;
      }
    }
    put(f, cell, rowBase);
  }
  static void integer(const Field& f, std::int64_t v, PendingCell& cell) {
    if (!(f.hasNull && v == f.nullInteger)) cell = {Kind::Integer, 0, v, 0};
  }
  static void real(const Field& f, double v, PendingCell& cell) {
    if (!std::isnan(v) && !(f.hasNull && v == f.nullReal)) cell = {Kind::Real, v, 0, 0};
  }

  std::string path_, table_;
  std::unique_ptr<InputSource> source_;
  bool sourceAtEnd_ = false;
  XML_Parser parser_ = nullptr;
  // Freed also when the constructor throws.
  struct Closer {
    XML_Parser& parser;
    ~Closer() {
      if (parser) XML_ParserFree(parser);
    }
  } closer_{parser_};
  std::int64_t fileSize_ = 0;
  TableLayout layout_;
  std::vector<Field> fields_;
  std::size_t selected_ = 0;
  std::string error_;

  bool rootSeen_ = false, found_ = false, inTarget_ = false, fieldsDone_ = false;
  bool inField_ = false, inDescription_ = false;
  bool stopAtData_ = false, suspended_ = false, finished_ = false, ended_ = false, inParser_ = false;
  int tablesSeen_ = 0;

  // TABLEDATA
  bool inRow_ = false, inCell_ = false;
  std::size_t cellsInRow_ = 0;
  std::string td_;

  // BINARY, BINARY2
  bool binary2_ = false, inStream_ = false;
  std::size_t nullFlagBytes_ = 0;
  std::uint32_t quad_ = 0;
  int quadSize_ = 0;
  std::vector<unsigned char> bin_;
  std::size_t binOffset_ = 0;
  std::size_t needBytes_ = kDecodeBatch;

  // Rows parsed and not yet delivered; the texts readRows delivered last.
  std::vector<TableCell> pending_;  // a text's offset into pendingText_ in `integer` until delivered
  std::vector<std::pair<std::size_t, std::uint32_t>> textCells_;  // the text cells of pending_, and lengths
  std::size_t pendingRows_ = 0, target_ = 0;
  std::string pendingText_, out_;
  std::int64_t rowsRead_ = 0;
};

}  // namespace

std::unique_ptr<TypedRowSource> openVoTable(const std::string& path, const std::string& table, FileSystem& fs) {
  return std::make_unique<VoTable>(fs, path, table, false);
}

TableLayout readVoTableLayout(const std::string& path, const std::string& table, FileSystem& fs) {
  return VoTable(fs, path, table, true).layout();
}

bool voTableColumnSelectable(const std::string& datatype) {
  const auto bracket = datatype.find('[');
  const Base base = baseOf(std::string_view(datatype).substr(0, bracket));
  if (isText(base)) return true;
  if (base == Base::Unknown || base == Base::FComplex || base == Base::DComplex) return false;
  return bracket == std::string::npos || datatype.substr(bracket) == "[1]";
}

}  // namespace mirdal
