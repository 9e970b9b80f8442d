#include "catalog/mapping_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace mirdal {
namespace {

// The defaults a user's catalog relies on without editing the tables: the
// codes of the common archives, the blank synonym of "Unknow", the degree
// sign byte, the vertex code with its inner blank, the colour values.
TEST(MappingTables, DefaultsHoldTheCodesCatalogsUse) {
  const MappingTables t;
  struct Row {
    const std::string& cell;
    const char* holds;
  };
  const Row rows[] = {
      {t.objectTypes[0], "Gx,GALXY"},   {t.objectTypes[2], "OC,OPNCL"},  {t.objectTypes[3], "Gb,GLOCL"},
      {t.objectTypes[4], "Pl,PLNNB"},   {t.objectTypes[5], "Nb,BRTNB"},  {t.objectTypes[11], "***,3STAR"},
      {t.objectTypes[14], " ,?"},       {t.sizeUnits[0], "d,\xB0"},     {t.sizeUnits[1], "m,'"},
      {t.lineOperations[2], "vertex, ,2"}, {t.colourStrings[4], "Red,R,5"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.cell.find(r.holds), 0u) << r.holds << " in \"" << r.cell << "\"";
  EXPECT_EQ(t.lineOperations[3], "");
  EXPECT_EQ(kObjectTypeTable[0].code, 1);     // galaxies
  EXPECT_EQ(kObjectTypeTable[14].code, 0);    // unknown
  EXPECT_EQ(kObjectTypeTable[14].name, "Unknow");
  EXPECT_EQ(kSizeUnitTable[2].factor, 3600);  // seconds of arc
  EXPECT_EQ(t.colours[4], 255u);              // red, as 0x00BBGGRR
  EXPECT_EQ(t.colours[0], 16777215u);         // white
}

TEST(MappingTables, DefaultObjectTypeSelector) {
  EXPECT_EQ(kDefaultObjectTypes[12].name, "Asterism ");
  EXPECT_EQ(kDefaultObjectTypes[6].name, "Dark Nebula");
  EXPECT_EQ(defaultObjectTypeCode(0), 1);
  EXPECT_EQ(defaultObjectTypeCode(13), -1);
  EXPECT_EQ(defaultObjectTypeCode(14), 0);
  EXPECT_EQ(defaultObjectTypeCode(15), 14);
  EXPECT_EQ(defaultObjectTypeCode(17), 16);
  EXPECT_EQ(defaultObjectTypeCode(18), 0);
  EXPECT_EQ(defaultObjectTypeCode(-1), 0);
}

TEST(MappingTables, LookupListsAreTrimmedWithOneComma) {
  MappingTables t;
  t.objectTypes[0] = "Gx, GALXY";
  t.objectTypes[1] = "";
  t.objectTypes[2] = "\t OC \r";
  t.colourStrings[4] = "Pink";
  t.colourStringsHidden[4] = "ignored";
  t.colours[4] = 0x00C0CBFF;
  t.lineOperations[3] = "never read";
  LookupLists l = t.prepareLookupLists();
  EXPECT_EQ(l.objectTypes[0], "Gx, GALXY,");
  EXPECT_EQ(l.objectTypes[1], ",");
  EXPECT_EQ(l.objectTypes[2], "OC,");
  EXPECT_EQ(l.objectTypes[14], ",?,");  // the leading blank synonym is lost, its comma stays
  EXPECT_EQ(l.lineOperations[2], "vertex, ,2,");  // the inner blank stays
  EXPECT_EQ(l.sizeUnits[0], "d,\xB0,");
  EXPECT_EQ(l.colours[4], "Pink,");
  EXPECT_EQ(l.colourValues[4], 0x00C0CBFFu);
  EXPECT_EQ(l.colours[9], "Turquoise,T,10,");
}

TEST(MappingTables, ResetRestoresEveryCell) {
  MappingTables t;
  t.objectTypes[14] = "x";
  t.lineOperations[3] = "y";
  t.colourStringsHidden[0] = "z";
  t.colours[0] = 1;
  t.reset();
  EXPECT_EQ(t, MappingTables());
}

TEST(MappingTables, UnitFactorOfOutOfRangeUnitIsMinute) {
  EXPECT_EQ(unitFactorOf(0), 1);
  EXPECT_EQ(unitFactorOf(1), 60);
  EXPECT_EQ(unitFactorOf(2), 3600);
  EXPECT_EQ(unitFactorOf(3), 60);
  EXPECT_EQ(unitFactorOf(-1), 60);
}

}  // namespace
}  // namespace mirdal
