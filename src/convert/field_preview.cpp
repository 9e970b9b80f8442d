#include "convert/field_preview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "convert/field_value.h"
#include "util/text.h"

namespace mirdal {

namespace {


std::string nonFinite(double v) {
  if (std::isnan(v)) return "nan";
  return v < 0 ? "-inf" : "inf";
}

// The shortest text of the single-precision value, as the record holds it.
std::string singleText(float v) {
  if (!std::isfinite(v)) return nonFinite(v);
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc{} ? std::string(buf, end) : std::string();
}

std::string number(std::string_view column, double value, bool missing) {
  std::string s = formatNumber(value);
  if (!missing) return s;
  return s + (trimmed(column).empty() ? " (missing: blank)" : " (missing: not a number)");
}

}  // namespace

ColumnReach columnReach(std::string_view line, const FieldSlot& slot) {
  if (slot.length <= 0) return ColumnReach::NoColumn;
  const std::int64_t start = slot.firstChar < 1 ? 0 : std::int64_t{slot.firstChar} - 1;
  const auto size = static_cast<std::int64_t>(line.size());
  if (start >= size) return ColumnReach::PastEnd;
  if (start + slot.length > size) return ColumnReach::CutAtEnd;
  return ColumnReach::Inside;
}

namespace {

// A number field: the number read (or the field's missing value) and, where
// the record holds something else, what it stores.
void previewNumber(FieldPreview& p, std::string_view line, const FieldSlot& slot, const FieldEntry& entry) {
  const std::string_view column = rawText(line, slot);
  p.missing = !parseDecimal(trimmed(column)).has_value();
  switch (entry.kind) {
    case ValueKind::Coordinate: p.value = number(column, fieldNumber(line, slot, 0.0), p.missing); break;
    case ValueKind::Scaled16: {
      const double v = fieldNumber(line, slot, entry.missing);
      const std::int64_t stored = std::clamp<std::int64_t>(roundToInt64(v * entry.scale), -32768, 32767);
      p.value = number(column, v, p.missing) + ", stored " + std::to_string(stored);
      break;
    }
    case ValueKind::Float: {
      const double v = fieldNumber(line, slot, entry.missing);
      p.value = number(column, v, p.missing);
      const std::string stored = singleText(toSingle(v));
      if (stored != formatNumber(v)) p.value += ", stored " + stored;
      break;
    }
    case ValueKind::Byte: {
      const double v = fieldNumber(line, slot, entry.missing);
      const std::int64_t stored = static_cast<std::uint8_t>(roundToInt64(v) & 0xFF);
      p.value = number(column, v, p.missing);
      if (formatNumber(static_cast<double>(stored)) != formatNumber(v)) p.value += ", stored " + std::to_string(stored);
      break;
    }
    default: break;
  }
}

// A whole position in one cell (ratype 4, dectype 3): hours or degrees, or
// why the line gets no position from it.
void previewOneCellPosition(FieldPreview& p, std::string_view column, const FieldSlot& slot, SexagesimalAxis axis) {
  const bool hours = axis == SexagesimalAxis::Hours;
  const double v = sexagesimalNumber(column, axis, slot.calcA, slot.calcB);
  p.missing = std::isnan(v);
  if (!p.missing)
    p.value = formatNumber(v) + (hours ? " hours" : " degrees");
  else if (trimmed(column).empty())
    p.value = "blank (no position)";
  else
    p.value = quoted(trimmed(column)) + (hours ? " is no hours, minutes, seconds" : " is no degrees, minutes, seconds") +
              " (no position)";
}

// The table fields: the row the trimmed column matches, or what a blank or
// unknown text gives.
void previewObjectType(FieldPreview& p, std::string_view column, std::string_view key, const LookupLists& lookups) {
  const int code = objectTypeCode(column, lookups);
  const int row = key.empty() ? -1 : matchingRow(lookups.objectTypes, key);
  p.missing = row < 0;
  if (key.empty())
    p.value = "blank: no object type, code " + std::to_string(code);
  else if (row < 0)
    p.value = quoted(key) + " matches no object type, code " + std::to_string(code);
  else
    p.value = quoted(key) + ": " + std::string(kObjectTypeTable[static_cast<std::size_t>(row)].name) + ", code " +
              std::to_string(code);
}

void previewSizeUnit(FieldPreview& p, std::string_view column, std::string_view key, const LookupLists& lookups) {
  const int factor = sizeUnitFactor(column, lookups);
  const int row = key.empty() ? -1 : matchingRow(lookups.sizeUnits, key);
  p.missing = row < 0;
  const std::string units = std::to_string(factor) + " per degree";
  if (key.empty())
    p.value = "blank: " + units + " (missing)";
  else if (row < 0)
    p.value = quoted(key) + " matches no unit: " + units + " (missing)";
  else
    p.value = quoted(key) + ": " + std::string(kSizeUnitTable[static_cast<std::size_t>(row)].name) + ", " + units;
}

void previewLineOperation(FieldPreview& p, std::string_view column, std::string_view key,
                          const LookupLists& lookups) {
  const int code = lineOperationCode(column, lookups);
  const int row = matchingRow(lookups.lineOperations, key.empty() ? std::string_view(" ") : key);
  p.missing = row < 0;
  if (row < 0)
    p.value = quoted(key) + " matches no line operation, code " + std::to_string(code) + " (stored 255)";
  else
    p.value = quoted(key) + ": " + std::string(kLineOperationTable[static_cast<std::size_t>(row)].name) + ", code " +
              std::to_string(code);
}

void previewColour(FieldPreview& p, std::string_view column, std::string_view key, const LookupLists& lookups) {
  const Colour c = colourCode(column, lookups);
  const int row = matchingRow(lookups.colours, key.empty() ? std::string_view(" ") : key);
  p.missing = row < 0;
  p.colour = c;
  char rgb[32];
  std::snprintf(rgb, sizeof rgb, "red %u green %u blue %u", c & 0xFFu, (c >> 8) & 0xFFu, (c >> 16) & 0xFFu);
  if (row < 0)
    p.value = quoted(key) + " matches no colour: white, " + rgb;
  else
    p.value = quoted(key) + ": colour " + std::to_string(row + 1) + ", " + rgb;
}

}  // namespace

FieldPreview previewField(std::string_view line, const CatalogDefinition& definition, int position,
                          const LookupLists& lookups) {
  FieldPreview p;
  const FieldCatalogue& fields = definition.fields();
  if (position < 0 || position >= fields.size() || position >= kSlotCount) return p;
  const FieldEntry& entry = fields.entry(position);
  const FieldSlot& slot = definition.fieldSlots[static_cast<std::size_t>(position)];
  p.reach = columnReach(line, slot);
  const std::string_view column = rawText(line, slot);
  p.column = std::string(column);
  const std::string_view key = trimmed(column);

  switch (entry.kind) {
    case ValueKind::Coordinate:
      // With dectype 0 the first DEC entry is the sign column.
      if (definition.settings.dectype == 0 && position == fields.raCount()) {
        p.value = column == "-" ? "- (south)" : "+ (north)";
        break;
      }
      if (definition.settings.ratype == 4 && position == 0) {
        previewOneCellPosition(p, column, slot, SexagesimalAxis::Hours);
        break;
      }
      if (definition.settings.dectype == 3 && position == fields.raCount()) {
        previewOneCellPosition(p, column, slot, SexagesimalAxis::Degrees);
        break;
      }
      previewNumber(p, line, slot, entry);
      break;
    case ValueKind::Text: p.value = quoted(column); break;
    case ValueKind::Scaled16:
    case ValueKind::Float:
    case ValueKind::Byte: previewNumber(p, line, slot, entry); break;
    case ValueKind::ObjectType: previewObjectType(p, column, key, lookups); break;
    case ValueKind::SizeUnit: previewSizeUnit(p, column, key, lookups); break;
    case ValueKind::LineOperation: previewLineOperation(p, column, key, lookups); break;
    case ValueKind::Colour: previewColour(p, column, key, lookups); break;
  }
  return p;
}

std::string refusalReason(const SkyPosition& position) {
  if (position.valid) return {};
  if (std::isnan(position.ra) || std::isnan(position.dec)) return "the position is not a number";
  if (position.ra == 0 && position.dec == 0) return "RA and DEC are both 0";
  if (!(position.ra >= 0 && position.ra <= 360)) return "RA lies outside 0 to 360 degrees";
  return "DEC lies outside -90 to +90 degrees";
}

std::string formatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return nonFinite(value);
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return ec == std::errc{} ? std::string(buf, end) : formatNumber(value);
}

