#include "convert/reject_log.h"

namespace mirdal {

namespace {
constexpr std::size_t kBufferSize = 256u << 10;
}

void RejectLog::reject(std::string_view line) {
  if (!file_) file_ = fs_.open(path_, OpenMode::Create);
  buffer_.append(line);
  buffer_.append("\r\n");
  ++count_;
  if (buffer_.size() >= kBufferSize) flush();
}

void RejectLog::flush() {
  if (!file_ || buffer_.empty()) return;
  writeWhole(*file_, buffer_.data(), buffer_.size());
  buffer_.clear();
}

void RejectLog::close() {
  if (!file_) return;
  flush();
  auto file = std::move(file_);
  file->close();
}

void RejectLog::abandon() noexcept {
  if (!file_) return;
  try {
    flush();
  } catch (...) {
  }
  try {
    file_->close();
  } catch (...) {
  }
  file_.reset();
  buffer_.clear();
}

}  // namespace mirdal
