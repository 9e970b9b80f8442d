// What a column's datatype declares of its texts' width, and the unit
// mismatches page 3 shows beside its preview.

#include <gtest/gtest.h>

#include "import/text_widths.h"
#include "import/unit_mismatch.h"

namespace mirdal {
namespace {

TEST(TextWidths, DeclaredByTheDatatype) {
  for (const auto& [datatype, width] : {std::pair{"12A", 12}, {"A10", 10}, {"char[12]", 12}, {"char[14*]", 14},
                                        {"char[*]", 0}, {"string", 0}, {"1D", 0}})
    EXPECT_EQ(declaredTextWidth(datatype), width) << datatype;
}

TEST(UnitMismatch, AnglesAndRatesWithoutACalibration) {
  const struct {
    const char *field, *unit;
    double calcA;
    const char* warning;  // "" for none
  } cases[] = {
      {"[RA (hours)]", "deg", 1, "The column's unit is deg, the field's hours: read as they are, its values are 15 "
                                 "times too large; \"Advanced\" converts them with A = 0.0666667"},
      {"[RA decimal (degrees)]", "h", 1, "The column's unit is h, the field's degrees: read as they are, its values "
                                         "are 15 times too small; \"Advanced\" converts them with A = 15"},
      {"Proper motion RA (arcsec/yr)", "mas/yr", 1, "The column's unit is mas/yr, the field's arcsec/yr: read as they "
                                                    "are, its values are 1000 times too large; \"Advanced\" converts "
                                                    "them with A = 0.001"},
      {"Proper motion RA (arcsec/yr)", "mas/yr", 0.001, ""},
      {"Proper motion RA (arcsec/yr)", "deg", 1, ""},
      {"[DEC decimal (degrees)]", "deg", 1, ""},
      {"[RA (hours)]", "h:m:s", 1, ""},
      {"Catalog ID", "deg", 1, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(unitMismatch(c.field, c.unit, c.calcA), c.warning) << c.field << " " << c.unit;
}

}  // namespace
}  // namespace mirdal
