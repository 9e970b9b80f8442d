#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace mirdal {

// Fixed-width unsigned numbers in the byte order of every catalog file:
// little-endian, least significant byte first, whatever the host's order.
// Signed numbers go through the unsigned type of their width, floating-point
// numbers through std::bit_cast. The byte-by-byte form compiles to a single
// load or store on a little-endian host.

inline void put16(void* to, std::uint16_t v) {
  auto* p = static_cast<unsigned char*>(to);
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline void put32(void* to, std::uint32_t v) {
  auto* p = static_cast<unsigned char*>(to);
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

inline void put64(void* to, std::uint64_t v) {
  auto* p = static_cast<unsigned char*>(to);
  put32(p, static_cast<std::uint32_t>(v));
  put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

inline std::uint16_t get16(const void* from) {
  const auto* p = static_cast<const unsigned char*>(from);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t get32(const void* from) {
  const auto* p = static_cast<const unsigned char*>(from);
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t get64(const void* from) {
  const auto* p = static_cast<const unsigned char*>(from);
  return static_cast<std::uint64_t>(get32(p)) | (static_cast<std::uint64_t>(get32(p + 4)) << 32);
}

namespace big_endian {


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

}  // namespace big_endian

}  // namespace mirdal
