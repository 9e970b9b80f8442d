// Runs the built mirdal-build and mirdal-dump programs as a user would.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/project_file.h"
#include "output/catalog_reader.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

extern char** environ;

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::columns;
using testing::setSlot;
using testing::TempDir;

const std::string kBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";
const std::string kDump = std::string(MIRDAL_BINARY_DIR) + "/mirdal-dump";

using Outcome = testing::ChildOutcome;
using testing::runProgram;
using testing::shellQuoted;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Starts `program` with `args`, stdin and stdout on /dev/null, stderr into
// `errPath`, without waiting for it.
pid_t start(const std::string& program, const std::vector<std::string>& args, const std::string& errPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

//                     1         2
//            123456789012345678901234567
// Decimal stars: RA 1-8, DEC 10-17, ID 19-24, magnitude 26-30.
const char* kStars =
    "10       20       alpha  3.5\n"
    "0        0        zero   1.0\n"
    "200      -45      beta   5.25\n"
    "200      -45      gamma  4\n";

// A stars project (decimal RA and DEC, 50 regions) written with saveProject.
std::string writeProject(const TempDir& dir, const std::string& outputDir, bool append = false,
                         const std::string& input = {}) {
  CatalogDefinition def =
      testing::decimalStars("Cli", {input.empty() ? dir.write("stars.txt", kStars) : input}, 1, outputDir);
  BuildSettings& s = def.settings;
  s.longname = "Command line";
  s.append = append;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 5);
  const std::string path = dir.str() + (append ? "/append.prj" : "/cli.prj");
  saveProject(path, def, FileSystem::real());
  return path;
}

class MirdalBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild) || !fs::exists(kDump)) GTEST_SKIP() << "mirdal-build or mirdal-dump is not built";
  }
  TempDir dir;
};

TEST_F(MirdalBuild, BuildsAndPrintsASummary) {
  const std::string out = dir.str() + "/out";
  Outcome r = runProgram(dir, kBuild, {writeProject(dir, out)});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Catalog written to " + out + "/")) << r.out;
  EXPECT_TRUE(contains(r.out, "records written   3")) << r.out;
  EXPECT_TRUE(contains(r.out, "lines rejected    1, see " + out + "/reject.txt")) << r.out;
  EXPECT_TRUE(contains(r.err, "Some records where rejected, see file " + out + "/reject.txt for details")) << r.err;
  // Not a terminal: no live progress line.
  EXPECT_FALSE(contains(r.err, "\r"));

  CatalogReader reader(out, {}, FileSystem::real());
  EXPECT_EQ(testing::totalRecords(reader), 3);
  EXPECT_EQ(reader.readIndex().size(), 3u);
}

TEST_F(MirdalBuild, MissingProjectFileIsNamed) {
  const std::string project = dir.str() + "/no such.prj";
  Outcome r = runProgram(dir, kBuild, {project});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.err, project)) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST_F(MirdalBuild, OutputOptionOverridesTheProject) {
  const std::string project = writeProject(dir, dir.str() + "/from-project");
  Outcome r = runProgram(dir, kBuild, {"--output", dir.str() + "/override", project});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "override" / "cli.hdr"));
  EXPECT_FALSE(fs::exists(dir.path() / "from-project"));

  r = runProgram(dir, kBuild, {"--output=" + dir.str() + "/equals", project});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "equals" / "cli.hdr"));
}

TEST_F(MirdalBuild, AppendNeedsYesWithoutATerminal) {
  const std::string out = dir.str() + "/out";
  ASSERT_EQ(runProgram(dir, kBuild, {writeProject(dir, out)}).status, 0);
  const std::string before = TempDir::readFile(out + "/cli01.dat");
  const std::string project = writeProject(dir, out, true);

  Outcome r = runProgram(dir, kBuild, {project});
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(contains(r.err, "--yes")) << r.err;
  EXPECT_EQ(TempDir::readFile(out + "/cli01.dat"), before);

  r = runProgram(dir, kBuild, {"--yes", project});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(TempDir::readFile(out + "/cli01.dat"), before + before);  // RA 10, DEC 20: one record each time
  EXPECT_EQ(testing::totalRecords(CatalogReader(out, {}, FileSystem::real())), 6);
}

