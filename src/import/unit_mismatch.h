#pragma once

#include <string>
#include <string_view>

namespace mirdal {

// What page 3 says when a field reads a column whose unit is not the
// field's: the unit of `fieldText` is the one in its last parentheses
// ("[RA (hours)]", "Proper motion RA (arcsec/yr)"), `columnUnit` the one
// the file gives the column, read as normalizedUnit reads it. Angles and
// angles per year compare (deg, h, arcmin, arcsec, mas, uas, rad; per yr or
// a); any other unit, an unknown one or none compares with nothing. Empty
// when the units agree, do not compare, or `calcA` is not 1: a calibration
// is the user's own conversion.
std::string unitMismatch(std::string_view fieldText, std::string_view columnUnit, double calcA);

}  // namespace mirdal
