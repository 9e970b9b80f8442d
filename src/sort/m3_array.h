#pragma once

#include <cstdint>
#include <memory>

#include "sort/compare_from.h"
#include "sort/record_compare.h"

namespace mirdal {

// A cursor over one run of the address array during a merge pass.
struct Sub3Array {
  std::int64_t lastValid = -1;  // item count - 1 of the whole array
  std::int64_t current = 0;
  std::int64_t last = -1;       // last index of this run, clipped to lastValid
  bool active = false;

  // Covers first .. last, clipped; inactive when first lies beyond lastValid.
  void Set(std::int64_t first, std::int64_t lastIndex);
};

// The record addresses of one run, and the two in-memory sorts over them.
class M3Array {
 public:
  static constexpr std::int64_t kGrowth = 8192;

  void Add(const std::uint8_t* address);
  // Makes room for n addresses at once, rounded up to the growth step, so
  // that a run's array is not copied on every step.
  void Reserve(std::int64_t n);
  // Count to 0, both arrays released.
  void Clear();

  std::int64_t count() const { return count_; }
  std::int64_t capacity() const { return capacity_; }
  const std::uint8_t* const* items() const { return items_.get(); }

  // Not stable. The pending-range stack is bounded by pushing the larger
  // part and going on with the smaller.
  void QuickSort(const RecordCompare& compare);
  // Bottom-up three-way merge sort; stable.
  void MergeSort(const RecordCompare& compare);

 private:
  template <class Compare>
  void quickSortWith(const Compare& compare);
  template <class Compare>
  void mergeSortWith(const Compare& compare);
  // The name order: a stable radix sort by the first eight folded bytes of
  // each name, then a stable sort by the rest of the name among equal keys,
  // gives the order the stable merge sort gives.
  void mergeSortWith(const TextFromCompare& compare);
  // The magnitude order: a stable counting sort by the 16-bit key gives the
  // order the stable merge sort gives, in two passes over the addresses.
  void mergeSortWith(const SmallIntFromCompare& compare);
  template <class T, class Compare>
  void mergePasses(std::unique_ptr<T[]>& items, std::unique_ptr<T[]>& scratch, const Compare& compare);
  template <class T, class Compare>
  void mergeThree(const T* from, T* to, const Compare& compare);

  Sub3Array cursors_[3];
  std::unique_ptr<const std::uint8_t*[]> items_;
  std::unique_ptr<const std::uint8_t*[]> scratch_;
  std::int64_t count_ = 0;
  std::int64_t capacity_ = 0;
};

}  // namespace mirdal
