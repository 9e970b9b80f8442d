#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sort/record_compare.h"
#include "util/file_system.h"

namespace mirdal {

// Sorts files one after another, each with the stable merge sort into a
// scratch file (the "sort.out" of its folder) that then replaces it in one
// step. If a sort fails, its file keeps its earlier content, the scratch file
// is removed and the error propagates.
//
// The run file is the sorter's own: a build gives it one in its private
// staging directory. Where the file system can swap two names, the sorted
// copy is swapped with the file and the replaced records go on as the run
// file of the next sort, which writes over them: a series of sorts then
// creates and deletes no file per sort (on file systems that look over
// recently deleted files at every creation, that is most of a small sort's
// time). The spare run file is removed when the sorter ends.
class InPlaceSorter {
 public:
  // `runFile`: the sort's run file ("SorTemp.mkw" in the current directory
  // when not given).
  explicit InPlaceSorter(FileSystem& fs, std::string runFile = {});
  ~InPlaceSorter();
  InPlaceSorter(const InPlaceSorter&) = delete;
  InPlaceSorter& operator=(const InPlaceSorter&) = delete;

  // Files up to `oneRunLimit` bytes are sorted in one run (see
  // FixRecSort::setOneRunLimit), larger ones in the runs of their size band.
  void sort(const std::string& file, const std::string& scratch, int recordSize, const RecordCompare& compare,
            std::int64_t oneRunLimit = 0);
  // The same for a file the caller has opened for reading (to look at its
  // size first); the sort closes it.
  void sort(std::unique_ptr<File> opened, const std::string& scratch, int recordSize, const RecordCompare& compare,
            std::int64_t oneRunLimit = 0);

  // Puts a file of sorted runs back to back (see FixRecSort::MergeSortedRuns)
  // in order, replacing it as a sort does.
  void mergeRuns(const std::string& file, const std::vector<std::int64_t>& runRecords, const std::string& scratch,
                 int recordSize, const RecordCompare& compare);

  FileSystem& fileSystem() const { return fs_; }

  // At least `bytes` bytes of memory, kept from one call to the next for
  // sorts done in memory: a series of them then takes no fresh pages from
  // the system for each file (which clears every page it hands out).
  std::uint8_t* memory(std::size_t bytes);

 private:
  template <class Sort>
  void sortAndReplace(const std::string& file, const std::string& scratch, int recordSize, std::int64_t oneRunLimit,
                      Sort&& sort);

  FileSystem& fs_;
  std::string runFile_;
  bool spare_ = false;  // the run file holds a replaced file's records
  std::unique_ptr<std::uint8_t[]> memory_;
  std::size_t memoryBytes_ = 0;
};

// One sort with a sorter of its own.
void sortFileInPlace(FileSystem& fs, const std::string& file, const std::string& scratch, int recordSize,
                     const RecordCompare& compare);
void sortFileInPlace(FileSystem& fs, std::unique_ptr<File> opened, const std::string& scratch, int recordSize,
                     const RecordCompare& compare);

}  // namespace mirdal
