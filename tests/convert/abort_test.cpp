// Abort at every place the build tests the flag: before each region file is
// created, before every 1000th line of each input file, before each region
// file is sorted. Each ends with "Aborted by user", gives back every
// descriptor, leaves the previous catalog in the output directory byte for
// byte as it was (and nothing else), and the next build into the same
// directory gives the catalog of a build that was never stopped.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "output/catalog_reader.h"
#include "output/region_scheme.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"
#include "util/error.h"
#include "util/text.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::columns;
using testing::directoryContents;
using testing::openFileCount;
using testing::RecordingUi;
using testing::ScopedWorkingDirectory;
using testing::setSlot;
using testing::TempDir;
using testing::textOf;

using Contents = std::map<std::string, std::string>;

// Presses Abort at a chosen point of the stage whose caption starts with
// `stage`: when the stage sets its bar to `atPosition`, or at the
// `atEvents`-th time the stage lets window messages run.
class AbortingUi : public RecordingUi {
 public:
  std::function<void()> press;
  std::string stage;
  std::int64_t atPosition = -1;
  int atEvents = -1;
  int pressed = 0;

  void setStageCaption(const std::string& text) override {
    RecordingUi::setStageCaption(text);
    current_ = text;
  }
  void setStagePosition(std::int64_t p) override {
    RecordingUi::setStagePosition(p);
    if (p == atPosition && inStage()) pressNow();
  }
  void processEvents() override {
    RecordingUi::processEvents();
    if (inStage() && ++events_ == atEvents) pressNow();
  }

 private:
  bool inStage() const { return !stage.empty() && current_.starts_with(stage); }
  void pressNow() {
    ++pressed;
    press();
  }
  std::string current_;
  int events_ = 0;
};

// Stars, decimal RA and DEC, 50 regions, an index of the IDs. List
// positions: 0 RA, 1 DEC, 2 ID, 3 mV. Records of 16 bytes: RA, DEC, ID (6),
// magnitude at byte 15.
CatalogDefinition stars(const std::string& out, std::vector<std::string> inputs) {
  CatalogDefinition def = testing::decimalStars("Abt", std::move(inputs), 1, out);
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 7);
  return def;
}

// Star i: at RA 10 or RA 100 (two regions) by the parity of i, ID "s" + i,
// magnitude (20000 - i) / 1000, so that a sorted region is its conversion
// order reversed.
std::string star(int i) {
  char mag[16];
  std::snprintf(mag, sizeof mag, "%.3f", (20000 - i) / 1000.0);
  return columns({{1, i % 2 == 0 ? "10" : "100"}, {10, "20"}, {19, "s" + std::to_string(i)}, {26, mag}}) + "\n";
}

class Abort : public ::testing::Test {
 protected:
  std::string out(const std::string& name) const { return dir.str() + "/" + name; }

  // Builds a previous catalog of one star into the directory of `def`, then
  // runs `def`, which must stop, and checks what every abort leaves.
  void abortedBuild(const CatalogDefinition& def, AbortingUi& ui, const std::string& what) {
    CatalogDefinition old = def;
    old.settings.inputfiles = {dir.write("previous.txt", star(7))};
    const Contents previous = build(old);
    BuildPipeline pipeline(ui, FileSystem::real());
    ui.press = [&pipeline] { pipeline.requestAbort(); };
    const int before = openFileCount();
    try {
      pipeline.run(def);
      ADD_FAILURE() << "the build was not stopped: " << what;
    } catch (const AbortError& e) {
      EXPECT_STREQ(e.what(), "Aborted by user");
    }
    EXPECT_EQ(ui.pressed, 1) << what;
    EXPECT_EQ(openFileCount(), before) << what;
    EXPECT_EQ(ui.hidden, 1) << what;
    EXPECT_TRUE(ui.messages.empty()) << what;
    EXPECT_TRUE(directoryContents(def.settings.ouputdir) == previous) << what;
    EXPECT_FALSE(fs::exists(dir.path() / "SorTemp.mkw")) << what;
  }

  Contents build(const CatalogDefinition& def) {
    RecordingUi ui;
    EXPECT_TRUE(BuildPipeline(ui, FileSystem::real()).run(def).completed);
    return directoryContents(def.settings.ouputdir);
  }

