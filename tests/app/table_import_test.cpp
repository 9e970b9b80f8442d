// mirdal-build --input without --readme: projects from the description a
// table file carries itself.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/project_file.h"
#include "support/child_process.h"
#include "support/fits_writer.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kForms = std::string(MIRDAL_SHARED_DATA_DIR) + "/formats/";
const std::string kBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A slot as the project should hold it; length 0: any length of at least 1.
struct Slot {
  int first, length;
  std::string name;
};

// Runs the import of `input` and loads the project it writes.
testing::ChildOutcome import(const TempDir& dir, const std::vector<std::string>& extra, CatalogDefinition& loaded) {
  std::vector<std::string> args = {"--type", "stars", "--save", dir.str() + "/p.prj"};
  args.insert(args.end(), extra.begin(), extra.end());
  testing::ChildOutcome r = testing::runProgram(dir, kBuild, args);
  if (fs::exists(dir.str() + "/p.prj")) loadProject(dir.str() + "/p.prj", loaded, FileSystem::real());
  return r;
}

void expectSlot(const CatalogDefinition& def, int position, const Slot& want, const std::string& what) {
  ASSERT_GE(position, 0) << what;
  const FieldSlot& s = def.fieldSlots[static_cast<std::size_t>(position)];
  EXPECT_EQ(s.firstChar, want.first) << what;
  if (want.length > 0) {
    EXPECT_EQ(s.length, want.length) << what;
  }
  EXPECT_GE(s.length, 1) << what;
  EXPECT_EQ(def.fieldNames[static_cast<std::size_t>(position)], want.name) << what;
  EXPECT_TRUE(def.ticked(position)) << what;
}

