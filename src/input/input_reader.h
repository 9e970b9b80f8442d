#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/input_source.h"
#include "util/file_system.h"

namespace mirdal {

// Line ends of the `eol` setting.
constexpr int kEolCr = 0;
constexpr int kEolLf = 1;
constexpr int kEolCrLf = 2;

// Reads one input catalog line by line under its line-end convention.
//
// CR (eol 0) and LF (eol 1): the stream is split at that one byte; the other
// line-end byte is an ordinary byte of the line. CR LF (eol 2): the stream is
// split at LF and one CR right before the LF is dropped; a lone CR stays in
// the line. Lines are bytes: nothing is trimmed or converted, and a line is
// not limited by the chunk size.
//
// A file whose name ends in ".gz", ".bz2", ".xz" or ".zst" is read as the text it holds (see
// InputSource); size() and position() then count compressed file bytes, so
// that progress still runs from 0 to size().
//
// Calling order: open, size, then readLine as long as endOfInput() is false,
// close. An empty file has no line; a last line without line end is a line.
class InputReader {
 public:
  // The unit in which position() grows: the progress bar follows the reader
  // a whole chunk at a time.
  static constexpr std::size_t kChunkSize = 4096;
  static constexpr std::size_t kDefaultBlockSize = 64 * kChunkSize;
  // A longer line is refused with an error rather than filling the memory:
  // such a "line" is a binary file or a file read with the wrong line end.
  // Real catalogs' lines are a few kilobytes; a reader holds a line at most
  // twice (here and in a batch of rows), so 16 MiB keeps a build well within
  // its memory.
  static constexpr std::size_t kDefaultMaxLineLength = std::size_t{16} << 20;

  // `blockSize` is how many bytes are asked of the file per read; it is
  // rounded up to a whole number of chunks and changes neither the lines nor
  // position().
  explicit InputReader(FileSystem& fs, std::size_t blockSize = kDefaultBlockSize);
  ~InputReader();
  InputReader(const InputReader&) = delete;
  InputReader& operator=(const InputReader&) = delete;

  // Opens `path` read-only; `eol` outside 0..2 reads as CR LF. Closes any
  // file still open. Throws Error naming the file and the system's reason;
  // readLine and endOfInput throw the same way on a read failure or on
  // corrupt or cut-short compressed data.
  void open(const std::string& path, int eol);
  // The next line without its line end. The view stays valid until the next
  // readLine, open or close. Past the end of input it returns the empty text.
  // A line longer than the limit is "Cannot read file "x": line longer than
  // 16777216 bytes (line 12)".
  std::string_view readLine();
  // True when the file is exhausted and every byte of it has been handed out.
  bool endOfInput();
  // File size in bytes, taken at open.
  std::int64_t size() const { return size_; }
  // Bytes taken from the file, a whole chunk at a time: it runs up to one
  // chunk ahead of the lines handed out and reaches size() at the end. For a
  // compressed file: the compressed bytes that yielded the text read so far,
  // up to one block of text ahead of the lines handed out.
  std::int64_t position() const;
  void close();

  bool isOpen() const { return source_ != nullptr; }
  FileSystem& fileSystem() const { return fs_; }
  void setMaxLineLength(std::size_t n) { maxLineLength_ = n; }

 private:
  bool fill();
  void appendToLine(const char* p, std::size_t n);
  [[noreturn]] void throwLineTooLong() const;

  FileSystem& fs_;
  std::unique_ptr<InputSource> source_;
  // Two blocks, filled in turn, so that endOfInput() can look ahead without
  // overwriting the bytes of the line handed out last.
  std::vector<char> blocks_[2];
  int current_ = 0;
  std::size_t blockSize_;
  std::size_t begin_ = 0;      // next byte of the current block not yet handed out
  std::size_t end_ = 0;        // bytes of the current block holding file data
  std::int64_t consumed_ = 0;  // file offset of block_[begin_]
  std::int64_t taken_ = 0;     // bytes received from the file
  std::int64_t size_ = 0;
  std::int64_t compressedTaken_ = 0;  // compressed file bytes behind taken_
  bool compressed_ = false;
  bool exhausted_ = true;
  char lineEnd_ = '\n';
  bool dropCr_ = false;
  std::string line_;  // a line that spans blocks is put together here
  std::int64_t lineNumber_ = 0;  // of the line being read
  std::size_t maxLineLength_ = kDefaultMaxLineLength;
};

inline constexpr const char* kUnrecognizedEolWarning = "Warning ! unrecognized end of line format.";

struct EolDetector {
  static constexpr std::size_t kSampleSize = 4096;
  // Looks at the first 4096 bytes of the text only (of a ".gz" file, the
  // first 4096 bytes it holds), testing in this order:
  // an LF CR pair or a CR LF pair gives 2, an LF 1, a CR 0. No line end at
  // all gives nullopt: the caller shows kUnrecognizedEolWarning and keeps its
  // setting. Throws Error when the file cannot be opened or read, or its
  // compressed data is corrupt.
  static std::optional<int> detectEol(FileSystem& fs, const std::string& path);
};

}  // namespace mirdal
