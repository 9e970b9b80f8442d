// One-cell positions as catalog services and archives write them, and the
// cells that must never read as one.

#include "input/sexagesimal.h"

#include <gtest/gtest.h>

#include <optional>

namespace mirdal {
namespace {

constexpr auto kHours = SexagesimalAxis::Hours;
constexpr auto kDegrees = SexagesimalAxis::Degrees;

TEST(Sexagesimal, CellsReadAsHoursOrSignedDegrees) {
  const struct {
    const char* cell;
    SexagesimalAxis axis;
    std::optional<double> want;  // hours or degrees; nullopt: refused
  } cases[] = {
      {"00 05 09.90", kHours, 0 + 5 / 60.0 + 9.9 / 3600},
      {"17:45:40.09", kHours, 17 + 45 / 60.0 + 40.09 / 3600},
      {"05h34m31.97s", kHours, 5 + 34 / 60.0 + 31.97 / 3600},
      {" 05h 34m 31.97s ", kHours, 5 + 34 / 60.0 + 31.97 / 3600},
      {"05h34m31.97", kHours, 5 + 34 / 60.0 + 31.97 / 3600},
      {"05 34.5", kHours, 5 + 34.5 / 60},
      {"5h34m", kHours, 5 + 34 / 60.0},
      {"+12 00 00", kHours, 12},
      {"23 59 59.999", kHours, 23 + 59 / 60.0 + 59.999 / 3600},
      {"+45 13 45.0", kDegrees, 45 + 13 / 60.0 + 45 / 3600.0},
      {"-29:00:22.1", kDegrees, -(29 + 22.1 / 3600)},
      {"+22d00m52.2s", kDegrees, 22 + 52.2 / 3600},
      {"-00 30 00", kDegrees, -0.5},
      {"- 0 30", kDegrees, -0.5},
      {"\xE2\x88\x92" "00 30 00", kDegrees, -0.5},             // the Unicode minus
      {"+22\xC2\xB0" "00\xE2\x80\xB2" "52.2\xE2\x80\xB3", kDegrees, 22 + 52.2 / 3600},  // 22°00′52.2″
      {"-22\xB0" "00'52.2\"", kDegrees, -(22 + 52.2 / 3600)},  // an 8-bit degree sign
      {"+90 00 00", kDegrees, 90},
      {"24 00 00", kHours, std::nullopt},
      {"12 60 00", kHours, std::nullopt},
      {"12 30 60.0", kHours, std::nullopt},
      {"-01 00 00", kHours, std::nullopt},
      {"91 00 00", kDegrees, std::nullopt},
      {"+90 00 01", kDegrees, std::nullopt},
      {"12.5", kHours, std::nullopt},  // a decimal number is no sexagesimal cell
      {"12", kDegrees, std::nullopt},
      {"", kHours, std::nullopt},
      {"-", kDegrees, std::nullopt},
      {"12 34 56 7", kHours, std::nullopt},
      {"12.5 30", kHours, std::nullopt},
      {"12:34 56", kHours, std::nullopt},  // partings mixed
      {"12h34 56", kHours, std::nullopt},
      {"12d34m56s", kHours, std::nullopt},  // degrees where hours belong
      {"12h34m56s", kDegrees, std::nullopt},
      {"12:34:", kHours, std::nullopt},
      {"12 34 56.7x", kHours, std::nullopt},
      {"1e1 30", kHours, std::nullopt},
      {"12 -34 56", kDegrees, std::nullopt},
      {"nan 00", kDegrees, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cell);
    const std::optional<double> got = parseSexagesimal(c.cell, c.axis);
    ASSERT_EQ(got.has_value(), c.want.has_value()) << (got ? *got : 0);
    if (c.want) {
      EXPECT_NEAR(*got, *c.want, 1e-12);
    }
  }
  EXPECT_TRUE(readsAsSexagesimal("05h34m31.97s"));
  EXPECT_TRUE(readsAsSexagesimal("+22d00m52.2s"));
  EXPECT_FALSE(readsAsSexagesimal("83.633"));
}

}  // namespace
}  // namespace mirdal