TEST_F(MirdalBuild, BadArgumentsGiveUsage) {
  Outcome r = runProgram(dir, kBuild, {"--frobnicate", "x.prj"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "unknown option --frobnicate")) << r.err;
  EXPECT_TRUE(contains(r.err, "Usage: mirdal-build")) << r.err;

  r = runProgram(dir, kBuild, {});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "Usage: mirdal-build"));

  r = runProgram(dir, kBuild, {"a.prj", "b.prj"});
  EXPECT_EQ(r.status, 2);

  r = runProgram(dir, kBuild, {"x.prj", "--output"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "--output needs a directory")) << r.err;

  r = runProgram(dir, kBuild, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(contains(r.out, "Usage: mirdal-build"));
}

TEST_F(MirdalBuild, FailedBuildReportsTheFile) {
  const std::string missing = dir.str() + "/gone.txt";
  Outcome r = runProgram(dir, kBuild, {writeProject(dir, dir.str() + "/out", false, missing)});
  EXPECT_EQ(r.status, 1);
  // The first input file is looked for before anything is created.
  EXPECT_TRUE(contains(r.err, "File not found: \"" + missing + "\"")) << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "out"));

  const std::string plain = dir.write("plain", "x");
  r = runProgram(dir, kBuild, {"--output", plain + "/out", writeProject(dir, dir.str() + "/out")});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, plain + "/out")) << r.err;
}

// The project text with the value of `key` replaced (the key must be there).
std::string withValue(std::string text, const std::string& key, const std::string& value) {
  const std::size_t at = text.find("\r\n" + key + "=") + 3 + key.size();
  return text.replace(at, text.find("\r\n", at) - at, value);
}

// Each row is refused before anything is written: the output directory keeps
// only the file an earlier catalog left there, and nothing lands beside it.
TEST_F(MirdalBuild, RefusedProjectsCreateNothing) {
  const std::string out = dir.str() + "/out";
  const std::string good = TempDir::readFile(writeProject(dir, out));
  const std::string longPath = "/" + std::string(2100, 'p');
  const struct {
    std::optional<std::string> text;  // none: the project path is a directory
    std::string expected;
  } rows[] = {
      {kStars, "is not a Mirdal project file: it has no [Page1] section with a type key"},
      {"", "is not a Mirdal project file"},
      {"[Page1]\r\n", "is not a Mirdal project file"},
      {good + std::string(1, '\0'), "is not a Mirdal project file: it holds binary data"},
      {std::nullopt, "is not a Mirdal project file: Cannot open file"},
      {withValue(good, "shortname", "  "), ": Please indicate a catalog short name"},
      {withValue(good, "longname", ""), ": Please indicate a catalog long name"},
      {withValue(good, "numfiles", "0"), ": File not found: no input file is listed"},
      {withValue(good, "inputfiles0", dir.str() + "/gone.txt"), "File not found: \"" + dir.str() + "/gone.txt\""},
      {withValue(good, "field3", "0"), "Required field missing !: \"[Magnitude (mag)]\" is not ticked"},
      {withValue(good, "fieldlength3", "0"), "Required field missing !: \"[Magnitude (mag)]\" has no column"},
      {withValue(good, "shortname", "../a"), "cannot hold \"/\", \"\\\", \"..\" or control characters"},
      {withValue(good, "shortname", "a\tb"), "cannot hold"},
      {withValue(good, "longname", std::string(2048, 'L')), "longname in [Page1] is 2048 characters long"},
      {withValue(good, "inputfiles0", longPath), "inputfiles0 in [Page1] is 2101 characters long"},
      {withValue(good, "shortname", "."), "The catalog short name cannot start with \".\""},
      {withValue(good, "type", "99"), "the value of type in [Page1] is 99, which is none of 0 (stars)"},
      {withValue(good, "eol", "7"), "the value of eol in [Page1] is 7, which is none of 0 (CR), 1 (LF), 2 (CR LF)"},
      {withValue(good, "type", "0\r\nformat=csv\r\ntable=2"),
       "The table to read does not suit the input file's form: table \"2\": a table is chosen in FITS and VOTable "
       "files only, not in a file of form csv"},
  };
  dir.write("out/keep.dat", "old");
  for (const auto& row : rows) {
    const std::string project = dir.str() + "/refused.prj";
    fs::remove_all(project);
    if (row.text)
      dir.write("refused.prj", *row.text);
    else
      fs::create_directories(project);
    Outcome r = runProgram(dir, kBuild, {project});
    EXPECT_EQ(r.status, 1) << row.expected;
    EXPECT_TRUE(contains(r.err, "\"" + project + "\"") && contains(r.err, row.expected)) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1) << row.expected;
    EXPECT_EQ(TempDir::readFile(out + "/keep.dat"), "old");
    EXPECT_FALSE(fs::exists(dir.path() / "a.hdr"));
  }
}

