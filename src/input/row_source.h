#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/catalog_definition.h"
#include "input/cell_columns.h"
#include "input/input_reader.h"
#include "input/row_splitter.h"
#include "input/table_header.h"
#include "input/typed_rows.h"
#include "util/file_system.h"

// The one way every reader of an input catalog gets at its rows: the build,
// the magnitude scan, the import's sample and the wizard's preview all open
// a RowSource, so that they see the same rows of every form.

namespace mirdal {

// How a project's input files are read.
struct InputFormat {
  TableForm form = TableForm::Fixed;
  int eol = kEolCrLf;
  bool headerRow = false;  // delimited forms: the first row names the columns
  std::string table;       // FITS and VOTable: the table read (see openTypedTable)

  static InputFormat of(const BuildSettings& settings) {
    return {settings.format, settings.eol, settings.headerrow, settings.table};
  }
};

// One row of an input file as RowSource hands it to every reader, in any
// form. Valid until the source's next row.
struct SourceRow {
  // A text form's row as it stands: a field cuts its slot's bytes from it
  // (on a delimited row, once a CellPlacer has pointed the slot at its cell).
  std::string_view text;
  // A FITS or VOTable row: the cells of the columns selected, in order;
  // slot p reads cells[cellOfSlot[p]], nothing where that is -1 (see
  // RowSource::selectSlots). Null for a text row.
  const TableCell* cells = nullptr;
  const int* cellOfSlot = nullptr;
  // The 1-based line of the file the row starts on; a typed row's 1-based
  // number in its table.
  std::int64_t number = 0;
};

// The rows of one input file, in any form.
//
// Text forms give rows of text (nextLine): every line of a fixed-column or
// MRT file after its header; in delimited forms every line but `#` comments
// and blank lines, where a quoted cell may run over line ends (the lines are
// joined with LF, up to kMaxJoinedLines after the first and kMaxJoinedBytes;
// when the quote is still open then, or at the end of the file, the first
// line alone is the row, which its cells will refuse, and the lines after it
// are rows of their own). A byte order mark before the first row is dropped.
// FITS and VOTable files give rows of typed cells (typedRows).
class RowSource {
 public:
  static constexpr int kMaxJoinedLines = 100;
  static constexpr std::size_t kMaxJoinedBytes = std::size_t{1} << 20;

  // Opens `path` through `fs` and reads its header. Throws Error naming the
  // file when it cannot be opened or read, or its header is wrong.
  RowSource(FileSystem& fs, const std::string& path, const InputFormat& format);
  ~RowSource();
  RowSource(const RowSource&) = delete;
  RowSource& operator=(const RowSource&) = delete;

  const std::string& path() const { return path_; }
  TableForm form() const { return layout().form; }
  // The columns the file describes (none for fixed columns). For a typed
  // table the source's own.
  const TableLayout& layout() const { return typed_ ? typed_->layout() : layout_; }

  // FITS and VOTable files: rows of typed cells, read through typedRows().
  bool typed() const { return typed_ != nullptr; }
  TypedRowSource& typedRows() { return *typed_; }

  // The next row of any form, false at the end (see SourceRow). A typed
  // table hands on the cells of the columns selected last. Throws Error as
  // nextLine and TypedRowSource::readRows do.
  bool next(SourceRow& row);
  // The columns whose cells a typed row holds: each column the slots read
  // once, however many slots read it (`columns` as resolveColumns gives
  // them). Text rows hold every column already: nothing to select.
  void selectSlots(const FileColumns& columns);
  // The same by the 1-based column numbers, in this order; no slot reads them.
  void selectColumns(std::vector<int> numbers);
  // Typed tables: no row past the first `rows` is read (0: no limit); once
  // next() has stopped there, rowsLeft() reads whether a row follows. Text
  // rows are all handed on: rowsLeft() is false for them.
  void setRowLimit(std::int64_t rows) { rowLimit_ = rows; }
  bool rowsLeft();
  // What a row is called where it is named: "line" or "row".
  const char* rowUnit() const { return typed_ ? "row" : "line"; }
  // A row as the reject log shows it: a text row as it stands; a typed row
  // as "row N", then a tab and "name=value" for each column selected.
  // Valid until the next call.
  std::string_view rejectText(const SourceRow& row);
  // The cell of every column of the layout in `row`, as text (`cells` is
  // resized to the layout's columns): a delimited row's cells as the split
  // gives them, a described row's bytes of each column, a typed cell as
  // cellText gives it; "" for a column the row does not reach or that is not
  // selected. Returns false for a delimited row that cannot be split.
  // Fixed columns have no columns: the row is the one cell.
  bool cellTexts(const SourceRow& row, std::vector<std::string>& cells);

