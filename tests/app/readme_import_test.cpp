// Projects written from a catalog's ReadMe: the archives' catalogs build the
// same records as hand-written projects of the same columns, and
// mirdal-build --readme writes, reports and refuses as it should.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "convert/build_pipeline.h"
#include "catalog/project_file.h"
#include "import/readme_import.h"
#include "output/catalog_reader.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::columns;
using testing::RecordingUi;
using testing::setSlot;
using testing::TempDir;

const std::string kData = MIRDAL_SHARED_DATA_DIR;
const std::string kBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";

// Builds `def` into `dir` through a saved and reloaded project, as a user
// of the command line would.
BuildResult buildThroughProject(CatalogDefinition def, const std::string& dir, const std::string& name) {
  def.settings.ouputdir = dir + "/" + name;
  const std::string project = dir + "/" + name + ".prj";
  saveProject(project, def, FileSystem::real());
  CatalogDefinition loaded;
  loadProject(project, loaded, FileSystem::real());
  RecordingUi ui;
  return BuildPipeline(ui, FileSystem::real()).run(loaded);
}

// Same records in every region, in the same order, and the same index.
void expectSameCatalog(const std::string& a, const std::string& b) {
  CatalogReader ra(a, {}, FileSystem::real()), rb(b, {}, FileSystem::real());
  EXPECT_EQ(ra.header().recordLength, rb.header().recordLength);
  ASSERT_EQ(ra.regionCount(), rb.regionCount());
  for (int r = 1; r <= ra.regionCount(); ++r) EXPECT_EQ(ra.readRegion(r), rb.readRegion(r)) << "region " << r;
  const auto ia = ra.readIndex(), ib = rb.readIndex();
  ASSERT_EQ(ia.size(), ib.size());
  for (std::size_t i = 0; i < ia.size(); ++i) {
    EXPECT_EQ(ia[i].name, ib[i].name) << i;
    EXPECT_EQ(ia[i].ra, ib[i].ra) << i;
    EXPECT_EQ(ia[i].dec, ib[i].dec) << i;
  }
}

// ---------------------------------------------------------------------------
// The archives' catalogs

