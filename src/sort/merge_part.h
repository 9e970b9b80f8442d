#pragma once

#include <cstdint>
#include <memory>

#include "util/file_system.h"

namespace mirdal {

// One sorted run inside the temporary file, read through its own buffer.
class MergePart {
 public:
  MergePart(File& temp, std::int64_t startOffset, int recordSize, std::int64_t recordCount, int runNumber);

  // Allocates a buffer of mergeBufferSize bytes cut to whole records (at least
  // one) and makes the run's first record current.
  void Open(std::int64_t mergeBufferSize);
  // Makes the next record current. Call only while finished() is false.
  void Advance();

  const std::uint8_t* current() const { return current_; }
  // The current record is the run's last.
  bool finished() const { return finished_; }
  int runNumber() const { return runNumber_; }
  std::int64_t recordCount() const { return recordCount_; }

 private:
  File& stream_;
  std::int64_t position_;
  std::int64_t recordCount_;
  std::int64_t recordsMadeCurrent_ = 0;
  std::int64_t bufferSize_ = 0;
  std::int64_t validBytes_ = 0;
  std::int64_t offset_ = 0;
  std::unique_ptr<std::uint8_t[]> buffer_;
  bool refillDue_ = true;
  bool finished_ = false;
  int recordSize_;
  const std::uint8_t* current_ = nullptr;
  int runNumber_;
};

}  // namespace mirdal
