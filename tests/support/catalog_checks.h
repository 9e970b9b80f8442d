#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "catalog/catalog_definition.h"
#include "output/catalog_reader.h"

// Helpers for tests that build catalogs and look at what was written.
namespace mirdal::testing {

// Sets the column of list position `position` and ticks it (or not).
inline void setSlot(CatalogDefinition& def, int position, int first, int length, bool tick = true) {
  auto& slot = def.fieldSlots.at(static_cast<std::size_t>(position));
  slot.firstChar = first;
  slot.length = length;
  def.setTicked(position, tick);
}

// A star catalog with RA and DEC in decimal degrees (list positions 0 and 1;
// 2 ID, 3 magnitude, ...): name, inputs, line ends and output directory set,
// every other setting at its default.
inline CatalogDefinition decimalStars(std::string shortname, std::vector<std::string> inputs, int eol,
                                      std::string outputDir) {
  CatalogDefinition def;
  def.setRaType(3);
  def.setDecType(1);
  def.settings.shortname = std::move(shortname);
  def.settings.inputfiles = std::move(inputs);
  def.settings.eol = eol;
  def.settings.ouputdir = std::move(outputDir);
  return def;
}

// The lines, each ended by LF.
inline std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

// A fixed-column line: each text placed at its 1-based column, blanks between.
inline std::string columns(std::initializer_list<std::pair<int, std::string_view>> parts) {
  std::string line;
  for (const auto& [column, text] : parts) {
    const std::size_t at = static_cast<std::size_t>(column - 1);
    if (line.size() < at + text.size()) line.resize(at + text.size(), ' ');
    line.replace(at, text.size(), text);
  }
  return line;
}

// Little-endian encodings, for expected bytes.
inline std::string le32(std::uint32_t v) {
  std::string b(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}
inline std::string le16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string f32(float v) { return le32(std::bit_cast<std::uint32_t>(v)); }

// The 32-bit little-endian integers at `offset` of `bytes`.
inline std::vector<std::int32_t> int32sAt(std::string_view bytes, std::size_t offset, std::size_t count) {
  std::vector<std::int32_t> out;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t v = 0;
    for (std::size_t b = 4; b-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + 4 * i + b));
    out.push_back(static_cast<std::int32_t>(v));
  }
  return out;
}

// Record field `number` of a decoded record.
inline const FieldValue& fieldOf(const std::vector<FieldValue>& fields, int number) {
  for (const FieldValue& f : fields)
    if (f.field == number) return f;
  throw std::out_of_range("record field " + std::to_string(number) + " is not in the record");
}
inline std::int64_t intOf(const std::vector<FieldValue>& fields, int number) {
  return std::get<std::int64_t>(fieldOf(fields, number).value);
}
inline double floatOf(const std::vector<FieldValue>& fields, int number) {
  return std::get<double>(fieldOf(fields, number).value);
}
inline std::string textOf(const std::vector<FieldValue>& fields, int number) {
  return std::get<std::string>(fieldOf(fields, number).value);
}

// The stored RA and DEC fields (milliarcseconds; DEC counted from -90).
inline std::int64_t storedRa(std::string_view record) { return int32sAt(record, 0, 1)[0]; }
inline std::int64_t storedDec(std::string_view record) { return int32sAt(record, 4, 1)[0]; }

// Every non-empty region of a catalog: (region number, records).
inline std::vector<std::pair<int, std::vector<std::string>>> nonEmptyRegions(const CatalogReader& reader) {
  std::vector<std::pair<int, std::vector<std::string>>> out;
  for (int r = 1; r <= reader.regionCount(); ++r)
    if (reader.regionRecordCount(r) > 0) out.emplace_back(r, reader.readRegion(r));
  return out;
}

inline std::int64_t totalRecords(const CatalogReader& reader) {
  std::int64_t n = 0;
  for (int r = 1; r <= reader.regionCount(); ++r) n += reader.regionRecordCount(r);
  return n;
}

}  // namespace mirdal::testing
