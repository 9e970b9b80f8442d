#include "sort/sor_io.h"

#include <algorithm>
#include <cstring>

#include "sort/sort_support.h"

namespace mirdal {

SorIO::SorIO(File& stream, std::int64_t requestedSize, int recordSize)
    : stream_(stream),
      capacity_(wholeRecords(requestedSize, recordSize)),
      buffer_(allocateBytes(capacity_)),
      streamSize_(stream.size() / recordSize * recordSize),
      recordSize_(recordSize) {
  endOfRecords_ = streamSize_ == 0;
}

void SorIO::refill() {
  std::int64_t want = std::min(capacity_, streamSize_ - byteCounter_);
  readWhole(stream_, buffer_.get(), static_cast<std::size_t>(want));
  byteCounter_ += want;
  streamExhausted_ = byteCounter_ == streamSize_;
  validBytes_ = want;
  offset_ = 0;
  refillDue_ = false;
}

const std::uint8_t* SorIO::ReadRecord() {
  if (endOfRecords_) return nullptr;
  if (refillDue_) refill();
  const std::uint8_t* record = buffer_.get() + offset_;
  offset_ += recordSize_;
  if (offset_ >= validBytes_) {
    refillDue_ = true;
    if (streamExhausted_) endOfRecords_ = true;
  }
  return record;
}

void SorIO::WriteRecord(const std::uint8_t* record) {
  if (offset_ + recordSize_ > capacity_) Flush();
  std::memcpy(buffer_.get() + offset_, record, static_cast<std::size_t>(recordSize_));
  offset_ += recordSize_;
  byteCounter_ += recordSize_;
}

void SorIO::Flush() {
  if (offset_ > 0) stream_.write(buffer_.get(), static_cast<std::size_t>(offset_));
  offset_ = 0;
}

}  // namespace mirdal
