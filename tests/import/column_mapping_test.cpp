// The ReadMe rules on tables whose slots name columns: UCDs decide before
// labels, slots carry column numbers, widths and names, archive names and
// the rows' values settle positions, and some kinds of column never fill a
// number entry. Also the units those tables write, and the RA unit decision.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/position_units.h"
#include "import/readme_import.h"
#include "import/table_import.h"
#include "support/error_of.h"

namespace mirdal {
namespace {

struct Col {
  std::string label, units, format, ucd;
  bool sexagesimal = false;
  std::string explanation{};
};

// The columns numbered 1, 2... with a width of 8.
ReadMeTable columnTable(const std::vector<Col>& cols) {
  ReadMeTable t;
  for (const Col& c : cols) {
    ReadMeColumn r;
    r.label = c.label, r.units = c.units, r.format = c.format, r.ucd = c.ucd, r.sexagesimal = c.sexagesimal;
    r.explanation = c.explanation;
    r.column = static_cast<int>(t.columns.size()) + 1;
    r.width = 8;
    t.columns.push_back(r);
  }
  return t;
}

// Where an entry went: its list position, the column (0: none), the calibration factor.
struct Placed {
  int position;  // -1..-3: RA, DEC, magnitude; others: record field of the type entry
  int column;
  double calcA = 1;
};

int positionOf(const CatalogDefinition& def, int p) {
  if (p == -1) return 0;
  if (p == -2) return def.fields().raCount();
  if (p == -3) return def.fields().positionOfField(magnitudeFieldOf(def.type()));
  return def.fields().positionOfField(p);
}

struct UcdCase {
  const char* what;
  std::vector<Col> cols;
  int ratype, dectype;
  std::vector<Placed> placed;
  const char* note = "";
};

TEST(ColumnMapping, UcdsDecideBeforeLabels) {
  const std::vector<UcdCase> cases = {
      {"UCD1+ with a V band, errors and a second position",
       {{"alpha", "deg", "F", "pos.eq.ra;meta.main"},
        {"delta", "deg", "F", "pos.eq.dec;meta.main"},
        {"_RAJ2000", "deg", "F", "pos.eq.ra"},
        {"Gmag", "mag", "F", "phot.mag;em.opt"},
        {"bright", "mag", "F", "phot.mag;em.opt.V"},
        {"Source", "", "I", "meta.id;meta.main"},
        {"pmRA", "mas/yr", "F", "pos.pm;pos.eq.ra"},
        {"e_Plx", "mas", "F", "stat.error;pos.parallax"},
        {"px", "mas", "F", "pos.parallax.trig"}},
       3, 1, {{-1, 1}, {-2, 2}, {-3, 5}, {3, 6}, {9, 7, 0.001}, {12, 9, 0.001}}},
      {"UCD1 names",
       {{"a", "deg", "F", "POS_EQ_RA_MAIN"}, {"d", "deg", "F", "POS_EQ_DEC_MAIN"}, {"star", "", "A", "ID_MAIN"},
        {"m", "mag", "F", "PHOT_JHN_V"}},
       3, 1, {{-1, 1}, {-2, 2}, {-3, 4}, {3, 3}}},
      {"h m s in separate columns, told by units",
       {{"RAh", "h", "I", "pos.eq.ra;meta.main"}, {"RAm", "min", "I", "pos.eq.ra;meta.main"},
        {"RAs", "s", "F", "pos.eq.ra;meta.main"}, {"DE-", "", "A", "pos.eq.dec;meta.main"},
        {"DEd", "deg", "I", "pos.eq.dec;meta.main"}, {"DEm", "arcmin", "I", "pos.eq.dec;meta.main"},
        {"DEs", "arcsec", "I", "pos.eq.dec;meta.main"}, {"V", "mag", "F", ""}},
       0, 0, {{-1, 1}, {-2, 4}, {-3, 8}}},
      {"sexagesimal cells are passed over for degrees",
       {{"RAJ2000", "h:m:s", "A", "pos.eq.ra;meta.main", true}, {"DEJ2000", "d:m:s", "A", "pos.eq.dec;meta.main", true},
        {"_RAJ2000", "deg", "F", "pos.eq.ra"}, {"_DEJ2000", "deg", "F", "pos.eq.dec"}, {"Vmag", "mag", "F", ""}},
       3, 1, {{-1, 3}, {-2, 4}, {-3, 5}}, "Skipped RAJ2000 (column 1): hours, minutes and seconds in one cell"},
  };
  for (const UcdCase& c : cases) {
    SCOPED_TRACE(c.what);
    CatalogDefinition def;
    const std::vector<std::string> notes = applyReadMeTable(columnTable(c.cols), CatalogType::Stars, def);
    std::string all;
    for (const std::string& n : notes) all += n + "\n";
    EXPECT_EQ(def.settings.ratype, c.ratype) << all;
    EXPECT_EQ(def.settings.dectype, c.dectype) << all;
    for (const Placed& p : c.placed) {
      const int position = positionOf(def, p.position);
      ASSERT_GE(position, 0);
      const FieldSlot& slot = def.fieldSlots[static_cast<std::size_t>(position)];
      EXPECT_EQ(slot.firstChar, p.column) << "entry " << p.position << "\n" << all;
      EXPECT_EQ(slot.length, 8);
      EXPECT_DOUBLE_EQ(slot.calcA, p.calcA) << "entry " << p.position;
      EXPECT_EQ(def.fieldNames[static_cast<std::size_t>(position)], c.cols[static_cast<std::size_t>(p.column - 1)].label);
      EXPECT_TRUE(def.ticked(position));
    }
    EXPECT_NE(all.find(c.note), std::string::npos) << all;
  }
}

struct EvidenceCase {
  const char* what;
  std::vector<Col> cols;
  std::vector<ColumnEvidence> rows;  // what the rows show of each column
  std::optional<RaUnit> stated;
  int ratype, dectype;
  std::vector<Placed> placed;
  const char* note;
  bool open = false;  // the RA unit is left open
};

TEST(ColumnMapping, ArchiveNamesRowsAndKindsThatNeverFillANumber) {
  const Col vmag{"Vmag", "mag", "F", ""};
  const Col raDeg{"RAdeg", "deg", "F", ""}, deDeg{"DEdeg", "deg", "F", ""};
  const ColumnEvidence small{2, 10.5}, wide{2, 301.25};
  const std::vector<EvidenceCase> cases = {
      {"no units, an RA above 24", {{"RAJ2000", "", "F", ""}, {"DEJ2000", "", "F", ""}, vmag}, {wide, small, small},
       std::nullopt, 3, 1, {{-1, 1}, {-2, 2}, {-3, 3}},
       "RA: decimal degrees from RAJ2000 (column 1) (values up to 301.25)"},
      {"computed and original sets, in deg",
       {{"_RAJ2000", "deg", "F", ""}, {"_DEJ2000", "deg", "F", ""}, {"RA_ICRS", "deg", "F", ""},
        {"DE_ICRS", "deg", "F", ""}, vmag},
       {}, std::nullopt, 3, 1, {{-1, 1}, {-2, 2}}, "RA: decimal degrees from _RAJ2000 (column 1) (its unit deg)"},
      {"any letter case", {{"alpha_j2000", "deg", "F", ""}, {"DELTA_J2000", "deg", "F", ""}, vmag}, {}, std::nullopt, 3,
       1, {{-1, 1}, {-2, 2}}, "DEC: decimal degrees from DELTA_J2000 (column 2) (its unit deg)"},
      {"the name says degrees", {{"ra_deg", "", "F", ""}, {"dec_deg", "", "F", ""}}, {small, small}, std::nullopt, 3, 1,
       {{-1, 1}, {-2, 2}}, "RA: decimal degrees from ra_deg (column 1) (its name)"},
      {"the name says hours", {{"RA_hours", "", "F", ""}, {"Dec", "", "F", ""}}, {wide, small}, std::nullopt, 1, 1,
       {{-1, 1}, {-2, 2}}, "RA: decimal hours from RA_hours (column 1) (its name)"},
      {"nothing tells", {{"ra", "", "F", ""}, {"dec", "", "F", ""}}, {small, small}, std::nullopt, 3, 1,
       {{-1, 1}, {-2, 2}}, "not decided: no unit, and its 2 values are all within 0-24", true},
      {"the user tells", {{"ra", "", "F", ""}, {"dec", "", "F", ""}}, {small, small}, RaUnit::Hours, 1, 1,
       {{-1, 1}, {-2, 2}}, "RA: decimal hours from ra (column 1) (--ra-unit)"},
      {"a UCD without a unit", {{"a", "", "F", "pos.eq.ra;meta.main"}, {"d", "", "F", "pos.eq.dec;meta.main"}},
       {small, small}, std::nullopt, 3, 1, {{-1, 1}}, "", true},
      {"extinctions, errors and flags",
       {raDeg, deDeg, {"AK", "mag", "F", "", false, "The K band extinction"}, {"e_Kmag", "mag", "F", ""},
        {"a_g_val", "mag", "F", "phys.absorption.gal"}, {"Gflag", "mag", "I", "meta.code"}, {"Kmag", "mag", "F", ""}},
       {}, std::nullopt, 3, 1, {{-3, 7}}, ""},
      {"a colour fills the colour entry alone",
       {raDeg, deDeg, {"E(B-V)", "mag", "F", "phot.color;em.opt.B;em.opt.V"},
        {"bright", "mag", "F", "stat.error;phot.mag"}, {"B-V", "mag", "F", ""}, {"BP-RP", "mag", "F", ""}},
       {}, std::nullopt, 3, 1, {{-3, 0}, {5, 5}}, ": E(B-V) (column 3), a reddening"},
      {"labels of an entry's list refused by kind",
       {raDeg, deDeg, {"Vmag", "mag", "F", "stat.error"}, {"V", "mag", "F", ""}}, {}, std::nullopt, 3, 1,
       {{-3, 4}}, "Not taken for [Magnitude (mag)]: Vmag (column 3), an error"},
  };
  for (const EvidenceCase& c : cases) {
    SCOPED_TRACE(c.what);
    CatalogDefinition def;
    const TableMapping m =
        mapTableColumns(columnTable(c.cols), CatalogType::Stars, def, MappingChoices{c.rows, c.stated});
    std::string all;
    for (const std::string& n : m.notes) all += n + "\n";
    EXPECT_EQ(def.settings.ratype, c.ratype) << all;
    EXPECT_EQ(def.settings.dectype, c.dectype) << all;
    EXPECT_EQ(m.openRaUnit.has_value(), c.open) << all;
    for (const Placed& p : c.placed) {
      const int position = positionOf(def, p.position);
      ASSERT_GE(position, 0);
      EXPECT_EQ(def.ticked(position), p.column > 0) << "entry " << p.position << "\n" << all;
      if (p.column > 0) {
        EXPECT_EQ(def.fieldSlots[static_cast<std::size_t>(position)].firstChar, p.column) << all;
      }
    }
    EXPECT_NE(all.find(c.note), std::string::npos) << all;
  }
}

TEST(ColumnMapping, UnitsWithBlanksPowersAndWordsNormalizeAlike) {
  const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
      {{"mas yr-1", "mas yr^-1", "mas yr**-1", "mas.yr-1", "mas/yr", "mas / yr", "mas yr**(-1)", "mas yr -1"},
       "mas/yr"},
      {{"arcsec yr-1", "arcsec.yr-1", "arcsec / yr"}, "arcsec/yr"},
      {{"deg yr-1", "degree / year"}, "deg/yr"},
      {{"km s-1", "km.s-1", "km/s"}, "km/s"},
      {{"mag arcsec-2", "mag/arcsec2", "mag / arcsec^2", "mag.arcsec**-2"}, "mag/arcsec2"},
      {{"deg", "degree", "degrees"}, "deg"},
      {{"h", "hourangle", "hour"}, "h"},
      {{"\"h:m:s\"", "h:m:s"}, "h:m:s"},
      {{"---", "-", " "}, ""},
  };
  for (const auto& [units, want] : cases)
    for (const char* u : units) EXPECT_EQ(normalizedUnit(u), want) << u;
}

TEST(ColumnMapping, RightAscensionUnitFromTheStrongestEvidence) {
  struct Case {
    RaUnitEvidence e;
    std::optional<RaUnit> unit;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {{"RAJ2000", "deg", 2, 10}, RaUnit::Degrees, "its unit deg"},
      {{"ra", "h", 2, 300, RaUnit::Degrees}, RaUnit::Hours, "its unit h"},
      {{"ra_deg", "", 2, 10, RaUnit::Hours}, RaUnit::Hours, "--ra-unit"},
      {{"RAh", "", 2, 10}, RaUnit::Hours, "its name"},
      {{"ra_hour", "", 0, 0}, RaUnit::Hours, "its name"},
      {{"RAJ2000", "", 3, 359.9}, RaUnit::Degrees, "values up to 359.9"},
      {{"ra", "", 1, 7.655}, std::nullopt, "no unit, and its only value 7.655 is within 0-24"},
      {{"RA", "", 0, 0}, std::nullopt, "no unit, and no value to look at"},
      {{"radius", "", 2, 10}, std::nullopt, "no unit, and its 2 values are all within 0-24"},
  };
  for (const Case& c : cases) {
    const RaUnitDecision d = decideRaUnit(c.e);
    EXPECT_EQ(d.unit, c.unit) << c.e.label;
    EXPECT_EQ(d.reason, c.reason) << c.e.label;
  }
  EXPECT_EQ(mirdal::testing::errorOf([] { decideRaUnit({"ra", "", 200, 359.3, RaUnit::Hours}); }),
            "the right ascension \"ra\" is stated to be in hours, but its values go up to 359.3, which only degrees "
            "reach");
  EXPECT_EQ(parseRaUnit("Hours"), RaUnit::Hours);
  EXPECT_EQ(parseRaUnit("deg"), RaUnit::Degrees);
  EXPECT_EQ(parseRaUnit("weeks"), std::nullopt);
}

}  // namespace
}  // namespace mirdal
