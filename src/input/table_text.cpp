#include "input/table_text.h"

#include "util/text.h"

namespace mirdal {

std::vector<std::string_view> splitTextLines(std::string_view text, bool complete) {
  const char end = text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos ? '\r' : '\n';
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t at = text.find(end);
    if (at == std::string_view::npos) {
      if (complete || lines.empty()) lines.push_back(text);
      break;
    }
    std::string_view line = text.substr(0, at);
    if (end == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(at + 1);
  }
  return lines;
}

bool isCommentOrBlank(std::string_view line) {
  const std::string_view t = trimmed(line);
  return t.empty() || t.front() == '#';
}

}  // namespace mirdal
