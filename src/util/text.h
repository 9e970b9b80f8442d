#pragma once

#include <cstddef>
#include <optional>
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

constexpr bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isAsciiLower(char c) { return c >= 'a' && c <= 'z'; }
constexpr bool isAsciiLetter(char c) { return isAsciiUpper(c) || isAsciiLower(c); }
constexpr bool isAsciiAlnum(char c) { return isAsciiLetter(c) || isAsciiDigit(c); }

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

constexpr bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithNoCase(a, b);
}

constexpr bool endsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && startsWithNoCase(s.substr(s.size() - suffix.size()), suffix);
}

// Where `part` first stands in `s`, letters compared in either case; npos
// when nowhere.
constexpr std::size_t findNoCase(std::string_view s, std::string_view part) {
  if (part.size() > s.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + part.size() <= s.size(); ++i)
    if (startsWithNoCase(s.substr(i), part)) return i;
  return std::string_view::npos;
}

constexpr bool containsNoCase(std::string_view s, std::string_view part) {
  return findNoCase(s, part) != std::string_view::npos;
}

// Splits off the next run of non-blank bytes; `rest` keeps what follows it.
constexpr std::string_view nextToken(std::string_view& rest) {
  std::size_t b = 0;
  while (b < rest.size() && isBlank(rest[b])) ++b;
  std::size_t e = b;
  while (e < rest.size() && !isBlank(rest[e])) ++e;
  const std::string_view token = rest.substr(b, e - b);
  rest.remove_prefix(e);
  return token;
}

// Whether every byte is a tab or printable ASCII.
constexpr bool isPrintableAscii(std::string_view s) {
  for (char c : s)
    if (c != '\t' && (c < 32 || c >= 127)) return false;
  return true;
}

// A file name or a value as messages show it: in double quotes.
inline std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

inline std::string asciiLowered(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = asciiLower(c);
  return r;
}

// The text with spaces appended, cut to exactly `width` bytes.
// The characters (code points) of a UTF-8 text; nothing when it is not
// well-formed UTF-8 (a text in a one-byte code page, say).
inline std::optional<std::size_t> utf8Characters(std::string_view s) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < s.size(); ++characters) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t n = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5                     ? 4
                                                                          : 0;
    if (n == 0 || i + n > s.size()) return std::nullopt;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return std::nullopt;
    i += n;
  }
  return characters;
}

inline std::string padded(std::string_view s, std::size_t width) {
  std::string r(s.substr(0, width));
  r.resize(width, ' ');
  return r;
}

// `text` without the blanks and NULs at its end.
inline std::string_view trimmedBlanksAndNulsAtEnd(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return text.substr(0, n);
}

}  // namespace mirdal
