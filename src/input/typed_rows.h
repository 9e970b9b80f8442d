#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input/table_header.h"

namespace mirdal {

// One cell of a row as a binary table stores it.
struct TableCell {
  enum class Kind : std::uint8_t { Missing, Real, Integer, Text };
  Kind kind = Kind::Missing;
  double real = 0;           // Real: E and D columns, float/double fields (TSCAL/TZERO applied)
  std::int64_t integer = 0;  // Integer: L (0/1), B, I, J, K and VOTable boolean/unsignedByte/short/int/long
                             // (scaled integer columns become Real)
  std::string_view text;     // Text: A columns / char and unicodeChar fields (UTF-8), trailing blanks and
                             // NULs dropped; valid until the next readRows. A text that is empty once
                             // they are dropped is Missing, as an empty cell of a text table is.
};

// The rows of one table of a FITS or VOTable file, cell by cell, in the
// types the file stores them in: no number goes through text.
class TypedRowSource {
 public:
  virtual ~TypedRowSource() = default;
  virtual const TableLayout& layout() const = 0;
  // The 1-based column numbers whose cells readRows delivers, in this order
  // (a number may repeat). Throws Error naming the file and the column for a
  // vector (array) column that is not text, or a number out of range.
  virtual void selectColumns(std::vector<int> numbers) = 0;
  // Up to maxRows next rows; `cells` is resized to rows * selected and
  // filled row-major. Returns the number of rows, 0 at the end. Throws Error
  // naming the file and the reason (and row where it helps) on any malformed
  // content.
  virtual std::size_t readRows(std::vector<TableCell>& cells, std::size_t maxRows) = 0;
  virtual std::int64_t rowsRead() const = 0;
  // Progress: file bytes consumed so far and the file size (compressed bytes
  // for a compressed file).
  virtual std::int64_t position() const = 0;
  virtual std::int64_t size() const = 0;
};

// `table`: empty for the first table (FITS: the first binary-table
// extension; VOTable: the first TABLE in any RESOURCE), else a 1-based
// number or a name. A FITS number counts extensions as FITS tools do (1 is
// the first extension after the primary array, usually the first table); a
// FITS name is an EXTNAME. A VOTable number counts TABLE elements in the
// order of the document, nested resources included; a VOTable name is a
// TABLE's name or ID. Throws Error naming the file and the reason.
//
// Every byte is read through `fs`, but for the FITS library, which opens a
// FITS file by its name once `fs` has given its size and every header has
// been checked through `fs`. Readers of a catalog pass the file system of
// the build.
std::unique_ptr<TypedRowSource> openFitsTable(const std::string& path, const std::string& table,
                                              FileSystem& fs);
std::unique_ptr<TypedRowSource> openVoTable(const std::string& path, const std::string& table,
                                            FileSystem& fs);

// Layout only (for the wizard's column list and the import): the same,
// reading no row.
TableLayout readFitsLayout(const std::string& path, const std::string& table, FileSystem& fs);
TableLayout readVoTableLayout(const std::string& path, const std::string& table,
                              FileSystem& fs);

// Either of the above by form (Fits or VoTable; Error for any other).
std::unique_ptr<TypedRowSource> openTypedTable(TableForm form, const std::string& path, const std::string& table,
                                               FileSystem& fs);
TableLayout readTypedLayout(TableForm form, const std::string& path, const std::string& table,
                            FileSystem& fs);

// A cell as the wizard shows it: a number in its shortest exact form, a
// text as it is, a missing value as "".
std::string cellText(const TableCell& cell);

// The next row (the first, from a source that has read none) as display
// text, one entry per column of the layout; "" for a missing value and for
// a column that cannot be read as a single value (a vector). Selects the
// columns it reads. Empty when no row is left.
std::vector<std::string> sampleRow(TypedRowSource& source);

// Whether a column of this layout can be selected (a single value or a text).
bool isSelectableColumn(const TableColumn& column, TableForm form);

}  // namespace mirdal
