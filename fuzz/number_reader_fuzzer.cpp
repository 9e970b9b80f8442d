// The number reader of the conversion: parseDecimal must accept exactly its
// grammar and give the correctly rounded double (the C library's strtod is
// the reference); fieldNumber must cut its column, fall back to the missing
// value and apply the calibration; the rounding and store helpers must stay
// in range whatever the number.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "convert/field_value.h"
#include "catalog/mapping_tables.h"
#include "fuzz_check.h"
#include "util/text.h"

namespace {

using namespace mirdal;

bool sameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;  // tells -0 from +0
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text has a digit before its exponent: without one ("." or "e5") it is
// not a number, here as for strtod.
bool hasMantissaDigit(std::string_view t) {
  for (char c : t) {
    if (c == 'e' || c == 'E') return false;
    if (isDigit(c)) return true;
  }
  return false;
}

void checkParse(std::string_view text) {
  std::optional<double> v = parseDecimal(text);
  if (!v) return;
  // Accepted text holds only sign, digits, ".", "e"/"E".
  for (char c : text) FUZZ_CHECK(isDigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E');
  FUZZ_CHECK(hasMantissaDigit(text));
  std::string copy(text);
  char* end = nullptr;
  errno = 0;
  double reference = std::strtod(copy.c_str(), &end);
  FUZZ_CHECK(end == copy.c_str() + copy.size());
  FUZZ_CHECK(sameDouble(*v, reference));
}

void checkRounding(double v) {
  double r = roundHalfEven(v);
  if (std::isfinite(v)) {
    FUZZ_CHECK(std::fabs(r - v) <= 0.5);
    FUZZ_CHECK(r == std::floor(r));
  } else {
    FUZZ_CHECK(sameDouble(r, v));
  }
  std::int64_t r64 = roundToInt64(v);
  std::int32_t r32 = roundToInt32(v);
  if (std::isnan(v)) {
    FUZZ_CHECK(r64 == 0 && r32 == 0);
  } else {
    if (r >= -2147483648.0 && r <= 2147483647.0) FUZZ_CHECK(r32 == static_cast<std::int32_t>(r));
    if (r < -2147483648.0) FUZZ_CHECK(r32 == std::numeric_limits<std::int32_t>::min());
    if (r > 2147483647.0) FUZZ_CHECK(r32 == std::numeric_limits<std::int32_t>::max());
    if (r <= -0x1p63) FUZZ_CHECK(r64 == std::numeric_limits<std::int64_t>::min());
    if (r >= 0x1p63) FUZZ_CHECK(r64 == std::numeric_limits<std::int64_t>::max());
  }
  float f = toSingle(v);
  if (std::isnan(v)) FUZZ_CHECK(std::isnan(f));

  std::uint8_t record[8];
  std::memset(record, 0xAA, sizeof record);
  storeInt16(record, 1, 2, r64);
  std::int16_t stored = static_cast<std::int16_t>(record[1] | (record[2] << 8));
  std::int64_t clamped = r64 < -32768 ? -32768 : (r64 > 32767 ? 32767 : r64);
  FUZZ_CHECK(stored == clamped);
  FUZZ_CHECK(record[0] == 0xAA && record[3] == 0xAA);
  storeByte(record, 7, 1, r64);
  FUZZ_CHECK(record[7] == static_cast<std::uint8_t>(static_cast<std::uint64_t>(r64) & 0xFF));
  storeFloat(record, 4, 4, v);
  float back;
  std::memcpy(&back, record + 4, 4);
  FUZZ_CHECK(std::isnan(f) ? std::isnan(back) : std::memcmp(&back, &f, 4) == 0);
}

void checkField(std::string_view line, int first, int length, double calcA, double calcB) {
  FieldSlot slot;
  slot.firstChar = first;
  slot.length = length;
  slot.calcA = calcA;
  slot.calcB = calcB;
  std::string_view expected;
  std::size_t start = first < 1 ? 0 : static_cast<std::size_t>(first) - 1;
  if (length > 0 && start < line.size()) expected = line.substr(start, static_cast<std::size_t>(length));
  std::string_view column = rawText(line, slot);
  FUZZ_CHECK(column == expected);
  FUZZ_CHECK(column.empty() || (column.data() >= line.data() && column.data() + column.size() <= line.data() + line.size()));

  const double missing = -12345.5;
  double got = fieldNumber(line, slot, missing);
  std::optional<double> x = parseDecimal(trimmed(column));
  if (!x) {
    FUZZ_CHECK(sameDouble(got, missing));
  } else {
    volatile double product = calcA * *x;  // no contraction into a fused multiply-add
    FUZZ_CHECK(sameDouble(got, product + calcB));
    checkRounding(got);
  }
}

void checkLookups(std::string_view column) {
  static const LookupLists lists = MappingTables().prepareLookupLists();
  std::uint8_t type = objectTypeCode(column, lists);
  if (trimmed(column).empty()) FUZZ_CHECK(type == 255);
  std::int16_t unit = sizeUnitFactor(column, lists);
  FUZZ_CHECK(unit == 1 || unit == 60 || unit == 3600);
  std::int16_t op = lineOperationCode(column, lists);
  FUZZ_CHECK(op >= -1 && op <= 2);
  (void)colourCode(column, lists);
}

void checkIndexName(std::string_view column, std::size_t width) {
  std::vector<char> out(width + 2, '#');
  std::span<char> name(out.data() + 1, width);
  std::optional<std::size_t> n = formIndexName(column, {}, name);
  FUZZ_CHECK(out.front() == '#' && out.back() == '#');
  if (column.find_first_not_of(' ') == std::string_view::npos) {
    FUZZ_CHECK(!n);
    return;
  }
  FUZZ_CHECK(n && *n <= width);
  for (std::size_t i = 0; i < *n; ++i) FUZZ_CHECK(name[i] != ' ' && !(name[i] >= 'a' && name[i] <= 'z'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = mirdal::fuzz::asText(data, size);
  checkParse(text);
  if (auto v = parseDecimal(text)) checkRounding(*v);
  checkLookups(text);
  if (size >= 3) {
    static const double kCalcA[] = {1.0, 2.0, -1.0, 0.001, 1e300, 0.0};
    static const double kCalcB[] = {0.0, 1.0, -90.0, 1e300};
    std::string_view line = text.substr(3);
    checkField(line, static_cast<int>(data[0]) - 4, static_cast<int>(data[1]) - 4, kCalcA[data[2] % 6],
               kCalcB[(data[2] / 6) % 4]);
    checkIndexName(line, data[0]);
  }
  return 0;
}
