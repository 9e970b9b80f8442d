#include "import/unit_mismatch.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "import/table_import.h"
#include "util/text.h"

namespace mirdal {

namespace {

// An angle, or an angle per year, in arcseconds.
struct AngleUnit {
  double arcsec = 0;
  bool perYear = false;
};

std::optional<AngleUnit> angleUnit(std::string_view unit) {
  const std::string u = normalizedUnit(unit);
  std::string_view angle = u;
  AngleUnit out;
  if (const std::size_t slash = angle.find('/'); slash != std::string_view::npos) {
    const std::string_view per = angle.substr(slash + 1);
    if (per != "yr" && per != "a") return std::nullopt;
    out.perYear = true;
    angle = angle.substr(0, slash);
  }
  struct Known {
    std::string_view name;
    double arcsec;
  };
  static constexpr Known kAngles[] = {{"deg", 3600},   {"h", 54000},    {"arcmin", 60},     {"arcsec", 1},
                                      {"mas", 1e-3},   {"uas", 1e-6},   {"rad", 206264.80624709636}};
  for (const Known& k : kAngles)
    if (angle == k.name) {
      out.arcsec = k.arcsec;
      return out;
    }
  return std::nullopt;
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

}  // namespace

std::string unitMismatch(std::string_view fieldText, std::string_view columnUnit, double calcA) {
  if (calcA != 1.0) return {};
  const std::size_t close = fieldText.rfind(')');
  const std::size_t open = fieldText.rfind('(', close);
  if (close == std::string_view::npos || open == std::string_view::npos) return {};
  const std::string_view fieldUnit = fieldText.substr(open + 1, close - open - 1);
  const std::optional<AngleUnit> field = angleUnit(fieldUnit);
  const std::optional<AngleUnit> column = angleUnit(columnUnit);
  if (!field || !column || field->perYear != column->perYear) return {};
  // A value of the column read as the field's unit is this many times too large.
  const double ratio = field->arcsec / column->arcsec;
  if (std::fabs(ratio - 1) < 1e-9) return {};
  const bool large = ratio > 1;
  return "The column's unit is " + std::string(trimmed(columnUnit)) + ", the field's " + std::string(fieldUnit) +
         ": read as they are, its values are " + number(large ? ratio : 1 / ratio) + " times too " +
         (large ? "large" : "small") + "; \"Advanced\" converts them with A = " + number(1 / ratio);
}

}  // namespace mirdal
