#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"

// The per-field operations of the conversion loop: cut a column out of the
// current line, read it as a calibrated number, a raw text or a table code,
// and store values into a record at a field's offset and width. None of them
// fails, allocates or keeps state: an unreadable value becomes the caller's
// missing value or the table's no-match value.

namespace mirdal {

// --- Extraction -----------------------------------------------------------

// The bytes of `line` from column slot.firstChar (1-based; below 1 counts as
// 1) for slot.length bytes, not trimmed. Empty when the column starts past
// the end of the line or the length is 0 or less; cut at the end of the line.
std::string_view rawText(std::string_view line, const FieldSlot& slot);

// Reads a whole text as a decimal number, "." as separator, whatever the
// locale: an optional sign; digits; optionally "." and digits; optionally
// "e" or "E", an optional sign and at least one digit. Either mantissa digit
// run may be empty, so "." and "e5" read as 0, but something must follow the
// sign. No blanks are skipped. The result is correctly rounded; a number too
// large for a double gives an infinity, one too small a zero.
std::optional<double> parseDecimal(std::string_view text);

// The column trimmed and read by parseDecimal, then calcA * x + calcB of the
// slot; `missing`, unchanged, when the column is empty or not a number.
double fieldNumber(std::string_view line, const FieldSlot& slot, double missing);

// --- Code lookups -----------------------------------------------------------

// Index of the first list in which `key` followed by a comma occurs anywhere
// (a byte-exact, case-sensitive substring search), or -1.
int matchingRow(std::span<const std::string> lists, std::string_view key);

// Each takes the raw column text, trims it and looks it up by matchingRow.
// Object type: blank or no match 255; the code -1 of "Non Existant" is 255.
std::uint8_t objectTypeCode(std::string_view column, const LookupLists& lists);
// Size unit factor 1, 60 or 3600: blank or no match 60.
std::int16_t sizeUnitFactor(std::string_view column, const LookupLists& lists);
// Line operation 0, 1 or 2: blank is looked up as " "; no match -1.
std::int16_t lineOperationCode(std::string_view column, const LookupLists& lists);
// Swatch colour of the row: blank is looked up as " "; no match white.
Colour colourCode(std::string_view column, const LookupLists& lists);

inline std::uint8_t objectTypeCode(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return objectTypeCode(rawText(line, slot), lists);
}
inline std::int16_t sizeUnitFactor(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return sizeUnitFactor(rawText(line, slot), lists);
}
inline std::int16_t lineOperationCode(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return lineOperationCode(rawText(line, slot), lists);
}
inline Colour colourCode(std::string_view line, const FieldSlot& slot, const LookupLists& lists) {
  return colourCode(rawText(line, slot), lists);
}

// --- Rounding -----------------------------------------------------------------

// To the nearest integer, halves to even, whatever the floating-point
// rounding mode. Infinities and NaN come back as they are.
double roundHalfEven(double v);
// Rounded half to even and saturated to the range of the result: no
// out-of-range conversion happens. NaN gives 0.
std::int64_t roundToInt64(double v);
std::int32_t roundToInt32(double v);

// The IEEE single nearest to v; beyond the largest single it is an infinity
// of v's sign, as IEEE rounding gives (the conversion is never out of range).
float toSingle(double v);

// --- Stores -------------------------------------------------------------------

// Each writes exactly `width` bytes at the 0-based `offset` of `record`,
// little-endian; width 0 writes nothing. A numeric value takes its own size
// (4, 2 or 1 bytes); a wider field gets zero bytes after it, a narrower one
// the low bytes only. Bytes that would fall outside `record` are not written.
void storeFloat(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, double value);
void storeInt32(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int32_t value);
// Clamped to -32768..32767.
void storeInt16(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int64_t value);
// The low 8 bits of the two's complement value: 300 stores 44, -1 stores 255.
void storeByte(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::int64_t value);
// The text followed by spaces, cut to the width.
void storeText(std::span<std::uint8_t> record, std::size_t offset, std::size_t width, std::string_view text);

// --- Index names --------------------------------------------------------------

// Forms an index name into `out`: `prefix` trimmed, then `column` with every
// space (0x20) removed and a-z made upper case (every other byte as it is),
// cut to out.size(). Returns the number of bytes written, or nullopt when the
// column holds nothing but spaces (the source gives no name; the prefix
// alone never makes one).
std::optional<std::size_t> formIndexName(std::string_view column, std::string_view prefix, std::span<char> out);

}  // namespace mirdal
