#include "util/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "util/error.h"
#include "util/interrupt.h"

namespace mirdal {

std::string fileErrorMessage(const char* verb, const std::string& path, int err) {
  return std::string("Cannot ") + verb + " file \"" + path + "\": " + std::strerror(err);
}

FileError::FileError(const char* verb, const std::string& path, int code)
    : FileError(fileErrorMessage(verb, path, code), code) {}

namespace {
// "Cannot rename file "<a>" to "<b>": <strerror(code)>"
FileError twoPathError(const char* verb, const std::string& a, const char* joiner, const std::string& b, int code) {
  return FileError(std::string("Cannot ") + verb + " file \"" + a + "\" " + joiner + " \"" + b + "\": " +
                       std::strerror(code),
                   code);
}
// "Cannot remove directory "<path>": <strerror(code)>"
FileError directoryError(const char* verb, const std::string& path, int code) {
  return FileError(std::string("Cannot ") + verb + " directory \"" + path + "\": " + std::strerror(code), code);
}
}  // namespace

void File::truncate(std::int64_t) { throw Error(fileErrorMessage("truncate", path(), ENOSYS)); }

std::optional<FileState> File::state() { return std::nullopt; }

const char* fileKindText(FileKind kind) {
  switch (kind) {
    case FileKind::Missing: return "missing";
    case FileKind::Regular: return "a regular file";
    case FileKind::Directory: return "a directory";
    case FileKind::Fifo: return "a FIFO (named pipe)";
    case FileKind::CharacterDevice: return "a character device";
    case FileKind::BlockDevice: return "a block device";
    case FileKind::Socket: return "a socket";
    case FileKind::Other: break;
  }
  return "neither a regular file nor a directory";
}

std::string notAFileMessage(const std::string& path, FileKind kind) {
  return "\"" + path + "\" is not a file: it is " + fileKindText(kind);
}

void readWhole(File& file, void* buffer, std::size_t n) {
  auto* to = static_cast<std::uint8_t*>(buffer);
  for (std::size_t got = 0; got < n;) {
    const std::size_t part = file.read(to + got, n - got);
    if (part == 0) throw Error("Cannot read file \"" + file.path() + "\": Unexpected end of file");
    got += part;
  }
}

void writeWhole(File& file, const void* buffer, std::size_t n) {
  if (n == 0) return;
  writeWhole(file, buffer, n, file.size());
}

void writeWhole(File& file, const void* buffer, std::size_t n, std::int64_t end) {
  if (n == 0) return;
  try {
    file.write(buffer, n);
  } catch (...) {
    try {
      file.truncate(end);
      file.seek(end);
    } catch (...) {
      // The first error is the one to report.
    }
    throw;
  }
}

void FileSystem::exchange(const std::string& a, const std::string& b) {
  throw twoPathError("exchange", a, "with", b, ENOSYS);
}

void FileSystem::link(const std::string& from, const std::string& to) {
  throw twoPathError("link", from, "to", to, ENOSYS);
}

namespace {
template <class Call>
FileOutcome outcomeOf(Call&& call) {
  try {
    call();
    return {};
  } catch (const FileError& e) {
    return {e.code()};
  }
}
}  // namespace

FileOutcome FileSystem::tryRemove(const std::string& path) {
  return outcomeOf([&] { remove(path); });
}
FileOutcome FileSystem::tryRename(const std::string& from, const std::string& to) {
  return outcomeOf([&] { rename(from, to); });
}
FileOutcome FileSystem::tryExchange(const std::string& a, const std::string& b) {
  return outcomeOf([&] { exchange(a, b); });
}
FileOutcome FileSystem::tryLink(const std::string& from, const std::string& to) {
  return outcomeOf([&] { link(from, to); });
}
FileOutcome FileSystem::tryRemoveDirectory(const std::string& path) {
  return outcomeOf([&] { removeDirectory(path); });
}

FileKind FileSystem::kind(const std::string& path) {
  if (isDirectory(path)) return FileKind::Directory;
  if (!exists(path)) return FileKind::Missing;
  const std::optional<FileIdentity> id = identity(path);
  return !id || id->regular ? FileKind::Regular : FileKind::Other;
}

std::optional<std::string> FileSystem::resolvedPath(const std::string& path) {
  if (!exists(path)) return std::nullopt;
  return path;
}

namespace {
[[noreturn]] void unsupported(const char* verb, const std::string& path) {
  throw FileError(verb, path, ENOSYS);
}
}  // namespace

std::optional<FileIdentity> FileSystem::identity(const std::string&) { return std::nullopt; }
std::vector<std::string> FileSystem::list(const std::string& directory) { unsupported("list", directory); }
void FileSystem::removeDirectory(const std::string& path) {
  throw directoryError("remove", path, ENOSYS);
}
std::string FileSystem::createUniqueDirectory(const std::string& parent, const std::string&) {
  unsupported("create a directory in", parent);
}
std::unique_ptr<DirectoryLock> FileSystem::tryLockDirectory(const std::string& directory) {
  unsupported("lock", directory);
}

std::int64_t copyFile(FileSystem& fs, const std::string& from, const std::string& to) {
  auto in = fs.open(from, OpenMode::ReadRegular);
  const std::int64_t size = in->size();
  auto out = fs.open(to, OpenMode::CreateNew);
  constexpr std::size_t kChunk = 1u << 20;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  std::int64_t left = size;
  while (left > 0) {
    // A regular file never waits, so the read itself never sees the request.
    stopIfInterrupted();
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunk));
    const std::size_t got = in->read(buffer.get(), want);
    if (got == 0) break;  // cut meanwhile: the caller checks what it got
    out->write(buffer.get(), got);
    left -= static_cast<std::int64_t>(got);
  }
  in->close();
  out->close();
  return size - left;
}

