#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "support/faulty_file_system.h"

namespace mirdal::testing {

// The real file system, counting the bytes read through each open of one
// file: how often a reader went through the whole of it.
class ReadCountingFileSystem : public FaultyFileSystem {
 public:
  explicit ReadCountingFileSystem(std::string watched) : watched_(std::move(watched)) {}

  // Opens of the watched file that read all its `size` bytes.
  int wholeReads(std::int64_t size) const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(opens_.begin(), opens_.end(), [&](const auto& n) { return n >= size; }));
  }

  int opens() const {
    const std::lock_guard lock(mutex_);
    return static_cast<int>(opens_.size());
  }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    std::unique_ptr<File> inner = FaultyFileSystem::open(path, mode);
    if (path != watched_) return inner;
    const std::lock_guard lock(mutex_);
    return std::make_unique<Counted>(std::move(inner), opens_.emplace_back(0));
  }

 private:
  class Counted : public File {
   public:
    Counted(std::unique_ptr<File> inner, std::atomic<std::int64_t>& bytes) : inner_(std::move(inner)), bytes_(bytes) {}
    std::size_t read(void* b, std::size_t n) override {
      const std::size_t got = inner_->read(b, n);
      bytes_ += static_cast<std::int64_t>(got);
      return got;
    }
    void write(const void* b, std::size_t n) override { inner_->write(b, n); }
    void seek(std::int64_t o) override { inner_->seek(o); }
    std::int64_t size() override { return inner_->size(); }
    std::optional<FileState> state() override { return inner_->state(); }
    void close() override { inner_->close(); }
    const std::string& path() const override { return inner_->path(); }

   private:
    std::unique_ptr<File> inner_;
    std::atomic<std::int64_t>& bytes_;
  };

  std::string watched_;
  mutable std::mutex mutex_;
  std::deque<std::atomic<std::int64_t>> opens_;  // bytes read through each open
};

}  // namespace mirdal::testing
