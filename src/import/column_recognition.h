#pragma once

// Which part of a position a column of a byte-by-byte table holds, and the
// words of a column's UCD. Internal to import/readme_mapping.cpp and
// import/mapping_rules.cpp.
//
// Labels starting with "RA" (case counts) are right-ascension parts, told by
// their units: h hours, min minutes, s seconds, deg degrees (arcmin and
// arcsec with degrees: RA in degrees, minutes, seconds); with units "---"
// the letters after "RA" decide (RAh, RAm, RAs, RAdeg). Labels starting with
// "DEC", "Dec" or "DE" are declination parts: "DE-" the sign, deg with "DEd"
// sexagesimal degrees, deg with "DEdeg" decimal degrees, arcmin minutes,
// arcsec seconds. "SPD" is a south polar distance, "NPD" a north polar
// distance. A label part that goes on in lower case ("RAdius") is no
// position. What follows the part ("RAh1900" -> "1900", "RAJ2000" ->
// "J2000") names a set of positions.

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "input/readme_parser.h"

namespace mirdal {
namespace detail {

inline bool oneOf(std::string_view s, std::initializer_list<std::string_view> list) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

inline bool noUnits(std::string_view u) { return u.empty() || u == "---" || u == "-"; }

// ---------------------------------------------------------------------------
// Position parts

// RaSexagesimal and DecSexagesimal: all parts in one cell ("12 34 56.7",
// "-05:06:07"), which no RA or DEC mode reads from a single slot.
enum class Part {
  None,
  RaHours, RaMinutes, RaSeconds, RaDegrees, RaArcmin, RaArcsec, RaSexagesimal,
  DecSign, DecDegrees, DecDecimal, DecDegreesEither, DecMinutes, DecSeconds, Spd, Npd, DecSexagesimal,
};

inline bool isRaPart(Part p) { return p >= Part::RaHours && p <= Part::RaSexagesimal; }
inline bool isSexagesimalCell(Part p) { return p == Part::RaSexagesimal || p == Part::DecSexagesimal; }

struct PositionPart {
  Part part = Part::None;
  std::string set;  // what follows the part in the label: "", "1900", "J2000"
};

// The position part of a column: by its UCD where it has one, else by its
// label and units.
PositionPart classifyColumn(const ReadMeColumn& c);

// ---------------------------------------------------------------------------
// UCDs

// The words of a UCD in lower case, the primary one first. UCD1 names
// ("POS_EQ_RA_MAIN", "PHOT_JHN_V") are given as the words of their UCD1+
// counterpart; a UCD1 name without one stays as one word no rule asks for.
std::vector<std::string> ucdWords(std::string_view ucd);

// `word` is the UCD atom `atom` or one below it ("pos.parallax.trig" is below "pos.parallax").
bool ucdWordIs(std::string_view word, std::string_view atom);

bool hasUcdWord(const std::vector<std::string>& words, std::string_view atom);

}  // namespace detail
}  // namespace mirdal