void refuseOutsideOrSpecial(FileSystem& fs, const std::string& directory, const std::string& path) {
  const FileKind kind = fs.kind(path);
  if (kind == FileKind::Missing) return;
  if (kind != FileKind::Regular) throw Error(notAFileMessage(path, kind));
  const std::optional<std::string> dir = fs.resolvedPath(directory);
  const std::optional<std::string> file = fs.resolvedPath(path);
  if (!dir || !file) return;
  const std::string inside = dir->empty() || dir->back() == '/' ? *dir : *dir + "/";
  if (file->compare(0, inside.size(), inside) != 0)
    throw Error("\"" + path + "\" is not a file of the catalog: it is a link to \"" + *file + "\", outside \"" +
                directory + "\"");
}

void removeTree(FileSystem& fs, const std::string& directory) {
  // A file, or a link (to a directory too), goes by itself: nothing below
  // a link is ever listed or removed.
  if (fs.tryRemove(directory)) return;
  std::vector<std::string> names;
  try {
    names = fs.list(directory);
  } catch (const Error&) {
    fs.tryRemove(directory);  // a file or a link where a directory was
    return;
  }
  const std::string dir = directory.empty() || directory.back() == '/' ? directory : directory + "/";
  for (const std::string& name : names) removeTree(fs, dir + name);
  fs.tryRemoveDirectory(directory);
}

namespace {

FileKind kindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Directory;
  if (S_ISFIFO(mode)) return FileKind::Fifo;
  if (S_ISCHR(mode)) return FileKind::CharacterDevice;
  if (S_ISBLK(mode)) return FileKind::BlockDevice;
  if (S_ISSOCK(mode)) return FileKind::Socket;
  return FileKind::Other;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::size_t read(void* buffer, std::size_t n) override {
    for (;;) {
      if (interruptRequested() && !readable()) throw AbortError();
      ssize_t got = ::read(fd_, buffer, n);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw Error(fileErrorMessage("read", path_, errno));
    }
  }

  void write(const void* buffer, std::size_t n) override {
    const char* p = static_cast<const char*>(buffer);
    while (n > 0) {
      ssize_t put = ::write(fd_, p, n);
      if (put < 0) {
        if (errno == EINTR) {
          if (interruptRequested()) throw AbortError();
          continue;
        }
        throw Error(fileErrorMessage("write", path_, errno));
      }
      if (put == 0) throw Error(fileErrorMessage("write", path_, ENOSPC));
      p += put;
      n -= static_cast<std::size_t>(put);
    }
  }

  void seek(std::int64_t offset) override {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
      throw Error(fileErrorMessage("seek in", path_, errno));
  }

  std::int64_t size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw Error(fileErrorMessage("read", path_, errno));
    return static_cast<std::int64_t>(st.st_size);
  }

  std::optional<FileState> state() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw Error(fileErrorMessage("read", path_, errno));
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    return FileState{static_cast<std::int64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
  }

  void truncate(std::int64_t size) override {
    int result;
    do {
      result = ::ftruncate(fd_, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) throw Error(fileErrorMessage("truncate", path_, errno));
  }

  void sync() override {
    int result;
    do {
      result = ::fsync(fd_);
    } while (result != 0 && errno == EINTR);
    if (result != 0) throw Error(fileErrorMessage("write", path_, errno));
  }

  void close() override {
    if (fd_ < 0) return;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw Error(fileErrorMessage("close", path_, errno));
  }

  const std::string& path() const override { return path_; }

 private:
  // A read would not wait: bytes, the end or an error are there (always so
  // for a regular file; for a pipe, once its writer wrote or closed it).
  bool readable() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) != 0;
  }

  int fd_;
  std::string path_;
};

