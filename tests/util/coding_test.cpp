#include "util/coding.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>

namespace mirdal {
namespace {

// A number of each width and kind as a catalog file holds it. The put
// writes its width only (the guard bytes stay), the get reads the number back.
TEST(Coding, FixedWidthNumbersAreLeastSignificantByteFirst) {
  const struct {
    std::uint64_t value;
    std::size_t width;
    std::string bytes;
  } rows[] = {
      {std::uint16_t(-553), 2, "\xD7\xFD"},
      {1251, 4, std::string("\xE3\x04\x00\x00", 4)},
      {std::bit_cast<std::uint32_t>(1991.25f), 4, std::string("\x00\xE8\xF8\x44", 4)},
      {0x0102'0304'0506'0708, 8, "\x08\x07\x06\x05\x04\x03\x02\x01"},
      {std::bit_cast<std::uint64_t>(-0.5), 8, std::string("\x00\x00\x00\x00\x00\x00\xE0\xBF", 8)},
  };
  for (const auto& row : rows) {
    std::string buffer(row.width + 2, '#');
    char* at = buffer.data() + 1;
    if (row.width == 2) put16(at, static_cast<std::uint16_t>(row.value));
    if (row.width == 4) put32(at, static_cast<std::uint32_t>(row.value));
    if (row.width == 8) put64(at, row.value);
    EXPECT_EQ(buffer, "#" + row.bytes + "#") << row.value;
    EXPECT_EQ(row.width == 2 ? get16(at) : row.width == 4 ? get32(at) : get64(at), row.value) << row.value;
  }
}

}  // namespace
}  // namespace mirdal
