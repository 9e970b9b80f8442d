#include "convert/build_pipeline.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "output/catalog_reader.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

using testing::RecordingUi;
using testing::setSlot;
using testing::TempDir;

// Stars, RA h m s, DEC sign d m s:
//   0 RA h, 1 RA m, 2 RA s, 3 DEC sign, 4 DEC d, 5 DEC m, 6 DEC s,
//   7 ID, 8 mag, 9 B-V, ..., 12 sp, ..., 17 desc, 18 String 1 ... 28 Numeric 1
CatalogDefinition starDefinition(const TempDir& dir, const std::string& input) {
  CatalogDefinition def;
  def.settings.shortname = "Ts";
  def.settings.longname = "Test stars";
  def.settings.inputfiles = {input};
  def.settings.eol = 1;
  def.settings.ouputdir = dir.str() + "/out";
  setSlot(def, 0, 1, 2);
  setSlot(def, 1, 4, 2);
  setSlot(def, 2, 7, 4);
  setSlot(def, 3, 12, 1);
  setSlot(def, 4, 13, 2);
  setSlot(def, 5, 16, 2);
  setSlot(def, 6, 19, 2);
  setSlot(def, 7, 22, 6);   // ID
  setSlot(def, 8, 28, 5);   // magnitude
  return def;
}

//                   1         2         3
//          123456789012345678901234567890123
const char* kStars =
    "12 30 00.0 -10 30 00 hd 12 10.25\n"
    "00 00 00.0 +00 00 00 zero   5.0\n"       // RA 0 and DEC 0: refused
    "01 00 00.0  45 00 00 star3   \n"         // blank magnitude: 32767
    "01 00 00.0  45 00 00 star4  -1.5\n";

TEST(BuildPipeline, BuildsRecordsIndexAndRejectLog) {
  TempDir dir;
  auto input = dir.write("stars.txt", kStars);
  CatalogDefinition def = starDefinition(dir, input);
  RecordingUi ui;
  BuildPipeline pipeline(ui, FileSystem::real());
  BuildResult r = pipeline.run(def);

  EXPECT_TRUE(r.completed);
  EXPECT_EQ(r.linesRead, 4);
  EXPECT_EQ(r.recordsWritten, 3);
  EXPECT_EQ(r.linesRejected, 1);
  EXPECT_EQ(dir.read("out/reject.txt"), "00 00 00.0 +00 00 00 zero   5.0\r\n");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Some records where rejected, see file " + dir.str() + "/out/reject.txt for details");
  EXPECT_EQ(ui.captions.front(), "Create header");
  EXPECT_EQ(ui.captions.back(), "Sorting the index file ");

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(reader.header().recordLength, 4 + 4 + 6 + 2);
  // 12h30m, DEC -10.5: 50 regions, zone 2 (-30..0), 12 columns of 30 degrees.
  auto region = reader.readRegion(26 + 6);
  ASSERT_EQ(region.size(), 1u);
  EXPECT_EQ(CatalogReader::raOf(region[0]) * 3'600'000, 675'000'000);
  EXPECT_EQ(CatalogReader::decOf(region[0]), -10.5);
  auto fields = reader.decode(region[0]);
  EXPECT_EQ(std::get<std::string>(fields[2].value), "hd 12 ");
  EXPECT_EQ(std::get<std::int64_t>(fields[3].value), 10250);

  // Region 15: DEC 45 (zone 4, first 13), RA 15 -> column 0: both stars,
  // sorted by magnitude, the blank one last.
  auto north = reader.readRegion(13);
  ASSERT_EQ(north.size(), 2u);
  EXPECT_EQ(std::get<std::int64_t>(reader.decode(north[0])[3].value), -1500);
  EXPECT_EQ(std::get<std::int64_t>(reader.decode(north[1])[3].value), 32767);

  auto index = reader.readIndex();
  ASSERT_EQ(index.size(), 3u);
  EXPECT_EQ(index[0].name, "HD12  ");
  EXPECT_EQ(index[1].name, "STAR3 ");
  EXPECT_EQ(index[2].name, "STAR4 ");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "sort.out"));
}

TEST(BuildPipeline, BlankOutputDirectoryIsRefused) {
  TempDir dir;
  CatalogDefinition def = starDefinition(dir, dir.write("s.txt", kStars));
  def.settings.ouputdir = "   ";
  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  EXPECT_FALSE(r.started);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Please indicate the directory where the catalog must to be build");
  EXPECT_TRUE(ui.focusedDirectory);
}

TEST(BuildPipeline, AppendDeclinedChangesNothing) {
  TempDir dir;
  CatalogDefinition def = starDefinition(dir, dir.write("s.txt", kStars));
  def.settings.append = true;
  RecordingUi ui;
  ui.answer = false;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  EXPECT_FALSE(r.started);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].substr(0, 11), "WARNING !\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out"));
}

TEST(BuildPipeline, NormalisesTheDirectory) {
  EXPECT_EQ(BuildPipeline::normaliseDirectory("  /a/b  "), "/a/b/");
  EXPECT_EQ(BuildPipeline::normaliseDirectory(" /a/b/ "), "/a/b/");
}

TEST(BuildPipeline, AppendWithTheSameLayoutAddsRecords) {
  TempDir dir;
  CatalogDefinition def = starDefinition(dir, dir.write("s.txt", kStars));
  RecordingUi ui;
  BuildPipeline(ui, FileSystem::real()).run(def);
  def.settings.append = true;
  EXPECT_TRUE(BuildPipeline(ui, FileSystem::real()).run(def).completed);
  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(reader.regionRecordCount(13), 4);
  EXPECT_EQ(reader.readIndex().size(), 6u);
}

TEST(BuildPipeline, AppendWithAnotherLayoutChangesNothing) {
  TempDir dir;
  CatalogDefinition def = starDefinition(dir, dir.write("s.txt", kStars));
  RecordingUi ui;
  BuildPipeline(ui, FileSystem::real()).run(def);
  const std::string header = dir.read("out/ts.hdr");
  const std::string region = dir.read("out/ts13.dat");

  def.settings.append = true;
  setSlot(def, 9, 35, 4);  // B-V: two more bytes per record
  try {
    BuildPipeline(ui, FileSystem::real()).run(def);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot append to the catalog in \"" + dir.str() +
                                         "/out/ts.hdr\": its record length is 16, the new catalog's is 18");
  }
  EXPECT_EQ(dir.read("out/ts.hdr"), header);
  EXPECT_EQ(dir.read("out/ts13.dat"), region);

  def.settings.numfile = 1;
  setSlot(def, 9, 35, 4, false);
  EXPECT_THROW(
      {
        try {
          BuildPipeline(ui, FileSystem::real()).run(def);
        } catch (const Error& e) {
          EXPECT_NE(std::string(e.what()).find("number of region files is 50, the new catalog's is 184"),
                    std::string::npos);
          throw;
        }
      },
      Error);
}

}  // namespace
}  // namespace mirdal
