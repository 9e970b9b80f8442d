#include "convert/magnitude_scan.h"

#include <gtest/gtest.h>

namespace mirdal {
namespace {

// Rounded up to the next tenth; a tenth already reached stays, whatever
// binary fraction the magnitude is held in.
TEST(MagnitudeScan, LimitIsTheNextTenthUp) {
  const std::pair<double, double> cases[] = {{8.0, 8.0}, {7.96, 8.0}, {8.01, 8.1}, {16.3, 16.3},
                                             {5.25, 5.3}, {-1.46, -1.4}, {0.0, 0.0}, {12.999, 13.0}};
  for (const auto& [faintest, limit] : cases) EXPECT_DOUBLE_EQ(magnitudeLimitFor(faintest), limit) << faintest;
}

}  // namespace
}  // namespace mirdal
