#include "input/input_source.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "util/error.h"

namespace mirdal {

namespace {

class PlainSource final : public InputSource {
 public:
  explicit PlainSource(std::unique_ptr<File> file) : file_(std::move(file)) {}

  // Reads until `n` bytes are in or the file has no more: a pipe may hand out
  // less than asked without being at its end. A stop request that ends the
  // wait for more still gives the bytes received; the next read throws it.
  std::size_t read(char* buffer, std::size_t n, bool& atEnd) override {
    std::size_t got = 0;
    while (got < n) {
      std::size_t r;
      try {
        r = file_->read(buffer + got, n - got);
      } catch (const AbortError&) {
        if (got == 0) throw;
        break;
      }
      if (r == 0) {
        atEnd = true;
        break;
      }
      got += r;
    }
    if (read_ == 0) refuseUnreadCompression(std::string_view(buffer, got), file_->path());
    read_ += static_cast<std::int64_t>(got);
    return got;
  }
  std::int64_t fileBytesRead() const override { return read_; }
  std::int64_t fileSize() override { return file_->size(); }
  void skip(std::int64_t n) override {
    read_ += n;
    file_->seek(read_);
  }
  void close() override { file_->close(); }
  const std::string& path() const override { return file_->path(); }
  bool compressed() const override { return false; }

 private:
  std::unique_ptr<File> file_;
  std::int64_t read_ = 0;
};

// Inflates gzip members one after the other until the file ends. Whatever
// follows a member must be another member: trailing bytes of any other kind
// are refused rather than skipped, as they mean a damaged or mislabelled file.
class GzipSource final : public InputSource {
 public:
  static constexpr std::size_t kInputSize = 128 * 1024;

  explicit GzipSource(std::unique_ptr<File> file) : file_(std::move(file)), in_(kInputSize) {
    // 16 + window bits: a gzip wrapper only, zlib or raw streams are errors.
    int rc = inflateInit2(&zs_, 16 + MAX_WBITS);
    if (rc != Z_OK) fail(rc == Z_MEM_ERROR ? "out of memory" : "cannot start decompression");
  }
  ~GzipSource() override { inflateEnd(&zs_); }
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  std::size_t read(char* buffer, std::size_t n, bool& atEnd) override {
    std::size_t produced = 0;
    try {
      inflateInto(buffer, n, produced);
    } catch (const AbortError&) {
      // As for a plain file: the text inflated so far is handed out first.
      if (produced == 0) throw;
    }
    if (done_) atEnd = true;
    return produced;
  }

  std::int64_t fileBytesRead() const override { return fileRead_ - static_cast<std::int64_t>(zs_.avail_in); }
  std::int64_t fileSize() override { return file_->size(); }
  void close() override { file_->close(); }
  const std::string& path() const override { return file_->path(); }
  bool compressed() const override { return true; }

 private:
  void inflateInto(char* buffer, std::size_t n, std::size_t& produced) {
    while (produced < n && !done_) {
      if (atMemberStart_) startMember();
      if (done_) break;
      if (zs_.avail_in == 0 && !fileEnd_) refill(0);
      const auto room = static_cast<uInt>(std::min<std::size_t>(n - produced, UINT_MAX));
      zs_.next_out = reinterpret_cast<Bytef*>(buffer + produced);
      zs_.avail_out = room;
      const int rc = inflate(&zs_, Z_NO_FLUSH);
      produced += room - zs_.avail_out;
      if (rc == Z_STREAM_END) {
        atMemberStart_ = true;
        ++members_;
      } else if (rc == Z_BUF_ERROR) {
        // No progress was possible with output room left: the input is used up.
        if (zs_.avail_in == 0 && fileEnd_) fail("unexpected end of compressed data");
        fail("corrupt compressed data");
      } else if (rc != Z_OK) {
        fail(std::string("corrupt compressed data (") + (zs_.msg != nullptr ? zs_.msg : "inflate error") + ")");
      }
    }
  }

  // Moves the `keep` unused input bytes to the front and reads more after
  // them. When the read throws, the stream still points at those bytes.
  void refill(std::size_t keep) {
    if (keep > 0) std::memmove(in_.data(), zs_.next_in, keep);
    zs_.next_in = reinterpret_cast<Bytef*>(in_.data());
    zs_.avail_in = static_cast<uInt>(keep);
    std::size_t got = file_->read(in_.data() + keep, in_.size() - keep);
    if (got == 0) fileEnd_ = true;
    fileRead_ += static_cast<std::int64_t>(got);
    zs_.avail_in = static_cast<uInt>(keep + got);
  }

