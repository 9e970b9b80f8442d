#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "convert/sky_position.h"
#include "catalog/catalog_definition.h"
#include "catalog/mapping_tables.h"

// What one line of a catalog gives, field by field, as page 3 shows it while
// the user lays the fields out: the same extraction, calibration, lookup and
// position rules as the conversion loop, told in words.

namespace mirdal {

// Where a slot's columns fall in a line, as rawText cuts them.
enum class ColumnReach {
  NoColumn,  // length 0 or less: the field reads nothing
  Inside,    // every column lies in the line
  CutAtEnd,  // starts in the line and runs past its end
  PastEnd,   // starts after the last character
};

ColumnReach columnReach(std::string_view line, const FieldSlot& slot);

struct FieldPreview {
  ColumnReach reach = ColumnReach::NoColumn;
  std::string column;  // the bytes the slot cuts out, untrimmed
  // The field takes its missing value (blank or unreadable number), its
  // table's no-match value, or 0 for a blank RA or DEC component.
  bool missing = false;
  // The value in words: "16.361 -> 16361", "\"MS 0002024\"",
  // "GALXY: Galaxy, code 1", "99 (missing) -> 32767".
  std::string value;
  // The colour of a colour field (also the white of no match).
  std::optional<Colour> colour;
};

// The field at list position `position` of the definition's field list for
// `line`; the lookups are the definition's tables, prepared by the caller.
FieldPreview previewField(std::string_view line, const CatalogDefinition& definition, int position,
                          const LookupLists& lookups);

// Why the build refuses a position to the reject log, for people; empty for
// a valid one.
std::string refusalReason(const SkyPosition& position);

// What page 3 tells of its sample line, in plain text: the current field
// and the position the line gives. The window only lays it out.
struct LinePreview {
  std::optional<FieldPreview> field;  // nothing when no field is current
  // Said before the field's value: why the field reads nothing from this
  // line, or that its column lies past or across the line's end; or empty.
  std::string problem;
  std::string prefix;       // "No column: " for a field that reads no column
  bool notTicked = false;   // a field other than RA and DEC that is not ticked
  SkyPosition position;
  // Why the build refuses the line; empty when it converts it.
  std::string refusal;
  bool refused = false;
};

// `line` read by `definition` (for delimited rows: a copy whose slots point
// at the line's cells). `current`: the list position shown, or -1.
// `slotProblem`: why the current slot finds no cell in the row, and
// `rowProblem`: why the build refuses the row before looking at its
// position (both empty for fixed columns).
LinePreview previewLine(std::string_view line, const CatalogDefinition& definition, int current,
                        const LookupLists& lookups, std::string_view slotProblem, std::string_view rowProblem);

// Number with `decimals` digits after the point, "." whatever the locale;
// "nan", "inf" and "-inf" for those.
std::string formatFixed(double value, int decimals);
// At most ten significant digits, no trailing zeros ("16.361", "2451545.5",
// "1e+20"); "." whatever the locale.
std::string formatNumber(double value);
// Right ascension in degrees as hours: "20h 01m 06.33s". Seconds are rounded
// to 0.01 with the carry taken up ("23h 59m 60.00s" never appears; 360
// degrees is "24h 00m 00.00s").
std::string formatHours(double degrees);
// An angle in degrees, signed: "-04\xB0 59' 12.7\"" (0xB0 is the degree sign
// of the catalogs' 8-bit character set), seconds rounded to 0.1.
std::string formatDegrees(double degrees);

}  // namespace mirdal
