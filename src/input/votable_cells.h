#pragma once

// The cells of a VOTable's rows, apart from the XML that carries them: the
// FIELD datatypes, the texts of TABLEDATA cells, the rows of BINARY and
// BINARY2 streams, and the rows decoded and not yet delivered. Internal to
// the VOTable reader (votable.cpp), which keeps the document's structure and
// puts the file and line in front of every reason given here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/typed_rows.h"

namespace mirdal::votable {

// --- datatypes ---------------------------------------------------------------

enum class Base { Boolean, Bit, UByte, Short, Int, Long, Char, UChar, Float, Double, FComplex, DComplex, Unknown };

// The base of a FIELD's datatype attribute; Unknown for any other name.
Base baseOf(std::string_view t);
// Bytes of one element in a stream; 0 for Bit (packed) and Unknown.
int elementBytes(Base b);
inline bool isText(Base b) { return b == Base::Char || b == Base::UChar; }

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
bool parseArraysize(std::string_view a, Field& f);

// Values as TABLEDATA cells and VALUES null attributes write them: a leading
// "+" allowed, integers also in hexadecimal ("0x1F", "-0x1F"). A real out of
// range is accepted and leaves `v` as it was.
bool parseInteger(std::string_view t, std::int64_t& v);
bool parseReal(std::string_view t, double& v);

// UCS-2 (big-endian) to UTF-8, up to the first NUL.
void appendUcs2(std::string& out, const unsigned char* p, std::size_t chars);

// --- rows decoded and not yet delivered ----------------------------------------

// A decoded value: a text is an offset into the buffered text.
struct PendingCell {
  TableCell::Kind kind = TableCell::Kind::Missing;
  double real = 0;
  std::int64_t integer = 0;  // for a text, its offset
  std::uint32_t length = 0;  // for a text
};

// Rows decoded ahead of readRows, `width` selected cells each, row-major.
// A text cell holds the offset of its bytes in `integer` until the hand-over
// turns it into a view; the texts handed over stay valid until the next.
class RowBuffer {
 public:
  // Past this many bytes of texts held, no further row is decoded before
  // the rows held are delivered.
  static constexpr std::size_t kFullText = std::size_t{32} << 20;

  void setWidth(std::size_t cells) { width_ = cells; }
  bool full() const { return text_.size() >= kFullText; }
  std::size_t textBytes() const { return text_.size(); }
  // Whole rows decoded and not yet delivered.
  std::size_t rows() const { return rows_; }
  // Neither a row nor a cell of one begun.
  bool empty() const { return cells_.empty() && rows_ == 0; }
  std::int64_t delivered() const { return delivered_; }
  // The 1-based number in the table of the row being decoded.
  std::int64_t rowNumber() const { return delivered_ + static_cast<std::int64_t>(rows_) + 1; }

  // Room for the cells of one more row (all Missing); the place where it begins.
  std::size_t openRow() {
    const std::size_t base = cells_.size();
    cells_.resize(base + width_);
    return base;
  }
  // Where the row being decoded begins.
  std::size_t rowBase() const { return rows_ * width_; }
  // The row being decoded is whole.
  void closeRow() { ++rows_; }

  // A decoded value into its places in the row that starts at `rowBase`
  // (by default the first row not yet whole).
  void put(const Field& f, const PendingCell& cell, std::size_t rowBase) {
    TableCell* row = cells_.data() + rowBase;
    for (std::size_t slot : f.slots) {
      TableCell& c = row[slot];
      c.kind = cell.kind;
      c.real = cell.real;
      c.integer = cell.integer;
      if (cell.kind == TableCell::Kind::Text) textCells_.emplace_back(rowBase + slot, cell.length);
    }
  }
  void put(const Field& f, const PendingCell& cell) { put(f, cell, rows_ * width_); }
  // A text, blanks and NULs at its end dropped; Missing when nothing is left
  // or it is the FIELD's null value.
  void putText(const Field& f, std::string_view t, std::size_t rowBase);
  void putText(const Field& f, std::string_view t) { putText(f, t, rows_ * width_); }

  // What the buffer holds, to drop a row begun and not finished.
  struct Mark {
    std::size_t cells, text, textCells;
  };
  Mark mark() const { return {cells_.size(), text_.size(), textCells_.size()}; }
  void undo(const Mark& m) {
    cells_.resize(m.cells);
    textCells_.resize(m.textCells);
    text_.resize(m.text);
  }