  // At the start of the file or after a member's end: the text ends with the
  // file, or another member must begin here.
  void startMember() {
    while (zs_.avail_in < 2 && !fileEnd_) refill(zs_.avail_in);
    if (zs_.avail_in == 0 && members_ > 0) {
      done_ = true;
      return;
    }
    const bool magic = (zs_.avail_in < 1 || zs_.next_in[0] == 0x1F) && (zs_.avail_in < 2 || zs_.next_in[1] == 0x8B);
    if (!magic) fail(members_ == 0 ? "not a gzip file" : "unexpected data after the end of the compressed data");
    if (zs_.avail_in < 2) fail("unexpected end of compressed data");
    if (members_ > 0 && inflateReset(&zs_) != Z_OK) fail("cannot start decompression");
    atMemberStart_ = false;
  }

  [[noreturn]] void fail(const std::string& reason) const {
    throw Error("Cannot read file \"" + file_->path() + "\": " + reason);
  }

  std::unique_ptr<File> file_;
  std::vector<char> in_;
  z_stream zs_{};
  std::int64_t fileRead_ = 0;
  long members_ = 0;  // members inflated to their end
  bool atMemberStart_ = true;
  bool fileEnd_ = false;
  bool done_ = false;
};

}  // namespace

void InputSource::skip(std::int64_t n) {
  char buffer[16384];
  bool atEnd = false;
  while (n > 0 && !atEnd)
    n -= static_cast<std::int64_t>(read(buffer, static_cast<std::size_t>(std::min<std::int64_t>(n, sizeof buffer)), atEnd));
}

std::string_view compressionOfContent(std::string_view head) {
  auto starts = [&](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
  using namespace std::string_view_literals;
  if (starts("\x1F\x8B"sv)) return "gzip";
  // "BZh", the block size 1-9, then the magic of a block or of the end of the stream.
  if (starts("BZh"sv) && head.size() >= 10 && head[3] >= '1' && head[3] <= '9' &&
      (head.substr(4, 6) == "1AY&SY"sv || head.substr(4, 6) == "\x17\x72\x45\x38\x50\x90"sv))
    return "bzip2";
  if (starts("\xFD" "7zXZ\0"sv)) return "xz";
  if (starts("\x28\xB5\x2F\xFD"sv)) return "zstd";
  if (starts("\x1F\x9D"sv)) return "compress";
  if (starts("\x04\x22\x4D\x18"sv)) return "lz4";
  if (starts("PK\x03\x04"sv) || starts("PK\x05\x06"sv)) return "zip";
  if (starts("7z\xBC\xAF\x27\x1C"sv)) return "7-Zip";
  return {};
}

void refuseUnreadCompression(std::string_view head, std::string_view path) {
  const std::string_view kind = compressionOfContent(head);
  if (kind.empty() || kind == "gzip") return;
  const std::string file = "\"" + std::string(path) + "\"";
  if (kind == "zip" || kind == "7-Zip")
    throw Error(file + " is a " + std::string(kind) + " archive, which is not read; extract its files first");
  throw Error(file + " is compressed with " + std::string(kind) + ", which is not read; decompress it first or use gzip");
}

bool isCompressedInputPath(std::string_view path) {
  if (path.size() < 3) return false;
  std::string_view ext = path.substr(path.size() - 3);
  return ext[0] == '.' && (ext[1] == 'g' || ext[1] == 'G') && (ext[2] == 'z' || ext[2] == 'Z');
}

std::unique_ptr<InputSource> openInputSource(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file = fs.open(path, OpenMode::Read);
  if (isCompressedInputPath(path)) return std::make_unique<GzipSource>(std::move(file));
  return std::make_unique<PlainSource>(std::move(file));
}

std::unique_ptr<InputSource> openInputSourceByContent(FileSystem& fs, const std::string& path) {
  std::unique_ptr<File> file = fs.open(path, OpenMode::Read);
  unsigned char magic[2] = {0, 0};
  std::size_t got = 0;
  while (got < sizeof magic) {
    const std::size_t r = file->read(magic + got, sizeof magic - got);
    if (r == 0) break;
    got += r;
  }
  file->seek(0);
  if (got == sizeof magic && magic[0] == 0x1F && magic[1] == 0x8B) return std::make_unique<GzipSource>(std::move(file));
  return std::make_unique<PlainSource>(std::move(file));
}

}  // namespace mirdal
