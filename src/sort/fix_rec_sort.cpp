#include "sort/fix_rec_sort.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>

#include "sort/compare_from.h"
#include "util/error.h"

namespace mirdal {

namespace {

std::unique_ptr<std::uint8_t[]> allocateBytes(std::int64_t n) {
  return std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(n));
}

std::int64_t wholeRecords(std::int64_t bytes, int recordSize) {
  return std::max<std::int64_t>(bytes / recordSize, 1) * recordSize;
}

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

// Calls body with the compare in its own type when it is one of the named
// compares, so that the sort loops instantiated for it call it directly.
template <class Body>
void withCompare(const RecordCompare& compare, Body&& body) {
  if (const auto* text = compare.target<TextFromCompare>()) {
    body(*text);
  } else if (const auto* smallInt = compare.target<SmallIntFromCompare>()) {
    body(*smallInt);
  } else {
    body(compare);
  }
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

// ---------------------------------------------------------------- SorIO

SorIO::SorIO(File& stream, std::int64_t requestedSize, int recordSize)
    : stream_(stream),
      capacity_(wholeRecords(requestedSize, recordSize)),
      buffer_(allocateBytes(capacity_)),
      streamSize_(stream.size() / recordSize * recordSize),
      recordSize_(recordSize) {
  endOfRecords_ = streamSize_ == 0;
}

void SorIO::refill() {
  std::int64_t want = std::min(capacity_, streamSize_ - byteCounter_);
  readWhole(stream_, buffer_.get(), static_cast<std::size_t>(want));
  byteCounter_ += want;
  streamExhausted_ = byteCounter_ == streamSize_;
  validBytes_ = want;
  offset_ = 0;
  refillDue_ = false;
}

const std::uint8_t* SorIO::ReadRecord() {
  if (endOfRecords_) return nullptr;
  if (refillDue_) refill();
  const std::uint8_t* record = buffer_.get() + offset_;
  offset_ += recordSize_;
  if (offset_ >= validBytes_) {
    refillDue_ = true;
    if (streamExhausted_) endOfRecords_ = true;
  }
  return record;
}

void SorIO::WriteRecord(const std::uint8_t* record) {
  if (offset_ + recordSize_ > capacity_) Flush();
  std::memcpy(buffer_.get() + offset_, record, static_cast<std::size_t>(recordSize_));
  offset_ += recordSize_;
  byteCounter_ += recordSize_;
}

void SorIO::Flush() {
  if (offset_ > 0) stream_.write(buffer_.get(), static_cast<std::size_t>(offset_));
  offset_ = 0;
}

// ---------------------------------------------------------------- MergePart

MergePart::MergePart(File& temp, std::int64_t startOffset, int recordSize, std::int64_t recordCount, int runNumber)
    : stream_(temp),
      position_(startOffset),
      recordCount_(recordCount),
      recordSize_(recordSize),
      runNumber_(runNumber) {}

void MergePart::Open(std::int64_t mergeBufferSize) {
  bufferSize_ = wholeRecords(mergeBufferSize, recordSize_);
  buffer_ = allocateBytes(bufferSize_);
  if (recordCount_ == 0) {
    finished_ = true;
    return;
  }
  Advance();
}

void MergePart::Advance() {
  if (refillDue_) {
    // Only the run's own bytes are read: a fill never reaches into the next run.
    std::int64_t want = std::min(bufferSize_, (recordCount_ - recordsMadeCurrent_) * recordSize_);
    stream_.seek(position_);
    readWhole(stream_, buffer_.get(), static_cast<std::size_t>(want));
    position_ += want;
    validBytes_ = want;
    offset_ = 0;
    refillDue_ = false;
  }
  current_ = buffer_.get() + offset_;
  offset_ += recordSize_;
  ++recordsMadeCurrent_;
  if (offset_ >= validBytes_) refillDue_ = true;
  if (recordsMadeCurrent_ >= recordCount_) {
    finished_ = true;
  }
}

// ---------------------------------------------------------------- M3Array

void Sub3Array::Set(std::int64_t first, std::int64_t lastIndex) {
  current = first;
  last = std::min(lastIndex, lastValid);
  active = first <= last;
}

void M3Array::Reserve(std::int64_t n) {
  if (n <= capacity_) return;
  std::int64_t wanted = (n + kGrowth - 1) / kGrowth * kGrowth;
  auto grown = std::make_unique_for_overwrite<const std::uint8_t*[]>(static_cast<std::size_t>(wanted));
  if (count_ > 0) std::copy_n(items_.get(), count_, grown.get());
  items_ = std::move(grown);
  capacity_ = wanted;
}

void M3Array::Add(const std::uint8_t* address) {
  if (count_ == capacity_) Reserve(capacity_ + kGrowth);
  items_[static_cast<std::size_t>(count_++)] = address;
}

void M3Array::Clear() {
  count_ = 0;
  capacity_ = 0;
  items_.reset();
  scratch_.reset();
}

void M3Array::QuickSort(const RecordCompare& compare) {
  withCompare(compare, [this](const auto& c) { quickSortWith(c); });
}

void M3Array::MergeSort(const RecordCompare& compare) {
  withCompare(compare, [this](const auto& c) { mergeSortWith(c); });
}

template <class Compare>
void M3Array::quickSortWith(const Compare& compare) {
  if (count_ < 2) return;
  // Only the larger part of a partition is pushed, so every pending range is
  // at most half of the one below it on the stack: 64 entries cover any count.
  struct Range {
    std::int64_t left, right;
  };
  Range stack[64];
  int top = 0;
  stack[top++] = {0, count_ - 1};
  const std::uint8_t** a = items_.get();
  while (top > 0) {
    auto [left, right] = stack[--top];
    while (left < right) {
      std::int64_t i = left;
      std::int64_t j = right;
      const std::uint8_t* pivot = a[left + (right - left) / 2];
      do {
        // The bounds only matter for a compare that is not a consistent order.
        while (i < right && compare(a[i], pivot) < 0) ++i;
        while (j > left && compare(a[j], pivot) > 0) --j;
        if (i <= j) {
          std::swap(a[i], a[j]);
          ++i;
          --j;
        }
      } while (i <= j);
      // Now left..j and i..right remain, each shorter than left..right.
      if (j - left < right - i) {
        if (i < right) stack[top++] = {i, right};
        right = j;
      } else {
        if (left < j) stack[top++] = {left, j};
        left = i;
      }
    }
  }
}

template <class T, class Compare>
void M3Array::mergeThree(const T* from, T* to, const Compare& compare) {
  std::int64_t current[3] = {cursors_[0].current, cursors_[1].current, cursors_[2].current};
  const std::int64_t last[3] = {cursors_[0].last, cursors_[1].last, cursors_[2].last};
  bool active[3] = {cursors_[0].active, cursors_[1].active, cursors_[2].active};
  std::int64_t out = current[0];
  if (active[0] && active[1] && active[2]) {
    // Ties go to the run that stands earlier in the array: that makes the
    // sort stable.
    auto before = [&](int x, int y) {
      int c = compare(from[current[x]], from[current[y]]);
      return c < 0 || (c == 0 && x < y);
    };
    // The three runs in the order of their heads. Only the run just taken
    // from needs a new place, so most records cost one or two compares.
    int order[3] = {0, 1, 2};
    if (before(1, 0)) std::swap(order[0], order[1]);
    if (before(2, order[1])) {
      order[2] = order[1];
      order[1] = 2;
      if (before(2, order[0])) {
        order[1] = order[0];
        order[0] = 2;
      }
    }
    for (;;) {
      int taken = order[0];
      to[out++] = from[current[taken]];
      if (++current[taken] > last[taken]) {
        active[taken] = false;
        break;
      }
      if (before(taken, order[1])) continue;
      order[0] = order[1];
      if (before(taken, order[2])) {
        order[1] = taken;
      } else {
        order[1] = order[2];
        order[2] = taken;
      }
    }
  }
  // Two runs left (1 and 2, 2 and 3, or 1 and 3): the earlier one wins ties.
  // The outcome of a compare is as good as random on unsorted data, so the
  // record taken is chosen by data moves rather than a branch.
  int first = active[0] ? 0 : 1;
  int second = active[2] ? 2 : 1;
  if (first != second && active[first] && active[second]) {
    for (;;) {
      const T a = from[current[first]];
      const T b = from[current[second]];
      bool aAfterB = compare(a, b) > 0;
      int taken = aAfterB ? second : first;
      to[out++] = aAfterB ? b : a;
      if (++current[taken] > last[taken]) {
        active[taken] = false;
        break;
      }
    }
  }
  for (int r = 0; r < 3; ++r) {
    if (!active[r]) continue;
    while (current[r] <= last[r]) to[out++] = from[current[r]++];
    active[r] = false;
  }
  for (int r = 0; r < 3; ++r) {
    cursors_[r].current = current[r];
    cursors_[r].active = active[r];
  }
}

template <class T, class Compare>
void M3Array::mergePasses(std::unique_ptr<T[]>& items, std::unique_ptr<T[]>& scratch, const Compare& compare) {
  const std::int64_t n = count_;
  for (Sub3Array& c : cursors_) c.lastValid = n - 1;
  std::int64_t width = 1;
  do {
    for (std::int64_t start = 0; start < n; start += 3 * width) {
      cursors_[0].Set(start, start + width - 1);
      cursors_[1].Set(start + width, start + 2 * width - 1);
      cursors_[2].Set(start + 2 * width, start + 3 * width - 1);
      mergeThree(items.get(), scratch.get(), compare);
    }
    std::swap(items, scratch);
    width *= 3;
  } while (width < n);
}

template <class Compare>
void M3Array::mergeSortWith(const Compare& compare) {
  if (count_ == 0) return;
  scratch_ = std::make_unique_for_overwrite<const std::uint8_t*[]>(static_cast<std::size_t>(capacity_));
  mergePasses(items_, scratch_, compare);
  scratch_.reset();
}

void M3Array::mergeSortWith(const TextFromCompare& compare) {
  const std::int64_t n = count_;
  if (n == 0) return;
  const FoldedPrefix prefix(compare);
  auto keyed = std::make_unique_for_overwrite<KeyedRecord[]>(static_cast<std::size_t>(n));
  auto scratch = std::make_unique_for_overwrite<KeyedRecord[]>(static_cast<std::size_t>(n));
  // A stable radix sort by the eight-byte keys, least significant digit
  // first, leaves records of equal keys in their input order; a digit that
  // is the same in every key needs no pass. Many records take digits of 16
  // bits (four passes), few of 8 bits (whose counters are cheaper to clear).
  const int bits = n >= (std::int64_t{1} << 16) ? 16 : 8;
  const int digits = (64 + bits - 1) / bits;
  const std::size_t radix = std::size_t{1} << bits;
  const std::uint64_t mask = radix - 1;
  std::vector<std::int64_t> counts(static_cast<std::size_t>(digits) * (radix + 1), 0);
  for (std::int64_t i = 0; i < n; ++i) {
    const std::uint64_t k = prefix.key(items_[i]);
    keyed[i] = {k, items_[i]};
    for (int d = 0; d < digits; ++d) ++counts[d * (radix + 1) + ((k >> (bits * d)) & mask) + 1];
  }
  for (int d = 0; d < digits; ++d) {
    std::int64_t* start = counts.data() + d * (radix + 1);
    const std::uint64_t first = (keyed[0].key >> (bits * d)) & mask;
    if (start[first + 1] == n) continue;
    for (std::size_t v = 0; v < radix; ++v) start[v + 1] += start[v];
    for (std::int64_t i = 0; i < n; ++i) scratch[start[(keyed[i].key >> (bits * d)) & mask]++] = keyed[i];
    std::swap(keyed, scratch);
  }
  // Records whose keys are equal are put in order by the rest of the name,
  // keeping the input order of equal names: such groups are mostly a few
  // records, which an insertion sort orders without the buffer a stable
  // sort allocates.
  if (compare.length > 8) {
    const auto byRest = [&prefix](const KeyedRecord& a, const KeyedRecord& b) { return prefix.compare(a, b) < 0; };
    for (std::int64_t i = 0; i < n;) {
      std::int64_t j = i + 1;
      while (j < n && keyed[j].key == keyed[i].key) ++j;
      if (j - i > 16) {
        std::stable_sort(keyed.get() + i, keyed.get() + j, byRest);
      } else {
        for (std::int64_t a = i + 1; a < j; ++a) {
          const KeyedRecord moving = keyed[a];
          std::int64_t b = a;
          for (; b > i && byRest(moving, keyed[b - 1]); --b) keyed[b] = keyed[b - 1];
          keyed[b] = moving;
        }
      }
      i = j;
    }
  }
  for (std::int64_t i = 0; i < n; ++i) items_[i] = keyed[i].record;
}

void M3Array::mergeSortWith(const SmallIntFromCompare& compare) {
  const std::int64_t n = count_;
  if (n == 0) return;
  struct Keyed {
    std::uint16_t key;
    const std::uint8_t* record;
  };
  auto keyed = std::make_unique_for_overwrite<Keyed[]>(static_cast<std::size_t>(n));
  auto scratch = std::make_unique_for_overwrite<Keyed[]>(static_cast<std::size_t>(n));
  std::int64_t low[257] = {};
  std::int64_t high[257] = {};
  for (std::int64_t i = 0; i < n; ++i) {
    const std::uint16_t k = orderedSmallInt(items_[i], compare.offset);
    keyed[i] = {k, items_[i]};
    ++low[(k & 0xFF) + 1];
    ++high[(k >> 8) + 1];
  }
  for (int b = 0; b < 256; ++b) {
    low[b + 1] += low[b];
    high[b + 1] += high[b];
  }
  // Low byte, then high byte; each pass keeps the order of equal bytes.
  for (std::int64_t i = 0; i < n; ++i) scratch[low[keyed[i].key & 0xFF]++] = keyed[i];
  for (std::int64_t i = 0; i < n; ++i) keyed[high[scratch[i].key >> 8]++] = scratch[i];
  for (std::int64_t i = 0; i < n; ++i) items_[i] = keyed[i].record;
}

// ---------------------------------------------------------------- FixRecSort

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
      fs_.remove(tempPath_);
    }
  } catch (...) {
    parts_.clear();
    array_.Clear();
    temp.reset();
    in.reset();
    if (tempCreated) fs_.remove(tempPath_);
    // Only a plain file is removed: an output such as a device node stays.
    if (outputCreated) {
      if (const auto id = fs_.identity(output); id && id->regular) fs_.remove(output);
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
      if (const auto id = fs_.identity(output); id && id->regular) fs_.remove(output);
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
  if (fs_.rename(tempPath_, output)) return;
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
  fs_.remove(tempPath_);
}

}  // namespace mirdal
