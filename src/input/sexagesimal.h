#pragma once

#include <optional>
#include <string_view>

// A right ascension or declination written whole in one cell, as catalog
// services, name resolvers and archives write them: "00 05 09.90",
// "17:45:40.09", "05h34m31.97s", "05 34.5" (hours and decimal minutes),
// "5h34m"; "+45 13 45.0", "-29:00:22.1", "+22d00m52.2s", "-00 30 00",
// "+22°00′52.2″".

namespace mirdal {

enum class SexagesimalAxis {
  Hours,    // right ascension: 0 <= hours < 24, no sign but "+"
  Degrees,  // declination: the sign of the cell, |degrees| <= 90
};

// The cell's value in hours (Hours) or signed degrees (Degrees); nullopt for
// a cell that is not such a position. The grammar: blanks at either end; an
// optional sign ("+", "-" or the Unicode minus) and blanks; two or three
// unsigned parts, only the last with a fraction ("31.97", "34.5"), minutes
// and seconds below 60. The parts are parted all alike: by blanks, by ":",
// or each followed by its letter or sign (h or d/°, then m/′/', then
// s/″/"/''; the last part's may be left out), blanks allowed after a letter.
// Never a single number: a decimal column read in this mode is refused, not
// taken for hours or degrees.
std::optional<double> parseSexagesimal(std::string_view cell, SexagesimalAxis axis);

// The cell reads as a right ascension or as a declination.
bool readsAsSexagesimal(std::string_view cell);

}  // namespace mirdal
