#pragma once

// Which part of a position a column of a byte-by-byte table holds, what a
// column must never be taken for, and the words of a column's UCD. Internal
// to import/readme_mapping.cpp and import/mapping_rules.cpp.
//
// Archive names, in any letter case, are tried first (archivePositionName):
// an axis word (RA, alpha, right_ascension; DEC, DE, delta, declination) after
// an optional "_" (also decl), then nothing but set words (J2000, 2000, B1950, ICRS, FK5,
// FK4) and unit words (deg, degrees; for RA also hours, hr, and "h" or "d"
// after "_"), with or without "_" between them: ra, RAJ2000, RA_ICRS, RAdeg,
// ra_deg, ALPHA_J2000, _RAJ2000, RA_hours, dec, DEJ2000, DELTA_J2000...
// Such a right ascension is RaDecimal: one number whose unit the evidence
// decides (import/position_units.h).
//
// Otherwise labels starting with "RA" (case counts) are right-ascension parts, told by
// their units: h hours, min minutes, s seconds, deg (or rad) degrees (arcmin and
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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/position_units.h"
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
// "-05:06:07", "05h34m31.97s"), read by ratype 4 and dectype 3. RaDecimal:
// one number in hours or degrees, which the mapper settles from the evidence
// before it forms the sets.
enum class Part {
  None,
  RaHours, RaMinutes, RaSeconds, RaDegrees, RaArcmin, RaArcsec, RaDecimal, RaSexagesimal,
  DecSign, DecDegrees, DecDecimal, DecDegreesEither, DecMinutes, DecSeconds, Spd, Npd, DecSexagesimal,
};

inline bool isRaPart(Part p) { return p >= Part::RaHours && p <= Part::RaSexagesimal; }
inline bool isSexagesimalCell(Part p) { return p == Part::RaSexagesimal || p == Part::DecSexagesimal; }

struct PositionPart {
  Part part = Part::None;
  std::string set;  // what follows the part in the label: "", "1900", "J2000"
};

// The position part of a column: by its UCD where it has one, else by its
// label and units. A column of a kind that never holds a position (below)
// holds none.
PositionPart classifyColumn(const ReadMeColumn& c);

// What an archive name says of a position column (see above); axis None when
// the name is not one.
struct PositionName {
  enum class Axis { None, Ra, Dec } axis = Axis::None;
  std::string set;                 // the set words in capitals: "J2000", "ICRS", ""
  std::optional<RaUnit> unit{};    // from a unit word
};
PositionName archivePositionName(std::string_view label);

// ---------------------------------------------------------------------------
// Kinds a column must never fill a magnitude, a position or any other number
// entry with (a colour index fills the colour entry only). Told by one rule
// table: the UCD's primary word (stat.error, meta.code, phot.color.excess,
// phys.absorption, phot.color), the name in any letter case (e_, sig, err
// anywhere: _error, magerr1; f_, q_, flag; E(B-V), EBV; A_V, AK, a_g_val, ag_gspphot, ext;
// B-V, BP-RP, bp_rp, g_r), and words of the explanation (reddening, colour
// excess; extinction or absorption, unless corrected for).
enum class Kind { None, Error, Flag, Reddening, Extinction, Colour };

// `ucd` as ucdWords gives it.
Kind neverKind(const ReadMeColumn& c, const std::vector<std::string>& ucd);

// "an error", "a flag", "a reddening", "an extinction", "a colour index".
const char* kindName(Kind kind);

// A galactic longitude or latitude: by its UCD (pos.galactic.lon,
// pos.galactic.lat), or by a name in any letter case (glon, glat, gal_long,
// gal_lat, lii, bii; l and b in degrees).
bool isGalacticColumn(const ReadMeColumn& c, const std::vector<std::string>& ucd);

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