TEST(ReadMeImportBuild, Bsc5BuildsTheRecordsOfTheHandWrittenProject) {
  const std::string readme = kData + "/bsc5/ReadMe", input = kData + "/bsc5/catalog";
  if (!fs::exists(readme) || !fs::exists(input)) GTEST_SKIP() << "bsc5 is absent";
  TempDir dir;

  CatalogDefinition imported;
  importReadMe(readme, input, "", CatalogType::Stars, imported, FileSystem::real());
  imported.settings.inputfiles = {input};
  imported.settings.eol = 1;
  imported.settings.shortname = "bsc";
  imported.settings.longname = "Bright Star Catalogue";

  // Stars, RA h m s, DEC sign d m s, then the type entries, ten strings and
  // nine numerics of the catalog's columns.
  CatalogDefinition hand;
  hand.settings.inputfiles = {input};
  hand.settings.eol = 1;
  hand.settings.shortname = "bsc";
  hand.settings.longname = "Bright Star Catalogue";
  setSlot(hand, 0, 76, 2);    // RAh
  setSlot(hand, 1, 78, 2);    // RAm
  setSlot(hand, 2, 80, 4);    // RAs
  setSlot(hand, 3, 84, 1);    // DE-
  setSlot(hand, 4, 85, 2);    // DEd
  setSlot(hand, 5, 87, 2);    // DEm
  setSlot(hand, 6, 89, 2);    // DEs
  setSlot(hand, 7, 1, 4);     // HR
  setSlot(hand, 8, 103, 5);   // Vmag
  setSlot(hand, 9, 110, 5);   // B-V
  setSlot(hand, 12, 128, 20); // SpType
  setSlot(hand, 13, 149, 6);  // pmRA
  setSlot(hand, 14, 155, 6);  // pmDE
  setSlot(hand, 16, 162, 5);  // Parallax
  setSlot(hand, 18, 5, 10);   // Name
  setSlot(hand, 19, 15, 11);  // DM
  setSlot(hand, 20, 26, 6);   // HD
  setSlot(hand, 21, 32, 6);   // SAO
  setSlot(hand, 22, 38, 4);   // FK5
  setSlot(hand, 23, 45, 5);   // ADS
  setSlot(hand, 24, 52, 9);   // VarID
  setSlot(hand, 25, 42, 1);   // IRflag
  setSlot(hand, 26, 44, 1);   // Multiple
  setSlot(hand, 27, 50, 2);   // ADScomp
  setSlot(hand, 28, 91, 6);   // GLON
  setSlot(hand, 29, 97, 6);   // GLAT
  setSlot(hand, 30, 116, 5);  // U-B
  setSlot(hand, 31, 122, 5);  // R-I
  setSlot(hand, 32, 167, 4);  // RadVel
  setSlot(hand, 33, 177, 3);  // RotVel
  setSlot(hand, 34, 181, 4);  // Dmag
  setSlot(hand, 35, 185, 6);  // Sep
  setSlot(hand, 36, 195, 2);  // MultCnt

  const BuildResult a = buildThroughProject(imported, dir.str(), "imported");
  const BuildResult b = buildThroughProject(hand, dir.str(), "hand");
  ASSERT_TRUE(a.completed);
  ASSERT_TRUE(b.completed);
  EXPECT_EQ(a.recordsWritten, 9096);
  EXPECT_EQ(a.linesRejected, 14);
  EXPECT_EQ(b.recordsWritten, 9096);
  expectSameCatalog(dir.str() + "/imported", dir.str() + "/hand");
  // 8 for the position, 4 for the ID, 2 + 2 + 20 + 2 + 2 + 2 for the other
  // type fields, 10 strings of 10+11+6+6+4+5+9+1+1+2 bytes, nine 4-byte numerics.
  EXPECT_EQ(CatalogReader(dir.str() + "/imported", {}, FileSystem::real()).header().recordLength, 8 + 4 + 30 + 55 + 36);
}

TEST(ReadMeImportBuild, Ngc2000BuildsTheRecordsOfTheHandWrittenProject) {
  const std::string readme = kData + "/ngc2000/ReadMe", input = kData + "/ngc2000/ngc2000.dat";
  if (!fs::exists(readme) || !fs::exists(input)) GTEST_SKIP() << "ngc2000 is absent";
  TempDir dir;

  CatalogDefinition imported;
  importReadMe(readme, input, "", CatalogType::Nebulae, imported, FileSystem::real());
  imported.settings.inputfiles = {input};
  imported.settings.eol = 1;
  imported.settings.shortname = "ngc";
  imported.settings.longname = "NGC 2000.0";
  imported.settings.numfile = 1;

  // Nebulae, RA hours and decimal minutes, DEC sign, degrees, minutes.
  CatalogDefinition hand;
  hand.setType(3);
  hand.settings.inputfiles = {input};
  hand.settings.eol = 1;
  hand.settings.shortname = "ngc";
  hand.settings.longname = "NGC 2000.0";
  hand.settings.numfile = 1;
  setSlot(hand, 0, 11, 2);    // RAh
  setSlot(hand, 1, 14, 4);    // RAm
  setSlot(hand, 3, 20, 1);    // DE-
  setSlot(hand, 4, 21, 2);    // DEd
  setSlot(hand, 5, 24, 2);    // DEm
  setSlot(hand, 7, 1, 5);     // Name
  setSlot(hand, 8, 7, 3);     // Type
  setSlot(hand, 9, 41, 4);    // mag
  setSlot(hand, 11, 34, 5);   // size
  setSlot(hand, 17, 47, 50);  // Desc
  setSlot(hand, 18, 27, 1);   // Source
  setSlot(hand, 19, 30, 3);   // Const

  const BuildResult a = buildThroughProject(imported, dir.str(), "imported");
  const BuildResult b = buildThroughProject(hand, dir.str(), "hand");
  ASSERT_TRUE(a.completed);
  ASSERT_TRUE(b.completed);
  EXPECT_EQ(a.recordsWritten, 13226);
  EXPECT_EQ(a.linesRejected, 0);
  expectSameCatalog(dir.str() + "/imported", dir.str() + "/hand");
  CatalogReader reader(dir.str() + "/imported", {}, FileSystem::real());
  EXPECT_EQ(reader.header().defaultB, 60);  // size unit: arcmin
}

