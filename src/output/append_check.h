#pragma once

#include <string>

#include "catalog/file_system.h"
#include "output/record_layout.h"

namespace mirdal {

// Appending records of one layout to region files of another would corrupt
// the catalog without a word. Before an append touches any file, the header
// already in the output directory is compared with the new one: the magic,
// the record length, every field position and length, the number of region
// files and the index name length must agree. Throws Error saying what
// differs; a missing header file passes (the append then fails on the first
// missing data file).
void checkAppendCompatible(FileSystem& fs, const std::string& headerPath, const RecordLayout& layout);

}  // namespace mirdal
