#pragma once

#include <memory>
#include <string>

#include "catalog/file_system.h"
#include "sort/record_compare.h"

namespace mirdal {

// Sorts `file` with the stable merge sort into `scratch` (the "sort.out" of the
// file's folder) and then renames `scratch` over `file`, which replaces it in
// one step. If anything fails, `file` keeps its earlier content, `scratch` is
// removed and the error propagates.
void sortFileInPlace(FileSystem& fs, const std::string& file, const std::string& scratch, int recordSize,
                     const RecordCompare& compare);
// The same for a file the caller has opened for reading (to look at its size
// first); the sort closes it.
void sortFileInPlace(FileSystem& fs, std::unique_ptr<File> opened, const std::string& scratch, int recordSize,
                     const RecordCompare& compare);

}  // namespace mirdal