// "~/..." in a project is the home directory, as the shell would read it:
// never a directory named "~" below the working directory.
TEST_F(MirdalBuild, TildeInProjectPathsIsTheHomeDirectory) {
  const std::string home = dir.str() + "/home";
  dir.write("home/in/stars.txt", kStars);
  std::string text = TempDir::readFile(writeProject(dir, "~/cats"));
  text = withValue(text, "inputfiles0", "~/in/stars.txt");
  const std::string project = dir.write("tilde.prj", text);
  const std::string command = "cd " + shellQuoted(dir.str()) + " && HOME=" + shellQuoted(home) + " " + shellQuoted(kBuild);
  Outcome r = runProgram(dir, "/bin/sh", {"-c", command + " tilde.prj"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Catalog written to " + home + "/cats/")) << r.out;
  EXPECT_TRUE(fs::exists(home + "/cats/cli.hdr"));
  EXPECT_FALSE(fs::exists(dir.path() / "~"));

  r = runProgram(dir, "/bin/sh", {"-c", command + " --output=~/other tilde.prj"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(home + "/other/cli.hdr"));
}

// Ctrl-C during the conversion sets the abort flag; the build stops at the
// next 1000-line checkpoint with "Aborted by user". The input is a pipe, so
// the signal is certain to arrive while line 1000 to 1999 are read.
TEST_F(MirdalBuild, InterruptEndsWithAbortedByUser) {
  const std::string fifo = dir.str() + "/input.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string project = writeProject(dir, dir.str() + "/out", false, fifo);
  const std::string errPath = dir.str() + "/stderr.txt";
  const pid_t pid = start(kBuild, {"--allow-pipes", project}, errPath);
  ASSERT_GT(pid, 0);

  // Should the build stop and close its end early, a write must fail
  // rather than kill this test program.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  const int fd = ::open(fifo.c_str(), O_WRONLY);  // waits for the build to open its input
  ASSERT_GE(fd, 0);
  const std::string line = "10       20       alpha  3.5\n";
  auto writeLines = [&](int n) {
    std::string block;
    for (int i = 0; i < n; ++i) block += line;
    return ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
  };
  EXPECT_TRUE(writeLines(1500));
  ::kill(pid, SIGINT);
  ::usleep(100'000);
  writeLines(1000);
  ::close(fd);
  ::sigaction(SIGPIPE, &previous, nullptr);

  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_TRUE(contains(TempDir::readFile(errPath), "mirdal-build: Aborted by user")) << TempDir::readFile(errPath);
  // Nothing of the stopped build is left in the output directory.
  EXPECT_TRUE(std::filesystem::is_empty(dir.str() + "/out"));
}

// A stop signal ends a build that waits on its input, a FIFO: without a
// writer (the open waits) or with a silent one (the read waits, plain or
// through the decompressor). The build fails as on any error, at once, with
// the status shells give a program a signal ended: 128 plus the signal.
TEST_F(MirdalBuild, StopSignalEndsAWaitOnTheInput) {
  const struct {
    int signal;
    const char* input;
    bool writer;
  } cases[] = {{SIGINT, "none.txt", false},    {SIGTERM, "none.txt", false}, {SIGINT, "silent.txt", true},
               {SIGTERM, "silent.gz", true},    {SIGHUP, "none.txt", false},  {SIGUSR1, "silent.txt", true},
               {SIGPIPE, "silent.txt", true}, {SIGALRM, "none.txt", false}};
  for (const auto& c : cases) {
    const std::string name = std::string(strsignal(c.signal)) + ", " + c.input, errPath = dir.str() + "/err.txt";
    const std::string fifo = dir.str() + "/" + std::to_string(c.signal) + c.input, out = fifo + ".out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int writer = c.writer ? ::open(fifo.c_str(), O_RDWR) : -1;  // O_RDWR: waits for no reader
    const pid_t pid = start(kBuild, {"--allow-pipes", writeProject(dir, out, false, fifo)}, errPath);
    ASSERT_GT(pid, 0) << name;
    // The handlers are in place before the staging directory is made, and that before the input is opened.
    auto staging = [&] {
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(out, ec))
        if (e.path().filename().string().starts_with(".mirdal-build.")) return true;
      return false;
    };
    for (int i = 0; i < 1000 && !staging(); ++i) ::usleep(10'000);
    ::usleep(200'000);
    ::kill(pid, c.signal);
    int status = 0, waited = 0;  // in steps of 10 ms, up to 2 s; then it is killed and fails
    while (::waitpid(pid, &status, WNOHANG) == 0 && ++waited <= 200) ::usleep(10'000);
    if (waited > 200 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, &status, 0);
    if (writer >= 0) ::close(writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + c.signal) << name << ": status " << status;
    EXPECT_TRUE(contains(TempDir::readFile(errPath), "mirdal-build: Aborted by user")) << name;
    EXPECT_FALSE(staging()) << name << ": the staging directory is left behind";
  }
}

TEST_F(MirdalBuild, InputFromAPipeArrivingInBursts) {
  // Lines cut across the bursts of a pipe are put together as from a file.
  const std::string fifo = dir.str() + "/input.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string project = writeProject(dir, dir.str() + "/out", false, fifo);
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    for (const char* part : {"10       20    ", "   alpha  3.5\n200      -45      be", "ta   5.25\n"}) {
      if (::write(fd, part, std::char_traits<char>::length(part)) < 0) ::_exit(1);
      ::usleep(20'000);
    }
    ::close(fd);
    ::_exit(0);
  }
  Outcome r = runProgram(dir, kBuild, {"--allow-pipes", project});
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "records written   2")) << r.out;
}

// Two builds started from one working directory share the sort's run file
// there; each must still end with its own, correctly sorted catalog.
TEST_F(MirdalBuild, ConcurrentBuildsFromOneDirectoryKeepTheirRecords) {
  std::string text;
  std::uint32_t state = 99;
  auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
  for (int i = 0; i < 40000; ++i) {
    text += columns({{1, std::to_string(next() % 360)}, {10, std::to_string(static_cast<int>(next() % 170) - 85)},
                     {19, "s" + std::to_string(i)}, {26, std::to_string(next() % 15000 / 1000.0).substr(0, 5)}}) +
            "\n";
  }
  const std::string project = writeProject(dir, "unused", false, dir.write("many.txt", text));
  ASSERT_EQ(runProgram(dir, kBuild, {"--output", dir.str() + "/ref", project}).status, 0);
  auto files = [](const fs::path& d) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& e : fs::directory_iterator(d))
      out.emplace_back(e.path().filename().string(), TempDir::readFile(e.path().string()));
    std::sort(out.begin(), out.end());
    return out;
  };
  const auto reference = files(dir.path() / "ref");
  for (int round = 0; round < 3; ++round) {
    fs::remove_all(dir.path() / "a");
    fs::remove_all(dir.path() / "b");
    const std::string both = "cd " + shellQuoted(dir.str()) + " && (" + shellQuoted(kBuild) + " --output a " + shellQuoted(project) +
                             " >/dev/null 2>&1 & " + shellQuoted(kBuild) + " --output b " + shellQuoted(project) +
                             " >/dev/null 2>&1 & wait)";
    ASSERT_EQ(std::system(both.c_str()), 0);
    EXPECT_TRUE(files(dir.path() / "a") == reference) << "round " << round;
    EXPECT_TRUE(files(dir.path() / "b") == reference) << "round " << round;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "SorTemp.mkw"));
}

// ---------------------------------------------------------------------------

TEST_F(MirdalBuild, DumpShowsHeaderCountsAndRecords) {
  const std::string out = dir.str() + "/out";
  ASSERT_EQ(runProgram(dir, kBuild, {writeProject(dir, out)}).status, 0);

  Outcome r = runProgram(dir, kDump, {out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Catalog      Cli  \"Command line\"  (ORVSTAR1)")) << r.out;
  EXPECT_TRUE(contains(r.out, "Regions      50")) << r.out;
  EXPECT_TRUE(contains(r.out, "Record       16 bytes")) << r.out;
  EXPECT_TRUE(contains(r.out, "Total        3 records, 48 empty regions")) << r.out;
  EXPECT_TRUE(contains(r.out, "Index        3 names")) << r.out;
  // RA 200, DEC -45: zone -60..-30 (first 38, 40-degree columns): region 43.
  EXPECT_TRUE(contains(r.out, "     43 cli43.dat")) << r.out;

  r = runProgram(dir, kDump, {"--records", "--region", "43", "--index", out, "cli"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Total        2 records")) << r.out;
  // Magnitude order: gamma (4) before beta (5.25).
  const auto gamma = r.out.find("Id=\"gamma \"  mV=4000");
  const auto beta = r.out.find("Id=\"beta  \"  mV=5250");
  EXPECT_NE(gamma, std::string::npos) << r.out;
  EXPECT_NE(beta, std::string::npos) << r.out;
  EXPECT_LT(gamma, beta);
  EXPECT_TRUE(contains(r.out, "ALPHA")) << r.out;
}

TEST_F(MirdalBuild, DumpRefusesWhatIsNotACatalog) {
  dir.write("garbage/x.hdr", std::string(1251, '\xAB'));
  Outcome r = runProgram(dir, kDump, {dir.str() + "/garbage"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "Invalid catalog header")) << r.err;
  EXPECT_TRUE(contains(r.err, dir.str() + "/garbage/x.hdr")) << r.err;

  dir.write("short/y.hdr", "ORVSTAR1");
  r = runProgram(dir, kDump, {dir.str() + "/short"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "Invalid catalog header")) << r.err;

  fs::create_directories(dir.path() / "empty");
  r = runProgram(dir, kDump, {dir.str() + "/empty"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.err.empty());

  r = runProgram(dir, kDump, {dir.str() + "/does-not-exist"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "does-not-exist")) << r.err;

  r = runProgram(dir, kDump, {"--bogus", dir.str()});
  EXPECT_EQ(r.status, 2);
}

TEST_F(MirdalBuild, DumpRefusesRegionsAndLimitsThatAreNotNumbersInRange) {
  const std::string out = dir.str() + "/out";
  ASSERT_EQ(runProgram(dir, kBuild, {writeProject(dir, out)}).status, 0);
  const std::vector<std::string> rows[] = {
      {"--region", "99999999999"}, {"--region", "abc"}, {"--region", "0"},    {"--region", "12x"},
      {"--region", "9538"},        {"--limit", "abc"},  {"--limit", "-1"},    {"--limit", "99999999999999999999"},
  };
  for (const auto& row : rows) {
    Outcome r = runProgram(dir, kDump, {row[0], row[1], out});
    EXPECT_EQ(r.status, 2) << row[0] << " " << row[1];
    EXPECT_TRUE(contains(r.err, row[0] + " needs") && contains(r.err, "not \"" + row[1] + "\"")) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
}

TEST_F(MirdalBuild, DumpReportsABrokenRegionFile) {
  const std::string out = dir.str() + "/out";
  ASSERT_EQ(runProgram(dir, kBuild, {writeProject(dir, out)}).status, 0);
  dir.write("out/cli43.dat", "seven b");  // not a whole 16-byte record
  Outcome r = runProgram(dir, kDump, {out});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, out + "/cli43.dat")) << r.err;

  fs::remove(out + "/cli43.dat");
  r = runProgram(dir, kDump, {out});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "cli43.dat")) << r.err;
}

// A catalog's own files must be regular files: a FIFO (whose open or read
// would wait for ever) or a link to /dev/zero (which reads without end) in
// place of the header, a region file or the index is refused at once, naming
// the file and what it is, by mirdal-dump and by an append, and so is a link
// that leads out of the catalog directory (an append would copy another file
// into the catalog). The append leaves the catalog as it was.
TEST_F(MirdalBuild, CatalogFilesThatAreNoFilesAreRefusedAtOnce) {
  const std::string out = dir.str() + "/out";
  const std::string project = writeProject(dir, out);
  const std::string appendProject = writeProject(dir, out, true);
  const struct {
    const char* file;
    const char* what;  // "fifo", "zero" or "outside"
    std::string expected;
  } rows[] = {
      {"cli01.dat", "fifo", "cli01.dat\" is not a file: it is a FIFO (named pipe)"},
      {"cli.hdr", "fifo", "cli.hdr\" is not a file: it is a FIFO (named pipe)"},
      {"cli.idx", "fifo", "cli.idx\" is not a file: it is a FIFO (named pipe)"},
      {"cli01.dat", "zero", "cli01.dat\" is not a file: it is a character device"},
      {"cli.idx", "zero", "cli.idx\" is not a file: it is a character device"},
      {"cli01.dat", "outside",
       "cli01.dat\" is not a file of the catalog: it is a link to \"" + dir.str() + "/elsewhere\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.file) + " " + row.what);
    fs::remove_all(out);
    ASSERT_EQ(runProgram(dir, kBuild, {project}).status, 0);
    const std::string path = out + "/" + row.file;
    const std::string what = row.what;
    if (what == "outside") fs::copy_file(path, dir.path() / "elsewhere", fs::copy_options::overwrite_existing);
    fs::remove(path);
    if (what == "fifo") {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (what == "zero") fs::create_symlink("/dev/zero", path);
    if (what == "outside") fs::create_symlink(dir.path() / "elsewhere", path);
    const auto before = testing::directoryContents(out);

    {
      const Outcome r = runProgram(dir, kDump, {out});
      EXPECT_EQ(r.status, 1);
      EXPECT_TRUE(contains(r.err, "mirdal-dump: ") && contains(r.err, out + "/" + row.expected)) << r.err;
    }
    const Outcome r = runProgram(dir, kBuild, {"--yes", appendProject});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Cannot append to the catalog in \"" + out) &&
                contains(r.err, out + "/" + row.expected))
        << r.err;
    EXPECT_TRUE(testing::directoryContents(out) == before);
  }
}

}  // namespace
}  // namespace mirdal
