#include "util/coding.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

namespace mirdal {
namespace {

// Each row: a number, its width and its bytes in a catalog file. The put
// writes exactly its width (the guard bytes around it stay), the get reads
// the number back.
TEST(Coding, FixedWidthNumbersAreLeastSignificantByteFirst) {
  struct Row {
    const char* name;
    std::uint64_t value;
    int width;
    std::string bytes;
  };
  const Row rows[] = {
      {"int16 1", 1, 2, std::string("\x01\x00", 2)},
      {"int16 32767", 32767, 2, "\xFF\x7F"},
      {"int16 -553", std::uint16_t(-553), 2, "\xD7\xFD"},
      {"int32 1251", 1251, 4, std::string("\xE3\x04\x00\x00", 4)},
      {"int32 -1", 0xFFFF'FFFF, 4, "\xFF\xFF\xFF\xFF"},
      {"int32 675,000,000", 675'000'000, 4, std::string("\xC0\xAE\x3B\x28", 4)},
      {"float 1991.25", std::bit_cast<std::uint32_t>(1991.25f), 4, std::string("\x00\xE8\xF8\x44", 4)},
      {"uint64", 0x0102'0304'0506'0708, 8, "\x08\x07\x06\x05\x04\x03\x02\x01"},
      {"double 2000", std::bit_cast<std::uint64_t>(2000.0), 8, std::string("\x00\x00\x00\x00\x00\x40\x9F\x40", 8)},
      {"double -0.5", std::bit_cast<std::uint64_t>(-0.5), 8, std::string("\x00\x00\x00\x00\x00\x00\xE0\xBF", 8)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string buffer(row.width + 2, '#');
    char* at = buffer.data() + 1;
    std::uint64_t back = 0;
    switch (row.width) {
      case 2:
        put16(at, static_cast<std::uint16_t>(row.value));
        back = get16(at);
        break;
      case 4:
        put32(at, static_cast<std::uint32_t>(row.value));
        back = get32(at);
        break;
      default:
        put64(at, row.value);
        back = get64(at);
    }
    EXPECT_EQ(buffer, "#" + row.bytes + "#");
    EXPECT_EQ(back, row.value);
  }
}

}  // namespace
}  // namespace mirdal
