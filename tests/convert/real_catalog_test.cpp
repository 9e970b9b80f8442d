// Builds the published catalogs of the shared data directory through project
// files written here, with the pipeline and with the mirdal-build program.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "catalog/project_file.h"
#include "output/catalog_reader.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::floatOf;
using testing::intOf;
using testing::RecordingUi;
using testing::setSlot;
using testing::storedDec;
using testing::storedRa;
using testing::TempDir;
using testing::textOf;

const std::string kData = MIRDAL_SHARED_DATA_DIR;
const std::string kBsc5 = kData + "/bsc5/catalog";
const std::string kNgc = kData + "/ngc2000/ngc2000.dat";
const std::string kMirdalBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";

// The first record, over all regions, whose ID field (3) reads `id`.
std::optional<std::string> findById(const CatalogReader& reader, const std::string& id) {
  for (int r = 1; r <= reader.regionCount(); ++r)
    for (const std::string& rec : reader.readRegion(r))
      if (textOf(reader.decode(rec), 3) == id) return rec;
  return std::nullopt;
}

// Runs a command with stdout and stderr into files of `dir`; returns the exit status.
int run(const TempDir& dir, const std::string& command, std::string& out, std::string& err) {
  const std::string o = dir.str() + "/stdout.txt", e = dir.str() + "/stderr.txt";
  int status = std::system((command + " >'" + o + "' 2>'" + e + "' </dev/null").c_str());
  out = TempDir::readFile(o);
  err = TempDir::readFile(e);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---------------------------------------------------------------------------
// bsc5: stars, RA h m s, DEC sign d m s, HR number as the ID.
// List positions: 0-2 RA, 3 sign, 4-6 DEC, 7 ID, 8 mV, 9 b-v, 12 sp,
// 13 pmRA, 14 pmDE, 16 px.
CatalogDefinition bsc5Definition(const std::string& outputDir) {
  CatalogDefinition def;
  BuildSettings& s = def.settings;
  s.shortname = "bsc";
  s.longname = "Bright Star Catalogue";
  s.inputfiles = {kBsc5};
  s.eol = 1;
  s.ouputdir = outputDir;
  s.numfile = 0;
  s.magmax = 8;
  setSlot(def, 0, 76, 2);
  setSlot(def, 1, 78, 2);
  setSlot(def, 2, 80, 4);
  setSlot(def, 3, 84, 1);
  setSlot(def, 4, 85, 2);
  setSlot(def, 5, 87, 2);
  setSlot(def, 6, 89, 2);
  setSlot(def, 7, 1, 4);
  setSlot(def, 8, 103, 5);
  setSlot(def, 9, 110, 5);
  setSlot(def, 12, 128, 20);
  setSlot(def, 13, 149, 6);
  setSlot(def, 14, 155, 6);
  setSlot(def, 16, 162, 5);
  return def;
}

// The 14 HR numbers whose positions are blank (novae and clusters), found
// with: awk 'substr($0,76,15) ~ /^ *$/ {print substr($0,1,4)+0}' catalog
const std::vector<int> kBsc5Blank = {92, 95, 182, 1057, 1841, 2472, 2496, 3515, 3671, 6309, 6515, 7189, 7539, 8296};

void checkBsc5(const std::string& outputDir) {
  CatalogReader reader(outputDir, {}, FileSystem::real());
  EXPECT_EQ(reader.header().recordLength, 8 + 4 + 2 + 2 + 20 + 2 + 2 + 2);
  EXPECT_EQ(testing::totalRecords(reader), 9110 - 14);
  EXPECT_EQ(reader.readIndex().size(), 9096u);

  // The reject log holds the 14 lines as they were read, in input order.
  const std::string log = TempDir::readFile(outputDir + "/reject.txt");
  std::vector<int> refused;
  for (std::size_t p = 0; p < log.size();) {
    std::size_t end = log.find("\r\n", p);
    ASSERT_NE(end, std::string::npos);
    refused.push_back(std::stoi(log.substr(p, 4)));
    p = end + 2;
  }
  EXPECT_EQ(refused, kBsc5Blank);

  // HR 2: sign "-" with 00 degrees, 30' 11": DEC -0.50305..., RA 0h05m03.8s.
  auto hr2 = findById(reader, "   2");
  ASSERT_TRUE(hr2);
  EXPECT_EQ(storedRa(*hr2), 4'557'000);
  EXPECT_EQ(storedDec(*hr2), 322'189'000);  // (324000 - 1811) arcsec
  EXPECT_EQ(intOf(reader.decode(*hr2), 4), 6290);

  // HR 230 writes its magnitude " 7.0 " with a trailing blank.
  auto hr230 = findById(reader, " 230");
  ASSERT_TRUE(hr230);
  EXPECT_EQ(intOf(reader.decode(*hr230), 4), 7000);

  // Sirius: 6h45m08.9s = 364633.5", -16 42 58 = 324000 - 60178".
  auto sirius = findById(reader, "2491");
  ASSERT_TRUE(sirius);
  EXPECT_EQ(storedRa(*sirius), 364'633'500);
  EXPECT_EQ(storedDec(*sirius), 263'822'000);
  auto f = reader.decode(*sirius);
  EXPECT_EQ(intOf(f, 4), -1460);
  EXPECT_EQ(intOf(f, 5), 0);
  EXPECT_EQ(textOf(f, 8), "  A1Vm              ");  // raw column, not trimmed
  EXPECT_EQ(intOf(f, 9), -553);
  EXPECT_EQ(intOf(f, 10), -1205);
  EXPECT_EQ(intOf(f, 12), 3750);
  // 50 regions: zone -30..0 from region 26, 30-degree columns; RA 101.29.
  EXPECT_EQ(reader.readRegion(29).front(), *sirius);  // the brightest sorts first
}

TEST(RealCatalog, Bsc5ThroughAProjectFile) {
  if (!fs::exists(kBsc5)) GTEST_SKIP() << kBsc5 << " is absent";
  TempDir dir;
  const std::string project = dir.str() + "/bsc5.prj";
  saveProject(project, bsc5Definition(dir.str() + "/out"), FileSystem::real());

  CatalogDefinition loaded;
  loadProject(project, loaded, FileSystem::real());
  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(loaded);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.linesRead, 9110);
  EXPECT_EQ(r.recordsWritten, 9096);
  EXPECT_EQ(r.linesRejected, 14);
  checkBsc5(dir.str() + "/out");
}

