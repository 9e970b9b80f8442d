#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "util/error.h"
#include "util/file_system.h"

namespace mirdal::testing {

// Wraps the real file system and makes the Nth write (counting every write of
// every file opened through it, from 1) fail as a full disk would. Paths whose
// name contains `onlyPathsContaining` are the only ones counted when it is set.
//
// Further faults, each off until asked for:
//  - the Nth read (counted over files whose path contains the read filter)
//    fails as a failing disk would (EIO);
//  - every open of a path containing a text fails (EACCES);
//  - every rename or exchange whose source or target contains a text is
//    refused (EXDEV, as across file systems);
//  - before the Nth counted read the file is cut (or grown) to a size, as
//    another program may do to an input while it is read.
//  - every sync of a file whose path contains a text fails as a full disk
//    that took the writes into the page cache does (ENOSPC);
//  - every read returns at most a few bytes, as a pipe may;
//  - the renames after the Nth fail, as if the process had died there.
// Every counted write and read is logged with its file's path, so that a test
// can first count the writes of a whole build and then fail each one in turn.
class FaultyFileSystem : public FileSystem {
 public:
  explicit FaultyFileSystem(long failOnWrite = -1, std::string onlyPathsContaining = {})
      : failOnWrite_(failOnWrite), filter_(std::move(onlyPathsContaining)) {}

  long writes() const { return writes_; }
  // Makes the failing write put down all its bytes but the last before it
  // fails, as a disk that fills during the write does.
  void tearFailingWrite(bool on = true) { tear_ = on; }
  void failOnWrite(long n) {
    failOnWrite_ = n;
    writes_ = 0;
    writeLog_.clear();
  }
  // Lets the build write files from several threads (the counts and logs
  // are then kept under a lock; their order is that of the threads).
  void allowThreads() { threadSafe_ = true; }
  bool threadSafe() const override { return threadSafe_; }

  // Makes every open (of any mode) of a path containing `text` fail.
  void failOpenOf(std::string text) { failOpen_ = std::move(text); }

  // Makes the Nth read of a file whose path contains `onlyPathsContaining`
  // (any file when empty) fail; counting starts again from 0.
  void failOnRead(long n, std::string onlyPathsContaining = {}) {
    failOnRead_ = n;
    readFilter_ = std::move(onlyPathsContaining);
    reads_ = 0;
    readLog_.clear();
  }
  long reads() const { return reads_; }
  // Cuts the file to `size` bytes before the Nth read counted by failOnRead's
  // filter (set it with failOnRead(-1, filter)).
  void resizeBeforeRead(long n, std::int64_t size) {
    resizeOnRead_ = n;
    resizeTo_ = size;
  }
  // Makes every rename and exchange whose source or target contains `text` fail.
  void failRenameOf(std::string text) { failRename_ = std::move(text); }

  // Makes every sync of a path containing `text` fail.
  void failSyncOf(std::string text) { failSync_ = std::move(text); }

  // Makes every read return at most `n` bytes (more reads before the end).
  void readAtMost(std::size_t n) { readAtMost_ = n; }

  // Lets the next `n` renames and exchanges happen and fails every later one.
  void failRenamesAfter(long n) { renamesLeft_ = n; }

