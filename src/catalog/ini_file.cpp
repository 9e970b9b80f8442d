#include "catalog/ini_file.h"

#include <algorithm>

#include "util/text.h"

namespace mirdal {

namespace {

// The name inside "[...]" when the line is a section header: up to the first
// "]", or to the end of the line when there is none.
std::optional<std::string_view> sectionNameOf(std::string_view line) {
  std::string_view t = trimmed(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  t.remove_prefix(1);
  return trimmed(t.substr(0, t.find(']')));
}

// Position of the "=" of a key line whose name is not empty.
std::optional<std::size_t> equalsOf(std::string_view line) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos || trimmed(line.substr(0, eq)).empty()) return std::nullopt;
  return eq;
}

std::string_view keyNameOf(std::string_view line, std::size_t eq) { return trimmed(line.substr(0, eq)); }

bool isQuote(char c) { return c == '"' || c == '\''; }

}  // namespace

IniFile::IniFile(std::string_view text) {
  // An editor may have put a UTF-8 byte-order mark before the first section.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) {
    bom_ = kBom;
    text.remove_prefix(kBom.size());
  }
  std::size_t start = 0;
  const std::size_t n = text.size();
  while (start < n) {
    std::size_t end = start;
    while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
    addLine(std::string(text.substr(start, end - start)));
    if (end < n && text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

void IniFile::addLine(std::string line) {
  if (auto name = sectionNameOf(line)) {
    sectionIndex_.try_emplace(asciiLowered(*name), sections_.size());
    sections_.push_back(Section{std::move(line), {}, {}});
    return;
  }
  if (sections_.empty()) {
    preamble_.push_back(std::move(line));
    return;
  }
  Section& s = sections_.back();
  if (auto eq = equalsOf(line)) s.keys.try_emplace(asciiLowered(keyNameOf(line, *eq)), s.lines.size());
  s.lines.push_back(std::move(line));
}

std::string IniFile::readText(const std::string& path, FileSystem& fs, bool& whole) {
  auto file = fs.open(path, OpenMode::ReadRegular);
  std::string text;
  // One byte beyond the cap tells a file of exactly the cap from a longer one.
  const std::size_t cap = kMaxFileBytes + 1;
  std::size_t want = cap;
  std::int64_t size = file->size();
  if (size >= 0) want = std::min<std::size_t>(want, static_cast<std::size_t>(size) + 1);
  text.resize(want);
  std::size_t got = 0;
  // A file may grow or shrink while it is read; read until the cap or its end.
  for (;;) {
    if (got == text.size()) {
      if (text.size() >= cap) break;
      text.resize(std::min(cap, std::max<std::size_t>(text.size() * 2, 4096)));
    }
    std::size_t r = file->read(text.data() + got, text.size() - got);
    if (r == 0) break;
    got += r;
  }
  file->close();
  whole = got <= kMaxFileBytes;
  text.resize(std::min(got, kMaxFileBytes));
  return text;
}

IniFile IniFile::load(const std::string& path, FileSystem& fs) {
  bool whole = false;
  return IniFile(readText(path, fs, whole));
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  auto it = sectionIndex_.find(asciiLowered(trimmed(name)));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

bool IniFile::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

std::string IniFile::readForm(std::string_view raw, std::size_t limit) {
  std::string_view v = trimmed(raw);
  if (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return std::string(v.substr(0, limit));
}

std::string IniFile::storedForm(std::string_view value) {
  std::string s(value);
  std::replace(s.begin(), s.end(), '\r', ' ');
  std::replace(s.begin(), s.end(), '\n', ' ');
  bool quote = !s.empty() && (isBlank(s.front()) || isBlank(s.back()) ||
                              (s.size() >= 2 && isQuote(s.front()) && s.back() == s.front()));
  return quote ? "\"" + s + "\"" : s;
}

std::optional<std::string_view> IniFile::rawValue(std::string_view section, std::string_view key) const {
  const Section* s = findSection(section);
  if (!s) return std::nullopt;
  auto it = s->keys.find(asciiLowered(trimmed(key)));
  if (it == s->keys.end()) return std::nullopt;
  const std::string& line = s->lines[it->second];
  return std::string_view(line).substr(line.find('=') + 1);
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
  auto raw = rawValue(section, key);
  return raw ? std::optional<std::string>(readForm(*raw)) : std::nullopt;
}

std::optional<std::string> IniFile::wholeValue(std::string_view section, std::string_view key) const {
  auto raw = rawValue(section, key);
  return raw ? std::optional<std::string>(readForm(*raw, std::string::npos)) : std::nullopt;
}

std::string IniFile::value(std::string_view section, std::string_view key, std::string_view fallback) const {
  auto v = value(section, key);
  return v ? *v : std::string(fallback);
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
  std::string sectionName = asciiLowered(trimmed(section));
  auto sit = sectionIndex_.find(sectionName);
  if (sit == sectionIndex_.end()) {
    sit = sectionIndex_.emplace(sectionName, sections_.size()).first;
    sections_.push_back(Section{"[" + std::string(trimmed(section)) + "]", {}, {}});
  }
  Section& s = sections_[sit->second];
  std::string keyName = asciiLowered(trimmed(key));
  auto kit = s.keys.find(keyName);
  if (kit != s.keys.end()) {
    std::string& line = s.lines[kit->second];
    line.resize(line.find('=') + 1);
    line += storedForm(value);
    return;
  }
  // Only blank lines follow the insertion point, so no key line moves.
  std::size_t at = s.lines.size();
  while (at > 0 && trimmed(s.lines[at - 1]).empty()) --at;
  s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at),
                 std::string(trimmed(key)) + "=" + storedForm(value));
  s.keys.emplace(std::move(keyName), at);
}

std::string IniFile::text() const {
  std::string out = bom_;
  auto put = [&out](const std::string& line) {
    out += line;
    out += "\r\n";
  };
  for (const auto& line : preamble_) put(line);
  for (const auto& s : sections_) {
    put(s.header);
    for (const auto& line : s.lines) put(line);
  }
  return out;
}

void IniFile::save(const std::string& path, FileSystem& fs) const {
  std::string bytes = text();
  auto file = fs.open(path, OpenMode::Create);
  file->write(bytes.data(), bytes.size());
  file->close();
}

}  // namespace mirdal
