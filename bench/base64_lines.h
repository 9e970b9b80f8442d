#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>

// Base64 in lines of 76 characters, as the benchmarks write VOTable
// streams: the whole lines `bytes` holds (57 bytes each) are written to
// `f` and dropped; with `last`, the rest too, padded.
inline void writeBase64Lines(std::FILE* f, std::string& bytes, bool last) {
  static const char* k64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::size_t whole = last ? bytes.size() : bytes.size() / 57 * 57;
  std::string text;
  for (std::size_t i = 0; i < whole; i += 57) {
    const std::size_t n = std::min<std::size_t>(57, whole - i);
    for (std::size_t j = 0; j < n; j += 3) {
      const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + i + j);
      const std::size_t k = std::min<std::size_t>(3, n - j);
      const unsigned v = (unsigned{b[0]} << 16) | (k > 1 ? unsigned{b[1]} << 8 : 0u) | (k > 2 ? unsigned{b[2]} : 0u);
      text += k64[v >> 18];
      text += k64[(v >> 12) & 63];
      text += k > 1 ? k64[(v >> 6) & 63] : '=';
      text += k > 2 ? k64[v & 63] : '=';
    }
    text += '\n';
  }
  bytes.erase(0, whole);
  std::fwrite(text.data(), 1, text.size(), f);
}
