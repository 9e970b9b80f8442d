#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"
#include "convert/sky_position.h"
#include "input/cell_columns.h"
#include "input/row_source.h"
#include "output/record_layout.h"
#include "output/region_scheme.h"

// One row of an input file made into its data record, its region and its
// name-index records, or refused with the reason why: the same for a
// fixed-column line, a delimited or described table row and a row of typed
// cells. Nothing here reads a file, writes one or starts a thread; the
// conversion loop does that around it.

namespace mirdal {

// Why a line went to the reject log, for the build's summary.
enum class RejectReason : std::uint8_t {
  OutOfRange,       // RA outside 0..360 or DEC outside -90..90
  NotANumber,       // a position component that holds something other than a number, or a one-cell
                    // position that is none
  MissingPosition,  // RA and DEC both 0 (a blank line), or a component's cell holds no value
  OpenQuote,        // a quoted cell never closed
  TextAfterQuote,
  TooManyCells,
  TooLong,
  FewerCells,
};
constexpr int kRejectReasonCount = 8;
// "position out of range", "quoted cell never closed", ...
const char* rejectReasonText(RejectReason reason);

// Why a magnitude did not go into its field as it stands. A blank (missing)
// magnitude is none of them: it is stored as no magnitude, as it should be.
enum class MagnitudeChange : std::uint8_t {
  BelowField,   // brighter than the field holds: stored as the brightest it does
  AboveField,   // a number fainter than the field holds: stored as no magnitude
  NotANumber,   // a text that is no number ("xx", "nan", "inf"): stored as no magnitude
};
constexpr int kMagnitudeChangeCount = 3;

// What one row gave.
struct BuiltRow {
  int region = 0;  // the region of its record; 0 when the row is refused
  RejectReason reason = RejectReason::OutOfRange;  // refused: why
  RowRefusal refusal = RowRefusal::None;           // refused for its cells (noted with the row's number)
  std::uint8_t names = 0;  // index records made
  // Bit p set where the text of slot position p was longer than its field,
  // and the magnitude bits (see RecordBuilder::kFainterBit).
  std::uint64_t cuts = 0;
};

class RecordBuilder {
 public:
  // The lookup lists are prepared once, here.
  RecordBuilder(const CatalogDefinition& definition, const RecordLayout& layout);
  ~RecordBuilder();
  RecordBuilder(const RecordBuilder&) = delete;
  RecordBuilder& operator=(const RecordBuilder&) = delete;

  // Before the rows of a file: where its rows hold the cells of the slots
  // read (none for fixed columns and the forms that describe bytes, whose
  // slots are byte columns). Throws Error naming the file (resolveColumns).
  const FileColumns& startFile(const std::string& path, const TableLayout& layout);

  // Builds `row`: its record at `record` (recordLength() bytes) and its
  // index records one after another at `index` (room for indexRoom()
  // bytes). `reader` (0 or 1) names the cell placer to use: each thread
  // building rows at once takes its own. Bytes of the record that no field
  // writes keep what they held (see wholeRecord()).
  BuiltRow build(const SourceRow& row, int reader, std::uint8_t* record, std::uint8_t* index);

  std::size_t recordLength() const { return recordLength_; }
  std::size_t indexRecordLength() const { return indexRecordLength_; }
  std::size_t indexRoom() const { return names_.size() * indexRecordLength_; }
  // Every byte of a record is written by some field (always, for the
  // layouts of this system).
  bool wholeRecord() const { return wholeRecord_; }

  // "it has 3 cells where the fields read up to column 5": the note of a
  // refused table row of the file started last.
  std::string refusalText(std::string_view row, RowRefusal refusal) const;

  // The bit of a cut mask that marks a magnitude fainter than the maximum,
  // and the bits below it of the magnitudes changed (MagnitudeChange k at
  // kFirstChangeBit + k).
  static constexpr std::uint64_t kFainterBit = std::uint64_t{1} << 63;
  static constexpr int kFirstChangeBit = 63 - kMagnitudeChangeCount;
  static constexpr std::uint64_t kMagnitudeBits = ~std::uint64_t{0} << kFirstChangeBit;

  // The value of slot `position` of a row (its cell placed by `slots` for a
  // text row), calibrated; `missing` for a blank cell or one that is no
  // number.
  static double slotNumber(const SourceRow& row, const FieldSlot* slots, int position, double missing);

