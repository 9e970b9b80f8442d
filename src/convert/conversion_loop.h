#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/cell_columns.h"
#include "input/row_source.h"
#include "convert/reject_log.h"
#include "convert/sky_position.h"
#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"
#include "output/catalog_files.h"
#include "output/record_layout.h"
#include "output/region_scheme.h"
#include "util/file_system.h"
#include "util/threads.h"

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

struct ConversionCounters {
  std::int64_t lines = 0;
  std::int64_t records = 0;
  std::int64_t indexRecords = 0;
  std::int64_t rejected = 0;
  // Why rows of a table were refused other than for an impossible position
  // (a cell that does not fit the table, a right ascension or declination
  // missing), each naming the file and the line or row: the first kMaxNotes
  // of them.
  std::vector<std::string> notes;
  std::int64_t refusedRows = 0;  // rows refused so, noted or not
  static constexpr std::size_t kMaxNotes = 20;
  // Per slot position: the texts of a text field longer than its length
  // (the cell of a table row; a fixed column is cut by the slot itself), and
  // where the first of them stands ("\"a.csv\" line 12", "\"b.fits\" row 3").
  std::array<std::int64_t, kSlotCount> textsCut{};
  std::array<std::string, kSlotCount> firstCut;
  // Records whose magnitude is fainter than the catalog's maximum magnitude
  // (a missing magnitude is none), and where the first stands.
  std::int64_t fainter = 0;
  std::string firstFainter;
  // Per MagnitudeChange: the records whose magnitude was changed for it, and
  // where the first stands.
  std::array<std::int64_t, kMagnitudeChangeCount> magnitudesChanged{};
  std::array<std::string, kMagnitudeChangeCount> firstMagnitudeChanged;
  // Per RejectReason: the lines refused for it, and where the first stands.
  std::array<std::int64_t, kRejectReasonCount> rejectedFor{};
  std::array<std::string, kRejectReasonCount> firstRejectedFor;
};

// Stage "Convert catalog files": every line of every input file becomes one
// data record in the region of its position, plus one index record per
// non-empty name, or is refused to the reject log when its position is
// impossible. The lookup lists are prepared once, when the loop is made.
//
// Files in a table form are read from the first row after their header
// (which never reaches the reject log). In a delimited form `#` comment and
// blank lines are skipped, a quoted cell may hold line ends (the lines are
// joined, up to kMaxJoinedLines of them), and each slot reads the cell of
// its column; a row that cannot be split, or that has fewer cells than the
// columns the fields read, is refused to the reject log like an impossible
// position, and noted with its line number.
class ConversionLoop {
 public:
  ConversionLoop(const CatalogDefinition& definition, const RecordLayout& layout, CatalogFiles& files,
                 RejectLog& rejectLog, FileSystem& fs);
  ConversionLoop(const ConversionLoop&) = delete;
  ConversionLoop& operator=(const ConversionLoop&) = delete;
  ~ConversionLoop();

  // Called with the file's size once it is open.
  using Opened = std::function<void(std::int64_t size)>;
  // Called before every 1000th line of a file is read, with the reader's
  // position; it may throw to stop the build (abort).
  using Checkpoint = std::function<void(std::int64_t position)>;

  void convertFile(const std::string& path, int eol, const Opened& opened, const Checkpoint& checkpoint);
  // Converts one line (exposed for tests and fuzzing).
  void convertLine(std::string_view line);

  const ConversionCounters& counters() const { return counters_; }
  // Lines (rows) read so far from every file, on the reading thread: what a
  // checkpoint may show as progress while counters() are still being made.
  std::int64_t linesRead() const { return linesRead_; }

  // A quoted cell may run over this many lines after the one it opens in,
  // and the row may grow to kMaxJoinedBytes; when its quote is still open
  // then (or at the end of the file), the first line is refused and the
  // lines after it are read again as rows of their own.
  static constexpr int kMaxJoinedLines = RowSource::kMaxJoinedLines;
  static constexpr std::size_t kMaxJoinedBytes = RowSource::kMaxJoinedBytes;

