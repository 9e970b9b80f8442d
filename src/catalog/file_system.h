#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mirdal {

// One open file. Every failure throws mirdal::Error with a message that names
// the path and the system's reason, e.g.
//   Cannot write file "/out/ngc01.dat": No space left on device
class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes; returns 0 only at the end of the file.
  virtual std::size_t read(void* buffer, std::size_t n) = 0;
  // Writes all n bytes or throws: a short write is an error.
  virtual void write(const void* buffer, std::size_t n) = 0;
  virtual void seek(std::int64_t offset) = 0;
  virtual std::int64_t size() = 0;
  // Cuts the file to `size` bytes (the position is left where it was).
  virtual void truncate(std::int64_t size);
  // Closing reports deferred write errors. Safe to call twice.
  virtual void close() = 0;
  virtual const std::string& path() const = 0;
};

enum class OpenMode {
  Read,          // existing file, read only
  Create,        // create or truncate, read and write
  Append,        // existing file, writes go to its end
  ReadWrite,     // existing file, read and write from offset 0
};

// All file access of the core goes through a FileSystem so that tests can
// inject failures (a write that fails on the Nth call, a full disk).
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  // Creates the directory and its missing parents; throws on failure.
  virtual void createDirectories(const std::string& path) = 0;
  // Outcome-returning: the design ignores the results of these.
  virtual bool remove(const std::string& path) = 0;
  // Atomically replaces `to` when it exists.
  virtual bool rename(const std::string& from, const std::string& to) = 0;
  // Swaps the files of two existing names in one step. False, with errno
  // set, where the file system cannot; callers then rename instead.
  virtual bool exchange(const std::string& a, const std::string& b);
  // Size of a file in bytes; throws when it cannot be opened.
  virtual std::int64_t fileSize(const std::string& path) = 0;

  // The process's real file system (POSIX).
  static FileSystem& real();
};

// "Cannot <verb> file "<path>": <strerror(err)>"
std::string fileErrorMessage(const char* verb, const std::string& path, int err);

// Appends all n bytes to a file written at its end, or none: a write that
// fails part way (a full disk) is cut back before the error goes on, so
// that a file of fixed-size records keeps whole records and a later attempt
// does not follow a torn one.
void writeWhole(File& file, const void* buffer, std::size_t n);

}  // namespace mirdal
