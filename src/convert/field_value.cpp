#include "convert/field_value.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "util/coding.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Only reached when from_chars finds the value outside the range of a double:
// the decimal magnitude of the text tells overflow from underflow.
double outOfRange(std::string_view t, bool negative, std::size_t mantissaBegin, std::size_t intEnd,
                  std::size_t mantissaEnd, long long exponent) {
  // The first significant digit puts the mantissa in [10^(m-1), 10^m).
  for (std::size_t i = mantissaBegin; i < mantissaEnd; ++i) {
    if (!isDigit(t[i]) || t[i] == '0') continue;
    long long m = i < intEnd ? static_cast<long long>(intEnd - i) : -static_cast<long long>(i - intEnd - 1);
    double magnitude = (m + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
  }
  return negative ? -0.0 : 0.0;
}

std::uint8_t lowByte(std::int64_t v) { return static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) & 0xFF); }

// Writes the `Size` low-order bytes of `bits`, little-endian, into the field,
// then zeros to its width; a narrower field takes the low-order bytes only.
template <std::size_t Size>
inline void storeBits(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::uint64_t bits) {
  if (offset >= record.size()) return;
  width = std::min(width, record.size() - offset);
  std::uint8_t bytes[8];
  put64(bytes, bits);
  std::uint8_t* p = record.data() + offset;
  for (std::size_t i = 0; i < width; ++i) p[i] = i < Size ? bytes[i] : 0;
}

}  // namespace

namespace detail {

std::optional<double> parseDecimalGeneral(std::string_view t) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
  }
  // The mantissa's digits as one integer while it has at most 19 significant
  // digits (leading zeros do not count).
  std::uint64_t mantissa = 0;
  int significant = 0;
  auto take = [&](char c) {
    if (mantissa == 0 && c == '0') return;
    if (++significant <= 19) mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
  };
  const std::size_t mantissaBegin = i;
  for (; i < t.size() && isDigit(t[i]); ++i) take(t[i]);
  const std::size_t intEnd = i;
  std::size_t digits = intEnd - mantissaBegin;
  long long fractionDigits = 0;
  if (i < t.size() && t[i] == '.') {
    std::size_t fracBegin = ++i;
    for (; i < t.size() && isDigit(t[i]); ++i) take(t[i]);
    fractionDigits = static_cast<long long>(i - fracBegin);
    digits += i - fracBegin;
  }
  const std::size_t mantissaEnd = i;
  long long exponent = 0;  // saturated: beyond 10^9 every result is 0 or infinite anyway
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool exponentNegative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) exponentNegative = t[i++] == '-';
    std::size_t expDigitsBegin = i;
    for (; i < t.size() && isDigit(t[i]); ++i) exponent = std::min<long long>(exponent * 10 + (t[i] - '0'), 1'000'000'000);
    if (i == expDigitsBegin) return std::nullopt;
    if (exponentNegative) exponent = -exponent;
  }
  // No mantissa digit (this also refuses the empty text and a sign alone),
  // or bytes left over.
  if (digits == 0 || i != t.size()) return std::nullopt;

#if FLT_EVAL_METHOD == 0
  // A mantissa below 2^53 and a power of ten up to 10^22 are both exact
  // doubles, so one multiplication or division rounds correctly. This covers
  // the short forms with an exponent or with leading zeros.
  constexpr long long kMaxExactPower = static_cast<long long>(std::size(kExactPowersOfTen)) - 1;
  long long scale = exponent - fractionDigits;
  if (significant <= 19 && mantissa <= (std::uint64_t{1} << 53) && scale >= -kMaxExactPower &&
      scale <= kMaxExactPower) {
    double m = static_cast<double>(mantissa);
    double v = scale >= 0 ? m * kExactPowersOfTen[scale] : m / kExactPowersOfTen[-scale];
    return negative ? -v : v;
  }
