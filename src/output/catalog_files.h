#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "output/record_layout.h"
#include "sort/compare_from.h"
#include "util/file_system.h"
#include "util/threads.h"

namespace mirdal {

// The files of one build in the output directory: the header file, one data
// file per sky region (in zone directories for 732 and 9537 regions) and the
// optional name index.
//
// Up to 9537 region files receive records. Records are gathered in
// per-region buffers under one memory budget; when the budget is used up,
// every buffered region is appended to its file. Each region file so ends
// with exactly its records in input order. Where the process may keep that
// many files open (and 256 more), the region files stay open from their
// creation to close(); otherwise each flush opens, writes and closes them.
// The index file stays open and is written through its own buffer.
class CatalogFiles {
 public:
  // The budget by default: 32 MB, beside an index run being sorted on its
  // own thread; and at least kLeastRegionShare a region, so that under 9537
  // regions a flush does not write each region in smaller pieces.
  static constexpr std::size_t kDefaultMemoryBudget = 32u << 20;
  static constexpr std::size_t kLeastRegionShare = 5u << 10;
  static constexpr std::size_t kBudgetForLayout = 0;

  // `memoryBudget`: kBudgetForLayout takes the default for the layout's regions.
  CatalogFiles(FileSystem& fs, std::string outputDirectory, const RecordLayout& layout, bool append,
               std::size_t memoryBudget = kBudgetForLayout);
  ~CatalogFiles();
  CatalogFiles(const CatalogFiles&) = delete;
  CatalogFiles& operator=(const CatalogFiles&) = delete;

  // Called before region file r (1..N) is created; it may throw (abort).
  using RegionHook = std::function<void(int region)>;

  // In append mode, before create(): copies the region files and the index
  // of the catalog of the same name in `directory`, which the new records
  // are then appended to.
  void copyFrom(const std::string& directory);

  // "Create files": zone directories, the header file, the index file, and
  // every region file created empty (or, in append mode, checked to exist).
  void create(const RegionHook& beforeEachRegion = {});

  void writeRecord(int region, const std::uint8_t* record) {
    std::memcpy(recordSpace(region), record, recordLength_);
    commitRecord(region);
  }
  void writeIndexRecord(const std::uint8_t* record) {
    std::memcpy(indexRecordSpace(), record, indexRecordLength_);
    commitIndexRecord();
  }

  // A record can also be put together where it will be buffered:
  // recordSpace gives room for one record at the end of region r's buffer
  // (its bytes are undefined until written), and commitRecord appends it.
  // Nothing is appended until the commit, so a record abandoned between the
  // two (by a failure while writing its index records) never reaches the
  // file. The room stays valid until the next call on this object.
  std::uint8_t* recordSpace(int region) {
    Buffer& b = regions_[static_cast<std::size_t>(region - 1)];
    if (b.capacity - b.size < recordLength_) growRegion(b);
    return b.data.get() + b.size;
  }
  void commitRecord(int region) {
    regions_[static_cast<std::size_t>(region - 1)].size += recordLength_;
    buffered_ += recordLength_;
    if (buffered_ >= budget_) flushRegions();
  }
  // The same for index records.
  std::uint8_t* indexRecordSpace() {
    if (index_.capacity - index_.size < indexRecordLength_) makeIndexRoom();
    return index_.data.get() + index_.size;
  }
  void commitIndexRecord() { index_.size += indexRecordLength_; }

  // Before the first index record: the index is gathered in memory up to
  // `runBytes` (whole records, at least one) and written in runs, each in
  // the order of a stable sort by `compare`. An index that fits is so
  // written once and in order; a larger one becomes runs back to back that
  // only need merging (indexRuns()). Not in append mode, where the index
  // file starts with the earlier catalog's names: there it is written in
  // input order, as without this call.
  //
  // A full run is sorted and written on a thread of its own while the next
  // one fills (twice a run's memory, and its copy while it is sorted); the
  // writes stay in run order, and a failed one is thrown by the call that
  // hands on the next run or by closeIndex().
  void sortIndexRuns(std::size_t runBytes, TextFromCompare compare);
  // Whether the index file is being written as sorted runs, and the number
  // of records of each run written so far.
  bool indexRunsSorted() const { return indexRunBytes_ != 0; }
  const std::vector<std::int64_t>& indexRuns() const { return indexRuns_; }

