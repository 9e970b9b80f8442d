#pragma once

// Whether a right ascension written as one decimal number is in hours or in
// degrees, decided from what a file shows of the column, with the reason
// the import summary gives. Shared by the command-line import and page 3 of
// the wizard.
//
// The evidence, strongest first:
//   1. the unit the file declares: deg (degree, degrees) degrees; h (hour,
//      hourangle) hours;
//   2. the unit the user states (--ra-unit, or the answer on page 3);
//   3. the column's name: RAh, RA_hours, ra_hour, rahr... hours; RAdeg,
//      ra_deg, RA_d... degrees;
//   4. the sampled values: any |RA| above 24 can only be degrees.
// Values all within 0-24 with none of the above tell nothing: the decision
// is left open, and the caller asks (it never guesses).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mirdal {

enum class RaUnit { Hours, Degrees };

// A position in radians is read into degrees by this factor.
constexpr double kDegreesPerRadian = 57.29577951308232;

// The words that name a unit of right ascension, each where it is taken
// for one, longest first where one word starts another:
//   stated    as the user states the unit (--ra-unit, the answer on page 3)
//   declared  as a file declares a column's unit, read as the unit's symbol
//             ("hourangle" is "h", see raUnitSymbol)
//   inName    in a column's name (RAh, ra_deg, RA_hours): `raOnly`, a
//             declination in hours is no declination; `afterBlank`, only
//             after "_" (or, for "h", right after a capital "RA": RAh)
struct RaUnitWord {
  std::string_view word;
  RaUnit unit;
  bool stated;
  bool declared;
  bool inName;
  bool raOnly;
  bool afterBlank;
};

inline constexpr RaUnitWord kRaUnitWords[] = {
    {"degrees", RaUnit::Degrees, true, true, true, false, false},
    {"degree", RaUnit::Degrees, true, true, true, false, false},
    {"degs", RaUnit::Degrees, false, false, true, false, false},
    {"deg", RaUnit::Degrees, true, true, true, false, false},
    {"hourangle", RaUnit::Hours, false, true, false, true, false},
    {"hours", RaUnit::Hours, true, true, true, true, false},
    {"hour", RaUnit::Hours, true, true, true, true, false},
    {"hrs", RaUnit::Hours, false, false, true, true, false},
    {"hr", RaUnit::Hours, false, false, true, true, false},
    {"h", RaUnit::Hours, true, true, true, true, true},
    {"d", RaUnit::Degrees, false, false, true, true, true},
};

// The symbol of a unit as files declare it: "h", "deg".
constexpr std::string_view raUnitSymbol(RaUnit unit) { return unit == RaUnit::Hours ? "h" : "deg"; }

// A stated word of kRaUnitWords ("hours", "h", "degrees", "deg"...), in any
// letter case; nullopt for anything else.
std::optional<RaUnit> parseRaUnit(std::string_view text);

// "hours", "degrees".
const char* raUnitName(RaUnit unit);

struct RaUnitEvidence {
  std::string label;                 // the column's name: "ra", "RAJ2000"
  std::string unit;                  // as the file declares it, normalized ("deg", "h"); empty: none
  std::size_t values = 0;            // sampled cells holding a number
  double largest = 0;                // the largest |value| among them
  std::optional<RaUnit> stated{};    // what the user said, when asked
};

struct RaUnitDecision {
  std::optional<RaUnit> unit;  // nullopt: the evidence cannot tell, ask
  // Why, as the summary puts it after the column: "its unit deg", "its name",
  // "values up to 359.9", "as stated"; when open, what was seen:
  // "no unit, and its 2 values all within 0-24".
  std::string reason;
};

// Throws Error when the stated unit is hours and a sampled value is above 24.
RaUnitDecision decideRaUnit(const RaUnitEvidence& evidence);

// What the name alone says: hours for RAh, RA_hours, ra_hour; degrees for
// RAdeg, ra_deg; nullopt for a name without a unit in it ("ra", "RAJ2000").
std::optional<RaUnit> raUnitOfName(std::string_view label);

}  // namespace mirdal
