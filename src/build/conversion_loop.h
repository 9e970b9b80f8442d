#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "build/input_reader.h"
#include "build/reject_log.h"
#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"
#include "output/catalog_files.h"
#include "output/record_layout.h"
#include "output/region_scheme.h"
#include "util/file_system.h"

namespace mirdal {

struct ConversionCounters {
  std::int64_t lines = 0;
  std::int64_t records = 0;
  std::int64_t indexRecords = 0;
  std::int64_t rejected = 0;
};

// Stage "Convert catalog files": every line of every input file becomes one
// data record in the region of its position, plus one index record per
// non-empty name, or is refused to the reject log when its position is
// impossible. The lookup lists are prepared once, when the loop is made.
class ConversionLoop {
 public:
  ConversionLoop(const CatalogDefinition& definition, const RecordLayout& layout, CatalogFiles& files,
                 RejectLog& rejectLog, FileSystem& fs = FileSystem::real());
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
    const FieldSlot* slot;  // for the table lookups
    ValueKind kind;
    double calcA;
    double calcB;
    double scale;
    double missing;
    std::size_t offset;
    std::size_t width;
    // Scaled16 with calcA 1 and calcB 0 and a scale of 10^tenPower; else -1.
    int tenPower;
  };
  struct NameSource {
    Column column;
    std::string prefix;  // trimmed and cut to the name length; empty unless prefixed
  };

  static Column columnOf(const FieldSlot& slot);
  static std::string_view cut(std::string_view line, Column c) {
    if (c.start >= line.size()) return {};
    return {line.data() + c.start, std::min(c.length, line.size() - c.start)};
  }
  void fillRecord(std::string_view line, std::uint8_t* record, double ra, double dec) const;
  // The index record of one name of the line at `out` (8 + name length
  // bytes); false, with `out` scribbled on, when the name column is blank.
  bool formIndexRecord(std::string_view line, const NameSource& src, const std::uint8_t position[8],
                       std::uint8_t* out) const;
  void writeIndexRecords(std::string_view line, double ra, double dec);

  // Lines are converted in batches: the lines read up to the next
  // checkpoint (or 1 MiB of them). Where the machine has two cores a second
  // thread shares the work: batch k is converted by both threads, then the
  // helper hands it to the files and the reject log, line by line in input
  // order exactly as convertLine would, while this thread reads batch k + 1
  // and starts converting it; the helper joins in when it is done. Only the
  // helper writes while this thread reads, so each of the two keeps its
  // order; every line read before a checkpoint's abort, a failure or the end
  // of a file is handed on before the loop goes on, and after a failed write
  // nothing more is.
  struct Batch {
    std::string bytes;               // the lines, back to back
    std::vector<std::size_t> ends;   // where each line ends in `bytes`
    std::vector<int> regions;        // per line: its region, or 0 when refused
    std::vector<std::uint8_t> names; // per line: its index records
    std::vector<std::uint8_t> records;
    std::vector<std::uint8_t> indexRecords;
    std::string_view line(std::size_t i) const {
      const std::size_t begin = i == 0 ? 0 : ends[i - 1];
      return {bytes.data() + begin, ends[i] - begin};
    }
    void empty();
  };
  class Helper;
  bool batching() const { return wholeRecord_; }
  void addToBatch(std::string_view line);
  void convertLines(Batch& batch, std::size_t from, std::size_t to) const;
  void convertShare(Batch& batch);
  void handOn(Batch& batch);
  void endBatch();
  void waitForHelper(Batch& batch);
  void drain();

  const CatalogDefinition& def_;
  const RecordLayout& layout_;
  CatalogFiles& files_;
  RejectLog& rejectLog_;
  InputReader reader_;
  LookupLists lookups_;
  RegionFinder findRegion_;
  int ratype_, dectype_, raCount_;
  std::vector<FieldPlan> fields_;
  std::vector<NameSource> names_;
  std::size_t nameLength_;
  // Every byte of a record is written by some field, so a record is put
  // together in its region's buffer; otherwise (never for the layouts of
  // this system) it is put together here, where the bytes no field writes
  // keep what an earlier line left, and then copied.
  bool wholeRecord_ = false;
  std::vector<std::uint8_t> record_;
  ConversionCounters counters_;
  std::size_t indexRecordLength_;
  Batch batches_[2];
  int current_ = 0;  // the batch being read; the helper may hand on the other
  std::atomic<std::size_t> nextLine_{0};  // of the batch being converted
  bool shareBatches_;  // with a second thread: there are two cores
  std::unique_ptr<Helper> helper_;
};

}  // namespace mirdal
