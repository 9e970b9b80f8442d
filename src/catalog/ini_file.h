#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "util/file_system.h"

namespace mirdal {

// An INI text held in memory with private-profile semantics, so that a whole
// project is parsed once and written once while behaving like key-by-key
// profile calls:
//  - section and key names match without regard to the case of A-Z;
//  - the first matching section, and in it the first matching key, wins;
//  - a write replaces the value of an existing key in place, appends a missing
//    key after the last non-blank line of its section and a missing section at
//    the end of the text; every other line stays as it was;
//  - a read drops blanks (codes 0..32) at both ends of the value, then one pair
//    of enclosing matching quotes (" or '), and keeps at most 2047 characters.
// Lines may end in CR LF, LF or CR when read; every line is written with CR LF.
class IniFile {
 public:
  static constexpr std::size_t kMaxValueLength = 2047;
  // Bytes read from a file; anything after them is taken as absent.
  static constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

  IniFile() = default;
  explicit IniFile(std::string_view text);

  // Throws the file system's Error (naming the file and the reason) when the
  // file cannot be opened or read.
  static IniFile load(const std::string& path, FileSystem& fs);
  // The first kMaxFileBytes bytes of the file; `whole` tells whether that was
  // all of it. Throws as load() does.
  static std::string readText(const std::string& path, FileSystem& fs, bool& whole);

  bool hasSection(std::string_view section) const;
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  std::string value(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The value without the 2047-character cap, for callers that refuse a
  // longer value rather than take part of it.
  std::optional<std::string> wholeValue(std::string_view section, std::string_view key) const;

  // The value is stored in the form that reads back as the same text: it is
  // put in double quotes when blanks at its ends or enclosing quotes would
  // otherwise be dropped, and a CR or LF in it becomes a blank, since a line
  // break would end the line and could start a key of its own.
  void setValue(std::string_view section, std::string_view key, std::string_view value);

  // The whole text, every line ended by CR LF.
  std::string text() const;
  // Creates or truncates the file and writes text(); throws the file system's Error.
  void save(const std::string& path, FileSystem& fs) const;

  // The text written after "key=" for `value` (see setValue).
  static std::string storedForm(std::string_view value);
  // What a read returns for the raw text after "=": blanks and one pair of
  // enclosing quotes dropped, cut to `limit` characters.
  static std::string readForm(std::string_view raw, std::size_t limit = kMaxValueLength);

 private:
  struct Section {
    std::string header;              // the line as read, "[Page1]"
    std::vector<std::string> lines;  // the lines after the header, up to the next section
    std::unordered_map<std::string, std::size_t> keys;  // lower-cased name -> first key line
  };

  const Section* findSection(std::string_view name) const;
  std::optional<std::string_view> rawValue(std::string_view section, std::string_view key) const;
  void addLine(std::string line);

  std::string bom_;
  std::vector<std::string> preamble_;  // lines before the first section: kept, never read
  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;  // lower-cased name -> first section
};

}  // namespace mirdal
