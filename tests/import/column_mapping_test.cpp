// The ReadMe rules on tables whose slots name columns: UCDs decide before
// labels, slots carry column numbers, widths and names, archive names and
// the rows' values settle positions, and some kinds of column never fill a
// number entry. Also the units those tables write, and the RA unit decision;
// and which columns the files archives and surveys give out map to.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/column_recognition.h"
#include "import/position_units.h"
#include "import/readme_import.h"
#include "import/table_import.h"
#include "support/error_of.h"
#include "support/gzip.h"
#include "support/temp_dir.h"
#include "util/file_system.h"

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
       3, 1, {{-1, 3}, {-2, 4}, {-3, 5}}, "Skipped RAJ2000 (column 1): hours, minutes and seconds in one cell, where other columns give"},
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
       {{-1, 1}, {-2, 2}}, "RA: decimal hours from ra (column 1) (as stated)"},
      {"a UCD without a unit", {{"a", "", "F", "pos.eq.ra;meta.main"}, {"d", "", "F", "pos.eq.dec;meta.main"}},
       {small, small}, std::nullopt, 3, 1, {{-1, 1}}, "", true},
      {"extinctions, errors and flags",
       {raDeg, deDeg, {"AK", "mag", "F", "", false, "The K band extinction"}, {"e_Kmag", "mag", "F", ""},
        {"a_g_val", "mag", "F", "phys.absorption.gal"}, {"Gflag", "mag", "I", "meta.code"}, {"Kmag", "mag", "F", ""}},
       {}, std::nullopt, 3, 1, {{-3, 7}}, ""},
      {"extinctions told by their names alone", {raDeg, deDeg, {"AV", "mag", "F", ""}, {"A_V", "mag", "F", ""}}, {},
       std::nullopt, 3, 1, {{-3, 0}}, "Required entry [Magnitude (mag)] has no column"},
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

