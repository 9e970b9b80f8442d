#include "output/post_build_sort.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "sort/compare_from.h"
#include "util/error.h"

namespace mirdal {

namespace {

// The records of `file` (opened for reading and writing, `size` bytes of
// whole records) in the order of a stable sort by the 16-bit key at
// `keyOffset`, written back over themselves: a stable radix sort of the
// record numbers by the key's low byte, then by its high byte (skipped when
// every key has the same one), gives each record its place, and the records
// are gathered in that order through a buffer of kGather bytes. Its counts
// take 256 entries a pass whatever the keys: a count per key value would
// be cleared and summed over the whole range from the brightest magnitude
// to the missing one's 99000 for every file. `memory` holds the file, eight
// bytes a record and the buffer (sortMemory).
constexpr std::size_t kGather = 1u << 20;

std::size_t sortMemory(std::int64_t size, int recordLength) {
  const auto records = static_cast<std::size_t>(size / recordLength);
  return (static_cast<std::size_t>(size) + 7) / 8 * 8 + 8 * records + std::max<std::size_t>(kGather, recordLength);
}

void sortWholeFileInMemory(File& file, std::int64_t size, int recordLength, int keyOffset, std::uint8_t* memory) {
  const std::int64_t n = size / recordLength;
  const auto length = static_cast<std::size_t>(recordLength);
  std::uint8_t* const data = memory;
  auto* order = reinterpret_cast<std::uint32_t*>(memory + (static_cast<std::size_t>(size) + 7) / 8 * 8);
  auto* spare = order + n;
  std::uint8_t* const gather = reinterpret_cast<std::uint8_t*>(spare + n);
  const std::size_t gatherBytes = std::max(kGather / length, std::size_t{1}) * length;
  readWhole(file, data, static_cast<std::size_t>(size));
  auto key = [&](std::uint32_t i) {
    return orderedSmallInt(data + static_cast<std::int64_t>(i) * recordLength, keyOffset);
  };
  std::array<std::uint32_t, 256> lowCount{};
  std::array<std::uint32_t, 256> highCount{};
  for (std::int64_t i = 0; i < n; ++i) {
    const unsigned k = key(static_cast<std::uint32_t>(i));
    ++lowCount[k & 0xFF];
    ++highCount[k >> 8];
  }
  // Each pass is stable: from the order it is given into the other array.
  auto pass = [&](std::array<std::uint32_t, 256>& count, int shift, const std::uint32_t* from, std::uint32_t* to) {
    std::uint32_t sum = 0;
    for (std::uint32_t& c : count) sum += std::exchange(c, sum);
    for (std::int64_t i = 0; i < n; ++i) {
      const std::uint32_t r = from ? from[i] : static_cast<std::uint32_t>(i);
      to[count[(key(r) >> shift) & 0xFF]++] = r;
    }
  };
  pass(lowCount, 0, nullptr, order);
  const bool oneHighByte = std::count(highCount.begin(), highCount.end(), 0u) == 255;
  if (!oneHighByte) {
    pass(highCount, 8, order, spare);
    std::swap(order, spare);
  }
  file.seek(0);
  std::size_t filled = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    std::memcpy(gather + filled, data + static_cast<std::int64_t>(order[i]) * recordLength, length);
    filled += length;
    if (filled == gatherBytes) {
      writeWhole(file, gather, filled);
      filled = 0;
    }
  }
  if (filled > 0) writeWhole(file, gather, filled);
}

}  // namespace

bool sortRegionByMagnitude(InPlaceSorter& sorter, const std::string& regionFile, const std::string& scratch,
                           const RecordLayout& layout, std::int64_t oneRunLimit) {
  // The file opened to take its size is the one the sort reads.
  std::unique_ptr<File> file = sorter.fileSystem().open(regionFile, OpenMode::ReadWrite);
  const std::int64_t size = file->size();
  if (size <= layout.recordLength || !layout.magnitudeKeyInRecord()) {
    file->close();
    return false;
  }
  if (size > oneRunLimit) {
    sorter.sort(std::move(file), scratch, layout.recordLength,
                compareMagnitudeAt(layout.sortKeyPosition, layout.recordLength), oneRunLimit);
    return true;
  }
  // A build sorts the region files of its private staging directory, which
  // it throws away when it fails: a file that fits in memory is sorted there
  // and written back over itself, without a second file to create and
  // rename over it.
  if (size % layout.recordLength != 0) {
    file->close();
    throw Error("File can`t be divided through " + std::to_string(layout.recordLength));
  }
  sortWholeFileInMemory(*file, size, layout.recordLength, layout.sortKeyPosition - 1,
                        sorter.memory(sortMemory(size, layout.recordLength)));
  file->close();
  return true;
}

TextFromCompare indexNameOrder(const RecordLayout& layout) {
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
