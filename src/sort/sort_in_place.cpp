#include "sort/sort_in_place.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "catalog/error.h"
#include "sort/fix_rec_sort.h"

namespace mirdal {

namespace {

// The run file "SorTemp.mkw" lies in the current directory and so is shared
// by every sort started there. Two builds run from one directory would write
// into each other's run file and both end with wrong records while reporting
// success. Each sort therefore holds an exclusive lock on the current
// directory from the creation of its run file to the rename of its result;
// the lock goes with the process, so a build that dies leaves none behind.
// Where the directory cannot be opened or locked the sort runs unlocked, as
// it would have anyway.
class WorkingDirectoryLock {
 public:
  WorkingDirectoryLock() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~WorkingDirectoryLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  WorkingDirectoryLock(const WorkingDirectoryLock&) = delete;
  WorkingDirectoryLock& operator=(const WorkingDirectoryLock&) = delete;

 private:
  int fd_;
};

// Sorts with the stable merge sort into the scratch file, then renames the
// scratch file over `file`. Renaming over the file, rather than deleting it
// first, means there is no moment at which neither the old nor the sorted
// records are on disk.
template <class Sort>
void sortAndReplace(FileSystem& fs, const std::string& file, const std::string& scratch, int recordSize,
                    Sort&& sort) {
  const WorkingDirectoryLock lock;
  FixRecSort sorter(recordSize, fs);
  sorter.SortMethod = 1;
  try {
    sort(sorter);
  } catch (...) {
    fs.remove(scratch);
    throw;
  }
  errno = 0;
  if (!fs.rename(scratch, file)) {
    int err = errno != 0 ? errno : EIO;
    fs.remove(scratch);
    throw Error(fileErrorMessage("replace", file, err));
  }
}

}  // namespace

void sortFileInPlace(FileSystem& fs, const std::string& file, const std::string& scratch, int recordSize,
                     const RecordCompare& compare) {
  sortAndReplace(fs, file, scratch, recordSize,
                 [&](FixRecSort& sorter) { sorter.SortFile(file, scratch, compare); });
}

void sortFileInPlace(FileSystem& fs, std::unique_ptr<File> opened, const std::string& scratch, int recordSize,
                     const RecordCompare& compare) {
  const std::string file = opened->path();
  sortAndReplace(fs, file, scratch, recordSize,
                 [&](FixRecSort& sorter) { sorter.SortFile(std::move(opened), scratch, compare); });
}

}  // namespace mirdal
