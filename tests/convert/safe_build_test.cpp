// Builds that must not damage what is already in the output directory: each
// row starts from a finished catalog (plus the user's own files), does
// something a careless or hostile user might, runs a build and checks what
// must hold afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "output/catalog_reader.h"
#include "output/catalog_staging.h"
#include "output/region_scheme.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"
#include "util/error.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;
using testing::columns;
using testing::directoryContents;
using testing::RecordingUi;
using testing::setSlot;
using testing::TempDir;

// Stars with decimal RA and DEC, an index and a refused line.
CatalogDefinition stars(const std::string& out, std::vector<std::string> inputs, int numfile = 0) {
  CatalogDefinition def = testing::decimalStars("Safe", std::move(inputs), 1, out);
  def.settings.numfile = numfile;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 5);
  return def;
}

const std::string kLines = testing::joinLines({columns({{1, "10"}, {10, "20"}, {19, "alpha"}, {26, "3.5"}}),
                                               "refused", columns({{1, "200"}, {10, "-45"}, {19, "beta"}})});

enum class Outcome { Refused, Built };

struct Attack {
  const char* name;
  // Changes the definition or the directory before the build; the
  // directory's contents are taken after it.
  std::function<void(CatalogDefinition&, const TempDir&)> setup;
  Outcome outcome;
  const char* says = "";  // part of the refusal's message
  // More to check after a build that must succeed.
  std::function<void(const TempDir&, const Contents& before)> check = {};
};

class SafeBuild : public ::testing::Test {
 protected:
  std::string out() const { return dir.str() + "/out"; }
  TempDir dir;
  testing::ScopedWorkingDirectory cwd{dir.path()};
};

