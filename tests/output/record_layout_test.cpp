#include "output/record_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "support/catalog_checks.h"

namespace mirdal {
namespace {

using testing::le32;

void tick(CatalogDefinition& def, int position, int first, int length) {
  def.fieldSlots[static_cast<std::size_t>(position)].firstChar = first;
  def.fieldSlots[static_cast<std::size_t>(position)].length = length;
  def.setTicked(position, true);
}

void put(std::string& bytes, std::size_t offset, const std::string& what) { bytes.replace(offset, what.size(), what); }

std::string slice(const std::string& bytes, std::size_t offset, std::size_t n) { return bytes.substr(offset, n); }

// Stars, RA h m s and DEC sign d m s: list positions 0-2 RA, 3-6 DEC, then
// 7 ID, 8 mV, 9 b-v, 10 mB, 11 mR, 12 sp, 13 pmRA, 14 pmDE, 15 date, 16 px,
// 17 desc, 18-27 String 1-10, 28-37 Numeric 1-10.
CatalogDefinition starsIdMagnitudeDesc() {
  CatalogDefinition def;
  def.settings.shortname = "Ts";
  def.settings.longname = "Test stars";
  tick(def, 7, 1, 10);
  tick(def, 8, 12, 5);
  tick(def, 17, 20, 20);
  return def;
}

TEST(RecordLayout, StarsWithIdMagnitudeAndDescription) {
  RecordLayout l = buildRecordLayout(starsIdMagnitudeDesc());
  EXPECT_EQ(l.position[3], 9);
  EXPECT_EQ(l.length[3], 10);
  EXPECT_EQ(l.position[4], 19);
  EXPECT_EQ(l.length[4], 2);
  EXPECT_EQ(l.position[13], 21);
  EXPECT_EQ(l.length[13], 20);
  EXPECT_EQ(l.recordLength, 40);
  EXPECT_EQ(l.sortKeyPosition, 19);
  EXPECT_EQ(l.indexNameLength, 10);
  EXPECT_EQ(l.regionCount, 50);
  ASSERT_EQ(l.indexPlan.size(), 1u);
  EXPECT_EQ(l.indexPlan[0].listPosition, 7);
  EXPECT_FALSE(l.indexPlan[0].alternate);
}

TEST(RecordLayout, StarsHeaderBytes) {
  const std::string got = buildRecordLayout(starsIdMagnitudeDesc()).header.encode();
  ASSERT_EQ(got.size(), 1251u);

  std::string want(1251, '\0');
  put(want, 0, le32(1251));
  put(want, 4, "ORVSTAR1");
  put(want, 12, "Ts  ");
  put(want, 16, "Test stars                                        ");
  put(want, 66, le32(40));
  put(want, 70, le32(50));
  put(want, 74, std::string("\0\0\0\0\0\x40\x9F\x40", 8));  // 2000.0
  put(want, 82, std::string("\0\0\0\0\0\x40\x9F\x40", 8));  // 2000.0
  put(want, 90, std::string("\0\0\0\0\0\0\x28\x40", 8));    // 12.0
  // 98..113 type defaults: zero for stars.
  put(want, 114, "\x01");  // prefalt defaults to on
  put(want, 115, "\x0A");  // index name length 10
  // Positions: RA 1, DEC 5, Id 9, mV 19, desc 21.
  put(want, 206, le32(1) + le32(5) + le32(9) + le32(19));
  put(want, 206 + 4 * 12, le32(21));
  put(want, 426, le32(4) + le32(4) + le32(10) + le32(2));
  put(want, 426 + 4 * 12, le32(20));
  const char* labels[35] = {"RA",   "DEC",  "Id",   "mV",   "b-v",  "mB",   "mR",    "sp",   "pmRA",
                            "pmDE", "date", "px",   "desc", "",     "desc", "Str1",  "Str2", "Str3",
                            "Str4", "Str5", "Str6", "Str7", "Str8", "Str9", "Str10", "Num1", "Num2",
                            "Num3", "Num4", "Num5", "Num6", "Num7", "Num8", "Num9",  "Num10"};
  for (std::size_t f = 0; f < 35; ++f) {
    std::string label = labels[f];
    label.resize(11, ' ');
    put(want, 646 + 11 * f, label);
  }
  for (std::size_t i = 0; i < want.size(); ++i)
    ASSERT_EQ(static_cast<int>(static_cast<unsigned char>(got[i])), static_cast<int>(static_cast<unsigned char>(want[i])))
        << "header byte " << i;
}

// Nebulae, decimal RA and DEC: 0 RA, 1 DEC, 2 ID, 3 NebTyp, 4 m, 5 sbr,
// 6 D, 7 D, 8 Unit, 9 pa, 10 rv, 11 class, 12 desc, 13-22 strings.
TEST(RecordLayout, NebulaWithoutMagnitudeSortsOnTheNextField) {
  CatalogDefinition def;
  def.setType(3);
  def.setRaType(3);
  def.setDecType(1);
  def.settings.shortname = "NGC";
  tick(def, 2, 1, 8);
  tick(def, 6, 10, 5);
  tick(def, 12, 20, 30);
  RecordLayout l = buildRecordLayout(def);
  EXPECT_EQ(l.position[3], 9);
  EXPECT_EQ(l.length[3], 8);
  EXPECT_EQ(l.position[7], 17);
  EXPECT_EQ(l.length[7], 4);
  EXPECT_EQ(l.position[13], 21);
  EXPECT_EQ(l.length[13], 30);
  EXPECT_EQ(l.length[5], 0);
  EXPECT_EQ(l.position[5], 0);
  EXPECT_EQ(l.recordLength, 50);
  EXPECT_EQ(l.sortKeyPosition, 17);  // the first two bytes of the "D" float
  const std::string h = l.header.encode();
  EXPECT_EQ(slice(h, 4, 8), "ORVNEB 1");
  EXPECT_EQ(slice(h, 66, 4), le32(50));
}

TEST(RecordLayout, NebulaDefaultsGoToTheHeader) {
  CatalogDefinition def;
  def.setType(3);
  def.settings.nebsize = 5;
  def.settings.nebunit = 2;  // Second: 3600
  def.settings.nebtype = 0;  // Galaxy: code 1
  def.settings.neblog = true;
  std::string h = buildRecordLayout(def).header.encode();
  EXPECT_EQ(slice(h, 98, 16), le32(5) + le32(3600) + le32(1) + le32(1));

  def.settings.nebunit = 0;   // Degree: 1
  def.settings.nebtype = 13;  // Non Existant: -1
  def.settings.neblog = false;
  h = buildRecordLayout(def).header.encode();
  EXPECT_EQ(slice(h, 98, 16), le32(5) + le32(1) + le32(0xFFFFFFFF) + le32(0));
}

TEST(RecordLayout, CheckedTextOfLengthZeroTakesNoBytes) {
  CatalogDefinition def;
  tick(def, 7, 1, 0);  // ID checked, no column length
  tick(def, 8, 12, 5);
  RecordLayout l = buildRecordLayout(def);
  EXPECT_EQ(l.position[3], 9);
  EXPECT_EQ(l.length[3], 0);
  EXPECT_EQ(l.position[4], 9);
  EXPECT_EQ(l.length[4], 2);
  EXPECT_EQ(l.recordLength, 10);
  EXPECT_EQ(l.sortKeyPosition, 9);
  // No ID bytes, so no name source and a zero name length.
  EXPECT_TRUE(l.indexPlan.empty());
  EXPECT_EQ(l.indexNameLength, 0);
  const std::string h = l.header.encode();
  EXPECT_EQ(slice(h, 206 + 8, 8), le32(9) + le32(9));
  EXPECT_EQ(slice(h, 426 + 8, 8), le32(0) + le32(2));
}

// Outlines, decimal RA and DEC: 0 RA, 1 DEC, 2 ID, 3 LineOp, 4 LineWidth,
// 5 LineColor, 6 Drawing, 7 desc, 8-17 strings, 18-27 numerics.
TEST(RecordLayout, OutlinesHaveOneRegionNoIndexAndLineDefaults) {
  CatalogDefinition def;
  def.setType(4);
  def.setRaType(3);
  def.setDecType(1);
  def.settings.numfile = 3;  // not offered: one region all the same
  def.settings.index = true;
  def.settings.altindex = true;
  def.settings.prefalt = true;
  def.altNames[0] = 1;
  def.settings.linewidth = 3;
  def.settings.linecolor = 255;
  def.settings.closedline = false;
  def.settings.drawingtype = 2;
  tick(def, 2, 1, 12);
  tick(def, 3, 14, 6);
  tick(def, 4, 21, 2);
  tick(def, 5, 24, 8);
  tick(def, 6, 33, 1);
  tick(def, 8, 40, 5);  // String 1, flagged, but outlines have no index
  RecordLayout l = buildRecordLayout(def);
  EXPECT_FALSE(l.index);
  EXPECT_EQ(l.regionCount, 1);
  // Id 12, LineOp 1, LineWidth 1, LineColor 4, Drawing 1, Str1 5.
  EXPECT_EQ(l.recordLength, 8 + 12 + 1 + 1 + 4 + 1 + 5);
  EXPECT_EQ(l.sortKeyPosition, 0);
  EXPECT_EQ(l.position[4], 21);
  EXPECT_EQ(l.position[6], 23);
  EXPECT_EQ(l.position[7], 27);
  EXPECT_EQ(l.position[16], 28);

  const std::string h = l.header.encode();
  EXPECT_EQ(slice(h, 4, 8), "ORVLINE1");
  EXPECT_EQ(slice(h, 70, 4), le32(1));
  EXPECT_EQ(slice(h, 98, 16), le32(3) + le32(255) + le32(0) + le32(2));
  EXPECT_EQ(h[114], '\0');
  EXPECT_EQ(h[115], '\x0C');  // the ID length, index or not
  EXPECT_EQ(h[116], '\x01');  // the alternate-name flags are copied as they are
  // Six type labels: fields 9 to 14 are blank, 15 repeats label 8.
  EXPECT_EQ(slice(h, 646 + 11 * 6, 11), "Drawing    ");
  EXPECT_EQ(slice(h, 646 + 11 * 7, 11), "desc       ");
  EXPECT_EQ(slice(h, 646 + 11 * 8, 66), std::string(66, ' '));
  EXPECT_EQ(slice(h, 646 + 11 * 14, 11), "desc       ");
  EXPECT_EQ(slice(h, 646 + 11 * 15, 11), "Str1       ");
}

TEST(RecordLayout, TypeDefaultsAreZeroForStarKinds) {
  for (int type : {0, 1, 2}) {
    CatalogDefinition def;
    def.setType(type);
    def.settings.nebsize = 9;
    def.settings.neblog = true;
    def.settings.linewidth = 7;
    def.settings.linecolor = 255;
    def.settings.drawingtype = 2;
    const std::string h = buildRecordLayout(def).header.encode();
    EXPECT_EQ(slice(h, 98, 16), std::string(16, '\0')) << "type " << type;
  }
  CatalogDefinition vars;
  vars.setType(1);
  EXPECT_EQ(slice(buildRecordLayout(vars).header.encode(), 4, 8), "ORVVAR 1");
  CatalogDefinition doubles;
  doubles.setType(2);
  EXPECT_EQ(slice(buildRecordLayout(doubles).header.encode(), 4, 8), "ORVDBL 1");
}

TEST(RecordLayout, NamesArePaddedOrCutNotTrimmed) {
  CatalogDefinition def;
  def.settings.shortname = "Ab";
  def.settings.longname = std::string(49, 'L') + "Z";
  std::string h = buildRecordLayout(def).header.encode();
  EXPECT_EQ(slice(h, 12, 4), "Ab  ");
  EXPECT_EQ(slice(h, 16, 50), std::string(49, 'L') + "Z");
  EXPECT_EQ(slice(h, 66, 4), le32(8));  // follows the long name directly

  def.settings.shortname = " x";
  def.settings.longname = std::string(60, 'M');
  h = buildRecordLayout(def).header.encode();
  EXPECT_EQ(slice(h, 12, 4), " x  ");
  EXPECT_EQ(slice(h, 16, 50), std::string(50, 'M'));
}

TEST(RecordLayout, TenCharacterLabelKeepsOneTrailingSpace) {
  CatalogDefinition def;
  def.setLabel(4, "Magnitude1");  // mV
  def.setLabel(13, "Comment");    // desc, repeated in field 15
  def.setLabel(14, "HD");         // String 1
  def.setLabel(33, "Last");       // Numeric 10
  const std::string h = buildRecordLayout(def).header.encode();
  EXPECT_EQ(slice(h, 646 + 11 * 3, 11), "Magnitude1 ");
  EXPECT_EQ(slice(h, 646 + 11 * 12, 11), "Comment    ");
  EXPECT_EQ(slice(h, 646 + 11 * 13, 11), std::string(11, ' '));  // field 14
  EXPECT_EQ(slice(h, 646 + 11 * 14, 11), "Comment    ");            // field 15
  EXPECT_EQ(slice(h, 646 + 11 * 15, 11), "HD         ");            // field 16
  EXPECT_EQ(slice(h, 646 + 11 * 34, 11), "Last       ");            // field 35
  EXPECT_EQ(slice(h, 1031, 220), std::string(220, '\0'));
}

// Stars: String 2 is list position 19 and label number 15.
TEST(RecordLayout, PrefixedAlternateNameWidensTheIndexName) {
  CatalogDefinition def;
  def.settings.index = true;
  def.settings.altindex = true;
  def.settings.prefalt = true;
  tick(def, 7, 1, 8);
  tick(def, 19, 10, 6);
  def.altNames[1] = 1;
  def.setLabel(15, " BD ");
  RecordLayout l = buildRecordLayout(def);
  ASSERT_EQ(l.indexPlan.size(), 2u);
  EXPECT_EQ(l.indexPlan[1].listPosition, 19);
  EXPECT_TRUE(l.indexPlan[1].alternate);
  EXPECT_EQ(l.indexPlan[1].prefix, "BD");
  EXPECT_EQ(l.indexNameLength, 8);  // max(8, 6 + 2)
  EXPECT_EQ(l.header.encode()[117], '\x01');

  def.setLabel(15, "BDX");
  EXPECT_EQ(buildRecordLayout(def).indexNameLength, 9);  // 6 + 3
  def.settings.prefalt = false;
  EXPECT_EQ(buildRecordLayout(def).indexNameLength, 8);
  EXPECT_EQ(buildRecordLayout(def).header.encode()[114], '\0');
}

TEST(RecordLayout, FlaggedButUncheckedStringIsStillANameSource) {
  CatalogDefinition def;
  def.settings.altindex = true;
  def.settings.prefalt = true;
  def.fieldSlots[19].length = 6;  // not checked
  def.altNames[1] = 1;
  def.setLabel(15, "BD");
  RecordLayout l = buildRecordLayout(def);
  ASSERT_EQ(l.indexPlan.size(), 1u);  // no ID, one alternate
  EXPECT_EQ(l.indexPlan[0].listPosition, 19);
  EXPECT_EQ(l.length[17], 0);
  EXPECT_EQ(l.indexNameLength, 2);  // its label only
  EXPECT_EQ(l.recordLength, 8);

  def.settings.altindex = false;
  EXPECT_TRUE(buildRecordLayout(def).indexPlan.empty());
}

TEST(RecordLayout, IdWiderThan255CapsTheIndexName) {
  CatalogDefinition def;
  tick(def, 7, 1, 300);
  RecordLayout l = buildRecordLayout(def);
  EXPECT_EQ(l.length[3], 300);
  EXPECT_EQ(l.recordLength, 308);
  EXPECT_EQ(l.indexNameLength, 255);
  EXPECT_EQ(l.header.encode()[115], '\xFF');
}

TEST(RecordLayout, OnlyPositionsGiveEightBytes) {
  CatalogDefinition def;
  RecordLayout l = buildRecordLayout(def);
  EXPECT_EQ(l.recordLength, 8);
  EXPECT_EQ(l.indexNameLength, 0);
  EXPECT_TRUE(l.indexPlan.empty());
  EXPECT_EQ(l.sortKeyPosition, 9);  // past the record: no magnitude sort
  EXPECT_FALSE(l.magnitudeKeyInRecord());
  const std::string h = l.header.encode();
  EXPECT_EQ(slice(h, 206, 12), le32(1) + le32(5) + le32(0));
  EXPECT_EQ(slice(h, 426, 12), le32(4) + le32(4) + le32(0));
}

TEST(RecordLayout, FreeFieldsFollowTheTypeFields) {
  CatalogDefinition def;
  tick(def, 8, 1, 5);    // mV
  tick(def, 27, 6, 3);   // String 10
  tick(def, 28, 9, 4);   // Numeric 1
  tick(def, 37, 13, 4);  // Numeric 10
  RecordLayout l = buildRecordLayout(def);
  EXPECT_EQ(l.position[4], 9);
  EXPECT_EQ(l.position[25], 11);
  EXPECT_EQ(l.length[25], 3);
  EXPECT_EQ(l.position[26], 14);
  EXPECT_EQ(l.length[26], 4);
  EXPECT_EQ(l.position[35], 18);
  EXPECT_EQ(l.recordLength, 21);
}

TEST(RecordLayout, RegionCountFollowsNumfile) {
  CatalogDefinition def;
  const int expected[] = {50, 184, 732, 9537};
  for (int n = 0; n < 4; ++n) {
    def.settings.numfile = n;
    EXPECT_EQ(buildRecordLayout(def).header.regionCount, expected[n]);
  }
}

}  // namespace
}  // namespace mirdal
