#pragma once

#include <string>
#include <string_view>

namespace mirdal {

// Characters of code 0 to 32 are blanks for every trim in the program.
constexpr bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

constexpr std::string_view trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Case changes touch only the letters A-Z and a-z.
constexpr char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
constexpr char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Whether `s` starts with `prefix`, letters compared in either case.
constexpr bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (asciiLower(s[i]) != asciiLower(prefix[i])) return false;
  return true;
}

inline std::string asciiLowered(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = asciiLower(c);
  return r;
}

// The text with spaces appended, cut to exactly `width` bytes.
inline std::string padded(std::string_view s, std::size_t width) {
  std::string r(s.substr(0, width));
  r.resize(width, ' ');
  return r;
}

}  // namespace mirdal
