#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sort/compare_from.h"
#include "sort/m3_array.h"
#include "sort/merge_part.h"
#include "sort/record_compare.h"
#include "sort/sor_io.h"
#include "util/file_system.h"

namespace mirdal {

// The three buffer sizes of one sort, in bytes.
struct SortSizes {
  std::int64_t MemorySize = 0;       // record bytes per run: the reader's buffer
  std::int64_t IOBufferSize = 0;     // buffer of the run writer and of the output writer
  std::int64_t MergeBufferSize = 0;  // buffer of each run during the merge
};

// Sizes for an input of `inputSize` bytes of `recordSize`-byte records, by
// size band:
//   S <= 40,000,000               M = S / 12, at least 325,000
//   S <= 100,000,000              M = S / 17, at least 4,000,000
//   S <= 600,000,000              M = S / 25, at least 10,000,000
//   larger                        M = 20,000,000, B = 4,000,000
// B = M / 5 before M is cut to whole records (but never below one record);
// Q = M / (S / M + 1), so that one buffer per run adds up to about M.
// IOBufferSize and MergeBufferSize are as computed: each buffer rounds its own
// size down to whole records, and never below one record.
SortSizes computeSortSizes(std::int64_t inputSize, int recordSize);

// The external sort of a file of fixed-size records: runs of MemorySize bytes
// are sorted in memory by address, written back to back to the run file
// ("SorTemp.mkw" in the current directory unless another is given), and
// merged into the output in one pass.
class FixRecSort {
 public:
  static constexpr const char* kTempFileName = "SorTemp.mkw";

  explicit FixRecSort(int recordSize, FileSystem& fs);
  ~FixRecSort();
  FixRecSort(const FixRecSort&) = delete;
  FixRecSort& operator=(const FixRecSort&) = delete;

  // 0: quicksort; 1: three-way merge sort, which makes the whole sort stable.
  std::uint8_t SortMethod = 0;

  // Sorts the records of `input` into `output` (created or replaced); the
  // input is only read. On failure the error names the file and the reason;
  // the input is untouched, and the temporary file and a partial output are
  // removed.
  void SortFile(const std::string& input, const std::string& output, const RecordCompare& compare);
  // The same for an input the caller has opened for reading (to look at its
  // size first); the sort closes it.
  void SortFile(std::unique_ptr<File> input, const std::string& output, const RecordCompare& compare);

  // Merges a file that already holds sorted runs back to back, run k of
  // runRecords[k] records, into `output` (created or replaced): the order
  // SortFile gives with SortMethod 1 over the same records. Only the merge
  // is done: the input is read once and the output written once. The input
  // is only read; on failure a partial output is removed.
  void MergeSortedRuns(const std::string& input, const std::vector<std::int64_t>& runRecords,
                       const std::string& output, const RecordCompare& compare);

  // The run file to use instead of "SorTemp.mkw" in the current directory.
  void setTempPath(std::string path) { tempPath_ = std::move(path); }
  const std::string& tempPath() const { return tempPath_; }

  // Sizes to use instead of the size bands' (tests force small runs with it).
  void overrideSizes(const SortSizes& sizes) { override_ = sizes; }
  // Inputs up to this many bytes are sorted in one run, whatever their band
  // would give: no run file is written twice and read back for a merge. The
  // order is the same either way (the sort with SortMethod 1 is stable).
  void setOneRunLimit(std::int64_t bytes) { oneRunLimit_ = bytes; }

  // Of the last SortFile: the sizes in force and the number of runs written.
  const SortSizes& sizes() const { return sizes_; }
  int runCount() const { return runCount_; }

 private:
  void checkMethodAndCompare(const std::string& input, const RecordCompare& compare) const;
  void sortOpened(std::unique_ptr<File> input, const std::string& output, const RecordCompare& compare);
  void formRuns(File& input, File& temp, const RecordCompare& compare);
  template <class Compare>
  void mergeRuns(const std::string& output, const Compare& compare);
  void moveTempToOutput(const std::string& output);

  FileSystem& fs_;
  int recordSize_;
  std::string tempPath_ = kTempFileName;
  std::optional<SortSizes> override_;
  std::int64_t oneRunLimit_ = 0;
  SortSizes sizes_;
  int runCount_ = 0;
  std::vector<std::unique_ptr<MergePart>> parts_;
  M3Array array_;
};

// Writes `count` records of `recordSize` bytes from `records` to `out` in
// the name order of a stable sort by `compare`: equal names keep their
// order. The records are left in some order: the sort works in their place.
void writeStablySorted(std::uint8_t* records, std::int64_t count, int recordSize, const TextFromCompare& compare,
                       File& out);

}  // namespace mirdal
