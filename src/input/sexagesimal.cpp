#include "input/sexagesimal.h"

#include <charconv>
#include <initializer_list>
#include <system_error>

namespace mirdal {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

void skipBlanks(std::string_view& s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The length of the mark after part `part` (0, 1, 2) that `rest` starts
// with; 0 when it starts with none. UTF-8 signs first, then the byte 0xB0 of
// 8-bit texts.
std::size_t markAt(std::string_view rest, int part, SexagesimalAxis axis) {
  auto first = [&](std::initializer_list<std::string_view> marks) -> std::size_t {
    for (std::string_view m : marks)
      if (startsWith(rest, m)) return m.size();
    return 0;
  };
  switch (part) {
    case 0:
      if (axis == SexagesimalAxis::Hours) return first({"h", "H"});
      return first({"d", "D", "\xC2\xB0", "\xC2\xBA", "\xB0"});
    case 1: return first({"m", "M", "\xE2\x80\xB2", "'"});
    default: return first({"s", "S", "\xE2\x80\xB3", "''", "\""});
  }
}

enum class Parting { Unknown, Blanks, Colons, Marks };

}  // namespace

std::optional<double> parseSexagesimal(std::string_view s, SexagesimalAxis axis) {
  skipBlanks(s);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  bool negative = false;
  if (startsWith(s, "+")) {
    s.remove_prefix(1);
    skipBlanks(s);
  } else if (startsWith(s, "-") || startsWith(s, "\xE2\x88\x92")) {
    negative = true;
    s.remove_prefix(s[0] == '-' ? 1 : 3);
    skipBlanks(s);
  }
  double parts[3] = {0, 0, 0};
  int count = 0;
  Parting parting = Parting::Unknown;
  for (;;) {
    if (count == 3) return std::nullopt;
    std::size_t i = 0;
    while (i < s.size() && isDigit(s[i])) ++i;
    const std::size_t whole = i;
    const bool fraction = i < s.size() && s[i] == '.';
    if (fraction)
      for (++i; i < s.size() && isDigit(s[i]);) ++i;
    if (i - (fraction ? 1 : 0) == 0 || i > 24) return std::nullopt;
    if (whole == 0 && !fraction) return std::nullopt;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + i, parts[count]);
    if (ec != std::errc() || end != s.data() + i) return std::nullopt;
    ++count;
    s.remove_prefix(i);
    if (s.empty()) break;
    Parting here;
    if (const std::size_t mark = markAt(s, count - 1, axis)) {
      here = Parting::Marks;
      s.remove_prefix(mark);
      skipBlanks(s);
    } else if (s.front() == ':') {
      here = Parting::Colons;
      s.remove_prefix(1);
    } else if (isBlank(s.front())) {
      here = Parting::Blanks;
      skipBlanks(s);
    } else {
      return std::nullopt;
    }
    if (parting != Parting::Unknown && parting != here) return std::nullopt;
    parting = here;
    if (s.empty() && here == Parting::Marks) break;
    // Only the last part has a fraction, and nothing but its mark follows it.
    if (fraction) return std::nullopt;
  }
  if (count < 2) return std::nullopt;
  const bool hours = axis == SexagesimalAxis::Hours;
  if (hours && negative) return std::nullopt;
  if (parts[0] >= (hours ? 24 : 91) || parts[1] >= 60 || parts[2] >= 60) return std::nullopt;
  const double value = parts[0] + parts[1] / 60 + parts[2] / 3600;
  if (!hours && value > 90) return std::nullopt;
  return negative ? -value : value;
}

bool readsAsSexagesimal(std::string_view cell) {
  return parseSexagesimal(cell, SexagesimalAxis::Hours) || parseSexagesimal(cell, SexagesimalAxis::Degrees);
}

}  // namespace mirdal
