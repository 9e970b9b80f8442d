// Catalogs whose every line is refused: the build completes with an empty
// catalog (every file created, none holding a record or a name) and a reject
// log holding every line, whatever the scheme (9537 regions are built by the
// large catalogs of the command-line tests).

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "convert/build_pipeline.h"
#include "output/catalog_reader.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::RecordingUi;
using testing::setSlot;
using testing::TempDir;

// Stars with decimal RA and DEC and an index. List positions: 0 RA, 1 DEC,
// 2 ID, 3 mV.
CatalogDefinition stars(const std::string& out, const std::string& input, int numfile) {
  CatalogDefinition def = testing::decimalStars("Rej", {input}, 2, out);
  def.settings.numfile = numfile;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 5);
  return def;
}

// 60,000 impossible lines (CR LF ends), more than the reject log buffers at
// once: headings, blank lines, positions at RA 0 and DEC 0, beyond the poles
// or past 360 degrees, numbers that do not read.
std::string impossibleLines(std::string& expectedLog) {
  const char* kinds[] = {"  Catalog of nothing: heading line",
                         "",
                         "0        0        zero   1.0",
                         "10       90.001   north  2",
                         "10       -90.0001 south  2",
                         "360.0001 10       east   3",
                         "-1       10       west   4",
                         "1e999    10       inf    5",
                         "abc      def      text   x",
                         "         \t        blank"};
  std::string text;
  for (int i = 0; i < 60'000; ++i) {
    const std::string line = kinds[i % 10];
    text += line + "\r\n";
    expectedLog += line + "\r\n";
  }
  return text;
}

TEST(EveryLineRefused, EmptyCatalogAndFullRejectLogInEveryScheme) {
  TempDir dir;
  testing::ScopedWorkingDirectory cwd(dir.path());
  std::string expectedLog;
  const std::string input = dir.write("bad.txt", impossibleLines(expectedLog));
  for (int numfile = 0; numfile <= 2; ++numfile) {
    const std::string out = dir.str() + "/out" + std::to_string(numfile);
    RecordingUi ui;
    const int before = testing::openFileCount();
    const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(stars(out, input, numfile));
    EXPECT_EQ(testing::openFileCount(), before);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.linesRead, 60'000);
    EXPECT_EQ(r.linesRejected, 60'000);
    EXPECT_EQ(r.recordsWritten, 0);
    EXPECT_EQ(r.indexRecordsWritten, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Some records where rejected, see file " + out + "/reject.txt for details");
    EXPECT_TRUE(TempDir::readFile(out + "/reject.txt") == expectedLog);

    // The header, every region file and the index exist, all empty but the
    // header; nothing else is left.
    const CatalogReader reader(out, {}, FileSystem::real());
    const int regions = reader.regionCount();
    EXPECT_EQ(regions, (std::array{50, 184, 732})[static_cast<std::size_t>(numfile)]);
    const auto files = testing::directoryContents(out);
    const std::size_t zones = regions == 732 ? 24 : 0;  // directories
    EXPECT_EQ(files.size(), static_cast<std::size_t>(regions) + 3 + zones);  // header, index, reject log
    for (int k = 1; k <= regions; ++k) ASSERT_EQ(files.at(fs::relative(reader.regionPath(k), out).string()), "");
    EXPECT_EQ(files.at("rej.idx"), "");
    EXPECT_EQ(files.at("rej.hdr").size(), 1251u);
    EXPECT_FALSE(fs::exists(dir.path() / "SorTemp.mkw"));
  }
}

}  // namespace
}  // namespace mirdal
