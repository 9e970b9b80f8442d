#include "catalog/mapping_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace mirdal {
namespace {

TEST(MappingTables, ObjectTypeDefaultsByteForByte) {
  MappingTables t;
  const char* expected[kObjectTypeRows] = {
      "Gx,GALXY,QUASR", "GALCL", "OC,OPNCL,LMCOC,SMCOC", "Gb,GLOCL,GX+GC,LMCGC,SMCGC", "Pl,PLNNB",
      "Nb,BRTNB,GX+DN,LMCDN,SMCDN,SNREM", "Drk,DRKNB", "C+N,CL+NB,G+C+N,LMCCN,SMCCN", "Kt", "*,1STAR",
      "D*,2STAR", "***,3STAR", "Ast,ASTER,4STAR,5STAR,6STAR,7STAR,8STAR", "-,PD,NONEX", " ,?"};
  for (int r = 0; r < kObjectTypeRows; ++r) EXPECT_EQ(t.objectTypes[r], expected[r]) << "row " << r + 1;
  // The fifteenth row, hidden by the grid, starts with a blank.
  EXPECT_EQ(t.objectTypes[14].size(), 3u);
  EXPECT_EQ(t.objectTypes[14][0], ' ');
  const int codes[kObjectTypeRows] = {1, 12, 2, 3, 4, 5, 13, 6, 11, 7, 8, 9, 10, -1, 0};
  for (int r = 0; r < kObjectTypeRows; ++r) EXPECT_EQ(kObjectTypeTable[r].code, codes[r]) << "row " << r + 1;
  EXPECT_EQ(kObjectTypeTable[14].name, "Unknow");
  EXPECT_EQ(kObjectTypeTable[6].name, "Dark nebula");
}

TEST(MappingTables, SizeUnitDefaultsHoldTheDegreeByte) {
  MappingTables t;
  ASSERT_EQ(t.sizeUnits[0].size(), 3u);
  EXPECT_EQ(t.sizeUnits[0][0], 'd');
  EXPECT_EQ(t.sizeUnits[0][1], ',');
  EXPECT_EQ(static_cast<unsigned char>(t.sizeUnits[0][2]), 0xB0);
  EXPECT_EQ(t.sizeUnits[1], "m,'");
  EXPECT_EQ(t.sizeUnits[2], std::string("s,") + '"');
  EXPECT_EQ(kSizeUnitTable[0].factor, 1);
  EXPECT_EQ(kSizeUnitTable[1].factor, 60);
  EXPECT_EQ(kSizeUnitTable[2].factor, 3600);
}

TEST(MappingTables, LineOperationDefaultsAndEmptyFourthCell) {
  MappingTables t;
  EXPECT_EQ(t.lineOperations[0], "start,0");
  EXPECT_EQ(t.lineOperations[1], "end,1");
  EXPECT_EQ(t.lineOperations[2], "vertex, ,2");
  EXPECT_EQ(t.lineOperations[3], "");
  EXPECT_EQ(kLineOperationTable[2].code, 2);
}

TEST(MappingTables, ColourDefaults) {
  MappingTables t;
  const char* strings[kColourRows] = {"White,W,1",   "LightGray,LG,2", "Gray,G,3",   "Black,D,4",
                                      "Red,R,5",     "Green,V,6",      "Yellow,Y,7", "Blue,B,8",
                                      "Magenta,M,9", "Turquoise,T,10"};
  const Colour colours[kColourRows] = {16777215, 12632256, 8421504, 3158064, 255,
                                       65280,    65535,    16711680, 16711935, 16776960};
  for (int r = 0; r < kColourRows; ++r) {
    EXPECT_EQ(t.colourStrings[r], strings[r]);
    EXPECT_EQ(t.colourStringsHidden[r], "");
    EXPECT_EQ(t.colours[r], colours[r]);
  }
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
