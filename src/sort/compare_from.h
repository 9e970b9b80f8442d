#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "sort/record_compare.h"
#include "util/coding.h"

namespace mirdal {

namespace detail {

constexpr std::array<std::uint8_t, 256> makeLowerCaseTable() {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<std::uint8_t>(c);
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<std::uint8_t>(c + 0x20);
  // Windows-1252 capitals outside the ASCII range: S, OE and Z with caron or
  // ligature, Y with diaeresis, and the Latin-1 block 0xC0-0xDE less the
  // multiplication sign 0xD7.
  table[0x8A] = 0x9A;
  table[0x8C] = 0x9C;
  table[0x8E] = 0x9E;
  table[0x9F] = 0xFF;
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) table[c] = static_cast<std::uint8_t>(c + 0x20);
  return table;
}

}  // namespace detail

// Entry c is the lower-case form of byte c in the Windows-1252 code page; the
// case-insensitive name order of the index rests on it.
inline constexpr std::array<std::uint8_t, 256> LowerCaseTable = detail::makeLowerCaseTable();

// Compares `length` bytes of a and b from the 1-based byte `position`, each
// byte folded through LowerCaseTable and compared unsigned. Returns -1, 0 or 1;
// 0 when length is 0 or less.
inline int CompareTextFrom(const void* a, const void* b, int position, int length) {
  const auto* pa = static_cast<const std::uint8_t*>(a) + (position - 1);
  const auto* pb = static_cast<const std::uint8_t*>(b) + (position - 1);
  int i = 0;
  // Bytes equal before folding are equal after it, so eight bytes at a time
  // the first raw difference is found (the lowest differing byte of a
  // little-endian word) and only that byte is folded; a difference of letter
  // case alone goes on byte by byte.
  while (i + 8 <= length) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, pa + i, 8);
    std::memcpy(&y, pb + i, 8);
    if (x == y) {
      i += 8;
      continue;
    }
    if constexpr (std::endian::native == std::endian::little) {
      int k = i + std::countr_zero(x ^ y) / 8;
      std::uint8_t fx = LowerCaseTable[pa[k]];
      std::uint8_t fy = LowerCaseTable[pb[k]];
      if (fx != fy) return fx < fy ? -1 : 1;
      i = k + 1;
    }
    break;
  }
  for (; i < length; ++i) {
    std::uint8_t x = LowerCaseTable[pa[i]];
    std::uint8_t y = LowerCaseTable[pb[i]];
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Compares the little-endian signed 16-bit integers at the 0-based byte
// `offset` of a and b. Returns -1, 0 or 1.
inline int CompareSmallIntFrom(const void* a, const void* b, int offset) {
  const auto* pa = static_cast<const std::uint8_t*>(a) + offset;
  const auto* pb = static_cast<const std::uint8_t*>(b) + offset;
  const auto x = static_cast<std::int16_t>(get16(pa));
  const auto y = static_cast<std::int16_t>(get16(pb));
  return x < y ? -1 : (x > y ? 1 : 0);
}

// The two compares of this system as named types: the sort engine recognises
// them inside a RecordCompare and runs them without an indirect call per
// compare.
struct TextFromCompare {
  int position;
  int length;
  int operator()(const std::uint8_t* a, const std::uint8_t* b) const { return CompareTextFrom(a, b, position, length); }
};

struct SmallIntFromCompare {
  int offset;
  int operator()(const std::uint8_t* a, const std::uint8_t* b) const { return CompareSmallIntFrom(a, b, offset); }
};

// A record's address beside the first eight bytes of its name key, folded
// through LowerCaseTable and packed first byte highest: comparing two keys as
// integers orders those eight bytes as CompareTextFrom does.
struct KeyedRecord {
  std::uint64_t key;
  const std::uint8_t* record;
};

// The keys of one name compare, and the whole compare given the keys.
class FoldedPrefix {
 public:
  explicit FoldedPrefix(const TextFromCompare& c)
      : position_(c.position), length_(c.length), keyBytes_(length_ < 0 ? 0 : (length_ > 8 ? 8 : length_)) {}

  std::uint64_t key(const std::uint8_t* record) const {
    const std::uint8_t* p = record + (position_ - 1);
    std::uint64_t k = 0;
    for (int i = 0; i < 8; ++i) k = (k << 8) | (i < keyBytes_ ? LowerCaseTable[p[i]] : 0u);
    return k;
  }
  // Bits 16 d .. 16 d + 15 of key(record), from its two bytes alone.
  unsigned digit16(const std::uint8_t* record, int d) const {
    const int high = 6 - 2 * d;
    const std::uint8_t* p = record + (position_ - 1);
    const unsigned h = high < keyBytes_ ? LowerCaseTable[p[high]] : 0u;
    const unsigned l = high + 1 < keyBytes_ ? LowerCaseTable[p[high + 1]] : 0u;
    return h << 8 | l;
  }
  // CompareTextFrom(a.record, b.record, position, length).
  int compare(const KeyedRecord& a, const KeyedRecord& b) const {
    if (a.key != b.key) return a.key < b.key ? -1 : 1;
    return CompareTextFrom(a.record, b.record, position_ + 8, length_ - 8);
  }

 private:
  int position_;
  int length_;
  int keyBytes_;
};

// The 16-bit key of a SmallIntFromCompare as an unsigned number in the same
// order (the sign bit flipped): equal keys are equal records.
inline std::uint16_t orderedSmallInt(const std::uint8_t* record, int offset) {
  return static_cast<std::uint16_t>(get16(record + offset) ^ 0x8000);
}

// Magnitude order of region files: the 16-bit key at the 1-based
// `keyPosition`, smallest first. When fewer than two bytes of a record lie
// from keyPosition on (a layout without its magnitude field whose key would
// run past the record), every record compares equal, so the stable sort keeps
// the file's order.
RecordCompare compareMagnitudeAt(int keyPosition, int recordSize);

// Name order of the index: `length` bytes from the 1-based `position`, without
// regard to letter case; the length is cut at the record's end.
TextFromCompare compareNameFrom(int position, int length, int recordSize);

}  // namespace mirdal
