#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"

// The per-field operations of the conversion loop: cut a column out of the
// current line, read it as a calibrated number, a raw text or a table code,
// and store values into a record at a field's offset and width. None of them
// fails, allocates or keeps state: an unreadable value becomes the caller's
// missing value or the table's no-match value.

namespace mirdal {

// --- Extraction -----------------------------------------------------------

// The bytes of `line` from column slot.firstChar (1-based; below 1 counts as
// 1) for slot.length bytes, not trimmed. Empty when the column starts past
// the end of the line or the length is 0 or less; cut at the end of the line.
inline std::string_view rawText(std::string_view line, const FieldSlot& slot) {
  if (slot.length <= 0) return {};
  std::size_t start = slot.firstChar < 1 ? 0 : static_cast<std::size_t>(slot.firstChar) - 1;
  if (start >= line.size()) return {};
  return line.substr(start, static_cast<std::size_t>(slot.length));
}

namespace detail {

// parseDecimal for every form; the inline readers below try the common short
// forms first and leave the rest to it.
std::optional<double> parseDecimalGeneral(std::string_view text);

inline constexpr std::uint64_t kIntPowersOfTen[] = {1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};

inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The short form of nearly every catalog column: an optional sign, then at
// most 19 digits with at most one "." among them, nothing else, as the
// integer of its digits and the number of digits after the point. Such a
// mantissa is exact in 64 bits. Returns false for any other text (empty, no
// digit, exponent, too many digits, a stray byte): the general reader
// decides those.
struct ShortDecimal {
  std::uint64_t mantissa;
  std::size_t fractionDigits;
  bool negative;
};

inline bool parseShortDecimal(const char* p, const char* end, ShortDecimal& out) {
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  const char* const digitsBegin = p;
  std::uint64_t mantissa = 0;  // wraps past 19 digits, which are refused below
  unsigned d;
  while (p != end && (d = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
    mantissa = mantissa * 10 + d;
    ++p;
  }
  std::size_t digits = static_cast<std::size_t>(p - digitsBegin);
  std::size_t fractionDigits = 0;
  if (p != end && *p == '.') {
    const char* const fractionBegin = ++p;
    while (p != end && (d = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
      mantissa = mantissa * 10 + d;
      ++p;
    }
    fractionDigits = static_cast<std::size_t>(p - fractionBegin);
    digits += fractionDigits;
  }
  if (p != end || digits == 0 || digits > 19) return false;
  out = {mantissa, fractionDigits, negative};
  return true;
}

// The value of a short form: when its mantissa is at most 2^53 it is an
// exact double, and so is the power of ten that scales it (up to 10^19), so
// one IEEE division gives the correctly rounded value. False for a larger
// mantissa (the general reader decides it).
inline bool shortDecimalValue(const ShortDecimal& s, double& value) {
#if FLT_EVAL_METHOD == 0
  if (s.mantissa > (std::uint64_t{1} << 53)) return false;
  const double v = static_cast<double>(s.mantissa) / kExactPowersOfTen[s.fractionDigits];
  value = s.negative ? -v : v;
  return true;
#else
  (void)s;
  (void)value;
  return false;
#endif
}

inline bool parseShortDecimal(const char* p, const char* end, double& value) {
  ShortDecimal s;
  return parseShortDecimal(p, end, s) && shortDecimalValue(s, value);
}

// The bytes first..end without codes 0 to 32 at either end.
inline void trimBlanks(const char*& first, const char*& end) {
  while (first != end && static_cast<unsigned char>(*first) <= 32) ++first;
  while (end != first && static_cast<unsigned char>(end[-1]) <= 32) --end;
}

// The bytes first..end trimmed of codes 0 to 32, read as a number and put
// through calcA * x + calcB; `blank`, unchanged, when nothing is left, and
// `unreadable` when it is not a number.
inline double columnNumber(const char* first, const char* end, double calcA, double calcB, double blank,
                           double unreadable) {
  trimBlanks(first, end);
  if (first == end) return blank;
  double x;
  if (!parseShortDecimal(first, end, x)) {
    std::optional<double> general = parseDecimalGeneral(std::string_view(first, static_cast<std::size_t>(end - first)));
    if (!general) return unreadable;
    x = *general;
  }
  return calcA * x + calcB;
}

// As above, with one `missing` value for a blank column and for one that is
// not a number.
inline double columnNumber(const char* first, const char* end, double calcA, double calcB, double missing) {
  return columnNumber(first, end, calcA, calcB, missing, missing);
}

// A short form scaled by 10^k with the calibration calcA 1, calcB 0, as an
// integer without a division: x is m / 10^f rounded once and x * 10^k is
// rounded once more, so the product lies within 2^-52 of m * 10^(k - f).
// When f <= k that is an integer, and when it is at most 2^31 the error is
// far below one half: rounding to an integer gives exactly it. False when
// f > k or the integer is larger.
inline bool scaledShortDecimal(const ShortDecimal& d, int tenPower, std::int64_t& value) {
  const int shift = tenPower - static_cast<int>(d.fractionDigits);
  // 2^31 / 10^shift, so that no division is made per value.
  static constexpr std::uint64_t kLargest[] = {
      std::uint64_t{1} << 31,         (std::uint64_t{1} << 31) / 10,        (std::uint64_t{1} << 31) / 100,
      (std::uint64_t{1} << 31) / 1000, (std::uint64_t{1} << 31) / 10000,    (std::uint64_t{1} << 31) / 100000,
      (std::uint64_t{1} << 31) / 1000000, (std::uint64_t{1} << 31) / 10000000, (std::uint64_t{1} << 31) / 100000000,
      (std::uint64_t{1} << 31) / 1000000000};
  static_assert(std::size(kLargest) == std::size(kIntPowersOfTen));
  if (shift < 0 || d.mantissa > kLargest[shift]) return false;
  const auto v = static_cast<std::int64_t>(d.mantissa * kIntPowersOfTen[shift]);
  value = d.negative ? -v : v;
  return true;
}

}  // namespace detail

// Reads a whole text as a decimal number, "." as separator, whatever the
// locale: an optional sign; digits; optionally "." and digits; optionally
// "e" or "E", an optional sign and at least one digit. Either mantissa digit
// run may be empty but not both: a text without a digit before its exponent
// (".", "-.", "e5", "+") is not a number. No blanks are skipped; "nan" and
// "inf" are not numbers either.
// The result is correctly rounded; a number too large for a double gives an
// infinity, one too small a zero.
inline std::optional<double> parseDecimal(std::string_view text) {
  double v;
  if (detail::parseShortDecimal(text.data(), text.data() + text.size(), v)) return v;
  return detail::parseDecimalGeneral(text);
}

// The column trimmed and read by parseDecimal, then calcA * x + calcB of the
// slot; `missing`, unchanged, when the column is empty or not a number.
inline double fieldNumber(std::string_view line, const FieldSlot& slot, double missing) {
  std::string_view column = rawText(line, slot);
  return detail::columnNumber(column.data(), column.data() + column.size(), slot.calcA, slot.calcB, missing);
}

// --- Code lookups -----------------------------------------------------------

// Index of the first list in which `key` followed by a comma occurs anywhere
// (a byte-exact, case-sensitive substring search), or -1.
int matchingRow(std::span<const std::string> lists, std::string_view key);

// Each takes the raw column text, trims it and looks it up by matchingRow.
// Object type: blank or no match 255; the code -1 of "Non Existant" is 255.
std::uint8_t objectTypeCode(std::string_view column, const LookupLists& lists);
// Size unit factor 1, 60 or 3600: blank or no match 60.
std::int16_t sizeUnitFactor(std::string_view column, const LookupLists& lists);
// Line operation 0, 1 or 2: blank is looked up as " "; no match -1.
std::int16_t lineOperationCode(std::string_view column, const LookupLists& lists);
// Swatch colour of the row: blank is looked up as " "; no match white.
Colour colourCode(std::string_view column, const LookupLists& lists);

inline std::uint8_t objectTypeCode(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return objectTypeCode(rawText(line, slot), lists);
}
inline std::int16_t sizeUnitFactor(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return sizeUnitFactor(rawText(line, slot), lists);
}
inline std::int16_t lineOperationCode(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return lineOperationCode(rawText(line, slot), lists);
}
inline Colour colourCode(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return colourCode(rawText(line, slot), lists);
}

// --- Rounding -----------------------------------------------------------------

// To the nearest integer, halves to even, whatever the floating-point
// rounding mode. Infinities and NaN come back as they are.
double roundHalfEven(double v);

namespace detail {
std::int64_t roundLargeToInt64(double v);  // |v| >= 2^52, infinities and NaN
}  // namespace detail

// Rounded half to even and saturated to the range of the result: no
// out-of-range conversion happens. NaN gives 0.
inline std::int64_t roundToInt64(double v) {
  if (!(std::fabs(v) < 0x1p52)) return detail::roundLargeToInt64(v);
  // Truncation does not depend on the rounding mode, and v - t is exact: the
  // fraction decides, a half going to the even neighbour.
  // Without branches: on positions the fraction is as good as random.
  const auto t = static_cast<std::int64_t>(v);
  const double d = v - static_cast<double>(t);
  const std::int64_t odd = t & 1;
  const std::int64_t up = static_cast<std::int64_t>(d > 0.5) | (static_cast<std::int64_t>(d == 0.5) & odd);
  const std::int64_t down = static_cast<std::int64_t>(d < -0.5) | (static_cast<std::int64_t>(d == -0.5) & odd);
  return t + up - down;
}

inline std::int32_t roundToInt32(double v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(roundToInt64(v), std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

namespace detail {

// roundToInt64(columnNumber(first, end, calcA, calcB, missing) * scale),
// reading the text once; tenPower is k when calcA is 1, calcB 0 and the scale
// 10^k (0 <= k <= 9), so that scaledShortDecimal may answer, else -1.
inline std::int64_t scaledColumn(const char* first, const char* end, double calcA, double calcB, double missing,
                                 double scale, int tenPower) {
  trimBlanks(first, end);
  double x = missing;
  if (first != end) {
    ShortDecimal d;
    std::int64_t exact;
    double v;
    const bool isShort = parseShortDecimal(first, end, d);
    if (isShort && tenPower >= 0 && scaledShortDecimal(d, tenPower, exact)) return exact;
    if (isShort && shortDecimalValue(d, v)) {
      x = calcA * v + calcB;
    } else if (std::optional<double> g =
                   parseDecimalGeneral(std::string_view(first, static_cast<std::size_t>(end - first)))) {
      x = calcA * *g + calcB;
    }
  }
  return roundToInt64(x * scale);
}

}  // namespace detail

// The IEEE single nearest to v; beyond the largest single it is an infinity
// of v's sign, as IEEE rounding gives (the conversion is never out of range).
inline float toSingle(double v) {
  // Halfway between the largest single and 2^128: from there on IEEE rounding
  // to nearest gives an infinity.
  constexpr double kOverflow = 0x1.ffffffp127;
  if (v >= kOverflow) return std::numeric_limits<float>::infinity();
  if (v <= -kOverflow) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

// --- Stores -------------------------------------------------------------------

// Each writes exactly `width` bytes at the 0-based `offset` of `record`,
// little-endian; width 0 writes nothing. A numeric value takes its own size
// (4, 2 or 1 bytes); a wider field gets zero bytes after it, a narrower one
// the low bytes only. Bytes that would fall outside `record` are not written.
void storeFloat(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, double value);
void storeInt32(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int32_t value);
// Clamped to -32768..32767.
void storeInt16(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int64_t value);
// The low 8 bits of the two's complement value: 300 stores 44, -1 stores 255.
void storeByte(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int64_t value);
// The text followed by spaces, cut to the width.
void storeText(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::string_view text);

// --- Index names --------------------------------------------------------------

// Forms an index name into `out`: `prefix` trimmed, then `column` with every
// space (0x20) removed and a-z made upper case (every other byte as it is),
// cut to out.size(). Returns the number of bytes written, or nullopt when the
// column holds nothing but spaces (the source gives no name; the prefix
// alone never makes one).
std::optional<std::size_t> formIndexName(std::string_view column, std::string_view prefix, std::span<char> out);

}  // namespace mirdal
