#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "util/error.h"

namespace mirdal {

// What tells that a regular file's bytes changed: its size and the time of
// its last change (nanoseconds; 0 where a file system keeps none).
struct FileState {
  std::int64_t size = 0;
  std::int64_t modified = 0;
  bool operator==(const FileState&) const = default;
};

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
  // The state of a regular file; nothing for a pipe, a device or a file whose
  // changes cannot be seen. Throws as size() does.
  virtual std::optional<FileState> state();
  // Puts what was written on the disk (fsync): a file that is renamed over
  // another one afterwards is whole after a crash, and a full disk that the
  // write did not report is reported here.
  virtual void sync() {}
  // Closing reports deferred write errors. Safe to call twice.
  virtual void close() = 0;
  virtual const std::string& path() const = 0;
};

enum class OpenMode {
  Read,          // existing file, read only
  Create,        // create or truncate, read and write
  Append,        // existing file, writes go to its end
  ReadWrite,     // existing file, read and write from offset 0
  CreateNew,     // a new file, read and write; fails when the name exists,
                 // also as a link (nothing is opened through a planted link)
  ReadRegular,   // as Read, for a file that must be a regular one (a catalog's
                 // own files, a project): a FIFO, a device or a socket is
                 // refused before anything waits on it or reads without end
};

// What a path names, as the open of a regular file tells it apart.
enum class FileKind { Missing, Regular, Directory, Fifo, CharacterDevice, BlockDevice, Socket, Other };

// "a FIFO (named pipe)", "a character device", ... for messages.
const char* fileKindText(FileKind kind);

// ""<path>" is not a file: it is a FIFO (named pipe)"
std::string notAFileMessage(const std::string& path, FileKind kind);

// Which file a path names: two paths with the same identity are one file.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool regular = false;
  bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
};

// An exclusive lock held on a directory until the object ends. The lock goes
// with the process: one that dies leaves none behind.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

// A failed call of a FileSystem: the message names the path and the
// system's reason, which code() holds as an errno value.
class FileError : public Error {
 public:
  FileError(const std::string& message, int code) : Error(message), code_(code) {}
  // "Cannot <verb> file "<path>": <strerror(code)>"
  FileError(const char* verb, const std::string& path, int code);
  int code() const { return code_; }

 private:
  int code_;
};

// What a call that may fail as an expected answer returns: done, or the
// reason (an errno value) it was not.
struct FileOutcome {
  int error = 0;
  explicit operator bool() const { return error == 0; }
};

// All file access of the core goes through a FileSystem so that tests can
// inject failures (a write that fails on the Nth call, a full disk). Every
// call that fails throws: FileError where the system gives a reason.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  // Creates the directory and its missing parents; throws on failure.
  virtual void createDirectories(const std::string& path) = 0;
  // Removes a file. A link is removed itself, never what it points to.
  virtual void remove(const std::string& path) = 0;
  // Atomically replaces `to` when it exists. Fails across file systems.
  virtual void rename(const std::string& from, const std::string& to) = 0;
  // Swaps the files of two existing names in one step; fails (ENOSYS,
  // EINVAL) where the file system cannot.
  virtual void exchange(const std::string& a, const std::string& b);
  // Size of a file in bytes; throws when it cannot be opened.
  virtual std::int64_t fileSize(const std::string& path) = 0;
  // Makes `to` a second name of the file `from` (a hard link); fails where
  // `to` exists or the file system has no hard links.
  virtual void link(const std::string& from, const std::string& to);
  // What the path names, links followed (Missing for a dangling one).
  virtual FileKind kind(const std::string& path);
  // The path with every link, "." and ".." resolved, for telling whether a
  // file lies inside a directory; nothing when the path names no file.
  // File systems without links give the path as it is.
  virtual std::optional<std::string> resolvedPath(const std::string& path);

  // The identity of the file a path names (links followed); nothing when
  // the path names no file.
  virtual std::optional<FileIdentity> identity(const std::string& path);
  // Names of a directory's entries, without "." and ".."; throws on failure.
  virtual std::vector<std::string> list(const std::string& directory);
  // Removes an empty directory.
  virtual void removeDirectory(const std::string& path);
  // Creates a new directory `parent` + `prefix` + six characters that no
  // entry of `parent` has, readable by the owner only; returns its path
  // ending in "/". Throws on failure.
  virtual std::string createUniqueDirectory(const std::string& parent, const std::string& prefix);
  // Takes an exclusive lock on a directory without waiting: nothing when
  // another process holds it. Throws when the directory cannot be opened.
  virtual std::unique_ptr<DirectoryLock> tryLockDirectory(const std::string& directory);
  // Whether two threads may call it at once, each with files it opened
  // itself. Test file systems that count or log their calls may not.
  virtual bool threadSafe() const { return false; }

  // The calls above where a failure is an answer the caller acts on (a
  // rename across file systems is copied instead, a clean-up that cannot
  // remove lets the file be): FileError is caught and its code returned;
  // anything else goes on.
  FileOutcome tryRemove(const std::string& path);
  FileOutcome tryRename(const std::string& from, const std::string& to);
  FileOutcome tryExchange(const std::string& a, const std::string& b);
  FileOutcome tryLink(const std::string& from, const std::string& to);
  FileOutcome tryRemoveDirectory(const std::string& path);

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
// The same where the caller knows the file's size, `end`: no call asks for it.
void writeWhole(File& file, const void* buffer, std::size_t n, std::int64_t end);

// Reads exactly n bytes (File::read may return fewer before the end); a file
// that ends first is "Cannot read file "...": Unexpected end of file".
void readWhole(File& file, void* buffer, std::size_t n);

// Copies a regular file's bytes into a new file `to` (created exclusively):
// at most the size `from` had when it was opened, so that a file that grows
// meanwhile (or is swapped for one without end) is not followed. Stops with
// AbortError on an interrupt request. Returns the bytes copied.
std::int64_t copyFile(FileSystem& fs, const std::string& from, const std::string& to);

// Throws Error when `path` is not a regular file inside `directory` (links
// followed, so a link that leads elsewhere is refused): ""<path>" is not a
// file: it is a FIFO (named pipe)", or "... is a link to "<target>", outside
// "<directory>"". A missing file passes: its open names it.
void refuseOutsideOrSpecial(FileSystem& fs, const std::string& directory, const std::string& path);

// Removes a directory with everything below it; links are removed, never
// followed. Failures are ignored: what cannot be removed stays.
void removeTree(FileSystem& fs, const std::string& directory);

// Raises the process's soft limit of open files to its hard limit, so that
// a build may keep every region file open. Nothing here waits on files with
// select(), which the higher limit would not suit.
void raiseOpenFileLimit() noexcept;

}  // namespace mirdal