 private:
  // Where a slot cuts a line: from the 0-based byte `start`, `length` bytes
  // at most (0: no column), as rawText cuts it.
  struct Column {
    std::size_t start = 0;
    std::size_t length = 0;
  };
  // The bit of a cut mask that marks a magnitude fainter than the maximum,
  // and the bits below it of the magnitudes changed (MagnitudeChange k at
  // kFirstChangeBit + k).
  static constexpr std::uint64_t kFainterBit = std::uint64_t{1} << 63;
  static constexpr int kFirstChangeBit = 63 - kMagnitudeChangeCount;
  static constexpr std::uint64_t kMagnitudeBits = ~std::uint64_t{0} << kFirstChangeBit;
  // One record field with everything its conversion needs, worked out once.
  struct FieldPlan {
    Column column;
    int position;  // the slot's list position
    const FieldSlot* slot;  // for the table lookups
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

  static Column columnOf(const FieldSlot& slot);
  static std::string_view cut(std::string_view line, Column c) {
    if (c.start >= line.size()) return {};
    return {line.data() + c.start, std::min(c.length, line.size() - c.start)};
  }
  // What a record is made of, read from one row: a text line (through the
  // fixed columns, or the slots placed on a table row's cells) or the typed
  // cells of a FITS or VOTable row. Each gives a field's text, number and
  // scaled number.
  struct LineRow;
  // A fixed-column line at least wholeLineLength_ long: every column lies in
  // it whole, so a field's text is its column with nothing to check.
  struct WholeLine;
  struct TypedRow;
  // Returns the cut mask of the row: bit p set where the text of slot
  // position p was longer than its field.
  template <typename Row>
  std::uint64_t fillRecord(const Row& row, std::uint8_t* record, double ra, double dec) const;
  // The cut-mask bit of a magnitude whose scaled value `v` is fainter than
  // the maximum or outside the field (0 for a blank one).
  template <typename Row>
  std::uint64_t magnitudeBit(const Row& row, const FieldPlan& f, std::int64_t v) const;
  // Counts the texts of a cut mask, the first of each at `where` (a
  // function, so that the text is made only for a first).
  template <typename Where>
  void countCuts(std::uint64_t mask, const Where& where);
  // The index record of one name of the row at `out` (8 + name length
  // bytes); false, with `out` scribbled on, when the name is blank.
  template <typename Row>
  bool formIndexRecord(const Row& row, const NameSource& src, const std::uint8_t position[8],
                       std::uint8_t* out) const;
  template <typename Row>
  void writeIndexRecords(const Row& row, double ra, double dec);
  // FITS and VOTable files: rows of typed cells, converted one by one.
  void convertTypedFile(RowSource& rows, const Opened& opened, const Checkpoint& checkpoint);

  // Where a table row's slots point, worked out by the placer of the thread
  // converting it; nullptr for a fixed-column line.
  struct PlacedRow {
    std::string_view text;
    const FieldSlot* slots = nullptr;
    RowRefusal refusal = RowRefusal::None;
  };
  PlacedRow placeRow(std::string_view line, CellPlacer* placer, FieldSlot* slots) const;
  // Per file of a delimited form: the columns of the slots.
  void prepareFile(const std::string& path, const TableLayout& layout);
  // The slots (a bit per position) of the right ascension's numbers and of
  // the declination's (its sign aside).
  std::pair<std::uint64_t, std::uint64_t> positionMasks() const;
  void note(std::int64_t lineNumber, std::string_view row, RowRefusal refusal, const char* unit = "line");
  // Every refused line or row: to the reject log and the counts by reason
  // (`where` is a function, so that the text is made only for a first).
  template <typename Where>
  void reject(std::string_view text, RejectReason reason, const Where& where);
  // Why a text row's position is refused: as reasonOf says, but an IPAC
  // position cell that holds its null is a missing position, not no number.
  template <typename Row>
  RejectReason rejectReasonOf(const Row& row, const SkyPosition& position) const;

