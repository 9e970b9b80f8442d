#include "sort/compare_from.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "util/error.h"

namespace mirdal {
namespace {

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

TEST(LowerCaseTable, FoldsAsciiAndWindows1252Capitals) {
  EXPECT_EQ(LowerCaseTable['A'], 'a');
  EXPECT_EQ(LowerCaseTable['Z'], 'z');
  EXPECT_EQ(LowerCaseTable['@'], '@');  // just below A
  EXPECT_EQ(LowerCaseTable['['], '[');  // just above Z
  EXPECT_EQ(LowerCaseTable['a'], 'a');
  EXPECT_EQ(LowerCaseTable[0x8A], 0x9A);
  EXPECT_EQ(LowerCaseTable[0x8C], 0x9C);
  EXPECT_EQ(LowerCaseTable[0x8E], 0x9E);
  EXPECT_EQ(LowerCaseTable[0x9F], 0xFF);
  EXPECT_EQ(LowerCaseTable[0xBF], 0xBF);
  EXPECT_EQ(LowerCaseTable[0xC0], 0xE0);
  EXPECT_EQ(LowerCaseTable[0xD6], 0xF6);
  EXPECT_EQ(LowerCaseTable[0xD7], 0xD7);  // multiplication sign
  EXPECT_EQ(LowerCaseTable[0xD8], 0xF8);
  EXPECT_EQ(LowerCaseTable[0xDE], 0xFE);
  EXPECT_EQ(LowerCaseTable[0xDF], 0xDF);  // sharp s has no capital here
  EXPECT_EQ(LowerCaseTable[0xE0], 0xE0);
  int changed = 0;
  for (int c = 0; c < 256; ++c) changed += LowerCaseTable[c] != c;
  EXPECT_EQ(changed, 26 + 4 + 30);
}

TEST(CompareTextFrom, AbcAgainstABDIsMinusOne) {
  EXPECT_EQ(CompareTextFrom("abc", "ABD", 1, 3), -1);
  EXPECT_EQ(CompareTextFrom("ABD", "abc", 1, 3), 1);
}

TEST(CompareTextFrom, EqualOverTheWholeLengthIsZero) {
  EXPECT_EQ(CompareTextFrom("xAbCq", "yaBcr", 2, 3), 0);
  EXPECT_EQ(CompareTextFrom("abc", "abd", 1, 2), 0);
}

TEST(CompareTextFrom, CaseDifferenceInTheFirstEightBytesDefersToALaterByte) {
  EXPECT_EQ(CompareTextFrom("ABCDEFGHx", "abcdefghy", 1, 9), -1);
  EXPECT_EQ(CompareTextFrom("aBcdefgh", "abcdefgi", 1, 8), -1);
  EXPECT_EQ(CompareTextFrom("xNGC 1234ABCD", "yngc 1234abcd", 2, 12), 0);
  EXPECT_EQ(CompareTextFrom("xNGC 1234ABCD", "yngc 1234abce", 2, 12), -1);  // the last byte decides
  EXPECT_EQ(CompareTextFrom("\xC9\xC9\xC9\xC9\xC9\xC9\xC9\xC9\x01", "\xE9\xE9\xE9\xE9\xE9\xE9\xE9\xE9\x02", 1, 9), -1);
}

TEST(CompareTextFrom, LengthZeroOrNegativeIsZero) {
  EXPECT_EQ(CompareTextFrom("a", "b", 1, 0), 0);
  EXPECT_EQ(CompareTextFrom("a", "b", 1, -5), 0);
}

TEST(CompareTextFrom, PositionCountsFromOne) {
  EXPECT_EQ(CompareTextFrom("ab", "ba", 2, 1), 1);
}

TEST(CompareTextFrom, BytesAbove127CompareUnsigned) {
  EXPECT_EQ(CompareTextFrom("\x80", "\x7F", 1, 1), 1);
  EXPECT_EQ(CompareTextFrom("\xFF", "z", 1, 1), 1);
  EXPECT_EQ(CompareTextFrom("\xC9", "\xE9", 1, 1), 0);  // E acute, capital and small
  EXPECT_EQ(CompareTextFrom("\x9F", "\xFF", 1, 1), 0);  // Y diaeresis
  EXPECT_EQ(CompareTextFrom("\xD7", "\xF7", 1, 1), -1);  // times and divide stay apart
}

// The keyed compare must order names exactly as CompareTextFrom: names that
// differ only in case, only after the eighth byte, in bytes above 127, and
// keys shorter than, equal to and longer than eight bytes.
TEST(FoldedPrefix, OrdersAsCompareTextFrom) {
  std::mt19937 rng(8);
  const std::string alphabet = std::string("aAbBzZ09 -+\x8A\x9A\xC0\xE0\xD7\xF7\xFF") + '\0';
  auto name = [&](std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int length : {0, 1, 7, 8, 9, 16, 30}) {
    const TextFromCompare text{3, length};
    const FoldedPrefix prefix(text);
    for (int round = 0; round < 20000; ++round) {
      std::string a = "xy" + name(static_cast<std::size_t>(std::max(length, 0)));
      std::string b = a;
      // Mostly near neighbours: a change of case or of one byte somewhere.
      std::size_t at = 2 + rng() % static_cast<std::size_t>(std::max(length, 1));
      if (at < b.size()) b[at] = alphabet[rng() % alphabet.size()];
      if (round % 3 == 0) b = "xy" + name(static_cast<std::size_t>(std::max(length, 0)));
      const auto* pa = reinterpret_cast<const std::uint8_t*>(a.data());
      const auto* pb = reinterpret_cast<const std::uint8_t*>(b.data());
      ASSERT_EQ(prefix.compare({prefix.key(pa), pa}, {prefix.key(pb), pb}), CompareTextFrom(pa, pb, 3, length))
          << length << " '" << a << "' '" << b << "'";
    }
  }
}

TEST(CompareSmallIntFrom, ReadsLittleEndianSigned) {
  const std::uint8_t minusOne[] = {0xFF, 0xFF};
  const std::uint8_t one[] = {0x01, 0x00};
  const std::uint8_t lowest[] = {0x00, 0x80};
  const std::uint8_t highest[] = {0xFF, 0x7F};
  const std::uint8_t v256[] = {0x00, 0x01};
  const std::uint8_t v255[] = {0xFF, 0x00};
  EXPECT_EQ(CompareSmallIntFrom(minusOne, one, 0), -1);
  EXPECT_EQ(CompareSmallIntFrom(lowest, highest, 0), -1);
  EXPECT_EQ(CompareSmallIntFrom(highest, lowest, 0), 1);
  EXPECT_EQ(CompareSmallIntFrom(v256, v255, 0), 1);
  EXPECT_EQ(CompareSmallIntFrom(v255, v255, 0), 0);
}

TEST(CompareSmallIntFrom, OffsetCountsFromZero) {
  const std::uint8_t a[] = {9, 9, 9, 0x05, 0x00};
  const std::uint8_t b[] = {0, 0, 0, 0x06, 0x00};
  EXPECT_EQ(CompareSmallIntFrom(a, b, 3), -1);
}

TEST(CompareMagnitudeAt, TakesTheKeyAtItsOneBasedPosition) {
  std::string a = std::string("\x00\x00\x00\x00", 4) + "\x10\x00";
  std::string b = std::string("\xFF\xFF\xFF\xFF", 4) + "\x0F\x00";
  EXPECT_EQ(compareMagnitudeAt(5, 6)(bytes(a), bytes(b)), 1);
}

TEST(CompareMagnitudeAt, KeyEndingPastTheRecordMakesAllEqual) {
  // Records of 6 bytes in one buffer; the bytes after the first record differ.
  std::string both = std::string("\x00\x00\x00\x00\x00\x01", 6) + std::string("\x00\x00\x00\x00\x00\x01\x7F", 7);
  auto compare = compareMagnitudeAt(6, 6);
  EXPECT_EQ(compare(bytes(both), bytes(both) + 6), 0);
}

TEST(CompareNameFrom, LengthIsCutAtTheRecordEnd) {
  // Two 12-byte records followed by different bytes: only 4 name bytes are in
  // the record, so they compare equal.
  std::string a = "\x01\x02\x03\x04\x05\x06\x07\x08" "NgcA" "x";
  std::string b = "\x01\x02\x03\x04\x05\x06\x07\x08" "ngca" "y";
  EXPECT_EQ(compareNameFrom(9, 10, 12)(bytes(a), bytes(b)), 0);
  EXPECT_EQ(compareNameFrom(9, 4, 12)(bytes(a), bytes("\x01\x02\x03\x04\x05\x06\x07\x08" "ngcb")), -1);
}

TEST(CompareNameFrom, PositionBelowOneIsRefused) {
  EXPECT_THROW(compareNameFrom(0, 4, 12), Error);
  EXPECT_THROW(compareMagnitudeAt(0, 12), Error);
}

}  // namespace
}  // namespace mirdal