TEST(RealCatalog, Bsc5WithTheCommandLineBuilder) {
  if (!fs::exists(kBsc5)) GTEST_SKIP() << kBsc5 << " is absent";
  if (!fs::exists(kMirdalBuild)) GTEST_SKIP() << kMirdalBuild << " is not built";
  TempDir dir;
  const std::string project = dir.str() + "/bsc5.prj";
  saveProject(project, bsc5Definition("/nonexistent/overridden"), FileSystem::real());
  std::string out, err;
  ASSERT_EQ(run(dir, kMirdalBuild + " --output '" + dir.str() + "/cli' '" + project + "'", out, err), 0) << err;
  EXPECT_NE(out.find("records written   9096"), std::string::npos) << out;
  EXPECT_NE(out.find("lines rejected    14"), std::string::npos) << out;
  checkBsc5(dir.str() + "/cli");
}

// ---------------------------------------------------------------------------
// ngc2000: nebulae, RA hours and decimal minutes (seconds unset), DEC sign,
// degrees, minutes (seconds unset). The project is written as INI text.
// List positions: 0-2 RA, 3 sign, 4-6 DEC, 7 ID, 8 NebTyp, 9 m, 11 D, 17 desc.
std::string ngcProject(const std::string& outputDir) {
  return "[Page1]\n"
         "type=3\n"
         "shortname=NGC\n"
         "longname=NGC 2000.0\n"
         "numfiles=1\n"
         "inputfiles0=" + kNgc + "\n"
         "eol=1\n"
         "[Page2]\n"
         "ratype=0\n"
         "dectype=0\n"
         "nebsize=1\n"
         "nebunit=1\n"
         "nebtype=0\n"
         "[Page3]\n"
         "numitem=38\n"
         "field0=1\nfield1=1\nfield3=1\nfield4=1\nfield5=1\n"
         "field7=1\nfield8=1\nfield9=1\nfield11=1\nfield17=1\n"
         "fieldindex0=11\nfieldlength0=2\n"
         "fieldindex1=14\nfieldlength1=4\n"
         "fieldindex3=20\nfieldlength3=1\n"
         "fieldindex4=21\nfieldlength4=2\n"
         "fieldindex5=24\nfieldlength5=2\n"
         "fieldindex7=1\nfieldlength7=5\n"
         "fieldindex8=7\nfieldlength8=3\n"
         "fieldindex9=41\nfieldlength9=4\n"
         "fieldindex11=34\nfieldlength11=5\n"
         "fieldindex17=47\nfieldlength17=50\n"
         "[Page4]\n"
         "numfile=1\n"
         "ouputdir=" + outputDir + "\n"
         "index=1\n"
         "altindex=0\n"
         "append=0\n";
}