  // Up to maxRows whole rows into `cells` (resized to rows * width); their
  // texts stay valid until the next call. Returns the number of rows.
  std::size_t deliver(std::vector<TableCell>& cells, std::size_t maxRows);

 private:
  std::size_t width_ = 0;
  std::vector<TableCell> cells_;  // a text's offset into text_ in `integer` until delivered
  std::vector<std::pair<std::size_t, std::uint32_t>> textCells_;  // the text cells of cells_, and lengths
  std::size_t rows_ = 0;
  std::string text_, out_;  // the texts of cells_; those delivered last
  std::int64_t delivered_ = 0;
};

// --- TABLEDATA ---------------------------------------------------------------

// The text of a TD, for a FIELD that is not text, as a cell: Missing for a
// blank text, the FIELD's null value, NaN or another mark of a missing
// number (isMissingNumber: "null", "-", "--"). Returns "" or, when the text
// is not a value of the FIELD's type, the reason, naming that type (`datatype`).
std::string tableDataCell(const Field& f, std::string_view td, std::string_view datatype, PendingCell& cell);

// A TD with encoding="base64": the base64 text of the value's bytes as a
// BINARY stream holds them, decoded as the stream's would be into the row
// being decoded in `rows` (`bytes` and `ucs2` are room reused from cell to
// cell). An empty TD is Missing. Returns "" or why the bytes are not a value
// of the FIELD's type, naming the encoding and `datatype`.
std::string base64Cell(const Field& f, std::string_view td, std::string_view datatype, RowBuffer& rows,
                       std::vector<unsigned char>& bytes, std::string& ucs2);

// --- BINARY, BINARY2 -----------------------------------------------------------

// The base64 text of a STREAM decoded as it comes, and the bytes decoded made
// into whole rows. A call that fails leaves the reason in failure(), naming
// no file or line: the caller adds them.
class StreamDecoder {
 public:
  // Stream bytes are made into rows once this many are decoded (expat hands
  // over base64 a line at a time, far less than a row).
  static constexpr std::size_t kDecodeBatch = 64 << 10;
  // The bytes one row may take: a row is decoded once it is all there, so
  // its bytes are held until then.
  static constexpr std::size_t kMaxRowBytes = std::size_t{64} << 20;

  // At BINARY or BINARY2, for a table of `fields` FIELDs: BINARY2 rows begin
  // with a bit per FIELD, set for a null value.
  void setForm(bool binary2, std::size_t fields) {
    binary2_ = binary2;
    nullFlagBytes_ = binary2 ? (fields + 7) / 8 : 0;
  }
  // At STREAM: the base64 text begins.
  void startText() { quadSize_ = 0; }
  // More of the base64 text (blanks and line ends skipped). False on a byte
  // base64 has not or a lone character before a pad.
  bool appendBase64(std::string_view s);
  // Whether the text so far ends inside a group of 4 characters.
  bool insideGroup() const { return quadSize_ != 0; }

  // Bytes decoded and not yet made into rows.
  std::size_t bytesLeft() const { return bytes_.size() - offset_; }
  // Whether enough bytes wait for decodeRows to be worth calling: a batch,
  // or once a row was longer than what there was, that row and a batch.
  bool batchReady() const { return bytes_.size() - offset_ >= needBytes_; }

  // Whole rows from the bytes decoded into `rows`, until it holds `target`
  // rows unless `all`. A row not all there yet waits for more bytes. False
  // on a variable-length value too long to be believed.
  bool decodeRows(const std::vector<Field>& fields, RowBuffer& rows, std::size_t target, bool all);
  // Drops the bytes made into rows once they are all of them or many.
  void compact();

  // Why the last call that returned false failed.
  const std::string& failure() const { return failure_; }

 private:
  std::size_t decodeRow(const std::vector<Field>& fields, RowBuffer& rows, const unsigned char* p, std::size_t n);

  bool binary2_ = false;
  std::size_t nullFlagBytes_ = 0;
  std::uint32_t quad_ = 0;  // the characters of the open group, 6 bits each
  int quadSize_ = 0;
  std::vector<unsigned char> bytes_;
  std::size_t offset_ = 0;  // of the first byte not yet in a row
  std::size_t needBytes_ = kDecodeBatch;
  std::string ucs2_;  // a unicodeChar value as UTF-8, reused from cell to cell
  std::string failure_;
};

}  // namespace mirdal::votable