// Tables as catalog services, name resolvers and archives write them, with
// the whole position in one text cell: the one-cell modes take them, each
// axis on its own evidence.
TEST(ColumnMapping, OneCellPositionsOfDownloadedTables) {
  auto votable = [](const std::string& fields, const std::string& row) {
    return "<?xml version='1.0'?><VOTABLE version='1.4'><RESOURCE><TABLE>" + fields + "<DATA><TABLEDATA>" +
           (row.empty() ? "" : "<TR>" + row + "</TR>") + "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n";
  };
  const struct {
    const char* what;
    const char* name;
    std::string text;
    int ratype, dectype;
    const char* raNote;
    const char* decNote = "DEC: degrees, minutes and seconds in one cell from ";
  } cases[] = {
      {"colons, no column of numbers under the names", "t.csv", "Name,RA,Dec\nA,17:45:40.09,-29:00:22.1\nB,00:05:09.9,+45:13:45\n", 4, 3,
       "RA: hours, minutes and seconds in one cell from RA (column 2) (the cells sampled read so)"},
      {"letters", "t.csv", "Name,RAJ2000,DEJ2000,Vmag\nA,05h34m31.97s,+22d00m52.2s,5.1\n", 4, 3,
       "RA: hours, minutes and seconds in one cell from RAJ2000"},
      {"units h:m:s", "t.vot",
       votable("<FIELD name='RAJ2000' ucd='pos.eq.ra;meta.main' datatype='char' arraysize='11' unit='\"h:m:s\"'/>"
               "<FIELD name='DEJ2000' ucd='pos.eq.dec;meta.main' datatype='char' arraysize='11' unit='\"d:m:s\"'/>"
               "<FIELD name='Vmag' datatype='float' unit='mag'/>",
               "<TD>00 05 09.90</TD><TD>+45 13 45.0</TD><TD>5.1</TD>"),
       4, 3, "RA: hours, minutes and seconds in one cell from RAJ2000 (column 1) (its unit h:m:s)",
       "from DEJ2000 (column 2) (its unit d:m:s); the sign is the cell's"},
      {"main UCDs on text, no row to sample", "t.vot",
       votable("<FIELD name='a' ucd='pos.eq.ra;meta.main' datatype='char' arraysize='*'/>"
               "<FIELD name='d' ucd='pos.eq.dec;meta.main' datatype='char' arraysize='11'/>",
               ""),
       4, 3, "RA: hours, minutes and seconds in one cell from a (column 1) (a text with the UCD pos.eq.ra;meta.main)"},
      {"decimal RA beside a one-cell DEC", "t.csv", "id,ra_deg,dec\nA,83.633,+22 00 52.2\n", 3, 3,
       "RA: decimal degrees from ra_deg"},
      {"a one-cell RA beside a decimal DEC", "t.csv", "id,ra,dec_deg\nA,05:34:31.9,22.0145\n", 4, 1,
       "RA: hours, minutes and seconds in one cell from ra", "DEC: decimal degrees from dec_deg"},
      {"main UCD on text that holds numbers", "t.vot",
       votable("<FIELD name='a' ucd='pos.eq.ra;meta.main' datatype='char' arraysize='*'/>"
               "<FIELD name='d' ucd='pos.eq.dec;meta.main' datatype='double' unit='deg'/>",
               "<TD>83.633</TD><TD>22.01</TD>"),
       0, 1, "No right ascension column", "DEC: decimal degrees from d"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    CatalogDefinition def;
    const TableImport r =
        importTableDescription(FileSystem::real(), dir.write(c.name, c.text), std::nullopt, CatalogType::Stars, def);
    std::string all;
    for (const std::string& n : r.notes) all += n + "\n";
    EXPECT_EQ(def.settings.ratype, c.ratype) << all;
    EXPECT_EQ(def.settings.dectype, c.dectype) << all;
    EXPECT_NE(all.find(c.raNote), std::string::npos) << all;
    EXPECT_NE(all.find(c.decNote), std::string::npos) << all;
  }
}

// Each rule that keeps a column out of the number entries, by a column that
// no other rule tells, and explanations that say what they name is corrected for.
TEST(ColumnMapping, EveryKindRuleTellsAColumnAlone) {
  using detail::Kind;
  const struct {
    Col col;
    Kind kind;
  } cases[] = {
      {{"s", "mag", "F", "stat.stdev"}, Kind::Error},
      {{"q", "", "I", "meta.code.qual"}, Kind::Flag},
      {{"x", "mag", "F", "phot.color.excess"}, Kind::Reddening},
      {{"x", "mag", "F", "phys.absorption.gal"}, Kind::Extinction},
      {{"E(B-V)", "mag", "F", ""}, Kind::Reddening},
      {{"EBmV", "mag", "F", ""}, Kind::Reddening},
      {{"x", "mag", "F", "phot.color;em.opt.B;em.opt.V"}, Kind::Colour},
      {{"sigmaV", "mag", "F", ""}, Kind::Error},
      {{"V_unc", "mag", "F", ""}, Kind::Error},
      {{"V_err_sys", "mag", "F", ""}, Kind::Error},
      {{"q_Vmag", "", "A", ""}, Kind::Flag},
      {{"Vflags", "", "I", ""}, Kind::Flag},
      {{"A_Ks", "mag", "F", ""}, Kind::Extinction},
      {{"ext_V", "mag", "F", ""}, Kind::Extinction},
      {{"(J-Ks)", "mag", "F", ""}, Kind::Colour},
      {{"B-Vmag", "mag", "F", ""}, Kind::Colour},
      {{"BP_RP", "mag", "F", ""}, Kind::Colour},
      {{"x", "mag", "F", "", false, "Colour excess"}, Kind::Reddening},
      {{"x", "mag", "F", "", false, "Interstellar absorption"}, Kind::Extinction},
      {{"V", "mag", "F", "", false, "V corrected for extinction"}, Kind::None},
      {{"V0", "mag", "F", "", false, "Dereddened V, extinction removed"}, Kind::None},
      {{"V0", "mag", "F", "", false, "Unreddened V, free of extinction"}, Kind::None},
  };
  for (const auto& [col, kind] : cases) {
    const ReadMeColumn c = columnTable({col}).columns[0];
    EXPECT_EQ(detail::neverKind(c, detail::ucdWords(c.ucd)), kind) << col.label << " " << col.ucd << col.explanation;
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
      {{"mags", "Magnitude[mag]", "magnitude"}, "mag"},
      {{"Angle[deg]", "deg"}, "deg"},
      {{"rad", "radians", "Angle[rad]"}, "rad"},
  };
  for (const auto& [units, want] : cases)
    for (const char* u : units) EXPECT_EQ(normalizedUnit(u), want) << u;
}

// An ECSV header and rows: each column "name:datatype:unit" (the unit may be empty).
std::string ecsv(const std::vector<std::string>& columns, const std::string& rows) {
  std::string header = "# %ECSV 1.0\n# ---\n# datatype:\n", names;
  for (const std::string& c : columns) {
    const std::size_t a = c.find(':'), b = c.find(':', a + 1);
    header += "# - {name: " + c.substr(0, a) + ", datatype: " + c.substr(a + 1, b - a - 1);
    if (b + 1 < c.size()) header += ", unit: '" + c.substr(b + 1) + "'";
    header += "}\n";
    names += (names.empty() ? "" : " ") + c.substr(0, a);
  }
  return header + names + "\n" + rows;
}

// What the files archives give out map to: the columns of the position, the
// magnitude and the Catalog ID, by label ("" none), and a note.
TEST(ColumnMapping, ArchiveFilesMapTheirMagnitudeIdentifierAndPosition) {
  const std::string vot =
      "<?xml version=\"1.0\"?>\n<VOTABLE version=\"1.3\"><RESOURCE><TABLE>\n"
      "<FIELD name=\"oid\" datatype=\"long\" ucd=\"meta.record\"/>\n"
      "<FIELD name=\"main_id\" datatype=\"char\" arraysize=\"*\" ucd=\"meta.id;meta.main\"/>\n"
      "<FIELD name=\"ra\" datatype=\"double\" unit=\"Angle[deg]\" ucd=\"pos.eq.ra;meta.main\"/>\n"
      "<FIELD name=\"dec\" datatype=\"double\" unit=\"Angle[deg]\" ucd=\"pos.eq.dec;meta.main\"/>\n"
      "<FIELD name=\"flux_B\" datatype=\"float\" unit=\"Magnitude[mag]\" ucd=\"phot.mag;em.opt.B\"/>\n"
      "<FIELD name=\"flux_V\" datatype=\"float\" unit=\"Magnitude[mag]\" ucd=\"phot.mag;em.opt.V\"/>\n"
      "<DATA><TABLEDATA>\n<TR><TD>7</TD><TD>* alf Lyr</TD><TD>279.23</TD><TD>38.78</TD><TD>0.0</TD><TD>0.03</TD></TR>\n"
      "<TR><TD>8</TD><TD>* alf Boo</TD><TD>213.91</TD><TD>19.18</TD><TD>1.2</TD><TD>-0.05</TD></TR>\n"
      "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n";
  const struct {
    const char* what;
    const char* file;
    std::string text;
    const char *ra, *dec, *magnitude, *id;
    const char* note;
    double positionFactor = 1;
  } cases[]{
      {"an archive's star table: V before the star as seen from its planet", "exo.ecsv",
       ecsv({"pl_name:string:", "ra:float64:deg", "dec:float64:deg", "st_vmagearth:float64:mag",
             "st_vmag:float64:mags", "sy_gaiamag:float64:mag", "st_vmagerr1:float64:mag"},
            "\"HD 1 b\" 10.5 20.25 32.27 9.12 8.9 0.1\n\"HD 2 b\" 11.5 21.25 31.0 8.5 8.1 0.1\n"),
       "ra", "dec", "st_vmag", "pl_name",
       "also seen: st_vmagearth (column 4), an Earth-equivalent magnitude, never taken; sy_gaiamag (column 6), band "
       "G; st_vmagerr1 (column 7), an error, never taken"},
      {"a sky survey's query: bands without units, r first", "sdss.csv",
       "objID,ra,dec,u,g,r,i,z\n1237645876861272165,10.5,20.25,19,18,17,16.5,16\n"
       "1237645876861272166,11.5,21.25,19,18,17,16.5,16\n",
       "ra", "dec", "r", "objID", "Magnitude: r (column 6) taken, band r"},
      {"a survey release part: its release's one solution_id is no identifier", "part.ecsv",
       ecsv({"solution_id:int64:", "source_id:int64:", "designation:string:", "ra:float64:deg", "dec:float64:deg",
             "phot_g_mean_mag:float32:mag", "phot_bp_mean_mag:float32:mag", "bp_rp:float32:mag",
             "phot_g_mean_flux:float64:electron/s"},
            "1635721458409799680 4295806720 \"DR3 4295806720\" 10.5 20.25 17 17.5 0.5 100\n"
            "1635721458409799680 4295806721 \"DR3 4295806721\" 11.5 21.25 18 18.5 0.5 90\n"),
       "ra", "dec", "phot_g_mean_mag", "source_id",
       "solution_id (column 1), the same value in all 2 sampled cells, never taken"},
      {"a catalog service's table: old units, names by UCD", "tap.vot", vot, "ra", "dec", "flux_V", "main_id",
       "Magnitude: flux_V (column 6) taken, the main magnitude by its UCD"},
      {"infrared bands without units, none preferred: the first", "jhk.csv",
       "ra,dec,J,H,K\n10.5,20.25,9,8.5,8\n11.5,21.25,9,8.5,8\n", "ra", "dec", "J", "", ""},
      {"an infrared survey's point sources: decl, band_m", "psc.csv",
       "designation,ra,decl,j_m,j_msigcom,k_m\n00000000+0000000,10.5,20.25,9,0.1,8\n00000001+0000001,11.5,21.25,9,0.1,8\n",
       "ra", "decl", "j_m", "designation", "also seen: k_m (column 6), band K"},
      {"one band letter alone is no magnitude", "z.csv", "ra,dec,z\n10.5,20.25,0.1\n11.5,21.25,0.2\n", "ra", "dec",
       "", "", ""},
      {"kinds that never make the magnitude; a float or one value is no identifier", "kinds.ecsv",
       ecsv({"Name:string:", "ID:float64:", "star_name:string:", "ra:float64:deg", "dec:float64:deg", "M_V:float64:mag",
             "Vmag_lim:float64:mag", "A_V:float64:mag", "B-V:float64:mag", "mu_V:float64:mag/arcsec2",
             "absmag:float64:mag", "Vmag_diff:float64:mag", "g_r:float64:mag", "JAperMag3:float64:"},
            "S 1.5 a 10.5 20.25 1 2 3 4 5 6 7 8 9\nS 2.5 b 11.5 21.25 1 2 3 4 5 6 7 8 9\n"),
       "ra", "dec", "JAperMag3", "star_name",
       "also seen: Name (column 1), the same value in all 2 sampled cells, never taken; ID (column 2), numbers with a "
       "fraction, never taken"},
      {"radians, read into degrees", "rad.ecsv",
       ecsv({"name:string:", "ra:float64:rad", "dec:float64:radian", "Vmag:float64:mag"},
            "a 0.1 0.2 5\nb 0.3 -0.4 6\n"),
       "ra", "dec", "Vmag", "name",
       "RA: decimal degrees from ra (column 2) (its unit rad, x 57.29577951308232 into degrees)",
       57.29577951308232},
      {"a right ascension in a unit no mode reads is named with it", "arcsec.ecsv",
       ecsv({"ra:float64:arcsec", "dec:float64:deg", "Vmag:float64:mag"}, "1000 20 5\n2000 21 6\n"), "", "dec", "Vmag",
       "", "Not taken for RA: ra (column 1) is in arcsec, which is no unit of a right ascension"},
      {"galactic coordinates alone are named so", "gal.ecsv",
       ecsv({"name:string:", "glon:float64:deg", "glat:float64:deg", "Vmag:float64:mag"}, "a 120 -5 5\nb 130 5 6\n"),
       "", "", "Vmag", "name", "Position: only galactic coordinates (glon (column 2), glat (column 3))"},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CatalogDefinition def;
    const TableImport imported =
        importTableDescription(FileSystem::real(), dir.write(c.file, c.text), std::nullopt, CatalogType::Stars, def);
    std::string all;
    for (const std::string& n : imported.notes) all += n + "\n";
    const struct {
      int position;
      const char* column;
    } wanted[] = {{0, c.ra},
                  {def.fields().raCount(), c.dec},
                  {def.fields().positionOfField(magnitudeFieldOf(CatalogType::Stars)), c.magnitude},
                  {def.fields().positionOfField(3), c.id}};
    for (const auto& w : wanted) {
      const auto p = static_cast<std::size_t>(w.position);
      EXPECT_EQ(def.ticked(w.position) ? def.fieldNames[p] : "", w.column) << all;
    }
    if (*c.dec) {
      EXPECT_DOUBLE_EQ(def.fieldSlots[0].calcA, c.positionFactor);
      EXPECT_DOUBLE_EQ(def.fieldSlots[static_cast<std::size_t>(def.fields().raCount())].calcA, c.positionFactor);
    }
    EXPECT_NE(all.find(c.note), std::string::npos) << all;
    EXPECT_EQ(imported.positionProblem.empty(), *c.ra != '\0') << all;
  }
}

// A few cells that are no number leave a column of numbers one, named in the
// notes; a row that repeats the header row (files joined together, plain or
// compressed) is not taken as data. Past one in a hundred, it is text.
TEST(ColumnMapping, StrayCellsAndRepeatedHeadersLeaveNumberColumnsMapped) {
  // "ra,dec,Vmag" and `n` rows, the cell of RA `bad` in every `every`th.
  auto rows = [](int n, int every, const std::string& bad) {
    std::string text = "ra,dec,Vmag\n";
    for (int r = 1; r <= n; ++r)
      text += (r % every == 0 ? bad : std::to_string(r % 360) + ".5") + ",-10.25," + std::to_string(r % 9) + ".5\n";
    return text;
  };
  const std::string joined = rows(300, 1000, "") + rows(300, 1000, "");
  const struct {
    const char* what;
    const char* file;
    std::string text;
    const char* ra;
    const char* note;
  } cases[]{
      {"one text among a thousand", "one.csv", rows(1000, 500, "n/a"), "ra",
       "Column 1 (ra) is taken as numbers, though 2 of its 1000 sampled values are no number, the first \"n/a\""},
      {"files joined", "joined.csv", joined, "ra",
       "1 row repeats the header row among the data, as in files joined together: it is not taken as data"},
      {"compressed files joined", "joined.csv.gz", testing::gzipped(rows(300, 1000, "")) + testing::gzipped(rows(300, 1000, "")), "ra",
       "1 row repeats the header row among the data"},
      {"two texts in a hundred", "texts.csv", rows(100, 50, "n/a"), "", "Not taken for RA: ra (column 1) holds texts"},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CatalogDefinition def;
    const TableImport imported =
        importTableDescription(FileSystem::real(), dir.write(c.file, c.text), std::nullopt, CatalogType::Stars, def);
    std::string all = imported.positionProblem + "\n";
    for (const std::string& n : imported.notes) all += n + "\n";
    EXPECT_EQ(def.ticked(0) ? def.fieldNames[0] : "", c.ra) << all;
    EXPECT_NE(all.find(c.note), std::string::npos) << all;
  }
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
      {{"ra_deg", "", 2, 10, RaUnit::Hours}, RaUnit::Hours, "as stated"},
      {{"RAh", "", 2, 10}, RaUnit::Hours, "its name"},
      {{"ra_hour", "", 0, 0}, RaUnit::Hours, "its name"},
      {{"RAJ2000", "", 3, 359.9}, RaUnit::Degrees, "values up to 359.9"},
      {{"ra", "", 2, 24.01}, RaUnit::Degrees, "values up to 24.01"},
      {{"ra", "", 2, 24}, std::nullopt, "no unit, and its 2 values are all within 0-24"},
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
