#include "catalog/catalog_definition.h"
#include "catalog/definition_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirdal {
namespace {

struct ListShape {
  int type, ratype, dectype;
  int size;       // entries of the field list
  int firstFree;  // position of "String 1"
};

// RA entries 3/1/3/1/1, DEC entries 4/1/1/1, type entries 11/10/10/11/6, plus 20 free fields.
constexpr ListShape kShapes[] = {
    {0, 0, 0, 38, 18}, {0, 0, 1, 35, 15}, {0, 0, 2, 35, 15},
    {0, 1, 0, 36, 16}, {0, 1, 1, 33, 13}, {0, 1, 2, 33, 13},
    {0, 2, 0, 38, 18}, {0, 2, 1, 35, 15}, {0, 2, 2, 35, 15},
    {0, 3, 0, 36, 16}, {0, 3, 1, 33, 13}, {0, 3, 2, 33, 13},
    {1, 0, 0, 37, 17}, {1, 0, 1, 34, 14}, {1, 0, 2, 34, 14},
    {1, 1, 0, 35, 15}, {1, 1, 1, 32, 12}, {1, 1, 2, 32, 12},
    {1, 2, 0, 37, 17}, {1, 2, 1, 34, 14}, {1, 2, 2, 34, 14},
    {1, 3, 0, 35, 15}, {1, 3, 1, 32, 12}, {1, 3, 2, 32, 12},
    {2, 0, 0, 37, 17}, {2, 0, 1, 34, 14}, {2, 0, 2, 34, 14},
    {2, 1, 0, 35, 15}, {2, 1, 1, 32, 12}, {2, 1, 2, 32, 12},
    {2, 2, 0, 37, 17}, {2, 2, 1, 34, 14}, {2, 2, 2, 34, 14},
    {2, 3, 0, 35, 15}, {2, 3, 1, 32, 12}, {2, 3, 2, 32, 12},
    {3, 0, 0, 38, 18}, {3, 0, 1, 35, 15}, {3, 0, 2, 35, 15},
    {3, 1, 0, 36, 16}, {3, 1, 1, 33, 13}, {3, 1, 2, 33, 13},
    {3, 2, 0, 38, 18}, {3, 2, 1, 35, 15}, {3, 2, 2, 35, 15},
    {3, 3, 0, 36, 16}, {3, 3, 1, 33, 13}, {3, 3, 2, 33, 13},
    {4, 0, 0, 33, 13}, {4, 0, 1, 30, 10}, {4, 0, 2, 30, 10},
    {4, 1, 0, 31, 11}, {4, 1, 1, 28, 8},  {4, 1, 2, 28, 8},
    {4, 2, 0, 33, 13}, {4, 2, 1, 30, 10}, {4, 2, 2, 30, 10},
    {4, 3, 0, 31, 11}, {4, 3, 1, 28, 8},  {4, 3, 2, 28, 8},
    // A position in one cell: one RA entry (ratype 4), one DEC entry (dectype 3).
    {0, 4, 3, 33, 13}, {0, 4, 0, 36, 16}, {0, 0, 3, 35, 15}, {1, 4, 3, 32, 12},
    {2, 4, 1, 32, 12}, {3, 2, 3, 35, 15}, {4, 4, 3, 28, 8},
};

std::vector<std::string> texts(const FieldCatalogue& f) {
  std::vector<std::string> r;
  for (int p = 0; p < f.size(); ++p) r.emplace_back(f.entry(p).text);
  return r;
}

TEST(CatalogDefinition, StartsAsStarsWithThirtyEightEntriesAndDefaultSlots) {
  CatalogDefinition def;
  EXPECT_EQ(def.type(), CatalogType::Stars);
  EXPECT_EQ(def.fields().size(), 38);
  EXPECT_EQ(def.fields().firstFreePosition(), 18);
  for (const FieldSlot& s : def.fieldSlots) EXPECT_EQ(s, (FieldSlot{0, 0, 1.0, 0.0}));
  for (auto f : def.altNames) EXPECT_EQ(f, 0);
  for (int p = 0; p < 38; ++p) EXPECT_FALSE(def.ticked(p));
  EXPECT_EQ(def.settings.nebunit, 1);
  EXPECT_EQ(def.unitFactor(), 60);
  EXPECT_EQ(def.settings.nebtype, 14);
  EXPECT_EQ(def.label(34), "");
  EXPECT_EQ(def.label(35), "");
}

TEST(CatalogDefinition, ListShapesOfEveryTypeAndPositionMode) {
  for (const ListShape& s : kShapes) {
    SCOPED_TRACE(::testing::Message() << "type " << s.type << " ratype " << s.ratype << " dectype " << s.dectype);
    CatalogDefinition def;
    def.setType(s.type);
    def.setRaType(s.ratype);
    def.setDecType(s.dectype);
    const FieldCatalogue& f = def.fields();
    ASSERT_EQ(f.size(), s.size);
    EXPECT_EQ(f.firstFreePosition(), s.firstFree);
    EXPECT_EQ(f.entry(s.firstFree).text, "String 1");
    EXPECT_EQ(f.entry(s.firstFree + 9).text, "String 10");
    EXPECT_EQ(f.entry(s.firstFree + 10).text, "Numeric 1");
    EXPECT_EQ(f.entry(s.size - 1).text, "Numeric 10");
    EXPECT_EQ(def.labelOfPosition(0), "RA");
    EXPECT_EQ(def.labelOfPosition(s.firstFree - 1), "desc");  // every type ends with "Comments"
    EXPECT_EQ(def.labelOfPosition(s.firstFree), "Str1");
    EXPECT_EQ(def.labelOfPosition(s.size - 1), "Num10");
  }
}

TEST(CatalogDefinition, StarsHmsDmsEntriesInOrder) {
  FieldCatalogue f(CatalogType::Stars, 0, 0);
  std::vector<std::string> expected = {
      "[RA (hours)]", "RA (minutes)", "RA (seconds)", "DEC sign", "[DEC (degrees)]", "DEC (arcmin)",
      "DEC (arcsec)", "Catalog ID", "[Magnitude (mag)]", "B-V (mag)", "Magnitude B (mag)",
      "Magnitude R (mag)", "Spectral class", "Proper motion RA (arcsec/yr)",
      "Proper motion DEC (arcsec/yr)", "Position Epoch (year)", "Parallax (arcsec)", "Comments",
      "String 1", "String 2", "String 3", "String 4", "String 5", "String 6", "String 7", "String 8",
      "String 9", "String 10", "Numeric 1", "Numeric 2", "Numeric 3", "Numeric 4", "Numeric 5",
      "Numeric 6", "Numeric 7", "Numeric 8", "Numeric 9", "Numeric 10"};
  EXPECT_EQ(texts(f), expected);
  EXPECT_EQ(f.raCount(), 3);
  EXPECT_EQ(f.decCount(), 4);
  EXPECT_EQ(f.labelNumber(6), 2);
  EXPECT_EQ(f.labelNumber(7), 3);
  EXPECT_EQ(f.labelNumber(37), 33);
}

TEST(CatalogDefinition, OutlinesDecimalDecimalHasStringOneAtEight) {
  FieldCatalogue f(CatalogType::NebulaOutlines, 1, 1);
  std::vector<std::string> expected = {
      "[RA decimal (hours)]", "[DEC decimal (degrees)]", "Catalog ID (only for Start operation)",
      "[Line operation]", "Line width (only for Start operation)", "Line color (only for Start operation)",
      "Drawing Type (only for Start operation)", "Comments", "String 1"};
  std::vector<std::string> head = texts(f);
  head.resize(9);
  EXPECT_EQ(head, expected);
  EXPECT_EQ(f.size(), 28);
  EXPECT_EQ(f.stringPosition(1), 8);
  EXPECT_EQ(f.numericPosition(1), 18);
  EXPECT_EQ(f.numericPosition(10), 27);
}

TEST(CatalogDefinition, SouthPolarDistanceAndDegreeRaEntries) {
  FieldCatalogue f(CatalogType::Nebulae, 2, 2);
  EXPECT_EQ(f.entry(0).text, "[RA (degrees)]");
  EXPECT_EQ(f.entry(3).text, "[SPD decimal (degrees)]");
  EXPECT_EQ(f.entry(4).text, "Catalog ID");
  EXPECT_EQ(f.entry(5).text, "Nebula type");
  FieldCatalogue g(CatalogType::VariableStars, 3, 1);
  EXPECT_EQ(g.entry(0).text, "[RA decimal (degrees)]");
}

TEST(CatalogDefinition, RequiredEntriesOfEachType) {
  auto required = [](CatalogType t) {
    std::vector<std::string> r;
    FieldCatalogue f(t, 0, 0);
    for (int p = 0; p < f.size(); ++p)
      if (f.entry(p).required()) r.emplace_back(f.entry(p).text);
    return r;
  };
  EXPECT_EQ(required(CatalogType::Stars),
            (std::vector<std::string>{"[RA (hours)]", "[DEC (degrees)]", "[Magnitude (mag)]"}));
  EXPECT_EQ(required(CatalogType::VariableStars), (std::vector<std::string>{"[RA (hours)]", "[DEC (degrees)]"}));
  EXPECT_EQ(required(CatalogType::DoubleStars),
            (std::vector<std::string>{"[RA (hours)]", "[DEC (degrees)]", "[Magnitude component 1 (mag)]",
                                      "[Separation (arcsec)]"}));
  EXPECT_EQ(required(CatalogType::Nebulae), (std::vector<std::string>{"[RA (hours)]", "[DEC (degrees)]"}));
  EXPECT_EQ(required(CatalogType::NebulaOutlines),
            (std::vector<std::string>{"[RA (hours)]", "[DEC (degrees)]", "[Line operation]"}));
}

TEST(CatalogDefinition, RequiredCheckNeedsEveryBracketedEntryTicked) {
  CatalogDefinition def;  // stars h/m/s d/m/s: required at 0, 4 and 8
  EXPECT_FALSE(def.requiredFieldsTicked());
  def.setTicked(0, true);
  def.setTicked(4, true);
  EXPECT_FALSE(def.requiredFieldsTicked());
  def.setTicked(8, true);
  EXPECT_TRUE(def.requiredFieldsTicked());
  def.setTicked(8, false);
  def.setTicked(7, true);
  EXPECT_FALSE(def.requiredFieldsTicked());
}

TEST(CatalogDefinition, EditedRaMinutesLabelIsTheLabelOfEveryRaEntryUntilRebuild) {
  CatalogDefinition def;
  def.setLabelOfPosition(1, "alpha");  // "RA (minutes)"
  EXPECT_EQ(def.labelOfPosition(0), "alpha");
  EXPECT_EQ(def.labelOfPosition(2), "alpha");
  EXPECT_EQ(def.label(1), "alpha");
  EXPECT_EQ(def.labelOfPosition(3), "DEC");
  EXPECT_TRUE(def.setDecType(1));
  EXPECT_EQ(def.label(1), "RA");
}

TEST(CatalogDefinition, LabelsAboveTheLastUsedKeepTheirText) {
  CatalogDefinition def;  // stars use labels 1..33
  def.setLabel(33, "last");
  def.setLabel(35, "spare");
  def.setType(4);  // outlines use labels 1..28
  EXPECT_EQ(def.label(28), "Num10");
  EXPECT_EQ(def.label(29), "Num6");  // left by the stars list
  EXPECT_EQ(def.label(33), "last");
  EXPECT_EQ(def.label(35), "spare");
  def.setType(1);  // variables use labels 1..32
  EXPECT_EQ(def.label(32), "Num10");
  EXPECT_EQ(def.label(33), "last");
}

TEST(CatalogDefinition, DuplicateDefaultLabelsOfDoubleStarsAndNebulae) {
  CatalogDefinition def;
  def.setType(2);
  EXPECT_EQ(def.label(10), "sp");
  EXPECT_EQ(def.label(11), "sp");
  def.setType(3);
  EXPECT_EQ(def.label(7), "D");
  EXPECT_EQ(def.label(8), "D");
  EXPECT_EQ(def.label(9), "Unit");
}

TEST(CatalogDefinition, RaTypeZeroToOneKeepsSlotsAndFlagsOnPositionsAndClearsTicks) {
  CatalogDefinition def;
  def.fieldSlots[1] = {5, 2, 1.0, 0.0};   // "RA (minutes)"
  def.fieldSlots[3] = {9, 1, 1.0, 0.0};   // "DEC sign"
  def.fieldSlots[40] = {77, 3, 2.5, -1.0};
  def.altNames[0] = 1;
  def.setTicked(1, true);
  def.setTicked(37, true);
  EXPECT_TRUE(def.setRaType(1));
  EXPECT_EQ(def.fields().size(), 36);
  EXPECT_EQ(def.fields().entry(1).text, "DEC sign");
  EXPECT_EQ(def.fieldSlots[1], (FieldSlot{5, 2, 1.0, 0.0}));
  EXPECT_EQ(def.fieldSlots[3], (FieldSlot{9, 1, 1.0, 0.0}));
  EXPECT_EQ(def.fieldSlots[40], (FieldSlot{77, 3, 2.5, -1.0}));
  EXPECT_EQ(def.altNames[0], 1);
  for (int p = 0; p < 36; ++p) EXPECT_FALSE(def.ticked(p)) << p;
}

TEST(CatalogDefinition, SameSelectionDoesNotRebuild) {
  CatalogDefinition def;
  def.setTicked(0, true);
  def.setLabel(1, "x");
  EXPECT_FALSE(def.setType(0));
  EXPECT_FALSE(def.setRaType(0));
  EXPECT_FALSE(def.setDecType(0));
  EXPECT_TRUE(def.ticked(0));
  EXPECT_EQ(def.label(1), "x");
}

TEST(CatalogDefinition, OutOfRangeSelectionsAreClampedAndPositionsIgnored) {
  CatalogDefinition def;
  def.setType(7);
  EXPECT_EQ(def.settings.type, 4);
  def.setRaType(-3);
  EXPECT_EQ(def.settings.ratype, 0);
  def.setDecType(99);
  EXPECT_EQ(def.settings.dectype, 3);
  EXPECT_EQ(def.fields().size(), 30);
  def.setTicked(30, true);
  def.setTicked(-1, true);
  EXPECT_FALSE(def.ticked(30));
  EXPECT_FALSE(def.ticked(-1));
}

TEST(CatalogDefinition, UnitFactorFollowsNebunit) {
  CatalogDefinition def;
  def.settings.nebunit = 0;
  EXPECT_EQ(def.unitFactor(), 1);
  def.settings.nebunit = 2;
  EXPECT_EQ(def.unitFactor(), 3600);
  def.settings.nebunit = 1;
  EXPECT_EQ(def.unitFactor(), 60);
}

TEST(CatalogDefinition, OutlinesOfferNeitherRegionsNorIndex) {
  CatalogDefinition def;
  EXPECT_TRUE(def.regionChoiceOffered());
  def.setType(4);
  EXPECT_FALSE(def.regionChoiceOffered());
  EXPECT_FALSE(def.indexChoiceOffered());
}

// The header holds a short name's first 4 bytes: a name is refused when more
// than blanks would be cut there, whatever its characters, and a project's
// longer name is cut there without splitting a UTF-8 character.
TEST(CatalogDefinition, ShortNamesFitTheHeadersFourBytes) {
  const struct {
    std::string name;
    const char* problem;  // nullptr: accepted
    std::string clamped;  // as a project read keeps it
  } cases[] = {
      {"ngc", nullptr, "ngc"},
      {"abcd  ", nullptr, "abcd"},
      {"\xC3\xA9\xC3\xA9", nullptr, "\xC3\xA9\xC3\xA9"},                  // two characters of 2 bytes
      {"\xF0\x9F\x8C\x9F", nullptr, "\xF0\x9F\x8C\x9F"},                  // one of 4
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", kShortNameTooLong, "\xC3\xA9\xC3\xA9"},
      {"a\xC3\xA9\xC3\xA9", kShortNameTooLong, "a\xC3\xA9"},                 // not cut inside the second
      {"a\xF0\x9F\x8C\x9F", kShortNameTooLong, "a"},
      {"abcde", kShortNameTooLong, "abcd"},
      {"a\xE9\xE9\xE9\xE9", kShortNameTooLong, "a\xE9\xE9\xE9"},             // a one-byte code page
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(shortNameProblem(c.name), c.problem);  // texts: a literal may stand twice
    BuildSettings s;
    s.shortname = c.name;
    s.clampToRanges();
    EXPECT_EQ(s.shortname, c.clamped);
  }
}

}  // namespace
}  // namespace mirdal
