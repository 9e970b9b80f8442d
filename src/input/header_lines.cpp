#include "input/header_lines.h"

#include "input/table_text.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace detail {

namespace {

// A header line that runs past kMaxTableHeaderBytes.
struct HeaderTooLong : Error {
  using Error::Error;
};

}  // namespace

HeaderLines::HeaderLines(FileSystem& fs, const std::string& path) : source_(openInputSource(fs, path)), path_(path) {}

HeaderLines::~HeaderLines() {
  try {
    source_->close();
  } catch (...) {
    // Reading is done; a failing close of a read-only file changes nothing.
  }
}

bool HeaderLines::next(std::string_view& line) {
  begin_ = end_;
  std::size_t from = static_cast<std::size_t>(begin_ - buffered_);
  std::size_t at;
  while ((at = buffer_.find(lineEnd_, from)) == std::string::npos && !atEnd_) {
    const std::size_t searched = buffer_.size() - static_cast<std::size_t>(begin_ - buffered_);
    fill();  // the line now starts the buffer
    from = searched;
  }
  if (at == std::string::npos) {
    if (static_cast<std::size_t>(begin_ - buffered_) == buffer_.size()) return false;
    at = buffer_.size();
    end_ = buffered_ + static_cast<std::int64_t>(at);
  } else {
    end_ = buffered_ + static_cast<std::int64_t>(at) + 1;
  }
  ++number_;
  line = std::string_view(buffer_).substr(static_cast<std::size_t>(begin_ - buffered_),
                                          at - static_cast<std::size_t>(begin_ - buffered_));
  if (lineEnd_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (number_ == 1 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    byteOrderMark_ = true;
    line.remove_prefix(kByteOrderMark.size());
  }
  if (line.find('\0') != std::string_view::npos)
    fail("holds binary data (a byte 0): it is not a text table");
  return true;
}

bool HeaderLines::nextOfHeaderOrData(std::string_view& line) {
  try {
    return next(line);
  } catch (const HeaderTooLong&) {
    return false;
  }
}

void HeaderLines::fail(const std::string& reason) const {
  throw Error(quoted(path_) + " line " + std::to_string(number_) + ": " + reason);
}

void HeaderLines::fill() {
  // Drop what was handed out before the current line.
  const std::size_t drop = static_cast<std::size_t>(begin_ - buffered_);
  buffer_.erase(0, drop);
  buffered_ += static_cast<std::int64_t>(drop);
  if (buffered_ + static_cast<std::int64_t>(buffer_.size()) >= kMaxTableHeaderBytes)
    throw HeaderTooLong(quoted(path_) + ": no end of the header in its first " +
                std::to_string(kMaxTableHeaderBytes >> 20) + " MiB (line " + std::to_string(number_ + 1) +
                " runs past it)");
  const std::size_t old = buffer_.size();
  buffer_.resize(old + kBlockSize);
  const std::size_t got = source_->read(buffer_.data() + old, kBlockSize, atEnd_);
  buffer_.resize(old + got);
  if (first_) {
    first_ = false;
    const std::string_view block(buffer_);
    refuseUnreadCompression(block, path_);
    if (block.find('\n') == std::string_view::npos && block.find('\r') != std::string_view::npos) lineEnd_ = '\r';
  }
}

TableColumn numberedColumn(int number) {
  TableColumn column;
  column.number = number;
  return column;
}

void startDataAfter(const HeaderLines& lines, TableLayout& layout) {
  layout.dataLine = lines.number() + 1;
  layout.dataOffset = lines.nextOffset();
}

void startDataAt(const HeaderLines& lines, TableLayout& layout) {
  layout.dataLine = lines.number();
  layout.dataOffset = lines.offset();
}

const RowSplitter& splitHeaderRow(RowSplitter& splitter, std::string_view line, const HeaderLines& lines,
                                  std::string_view what) {
  const RowStatus status = splitter.split(line);
  if (status != RowStatus::Ok)
    lines.fail("the row of " + std::string(what) + " cannot be read: " + std::string(rowStatusText(status)) +
               " (byte " + std::to_string(splitter.problemColumn()) + ")");
  return splitter;
}

}  // namespace detail
}  // namespace mirdal
