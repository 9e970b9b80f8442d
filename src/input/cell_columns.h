#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input/row_splitter.h"
#include "input/table_header.h"
#include "catalog/catalog_definition.h"

// Rows of a delimited table read through the same slots as fixed columns:
// each slot names a column, and once a row is split, the slot is pointed at
// the bytes where that column's cell stands. Positions, calibrations, code
// lookups and index names then work on the row exactly as on a fixed-column
// line, so that the forms cannot drift apart.

namespace mirdal {

// The columns one input file gives the slots a build reads.
struct FileColumns {
  // Per slot: the 0-based cell it reads, or -1.
  std::array<int, kSlotCount> cell;
  // Cells a row needs for every slot to find its own: a shorter row is refused.
  int cellsNeeded = 0;

  FileColumns() { cell.fill(-1); }
};

// The slots at `positions` that are set (a column number of 1 or more and a
// length of 1 or more) take their column in the file `path` described by
// `layout`: by name where the definition names it and the file has names
// (exactly, or else in another letter case), otherwise by number.
// Throws Error naming the file, the field's label and the column when a
// name is not in the file, or a number lies past the file's last column.
FileColumns resolveColumns(const CatalogDefinition& definition, const std::vector<int>& positions,
                           const TableLayout& layout, const std::string& path);

// Why a row is refused, beside an impossible position.
enum class RowRefusal : std::uint8_t {
  None,
  OpenQuote,       // a quoted cell still open where the row ends
  TextAfterQuote,  // bytes after a closing quote
  TooManyCells,
  TooLong,
  FewerCells,  // fewer cells than the columns the fields read
  MissingRa,   // a right ascension's cell holds no value (isMissingNumber)
  MissingDec,  // a declination's cell holds no value (the sign's aside)
};

// "the line ends inside a quoted cell", "it has 3 cells where the fields read up to column 5"
std::string rowRefusalText(RowRefusal refusal, int cells, int cellsNeeded);

// Splits rows and places their cells; one per reading thread.
class CellPlacer {
 public:
  // `textSlots[p]`: slot p is read as text (a text field, a code lookup, a
  // name), where a cell that stands for no value ("NaN", blanks) must give
  // nothing. Numbers need no such care: "NaN" is no number, so it is their
  // missing value already, and it keeps a position from being taken for 0.
  CellPlacer(Delimiting delimiting, const FileColumns& columns, const std::array<bool, kSlotCount>& textSlots);

  // The slots (a bit per slot position) that hold the numbers of the right
  // ascension and of the declination: a row where one of their cells stands
  // for no value is refused (MissingRa, MissingDec) rather than put at 0.
  // None by default.
  void refuseMissing(std::uint64_t raSlots, std::uint64_t decSlots);

  // Splits `line` and points each slot that reads a cell at that cell in
  // `text` (its calibration taken from `base`; every other slot of `slots`
  // is left as it is, so the caller fills `slots` from `base` once): the line itself, or a copy of it
  // with the cells that held doubled quotes appended in their one-quote form.
  // A slot whose cell is missing, or that reads no cell, gets length 0.
  // Returns the refusal, None for a row to convert.
  RowRefusal place(std::string_view line, const FieldSlot* base, FieldSlot* slots, std::string_view& text);

  // Cells of the last row placed.
  int cells() const { return static_cast<int>(splitter_.size()); }
  int cellsNeeded() const { return columns_.cellsNeeded; }

 private:
  RowSplitter splitter_;
  FileColumns columns_;
  std::array<bool, kSlotCount> textSlots_;
  std::vector<int> reading_;  // the slots that read a cell
  // Of those, the numbers of the position: (slot, true for the right ascension).
  std::vector<std::pair<int, bool>> positionCells_;
  std::string copy_;
};

}  // namespace mirdal
