#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "support/faulty_file_system.h"

namespace mirdal::testing {

// The real file system, counting the bytes read through each open of one
// file (by the opening thread or a decoder's).
class ReadCountingFileSystem : public FaultyFileSystem {
 public:
  explicit ReadCountingFileSystem(std::string watched) : watched_(std::move(watched)) {}

  int opens() const { return static_cast<int>(opens_.size()); }
  // Opens of the watched file that read all its `size` bytes.
  int wholeReads(std::int64_t size) const {
    int n = 0;
    for (const auto& bytes : opens_) n += bytes >= size ? 1 : 0;
    return n;
  }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    std::unique_ptr<File> inner = FaultyFileSystem::open(path, mode);
    return path == watched_ ? std::make_unique<Counted>(std::move(inner), opens_.emplace_back(0)) : std::move(inner);
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
  std::deque<std::atomic<std::int64_t>> opens_;  // bytes read through each open
};

}  // namespace mirdal::testing
