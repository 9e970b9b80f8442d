// The position of a line as the build computes it, and the texts of page 3's
// preview: sexagesimal rounding with carries, column reach at the line's end,
// the stored value beside the calibrated one.

#include "convert/field_preview.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "convert/sky_position.h"
#include "catalog/catalog_definition.h"

namespace mirdal {
namespace {

TEST(ComputePosition, SignColumnIsNegativeOnlyWhenExactlyAMinus) {
  CatalogDefinition def;  // ratype 0, dectype 0: RA h m s at 0..2, DEC sign d m s at 3..6
  def.fieldSlots[0] = {1, 2, 1, 0};
  def.fieldSlots[1] = {4, 2, 1, 0};
  def.fieldSlots[2] = {7, 5, 1, 0};
  def.fieldSlots[3] = {13, 1, 1, 0};
  def.fieldSlots[4] = {14, 2, 1, 0};
  def.fieldSlots[5] = {17, 2, 1, 0};
  def.fieldSlots[6] = {20, 4, 1, 0};
  SkyPosition p = computePosition("20 01 06.33 -04 59 12.7", def);
  EXPECT_TRUE(p.valid);
  EXPECT_NEAR(p.ra, 300.276375, 1e-9);
  EXPECT_NEAR(p.dec, -(4 + 59 / 60.0 + 12.7 / 3600), 1e-12);
  // A sign column two wide holds "- ", which is not "-": north.
  def.fieldSlots[3].length = 2;
  EXPECT_GT(computePosition("20 01 06.33 -04 59 12.7", def).dec, 0);
}

TEST(ComputePosition, RefusesBothZeroAndBeyondTheSkyButKeepsTheEdges) {
  CatalogDefinition def;
  def.setRaType(3);
  def.setDecType(1);
  def.fieldSlots[0] = {1, 9, 1, 0};
  def.fieldSlots[1] = {11, 9, 1, 0};
  EXPECT_FALSE(computePosition("0         0", def).valid);
  EXPECT_FALSE(computePosition("", def).valid);  // blank columns read as 0
  EXPECT_TRUE(computePosition("360       -90", def).valid);
  EXPECT_TRUE(computePosition("0         90", def).valid);
  EXPECT_FALSE(computePosition("360.00001 0", def).valid);
  EXPECT_FALSE(computePosition("10        -90.00001", def).valid);
  EXPECT_EQ(refusalReason(computePosition("", def)), "RA and DEC are both 0");
  EXPECT_EQ(refusalReason(computePosition("400       1", def)), "RA lies outside 0 to 360 degrees");
  EXPECT_EQ(refusalReason(computePosition("1         91", def)), "DEC lies outside -90 to +90 degrees");
  EXPECT_EQ(refusalReason(computePosition("1         1", def)), "");
}

// A column text as a magnitude (stored x 1000, or the missing 32767) and in
// each number column of every RA and DEC form (the line kept, or refused
// rather than put at 0; a blank column counts as 0).
TEST(NumberTexts, StoredMissingOrRefused) {
  const struct {
    const char* text;
    std::int64_t magnitude;
    bool kept;
  } cases[] = {{" 12.5 ", 12500, true}, {".5", 500, true}, {"5.", 5000, true}, {"1e1", 10000, true},
               {"    ", 32767, true},   {".", 32767, false}, {"-.", 32767, false}, {"+", 32767, false},
               {"e5", 32767, false},    {"1e", 32767, false}, {"nan", 32767, false}, {"inf", 32767, false},
               {"+ 10", 32767, false},  {"1,5", 32767, false}, {"12a", 32767, false}};
  for (const auto& c : cases) {
    const std::string_view t = c.text;
    EXPECT_EQ(detail::scaledColumn(t.data(), t.data() + t.size(), 1, 0, 32.767, 1000, 3), c.magnitude) << t;
  }
  for (int form = 0; form < 12; ++form) {
    CatalogDefinition def;
    def.setRaType(form % 4);
    def.setDecType(form / 4);
    const int columns = def.fields().firstTypePosition();
    const int sign = form / 4 == 0 ? def.fields().raCount() : -1;  // the "-" column of dectype 0, no number
    for (int p = 0; p < columns; ++p) def.fieldSlots[static_cast<std::size_t>(p)] = {1 + 6 * p, 6, 1, 0};
    for (int at = 0; at < columns; ++at) {
      if (at == sign) continue;
      for (const auto& c : cases) {
        std::string line(6 * static_cast<std::size_t>(columns), ' ');
        for (int p = 0; p < columns; ++p) {
          const std::string_view text = p == at ? c.text : p == sign ? "" : "1";
          line.replace(6 * static_cast<std::size_t>(p), text.size(), text);
        }
        EXPECT_EQ(computePosition(line, def).valid, c.kept) << "form " << form << ", column " << at << ": " << c.text;
      }
    }
  }
}

TEST(FormatSexagesimal, RoundingCarriesIntoMinutesHoursAndDegrees) {
  EXPECT_EQ(formatHours(300.276375), "20h 01m 06.33s");
  EXPECT_EQ(formatHours(0), "00h 00m 00.00s");
  EXPECT_EQ(formatHours(15 * (59 / 60.0 + 59.9999 / 3600)), "01h 00m 00.00s");
  EXPECT_EQ(formatHours(360), "24h 00m 00.00s");
  EXPECT_EQ(formatDegrees(-(4 + 59 / 60.0 + 12.7 / 3600)), "-04\xB0 59' 12.7\"");
  EXPECT_EQ(formatDegrees(89.9999999), "+90\xB0 00' 00.0\"");
  // Rounds to zero: no minus sign before it.
  EXPECT_EQ(formatDegrees(-0.00001), "+00\xB0 00' 00.0\"");
  EXPECT_EQ(formatDegrees(std::numeric_limits<double>::quiet_NaN()), "nan\xB0");
  EXPECT_EQ(formatDegrees(1e300), "1e+300\xB0");
}

TEST(FormatNumber, TenDigitsWithoutTrailingZerosAndPointWhateverTheLocale) {
  EXPECT_EQ(formatNumber(16.361), "16.361");
  EXPECT_EQ(formatNumber(0.1 * 3), "0.3");
  EXPECT_EQ(formatNumber(2451545.123), "2451545.123");
  EXPECT_EQ(formatNumber(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(formatFixed(-4.9868611, 5), "-4.98686");
}

TEST(ColumnReach, LastColumnOfTheLineIsInsideTheNextOneIsPastTheEnd) {
  const std::string_view line = "12345";
  EXPECT_EQ(columnReach(line, {5, 1, 1, 0}), ColumnReach::Inside);
  EXPECT_EQ(columnReach(line, {5, 2, 1, 0}), ColumnReach::CutAtEnd);
  EXPECT_EQ(columnReach(line, {6, 1, 1, 0}), ColumnReach::PastEnd);
  EXPECT_EQ(columnReach(line, {3, 0, 1, 0}), ColumnReach::NoColumn);
  // Columns below 1 count from 1, as the build cuts them.
  EXPECT_EQ(columnReach(line, {0, 5, 1, 0}), ColumnReach::Inside);
  EXPECT_EQ(columnReach(line, {2, 2147483647, 1, 0}), ColumnReach::CutAtEnd);
}

TEST(PreviewField, StoredValueShownWhereTheRecordCannotHoldTheNumber) {
  CatalogDefinition def;
  def.setType(static_cast<int>(CatalogType::NebulaOutlines));
  const LookupLists lookups = def.tables.prepareLookupLists();
  const int width = def.fields().firstTypePosition() + 2;  // "Line width": a byte
  def.fieldSlots[static_cast<std::size_t>(width)] = {1, 3, 1, 0};
  EXPECT_EQ(previewField("300", def, width, lookups).value, "300, stored 44");
  EXPECT_EQ(previewField("  7", def, width, lookups).value, "7");
  const int numeric = def.fields().numericPosition(1);  // a single-precision float
  def.fieldSlots[static_cast<std::size_t>(numeric)] = {1, 11, 1, 0};
  EXPECT_EQ(previewField("2451545.123", def, numeric, lookups).value, "2451545.123, stored 2451545");
  EXPECT_EQ(previewField("0.5", def, numeric, lookups).value, "0.5");
  const FieldPreview notANumber = previewField("abc", def, numeric, lookups);
  EXPECT_TRUE(notANumber.missing);
  EXPECT_EQ(notANumber.value, "0 (missing: not a number)");
}

}  // namespace
}  // namespace mirdal
