// The ReadMe rules on tables whose slots name columns: UCDs decide before
// labels, and slots carry column numbers, widths and names.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/readme_import.h"

namespace mirdal {
namespace {

struct Col {
  std::string label, units, format, ucd;
  bool sexagesimal = false;
};

// The columns numbered 1, 2... with a width of 8.
ReadMeTable columnTable(const std::vector<Col>& cols) {
  ReadMeTable t;
  for (const Col& c : cols) {
    ReadMeColumn r;
    r.label = c.label, r.units = c.units, r.format = c.format, r.ucd = c.ucd, r.sexagesimal = c.sexagesimal;
    r.column = static_cast<int>(t.columns.size()) + 1;
    r.width = 8;
    t.columns.push_back(r);
  }
  return t;
}

// Where an entry went: its list position, the column, the calibration factor.
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

}  // namespace
}  // namespace mirdal
