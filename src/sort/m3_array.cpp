#include "sort/m3_array.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "sort/sort_support.h"

namespace mirdal {

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

}  // namespace mirdal
