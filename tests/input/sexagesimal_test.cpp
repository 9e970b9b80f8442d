#include "input/sexagesimal.h"

#include <gtest/gtest.h>

#include <optional>

namespace mirdal {
namespace {

constexpr auto kH = SexagesimalAxis::Hours;
constexpr auto kD = SexagesimalAxis::Degrees;
constexpr std::optional<double> kNone;

// One-cell positions as services and archives write them, and cells that must never read as one.
TEST(Sexagesimal, CellsReadAsHoursOrSignedDegrees) {
  const struct {
    const char* cell;
    SexagesimalAxis axis;
    std::optional<double> want;  // hours or degrees
  } cases[] = {
      {"00 05 09.90", kH, 5 / 60.0 + 9.9 / 3600}, {"17:45:40.09", kH, 17 + 45 / 60.0 + 40.09 / 3600},
      {" 05h34m31.97s ", kH, 5 + 34 / 60.0 + 31.97 / 3600}, {"05h 34m 31.97", kH, 5 + 34 / 60.0 + 31.97 / 3600},
      {"05 34.5", kH, 5 + 34.5 / 60}, {"5h34m", kH, 5 + 34 / 60.0}, {"+12 00 00", kH, 12},
      {"+45 13 45.0", kD, 45 + 13 / 60.0 + 45 / 3600.0}, {"-29:00:22.1", kD, -(29 + 22.1 / 3600)},
      {"+22d00m52.2s", kD, 22 + 52.2 / 3600}, {"-00 30 00", kD, -0.5}, {"- 0 30", kD, -0.5},
      {"\xE2\x88\x92" "00 30", kD, -0.5},                                                    // the Unicode minus
      {"+22\xC2\xB0" "00\xE2\x80\xB2" "52.2\xE2\x80\xB3", kD, 22 + 52.2 / 3600},            // 22°00′52.2″
      {"-22\xB0" "00'52.2\"", kD, -(22 + 52.2 / 3600)}, {"+90 00 00", kD, 90},              // an 8-bit degree sign
      {"24 00 00", kH, kNone}, {"12 60 00", kH, kNone}, {"12 30 60.0", kH, kNone}, {"-01 00 00", kH, kNone},
      {"91 00 00", kD, kNone}, {"+90 00 01", kD, kNone}, {"12.5", kH, kNone}, {"12", kD, kNone}, {"", kH, kNone},
      {"-", kD, kNone}, {"12 34 56 7", kH, kNone}, {"12.5 30", kH, kNone}, {"12:34 56", kH, kNone},
      {"12h34 56", kH, kNone}, {"12d34m56s", kH, kNone}, {"12h34m56s", kD, kNone}, {"12:34:", kH, kNone},
      {"12 34 56.7x", kH, kNone}, {"1e1 30", kH, kNone}, {"12 -34 56", kD, kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cell);
    const std::optional<double> got = parseSexagesimal(c.cell, c.axis);
    ASSERT_EQ(got.has_value(), c.want.has_value()) << (got ? *got : 0);
    if (c.want) { EXPECT_NEAR(*got, *c.want, 1e-12); }
  }
  EXPECT_TRUE(readsAsSexagesimal("05h34m31.97s") && readsAsSexagesimal("+22d00m52.2s"));
  EXPECT_FALSE(readsAsSexagesimal("83.633"));
}

}  // namespace
}  // namespace mirdal