// Every line of ngc2000.dat has well-formed RA and DEC columns and none is
// at RA 0 and DEC 0, so all 13226 lines are kept; derived with
//   awk '{h=substr($0,11,2)+0; m=substr($0,14,4)+0; s=substr($0,20,1);
//         d=substr($0,21,2)+0; dm=substr($0,24,2)+0; g=(s=="-")?-1:1;
//         ra=(h+m/60)*15; dec=g*d+g*dm/60;
//         if ((ra==0&&dec==0)||ra<0||ra>360||dec<-90||dec>90) bad++}
//        END {print NR, bad+0}' ngc2000.dat        -> 13226 0
constexpr int kNgcLines = 13226;
constexpr int kNgcRefused = 0;

void checkNgc(const std::string& outputDir) {
  CatalogReader reader(outputDir, {}, FileSystem::real());
  EXPECT_EQ(reader.header().regionCount, 184);
  EXPECT_EQ(reader.header().defaultB, 60);
  EXPECT_EQ(reader.header().defaultC, 1);
  EXPECT_EQ(testing::totalRecords(reader), kNgcLines - kNgcRefused);
  EXPECT_EQ(reader.readIndex().size(), static_cast<std::size_t>(kNgcLines - kNgcRefused));
  EXPECT_FALSE(fs::exists(outputDir + "/reject.txt"));

  // NGC 224: Gx, 0h42.7m = 10.675 degrees, +41 16, 178', 3.5 mag.
  auto m31 = findById(reader, "  224");
  ASSERT_TRUE(m31);
  EXPECT_EQ(storedRa(*m31), 38'430'000);
  EXPECT_EQ(storedDec(*m31), 472'560'000);
  auto f = reader.decode(*m31);
  EXPECT_EQ(intOf(f, 4), 1);
  EXPECT_EQ(intOf(f, 5), 3500);
  EXPECT_EQ(floatOf(f, 7), 178.0);

  // NGC 104: Gb (globular cluster, 3), -72 05.
  auto tuc47 = findById(reader, "  104");
  ASSERT_TRUE(tuc47);
  EXPECT_EQ(storedDec(*tuc47), 64'500'000);
  EXPECT_EQ(intOf(reader.decode(*tuc47), 4), 3);

  // NGC 7000: no magnitude, the missing 99 scaled and clamped.
  auto ngc7000 = findById(reader, " 7000");
  ASSERT_TRUE(ngc7000);
  f = reader.decode(*ngc7000);
  EXPECT_EQ(intOf(f, 4), 5);
  EXPECT_EQ(intOf(f, 5), 32767);
}

TEST(RealCatalog, Ngc2000ThroughAProjectFile) {
  if (!fs::exists(kNgc)) GTEST_SKIP() << kNgc << " is absent";
  TempDir dir;
  const std::string project = dir.write("ngc.prj", ngcProject(dir.str() + "/out"));
  CatalogDefinition def;
  loadProject(project, def, FileSystem::real());
  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.linesRead, kNgcLines);
  EXPECT_EQ(r.linesRejected, kNgcRefused);
  EXPECT_TRUE(ui.messages.empty());
  checkNgc(dir.str() + "/out");
}

TEST(RealCatalog, Ngc2000WithTheCommandLineBuilder) {
  if (!fs::exists(kNgc)) GTEST_SKIP() << kNgc << " is absent";
  if (!fs::exists(kMirdalBuild)) GTEST_SKIP() << kMirdalBuild << " is not built";
  TempDir dir;
  const std::string project = dir.write("ngc.prj", ngcProject(dir.str() + "/out"));
  std::string out, err;
  ASSERT_EQ(run(dir, kMirdalBuild + " '" + project + "'", out, err), 0) << err;
  EXPECT_NE(out.find("records written   13226"), std::string::npos) << out;
  EXPECT_NE(out.find("lines rejected    0"), std::string::npos) << out;
  checkNgc(dir.str() + "/out");
}

}  // namespace
}  // namespace mirdal