 private:
  // Where a slot cuts a line: from the 0-based byte `start`, `length` bytes
  // at most (0: no column), as rawText cuts it.
  struct Column {
    std::size_t start = 0;
    std::size_t length = 0;
  };
  // One record field with everything its conversion needs, worked out once.
  struct FieldPlan {
    Column column;
    int position;  // the slot's list position
    ValueKind kind;
    double calcA;
    double calcB;
    double scale;
    double missing;
    std::size_t offset;
    std::size_t width;
    std::uint64_t cutBit;  // Text: the bit of its slot position in a cut mask
    // Scaled16 with calcA 1 and calcB 0 and a scale of 10^tenPower; else -1.
    int tenPower;
  };
  struct NameSource {
    Column column;
    int position;
    std::string prefix;  // trimmed and cut to the name length; empty unless prefixed
  };
  // A reader's placer and the slots it points at a table row's cells.
  struct Placing {
    std::unique_ptr<CellPlacer> placer;
    std::array<FieldSlot, kSlotCount> slots;
  };

  static Column columnOf(const FieldSlot& slot);
  static std::string_view cut(std::string_view line, Column c) {
    if (c.start >= line.size()) return {};
    return {line.data() + c.start, std::min(c.length, line.size() - c.start)};
  }
  // The faces of a row a field reads: its text, number and scaled number.
  // A text line through the fixed columns, or the slots placed on a table
  // row's cells.
  struct LineRow;
  // A fixed-column line at least wholeLineLength_ long: every column lies in
  // it whole, so a field's text is its column with nothing to check.
  struct WholeLine;
  // The typed cells of a FITS or VOTable row.
  struct TypedRow;
  template <typename Row>
  BuiltRow buildFrom(const Row& row, const SkyPosition& position, std::uint8_t* record, std::uint8_t* index) const;
  // Returns the cut mask of the row.
  template <typename Row>
  std::uint64_t fillRecord(const Row& row, std::uint8_t* record, double ra, double dec) const;
  // The cut-mask bit of a magnitude whose scaled value `v` is fainter than
  // the maximum or outside the field (0 for a blank one).
  template <typename Row>
  std::uint64_t magnitudeBit(const Row& row, const FieldPlan& f, std::int64_t v) const;
  // The index record of one name of the row at `out` (8 + name length
  // bytes); false, with `out` scribbled on, when the name is blank.
  template <typename Row>
  bool formIndexRecord(const Row& row, const NameSource& src, const std::uint8_t position[8],
                       std::uint8_t* out) const;
  // Why a row's position is refused: as reasonOf says, but an IPAC position
  // cell that holds its null is a missing position, not no number.
  template <typename Row>
  RejectReason rejectReasonOf(const Row& row, const SkyPosition& position) const;
  template <typename Row>
  SkyPosition positionOf(const Row& row) const;
  // A typed row whose position is refused: MissingRa or MissingDec when a
  // component's cell holds no value, else None.
  RowRefusal missingCell(const TypedRow& row) const;
  // The slots (a bit per position) of the right ascension's numbers and of
  // the declination's (its sign aside).
  std::pair<std::uint64_t, std::uint64_t> positionMasks() const;

  const CatalogDefinition& def_;
  LookupLists lookups_;
  RegionFinder findRegion_;
  int ratype_, dectype_, raCount_;
  TableForm form_;
  bool cells_;  // delimited: slots read cells
  std::size_t recordLength_;
  std::size_t nameLength_;
  std::size_t indexRecordLength_;
  std::vector<FieldPlan> fields_;
  std::vector<NameSource> names_;
  std::vector<int> readPositions_;  // the slots the build reads
  std::array<bool, kSlotCount> textSlots_{};
  // Fixed columns: the end of the last column read (a line this long or
  // longer is a WholeLine), and the columns of the slots.
  std::size_t wholeLineLength_ = 0;
  std::array<Column, kSlotCount> slotColumns_{};
  // The magnitude entry's list position (-1: none is written) and the
  // largest stored value within the maximum magnitude, at most 32766 (32767
  // is no magnitude): a larger value is counted.
  int magnitudePosition_ = -1;
  std::int64_t faintestStored_ = 0;
  bool wholeRecord_ = false;
  // Of the file started last.
  FileColumns columns_;
  Delimiting delimiting_;
  Placing placing_[2];
};

}  // namespace mirdal