  // Path of each counted write and read, in order.
  const std::vector<std::string>& writeLog() const { return writeLog_; }
  const std::vector<std::string>& readLog() const { return readLog_; }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    if (!failOpen_.empty() && path.find(failOpen_) != std::string::npos)
      throw Error(fileErrorMessage("open", path, 13 /* EACCES */));
    auto inner = FileSystem::real().open(path, mode);
    bool counted = filter_.empty() || path.find(filter_) != std::string::npos;
    bool readCounted = readFilter_.empty() || path.find(readFilter_) != std::string::npos;
    return std::make_unique<Wrapped>(std::move(inner), this, counted, readCounted);
  }
  bool exists(const std::string& p) override { return FileSystem::real().exists(p); }
  bool isDirectory(const std::string& p) override { return FileSystem::real().isDirectory(p); }
  void createDirectories(const std::string& p) override { FileSystem::real().createDirectories(p); }
  void remove(const std::string& p) override { FileSystem::real().remove(p); }
  void rename(const std::string& f, const std::string& t) override {
    refuseRename("rename", f, t);
    FileSystem::real().rename(f, t);
  }
  void exchange(const std::string& a, const std::string& b) override {
    refuseRename("exchange", a, b);
    FileSystem::real().exchange(a, b);
  }
  std::int64_t fileSize(const std::string& p) override { return FileSystem::real().fileSize(p); }
  void link(const std::string& f, const std::string& t) override { FileSystem::real().link(f, t); }
  FileKind kind(const std::string& p) override { return FileSystem::real().kind(p); }
  std::optional<std::string> resolvedPath(const std::string& p) override { return FileSystem::real().resolvedPath(p); }
  std::optional<FileIdentity> identity(const std::string& p) override { return FileSystem::real().identity(p); }
  std::vector<std::string> list(const std::string& d) override { return FileSystem::real().list(d); }
  void removeDirectory(const std::string& p) override { FileSystem::real().removeDirectory(p); }
  std::string createUniqueDirectory(const std::string& parent, const std::string& prefix) override {
    return FileSystem::real().createUniqueDirectory(parent, prefix);
  }
  std::unique_ptr<DirectoryLock> tryLockDirectory(const std::string& d) override {
    return FileSystem::real().tryLockDirectory(d);
  }

 private:
  void refuseRename(const char* verb, const std::string& a, const std::string& b) {
    const bool named =
        !failRename_.empty() && (a.find(failRename_) != std::string::npos || b.find(failRename_) != std::string::npos);
    if (named || renamesLeft_ == 0) throw FileError(verb, a, EXDEV);
    if (renamesLeft_ > 0) --renamesLeft_;
  }

  class Wrapped : public File {
   public:
    Wrapped(std::unique_ptr<File> inner, FaultyFileSystem* owner, bool countWrites, bool countReads)
        : inner_(std::move(inner)), owner_(owner), countWrites_(countWrites), countReads_(countReads) {}
    std::size_t read(void* b, std::size_t n) override {
      if (countReads_) {
        const std::lock_guard lock(owner_->mutex_);
        owner_->readLog_.push_back(inner_->path());
        if (++owner_->reads_ == owner_->failOnRead_) throw Error(fileErrorMessage("read", inner_->path(), EIO));
        if (owner_->reads_ == owner_->resizeOnRead_)
          FileSystem::real().open(inner_->path(), OpenMode::ReadWrite)->truncate(owner_->resizeTo_);
      }
      return inner_->read(b, std::min(n, owner_->readAtMost_));
    }
    void write(const void* b, std::size_t n) override {
      if (countWrites_) {
        const std::lock_guard lock(owner_->mutex_);
        owner_->writeLog_.push_back(inner_->path());
        if (++owner_->writes_ == owner_->failOnWrite_) {
          if (owner_->tear_ && n > 1) inner_->write(b, n - 1);
          throw Error(fileErrorMessage("write", inner_->path(), 28 /* ENOSPC */));
        }
      }
      inner_->write(b, n);
    }
    void seek(std::int64_t o) override { inner_->seek(o); }
    std::int64_t size() override { return inner_->size(); }
    std::optional<FileState> state() override { return inner_->state(); }
    void truncate(std::int64_t size) override { inner_->truncate(size); }
    void sync() override {
      if (!owner_->failSync_.empty() && inner_->path().find(owner_->failSync_) != std::string::npos)
        throw Error(fileErrorMessage("write", inner_->path(), 28 /* ENOSPC */));
      inner_->sync();
    }
    void close() override { inner_->close(); }
    const std::string& path() const override { return inner_->path(); }

   private:
    std::unique_ptr<File> inner_;
    FaultyFileSystem* owner_;
    bool countWrites_;
    bool countReads_;
  };

  long failOnWrite_;
  std::mutex mutex_;
  bool threadSafe_ = false;
  long writes_ = 0;
  bool tear_ = false;
  std::string filter_;
  std::string failOpen_;
  long failOnRead_ = -1;
  long resizeOnRead_ = -1;
  std::int64_t resizeTo_ = 0;
  long reads_ = 0;
  std::string readFilter_;
  std::string failRename_;
  std::string failSync_;
  std::size_t readAtMost_ = SIZE_MAX;
  long renamesLeft_ = -1;
  std::vector<std::string> writeLog_;
  std::vector<std::string> readLog_;
};

}  // namespace mirdal::testing
