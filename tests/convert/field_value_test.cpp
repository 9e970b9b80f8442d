#include "convert/field_value.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace mirdal {
namespace {

FieldSlot slot(int firstChar, int length, double calcA = 1.0, double calcB = 0.0) {
  FieldSlot s;
  s.firstChar = firstChar;
  s.length = length;
  s.calcA = calcA;
  s.calcB = calcB;
  return s;
}

// --- Raw text ---

TEST(RawText, ColumnRunningPastEndOfLineIsCut) {
  std::string_view line = "ABCDEFGHIJKLMNOPQRST";  // 20 characters
  EXPECT_EQ(rawText(line, slot(18, 5)), "RST");
  EXPECT_EQ(rawText(line, slot(20, 1)), "T");
  EXPECT_EQ(rawText(line, slot(1, std::numeric_limits<std::int32_t>::max())), line);
}

TEST(RawText, ColumnStartingPastEndOfLineIsEmpty) {
  std::string_view line = "ABCDEFGHIJKLMNOPQRST";
  EXPECT_EQ(rawText(line, slot(25, 5)), "");
  EXPECT_EQ(rawText(line, slot(21, 5)), "");
  EXPECT_EQ(rawText("", slot(1, 5)), "");
  EXPECT_EQ(rawText(line, slot(std::numeric_limits<std::int32_t>::max(), 5)), "");
}

TEST(RawText, FirstCharBelowOneCountsAsOne) {
  EXPECT_EQ(rawText("ABCDEF", slot(0, 3)), "ABC");
  EXPECT_EQ(rawText("ABCDEF", slot(-7, 3)), "ABC");
  EXPECT_EQ(rawText("ABCDEF", slot(std::numeric_limits<std::int32_t>::min(), 2)), "AB");
}

TEST(RawText, LengthZeroOrNegativeIsEmpty) {
  EXPECT_EQ(rawText("ABCDEF", slot(2, 0)), "");
  EXPECT_EQ(rawText("ABCDEF", slot(2, -3)), "");
}

TEST(RawText, IsNotTrimmed) { EXPECT_EQ(rawText("  ab  cd", slot(1, 6)), "  ab  "); }

// --- Numbers ---

TEST(ParseDecimal, AcceptedForms) {
  EXPECT_EQ(parseDecimal("12.5"), 12.5);
  EXPECT_EQ(parseDecimal("+3"), 3.0);
  EXPECT_EQ(parseDecimal("-.5"), -0.5);
  EXPECT_EQ(parseDecimal("5."), 5.0);
  EXPECT_EQ(parseDecimal("1e3"), 1000.0);
  EXPECT_EQ(parseDecimal("1E+3"), 1000.0);
  EXPECT_EQ(parseDecimal("25e-1"), 2.5);
  EXPECT_EQ(parseDecimal("+.25E2"), 25.0);
  EXPECT_EQ(parseDecimal("1.e2"), 100.0);
  EXPECT_EQ(parseDecimal("007"), 7.0);
  EXPECT_EQ(parseDecimal("-0"), 0.0);
}

// Without a mantissa digit a text holds no value: the field's missing value,
// never 0 (which as a magnitude is the brightest).
TEST(ParseDecimal, NoMantissaDigitIsNotANumber) {
  for (std::string_view t : {".", "-.", "+.", "e5", ".e-5", "+e5", "-E1"})
    EXPECT_EQ(parseDecimal(t), std::nullopt) << "\"" << t << "\"";
}

TEST(ParseDecimal, RefusedForms) {
  for (std::string_view t : {"", "1e", "1e+", "1e-", "+", "-", "1.2.3", "1 000", "1,5", "12a", " 1", "1 ",
                             "e", ".e", "+-1", "1e5.0", "0x10", "inf", "nan", "1e+-2", "1d3", "\xB0"}) {
    EXPECT_EQ(parseDecimal(t), std::nullopt) << "\"" << t << "\"";
  }
}

TEST(ParseDecimal, CorrectlyRounded) {
  EXPECT_EQ(parseDecimal("0.1"), 0.1);
  EXPECT_EQ(parseDecimal("2.675"), 2.675);
  // 2^53 + 1 lies halfway between two doubles: the even one wins.
  EXPECT_EQ(parseDecimal("9007199254740993"), 9007199254740992.0);
  EXPECT_EQ(parseDecimal("0.30000000000000000000000000000000000000000000000001"), 0.3);
  EXPECT_EQ(parseDecimal(std::string(500, '0') + "1.5"), 1.5);
  EXPECT_EQ(parseDecimal("1e-310"), 1e-310);  // subnormal
}

// The short path stops at 19 digits and at mantissas above 2^53; beyond
// either bound the value still has to be the correctly rounded one.
TEST(ParseDecimal, ShortFormBoundaries) {
  EXPECT_EQ(parseDecimal("9007199254740992"), 9007199254740992.0);  // 2^53
  EXPECT_EQ(parseDecimal("9007199254740993"), 9007199254740992.0);  // halfway, to even
  EXPECT_EQ(parseDecimal("9007199254740995"), 9007199254740996.0);
  EXPECT_EQ(parseDecimal("900719925474099.3"), 900719925474099.25);
  EXPECT_EQ(parseDecimal("0.1234567890123456789"), 0.1234567890123456789);  // 19 digits
  EXPECT_EQ(parseDecimal("00000000000000000000001.5"), 1.5);              // 24 digits
  EXPECT_EQ(parseDecimal("1234567890123456789.5"), 1234567890123456789.5);
  EXPECT_EQ(parseDecimal("-.0000000000000000001"), -1e-19);
  EXPECT_TRUE(std::signbit(*parseDecimal("-0")));
  EXPECT_TRUE(std::signbit(*parseDecimal("-0.000")));
  EXPECT_FALSE(std::signbit(*parseDecimal("+0")));
  for (const char* refused : {"", "+", "-", "1.2.3", "12-", "1 2", "--1", "1+", "\xB9", "12\xFF", "0x10"})
    EXPECT_EQ(parseDecimal(refused), std::nullopt) << refused;
}

// Every text of up to six bytes over an alphabet of digits, signs, points,
// exponent letters and near misses of digits ("/" and ":" border "0" and
// "9"; 0xB9 and 0x10 share a digit's low bits): the grammar decides by a
// pattern written here and a mantissa digit, the value is from_chars's.
TEST(ParseDecimal, EveryShortTextOverASmallAlphabet) {
  const std::regex grammar(R"([+-]?([0-9]*)(\.[0-9]*)?([eE][+-]?[0-9]+)?)");
  std::string t;
  long accepted = 0;
  // Up to six bytes over the whole alphabet; seven to nine (eight bytes
  // after a sign, and one beyond) over a few of its letters.
  for (std::size_t length = 1; length <= 9; ++length) {
    const std::string alphabet = length <= 6 ? "05.-+e/:\xB9\x10" : "70.-";
    std::vector<std::size_t> at(length, 0);
    for (;;) {
      t.clear();
      for (std::size_t i : at) t += alphabet[i];
      std::smatch m;
      const bool valid = std::regex_match(t, m, grammar) && (m[1].length() > 0 || m[2].length() > 1);
      auto got = parseDecimal(t);
      ASSERT_EQ(got.has_value(), valid) << t;
      if (valid) {
        ++accepted;
        double expected = 0;
        const char* first = t.data() + (t[0] == '+' ? 1 : 0);
        auto [ptr, ec] = std::from_chars(first, t.data() + t.size(), expected);
        if (ec == std::errc::result_out_of_range) {  // "5e500", "5e-500"
          expected = t.find("e-") != std::string::npos ? 0.0 : std::numeric_limits<double>::infinity();
          if (t[0] == '-') expected = -expected;
        } else {
          ASSERT_EQ(ec, std::errc()) << t;
        }
        (void)ptr;
        ASSERT_EQ(*got, expected) << t;
        ASSERT_EQ(std::signbit(*got), std::signbit(expected)) << t;
      }
      std::size_t k = 0;
      while (k < length && ++at[k] == alphabet.size()) at[k++] = 0;
      if (k == length) break;
    }
  }
  EXPECT_GT(accepted, 6000);
}

// Short mantissas take an exact path of their own; every shape of number must
// still read as the correctly rounded value that from_chars gives.
TEST(ParseDecimal, AgreesWithFromCharsOnRandomNumbers) {
  std::mt19937_64 rng(11);
  auto digits = [&](int n) {
    std::string d;
    for (int i = 0; i < n; ++i) d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  for (int round = 0; round < 200000; ++round) {
    std::string t = rng() % 2 ? "-" : "";
    t += digits(static_cast<int>(rng() % 21));
    if (rng() % 2) t += "." + digits(static_cast<int>(rng() % 21));
    if (t.find_first_of("0123456789") == std::string::npos) t += "7";
    if (rng() % 3 == 0) t += "e" + std::to_string(static_cast<int>(rng() % 80) - 40);
    double expected = 0;
    auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), expected);
    ASSERT_EQ(ec, std::errc()) << t;
    ASSERT_EQ(ptr, t.data() + t.size()) << t;
    auto got = parseDecimal(t);
    ASSERT_TRUE(got) << t;
    ASSERT_EQ(*got, expected) << t;
    ASSERT_EQ(std::signbit(*got), std::signbit(expected)) << t;
  }
}

