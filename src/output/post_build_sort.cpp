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

RecordCompare indexNameOrder(const RecordLayout& layout) {
  return compareNameFrom(9, layout.indexNameLength, layout.indexRecordLength());
}

void sortIndexByName(InPlaceSorter& sorter, const std::string& indexFile, const std::string& scratch,
                     const RecordLayout& layout) {
  sorter.sort(indexFile, scratch, layout.indexRecordLength(), indexNameOrder(layout));
}

void mergeIndexRuns(InPlaceSorter& sorter, const std::string& indexFile, const std::vector<std::int64_t>& runRecords,
                    const std::string& scratch, const RecordLayout& layout) {
  if (runRecords.size() < 2) return;
  sorter.mergeRuns(indexFile, runRecords, scratch, layout.indexRecordLength(), indexNameOrder(layout));
}

}  // namespace mirdal
