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
#include "convert/record_builder.h"
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
  // One row converted and handed on at once: typed rows, whose cells live
  // only until the next chunk of them, and every row where records are not
  // batched.
  void convertRow(const SourceRow& row);
  // Counts the texts of a cut mask, the first of each at `where` (a
  // function, so that the text is made only for a first).
  template <typename Where>
  void countCuts(std::uint64_t mask, const Where& where);
  void note(std::int64_t lineNumber, std::string_view row, RowRefusal refusal, const char* unit = "line");
  // Every refused line or row: to the reject log and the counts by reason
  // (`where` is a function, so that the text is made only for a first).
  template <typename Where>
  void reject(std::string_view text, RejectReason reason, const Where& where);
  template <typename Where>
  bool handOnRow(const BuiltRow& built, const std::uint8_t* record, const std::uint8_t* index,
                 std::string_view rejected, const Where& where);

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
    std::vector<BuiltRow> built;     // per line: what its conversion gave
    std::vector<std::uint8_t> records;
    std::vector<std::uint8_t> indexRecords;
    std::vector<std::int64_t> lineNumbers;  // table forms: per row, its first line in the file
    std::int64_t firstLine = 0;             // the line number of the first (fixed columns)
    std::string_view line(std::size_t i) const {
      const std::size_t begin = i == 0 ? 0 : ends[i - 1];
      return {bytes.data() + begin, ends[i] - begin};
    }
    void empty();
  };
  // Every byte of a record is written by some field, so a batch's records
  // need nothing from the rows before them.
  bool batching() const { return builder_.wholeRecord(); }
  void addToBatch(std::string_view line, std::int64_t lineNumber);
  // `reader`: the builder's cell placer of the thread (0: this one, 1: the helper).
  void convertLines(Batch& batch, std::size_t from, std::size_t to, int reader);
  void convertShare(Batch& batch, int reader);
  void handOn(Batch& batch);
  void endBatch();
  void waitForHelper(Batch& batch);
  void drain();

  const CatalogDefinition& def_;
  RecordBuilder builder_;
  CatalogFiles& files_;
  RejectLog& rejectLog_;
  FileSystem& fs_;
  std::int64_t linesRead_ = 0;
  ConversionCounters counters_;
  // convertRow builds here; where some byte of a record is written by no
  // field, it keeps what an earlier row left.
  std::vector<std::uint8_t> record_;
  std::vector<std::uint8_t> indexRecords_;
  // Of the file being read.
  std::string path_;
  RowSource* source_ = nullptr;
  std::int64_t lineNumber_ = 0;  // of the row convertLine converts
  Batch batches_[2];
  int current_ = 0;  // the batch being read; the helper may hand on the other
  std::atomic<std::size_t> nextLine_{0};  // of the batch being converted
  bool shareBatches_;  // with a second thread: there are two cores
  std::unique_ptr<JobThread> helper_;
};

}  // namespace mirdal