// ---------------------------------------------------------------------------
// mirdal-build --readme

using Outcome = testing::ChildOutcome;

Outcome run(const TempDir& dir, const std::vector<std::string>& args) {
  return testing::runProgram(dir, kBuild, args);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kRule(80, '-');

std::string starsTable(const std::string& file) {
  return "Byte-by-byte Description of file: " + file + "\n" + kRule + "\n" +
         "   Bytes Format Units   Label   Explanations\n" + kRule + "\n" +
         "   1-  4  I4     ---     Seq     Sequential number\n"
         "   6- 15  F10.6  deg     RAdeg   Right ascension (J2000)\n"
         "  17- 26  F10.6  deg     DEdeg   Declination (J2000)\n"
         "  28- 32  F5.2   mag     Vmag    V magnitude\n" +
         kRule + "\n";
}

const std::string kTitle = "J/X/1        Tiny stars        (Nobody, 2024)\n" + std::string(80, '=') + "\n";

class ReadMeCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild)) GTEST_SKIP() << kBuild << " is not built";
    readme = dir.write("ReadMe", kTitle + starsTable("stars.dat"));
    input = dir.write("stars.dat", columns({{1, "   1"}, {6, " 10.000000"}, {17, " 20.000000"}, {28, " 3.50"}}) +
                                       "\r\n" +
                                       columns({{1, "   2"}, {6, "200.500000"}, {17, "-45.250000"}, {28, " 5.25"}}) +
                                       "\r\n");
    project = dir.str() + "/tiny.prj";
  }
  TempDir dir;
  std::string readme, input, project;
};

TEST_F(ReadMeCli, WritesTheProjectPrintsTheNotesAndBuildsNothing) {
  Outcome r = run(dir, {"--readme", readme, "--input", input, "--type", "stars", "--save", project, "--output",
                        dir.str() + "/out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Project written to " + project + "\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  catalog           JX1, \"Tiny stars (J/X/1)\", Stars\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  RA: decimal degrees from RAdeg (6-15) (its unit deg)\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  Catalog ID: Seq (1-4)\n")) << r.out;
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(fs::exists(dir.str() + "/out"));

  CatalogDefinition loaded;
  loadProject(project, loaded, FileSystem::real());
  EXPECT_EQ(loaded.settings.type, 0);
  EXPECT_EQ(loaded.settings.ratype, 3);
  EXPECT_EQ(loaded.settings.dectype, 1);
  EXPECT_EQ(loaded.settings.eol, 2);  // the input's CR LF
  EXPECT_EQ(loaded.settings.shortname, "JX1");
  // Beside the project: named relative to it.
  EXPECT_EQ(loaded.settings.inputfiles, std::vector<std::string>{"stars.dat"});
  EXPECT_EQ(loaded.settings.ouputdir, dir.str() + "/out");
  EXPECT_EQ(loaded.fieldSlots[0], (FieldSlot{6, 10, 1, 0}));
  EXPECT_EQ(loaded.fieldSlots[1], (FieldSlot{17, 10, 1, 0}));
  EXPECT_EQ(loaded.fieldSlots[2], (FieldSlot{1, 4, 1, 0}));
  EXPECT_EQ(loaded.fieldSlots[3], (FieldSlot{28, 5, 1, 0}));
  EXPECT_TRUE(loaded.requiredFieldsTicked());

  r = run(dir, {project});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "records written   2")) << r.out;
  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(testing::totalRecords(reader), 2);
}

