// mirdal-build --input without --readme: projects from the description a
// table file carries itself.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/project_file.h"
#include "support/child_process.h"
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
  if (fs::exists(dir.str() + "/p.prj")) loadProject(dir.str() + "/p.prj", loaded);
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

TEST(TableImportCli, HostileTablesAreWrittenOrRefusedWithTheReason) {
  struct Case {
    std::string what, name, text;
    std::vector<std::string> extra;
    int status;
    std::string said;  // in the output or the error
    bool written;
  };
  const std::vector<Case> cases = {
      {"no names", "t.psv", "1|10.5|-20.25|5.5\n2|11.5|21.5|6.5\n", {}, 0, "have no names", true},
      {"header only", "t.csv", "RAdeg,DEdeg,Vmag\n", {}, 0, "No row of data follows the header", true},
      {"duplicate names", "t.csv", "RAdeg,DEdeg,Vmag,Vmag\n1.5,2.5,3.5,4.5\n", {}, 1, "shares its name \"Vmag\"",
       true},
      {"fixed columns detected", "t.dat", "   1  10.500000 -20.250000  5.50\n   2  11.500000  21.500000  6.50\n", {},
       1, "give the catalog's ReadMe with --readme", false},
      {"fixed columns asked", "t.csv", "RAdeg,DEdeg\n1,2\n", {"--format", "fixed"}, 2, "--readme", false},
      {"unknown form", "t.csv", "RAdeg,DEdeg\n1,2\n", {"--format", "xls"}, 2, "unknown form \"xls\"", false},
      {"ECSV without its header", "t.ecsv", "# %ECSV 1.0\nRAdeg DEdeg\n1 2\n", {}, 1, "t.ecsv", false},
      {"binary data", "t.csv", std::string("RA,DE\n\0\0\x01\x02", 10), {}, 1, "t.csv", false},
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

}  // namespace
}  // namespace mirdal
