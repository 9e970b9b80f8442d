#include "output/catalog_files.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "output/append_check.h"
#include "output/region_scheme.h"
#include "sort/fix_rec_sort.h"
#include "util/error.h"
#include "util/threads.h"

namespace mirdal {

namespace {
constexpr std::size_t kIndexBufferSize = 4u << 20;
// A region's buffer starts a quarter above its share of the budget: when the
// records spread evenly, no buffer has to grow before the budget is used up
// and every region is written out. Room that is never written takes no
// memory; a grown buffer leaves a hole in the heap unless it is large.
constexpr std::size_t kMaxInitialRegionBuffer = 8u << 20;

// Whether `files` more may be kept open, with room to spare for the rest of
// the process (the programs raise their limit to the most allowed when they
// start).
bool mayKeepOpen(std::size_t files) {
  constexpr rlim_t kSpare = 256;
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  return limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= static_cast<rlim_t>(files) + kSpare;
}
}  // namespace

CatalogFiles::CatalogFiles(FileSystem& fs, std::string outputDirectory, const RecordLayout& layout, bool append,
                           std::size_t memoryBudget)
    : fs_(fs),
      dir_(std::move(outputDirectory)),
      base_(baseName(layout.header.shortName)),
      scheme_(layout.regionCount),
      append_(append),
      hasIndex_(layout.index),
      recordLength_(static_cast<std::size_t>(layout.recordLength)),
      budget_(memoryBudget != kBudgetForLayout
                  ? memoryBudget
                  : std::max(kDefaultMemoryBudget,
                             static_cast<std::size_t>(std::max(layout.regionCount, 0)) * kLeastRegionShare)),
      indexRecordLength_(static_cast<std::size_t>(layout.indexRecordLength())),
      headerBytes_(layout.header.encode()),
      initialRegionCapacity_(0) {
  if (!RegionScheme::isValid(scheme_)) throw Error("Invalid number of files : " + std::to_string(scheme_));
  regions_.resize(static_cast<std::size_t>(scheme_));
  const std::size_t share = std::min(budget_ / regions_.size() / 4 * 5, kMaxInitialRegionBuffer);
  const std::size_t records = std::max<std::size_t>(share / std::max<std::size_t>(recordLength_, 1), 1);
  initialRegionCapacity_ = records * recordLength_;
}

CatalogFiles::~CatalogFiles() { abandon(); }

std::string CatalogFiles::headerPath() const { return dir_ + base_ + ".hdr"; }
std::string CatalogFiles::indexPath() const { return dir_ + base_ + ".idx"; }
std::string CatalogFiles::regionPath(int region) const { return dir_ + regionFileName(base_, scheme_, region); }

void CatalogFiles::createZoneDirectories() {
  if (scheme_ != 732 && scheme_ != 9537) return;
  // A directory that cannot be created shows up as a file that cannot be.
  for (std::string_view zone : kZoneDirectoryNames) {
    try {
      fs_.createDirectories(dir_ + std::string(zone));
    } catch (const Error&) {
    }
  }
}

void CatalogFiles::copyFrom(const std::string& directory) {
  createZoneDirectories();
  // The append check looked at these files already; they are looked at
  // again as they are copied, since any may have been swapped meanwhile.
  auto copy = [&](const std::string& from, const std::string& to, std::size_t recordLength) {
    refuseOutsideOrSpecial(fs_, directory, from);
    requireWholeRecords(from, copyFile(fs_, from, to), static_cast<std::int64_t>(recordLength));
  };
  for (int r = 1; r <= scheme_; ++r)
    copy(directory + regionFileName(base_, scheme_, r), regionPath(r), recordLength_);
  if (hasIndex_) copy(directory + base_ + ".idx", indexPath(), indexRecordLength_);
}

void CatalogFiles::create(const RegionHook& beforeEachRegion) {
  createZoneDirectories();

  {
    auto header = fs_.open(headerPath(), OpenMode::Create);
    header->write(headerBytes_.data(), headerBytes_.size());
    header->close();
  }

  if (hasIndex_) {
    indexFile_ = fs_.open(indexPath(), append_ ? OpenMode::Append : OpenMode::Create);
  }

  // Opening a file at every flush costs about as much as a third of the
  // write at 9537 regions.
  const bool keepOpen = mayKeepOpen(regions_.size());
  for (int r = 1; r <= scheme_; ++r) {
    if (beforeEachRegion) beforeEachRegion(r);
    auto file = fs_.open(regionPath(r), append_ ? OpenMode::Append : OpenMode::Create);
    if (keepOpen) {
      const std::int64_t end = append_ ? file->size() : 0;
      openRegions_.push_back(std::move(file));
      regionEnds_.push_back(end);
    } else {
      file->close();
    }
  }
}

void CatalogFiles::sortIndexRuns(std::size_t runBytes, TextFromCompare compare) {
  if (append_ || indexRecordLength_ == 0) return;
  indexRunBytes_ = std::max<std::size_t>(runBytes / indexRecordLength_, 1) * indexRecordLength_;
  indexCompare_ = compare;
}

void CatalogFiles::waitForIndexRun() {
  if (runWriter_) runWriter_->wait();
}

bool CatalogFiles::handOnIndexRun() {
  if (runsWrittenHere_) return false;
  if (!runWriter_) {
    // A file system whose files may not be written from two threads, or no
    // thread to be had: the caller writes every run.
    runsWrittenHere_ = !fs_.threadSafe();
    if (runsWrittenHere_) return false;
    try {
      runWriter_ = std::make_unique<JobThread>();
    } catch (const std::system_error&) {
      runsWrittenHere_ = true;
      return false;
    }
  }
  waitForIndexRun();  // the run before, whose buffer is taken back
  if (spareIndex_.capacity < index_.capacity) resize(spareIndex_, index_.capacity);
  std::swap(index_, spareIndex_);
  const auto records = static_cast<std::int64_t>(spareIndex_.size / indexRecordLength_);
  spareIndex_.size = 0;
  indexRuns_.push_back(records);
  runWriter_->post([data = spareIndex_.data.get(), records, length = static_cast<int>(indexRecordLength_),
                    compare = indexCompare_, file = indexFile_.get()] {
    writeStablySorted(data, records, length, compare, *file);
  });
  return true;
}

void CatalogFiles::flushIndex() {
  // The run the writer has goes to the file first; its room is not needed
  // while this one is sorted.
  waitForIndexRun();
  spareIndex_.data.reset();
  spareIndex_.capacity = 0;
  if (index_.size == 0) return;
  // Index records without an index file (never asked for) are dropped.
  if (indexFile_) {
    if (indexRunsSorted()) {
      const auto records = static_cast<std::int64_t>(index_.size / indexRecordLength_);
      writeStablySorted(index_.data.get(), records, static_cast<int>(indexRecordLength_), indexCompare_, *indexFile_);
      indexRuns_.push_back(records);
    } else {
      writeWhole(*indexFile_, index_.data.get(), index_.size);
    }
  }
  index_.size = 0;
}

void CatalogFiles::makeIndexRoom() {
  if (indexRunsSorted()) {
    // A run grows in memory up to its size, so a small index takes little.
    if (index_.capacity < indexRunBytes_) {
      const std::size_t doubled = std::max(kIndexBufferSize, 2 * index_.capacity);
      resize(index_, std::min(indexRunBytes_, doubled / indexRecordLength_ * indexRecordLength_));
      if (index_.capacity - index_.size >= indexRecordLength_) return;
    }
    if (indexFile_ && handOnIndexRun()) return;
    flushIndex();
    return;
  }
  flushIndex();
  if (index_.capacity >= indexRecordLength_) return;
  const std::size_t records = std::max<std::size_t>(kIndexBufferSize / std::max<std::size_t>(indexRecordLength_, 1), 1);
  resize(index_, records * indexRecordLength_);
}

void CatalogFiles::growRegion(Buffer& b) {
  resize(b, std::max(initialRegionCapacity_, 2 * b.capacity));
}

void CatalogFiles::resize(Buffer& b, std::size_t capacity) {
  void* grown = std::realloc(b.data.get(), capacity);
  if (grown == nullptr) throw std::bad_alloc();
  static_cast<void>(b.data.release());
  b.data.reset(static_cast<std::uint8_t*>(grown));
  b.capacity = capacity;
}

void CatalogFiles::flushRegion(int region) {
  Buffer& b = regions_[static_cast<std::size_t>(region - 1)];
  if (b.size == 0) return;
  if (!openRegions_.empty()) {
    // Its size is kept here: a region is flushed thousands of times.
    std::int64_t& end = regionEnds_[static_cast<std::size_t>(region - 1)];
    writeWhole(*openRegions_[static_cast<std::size_t>(region - 1)], b.data.get(), b.size, end);
    end += static_cast<std::int64_t>(b.size);
  } else {
    auto file = fs_.open(regionPath(region), OpenMode::Append);
    writeWhole(*file, b.data.get(), b.size);
    file->close();
  }
  b.size = 0;
  // Keep a modest capacity for the next round; give back large buffers,
  // also one that holds a single record larger than a region's share of the
  // budget: kept for every region, such records would take memory without
  // bound.
  if (b.capacity > budget_ / regions_.size() * 2) {
    b.data.reset();
    b.capacity = 0;
  }
}

void CatalogFiles::flushRegions() {
  if (!flushStarted_) {
    for (int r = 1; r <= scheme_; ++r) flushRegion(r);
    buffered_ = 0;
    return;
  }
  {
    const std::lock_guard lock(flushMutex_);
    nextToFlush_.store(1, std::memory_order_relaxed);
    flushing_ = true;
  }
  flushStarted_();
  takeRegions();
  std::unique_lock lock(flushMutex_);
  flushing_ = false;
  flushHelped_.wait(lock, [&] { return helpers_ == 0; });
  buffered_ = 0;
  if (flushError_) std::rethrow_exception(std::exchange(flushError_, nullptr));
}

void CatalogFiles::takeRegions() {
  try {
    for (int r = nextToFlush_.fetch_add(1, std::memory_order_relaxed); r <= scheme_;
         r = nextToFlush_.fetch_add(1, std::memory_order_relaxed))
      flushRegion(r);
  } catch (...) {
    nextToFlush_.store(scheme_ + 1, std::memory_order_relaxed);
    const std::lock_guard lock(flushMutex_);
    if (!flushError_) flushError_ = std::current_exception();
  }
}

void CatalogFiles::shareFlushes(std::function<void()> started) {
  flushStarted_ = fs_.threadSafe() ? std::move(started) : nullptr;
}

void CatalogFiles::helpFlush() {
  {
    const std::lock_guard lock(flushMutex_);
    if (!flushing_) return;
    ++helpers_;
  }
  takeRegions();
  {
    const std::lock_guard lock(flushMutex_);
    --helpers_;
  }
  flushHelped_.notify_one();
}

void CatalogFiles::close(const RegionHook& beforeEachRegion) {
  closeRegions(beforeEachRegion);
  closeIndex();
}

void CatalogFiles::closeRegions(const RegionHook& beforeEachRegion) {
  for (int r = 1; r <= scheme_; ++r) {
    if (beforeEachRegion) beforeEachRegion(r);
    flushRegion(r);
    Buffer& b = regions_[static_cast<std::size_t>(r - 1)];
    b.data.reset();  // the sorts that follow need the memory
    b.capacity = 0;
    if (!openRegions_.empty()) {
      auto file = std::move(openRegions_[static_cast<std::size_t>(r - 1)]);
      if (file) file->close();
    }
  }
  openRegions_.clear();
  regionEnds_.clear();
  buffered_ = 0;
}

void CatalogFiles::closeIndex() {
  if (indexFile_) {
    flushIndex();
    auto index = std::move(indexFile_);
    index->close();
  }
  runWriter_.reset();  // flushIndex() let go of the spare run
  index_.data.reset();
  index_.capacity = 0;
  index_.size = 0;
}

void CatalogFiles::abandon() noexcept {
  try {
    waitForIndexRun();  // the writer is done with the index file and the run
  } catch (...) {
  }
  for (Buffer& b : regions_) b.size = 0;
  buffered_ = 0;
  for (auto& file : openRegions_) {
    try {
      if (file) file->close();
    } catch (...) {
    }
  }
  openRegions_.clear();
  regionEnds_.clear();
  if (indexFile_) {
    try {
      indexFile_->close();
    } catch (...) {
    }
    indexFile_.reset();
  }
  index_.size = 0;
}

}  // namespace mirdal