TEST_F(ReadMeCli, FileOptionPicksTheTableOfAnotherName) {
  readme = dir.write("ReadMe", kTitle + starsTable("stars.dat") + starsTable("other.dat"));
  const std::string renamed = dir.str() + "/renamed.txt";
  fs::copy_file(input, renamed);
  Outcome r = run(dir, {"--readme", readme, "--input", renamed, "--type", "stars", "--save", project});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "mirdal-build: \"" + readme +
                                  "\" has no description of file \"renamed.txt\"; it describes: stars.dat, other.dat"))
      << r.err;
  EXPECT_FALSE(fs::exists(project));

  r = run(dir, {"--readme=" + readme, "--input=" + renamed, "--type=stars", "--save=" + project, "--file=other.dat"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(project));
}

TEST_F(ReadMeCli, MissingRequiredColumnWritesTheProjectButFails) {
  // The stars table has no separation for a double star; Vmag stands in for
  // the first component's magnitude.
  Outcome r = run(dir, {"--readme", readme, "--input", input, "--type", "doubles", "--save", project});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mirdal-build: no column found for [Separation (arcsec)]; give its column with --map "
                   "FIELD=COLUMN, or complete the project in the wizard (mirdal " + project + ")\n");
  EXPECT_TRUE(contains(r.out, "[Magnitude component 1 (mag)]: Vmag (28-32)\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "Required entry [Separation (arcsec)] has no column")) << r.out;
  CatalogDefinition loaded;
  loadProject(project, loaded, FileSystem::real());
  EXPECT_EQ(loaded.settings.type, 2);
}

TEST_F(ReadMeCli, BadRequestsAreRefusedWithTheReason) {
  Outcome r = run(dir, {"--readme", readme, "--input", input, "--type", "stars"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "writing a project from a ReadMe needs --save")) << r.err;
  EXPECT_TRUE(contains(r.err, "Usage: mirdal-build"));

  // Without --readme the file must describe itself; fixed columns do not.
  r = run(dir, {"--input", input, "--type", "stars", "--save", project});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "give the catalog's ReadMe with --readme")) << r.err;

  r = run(dir, {"--readme", readme, "--input", input, "--type", "galaxies", "--save", project});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "unknown catalog type \"galaxies\"")) << r.err;

  r = run(dir, {"--readme", readme, "--input", input, "--type", "stars", "--save", project, "other.prj"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "other.prj is not expected")) << r.err;

  r = run(dir, {"--readme", readme, "--input"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "--input needs a value")) << r.err;
  EXPECT_FALSE(fs::exists(project));
}

// A right ascension the ReadMe gives no unit: the data's values decide
// where they can, else the user does, else nothing is written.
TEST_F(ReadMeCli, RightAscensionWithoutAUnitIsDecidedByTheDataOrAsked) {
  std::string table = starsTable("stars.dat");
  const std::string declared = "deg     RAdeg ";
  table.replace(table.find(declared), declared.size(), "---     RA    ");
  readme = dir.write("ReadMe", kTitle + table);
  struct Case {
    std::string ra;
    std::vector<std::string> extra;
    int status;
    std::string said;
  };
  const std::vector<Case> cases = {
      {"200.500000", {}, 0, "RA: decimal degrees from RA (6-15) (values up to 200.5)"},
      {" 20.500000", {}, 1, "the right ascension RA (6-15) has no unit, and its 2 values are all within 0-24"},
      {" 20.500000", {"--ra-unit", "hours"}, 0, "RA: decimal hours from RA (6-15) (as stated)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ra + (c.extra.empty() ? "" : " stated"));
    fs::remove(project);
    dir.write("stars.dat", columns({{1, "   1"}, {6, " 10.000000"}, {17, " 20.000000"}, {28, " 3.50"}}) + "\n" +
                               columns({{1, "   2"}, {6, c.ra}, {17, "-45.250000"}, {28, " 5.25"}}) + "\n");
    std::vector<std::string> args = {"--readme", readme, "--input", input, "--type", "stars", "--save", project};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const Outcome r = run(dir, args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.out + r.err, c.said)) << r.out << r.err;
    EXPECT_EQ(fs::exists(project), c.status == 0);
  }
}

