#include "import/position_units.h"

#include <charconv>

#include "import/column_recognition.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {

namespace {

// The shortest text that reads back as `v`: 359.9, 24.5, 7.655.
std::string shortest(double v) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace

std::optional<RaUnit> parseRaUnit(std::string_view text) {
  // The words are lower case.
  for (const RaUnitWord& w : kRaUnitWords)
    if (w.stated && equalNoCase(trimmed(text), w.word)) return w.unit;
  return std::nullopt;
}

const char* raUnitName(RaUnit unit) { return unit == RaUnit::Hours ? "hours" : "degrees"; }

std::optional<RaUnit> raUnitOfName(std::string_view label) {
  const detail::PositionName name = detail::archivePositionName(label);
  return name.axis == detail::PositionName::Axis::Ra ? name.unit : std::nullopt;
}

RaUnitDecision decideRaUnit(const RaUnitEvidence& e) {
  if (e.unit == "deg") return {RaUnit::Degrees, "its unit deg"};
  if (e.unit == "h") return {RaUnit::Hours, "its unit h"};
  // A stated unit that the values disprove would build every position
  // wrong (or reject most of them): refused, with the value that disproves it.
  if (e.stated == RaUnit::Hours && e.values > 0 && e.largest > 24)
    throw Error("the right ascension \"" + e.label + "\" is stated to be in hours, but its values go up to " +
                shortest(e.largest) + ", which only degrees reach");
  if (e.stated) return {e.stated, "as stated"};
  if (const std::optional<RaUnit> byName = raUnitOfName(e.label)) return {byName, "its name"};
  if (e.values > 0 && e.largest > 24) return {RaUnit::Degrees, "values up to " + shortest(e.largest)};
  if (e.values == 0) return {std::nullopt, "no unit, and no value to look at"};
  return {std::nullopt, "no unit, and " +
                            (e.values == 1 ? std::string("its only value ") + shortest(e.largest) + " is"
                                           : "its " + std::to_string(e.values) + " values are all") +
                            " within 0-24"};
}

}  // namespace mirdal
