#include "build/sky_position.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "catalog/catalog_definition.h"
#include "support/catalog_checks.h"

namespace mirdal {
namespace {

// Every number column of every RA and DEC form: a blank one counts as 0, one
// that is not a number refuses the line instead of putting the object at 0.
TEST(ComputePosition, ComponentThatIsNotANumberRefusesTheLine) {
  constexpr int kWidth = 6;  // list position p in columns 1 + 6p to 6 + 6p
  for (int ratype = 0; ratype <= 3; ++ratype) {
    for (int dectype = 0; dectype <= 2; ++dectype) {
      CatalogDefinition def;
      def.setRaType(ratype);
      def.setDecType(dectype);
      const int coordinates = def.fields().firstTypePosition();
      const int sign = dectype == 0 ? def.fields().raCount() : -1;
      for (int p = 0; p < coordinates; ++p) testing::setSlot(def, p, 1 + kWidth * p, kWidth);
      auto lineWith = [&](int at, const std::string& text) {
        std::string line(static_cast<std::size_t>(kWidth * coordinates), ' ');
        for (int p = 0; p < coordinates; ++p) {
          const std::string t = p == at ? text : p == sign ? "" : "1";
          line.replace(static_cast<std::size_t>(kWidth * p), t.size(), t);
        }
        return line;
      };
      const std::string form = "ratype " + std::to_string(ratype) + " dectype " + std::to_string(dectype);
      ASSERT_TRUE(computePosition(lineWith(-1, ""), def).valid) << form;
      for (int p = 0; p < coordinates; ++p) {
        if (p == sign) continue;
        EXPECT_TRUE(computePosition(lineWith(p, " "), def).valid) << form << ", position " << p << " blank";
        for (const char* text : {"nan", "inf", "+ 10", ".", "-.", "1e", "e5", "12a", "1,5"}) {
          const SkyPosition at = computePosition(lineWith(p, text), def);
          EXPECT_FALSE(at.valid) << form << ", position " << p << " '" << text << "'";
          EXPECT_TRUE(std::isnan(at.ra) || std::isnan(at.dec)) << form << ", position " << p << " '" << text << "'";
        }
      }
    }
  }
}

}  // namespace
}  // namespace mirdal
