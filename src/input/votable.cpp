// TABLEs of VOTable documents, read through expat as a stream.
//
// The file is read in blocks through the file system (a gzipped file, under
// any name, reads as the text it holds) and fed to the parser; the parser is suspended as soon as
// the rows asked for are buffered and resumed by the next readRows, so the
// memory needed does not grow with the file. Rows come from TABLEDATA cells
// or from BINARY and BINARY2 streams, base64 decoded on the fly. This file
// follows the document's structure; the cells, the streams and the rows not
// yet delivered are votable_cells.h's.
//
// Entity declarations are refused outright (no document needs them, and
// expansion attacks need them), as are entities the document does not declare.

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <string_view>
#include <unordered_map>

#include "input/input_source.h"
#include "input/row_splitter.h"
#include "input/typed_rows.h"
#include "input/votable_cells.h"
#include "util/error.h"
#include "util/interrupt.h"
#include "util/text.h"

namespace mirdal {
namespace {

using votable::Base;
using votable::Field;
using votable::PendingCell;

constexpr std::size_t kReadBlock = 256 << 10;
constexpr std::size_t kMaxCellText = 16 << 20;      // one TD
constexpr std::size_t kMaxDescription = 1 << 20;    // one FIELD's DESCRIPTION
// The bytes expat may hold for one tag, comment or run of text before it
// hands them over: it keeps an unfinished token whole, however long.
constexpr std::int64_t kMaxToken = std::int64_t{16} << 20;
// As many columns as the delimited forms split a row into.
constexpr std::size_t kMaxFields = RowSplitter::kMaxCells;

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
    XML_SetCommentHandler(parser_, &VoTable::onComment);
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
      if (!votable::isText(f.base) &&
          (!f.scalar || f.base == Base::FComplex || f.base == Base::DComplex || f.base == Base::Unknown))
        throw Error(quoted(path_) + ": column " + std::to_string(n) + " (" + c.name + ") is of type " + c.datatype +
                    "; only columns of one number or of text can be read");
      fields_[static_cast<std::size_t>(n - 1)].slots.push_back(i);
    }
    if (!rows_.empty()) throw Error(quoted(path_) + ": columns are chosen before rows are read");
    rows_.setWidth(numbers.size());
  }

  std::size_t readRows(std::vector<TableCell>& cells, std::size_t maxRows) override {
    target_ = maxRows;
    // Fewer rows when their texts fill the buffer: the rest come next time.
    while (rows_.rows() < maxRows && !(rows_.rows() > 0 && rows_.full()) && !(finished_ || ended_)) step(maxRows);
    return rows_.deliver(cells, maxRows);
  }

  std::int64_t rowsRead() const override { return rows_.delivered(); }
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
  // Inside a handler, where no exception may pass through expat: whether a
  // stop was requested, in which case the parser stops and the step that
  // ran it throws AbortError.
  bool stopRequested() {
    if (!interruptRequested()) return false;
    if (!aborted_) XML_StopParser(parser_, XML_FALSE);
    aborted_ = true;
    return true;
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
    stopIfInterrupted();
    if (target > 0 && inStream_ && stream_.bytesLeft() > 0 && !rows_.full()) {
      decodeBinaryRows(false);
      if (!error_.empty()) throw Error(error_);
      if (rows_.rows() >= target) return;
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
      fed_ += n;
      status = XML_ParseBuffer(parser_, n, n == 0);
      if (n == 0 && status == XML_STATUS_OK) ended_ = true;
    }
    if (aborted_) throw AbortError();
    if (!error_.empty()) throw Error(error_);
    if (fed_ - lastEvent_ > kMaxToken && status != XML_STATUS_ERROR)
      failAtLine("more than " + std::to_string(kMaxToken >> 20) +
                 " MiB without the end of a tag, comment or text: a value this long is not read");
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

  // Every event handed over: what expat holds unparsed starts after it.
  void event() { lastEvent_ = XML_GetCurrentByteIndex(parser_); }

  static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char** atts) {
    static_cast<VoTable*>(self)->event();
    static_cast<VoTable*>(self)->start(localName(name), atts);
  }
  static void XMLCALL onEnd(void* self, const XML_Char* name) {
    static_cast<VoTable*>(self)->event();
    static_cast<VoTable*>(self)->end(localName(name));
  }
  static void XMLCALL onText(void* self, const XML_Char* s, int len) {
    static_cast<VoTable*>(self)->event();
    static_cast<VoTable*>(self)->text(std::string_view(s, static_cast<std::size_t>(len)));
  }
  static void XMLCALL onComment(void* self, const XML_Char*) { static_cast<VoTable*>(self)->event(); }
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
      // Past the limit the FIELDs are only counted, for the message.
      if (++fieldCount_ > kMaxFields) return;
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
      f.base = votable::baseOf(type ? type : "");
      c.datatype = type ? type : "";
      if (arraysize) c.datatype += "[" + std::string(arraysize) + "]";
      if (f.base == Base::Unknown)
        layout_.notes.push_back("column " + std::to_string(c.number) + " (" + c.name + ") has the datatype \"" +
                                (type ? type : "") + "\", which is not a VOTable's");
      if (!votable::parseArraysize(arraysize ? arraysize : "", f)) {
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
        f.hasNull = votable::parseInteger(t, f.nullInteger);
        break;
      case Base::Float: case Base::Double:
        f.hasNull = votable::parseReal(t, f.nullReal) && !std::isnan(f.nullReal);
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
    if (fieldCount_ > kMaxFields)
      return raise("the TABLE has " + std::to_string(fieldCount_) + " FIELDs, more than the " +
                   std::to_string(kMaxFields) + " columns a table may have");
    // Each name's first column; a name met again is noted once per column.
    auto& cols = layout_.columns;
    std::unordered_map<std::string_view, std::size_t> first;
    first.reserve(cols.size());
    for (std::size_t i = 0; i < cols.size(); ++i) {
      if ((i & 4095) == 4095 && stopRequested()) return;
      if (cols[i].name.empty()) continue;
      const auto [at, added] = first.emplace(cols[i].name, i);
      if (!added)
        layout_.notes.push_back("columns " + std::to_string(at->second + 1) + " and " + std::to_string(i + 1) +
                                " are both named \"" + cols[i].name + "\"");
    }
  }

  void rowStart(std::string_view name, const XML_Char** atts) {
    if (name == "TR") {
      inRow_ = true;
      cellsInRow_ = 0;
      rows_.openRow();
    } else if (name == "TD" && inRow_) {
      inCell_ = true;
      td_.clear();
      // A TD may carry its value's binary form (VOTable 1.1 on).
      const char* encoding = attribute(atts, "encoding");
      tdBase64_ = encoding && *encoding;
      if (tdBase64_ && std::string_view(encoding) != "base64")
        return raise("row " + std::to_string(rows_.rowNumber()) + ", column " + std::to_string(cellsInRow_ + 1) +
                     ": the TD's encoding is \"" + std::string(encoding) + "\"; only base64 is read");
    } else if (name == "BINARY" || name == "BINARY2") {
      stream_.setForm(name == "BINARY2", fields_.size());
    } else if (name == "STREAM") {
      const char* href = attribute(atts, "href");
      const char* encoding = attribute(atts, "encoding");
      if (href) return raise("the rows are in another file (STREAM href=\"" + std::string(href) + "\"), which is not read");
      if (!encoding || std::string_view(encoding) != "base64")
        return raise("the STREAM's encoding is \"" + std::string(encoding ? encoding : "") +
                     "\"; only base64 streams are read");
      inStream_ = true;
      stream_.startText();
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
        return raise("row " + std::to_string(rows_.rowNumber()) + " has " + std::to_string(cellsInRow_) +
                     " cells for " + std::to_string(fields_.size()) + " FIELDs");
      rows_.closeRow();
      if (rows_.rows() >= target_ || rows_.full()) suspend();
    } else if (name == "STREAM" && inStream_) {
      inStream_ = false;
      if (stream_.insideGroup()) return raise("the base64 data ends inside a group of 4 characters: it is cut short");
      decodeBinaryRows(true);
      if (stream_.bytesLeft() > 0)
        return raise("the binary data ends inside row " + std::to_string(rows_.rowNumber()) + " (" +
                     std::to_string(stream_.bytesLeft()) + " bytes left): it is cut short");
    }
  }

  void text(std::string_view s) {
    if (!inTarget_) return;
    if (inStream_) {
      if (!stream_.appendBase64(s)) return raise(stream_.failure());
      if (error_.empty() && stream_.batchReady()) decodeBinaryRows(false);
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

  void cellEnd() {
    const std::size_t index = cellsInRow_++;
    if (index >= fields_.size() || fields_[index].slots.empty()) return;
    const Field& f = fields_[index];
    if (tdBase64_) {
      if (std::string reason = votable::base64Cell(f, td_, layout_.columns[index].datatype, rows_, tdBytes_, tdUcs2_);
          !reason.empty())
        raise("row " + std::to_string(rows_.rowNumber()) + ", column " + std::to_string(index + 1) + " (" +
              layout_.columns[index].name + "): " + reason);
      return;
    }
    if (votable::isText(f.base)) {
      rows_.putText(f, td_);
      // One row's texts alone: a row is delivered whole.
      if (rows_.rows() == 0 && rows_.textBytes() > 2 * votable::RowBuffer::kFullText)
        raise("row " + std::to_string(rows_.rowNumber()) + ": its texts take more than " +
              std::to_string(2 * votable::RowBuffer::kFullText >> 20) + " MiB");
      return;
    }
    PendingCell cell;
    if (std::string reason = votable::tableDataCell(f, td_, layout_.columns[index].datatype, cell); !reason.empty())
      return raise("row " + std::to_string(rows_.rowNumber()) + ", column " + std::to_string(index + 1) + " (" +
                   layout_.columns[index].name + "): " + reason);
    rows_.put(f, cell);
  }

  // Rows from the decoded stream bytes, up to the target unless `all`.
  void decodeBinaryRows(bool all) {
    if (!stream_.decodeRows(fields_, rows_, target_, all)) raise(stream_.failure());
    if (!error_.empty()) return;
    if ((rows_.rows() >= target_ || rows_.full()) && !all) suspend();
    stream_.compact();
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
  std::string error_;

  bool rootSeen_ = false, found_ = false, inTarget_ = false, fieldsDone_ = false;
  bool inField_ = false, inDescription_ = false;
  bool stopAtData_ = false, suspended_ = false, finished_ = false, ended_ = false, inParser_ = false;
  int tablesSeen_ = 0;
  bool aborted_ = false;
  std::size_t fieldCount_ = 0;  // FIELDs of the table read, also those past kMaxFields
  // Bytes handed to expat, and where its last event began.
  std::int64_t fed_ = 0, lastEvent_ = 0;

  // TABLEDATA
  bool inRow_ = false, inCell_ = false;
  std::size_t cellsInRow_ = 0;
  std::string td_;
  bool tdBase64_ = false;  // the TD being read has encoding="base64"
  std::vector<unsigned char> tdBytes_;
  std::string tdUcs2_;

  // BINARY, BINARY2
  bool inStream_ = false;
  votable::StreamDecoder stream_;

  // Rows parsed and not yet delivered, and the texts readRows delivered last.
  votable::RowBuffer rows_;
  std::size_t target_ = 0;  // the rows the current readRows asks for
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
  const Base base = votable::baseOf(std::string_view(datatype).substr(0, bracket));
  if (votable::isText(base)) return true;
  if (base == Base::Unknown || base == Base::FComplex || base == Base::DComplex) return false;
  return bracket == std::string::npos || datatype.substr(bracket) == "[1]";
}

}  // namespace mirdal