class PosixDirectoryLock final : public DirectoryLock {
 public:
  explicit PosixDirectoryLock(int fd) : fd_(fd) {}
  ~PosixDirectoryLock() override { ::close(fd_); }

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    const char* verb = "open";
    switch (mode) {
      case OpenMode::Read: flags |= O_RDONLY; break;
      // Without waiting for a FIFO's writer: the file is looked at first.
      case OpenMode::ReadRegular: flags |= O_RDONLY | O_NONBLOCK; break;
      case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; verb = "create"; break;
      case OpenMode::Append: flags |= O_WRONLY | O_APPEND; break;
      case OpenMode::ReadWrite: flags |= O_RDWR; break;
      case OpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; verb = "create"; break;
    }
    // Opening a pipe waits for its other end.
    if (mode == OpenMode::Read && interruptRequested()) throw AbortError();
    int fd;
    while ((fd = ::open(path.c_str(), flags, 0666)) < 0 && errno == EINTR) {
      if (interruptRequested()) throw AbortError();
    }
    if (fd < 0) throw Error(fileErrorMessage(verb, path, errno));
    if (mode == OpenMode::ReadRegular) {
      struct stat st;
      if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw Error(fileErrorMessage(verb, path, err));
      }
      if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        // A directory is refused in the words of any other open.
        if (S_ISDIR(st.st_mode)) throw Error(fileErrorMessage(verb, path, EISDIR));
        throw Error(notAFileMessage(path, kindOf(st.st_mode)));
      }
      // Reads of a regular file never wait; the flag is cleared all the same
      // so that the descriptor behaves as any other.
      const int status = ::fcntl(fd, F_GETFL);
      if (status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
        const int err = errno;
        ::close(fd);
        throw Error(fileErrorMessage(verb, path, err));
      }
    }
    if (mode == OpenMode::Read) {
      struct stat st;
      if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw Error(fileErrorMessage(verb, path, EISDIR));
      }
    }
    return std::make_unique<PosixFile>(fd, path);
  }

  bool exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  bool isDirectory(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  void createDirectories(const std::string& path) override {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec && !isDirectory(path))
      throw Error("Cannot create directory \"" + path + "\": " + ec.message());
  }

  void remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) throw FileError("remove", path, errno);
  }

  void rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) throw twoPathError("rename", from, "to", to, errno);
  }

  void link(const std::string& from, const std::string& to) override {
    if (::link(from.c_str(), to.c_str()) != 0) throw twoPathError("link", from, "to", to, errno);
  }

  FileKind kind(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return FileKind::Missing;
    return kindOf(st.st_mode);
  }

  std::optional<std::string> resolvedPath(const std::string& path) override {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
  }

  void exchange(const std::string& a, const std::string& b) override {
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) != 0)
      throw twoPathError("exchange", a, "with", b, errno);
  }

  // Without opening the file: an open of a FIFO would wait for its writer.
  std::int64_t fileSize(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) throw Error(fileErrorMessage("open", path, errno));
    if (S_ISDIR(st.st_mode)) throw Error(fileErrorMessage("open", path, EISDIR));
    return static_cast<std::int64_t>(st.st_size);
  }

  std::optional<FileIdentity> identity(const std::string& path) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                        S_ISREG(st.st_mode)};
  }

  std::vector<std::string> list(const std::string& directory) override {
    DIR* d = ::opendir(directory.c_str());
    if (d == nullptr) throw directoryError("read", directory, errno);
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d)) {
      const std::string_view name = e->d_name;
      if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(d);
    return names;
  }

  void removeDirectory(const std::string& path) override {
    if (::rmdir(path.c_str()) != 0) throw directoryError("remove", path, errno);
  }

  std::string createUniqueDirectory(const std::string& parent, const std::string& prefix) override {
    std::string dir = parent;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string pattern = dir + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
      throw directoryError("create", dir + prefix, errno);
    return pattern + "/";
  }

  std::unique_ptr<DirectoryLock> tryLockDirectory(const std::string& directory) override {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw directoryError("open", directory, errno);
    int result;
    do {
      result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno == EWOULDBLOCK) {
      ::close(fd);
      return nullptr;
    }
    // A file system without locks (some network ones) runs the build
    // unlocked rather than not at all.
    return std::make_unique<PosixDirectoryLock>(fd);
  }

  // Every call is a system call on the caller's own descriptors and paths.
  bool threadSafe() const override { return true; }
};

}  // namespace

FileSystem& FileSystem::real() {
  static PosixFileSystem fs;
  return fs;
}

void raiseOpenFileLimit() noexcept {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace mirdal
