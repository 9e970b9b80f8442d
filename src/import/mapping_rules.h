#pragma once

// What the entries of each catalog type take from a byte-by-byte table, and
// what the other columns are. Internal to import/readme_mapping.cpp.
//
// Type entries: each entry of the catalog type has a list of labels it takes
// (Vmag, V, ... for the star magnitude; pmRA; Plx; SpType; Type and size for
// nebulae...); the first label of the list found in the table wins. Labels
// of three letters or more match in any letter case. A number entry takes
// its column only when the units are ones it knows (or "---"), and converts
// them: mas/yr x 0.001 to arcsec/yr, mas x 0.001 to arcsec, mmag x 0.001,
// mag/arcsec2 - 8.890756 to mag/arcmin2, and so on. A nebula size is in deg,
// arcmin or arcsec, its `nebunit`.
//
// Identifiers: labels such as HR, HD, SAO, HIP, NGC, Name, ID, Seq, or an
// explanation speaking of a designation, identification, identifier,
// catalog number or name.
//
// Qualifiers: labels n_, u_, l_, r_, q_, f_, m_, x_ (notes, uncertainty and
// limit flags, references).

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/catalog_type.h"
#include "import/column_recognition.h"
#include "input/readme_parser.h"

namespace mirdal {
namespace detail {

// ---------------------------------------------------------------------------
// Type entries

enum class Quantity {
  Any,  // text and code entries, and numbers taken as they are
  Magnitude, ProperMotion, Parallax, Separation, Angle, Year, JulianDay, Days, Velocity,
  SurfaceBrightness, Dimension, Percent,
  Colour,  // a colour index, in magnitudes
};

struct Rule {
  int field;                // record field of the entry
  std::string_view labels;  // "|"-separated, preferred first
  Quantity quantity;
};

// The rules of the entries of `type`, in the order of their fields.
std::span<const Rule> rulesOf(CatalogType type);

// Entries named by a UCD, tried before the labels: a column whose primary
// word is `primary` (or one below it, for a primary ending in '*') and that
// has every word of `also`. The first rule of an entry that finds a column
// with units it knows wins.
struct UcdRule {
  CatalogType type;
  int field;
  std::string_view primary;
  std::string_view also;  // blank-separated
  Quantity quantity;
};

// The UCD rules of every type, each entry's in the order they are tried.
std::span<const UcdRule> ucdRules();

// `words` as ucdWords gives them.
bool ucdRuleMatches(const UcdRule& rule, const std::vector<std::string>& words);

bool labelMatches(std::string_view candidate, std::string_view label);

struct Calibration {
  double a = 1.0;
  double b = 0.0;
  std::string remark;  // told to the user beside the mapping
};

// The calibration into the entry's unit, or nullopt when the column's units
// are not those of the quantity.
std::optional<Calibration> calibrationFor(Quantity q, std::string_view u);

// Whether a column of kind `kind` (see neverKind) must not fill an entry of
// quantity `q`: none fills a number entry, but a colour index its own.
bool kindRefused(Quantity q, Kind kind);

// nebunit of a size column's units: 0 Degree, 1 Minute, 2 Second.
std::optional<int> nebUnitOf(std::string_view u);

// By nebunit.
inline constexpr double kUnitsPerDegree[] = {1, 60, 3600};
inline constexpr const char* kNebUnitNames[] = {"deg", "arcmin", "arcsec"};

// ---------------------------------------------------------------------------
// Magnitudes
//
// A number column is offered as a magnitude by its UCD (phot.mag), its unit
// (mag, mmag) or its name (Vmag, phot_g_mean_mag, JAperMag3, koi_kepmag; a
// bare band name such as g, J or Ks where the table has several). Some such
// columns are never a magnitude of the star (notAMagnitude). Among the
// others the star's magnitude is the main one by UCD (phot.mag with
// meta.main or em.opt.V), then V, VT, Hp, G, r, then the first.

// `ucd` as ucdWords gives it; `bareBands`: the table has several columns
// named by a band alone.
bool looksLikeMagnitude(const ReadMeColumn& c, const std::vector<std::string>& ucd, bool bareBands);

// Whether the label alone is a band name: "g", "J", "Ks", "BP".
bool isBareBand(std::string_view label);

// Why a column that may look like a magnitude is not the star's: "an
// absolute magnitude", "an Earth-equivalent magnitude" (the star as seen
// from elsewhere), "a flux", "a limit", "a surface brightness", "a
// magnitude difference", "an amplitude"; nullptr when it may be.
const char* notAMagnitude(const ReadMeColumn& c, const std::vector<std::string>& ucd);

// The band a magnitude column names, as written ("V", "G", "r", "Kep",
// "J"); empty when neither its name nor its UCD names one. Gaia's "phot_g_"
// and "gaia" give "G".
std::string magnitudeBand(const ReadMeColumn& c, const std::vector<std::string>& ucd);

// 0 the main one by UCD, 1 V, 2 VT, 3 Hp, 4 G, 5 r or R, 6 any other.
int magnitudePreference(const ReadMeColumn& c, const std::vector<std::string>& ucd);

// ---------------------------------------------------------------------------
// Identifiers and qualifiers

bool isQualifier(std::string_view label);
bool isIdentifier(const ReadMeColumn& c);

// How strongly a column says it names its row: 0 not at all; 1 by a name
// ending in "_id" or by its explanation alone; 2 by a name catalogs and
// archives give identifiers (HD, Name, source_id, objID, designation,
// tic_id...) or a meta.id UCD; 3 by meta.id with meta.main.
int identifierStrength(const ReadMeColumn& c);

}  // namespace detail
}  // namespace mirdal