  // Text forms: the next row, false at the end. `row` stays valid until the
  // next call; `lineNumber` is the 1-based line of the file the row starts on.
  // Throws Error as InputReader does.
  bool nextLine(std::string_view& row, std::int64_t& lineNumber);

  // Progress: file bytes consumed so far (compressed bytes for a ".gz"
  // file) and the file's size.
  std::int64_t position() const;
  std::int64_t size() const;

  // A longer line is refused with an error (see InputReader).
  void setMaxLineLength(std::size_t n) { reader_.setMaxLineLength(n); }
  void close();

 private:
  bool take(std::string_view& line, std::int64_t& number);
  std::string_view withNullsMarked(std::string_view line);

  std::string path_;
  InputReader reader_;
  TableLayout layout_;
  std::unique_ptr<TypedRowSource> typed_;
  bool cells_ = false;  // delimited: comments skipped, quoted cells joined
  std::int64_t headerLines_ = 0;
  bool byteOrderMark_ = false;
  std::int64_t physicalLine_ = 0;
  RowSplitter joinSplitter_;
  std::string joined_;
  // Lines taken from the reader while a quote stayed open, to be read again
  // as rows when it never closed: (line number, text).
  std::vector<std::pair<std::int64_t, std::string>> replay_;
  std::size_t replayNext_ = 0;
  std::string replayLine_;
  // IPAC columns whose header gives a null marker other than "null": a cell
  // holding it is handed on as "null" (cut to the cell's width), which no
  // field reads as a number.
  struct NullMarker {
    std::size_t offset, width;
    std::string marker;
  };
  std::vector<NullMarker> nullMarkers_;
  std::string markedLine_;
  // Typed tables: the rows read, the cells of the last chunk read, and the
  // columns selected with each slot's cell among them.
  std::int64_t rowNumber_ = 0;
  std::int64_t rowLimit_ = 0;
  bool rowsLeft_ = false;
  bool peeked_ = false;
  std::vector<TableCell> typedCells_;
  std::size_t typedRowsHeld_ = 0;
  std::size_t typedRowNext_ = 0;
  std::vector<int> selected_;
  std::array<int, kSlotCount> cellOfSlot_{};
  std::string rejectText_;
  std::unique_ptr<RowSplitter> cellSplitter_;
};

// The columns `path` read as `format` describes, reading no row: the
// layout a RowSource of it would give.
TableLayout readInputLayout(FileSystem& fs, const std::string& path, const InputFormat& format);

// The first rows of a file as a person looks at them: for text forms the
// rows as they stand, for FITS and VOTable rows made of each cell's shortest
// exact text (cellText), joined as a CSV row in quotes, so that the numbers
// read from them are the stored ones.
struct RowSample {
  TableLayout layout;                 // a typed table's, delimited as CSV
  std::vector<std::string> rows;      // at most the rows asked for
  std::vector<std::string> cells;     // delimited and typed forms: the cells of the first row
  std::vector<int> widths;            // delimited and typed forms: per column, its widest trimmed cell
};

// Reads up to `maxRows` rows of `path` (lines cut at `maxLineLength`
// bytes are refused as InputReader refuses them). Throws Error naming the
// file when it has no row after its header.
RowSample readRowSample(FileSystem& fs, const std::string& path, const InputFormat& format, std::size_t maxRows,
                        std::size_t maxLineLength);

}  // namespace mirdal
