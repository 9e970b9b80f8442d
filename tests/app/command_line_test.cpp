// The command line of the three programs: --help and --version end at once
// (the wizard's before it asks for a display), and mirdal-build takes a
// project's relative names from the project's directory.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "catalog/project_file.h"
#include "support/catalog_checks.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::TempDir;

const std::string kBin = MIRDAL_BINARY_DIR;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CommandLine, HelpAndVersionEndAtOnce) {
  struct Case {
    const char* program;
    const char* option;
    const char* firstLine;
  };
  const Case cases[] = {
      {"mirdal", "--version", "mirdal 1.3\n"},         {"mirdal", "--help", "Usage: mirdal [PROJECT.prj]\n"},
      {"mirdal-build", "--version", "mirdal-build 1.3\n"}, {"mirdal-build", "--help", "Usage: mirdal-build"},
      {"mirdal-dump", "--version", "mirdal-dump 1.3\n"},   {"mirdal-dump", "--help", "Usage: mirdal-dump"},
  };
  TempDir logs;
  for (const Case& c : cases) {
    const std::string program = kBin + "/" + c.program;
    if (!fs::exists(program)) continue;  // the wizard is not built without Qt
    // No display and no platform plugin asked for: a window would fail.
    const testing::ChildOutcome r =
        ChildProcess("/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=none", program,
                                      c.option},
                     logs.str())
            .wait();
    EXPECT_EQ(r.status, 0) << c.program << " " << c.option << ": " << r.err;
    EXPECT_EQ(r.out.rfind(c.firstLine, 0), 0u) << c.program << " " << c.option << ": " << r.out;
  }
}

// Exit statuses as shells expect them (a stopped build's, 128 plus the
// signal, are checked with its signals): 2 for any value of the command
// line the program refuses, and a message rather than Qt's abort for a
// wizard without display.
TEST(CommandLine, ExitStatusesFollowTheConventions) {
  TempDir dir;
  const std::string input = dir.write("in.csv", "RAdeg,DEdeg,name,Vmag\n10.5,20.25,a,5\n");
  const std::string save = dir.str() + "/p.prj";
  const std::string build = kBin + "/mirdal-build";
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kBin + "/mirdal"}, 1, "no display"},
      {{build, "--input", input, "--type", "stars", "--save", save, "--short-name", "A/B"}, 2, "--short-name \"A/B\""},
      {{build, "--input", input, "--type", "stars", "--save", save, "--regions", "100"}, 2, "--regions \"100\""},
      {{build, "--input", input, "--type", "stars", "--save", save, "--short-name", "Ok"}, 0, ""},
  };
  for (const auto& c : cases) {
    if (!fs::exists(c.args.back()) && c.status == 1) continue;  // the wizard is not built without Qt
    const testing::ChildOutcome r = ChildProcess("/usr/bin/env", c.args, dir.str(), "run").wait();
    SCOPED_TRACE(c.args[c.args.size() - 2] + " " + c.args.back());
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.says)) << r.err;
  }
}

// Every option that a program's --help prints is described in its man page
// (in roff, where "--no-index" is written "\-\-no\-index").
TEST(CommandLine, ManPagesDescribeEveryOptionOfHelp) {
  TempDir logs;
  for (const char* program : {"mirdal", "mirdal-build", "mirdal-dump"}) {
    const std::string path = kBin + "/" + program;
    if (!fs::exists(path)) continue;  // the wizard is not built without Qt
    const testing::ChildOutcome r =
        ChildProcess("/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=none", path, "--help"},
                     logs.str())
            .wait();
    ASSERT_EQ(r.status, 0) << program << ": " << r.err;
    const std::string man = TempDir::readFile(std::string(MIRDAL_SOURCE_DIR) + "/doc/man/" + program + ".1");
    std::set<std::string> options;
    for (std::size_t at = r.out.find("--"); at != std::string::npos; at = r.out.find("--", at + 2)) {
      std::size_t end = at + 2;
      while (end < r.out.size() && (std::islower(static_cast<unsigned char>(r.out[end])) || r.out[end] == '-')) ++end;
      if (end > at + 2) options.insert(r.out.substr(at, end - at));
    }
    EXPECT_GE(options.size(), 5u) << program << ": " << r.out;
    for (const std::string& option : options) {
      std::string roff;
      for (char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
      EXPECT_TRUE(contains(man, roff)) << program << ".1 does not describe " << option;
    }
  }
}

// A project in cat/ naming "stars.txt" and the output "out", built from
// the directory above: both are cat's; --output is the caller's.
TEST(CommandLine, ProjectNamesAreTakenFromTheProjectDirectory) {
  TempDir dir;
  fs::create_directory(dir.path() / "cat");
  dir.write("cat/stars.txt", "10       20       alpha  3.5\n200      -45      beta   5.25\n");
  CatalogDefinition def = testing::decimalStars("Rel", {"stars.txt"}, 1, "out");
  def.settings.longname = "Relative";
  testing::setSlot(def, 0, 1, 8);
  testing::setSlot(def, 1, 10, 8);
  testing::setSlot(def, 2, 19, 6);
  testing::setSlot(def, 3, 26, 5);
  saveProject(dir.str() + "/cat/rel.prj", def, FileSystem::real());

  const std::string build = kBin + "/mirdal-build";
  testing::ChildOutcome r = ChildProcess(build, {"cat/rel.prj"}, dir.str(), "a", dir.str()).wait();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "cat" / "out" / "rel.hdr"));
  r = ChildProcess(build, {"--output", "mine", "cat/rel.prj"}, dir.str(), "b", dir.str()).wait();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "mine" / "rel.hdr"));

  // A missing input is named before an output directory is made.
  def.settings.inputfiles.push_back("gone.txt");
  def.settings.ouputdir = "new";
  saveProject(dir.str() + "/cat/gone.prj", def, FileSystem::real());
  r = ChildProcess(build, {"cat/gone.prj"}, dir.str(), "c", dir.str()).wait();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "\"" + dir.str() + "/cat/gone.txt\": No such file or directory")) << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "cat" / "new"));
}

}  // namespace
}  // namespace mirdal
