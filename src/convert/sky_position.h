#pragma once

#include <limits>
#include <string_view>

#include "convert/field_value.h"
#include "catalog/catalog_definition.h"
#include "input/sexagesimal.h"

namespace mirdal {

// Right ascension and declination of one input line, in degrees, and whether
// the build keeps the line.
struct SkyPosition {
  double ra = 0;
  double dec = 0;
  // False for a position the build refuses to the reject log: RA and DEC
  // both 0 (a line without a position), RA outside 0..360, DEC outside
  // -90..90, or either not a number (NaN: a component column that holds
  // something other than a number, or an infinite column minus an infinite
  // one).
  bool valid = false;
};

// The position the RA and DEC entries' slots give for `line`. `fieldSlots` are
// indexed by list position, the RA entries first (`raCount` of them), the DEC
// entries after them. A blank component counts as 0; one that is not a
// number makes the position NaN, and the line is refused rather than put at
// 0. With dectype 0 the sign column makes the declination negative only when
// it is exactly "-". Ratype 4 and dectype 3 read the whole position from one
// cell (parseSexagesimal), the declination's sign from the cell; a blank
// cell, or one that is not such a position, makes it NaN. The conversion loop and page 3's preview both call
// this, so that what the preview shows is what the build stores; it is
// forced inline so that the loop's code for every line stays as if written
// in place.
// The position from the components of a row, whatever its form:
// `number(position)` is the calibrated value of the entry at that list
// position (NaN for one that is not a number), `isMinus(position)` whether
// the sign entry says "-", `angle(position, axis)` the calibrated value of
// a one-cell position (sexagesimalNumber).
template <typename Number, typename IsMinus, typename Angle>
[[gnu::always_inline]] inline SkyPosition positionFrom(const Number& number, const IsMinus& isMinus,
                                                       const Angle& angle, int ratype, int dectype, int raCount) {
  SkyPosition p;
  switch (ratype) {
    case 0: p.ra = (number(0) + number(1) / 60 + number(2) / 3600) * 15; break;
    case 1: p.ra = number(0) * 15; break;
    case 2: p.ra = number(0) + number(1) / 60 + number(2) / 3600; break;
    case 4: p.ra = angle(0, SexagesimalAxis::Hours) * 15; break;
    default: p.ra = number(0); break;
  }
  const int c = raCount;
  switch (dectype) {
    case 0: {
      const double sign = isMinus(c) ? -1.0 : 1.0;
      p.dec = number(c + 1) * sign + number(c + 2) * sign / 60 + number(c + 3) * sign / 3600;
      break;
    }
    case 1: p.dec = number(c); break;
    case 3: p.dec = angle(c, SexagesimalAxis::Degrees); break;
    default: p.dec = number(c) - 90; break;
  }
  p.valid = !(p.ra == 0 && p.dec == 0) && p.ra >= 0 && p.ra <= 360 && p.dec >= -90 && p.dec <= 90;
  return p;
}

// A one-cell position in hours or degrees put through the calibration
// calcA * x + calcB, as a number entry's value is; NaN when the cell is none.
inline double sexagesimalNumber(std::string_view cell, SexagesimalAxis axis, double calcA, double calcB) {
  const std::optional<double> v = parseSexagesimal(cell, axis);
  return v ? calcA * *v + calcB : std::numeric_limits<double>::quiet_NaN();
}

[[gnu::always_inline]] inline SkyPosition computePosition(std::string_view line, const FieldSlot* fieldSlots,
                                                          int ratype, int dectype, int raCount) {
  auto number = [&](int position) {
    const FieldSlot& slot = fieldSlots[position];
    const std::string_view t = rawText(line, slot);
    return detail::columnNumber(t.data(), t.data() + t.size(), slot.calcA, slot.calcB, 0.0,
                                std::numeric_limits<double>::quiet_NaN());
  };
  auto isMinus = [&](int position) { return rawText(line, fieldSlots[position]) == "-"; };
  auto angle = [&](int position, SexagesimalAxis axis) {
    const FieldSlot& slot = fieldSlots[position];
    return sexagesimalNumber(rawText(line, slot), axis, slot.calcA, slot.calcB);
  };
  return positionFrom(number, isMinus, angle, ratype, dectype, raCount);
}

inline SkyPosition computePosition(std::string_view line, const CatalogDefinition& definition) {
  return computePosition(line, definition.fieldSlots.data(), definition.settings.ratype, definition.settings.dectype,
                         definition.fields().raCount());
}

}  // namespace mirdal
