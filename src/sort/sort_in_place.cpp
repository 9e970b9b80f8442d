#include "sort/sort_in_place.h"

#include <cerrno>

#include "sort/fix_rec_sort.h"
#include "util/error.h"

namespace mirdal {

InPlaceSorter::InPlaceSorter(FileSystem& fs, std::string runFile)
    : fs_(fs), runFile_(runFile.empty() ? FixRecSort::kTempFileName : std::move(runFile)) {}

InPlaceSorter::~InPlaceSorter() {
  if (spare_) fs_.tryRemove(runFile_);
}

// Renaming or swapping the sorted copy over the file, rather than deleting
// the file first, means there is no moment at which neither the old nor the
// sorted records are on disk.
template <class Sort>
void InPlaceSorter::sortAndReplace(const std::string& file, const std::string& scratch, int recordSize,
                                   std::int64_t oneRunLimit, Sort&& sort) {
  FixRecSort sorter(recordSize, fs_);
  sorter.SortMethod = 1;
  sorter.setTempPath(runFile_);
  sorter.setOneRunLimit(oneRunLimit);
  // The sort writes its run file over the spare, then renames or removes it;
  // only a sort refused before it starts leaves the spare where it is.
  const bool hadSpare = spare_;
  spare_ = false;
  try {
    sort(sorter);
  } catch (...) {
    spare_ = hadSpare && fs_.exists(runFile_);
    fs_.tryRemove(scratch);
    throw;
  }
  if (fs_.tryExchange(scratch, file)) {
    // The file is sorted; its old records are the next sort's run file, or
    // go where the run file cannot (another file system).
    if (fs_.tryRename(scratch, runFile_)) {
      spare_ = true;
    } else {
      fs_.tryRemove(scratch);
    }
    return;
  }
  if (const FileOutcome replaced = fs_.tryRename(scratch, file); !replaced) {
    fs_.tryRemove(scratch);
    throw Error(fileErrorMessage("replace", file, replaced.error));
  }
}

void InPlaceSorter::sort(const std::string& file, const std::string& scratch, int recordSize,
                         const RecordCompare& compare, std::int64_t oneRunLimit) {
  sortAndReplace(file, scratch, recordSize, oneRunLimit,
                 [&](FixRecSort& sorter) { sorter.SortFile(file, scratch, compare); });
}

void InPlaceSorter::sort(std::unique_ptr<File> opened, const std::string& scratch, int recordSize,
                         const RecordCompare& compare, std::int64_t oneRunLimit) {
  const std::string file = opened->path();
  sortAndReplace(file, scratch, recordSize, oneRunLimit,
                 [&](FixRecSort& sorter) { sorter.SortFile(std::move(opened), scratch, compare); });
}

void InPlaceSorter::mergeRuns(const std::string& file, const std::vector<std::int64_t>& runRecords,
                              const std::string& scratch, int recordSize, const RecordCompare& compare) {
  // A merge writes no run file: a spare would outlive the sorter unnoticed.
  if (spare_) {
    fs_.tryRemove(runFile_);
    spare_ = false;
  }
  sortAndReplace(file, scratch, recordSize, 0,
                 [&](FixRecSort& sorter) { sorter.MergeSortedRuns(file, runRecords, scratch, compare); });
}

std::uint8_t* InPlaceSorter::memory(std::size_t bytes) {
  if (bytes > memoryBytes_) {
    memory_.reset();  // the old block goes before the larger one is taken
    memory_ = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
    memoryBytes_ = bytes;
  }
  return memory_.get();
}

void sortFileInPlace(FileSystem& fs, const std::string& file, const std::string& scratch, int recordSize,
                     const RecordCompare& compare) {
  InPlaceSorter(fs).sort(file, scratch, recordSize, compare);
}

void sortFileInPlace(FileSystem& fs, std::unique_ptr<File> opened, const std::string& scratch, int recordSize,
                     const RecordCompare& compare) {
  InPlaceSorter(fs).sort(std::move(opened), scratch, recordSize, compare);
}

}  // namespace mirdal
