#include "output/post_build_sort.h"

#include "sort/compare_from.h"
#include "sort/sort_in_place.h"

namespace mirdal {

bool sortRegionByMagnitude(FileSystem& fs, const std::string& regionFile, const std::string& scratch,
                           const RecordLayout& layout) {
  const std::int64_t size = fs.fileSize(regionFile);
  if (size <= layout.recordLength || !layout.magnitudeKeyInRecord()) return false;
  sortFileInPlace(fs, regionFile, scratch, layout.recordLength,
                  compareMagnitudeAt(layout.sortKeyPosition, layout.recordLength));
  return true;
}

void sortIndexByName(FileSystem& fs, const std::string& indexFile, const std::string& scratch,
                     const RecordLayout& layout) {
  const int recordSize = layout.indexRecordLength();
  sortFileInPlace(fs, indexFile, scratch, recordSize, compareNameFrom(9, layout.indexNameLength, recordSize));
}

}  // namespace mirdal
