#pragma once

#include <string>

#include "output/record_layout.h"
#include "util/file_system.h"

namespace mirdal {

// Appending records of one layout to region files of another would corrupt
// the catalog without a word. Before an append changes anything, the
// catalog `base` in `directory` is checked against the new one: its header
// must exist and state the same magic, record layout, region count, index
// name length, alternate-name settings, equinox and epoch; it must have an
// index exactly when the new catalog has one; and every region file and the
// index must exist, be a regular file inside `directory` (no FIFO, device or
// link that leads elsewhere: the append copies them) and hold a whole number
// of records. Throws Error naming the file and saying what differs.
void checkAppendCompatible(FileSystem& fs, const std::string& directory, const std::string& base,
                           const RecordLayout& layout);

// Throws "Cannot append to "<path>": its 13 bytes are not a whole number of
// 12-byte records (1 bytes too many)" unless `bytes` is a whole number of
// records.
void requireWholeRecords(const std::string& path, std::int64_t bytes, std::int64_t recordLength);

}  // namespace mirdal