#endif

  // from_chars takes a leading "-" but not "+", so a "+" is stepped over.
  const char* first = t.data() + (negative ? 0 : mantissaBegin);
  const char* last = t.data() + t.size();
  double value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range)
    return outOfRange(t, negative, mantissaBegin, intEnd, mantissaEnd, exponent);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

}  // namespace detail

int matchingRow(std::span<const std::string> lists, std::string_view key) {
  for (std::size_t r = 0; r < lists.size(); ++r) {
    std::string_view list = lists[r];
    for (std::size_t pos = list.find(key); pos != std::string_view::npos; pos = list.find(key, pos + 1)) {
      std::size_t after = pos + key.size();
      if (after < list.size() && list[after] == ',') return static_cast<int>(r);
    }
  }
  return -1;
}

std::uint8_t objectTypeCode(std::string_view column, const LookupLists& lists) {
  std::string_view t = trimmed(column);
  if (t.empty()) return 255;
  int r = matchingRow(lists.objectTypes, t);
  if (r < 0) return 255;
  return lowByte(kObjectTypeTable[static_cast<std::size_t>(r)].code);
}

std::int16_t sizeUnitFactor(std::string_view column, const LookupLists& lists) {
  std::string_view t = trimmed(column);
  if (t.empty()) return 60;
  int r = matchingRow(lists.sizeUnits, t);
  if (r < 0) return 60;
  return static_cast<std::int16_t>(kSizeUnitTable[static_cast<std::size_t>(r)].factor);
}

std::int16_t lineOperationCode(std::string_view column, const LookupLists& lists) {
  std::string_view t = trimmed(column);
  int r = matchingRow(lists.lineOperations, t.empty() ? std::string_view(" ") : t);
  if (r < 0) return -1;
  return static_cast<std::int16_t>(kLineOperationTable[static_cast<std::size_t>(r)].code);
}

Colour colourCode(std::string_view column, const LookupLists& lists) {
  std::string_view t = trimmed(column);
  int r = matchingRow(lists.colours, t.empty() ? std::string_view(" ") : t);
  if (r < 0) return kWhite;
  return lists.colourValues[static_cast<std::size_t>(r)];
}

double roundHalfEven(double v) {
  // From 2^52 on every double is an integer.
  if (!(std::fabs(v) < 0x1p52)) return v;
  double f = std::floor(v);
  double d = v - f;  // exact: v and f are within one binade of each other
  if (d > 0.5) return f + 1;
  if (d < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

namespace detail {

std::int64_t roundLargeToInt64(double v) {
  if (std::isnan(v)) return 0;
  double r = roundHalfEven(v);
  if (r >= 0x1p63) return std::numeric_limits<std::int64_t>::max();
  if (r < -0x1p63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(r);
}

}  // namespace detail

void storeFloat(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, double value) {
  storeBits<4>(record, offset, width, std::bit_cast<std::uint32_t>(toSingle(value)));
}

void storeInt32(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int32_t value) {
  storeBits<4>(record, offset, width, static_cast<std::uint32_t>(value));
}

void storeInt16(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int64_t value) {
  auto clamped = static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767));
  storeBits<2>(record, offset, width, static_cast<std::uint16_t>(clamped));
}

void storeByte(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int64_t value) {
  storeBits<1>(record, offset, width, lowByte(value));
}

void storeText(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::string_view text) {
  if (offset >= record.size()) return;
  width = std::min(width, record.size() - offset);
  std::size_t n = std::min(width, text.size());
  std::uint8_t* p = record.data() + offset;
  if (n > 0) std::memcpy(p, text.data(), n);
  std::memset(p + n, ' ', width - n);
}

std::optional<std::size_t> formIndexName(std::string_view column, std::string_view prefix, std::span<char> out) {
  if (column.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
  prefix = trimmed(prefix);
  std::size_t n = std::min(prefix.size(), out.size());
  if (n > 0) std::memcpy(out.data(), prefix.data(), n);
  for (char c : column) {
    if (n == out.size()) break;
    if (c != ' ') out[n++] = asciiUpper(c);
  }
  return n;
}

}  // namespace mirdal