  TempDir dir;
  ScopedWorkingDirectory cwd{dir.path()};
};

TEST_F(Abort, BeforeEachRegionFileIsCreated) {
  const std::string input = dir.write("in.txt", star(1) + star(2));
  const Contents expected = build(stars(out("reference"), {input}));
  for (int k = 0; k < 50; ++k) {
    const std::string what = "after region " + std::to_string(k);
    const CatalogDefinition def = stars(out("k" + std::to_string(k)), {input});
    AbortingUi ui;
    ui.stage = "Create files";
    ui.atPosition = k;
    abortedBuild(def, ui, what);
    EXPECT_TRUE(build(def) == expected) << what;
  }
}

TEST_F(Abort, BeforeEveryThousandthLineOfEachFile) {
  // Three files of 2500 lines: checkpoints before lines 1000 and 2000 of
  // each. Global line g is star g, except line 0, which is refused.
  std::vector<std::string> inputs;
  for (int f = 0; f < 3; ++f) {
    std::string text;
    for (int g = 2500 * f; g < 2500 * (f + 1); ++g) text += g == 0 ? "refused heading\n" : star(g);
    inputs.push_back(dir.write("part" + std::to_string(f) + ".txt", text));
  }
  const Contents expected = build(stars(out("reference"), inputs));

  // The stage lets messages run once at its start, then at each checkpoint:
  // pressing Abort at the n-th of these is seen at checkpoint n.
  const std::vector<std::pair<int, int>> checkpoints = {{0, 1000}, {0, 2000}, {1, 1000},
                                                        {1, 2000}, {2, 1000}, {2, 2000}};
  for (std::size_t n = 1; n <= checkpoints.size(); ++n) {
    const auto [file, line] = checkpoints[n - 1];
    const std::string what = "file " + std::to_string(file + 1) + ", line " + std::to_string(line);
    const CatalogDefinition def = stars(out("c" + std::to_string(n)), inputs);
    AbortingUi ui;
    ui.stage = "Convert catalog file";
    ui.atEvents = static_cast<int>(n);
    abortedBuild(def, ui, what);
    EXPECT_TRUE(build(def) == expected) << what;
  }
}

TEST_F(Abort, BeforeEachRegionFileIsSorted) {
  // Three stars in falling magnitude in each of four regions.
  std::string text;
  const char* positions[][2] = {{"10", "20"}, {"100", "60"}, {"200", "-45"}, {"300", "-80"}};
  int i = 0;
  for (const auto& p : positions)
    for (const char* mag : {"9", "5", "1"})
      text += columns({{1, p[0]}, {10, p[1]}, {19, "t" + std::to_string(i++)}, {26, mag}}) + "\n";
  const std::string input = dir.write("in.txt", text);
  const Contents expected = build(stars(out("reference"), {input}));

  for (int k = 0; k < 50; ++k) {
    const std::string what = "after region " + std::to_string(k);
    const CatalogDefinition def = stars(out("k" + std::to_string(k)), {input});
    AbortingUi ui;
    ui.stage = "Sorting files by magnitude";
    ui.atPosition = k;
    abortedBuild(def, ui, what);
    EXPECT_TRUE(build(def) == expected) << what;
  }
}

TEST_F(Abort, PressedAfterTheLastCheckpointIsNotSeen) {
  // The index stage does not look at the flag: the build completes.
  const std::string input = dir.write("in.txt", star(1) + star(2) + star(3));
  const Contents expected = build(stars(out("reference"), {input}));
  const CatalogDefinition def = stars(out("late"), {input});
  AbortingUi ui;
  BuildPipeline pipeline(ui, FileSystem::real());
  ui.press = [&pipeline] { pipeline.requestAbort(); };
  ui.stage = "Sorting the index file ";
  ui.atEvents = 1;
  EXPECT_TRUE(pipeline.run(def).completed);
  EXPECT_EQ(ui.pressed, 1);
  EXPECT_TRUE(directoryContents(out("late")) == expected);
}

}  // namespace
}  // namespace mirdal
