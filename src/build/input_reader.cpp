#include "build/input_reader.h"

#include <algorithm>
#include <cstring>

#include "catalog/error.h"

namespace mirdal {

namespace {

// Reads until `n` bytes are in or the file has no more; a pipe may hand out
// less than asked without being at its end.
std::size_t readFully(File& file, char* buffer, std::size_t n, bool& atEnd) {
  std::size_t got = 0;
  while (got < n) {
    std::size_t r = file.read(buffer + got, n - got);
    if (r == 0) {
      atEnd = true;
      break;
    }
    got += r;
  }
  return got;
}

}  // namespace

InputReader::InputReader(FileSystem& fs, std::size_t blockSize)
    : fs_(fs),
      blockSize_(std::max<std::size_t>(1, (blockSize + kChunkSize - 1) / kChunkSize) * kChunkSize) {}

InputReader::~InputReader() = default;

void InputReader::open(const std::string& path, int eol) {
  // A failed open leaves a reader at the end of an empty input, not one that
  // still hands out the previous file's lines.
  file_.reset();
  begin_ = end_ = 0;
  consumed_ = taken_ = size_ = 0;
  exhausted_ = true;
  std::unique_ptr<File> file = fs_.open(path, OpenMode::Read);
  std::int64_t size = file->size();
  for (auto& b : blocks_)
    if (b.size() != blockSize_) b.assign(blockSize_, '\0');
  current_ = 0;
  size_ = size;
  exhausted_ = false;
  lineEnd_ = eol == kEolCr ? '\r' : '\n';
  dropCr_ = eol != kEolCr && eol != kEolLf;
  line_.clear();
  file_ = std::move(file);
}

void InputReader::close() {
  std::unique_ptr<File> file = std::move(file_);
  begin_ = end_ = 0;
  exhausted_ = true;
  if (file) file->close();
}

bool InputReader::fill() {
  if (!file_ || exhausted_) return false;
  int next = 1 - current_;
  bool atEnd = false;
  std::size_t got = readFully(*file_, blocks_[next].data(), blockSize_, atEnd);
  exhausted_ = atEnd;
  if (got == 0) return false;
  current_ = next;
  begin_ = 0;
  end_ = got;
  taken_ += static_cast<std::int64_t>(got);
  return true;
}

void InputReader::throwLineTooLong() const {
  throw Error("Cannot read file \"" + (file_ ? file_->path() : std::string()) + "\": line longer than " +
              std::to_string(maxLineLength_) + " bytes");
}

void InputReader::appendToLine(const char* p, std::size_t n) {
  if (line_.size() > maxLineLength_ || n > maxLineLength_ - line_.size()) throwLineTooLong();
  line_.append(p, n);
}

std::string_view InputReader::readLine() {
  bool assembling = false;
  line_.clear();
  for (;;) {
    if (begin_ == end_ && !fill()) return assembling ? std::string_view(line_) : std::string_view();
    const char* p = blocks_[current_].data() + begin_;
    std::size_t avail = end_ - begin_;
    const char* hit = static_cast<const char*>(std::memchr(p, lineEnd_, avail));
    if (hit == nullptr) {
      appendToLine(p, avail);
      assembling = true;
      begin_ = end_;
      consumed_ += static_cast<std::int64_t>(avail);
      continue;
    }
    std::size_t n = static_cast<std::size_t>(hit - p);
    begin_ += n + 1;
    consumed_ += static_cast<std::int64_t>(n + 1);
    std::string_view line;
    if (assembling) {
      appendToLine(p, n);
      line = line_;
    } else {
      if (n > maxLineLength_) throwLineTooLong();
      line = std::string_view(p, n);
    }
    if (dropCr_ && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }
}

bool InputReader::endOfInput() {
  if (begin_ < end_) return false;
  return !fill();
}

std::int64_t InputReader::position() const {
  constexpr auto chunk = static_cast<std::int64_t>(kChunkSize);
  std::int64_t wholeChunks = (consumed_ + chunk - 1) / chunk * chunk;
  return std::min(wholeChunks, taken_);
}

std::optional<int> EolDetector::detectEol(FileSystem& fs, const std::string& path) {
  char sample[kSampleSize];
  std::unique_ptr<File> file = fs.open(path, OpenMode::Read);
  bool atEnd = false;
  std::size_t got = readFully(*file, sample, kSampleSize, atEnd);
  file->close();
  std::string_view bytes(sample, got);
  if (bytes.find("\n\r") != std::string_view::npos) return kEolCrLf;
  if (bytes.find("\r\n") != std::string_view::npos) return kEolCrLf;
  if (bytes.find('\n') != std::string_view::npos) return kEolLf;
  if (bytes.find('\r') != std::string_view::npos) return kEolCr;
  return std::nullopt;
}

}  // namespace mirdal
