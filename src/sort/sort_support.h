#pragma once

// What the parts of the external sort share: record buffers and the compare
// in its own type.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "sort/compare_from.h"
#include "sort/record_compare.h"

namespace mirdal {

// A buffer of n bytes, not cleared.
inline std::unique_ptr<std::uint8_t[]> allocateBytes(std::int64_t n) {
  return std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(n));
}

// `bytes` cut to whole records of `recordSize`, never below one record.
inline std::int64_t wholeRecords(std::int64_t bytes, int recordSize) {
  return std::max<std::int64_t>(bytes / recordSize, 1) * recordSize;
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

}  // namespace mirdal