// What the import leaves open is given on the command line; the maximum
// magnitude comes from the data (3.50 and 5.25: 5.3) unless --magmax says.
TEST_F(ReadMeCli, ImportOptionsLeaveNothingToEditByHand) {
  fs::create_directory(dir.path() / "elsewhere");
  const std::string outside = dir.str() + "/elsewhere/p.prj";
  Outcome r = run(dir, {"--readme", readme, "--input", input, "--type", "stars", "--save", outside, "--short-name",
                        "BS", "--long-name=Bright stars", "--regions", "184", "--no-index", "--equinox", "1950"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "  output directory  " + BuildSettings::defaultOutputDirectory() + "\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  maximum magnitude 5.3 (faintest of 2 magnitudes in all 2 rows of 1 file")) << r.out;
  CatalogDefinition loaded;
  loadProject(outside, loaded, FileSystem::real());
  const BuildSettings& s = loaded.settings;
  EXPECT_EQ(s.inputfiles, std::vector<std::string>{input});  // not below the project: absolute
  EXPECT_EQ(std::make_tuple(s.shortname, s.longname, s.numfile, s.index, s.equinox, s.magmax),
            std::make_tuple(std::string("BS"), std::string("Bright stars"), 1, false, 1950.0, 5.3));

  r = run(dir, {"--readme", readme, "--input", input, "--type", "stars", "--save", project, "--magmax", "9"});
  ASSERT_EQ(r.status, 0) << r.err;
  loadProject(project, loaded, FileSystem::real());
  EXPECT_EQ(loaded.settings.magmax, 9);
}

TEST_F(ReadMeCli, ImportOptionsOutOfRangeAreRefusedBeforeWriting) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--regions", "100"}, "--regions \"100\": give 50, 184, 732 or 9537"},
      {{"--magmax", "bright"}, "--magmax \"bright\": not a number"},
      {{"--short-name", "a/b"}, "--short-name \"a/b\": The catalog short name cannot hold"},
      {{"--short-name", "LONGER"}, "longer than 4 characters"},
      {{"--short-name", "\xC3\xA9\xC3\xA9\xC3\xA9"}, "3 characters of 6 bytes: The catalog short name takes more than"},
      {{"--alt-names", "1"}, "--alt-names \"1\": String 1 is not a field of this catalog"},
      {{"--alt-names", "HD"}, "neither a String number 1 to 10 nor the label"},
      {{"--equinox"}, "--equinox needs a value"},
  };
  for (const auto& [options, message] : cases) {
    std::vector<std::string> args = {"--readme", readme, "--input", input, "--type", "stars", "--save", project};
    args.insert(args.end(), options.begin(), options.end());
    Outcome r = run(dir, args);
    EXPECT_NE(r.status, 0) << options[0];
    EXPECT_TRUE(contains(r.err, message)) << r.err;
    EXPECT_FALSE(fs::exists(project)) << options[0];
  }
}

TEST_F(ReadMeCli, UnreadableOrTablelessFilesAreNamed) {
  const std::string missing = dir.str() + "/NoReadMe";
  Outcome r = run(dir, {"--readme", missing, "--input", input, "--type", "stars", "--save", project});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mirdal-build: Cannot open file \"" + missing + "\": No such file or directory\n");

  // A catalog given as its own ReadMe.
  r = run(dir, {"--readme", input, "--input", input, "--type", "stars", "--save", project});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mirdal-build: No byte-by-byte description in \"" + input + "\"\n");

  const std::string gone = dir.str() + "/stars.dat.missing";
  r = run(dir, {"--readme", readme, "--input", gone, "--type", "stars", "--save", project, "--file", "stars.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "\"" + gone + "\"")) << r.err;
  EXPECT_FALSE(fs::exists(project));
}

}  // namespace
}  // namespace mirdal