TEST(ParseDecimal, BeyondDoubleRangeGivesInfinityOrZero) {
  EXPECT_EQ(parseDecimal("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("1e99999999999999999999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseDecimal("0.000001e309"), 1e303);
  EXPECT_EQ(parseDecimal("1e-400"), 0.0);
  EXPECT_EQ(parseDecimal("-123e-99999999999999999999"), 0.0);
  EXPECT_EQ(parseDecimal("0e99999"), 0.0);
  EXPECT_EQ(parseDecimal("1000000e-330"), 0.0);
  EXPECT_EQ(parseDecimal("3e-324"), std::numeric_limits<double>::denorm_min());
}

TEST(ParseDecimal, IndependentOfLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"})
    if (std::setlocale(LC_NUMERIC, name)) {
      switched = true;
      break;
    }
  EXPECT_EQ(parseDecimal("12.5"), 12.5);
  EXPECT_EQ(parseDecimal("12,5"), std::nullopt);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
}

TEST(FieldNumber, ColumnIsTrimmedOfCodesUpTo32) {
  EXPECT_EQ(fieldNumber(" 12.5 ", slot(1, 6), 99), 12.5);
  EXPECT_EQ(fieldNumber(std::string_view("\t\x01" "7\0\x1F", 5), slot(1, 5), 99), 7.0);
  EXPECT_EQ(fieldNumber("x 1 000 y", slot(2, 7), 99), 99.0);
}

// The integer way must give what the doubles give wherever it answers.
TEST(ScaledShortDecimal, AgreesWithTheWayOfDoubles) {
  auto viaDoubles = [](const std::string& t, int k) {
    double x = detail::columnNumber(t.data(), t.data() + t.size(), 1.0, 0.0, 99.0);
    return roundToInt64(x * static_cast<double>(detail::kIntPowersOfTen[k]));
  };
  // Where the integer way answers, and through scaledColumn everywhere.
  auto scaled = [&](const std::string& t, int k, std::int64_t& v) {
    EXPECT_EQ(detail::scaledColumn(t.data(), t.data() + t.size(), 1.0, 0.0, 99.0,
                                   static_cast<double>(detail::kIntPowersOfTen[k]), k),
              viaDoubles(t, k))
        << "'" << t << "' 10^" << k;
    const char* first = t.data();
    const char* end = first + t.size();
    detail::trimBlanks(first, end);
    detail::ShortDecimal d;
    return first != end && detail::parseShortDecimal(first, end, d) && detail::scaledShortDecimal(d, k, v);
  };
  std::int64_t v = 0;
  ASSERT_TRUE(scaled(" 16.405", 3, v));
  EXPECT_EQ(v, 16405);
  ASSERT_TRUE(scaled("-0.1691 ", 4, v));
  EXPECT_EQ(v, -1691);
  ASSERT_TRUE(scaled("-0", 3, v));
  EXPECT_EQ(v, 0);
  ASSERT_TRUE(scaled("2147483.648", 3, v));  // 2^31
  EXPECT_EQ(v, 2147483648);
  EXPECT_FALSE(scaled("2147483.649", 3, v));
  EXPECT_FALSE(scaled("-0.6100", 3, v));  // four decimals for 10^3: the doubles decide
  EXPECT_FALSE(scaled("   ", 3, v));
  EXPECT_FALSE(scaled("1e3", 3, v));
  EXPECT_FALSE(scaled("12a", 3, v));

  std::mt19937_64 rng(99);
  long answered = 0;
  for (int i = 0; i < 400000; ++i) {
    std::string t = (rng() % 4 == 0) ? "-" : ((rng() % 8 == 0) ? "+" : "");
    const int intDigits = static_cast<int>(rng() % 11);
    for (int d = 0; d < intDigits; ++d) t += static_cast<char>('0' + rng() % 10);
    if (rng() % 3 != 0) {
      t += '.';
      const int fraction = static_cast<int>(rng() % 7);
      for (int d = 0; d < fraction; ++d) t += static_cast<char>('0' + rng() % 10);
    }
    if (rng() % 5 == 0) t = " " + t + "  ";
    const int k = static_cast<int>(rng() % 10);
    if (scaled(t, k, v)) {
      ++answered;
      ASSERT_EQ(v, viaDoubles(t, k)) << "'" << t << "' 10^" << k;
    }
  }
  EXPECT_GT(answered, 100000);
}

TEST(FieldNumber, CalibrationAppliesToNumbersNotToMissingValue) {
  EXPECT_EQ(fieldNumber("3", slot(1, 1, 2, 1), 99), 7.0);
  EXPECT_EQ(fieldNumber("   ", slot(1, 3, 2, 1), 99), 99.0);
  EXPECT_EQ(fieldNumber("12a", slot(1, 3, 2, 1), 99), 99.0);
  EXPECT_EQ(fieldNumber("abc", slot(10, 3, 2, 1), -999), -999.0);  // past the end of the line
  EXPECT_EQ(fieldNumber("5", slot(1, 0, 2, 1), 0), 0.0);          // slot not set
  EXPECT_EQ(fieldNumber("0.5", slot(1, 3, 15, -1.5), 0), 6.0);
}

// --- Code lookups with the default tables ---

class Lookup : public ::testing::Test {
 protected:
  LookupLists lists = MappingTables().prepareLookupLists();
};

TEST_F(Lookup, ObjectTypes) {
  EXPECT_EQ(objectTypeCode("GALXY", lists), 1);
  EXPECT_EQ(objectTypeCode("Gx", lists), 1);
  EXPECT_EQ(objectTypeCode("  QUASR ", lists), 1);
  EXPECT_EQ(objectTypeCode("GX+GC", lists), 3);
  EXPECT_EQ(objectTypeCode("SNREM", lists), 5);
  EXPECT_EQ(objectTypeCode("LMCCN", lists), 6);
  EXPECT_EQ(objectTypeCode("C", lists), 2);   // ends "LMCOC," of Open Cluster, the first row holding it
  EXPECT_EQ(objectTypeCode("*", lists), 7);
  EXPECT_EQ(objectTypeCode("**", lists), 9);  // inside "***," of Triple star
  EXPECT_EQ(objectTypeCode("?", lists), 0);
  EXPECT_EQ(objectTypeCode("Gx,GALXY", lists), 1);  // several synonyms with their comma
}

TEST_F(Lookup, ObjectTypeNoMatchAndBlankGive255) {
  EXPECT_EQ(objectTypeCode("-", lists), 255);  // "Non Existant" has the code -1
  EXPECT_EQ(objectTypeCode("gx", lists), 255);
  EXPECT_EQ(objectTypeCode("D*?", lists), 255);
  EXPECT_EQ(objectTypeCode("", lists), 255);
  EXPECT_EQ(objectTypeCode("   ", lists), 255);
}

TEST_F(Lookup, ObjectTypeFromLineThroughSlot) {
  EXPECT_EQ(objectTypeCode("I5370  Gx  0 00.1", slot(7, 3), lists), 1);
  EXPECT_EQ(objectTypeCode("I5371      0 00.2", slot(7, 3), lists), 255);
}

TEST_F(Lookup, EditedListKeepsInnerBlank) {
  MappingTables tables;
  tables.objectTypes[0] = "Gx, GALXY";
  tables.objectTypes[2] = "";
  LookupLists edited = tables.prepareLookupLists();
  EXPECT_EQ(objectTypeCode("GALXY", edited), 1);
  EXPECT_EQ(objectTypeCode("OC", edited), 255);
}

TEST_F(Lookup, SizeUnits) {
  EXPECT_EQ(sizeUnitFactor("m", lists), 60);
  EXPECT_EQ(sizeUnitFactor("'", lists), 60);
  EXPECT_EQ(sizeUnitFactor("s", lists), 3600);
  EXPECT_EQ(sizeUnitFactor("\"", lists), 3600);
  EXPECT_EQ(sizeUnitFactor("d", lists), 1);
  EXPECT_EQ(sizeUnitFactor("\xB0", lists), 1);
  EXPECT_EQ(sizeUnitFactor("x", lists), 60);
  EXPECT_EQ(sizeUnitFactor("  ", lists), 60);
}

TEST_F(Lookup, LineOperations) {
  EXPECT_EQ(lineOperationCode("", lists), 2);  // the blank synonym of Draw line
  EXPECT_EQ(lineOperationCode("   ", lists), 2);
  EXPECT_EQ(lineOperationCode("start", lists), 0);
  EXPECT_EQ(lineOperationCode("0", lists), 0);
  EXPECT_EQ(lineOperationCode("t", lists), 0);  // ends "start,"
  EXPECT_EQ(lineOperationCode("end", lists), 1);
  EXPECT_EQ(lineOperationCode("x", lists), 2);  // ends "vertex,"
  EXPECT_EQ(lineOperationCode("stop", lists), -1);
}

TEST_F(Lookup, Colours) {
  EXPECT_EQ(colourCode("R", lists), 255u);
  EXPECT_EQ(colourCode("G", lists), 12632256u);  // "LG," of LightGray comes before "G," of Gray
  EXPECT_EQ(colourCode("0", lists), 16776960u);  // "10," of Turquoise
  EXPECT_EQ(colourCode("1", lists), 16777215u);
  EXPECT_EQ(colourCode("Pink", lists), 16777215u);
  EXPECT_EQ(colourCode("", lists), 16777215u);  // " ," occurs in no default list
}

TEST_F(Lookup, ChangedSwatchApplies) {
  MappingTables tables;
  tables.colours[4] = 0x123456;
  LookupLists edited = tables.prepareLookupLists();
  EXPECT_EQ(colourCode("Red", edited), 0x123456u);
  EXPECT_EQ(colourCode("5", edited), 0x123456u);
}

TEST(MatchingRow, KeyMustBeFollowedByComma) {
  std::vector<std::string> lists = {"abc,def,", "bc,", "xyzbc,"};
  EXPECT_EQ(matchingRow(lists, "bc"), 0);
  EXPECT_EQ(matchingRow(lists, "de"), -1);
  EXPECT_EQ(matchingRow(lists, "yzbc"), 2);
  EXPECT_EQ(matchingRow(lists, "c,def"), 0);
  std::vector<std::string> repeated = {"aab,aa,"};  // first occurrence is not followed by a comma
  EXPECT_EQ(matchingRow(repeated, "aa"), 0);
}

// --- Rounding ---

TEST(Rounding, HalvesGoToEven) {
  EXPECT_EQ(roundHalfEven(0.5), 0.0);
  EXPECT_EQ(roundHalfEven(1.5), 2.0);
  EXPECT_EQ(roundHalfEven(2.5), 2.0);
  EXPECT_EQ(roundHalfEven(-0.5), 0.0);
  EXPECT_EQ(roundHalfEven(-1.5), -2.0);
  EXPECT_EQ(roundHalfEven(-2.5), -2.0);
  EXPECT_EQ(roundHalfEven(2.5000000001), 3.0);
  EXPECT_EQ(roundHalfEven(0.49999999999999994), 0.0);  // floor(x + 0.5) would give 1
  EXPECT_EQ(roundHalfEven(4503599627370497.0), 4503599627370497.0);
  EXPECT_EQ(roundToInt64(187.5 * 3600000), 675000000);
  EXPECT_EQ(roundToInt32(79.5 * 3600000), 286200000);
}

TEST(Rounding, IntegerRoundingOfHalvesAndNeighbours) {
  EXPECT_EQ(roundToInt64(0.5), 0);
  EXPECT_EQ(roundToInt64(1.5), 2);
  EXPECT_EQ(roundToInt64(-0.5), 0);
  EXPECT_EQ(roundToInt64(-1.5), -2);
  EXPECT_EQ(roundToInt64(-2.5), -2);
  EXPECT_EQ(roundToInt64(-3.5), -4);
  EXPECT_EQ(roundToInt64(-0.0), 0);
  EXPECT_EQ(roundToInt64(0.49999999999999994), 0);
  EXPECT_EQ(roundToInt64(-0.49999999999999994), 0);
  EXPECT_EQ(roundToInt64(0.5000000000000001), 1);
  EXPECT_EQ(roundToInt64(-1.4999999999999998), -1);
  // Just below 2^52 the spacing of doubles is one half; from 2^52 on, one.
  EXPECT_EQ(roundToInt64(4503599627370495.5), 4503599627370496);
  EXPECT_EQ(roundToInt64(4503599627370494.5), 4503599627370494);
  EXPECT_EQ(roundToInt64(-4503599627370494.5), -4503599627370494);
  EXPECT_EQ(roundToInt64(4503599627370497.0), 4503599627370497);
  EXPECT_EQ(roundToInt64(-4503599627370497.0), -4503599627370497);
}

// std::nearbyint under the default rounding mode rounds halves to even: an
// independent reference over random magnitudes, halves and their neighbours.
TEST(Rounding, IntegerRoundingAgreesWithNearbyint) {
  std::mt19937_64 rng(5);
  for (int i = 0; i < 300000; ++i) {
    double scale = std::ldexp(1.0, static_cast<int>(rng() % 60) - 4);
    double v = (static_cast<double>(rng() >> 11) / 0x1p53 - 0.5) * scale;
    if (i % 3 == 0) v = std::floor(v) + 0.5;
    if (i % 3 == 1) v = std::nextafter(std::floor(v) + 0.5, (rng() & 1) ? 1e300 : -1e300);
    ASSERT_EQ(roundToInt64(v), static_cast<std::int64_t>(std::nearbyint(v))) << v;
  }
}

TEST(Rounding, HugeAndNanValuesSaturate) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(roundToInt64(std::nan("")), 0);
  EXPECT_EQ(roundToInt64(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(roundToInt64(-1e300), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(roundToInt64(inf), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(roundToInt64(-inf), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(roundToInt64(0x1p63), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(roundToInt64(-0x1p63), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(roundToInt32(3e9), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(roundToInt32(-3e9), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(roundToInt32(std::nan("")), 0);
  EXPECT_TRUE(std::isnan(roundHalfEven(std::nan(""))));
}

// --- Stores ---

using Bytes = std::vector<std::uint8_t>;

TEST(Store, Int16IsClamped) {
  Bytes r(4, 0xAA);
  storeInt16(r, 1, 2, roundToInt64(99 * 1000.0));
  EXPECT_EQ(r, (Bytes{0xAA, 0xFF, 0x7F, 0xAA}));
  storeInt16(r, 1, 2, -40000);
  EXPECT_EQ(r, (Bytes{0xAA, 0x00, 0x80, 0xAA}));
  storeInt16(r, 1, 2, -999);
  EXPECT_EQ(r, (Bytes{0xAA, 0x19, 0xFC, 0xAA}));
  storeInt16(r, 1, 2, roundToInt64(1e300));
  EXPECT_EQ(r, (Bytes{0xAA, 0xFF, 0x7F, 0xAA}));
  storeInt16(r, 1, 2, roundToInt64(std::nan("")));
  EXPECT_EQ(r, (Bytes{0xAA, 0x00, 0x00, 0xAA}));
}

TEST(Store, ByteKeepsLow8Bits) {
  Bytes r(3, 0xAA);
  storeByte(r, 1, 1, 300);
  EXPECT_EQ(r, (Bytes{0xAA, 44, 0xAA}));
  storeByte(r, 1, 1, -1);
  EXPECT_EQ(r, (Bytes{0xAA, 255, 0xAA}));
  storeByte(r, 1, 1, roundToInt64(2.5));
  EXPECT_EQ(r, (Bytes{0xAA, 2, 0xAA}));
}

TEST(Store, Int32IsLittleEndian) {
  Bytes r(6, 0xAA);
  storeInt32(r, 1, 4, 1296000000);
  EXPECT_EQ(r, (Bytes{0xAA, 0x00, 0x64, 0x3F, 0x4D, 0xAA}));
  storeInt32(r, 1, 4, static_cast<std::int32_t>(Colour{0xFFEEDDCC}));
  EXPECT_EQ(r, (Bytes{0xAA, 0xCC, 0xDD, 0xEE, 0xFF, 0xAA}));
}

TEST(Store, FloatIsIeeeSingleLittleEndian) {
  Bytes r(4);
  storeFloat(r, 0, 4, 12.5);
  EXPECT_EQ(r, (Bytes{0x00, 0x00, 0x48, 0x41}));
  storeFloat(r, 0, 4, -0.1);
  EXPECT_EQ(r, (Bytes{0xCD, 0xCC, 0xCC, 0xBD}));
  storeFloat(r, 0, 4, 3.4028234663852886e38);  // the largest single
  EXPECT_EQ(r, (Bytes{0xFF, 0xFF, 0x7F, 0x7F}));
}

TEST(Store, FloatBeyondSingleRangeIsInfinity) {
  Bytes r(4);
  storeFloat(r, 0, 4, 1e300);
  EXPECT_EQ(r, (Bytes{0x00, 0x00, 0x80, 0x7F}));
  storeFloat(r, 0, 4, -1e39);
  EXPECT_EQ(r, (Bytes{0x00, 0x00, 0x80, 0xFF}));
  // Half an ulp above the largest single rounds to the even neighbour, 2^128.
  storeFloat(r, 0, 4, 0x1.ffffffp127);
  EXPECT_EQ(r, (Bytes{0x00, 0x00, 0x80, 0x7F}));
  storeFloat(r, 0, 4, std::nextafter(0x1.ffffffp127, 0.0));
  EXPECT_EQ(r, (Bytes{0xFF, 0xFF, 0x7F, 0x7F}));
  storeFloat(r, 0, 4, std::nan(""));
  EXPECT_EQ(r[3] & 0x7F, 0x7F);
  EXPECT_EQ(r[2] & 0x80, 0x80);
  EXPECT_EQ(toSingle(1e-50), 0.0f);
}

TEST(Store, TextIsPaddedOrCut) {
  Bytes r(7, 0xAA);
  storeText(r, 1, 5, "abc");
  EXPECT_EQ(r, (Bytes{0xAA, 'a', 'b', 'c', ' ', ' ', 0xAA}));
  storeText(r, 1, 5, "abcdefg");
  EXPECT_EQ(r, (Bytes{0xAA, 'a', 'b', 'c', 'd', 'e', 0xAA}));
  storeText(r, 1, 5, "");
  EXPECT_EQ(r, (Bytes{0xAA, ' ', ' ', ' ', ' ', ' ', 0xAA}));
  Bytes wide(402, 0xAA);
  storeText(wide, 1, 400, "abc");
  Bytes expected(402, ' ');
  expected[0] = expected[401] = 0xAA;
  expected[1] = 'a';
  expected[2] = 'b';
  expected[3] = 'c';
  EXPECT_EQ(wide, expected);
}

TEST(Store, WidthZeroWritesNothing) {
  Bytes r(4, 0xAA);
  storeText(r, 1, 0, "abc");
  storeFloat(r, 1, 0, 1.0);
  storeInt32(r, 1, 0, 1);
  storeInt16(r, 1, 0, 1);
  storeByte(r, 1, 0, 1);
  EXPECT_EQ(r, (Bytes(4, 0xAA)));
}

TEST(Store, NeverWritesOutsideRecord) {
  Bytes r(4, 0xAA);
  storeInt32(r, 2, 4, -1);
  EXPECT_EQ(r, (Bytes{0xAA, 0xAA, 0xFF, 0xFF}));
  storeText(r, 3, 10, "xyz");
  EXPECT_EQ(r, (Bytes{0xAA, 0xAA, 0xFF, 'x'}));
  storeFloat(r, 4, 4, 1.0);
  storeText(r, 100, 4, "x");
  EXPECT_EQ(r, (Bytes{0xAA, 0xAA, 0xFF, 'x'}));
}

// --- Index names ---

std::string indexName(std::string_view column, std::string_view prefix, std::size_t width) {
  std::string out(width, '#');
  auto n = formIndexName(column, prefix, std::span<char>(out));
  if (!n) return "<none>";
  return out.substr(0, *n);
}

TEST(IndexName, SpacesRemovedAndLowerCaseLettersRaised) {
  EXPECT_EQ(indexName("  hd 1234 ", "", 20), "HD1234");
  EXPECT_EQ(indexName("bd+12 34", "BD", 20), "BDBD+1234");
  EXPECT_EQ(indexName("bd+12 34", "  BD ", 20), "BDBD+1234");
  EXPECT_EQ(indexName("bd+12 34", "", 20), "BD+1234");
  EXPECT_EQ(indexName("ngc \xE9z", "Ngc", 20), "NgcNGC\xE9Z");  // prefix keeps its case; only a-z change
}

TEST(IndexName, BlankColumnGivesNoNameEvenWithPrefix) {
  EXPECT_EQ(indexName("", "BD", 20), "<none>");
  EXPECT_EQ(indexName("    ", "BD", 20), "<none>");
}

TEST(IndexName, CutToBufferWidth) {
  EXPECT_EQ(indexName("abc def ghi", "", 5), "ABCDE");
  EXPECT_EQ(indexName("abc", "LONGPREFIX", 4), "LONG");
  EXPECT_EQ(indexName("abc", "", 0), "");
  // Whether there is a name depends on the whole column, also past the cut.
  EXPECT_EQ(indexName("    ", "LONGPREFIX", 4), "<none>");
  EXPECT_EQ(indexName("     x", "LONGPREFIX", 4), "LONG");
  EXPECT_EQ(indexName("ab   x", "", 2), "AB");
  EXPECT_EQ(indexName("   ", "", 0), "<none>");
  EXPECT_EQ(indexName("  a", "", 0), "");
}

}  // namespace
}  // namespace mirdal
