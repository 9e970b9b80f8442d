#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace mirdal::big_endian {

// Values stored most significant byte first, as FITS and VOTable streams
// store them, read from unaligned bytes.
template <typename T>
inline T load(const unsigned char* p) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
  if constexpr (sizeof(T) == 1) {
    T v;
    std::memcpy(&v, p, 1);
    return v;
  } else {
    using U = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                 std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
    U u;
    std::memcpy(&u, p, sizeof u);
    if constexpr (std::endian::native == std::endian::little) {
      if constexpr (sizeof(T) == 2) u = __builtin_bswap16(u);
      else if constexpr (sizeof(T) == 4) u = __builtin_bswap32(u);
      else u = __builtin_bswap64(u);
    }
    return std::bit_cast<T>(u);
  }
}

// `text` without the blanks and NULs at its end.
inline std::string_view trimEnd(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return text.substr(0, n);
}

}  // namespace mirdal::big_endian