TEST(TableImportCli, SharedFormsMapPositionMagnitudeAndIdentifier) {
  struct Case {
    std::string file;
    TableForm form;
    int ratype, dectype;
    Slot ra, dec, mag, id;
  };
  const Slot raDeg{54, 0, "RAdeg"}, deDeg{55, 0, "DEdeg"}, vmag{29, 0, "Vmag"}, hr{1, 4, "HR"};
  const std::vector<Case> cases = {
      {"bsc5.csv", TableForm::Csv, 3, 1, raDeg, deDeg, vmag, hr},
      {"bsc5.csv.gz", TableForm::Csv, 3, 1, raDeg, deDeg, vmag, hr},
      {"bsc5.tsv", TableForm::Tsv, 3, 1, raDeg, deDeg, vmag, hr},
      {"bsc5.ecsv", TableForm::Ecsv, 3, 1, raDeg, deDeg, vmag, hr},
      // The MRT rows stand two bytes right of their description after FK5,
      // and DEd is described as one byte.
      {"bsc5.mrt", TableForm::Mrt, 0, 0, {95, 2, ""}, {108, 2, ""}, {131, 5, ""}, {1, 4, ""}},
      {"bsc5.fits", TableForm::Fits, 3, 1, raDeg, deDeg, vmag, hr},
      {"bsc5.b2.vot", TableForm::VoTable, 3, 1, raDeg, deDeg, vmag, hr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    if (!fs::exists(kForms + c.file)) GTEST_SKIP() << kForms << c.file << " is absent";
    TempDir dir;
    CatalogDefinition def;
    const testing::ChildOutcome r = import(dir, {"--input", kForms + c.file}, def);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(def.settings.format, c.form);
    EXPECT_TRUE(def.settings.headerrow);
    // A FITS or VOTable file has no lines: its project keeps the eol it had.
    EXPECT_EQ(def.settings.eol, hasLineEnds(c.form) ? 1 : 2);
    EXPECT_FALSE(contains(r.out, "end of line")) << r.out;
    EXPECT_EQ(def.settings.ratype, c.ratype);
    EXPECT_EQ(def.settings.dectype, c.dectype);
    const FieldCatalogue& f = def.fields();
    expectSlot(def, 0, c.ra, "RA");
    expectSlot(def, f.raCount() + (c.dectype == 0 ? 1 : 0), c.dec, "DEC");
    expectSlot(def, f.positionOfField(4), c.mag, "magnitude");
    expectSlot(def, f.positionOfField(3), c.id, "identifier");
    EXPECT_TRUE(def.requiredFieldsTicked());
    EXPECT_TRUE(contains(r.out, "Catalog ID: HR (")) << r.out;
    EXPECT_EQ(def.settings.magmax, 8.0);  // from the data: the faintest V, 7.96, rounded up
  }
}

const std::string kVoTable =
    "<?xml version=\"1.0\"?>\n<VOTABLE version=\"1.3\"><RESOURCE><TABLE name=\"stars\">\n"
    "<FIELD name=\"RAdeg\" datatype=\"double\" unit=\"deg\"/><FIELD name=\"DEdeg\" datatype=\"double\" unit=\"deg\"/>\n"
    "<FIELD name=\"Vmag\" datatype=\"float\" unit=\"mag\"/>\n<DATA><TABLEDATA>\n"
    "<TR><TD>10.5</TD><TD>-20.25</TD><TD>5.5</TD></TR>\n</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n";

TEST(TableImportCli, HostileTablesAreWrittenOrRefusedWithTheReason) {
  const std::string kHoursOrDegrees = "HR,ra,dec,Vmag\n2491,6.7525,-16.7161,-1.46\n2943,7.655,5.225,0.34\n";
  struct Case {
    std::string what, name, text;
    std::vector<std::string> extra;
    int status;
    std::string said;  // in the output or the error
    bool written;
  };
  const std::vector<Case> cases = {
      {"no names", "t.psv", "1|10.5|-20.25|5.5\n2|11.5|21.5|6.5\n", {}, 1, "have no names", true},
      {"header only", "t.csv", "RAdeg,DEdeg,Vmag\n", {}, 0, "No row of data follows the header", true},
      {"duplicate names", "t.csv", "RAdeg,DEdeg,Vmag,Vmag\n1.5,2.5,3.5,4.5\n", {}, 1, "shares its name \"Vmag\"",
       true},
      {"fixed columns detected", "t.dat", "   1  10.500000 -20.250000  5.50\n   2  11.500000  21.500000  6.50\n", {},
       1, "give the catalog's ReadMe with --readme", false},
      {"fixed columns asked", "t.csv", "RAdeg,DEdeg\n1,2\n", {"--format", "fixed"}, 2, "--readme", false},
      {"unknown form", "t.csv", "RAdeg,DEdeg\n1,2\n", {"--format", "xls"}, 2, "unknown form \"xls\"", false},
      {"ECSV without its header", "t.ecsv", "# %ECSV 1.0\nRAdeg DEdeg\n1 2\n", {}, 1, "t.ecsv", false},
      {"binary data", "t.csv", std::string("RA,DE\n\0\0\x01\x02", 10), {}, 1, "t.csv", false},
      {"RA in 0-24 without a unit", "a.csv", kHoursOrDegrees, {}, 1, "give --ra-unit hours or --ra-unit degrees",
       false},
      {"RA unit stated", "a.csv", kHoursOrDegrees, {"--ra-unit", "hours"}, 0,
       "decimal hours from ra (column 2) (as stated)", true},
      {"no position", "t.csv", "x,y,Vmag\n1,2,3\n", {}, 1,
       "the columns left that hold numbers: x (column 1), y (column 2)", true},
      {"lz4", "t.csv.lz4", "\x04\x22\x4D\x18\x64", {}, 1, "t.csv.lz4\" is compressed with lz4", false},
      {"zstd cut short", "t.csv.zst", "\x28\xB5\x2F\xFD\x04", {}, 1, "t.csv.zst\": unexpected end of compressed data",
       false},
      // What the build of the project would refuse is refused before it is written.
      {"short name of a hidden file", "t.csv", "RAdeg,DEdeg,Vmag\n1.5,2.5,3.5\n", {"--short-name", "."}, 2,
       "--short-name \".\": The catalog short name cannot start with \".\"", false},
      {"table of a CSV file", "t.csv", "RAdeg,DEdeg,Vmag\n1.5,2.5,3.5\n", {"--table", "2"}, 2,
       "--table \"2\": a table is chosen in FITS and VOTable files only, not in a file of form csv", false},
      {"table number with a leading zero", "t.vot", kVoTable, {"--table", "01"}, 2,
       "--table \"01\": \"01\" is no table number: tables are numbered 1 to 999999, without leading zeros", false},
      {"table number", "t.vot", kVoTable, {"--table", "1"}, 0, "Project written", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<std::string> args = {"--input", dir.write(c.name, c.text)};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    CatalogDefinition def;
    const testing::ChildOutcome r = import(dir, args, def);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_TRUE(contains(r.out + r.err, c.said)) << r.out << r.err;
    EXPECT_EQ(fs::exists(dir.str() + "/p.prj"), c.written);
    if (c.what == "no names") {
      EXPECT_EQ(def.settings.format, TableForm::Psv);
      EXPECT_EQ(def.fieldSlots[0], FieldSlot{});
    }
  }
}

// A FITS table as archives write it: positions without TUNIT, proper
// motions in the FITS standard's "mas yr-1", an extinction in mag before
// the magnitude.
TEST(TableImportCli, FitsTableOfAnArchive) {
  TempDir dir;
  const std::string path = dir.str() + "/t.fits";
  testing::writeFitsTable(path,
                          {{"RA", "D"}, {"DEC", "D"}, {"pmRA", "E", "mas yr-1"},
                           {"AK", "E", "mag", {{"TCOMM", "The K band extinction"}}}, {"Kmag", "E", "mag"}},
                          {{"101.2875", "-16.7161", "12.5", "0.1", "8.5"}, {"7.655", "5.225", "-3", "0.2", "9.5"}});
  CatalogDefinition def;
  const testing::ChildOutcome r = import(dir, {"--input", path}, def);
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_EQ(def.settings.ratype, 3);
  EXPECT_TRUE(contains(r.out, "RA: decimal degrees from RA (column 1) (values up to 101.2875)")) << r.out;
  const int pm = def.fields().positionOfField(9);
  expectSlot(def, pm, {3, 0, "pmRA"}, "proper motion");
  EXPECT_DOUBLE_EQ(def.fieldSlots[static_cast<std::size_t>(pm)].calcA, 0.001);
  expectSlot(def, def.fields().positionOfField(4), {5, 0, "Kmag"}, "magnitude");
}

TEST(TableImportCli, ArchiveTextPatternsImportAndBuildEveryRow) {
  const std::string mrt =
      "Byte-by-byte Description of file: t.txt\n-----\n Bytes Format Units Label Explanations\n-----\n"
      "  1-  4 I4    --- ID    Identifier (1)\n  6- 15 F10.6 deg RAdeg Right ascension\n"
      " 17- 26 F10.6 deg DEdeg Declination\n 28- 32 F5.2  mag Vmag  V magnitude\n-----\nNote (1): a note\n"
      "  on two lines.\n-----\n\nHistory: made up.\n=====\n(End)   Nobody [CDS]\n-----\n   1  10.500000  20.300000  5.10\n"
      "   2 120.250000 -45.125000  3.20\n";
  // IPAC: a column's bytes lie between its bars, or take the bar's byte on the side the rows
  // write there; "null" or the header's marker is no value.
  const std::string ipac =
      "\\fixlen = T\n|   id|       ra|      dec|  Vmag|\n| long|   double|   double|double|\n"
      "|     |      deg|      deg|   mag|\n|     |     null|     null|    99|\n";
  const struct {
    const char* what;
    const char* name;
    std::string text;
    std::string ra = "RAdeg";
    Slot raSlot{};  // checked where given
    int written = 2, rejected = 0;
    double magmax = 0;  // checked where given
  } cases[]{
      {"bars at both ends", "t.tbl",
       "|  ID|   RAdeg|   DEdeg| Vmag|\n|----|--------|--------|-----|\n|   1| 10.5000| 20.3000| 5.10|\n"
       "|   2| 120.250| -45.125| 3.20|\n"},
      {"a dump drawn with bars", "t.txt",
       "+----+----------+---------+------+\n| ID | RAdeg    | DEdeg   | Vmag |\n+----+----------+---------+------+\n"
       "|  1 |  10.5000 | 20.3000 | 5.10 |\n|  2 | 120.2500 | -45.125 | 3.20 |\n+----+----------+---------+------+\n"},
      {"MRT with closing sections", "t.txt", mrt},
      {"IPAC with every header line", "i.tbl",
       ipac + "      1  101.2875  -16.7161    4.5\n      2  114.8250    5.2250     99\n", "ra", {8, 10, ""}, 2, 0,
       4.5},
      {"IPAC with comments and names only", "i.txt",
       "\\ from the archive\n\\ two rows\n|RAdeg |DEdeg  |Vmag|\n 10.5   20.3    5.1\n 120.25 -45.125 3.2\n", "RAdeg",
       {2, 6, ""}},
      {"IPAC with values under the opening bars", "i.tbl",
       "|RAdeg |DEdeg  |Vmag|\n10.500 20.300  5.10\n1.2500 -45.12  3.20\n", "RAdeg", {1, 7, ""}},
      {"IPAC with a row without position", "i.tbl",
       ipac + "      1  101.2875  -16.7161    1.5\n      2      null    5.2250    0.3\n"
                  "      3  114.8250    5.2250   null\n",
       "ra", {8, 10, ""}, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    CatalogDefinition def;
    const testing::ChildOutcome r =
        import(dir, {"--input", dir.write(c.name, c.text), "--output", dir.str() + "/out"}, def);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "RA: decimal degrees from " + c.ra)) << r.out;
    if (c.raSlot.first > 0) expectSlot(def, 0, c.raSlot, "RA");
    if (c.magmax > 0) {
      EXPECT_EQ(def.settings.magmax, c.magmax);
    }
    const testing::ChildOutcome b = testing::runProgram(dir, kBuild, {dir.str() + "/p.prj"});
    EXPECT_EQ(b.status, 0) << b.out << b.err;
    EXPECT_TRUE(contains(b.out, "records written   " + std::to_string(c.written))) << b.out;
    EXPECT_TRUE(contains(b.out, "lines rejected    " + std::to_string(c.rejected))) << b.out;
  }
}

// An archive's star table and a survey release's part, imported and built:
// the stars carry the V magnitude, not the one seen from their planets, and
// the index names each star, not the release's one solution.
TEST(TableImportCli, ArchiveMagnitudeAndIdentifierReachTheCatalog) {
  const std::string kDump = std::string(MIRDAL_BINARY_DIR) + "/mirdal-dump";
  const struct {
    const char* what;
    const char* header;
    const char* rows;
    const char* record;  // in mirdal-dump's listing of the records
    const char* name;    // in its listing of the index
  } cases[]{
      {"V magnitude, in mags",
       "# - {name: pl_name, datatype: string}\n# - {name: ra, unit: deg, datatype: float64}\n"
       "# - {name: dec, unit: deg, datatype: float64}\n# - {name: st_vmagearth, unit: mag, datatype: float64}\n"
       "# - {name: st_vmag, unit: mags, datatype: float64}\npl_name ra dec st_vmagearth st_vmag\n",
       "\"HD 1 b\" 10.5 20.25 32.27 9.12\n\"HD 2 b\" 11.5 21.25 31.5 8.5\n", "mV=9120", "HD1B"},
      {"identifier of a release part",
       "# - {name: solution_id, datatype: int64}\n# - {name: source_id, datatype: int64}\n"
       "# - {name: ra, unit: deg, datatype: float64}\n# - {name: dec, unit: deg, datatype: float64}\n"
       "# - {name: phot_g_mean_mag, unit: mag, datatype: float32}\n"
       "solution_id source_id ra dec phot_g_mean_mag\n",
       "1635721458409799680 4295806720 10.5 20.25 17.5\n1635721458409799680 4295806721 11.5 21.25 18.5\n", "mV=17500",
       "4295806721"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    CatalogDefinition def;
    const std::string file = dir.write("t.ecsv", std::string("# %ECSV 1.0\n# ---\n# datatype:\n") + c.header + c.rows);
    const testing::ChildOutcome r = import(dir, {"--input", file, "--output", dir.str() + "/out"}, def);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const testing::ChildOutcome b = testing::runProgram(dir, kBuild, {dir.str() + "/p.prj"});
    ASSERT_EQ(b.status, 0) << b.out << b.err;
    const testing::ChildOutcome d = testing::runProgram(dir, kDump, {"--records", "--index", dir.str() + "/out"});
    EXPECT_TRUE(contains(d.out, c.record)) << r.out << d.out;
    EXPECT_TRUE(contains(d.out, std::string("\n  ") + c.name + " ")) << r.out << d.out;
  }
}

// What a person says on the command line replaces the proposal: names for
// a file without a header row, and the column of a field. A field or a
// column that does not exist is a usage error naming the choices.
TEST(TableImportCli, NamesAndChosenColumnsCorrectTheProposal) {
  const std::string headerless = "1|Alpha|110.5|-20.25|5.5|0.3\n2|Beta|211.5|21.5|6.5|0.4\n";
  const std::string named = "id,name,ra,dec,V,G\n1,Alpha,10.5,-20.25,5.5,5.2\n2,Beta,311.5,21.5,6.5,6.1\n";
  const std::string names = "id,name,ra,dec,Vmag,e_Vmag";
  struct Case {
    std::string what, file, text;
    std::vector<std::string> extra;
    int status;
    std::string said;
    int field = 0;    // record field whose slot is checked (0: none)
    int column = 0;   // the column it must read
  };
  const std::vector<Case> cases = {
      {"names", "t.psv", headerless, {"--names", names}, 0, "named as given", 4, 5},
      {"names and a choice", "t.psv", headerless, {"--names", names, "--map", "catalog id=name"}, 0,
       "Catalog ID: name (column 2), as chosen", 3, 2},
      {"too few names", "t.psv", headerless, {"--names", "a,b"}, 2, "2 names are given for the columns"},
      {"a name twice", "t.psv", headerless, {"--names", "a,a,b,c,d,e"}, 2, "\"a\" is given twice"},
      {"names for a file that has them", "t.ecsv", "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: ra}\nra\n1\n",
       {"--names", "x"}, 2, "whose header names the columns"},
      {"a magnitude by name, any letter case", "t.csv", named, {"--map", "MAGNITUDE=g"}, 0,
       "[Magnitude (mag)]: G (column 6), as chosen", 4, 6},
      {"an identifier by number", "t.csv", named, {"--map", "[Catalog ID]=2"}, 0, "Catalog ID: name (column 2)", 3, 2},
      {"the position", "t.csv", named, {"--map", "RA=ra,DEC=dec"}, 0, "RA: decimal degrees from ra (column 3)", 1,
       3},
      {"a position in one cell", "t.csv",
       "id,ra,dec,pos_ra,pos_dec,V\n1,10.5,-20.25,00 42 00.0,-20 15 00,5.5\n2,311.5,21.5,20:46:00,+21:30:00,6.5\n",
       {"--map", "RA=pos_ra,DEC=pos_dec"}, 0, "RA: hours, minutes and seconds in one cell from pos_ra (column 4)", 1, 4},
      {"no such field", "t.csv", named, {"--map", "Colour=V"}, 2, "the fields are RA, DEC, Catalog ID, Magnitude"},
      {"no such column", "t.csv", named, {"--map", "Magnitude=H"}, 2, "the columns are id (column 1)"},
      {"no column given", "t.csv", named, {"--map", "Magnitude="}, 2, "is no FIELD=COLUMN choice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    std::vector<std::string> args = {"--input", dir.write(c.file, c.text), "--output", dir.str() + "/out"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    CatalogDefinition def;
    const testing::ChildOutcome r = import(dir, args, def);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_TRUE(contains(r.out + r.err, c.said)) << r.out << r.err;
    if (c.status != 0) {
      EXPECT_FALSE(fs::exists(dir.str() + "/p.prj"));
      continue;
    }
    const int position = c.field <= 2 ? 0 : def.fields().positionOfField(c.field);
    EXPECT_EQ(def.fieldSlots[static_cast<std::size_t>(position)].firstChar, c.column);
    EXPECT_TRUE(def.ticked(position));
    // Another field that read the chosen column gives it up.
    for (int p = def.fields().firstTypePosition(); p < def.fields().size(); ++p)
      if (p != position && def.ticked(p)) {
        EXPECT_NE(def.fieldSlots[static_cast<std::size_t>(p)].firstChar, c.column) << def.fields().entry(p).text;
      }
    const testing::ChildOutcome b = testing::runProgram(dir, kBuild, {dir.str() + "/p.prj"});
    EXPECT_EQ(b.status, 0) << b.out << b.err;
    EXPECT_TRUE(contains(b.out, "records written   2")) << b.out;
  }
}

// A release too large to read at import is sampled: its head, evenly spaced
// places and its tail, over every part. The widths see the long names at the
// end of the last part, the note says what was sampled, and the build counts the stars
// fainter than a maximum magnitude set too bright.
TEST(TableImportCli, LargeReleasesAreSampledAndTheBuildCountsFainterStars) {
  TempDir dir;
  std::vector<std::string> args;
  for (int part = 0; part < 2; ++part) {
    std::string text = "name,ra,dec,Vmag\n";
    for (int i = 0; i < 150000; ++i) {
      const int n = part * 150000 + i;
      text += (part == 0 ? "Star" : "LongStar") + std::to_string(n) + "," + std::to_string(n % 360) + ".5,-10.25," +
              std::to_string(5 + n / 30000) + ".5\n";
    }
    args.insert(args.end(), {"--input", dir.write("part" + std::to_string(part) + ".csv", text)});
  }
  CatalogDefinition def;
  std::vector<std::string> importArgs = args;
  importArgs.insert(importArgs.end(), {"--output", dir.str() + "/out"});
  const testing::ChildOutcome r = import(dir, importArgs, def);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "rows spread over 2 files")) << r.out;
  EXPECT_TRUE(contains(r.out, "sampled over the data")) << r.out;
  // "LongStar299999" stands in the last rows of the second part only.
  EXPECT_EQ(def.fieldSlots[static_cast<std::size_t>(def.fields().positionOfField(3))].length, 14) << r.out;
  EXPECT_EQ(def.settings.magmax, 14.5);

  importArgs.insert(importArgs.end(), {"--magmax", "12"});
  ASSERT_EQ(import(dir, importArgs, def).status, 0);
  const testing::ChildOutcome b = testing::runProgram(dir, kBuild, {dir.str() + "/p.prj"});
  EXPECT_EQ(b.status, 0) << b.err;
  EXPECT_TRUE(contains(b.out, "fainter stars     90000 records are fainter than the maximum magnitude 12")) << b.out;
}

// A disk that fills while the project is written (here the limit of a file's
// size) fails the save with the reason and leaves the project and its ".old"
// as they were, however often it is tried; nothing is left beside them.
TEST(TableImportCli, SaveOnAFullDiskKeepsTheProject) {
  TempDir dir;
  const std::string input = dir.write("t.csv", "RAdeg,DEdeg,Vmag\n1.5,2.5,3.5\n");
  const std::string project = dir.write("p.prj", "[Page1]\r\ntype=3\r\n");
  dir.write("p.prj.old", "older");
  for (int attempt = 0; attempt < 2; ++attempt) {
    testing::ChildProcess save(kBuild, {"--input", input, "--type", "stars", "--save", project}, dir.str(), "save", {},
                               {.fileSize = 1024});
    const testing::ChildOutcome r = save.wait();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "Unable to write to " + project + ": Cannot write file \"" + project +
                                    ".saving\": File too large"))
        << r.err;
    EXPECT_EQ(TempDir::readFile(project), "[Page1]\r\ntype=3\r\n");
    EXPECT_EQ(TempDir::readFile(project + ".old"), "older");
    EXPECT_FALSE(fs::exists(project + ".saving"));
  }
  // With room, the previous project becomes ".old".
  ASSERT_EQ(testing::runProgram(dir, kBuild, {"--input", input, "--type", "stars", "--save", project}).status, 0);
  EXPECT_EQ(TempDir::readFile(project + ".old"), "[Page1]\r\ntype=3\r\n");
}

}  // namespace
}  // namespace mirdal