std::string formatNumber(double value) {
  if (!std::isfinite(value)) return nonFinite(value);
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 10);
  return ec == std::errc{} ? std::string(buf, end) : std::string();
}

namespace {

// Splits |value| into whole units, sixtieths and the rest counted in 1/`parts`
// of a sixtieth of a sixtieth, after rounding to that last unit.
struct Sexagesimal {
  bool negative;
  long long whole, minutes, seconds, fraction;
};

std::optional<Sexagesimal> split(double value, long long parts) {
  if (!(std::fabs(value) < 1e9)) return std::nullopt;
  const auto total = static_cast<long long>(std::llround(std::fabs(value) * 3600.0 * static_cast<double>(parts)));
  Sexagesimal s;
  s.negative = value < 0 && total != 0;
  s.fraction = total % parts;
  s.seconds = (total / parts) % 60;
  s.minutes = (total / parts / 60) % 60;
  s.whole = total / parts / 3600;
  return s;
}

}  // namespace

std::string formatHours(double degrees) {
  const std::optional<Sexagesimal> s = split(degrees / 15, 100);
  if (!s) return formatNumber(degrees / 15) + "h";
  char buf[80];
  std::snprintf(buf, sizeof buf, "%s%02lldh %02lldm %02lld.%02llds", s->negative ? "-" : "", s->whole, s->minutes,
                s->seconds, s->fraction);
  return buf;
}

