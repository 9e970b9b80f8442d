#pragma once

#include <string_view>
#include <vector>

// Helpers shared by the readers of delimited, ECSV and MRT tables.

namespace mirdal {

// The UTF-8 byte order mark that some writers put before the first line.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr std::string_view withoutByteOrderMark(std::string_view text) {
  return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? text.substr(kByteOrderMark.size()) : text;
}

// The lines of `text`: split at LF with one CR before it dropped, or, in a
// text without LF, at CR. When `text` is not `complete` its last line may be
// cut, and is left out unless it is the only line.
std::vector<std::string_view> splitTextLines(std::string_view text, bool complete);

// Lines that hold no row: blanks only, or `#` as the first byte other than
// blanks.
bool isCommentOrBlank(std::string_view line);

}  // namespace mirdal
