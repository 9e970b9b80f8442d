#include "convert/region_sort.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "output/post_build_sort.h"
#include "util/threads.h"

namespace mirdal {

namespace {

// What the two threads share: the next region to take, and the first
// failure, after which neither takes another.
class SharedRegions {
 public:
  explicit SharedRegions(int count) : count_(count) {}

  // The next region nobody has taken; 0 when none is left or after a failure.
  int take() {
    if (stopped()) return 0;
    const int r = next_.fetch_add(1, std::memory_order_relaxed);
    return r <= count_ ? r : 0;
  }
  bool stopped() const { return stopped_.load(std::memory_order_acquire); }
  void fail(std::exception_ptr error) {
    {
      const std::lock_guard lock(mutex_);
      if (!error_) error_ = std::move(error);
    }
    stopped_.store(true, std::memory_order_release);
  }
  // Once the second thread has ended.
  void rethrowFailure() {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  const int count_;
  std::atomic<int> next_{1};
  std::atomic<bool> stopped_{false};
  std::mutex mutex_;
  std::exception_ptr error_;
};

}  // namespace

void sortRegionFilesByMagnitude(InPlaceSorter& sorter, const std::string& scratch,
                                const std::vector<std::string>& regionFiles, const std::string& workDirectory,
                                const RecordLayout& layout, std::int64_t oneRunLimit,
                                const std::function<void(int region)>& beforeRegion,
                                const std::function<bool()>& stopRequested,
                                const std::function<void()>& beside) {
  const int count = static_cast<int>(regionFiles.size());
  FileSystem& fs = sorter.fileSystem();
  SharedRegions shared(count);
  auto sortRegion = [&](InPlaceSorter& by, int r, const std::string& scratchFile) {
    sortRegionByMagnitude(by, regionFiles[static_cast<std::size_t>(r - 1)], scratchFile, layout, oneRunLimit);
  };

  std::thread second;
  if ((count >= 2 || beside) && std::thread::hardware_concurrency() > 1 && fs.threadSafe()) {
    try {
      second = threadWithoutStopSignals([&] {
        try {
          if (beside && !stopRequested()) beside();
          InPlaceSorter own(fs, workDirectory + kSecondRunFile);
          const std::string ownScratch = workDirectory + kSecondScratch;
          for (int r; !stopRequested() && (r = shared.take()) != 0;) sortRegion(own, r, ownScratch);
        } catch (...) {
          shared.fail(std::current_exception());
        }
      });
    } catch (const std::system_error&) {
      // No second thread: this one takes every region.
    }
  }

  // Nothing below lets an exception past the join.
  int shown = 0;
  try {
    for (int r; (r = shared.take()) != 0;) {
      while (shown < r) beforeRegion(++shown);
      sortRegion(sorter, r, scratch);
    }
    // The regions the second thread took last.
    if (!shared.stopped())
      while (shown < count) beforeRegion(++shown);
    if (beside && !second.joinable()) beside();
  } catch (...) {
    shared.fail(std::current_exception());
  }
  if (second.joinable()) second.join();
  shared.rethrowFailure();
}

}  // namespace mirdal