TEST_F(SafeBuild, AttacksLeaveThePreviousCatalogWhole) {
  const std::vector<Attack> attacks = {
      {"missing second input", [](auto& def, auto& d) { def.settings.inputfiles.push_back(d.str() + "/none.txt"); },
       Outcome::Refused, "none.txt"},
      {"input is a region file of the catalog",
       [](auto& def, auto& d) { def.settings.inputfiles = {d.str() + "/out/safe13.dat"}; }, Outcome::Refused,
       "a file of the catalog being built"},
      {"input is a hard link to the header",
       [](auto& def, auto& d) {
         fs::create_hard_link(d.path() / "out/safe.hdr", d.path() / "link.txt");
         def.settings.inputfiles = {d.str() + "/link.txt"};
       },
       Outcome::Refused, "out/safe.hdr"},
      {"another build holds the directory",
       [](auto&, auto& d) {
         static std::unique_ptr<DirectoryLock> held;
         held = FileSystem::real().tryLockDirectory(d.str() + "/out");
       },
       Outcome::Refused, "Another build is writing the catalog in"},
      {"append with another equinox",
       [](auto& def, auto&) {
         def.settings.append = true;
         def.settings.equinox = 1950;
       },
       Outcome::Refused, "its equinox is 2000, the new catalog's is 1950"},
      {"append without the index to an indexed catalog",
       [](auto& def, auto&) {
         def.settings.append = true;
         def.settings.index = false;
       },
       Outcome::Refused, "it has a name index, the new catalog has none"},
      {"append to a region file of a torn record",
       [](auto& def, auto& d) {
         def.settings.append = true;
         for (const auto& e : fs::directory_iterator(d.path() / "out"))
           if (e.path().extension() == ".dat" && e.file_size() == 16) std::ofstream(e.path(), std::ios::app) << "x";
       },
       Outcome::Refused, ".dat\": its 17 bytes are not a whole number of 16-byte records"},
      {"append with a missing second input",
       [](auto& def, auto& d) {
         def.settings.append = true;
         def.settings.inputfiles.push_back(d.str() + "/none.txt");
       },
       Outcome::Refused, "none.txt"},
      {"append where there is no catalog",
       [](auto& def, auto& d) {
         def.settings.append = true;
         def.settings.ouputdir = d.str() + "/empty";
         fs::create_directory(d.path() / "empty");
       },
       Outcome::Refused, "empty/safe.hdr\": No such file"},
      {"append to a whole catalog", [](auto& def, auto&) { def.settings.append = true; }, Outcome::Built, "",
       [](auto& d, auto&) { EXPECT_EQ(testing::totalRecords(CatalogReader(d.str() + "/out", "safe", FileSystem::real())), 4); }},
      {"rebuild under another region scheme", [](auto& def, auto&) { def.settings.numfile = 2; }, Outcome::Built, "",
       [](auto& d, auto& before) {
         const Contents now = directoryContents(d.str() + "/out");
         for (int r = 1; r <= 50; ++r) EXPECT_EQ(now.count(regionFileName("safe", 50, r)), 0u) << r;
         EXPECT_EQ(now.at("notes.txt"), before.at("notes.txt"));
         EXPECT_EQ(now.at("other.hdr"), before.at("other.hdr"));
         EXPECT_EQ(CatalogReader(d.str() + "/out", "safe", FileSystem::real()).regionCount(), 732);
       }},
      {"links planted under the scratch files' names",
       [](auto&, auto& d) {
         d.write("victim.txt", "precious");
         fs::create_symlink(d.path() / "victim.txt", d.path() / "SorTemp.mkw");
         fs::create_symlink(d.path() / "victim.txt", d.path() / "out/sort.out");
       },
       Outcome::Built, "",
       [](auto& d, auto&) {
         EXPECT_EQ(d.read("victim.txt"), "precious");
         EXPECT_TRUE(fs::is_symlink(d.path() / "out/sort.out"));
       }},
      {"a link and a forged plan under the staging directories' names",
       [](auto&, auto& d) {
         const std::string prefix = std::string("out/") + CatalogStaging::kPrefix;
         d.write("victim/keep.txt", "precious");
         fs::create_directory_symlink(d.path() / "victim", d.path() / (prefix + "link"));
         d.write(prefix + "plan/commit", "base=../vic\nregions=50\nindex=0\nreject=0\nprevious=50\n");
         d.write("vic.idx", "precious");
       },
       Outcome::Built, "",
       [](auto& d, auto&) {
         EXPECT_EQ(d.read("victim/keep.txt"), "precious");
         EXPECT_EQ(d.read("vic.idx"), "precious");
       }},
      {"a killed build's staging directory",
       [](auto&, auto& d) { d.write(std::string("out/") + CatalogStaging::kPrefix + "abc123/safe01.dat", "junk"); },
       Outcome::Built, "",
       [](auto& d, auto&) { EXPECT_FALSE(fs::exists(d.path() / "out" / (std::string(CatalogStaging::kPrefix) + "abc123"))); }},
  };

  for (const Attack& a : attacks) {
    SCOPED_TRACE(a.name);
    fs::remove_all(dir.path());
    fs::create_directories(dir.path());
    const std::string input = dir.write("in.txt", kLines);
    {
      RecordingUi ui;
      ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(stars(out(), {input})).completed);
    }
    dir.write("out/notes.txt", "the user's own file");
    dir.write("out/other.hdr", "another catalog's header");
    CatalogDefinition def = stars(out(), {input});
    a.setup(def, dir);
    const Contents before = directoryContents(out());
    RecordingUi ui;
    try {
      const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
      EXPECT_EQ(a.outcome, Outcome::Built);
      EXPECT_TRUE(r.completed);
      if (a.check) a.check(dir, before);
    } catch (const Error& e) {
      EXPECT_EQ(a.outcome, Outcome::Refused) << e.what();
      EXPECT_NE(std::string(e.what()).find(a.says), std::string::npos) << e.what();
      EXPECT_TRUE(directoryContents(out()) == before);
    }
  }
}

// A build stopped among the renames that put its files in place leaves a
// staging directory with its plan: readers refuse the mixture, and the next
// build of the directory finishes the job before its own.
TEST_F(SafeBuild, BuildStoppedWhilePuttingItsFilesInPlace) {
  const std::string input = dir.write("in.txt", kLines);
  RecordingUi ui;
  ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(stars(dir.str() + "/new", {input}, 1)).completed);
  ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(stars(out(), {input})).completed);
  const Contents built = directoryContents(dir.str() + "/new");
  // Half of the new catalog's region files are in place, the rest staged.
  const std::string staging = out() + "/" + CatalogStaging::kPrefix + "x1y2z3/";
  dir.write(staging.substr(dir.str().size() + 1) + "commit", "base=safe\nregions=184\nindex=1\nreject=1\nprevious=50\n");
  for (const auto& [name, bytes] : built) {
    if (name.ends_with("/")) continue;
    const bool moved = name.ends_with(".dat") && std::stoi(name.substr(4, 3)) <= 92;
    dir.write(moved ? "out/" + name : staging.substr(dir.str().size() + 1) + name, bytes);
  }
  EXPECT_THROW(CatalogReader reader(out(), {}, FileSystem::real()), Error);

  ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(stars(out(), {input}, 1)).completed);
  EXPECT_TRUE(directoryContents(out()) == built);
}

}  // namespace
}  // namespace mirdal
