#include "sort/fix_rec_sort.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "sort/compare_from.h"
#include "sort/sort_support.h"
#include "util/error.h"

namespace mirdal {

namespace {

// A path with the identity of the file it names, asked once.
struct PathIdentity {
  PathIdentity(FileSystem& fs, const std::string& p) : path(p), id(fs.identity(p)) {}
  const std::string& path;
  std::optional<FileIdentity> id;
};

// "a/b" and "b" end in "b", "a/" in "".
std::string_view lastName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The directory that holds the last name: "a/b" is in "a", "b" in ".", "/b"
// in "/".
std::string directoryOf(std::string_view path) {
  std::size_t end = path.rfind('/');
  if (end == std::string_view::npos) return ".";
  while (end > 0 && path[end - 1] == '/') --end;
  return end == 0 ? "/" : std::string(path.substr(0, end));
}

// Whether two paths name the same file, also when neither exists yet. Two
// existing paths are the same file when their identities agree; an existing
// path and a missing one are different files; two missing paths are the same
// when they end in the same name in the same directory, which is asked in
// the same way. A missing path that ends in "." or ".." is compared as text.
bool samePath(FileSystem& fs, const PathIdentity& a, const PathIdentity& b) {
  if (a.id && b.id) return *a.id == *b.id;
  if (a.id || b.id) return false;
  const std::string_view nameA = lastName(a.path);
  const std::string_view nameB = lastName(b.path);
  auto plainName = [](std::string_view n) { return !n.empty() && n != "." && n != ".."; };
  if (!plainName(nameA) || !plainName(nameB)) return a.path == b.path;
  if (nameA != nameB) return false;
  const std::string directoryA = directoryOf(a.path);
  const std::string directoryB = directoryOf(b.path);
  return samePath(fs, PathIdentity(fs, directoryA), PathIdentity(fs, directoryB));
}

}  // namespace

SortSizes computeSortSizes(std::int64_t inputSize, int recordSize) {
  if (recordSize <= 0) throw Error("Invalid record size " + std::to_string(recordSize));
  const std::int64_t s = inputSize;
  std::int64_t m;
  std::int64_t b;
  if (s <= 40'000'000) {
    m = std::max<std::int64_t>(s / 12, 325'000);
    b = m / 5;
  } else if (s <= 100'000'000) {
    m = std::max<std::int64_t>(s / 17, 4'000'000);
    b = m / 5;
  } else if (s <= 600'000'000) {
    m = std::max<std::int64_t>(s / 25, 10'000'000);
    b = m / 5;
  } else {
    // Also beyond 2,000,000,000 bytes: more runs, each with a smaller merge
    // buffer, and 64-bit offsets throughout.
    m = 20'000'000;
    b = 4'000'000;
  }
  m = wholeRecords(m, recordSize);
  return SortSizes{m, b, m / (s / m + 1)};
}

FixRecSort::FixRecSort(int recordSize, FileSystem& fs) : fs_(fs), recordSize_(recordSize) {
  if (recordSize <= 0) throw Error("Invalid record size " + std::to_string(recordSize));
}

FixRecSort::~FixRecSort() = default;

void FixRecSort::SortFile(const std::string& input, const std::string& output, const RecordCompare& compare) {
  checkMethodAndCompare(input, compare);
  sortOpened(fs_.open(input, OpenMode::Read), output, compare);
}

void FixRecSort::SortFile(std::unique_ptr<File> input, const std::string& output, const RecordCompare& compare) {
  checkMethodAndCompare(input->path(), compare);
  sortOpened(std::move(input), output, compare);
}

void FixRecSort::checkMethodAndCompare(const std::string& input, const RecordCompare& compare) const {
  if (SortMethod > 1) throw Error("Invalid sort method " + std::to_string(SortMethod));
  if (!compare) throw Error("No compare function for sorting \"" + input + "\"");
}

void FixRecSort::sortOpened(std::unique_ptr<File> in, const std::string& output, const RecordCompare& compare) {
  runCount_ = 0;
  parts_.clear();
  array_.Clear();
  const std::string input = in->path();

  // The input is checked before anything is created, so that a refused input
  // leaves no scratch files behind.
  const std::int64_t size = in->size();
  if (size % recordSize_ != 0) throw Error("File can`t be divided through " + std::to_string(recordSize_));
  // The output and the temporary file are truncated before the input is read:
  // if either were the input, its records would be lost.
  {
    const PathIdentity in(fs_, input), out(fs_, output), temp(fs_, tempPath_);
    if (samePath(fs_, in, out)) throw Error("Cannot sort file \"" + input + "\" onto itself");
    for (const PathIdentity* p : {&in, &out}) {
      if (samePath(fs_, *p, temp))
        throw Error("Cannot sort file \"" + p->path + "\": " + tempPath_ + " is the sort's temporary file");
    }
  }

  if (override_) {
    sizes_ = *override_;
    sizes_.MemorySize = wholeRecords(sizes_.MemorySize, recordSize_);
  } else {
    sizes_ = computeSortSizes(size, recordSize_);
    if (size > sizes_.MemorySize && size <= oneRunLimit_) {
      sizes_.MemorySize = size;  // whole records: checked above
      sizes_.MergeBufferSize = size;
    }
  }
  // One run (or none) ends as the renamed temporary file, which creates the
  // output; only a merge needs the output made beforehand. Creating it early
  // there would cost a file creation per region file for nothing.
  const bool singleRun = size <= sizes_.MemorySize;

  std::unique_ptr<File> temp;
  bool tempCreated = false;
  bool outputCreated = false;
  try {
    temp = fs_.open(tempPath_, OpenMode::Create);
    tempCreated = true;
    if (!singleRun) {
      fs_.open(output, OpenMode::Create)->close();
      outputCreated = true;
    }

    formRuns(*in, *temp, compare);
    in->close();
    in.reset();

    if (parts_.size() < 2) {
      parts_.clear();
      temp->close();
      temp.reset();
      outputCreated = true;  // by the rename, or by the copy that stands in for it
      moveTempToOutput(output);
    } else {
      outputCreated = true;
      withCompare(compare, [&](const auto& c) { mergeRuns(output, c); });
      parts_.clear();
      temp->close();
      temp.reset();
      fs_.tryRemove(tempPath_);
    }
  } catch (...) {
    parts_.clear();
    array_.Clear();
    temp.reset();
    in.reset();
    if (tempCreated) fs_.tryRemove(tempPath_);
    // Only a plain file is removed: an output such as a device node stays.
    if (outputCreated) {
      if (const auto id = fs_.identity(output); id && id->regular) fs_.tryRemove(output);
    }
    throw;
  }
  array_.Clear();
}

void FixRecSort::formRuns(File& input, File& temp, const RecordCompare& compare) {
  const std::int64_t memory = sizes_.MemorySize;
  // The reader's buffer holds exactly MemorySize bytes, so a run is one fill:
  // the addresses point into it until the run has been written.
  SorIO reader(input, memory, recordSize_);
  SorIO writer(temp, sizes_.IOBufferSize, recordSize_);
  const std::int64_t inputSize = input.size() / recordSize_ * recordSize_;
  int run = 1;
  while (!reader.endOfRecords()) {
    array_.Clear();
    array_.Reserve(std::min(memory, inputSize - reader.byteCounter()) / recordSize_);
    std::int64_t taken = 0;
    do {
      array_.Add(reader.ReadRecord());
      taken += recordSize_;
    } while (taken < memory && !reader.endOfRecords());

    if (SortMethod == 0) {
      array_.QuickSort(compare);
    } else {
      array_.MergeSort(compare);
    }

    std::int64_t start = writer.byteCounter();
    const std::uint8_t* const* items = array_.items();
    for (std::int64_t i = 0; i < array_.count(); ++i) writer.WriteRecord(items[i]);
    parts_.push_back(std::make_unique<MergePart>(temp, start, recordSize_, array_.count(), run));
    ++run;
  }
  array_.Clear();
  writer.Flush();
  runCount_ = static_cast<int>(parts_.size());
}

template <class Compare>
void FixRecSort::mergeRuns(const std::string& output, const Compare& compare) {
  std::int64_t total = 0;
  for (auto& part : parts_) {
    part->Open(sizes_.MergeBufferSize);
    total += part->recordCount();
  }
  // Each open part with its current record's key: the name order keeps the
  // first eight folded name bytes there, so that most compares are one
  // integer compare, the magnitude order its whole key; any other order
  // compares the records.
  struct Head {
    std::uint64_t key;
    MergePart* part;
  };
  constexpr bool kText = std::is_same_v<Compare, TextFromCompare>;
  constexpr bool kSmallInt = std::is_same_v<Compare, SmallIntFromCompare>;
  std::optional<FoldedPrefix> prefix;
  if constexpr (kText) prefix.emplace(compare);
  auto keyOf = [&](const MergePart* part) -> std::uint64_t {
    if constexpr (kText) return prefix->key(part->current());
    if constexpr (kSmallInt) return orderedSmallInt(part->current(), compare.offset);
    return 0;
  };
  // The parts in merge order: by current record, then by run number, so that
  // equal records leave in input order.
  auto before = [&](const Head& x, const Head& y) {
    int c;
    if constexpr (kText) {
      c = prefix->compare({x.key, x.part->current()}, {y.key, y.part->current()});
    } else if constexpr (kSmallInt) {
      c = x.key < y.key ? -1 : (x.key > y.key ? 1 : 0);
    } else {
      c = compare(x.part->current(), y.part->current());
    }
    return c < 0 || (c == 0 && x.part->runNumber() < y.part->runNumber());
  };
  std::vector<Head> list;
  list.reserve(parts_.size());
  for (auto& part : parts_) list.push_back({keyOf(part.get()), part.get()});
  std::sort(list.begin(), list.end(), before);

  std::unique_ptr<File> out = fs_.open(output, OpenMode::Create);
  SorIO writer(*out, sizes_.IOBufferSize, recordSize_);
  std::size_t head = 0;  // list[head..] are the parts still open
  while (head < list.size()) {
    Head first = list[head];
    writer.WriteRecord(first.part->current());
    if (first.part->finished()) {
      ++head;
      continue;
    }
    first.part->Advance();
    first.key = keyOf(first.part);
    // Binary search over the other parts for the first one the advanced part
    // does not sort after; it moves to stand just before that one.
    std::size_t low = head + 1;
    std::size_t high = list.size();
    while (low < high) {
      std::size_t middle = low + (high - low) / 2;
      if (before(list[middle], first)) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    for (std::size_t k = head; k + 1 < low; ++k) list[k] = list[k + 1];
    list[low - 1] = first;
  }
  writer.Flush();
  if (writer.byteCounter() != total * recordSize_)
    throw Error("Cannot write file \"" + output + "\": the merge lost records");
  out->close();
}

void FixRecSort::MergeSortedRuns(const std::string& input, const std::vector<std::int64_t>& runRecords,
                                 const std::string& output, const RecordCompare& compare) {
  checkMethodAndCompare(input, compare);
  runCount_ = 0;
  parts_.clear();
  {
    const PathIdentity in(fs_, input), out(fs_, output);
    if (samePath(fs_, in, out)) throw Error("Cannot sort file \"" + input + "\" onto itself");
  }
  std::unique_ptr<File> in = fs_.open(input, OpenMode::Read);
  std::int64_t records = 0;
  for (std::int64_t n : runRecords) {
    if (n < 0) throw Error("Cannot sort file \"" + input + "\": a run of " + std::to_string(n) + " records");
    records += n;
  }
  if (in->size() != records * recordSize_)
    throw Error("Cannot sort file \"" + input + "\": it holds " + std::to_string(in->size()) + " bytes, its runs " +
                std::to_string(records * recordSize_));
  // The runs share a fixed budget, as the merge of the size bands' runs
  // does: more runs read in smaller pieces, memory stays the same.
  constexpr std::int64_t kMergeMemory = 24'000'000;
  const auto runs = static_cast<std::int64_t>(std::max<std::size_t>(runRecords.size(), 1));
  sizes_ = SortSizes{0, 4'000'000, std::max<std::int64_t>(kMergeMemory / runs, recordSize_)};
  bool outputCreated = false;
  try {
    std::int64_t start = 0;
    int run = 1;
    for (std::int64_t n : runRecords) {
      if (n > 0) parts_.push_back(std::make_unique<MergePart>(*in, start, recordSize_, n, run++));
      start += n * recordSize_;
    }
    runCount_ = static_cast<int>(parts_.size());
    outputCreated = true;
    withCompare(compare, [&](const auto& c) { mergeRuns(output, c); });
    parts_.clear();
    in->close();
  } catch (...) {
    parts_.clear();
    in.reset();
    if (outputCreated) {
      if (const auto id = fs_.identity(output); id && id->regular) fs_.tryRemove(output);
    }
    throw;
  }
}

namespace {

// Copies one record; index records are mostly 16 to 32 bytes, which two
// overlapping moves of 16 bytes copy without a call.
inline void copyRecord(std::uint8_t* to, const std::uint8_t* from, std::size_t size) {
  if (size >= 16 && size <= 32) {
    std::memcpy(to, from, 16);
    std::memcpy(to + size - 16, from + size - 16, 16);
  } else {
    std::memcpy(to, from, size);
  }
}

// Sorts `n` records of `size` bytes by name, stably, moving the records
// themselves between `data` and `scratch` (each n * size bytes): a radix
// sort by 16-bit digits of the folded prefix, least significant first, then
// each group of equal prefixes by the rest of the name. Gives the buffer
// that holds the result. Compared with sorting addresses, it needs no more
// memory than a second copy of the records, and the result is written out
// in one piece.
std::uint8_t* sortNamesStably(std::uint8_t* data, std::uint8_t* scratch, std::int64_t n, int size,
                              const TextFromCompare& compare) {
  const FoldedPrefix prefix(compare);
  const auto bytes = static_cast<std::size_t>(size);
  constexpr int kDigits = 4;
  constexpr std::size_t kRadix = 1u << 16;
  std::vector<std::int64_t> counts(kDigits * (kRadix + 1), 0);
  for (std::int64_t i = 0; i < n; ++i) {
    const std::uint64_t k = prefix.key(data + i * size);
    for (int d = 0; d < kDigits; ++d) ++counts[d * (kRadix + 1) + ((k >> (16 * d)) & 0xFFFF) + 1];
  }
  for (int d = 0; d < kDigits; ++d) {
    std::int64_t* start = counts.data() + d * (kRadix + 1);
    if (start[((prefix.key(data) >> (16 * d)) & 0xFFFF) + 1] == n) continue;  // one digit value for all
    for (std::size_t v = 0; v < kRadix; ++v) start[v + 1] += start[v];
    for (std::int64_t i = 0; i < n; ++i) {
      const std::uint8_t* record = data + i * size;
      copyRecord(scratch + start[prefix.digit16(record, d)]++ * size, record, bytes);
    }
    std::swap(data, scratch);
  }
  if (compare.length <= 8) return data;
  // Equal prefixes: mostly a few records, ordered by insertion; larger
  // groups through a stable sort of their positions.
  const int restPosition = compare.position + 8;
  const int restLength = compare.length - 8;
  auto after = [&](const std::uint8_t* a, const std::uint8_t* b) {
    return CompareTextFrom(a, b, restPosition, restLength) > 0;
  };
  std::vector<std::uint8_t> moving(bytes);
  std::vector<std::int64_t> order;
  std::uint64_t groupKey = prefix.key(data);
  for (std::int64_t i = 0; i < n;) {
    std::int64_t j = i + 1;
    std::uint64_t k = 0;
    while (j < n && (k = prefix.key(data + j * size)) == groupKey) ++j;
    if (j - i > 16) {
      order.resize(static_cast<std::size_t>(j - i));
      for (std::int64_t a = i; a < j; ++a) order[static_cast<std::size_t>(a - i)] = a;
      std::stable_sort(order.begin(), order.end(),
                       [&](std::int64_t a, std::int64_t b) { return after(data + b * size, data + a * size); });
      for (std::int64_t a = i; a < j; ++a)
        std::memcpy(scratch + a * size, data + order[static_cast<std::size_t>(a - i)] * size, bytes);
      std::memcpy(data + i * size, scratch + i * size, static_cast<std::size_t>(j - i) * bytes);
    } else {
      for (std::int64_t a = i + 1; a < j; ++a) {
        std::int64_t b = a;
        if (!after(data + (b - 1) * size, data + b * size)) continue;
        std::memcpy(moving.data(), data + a * size, bytes);
        for (; b > i && after(data + (b - 1) * size, moving.data()); --b)
          std::memcpy(data + b * size, data + (b - 1) * size, bytes);
        std::memcpy(data + b * size, moving.data(), bytes);
      }
    }
    groupKey = k;
    i = j;
  }
  return data;
}

}  // namespace

void writeStablySorted(std::uint8_t* records, std::int64_t count, int recordSize, const TextFromCompare& compare,
                       File& out) {
  if (count <= 0) return;
  auto scratch = allocateBytes(count * recordSize);
  const std::uint8_t* sorted = sortNamesStably(records, scratch.get(), count, recordSize, compare);
  out.write(sorted, static_cast<std::size_t>(count * recordSize));
}

void FixRecSort::moveTempToOutput(const std::string& output) {
  if (fs_.tryRename(tempPath_, output)) return;
  // A rename cannot cross file systems (the temporary file lies in the
  // current directory): copy instead, so that the output is never missing.
  std::unique_ptr<File> from = fs_.open(tempPath_, OpenMode::Read);
  std::unique_ptr<File> to = fs_.open(output, OpenMode::Create);
  std::int64_t chunk = std::max<std::int64_t>(sizes_.IOBufferSize, 65536);
  auto buffer = allocateBytes(chunk);
  for (;;) {
    std::size_t got = from->read(buffer.get(), static_cast<std::size_t>(chunk));
    if (got == 0) break;
    to->write(buffer.get(), got);
  }
  to->close();
  from->close();
  fs_.tryRemove(tempPath_);
}

}  // namespace mirdal
