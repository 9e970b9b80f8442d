#include "output/post_build_sort.h"

#include "sort/compare_from.h"

namespace mirdal {

bool sortRegionByMagnitude(InPlaceSorter& sorter, const std::string& regionFile, const std::string& scratch,
                           const RecordLayout& layout, std::int64_t oneRunLimit) {
  // The file opened to take its size is the one the sort reads.
  std::unique_ptr<File> file = sorter.fileSystem().open(regionFile, OpenMode::Read);
  if (file->size() <= layout.recordLength || !layout.magnitudeKeyInRecord()) {
    file->close();
    return false;
  }
  sorter.sort(std::move(file), scratch, layout.recordLength,
              compareMagnitudeAt(layout.sortKeyPosition, layout.recordLength), oneRunLimit);
  return true;
}

void sortIndexByName(InPlaceSorter& sorter, const std::string& indexFile, const std::string& scratch,
                     const RecordLayout& layout) {
  const int recordSize = layout.indexRecordLength();
  sorter.sort(indexFile, scratch, recordSize, compareNameFrom(9, layout.indexNameLength, recordSize));
}

}  // namespace mirdal
