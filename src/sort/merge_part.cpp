#include "sort/merge_part.h"

#include <algorithm>

#include "sort/sort_support.h"

namespace mirdal {

MergePart::MergePart(File& temp, std::int64_t startOffset, int recordSize, std::int64_t recordCount, int runNumber)
    : stream_(temp),
      position_(startOffset),
      recordCount_(recordCount),
      recordSize_(recordSize),
      runNumber_(runNumber) {}

void MergePart::Open(std::int64_t mergeBufferSize) {
  bufferSize_ = wholeRecords(mergeBufferSize, recordSize_);
  buffer_ = allocateBytes(bufferSize_);
  if (recordCount_ == 0) {
    finished_ = true;
    return;
  }
  Advance();
}

void MergePart::Advance() {
  if (refillDue_) {
    // Only the run's own bytes are read: a fill never reaches into the next run.
    std::int64_t want = std::min(bufferSize_, (recordCount_ - recordsMadeCurrent_) * recordSize_);
    stream_.seek(position_);
    readWhole(stream_, buffer_.get(), static_cast<std::size_t>(want));
    position_ += want;
    validBytes_ = want;
    offset_ = 0;
    refillDue_ = false;
  }
  current_ = buffer_.get() + offset_;
  offset_ += recordSize_;
  ++recordsMadeCurrent_;
  if (offset_ >= validBytes_) refillDue_ = true;
  if (recordsMadeCurrent_ >= recordCount_) {
    finished_ = true;
  }
}

}  // namespace mirdal
