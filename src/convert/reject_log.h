#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "util/file_system.h"

namespace mirdal {

// "reject.txt" in the output directory: every refused input line exactly as
// read, followed by CR LF, in input order. The file is created (replacing an
// older one) on the first refused line of a build and not touched otherwise.
class RejectLog {
 public:
  RejectLog(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  ~RejectLog() { abandon(); }

  void reject(std::string_view line);
  bool isOpen() const { return file_ != nullptr; }
  std::int64_t count() const { return count_; }
  const std::string& path() const { return path_; }
  // Writes out what is buffered and closes the file.
  void close();
  // Closes without reporting errors (failure paths).
  void abandon() noexcept;

 private:
  void flush();

  FileSystem& fs_;
  std::string path_;
  std::unique_ptr<File> file_;
  std::string buffer_;
  std::int64_t count_ = 0;
};

}  // namespace mirdal
