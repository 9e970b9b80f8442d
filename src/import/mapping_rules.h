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
// Identifiers and qualifiers

bool isQualifier(std::string_view label);
bool isIdentifier(const ReadMeColumn& c);

}  // namespace detail
}  // namespace mirdal
