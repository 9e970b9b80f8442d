#pragma once

#include <cstdint>
#include <memory>

#include "util/file_system.h"

namespace mirdal {

// A buffered reader or writer of whole records over one stream (not owned).
class SorIO {
 public:
  // The buffer holds requestedSize / recordSize records, at least one. The
  // stream's size is taken now; a reader delivers the whole records of that
  // many bytes and no more.
  SorIO(File& stream, std::int64_t requestedSize, int recordSize);

  // Address of the next record inside the buffer, valid until the next read.
  // Call only while endOfRecords() is false.
  const std::uint8_t* ReadRecord();
  // True once the record last delivered was the stream's last (at once for an
  // empty stream).
  bool endOfRecords() const { return endOfRecords_; }

  void WriteRecord(const std::uint8_t* record);
  void Flush();

  // Bytes read so far (reader) or accepted so far (writer).
  std::int64_t byteCounter() const { return byteCounter_; }
  std::int64_t capacity() const { return capacity_; }

 private:
  void refill();

  File& stream_;
  std::int64_t validBytes_ = 0;
  std::int64_t capacity_;
  std::int64_t offset_ = 0;
  std::unique_ptr<std::uint8_t[]> buffer_;
  bool refillDue_ = true;
  bool endOfRecords_ = false;
  bool streamExhausted_ = false;
  std::int64_t streamSize_;
  std::int64_t byteCounter_ = 0;
  int recordSize_;
};

}  // namespace mirdal
