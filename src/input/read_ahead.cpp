#include "input/read_ahead.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "util/error.h"
#include "util/interrupt.h"
#include "util/threads.h"

namespace mirdal {

namespace {

class ReadAheadSource final : public InputSource {
 public:
  ReadAheadSource(std::unique_ptr<InputSource> source, std::size_t blockSize, int blocks)
      : source_(std::move(source)), path_(source_->path()), fileSize_(source_->fileSize()),
        directFirst_(std::max<std::size_t>(blockSize, 1)) {
    for (int i = 0; i < std::max(blocks, 1); ++i) free_.emplace_back(std::max<std::size_t>(blockSize, 1));
  }
  ~ReadAheadSource() override { stop(); }
  ReadAheadSource(const ReadAheadSource&) = delete;
  ReadAheadSource& operator=(const ReadAheadSource&) = delete;

  // As every source: a stop request is seen once per read; what a read
  // gathered before a stop is handed out, the AbortError comes with the
  // next read. Any other failure is thrown by the read that asks for text
  // past the last the source made, as the source throws it.
  std::size_t read(char* buffer, std::size_t n, bool& atEnd) override {
    if (!worker_.joinable() && !direct_) {
      // The first block's worth is read on this thread: a reader of the
      // head alone (a form, a header, the line ends) starts no thread and
      // has no more text decompressed than it asks for.
      if (readDirectly_ < directFirst_) {
        const std::size_t got = readHere(buffer, n, atEnd);
        readDirectly_ += got;
        return got;
      }
      current_.fileBytesAfter = source_->fileBytesRead();
      try {
        worker_ = threadWithoutStopSignals([this] { fill(); });
      } catch (const std::system_error&) {
        direct_ = true;  // no thread to be had: read on this one
      }
    }
    if (direct_) return readHere(buffer, n, atEnd);
    stopIfInterrupted();
    std::size_t got = 0;
    while (got < n) {
      if (taken_ == current_.size) {
        if (current_.atEnd) {
          atEnd = true;
          break;
        }
        if (current_.error) {
          if (got > 0 && isAbort(current_.error)) break;
          std::rethrow_exception(current_.error);
        }
        next();
        continue;
      }
      const std::size_t k = std::min(n - got, current_.size - taken_);
      std::memcpy(buffer + got, current_.bytes.data() + taken_, k);
      taken_ += k;
      got += k;
    }
    return got;
  }
  std::int64_t fileBytesRead() const override {
    if (direct_ || !worker_.joinable()) return source_->fileBytesRead();
    if (current_.size == 0) return current_.fileBytesAfter;
    const std::int64_t span = current_.fileBytesAfter - current_.fileBytesBefore;
    return current_.fileBytesBefore +
           static_cast<std::int64_t>(static_cast<double>(span) * static_cast<double>(taken_) /
                                     static_cast<double>(current_.size));
  }
  std::int64_t fileSize() override { return fileSize_; }
  void close() override {
    stop();
    source_->close();
  }
  const std::string& path() const override { return path_; }
  bool compressed() const override { return true; }

 private:
  struct Block {
    std::vector<char> bytes;
    std::size_t size = 0;
    std::int64_t fileBytesBefore = 0, fileBytesAfter = 0;
    bool atEnd = false;
    std::exception_ptr error;  // thrown where the block's text ends
  };

  static bool isAbort(const std::exception_ptr& error) {
    try {
      std::rethrow_exception(error);
    } catch (const AbortError&) {
      return true;
    } catch (...) {
      return false;
    }
  }

  // Reads on the caller's thread as the worker's buffers are handed out:
  // a read that meets a failure throws it, whatever text came before it in
  // that read; one that meets a stop request hands that text out first.
  std::size_t readHere(char* buffer, std::size_t n, bool& atEnd) {
    std::size_t got = 0;
    try {
      while (got < n && !atEnd) got += source_->read(buffer + got, n - got, atEnd);
    } catch (const AbortError&) {
      if (got == 0) throw;
    }
    return got;
  }

  // Gives the buffer handed out back to the worker and waits for the next.
  void next() {
    std::unique_lock lock(mutex_);
    if (!current_.bytes.empty()) {
      free_.push_back(std::move(current_.bytes));
      emptied_.notify_one();
    }
    filled_.wait(lock, [&] { return !full_.empty(); });
    current_ = std::move(full_.front());
    full_.pop_front();
    taken_ = 0;
  }

  // The worker: fills free buffers until the text ends or fails, or the
  // reader stops it.
  void fill() {
    for (;;) {
      Block block;
      {
        std::unique_lock lock(mutex_);
        emptied_.wait(lock, [&] { return stopping_ || !free_.empty(); });
        if (stopping_) return;
        block.bytes = std::move(free_.back());
        free_.pop_back();
      }
      block.fileBytesBefore = source_->fileBytesRead();
      try {
        while (block.size < block.bytes.size() && !block.atEnd)
          block.size += source_->read(block.bytes.data() + block.size, block.bytes.size() - block.size, block.atEnd);
      } catch (...) {
        block.error = std::current_exception();
      }
      block.fileBytesAfter = source_->fileBytesRead();
      const bool last = block.atEnd || block.error;
      {
        const std::lock_guard lock(mutex_);
        full_.push_back(std::move(block));
      }
      filled_.notify_one();
      if (last) return;
    }
  }

  void stop() {
    if (!worker_.joinable()) return;
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    emptied_.notify_one();
    worker_.join();
  }

  std::unique_ptr<InputSource> source_;
  const std::string path_;
  const std::int64_t fileSize_;
  std::mutex mutex_;
  std::condition_variable filled_, emptied_;
  std::vector<std::vector<char>> free_;
  std::deque<Block> full_;
  Block current_;           // the block being handed out (the reader's own)
  std::size_t taken_ = 0;   // its bytes handed out
  bool stopping_ = false;
  bool direct_ = false;
  const std::size_t directFirst_;  // text read on the reader's thread before the worker starts
  std::size_t readDirectly_ = 0;
  std::thread worker_;      // last: it starts running in the constructor
};

}  // namespace

std::unique_ptr<InputSource> readAhead(std::unique_ptr<InputSource> source, std::size_t blockSize, int blocks) {
  return std::make_unique<ReadAheadSource>(std::move(source), blockSize, blocks);
}

}  // namespace mirdal