  // Lines are converted in batches: the lines read up to every second
  // checkpoint (or 1 MiB of them). Where the machine has two cores a second
  // thread shares the work: batch k is converted by both threads, then the
  // helper hands it to the files and the reject log, line by line in input
  // order exactly as convertLine would, while this thread reads batch k + 1
  // and starts converting it; the helper joins in when it is done. Only the
  // helper writes while this thread reads, so each of the two keeps its
  // order (while it waits for the helper, this thread writes whole region
  // buffers of a flush the helper started, which the flush waits for);
  // every line read before a checkpoint's abort, a failure or the end
  // of a file is handed on before the loop goes on, and after a failed write
  // nothing more is.
  struct Batch {
    std::string bytes;               // the lines, back to back
    std::vector<std::size_t> ends;   // where each line ends in `bytes`
    std::vector<int> regions;        // per line: its region, or 0 when refused
    std::vector<std::uint8_t> names; // per line: its index records
    std::vector<std::uint8_t> records;
    std::vector<std::uint8_t> indexRecords;
    std::vector<std::int64_t> lineNumbers;  // table forms: per row, its first line in the file
    std::vector<RowRefusal> refusals;       // table forms: per refused row, why
    std::vector<RejectReason> reasons;      // per refused line, why
    std::int64_t firstLine = 0;             // the line number of the first (fixed columns)
    std::vector<std::uint64_t> cuts;        // per line: its cut mask (see fillRecord)
    std::string_view line(std::size_t i) const {
      const std::size_t begin = i == 0 ? 0 : ends[i - 1];
      return {bytes.data() + begin, ends[i] - begin};
    }
    void empty();
  };
  bool batching() const { return wholeRecord_; }
  void addToBatch(std::string_view line, std::int64_t lineNumber);
  void convertLines(Batch& batch, std::size_t from, std::size_t to, CellPlacer* placer) const;
  // Line i of the batch from its row and position, as convertLines does it.
  template <typename Row>
  void convertRow(Batch& batch, std::size_t i, const Row& row, const SkyPosition& position) const;
  SkyPosition positionOf(const WholeLine& row) const;
  void convertShare(Batch& batch, CellPlacer* placer);
  void handOn(Batch& batch);
  void endBatch();
  void waitForHelper(Batch& batch);
  void drain();

  const CatalogDefinition& def_;
  const RecordLayout& layout_;
  CatalogFiles& files_;
  RejectLog& rejectLog_;
  FileSystem& fs_;
  std::int64_t linesRead_ = 0;
  LookupLists lookups_;
  RegionFinder findRegion_;
  int ratype_, dectype_, raCount_;
  std::vector<FieldPlan> fields_;
  // Fixed columns: the end of the last column read (a line this long or
  // longer is a WholeLine), and the columns of the position's slots.
  std::size_t wholeLineLength_ = 0;
  std::array<Column, kSlotCount> slotColumns_{};
  std::vector<NameSource> names_;
  std::size_t nameLength_;
  // The magnitude entry's list position (-1: none is written) and the
  // largest stored value within the maximum magnitude, at most 32766 (32767
  // is no magnitude): a larger value is counted.
  int magnitudePosition_ = -1;
  std::int64_t faintestStored_ = 0;
  // Every byte of a record is written by some field, so a record is put
  // together in its region's buffer; otherwise (never for the layouts of
  // this system) it is put together here, where the bytes no field writes
  // keep what an earlier line left, and then copied.
  bool wholeRecord_ = false;
  std::vector<std::uint8_t> record_;
  ConversionCounters counters_;

  // Table forms.
  TableForm form_;
  bool cells_;                       // delimited: slots read cells
  std::vector<int> readPositions_;   // the slots the build reads
  std::array<bool, kSlotCount> textSlots_{};
  std::unique_ptr<CellPlacer> placers_[2];  // this thread's, the helper's
  std::string path_;                 // of the file being read
  Delimiting delimiting_;            // of the file being read
  std::int64_t lineNumber_ = 0;      // of the row convertLine converts
  // Typed tables: per slot, its cell among the columns selected; -1 for none.
  std::array<int, kSlotCount> typedCell_{};
  std::size_t indexRecordLength_;
  Batch batches_[2];
  int current_ = 0;  // the batch being read; the helper may hand on the other
  std::atomic<std::size_t> nextLine_{0};  // of the batch being converted
  bool shareBatches_;  // with a second thread: there are two cores
  std::unique_ptr<JobThread> helper_;
};

}  // namespace mirdal
