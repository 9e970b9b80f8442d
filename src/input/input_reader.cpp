#include "input/input_reader.h"

#include <algorithm>
#include <cstring>

#include "util/error.h"

namespace mirdal {

InputReader::InputReader(FileSystem& fs, std::size_t blockSize)
    : fs_(fs),
      blockSize_(std::max<std::size_t>(1, (blockSize + kChunkSize - 1) / kChunkSize) * kChunkSize) {}

InputReader::~InputReader() = default;

void InputReader::open(const std::string& path, int eol) {
  // A failed open leaves a reader at the end of an empty input, not one that
  // still hands out the previous file's lines.
  source_.reset();
  begin_ = end_ = 0;
  consumed_ = taken_ = size_ = compressedTaken_ = 0;
  compressed_ = false;
  exhausted_ = true;
  std::unique_ptr<InputSource> source = openInputSource(fs_, path);
  std::int64_t size = source->fileSize();
  for (auto& b : blocks_)
    if (b.size() != blockSize_) b.assign(blockSize_, '\0');
  current_ = 0;
  size_ = size;
  exhausted_ = false;
  lineEnd_ = eol == kEolCr ? '\r' : '\n';
  dropCr_ = eol != kEolCr && eol != kEolLf;
  line_.clear();
  lineNumber_ = 0;
  compressed_ = source->compressed();
  source_ = std::move(source);
}

void InputReader::close() {
  std::unique_ptr<InputSource> source = std::move(source_);
  begin_ = end_ = 0;
  exhausted_ = true;
  if (source) source->close();
}

bool InputReader::fill() {
  if (!source_ || exhausted_) return false;
  int next = 1 - current_;
  bool atEnd = false;
  std::size_t got = source_->read(blocks_[next].data(), blockSize_, atEnd);
  exhausted_ = atEnd;
  compressedTaken_ = source_->fileBytesRead();
  if (got == 0) return false;
  current_ = next;
  begin_ = 0;
  end_ = got;
  taken_ += static_cast<std::int64_t>(got);
  return true;
}

void InputReader::throwLineTooLong() const {
  throw Error("Cannot read file \"" + (source_ ? source_->path() : std::string()) + "\": line longer than " +
              std::to_string(maxLineLength_) + " bytes (line " + std::to_string(lineNumber_) + ")");
}

void InputReader::appendToLine(const char* p, std::size_t n) {
  if (line_.size() > maxLineLength_ || n > maxLineLength_ - line_.size()) throwLineTooLong();
  line_.append(p, n);
}

std::string_view InputReader::readLine() {
  bool assembling = false;
  line_.clear();
  ++lineNumber_;
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
  if (compressed_) return compressedTaken_;
  constexpr auto chunk = static_cast<std::int64_t>(kChunkSize);
  std::int64_t wholeChunks = (consumed_ + chunk - 1) / chunk * chunk;
  return std::min(wholeChunks, taken_);
}

std::optional<int> EolDetector::detectEol(FileSystem& fs, const std::string& path) {
  char sample[kSampleSize];
  std::unique_ptr<InputSource> source = openInputSource(fs, path);
  bool atEnd = false;
  std::size_t got = source->read(sample, kSampleSize, atEnd);
  source->close();
  std::string_view bytes(sample, got);
  if (bytes.find("\n\r") != std::string_view::npos) return kEolCrLf;
  if (bytes.find("\r\n") != std::string_view::npos) return kEolCrLf;
  if (bytes.find('\n') != std::string_view::npos) return kEolLf;
  if (bytes.find('\r') != std::string_view::npos) return kEolCr;
  return std::nullopt;
}

}  // namespace mirdal
