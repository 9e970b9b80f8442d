#include "sort/sort_in_place.h"

#include <cerrno>

#include "catalog/error.h"
#include "sort/fix_rec_sort.h"

namespace mirdal {

void sortFileInPlace(FileSystem& fs, const std::string& file, const std::string& scratch, int recordSize,
                     const RecordCompare& compare) {
  FixRecSort sorter(recordSize, fs);
  sorter.SortMethod = 1;
  try {
    sorter.SortFile(file, scratch, compare);
  } catch (...) {
    fs.remove(scratch);
    throw;
  }
  // Renaming over the file, rather than deleting it first, means there is no
  // moment at which neither the old nor the sorted records are on disk.
  errno = 0;
  if (!fs.rename(scratch, file)) {
    int err = errno != 0 ? errno : EIO;
    fs.remove(scratch);
    throw Error(fileErrorMessage("replace", file, err));
  }
}

}  // namespace mirdal