  // Lets a second thread share the writing of the region buffers when the
  // budget is used up: `started` is called (on the thread that fills them)
  // as each such flush begins, and the other thread then calls
  // helpFlush(), which writes regions nobody has taken yet and returns when
  // none is left or no flush is under way. The flush returns when every
  // region is written, and throws a failure of either thread. Only where the
  // file system may be written from two threads; an empty `started` ends the
  // sharing.
  void shareFlushes(std::function<void()> started);
  void helpFlush();
  // "Close files": writes what is buffered and closes region files 1..N in
  // order (the hook runs before each), then the index file.
  void close(const RegionHook& beforeEachRegion = {});
  // The two halves of close(), each done once: the region files, then the
  // index (with its last run).
  void closeRegions(const RegionHook& beforeEachRegion = {});
  void closeIndex();
  // After a failure: drops what is buffered and closes everything,
  // swallowing further errors (the files are thrown away with the build).
  void abandon() noexcept;

  int regionCount() const { return static_cast<int>(regions_.size()); }
  const std::string& outputDirectory() const { return dir_; }
  std::string headerPath() const;
  std::string regionPath(int region) const;
  std::string indexPath() const;
  bool hasIndex() const { return hasIndex_; }

 private:
  // Bytes waiting for a file. Grown by realloc rather than as a vector: a
  // vector would fill the room it adds (recordSpace hands it out unfilled),
  // and realloc can often grow a block where it lies instead of copying it.
  struct FreeBytes {
    void operator()(std::uint8_t* p) const { std::free(p); }
  };
  struct Buffer {
    std::unique_ptr<std::uint8_t, FreeBytes> data;
    std::size_t size = 0;
    std::size_t capacity = 0;
  };
  static void resize(Buffer& b, std::size_t capacity);
  void createZoneDirectories();
  void growRegion(Buffer& b);
  void makeIndexRoom();
  void flushRegions();
  void flushRegion(int region);
  // Flushes regions of the flush under way until none is left; a failure is
  // kept for the flushing thread and stops the taking.
  void takeRegions();
  void flushIndex();
  // Hands the full run in index_ to the run writer and takes its spare
  // buffer to fill; false when the caller is to write it.
  bool handOnIndexRun();
  // Waits until the run writer has written the run it was given, if any,
  // and throws its failure.
  void waitForIndexRun();

  FileSystem& fs_;
  std::string dir_;
  std::string base_;
  int scheme_;
  bool append_;
  bool hasIndex_;
  std::size_t recordLength_;
  std::size_t budget_;
  std::size_t indexRecordLength_;
  std::size_t buffered_ = 0;
  std::string headerBytes_;
  std::size_t initialRegionCapacity_;
  std::vector<Buffer> regions_;
  std::unique_ptr<File> indexFile_;
  Buffer index_;
  std::vector<std::unique_ptr<File>> openRegions_;  // empty when they are not kept open
  std::vector<std::int64_t> regionEnds_;             // their sizes
  std::size_t indexRunBytes_ = 0;  // 0: the index is written in input order
  TextFromCompare indexCompare_{};
  std::vector<std::int64_t> indexRuns_;
  // Sorts and writes the runs handed on, from the first full one on.
  std::unique_ptr<JobThread> runWriter_;
  bool runsWrittenHere_ = false;          // by the caller: no thread may write (see handOnIndexRun)
  Buffer spareIndex_;                     // the run the writer has, or had
  // A flush shared with a second thread (see shareFlushes).
  std::function<void()> flushStarted_;
  std::atomic<int> nextToFlush_{0};  // the next region to take; past the last: none
  std::mutex flushMutex_;
  std::condition_variable flushHelped_;
  bool flushing_ = false;   // under flushMutex_, as the two below
  int helpers_ = 0;         // in takeRegions() from helpFlush()
  std::exception_ptr flushError_;
};

}  // namespace mirdal