std::string formatDegrees(double degrees) {
  const std::optional<Sexagesimal> s = split(degrees, 10);
  if (!s) return formatNumber(degrees) + "\xB0";
  char buf[80];
  std::snprintf(buf, sizeof buf, "%s%02lld\xB0 %02lld' %02lld.%01lld\"", s->negative ? "-" : "+", s->whole,
                s->minutes, s->seconds, s->fraction);
  return buf;
}

LinePreview previewLine(std::string_view line, const CatalogDefinition& definition, int current,
                        const LookupLists& lookups, std::string_view slotProblem, std::string_view rowProblem) {
  LinePreview out;
  if (current >= 0) {
    const FieldPreview p = previewField(line, definition, current, lookups);
    switch (p.reach) {
      case ColumnReach::NoColumn:
        out.prefix = "No column: ";
        out.problem = slotProblem;
        break;
      case ColumnReach::PastEnd:
        out.problem = "Past the end of the sample line (" + std::to_string(line.size()) + " characters)";
        break;
      case ColumnReach::CutAtEnd:
        out.problem = "Cut at the end of the sample line (column " + std::to_string(line.size()) + ")";
        break;
      case ColumnReach::Inside: break;
    }
    out.notTicked = definition.fields().entry(current).kind != ValueKind::Coordinate && !definition.ticked(current);
    out.field = p;
  }
  out.position = computePosition(line, definition);
  out.refusal = !rowProblem.empty() ? std::string(rowProblem) : refusalReason(out.position);
  out.refused = !out.position.valid || !out.refusal.empty();
  return out;
}

}  // namespace mirdal
