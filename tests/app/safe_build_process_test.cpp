// mirdal-build as a whole process, stopped by real signals at every stage,
// run twice at once, and fed records far larger than its buffers.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/project_file.h"
#include "output/catalog_staging.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;
using testing::ChildProcess;
using testing::TempDir;

const std::string kBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";

// `count` decimal stars (RA 1-7, DEC 9-15, ID 17-22, magnitude 24-28)
// spread over the sky.
std::string starLines(int count, unsigned seed) {
  std::string text;
  char line[64];
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const double ra = (seed >> 8) % 3600000 / 10000.0;
    seed = seed * 1103515245u + 12345u;
    const double dec = (seed >> 8) % 1790000 / 10000.0 - 89.5;
    std::snprintf(line, sizeof line, "%7.3f %7.3f s%05d %5.2f\n", ra, dec, i % 100000, (i % 1500) / 100.0);
    text += line;
  }
  return text;
}

std::string writeProject(const TempDir& dir, const std::string& name, const std::string& input,
                         const std::string& out, int numfile = 2) {
  CatalogDefinition def = testing::decimalStars("Sig", {input}, 1, out);
  def.settings.longname = "Signals";
  def.settings.numfile = numfile;
  testing::setSlot(def, 0, 1, 7);
  testing::setSlot(def, 1, 9, 7);
  testing::setSlot(def, 2, 17, 6);
  testing::setSlot(def, 3, 24, 5);
  const std::string path = dir.str() + "/" + name;
  saveProject(path, def, FileSystem::real());
  return path;
}

// The directory's contents without the staging directories of builds.
Contents catalogOf(const std::string& dir) {
  Contents all = testing::directoryContents(dir);
  std::erase_if(all, [](const auto& e) { return e.first.starts_with(CatalogStaging::kPrefix); });
  return all;
}

double secondsOf(const std::function<void()>& f) {
  const auto t = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

class SafeBuildProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild)) GTEST_SKIP() << "mirdal-build is not built";
  }
  TempDir dir;
};

// Whether a build has made its staging directory in `out`: it is past its
// start (its signal handlers are in place) and holds the directory.
bool stagingIn(const std::string& out) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(out, ec))
    if (e.path().filename().string().starts_with(CatalogStaging::kPrefix)) return true;
  return false;
}

// Writes all of `bytes` to a pipe's descriptor (a short write is taken up
// again); false when the reader went away.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// The build reads its input from a pipe, so that the test holds it at a
// known point instead of guessing one from the clock: waiting for the pipe's
// writer (after its files are created), in the middle of the conversion
// (half the lines written, the writer silent), and once the input is whole
// (every later stage, where only SIGKILL is sent and any moment may be hit).
TEST_F(SafeBuildProcess, SignalsAtEveryStageLeaveThePreviousCatalog) {
  std::signal(SIGPIPE, SIG_IGN);  // a write to a build that was stopped fails instead
  const std::string out = dir.str() + "/out";
  const std::string lines = starLines(150'000, 2);
  const std::string oldProject = writeProject(dir, "old.prj", dir.write("old.txt", starLines(2000, 1)), out);
  const std::string refProject = writeProject(dir, "ref.prj", dir.write("new.txt", lines), dir.str() + "/ref");
  const std::string pipe = dir.str() + "/new.pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string newProject = writeProject(dir, "new.prj", pipe, out);
  ASSERT_EQ(ChildProcess(kBuild, {refProject}, dir.str(), "ref").wait().status, 0);
  const Contents built = catalogOf(dir.str() + "/ref");
  ASSERT_EQ(ChildProcess(kBuild, {oldProject}, dir.str(), "old").wait().status, 0);
  const Contents previous = catalogOf(out);

  enum Point { kWaitingForWriter, kMidConversion, kInputWhole };
  const struct {
    Point point;
    int sig;
  } rows[] = {
      {kWaitingForWriter, SIGINT}, {kWaitingForWriter, SIGTERM}, {kWaitingForWriter, SIGKILL},
      {kMidConversion, SIGINT},    {kMidConversion, SIGTERM},    {kMidConversion, SIGKILL},
      {kInputWhole, SIGKILL},      {kInputWhole, SIGKILL},       {kInputWhole, SIGKILL},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE("signal " + std::to_string(row.sig) + " at point " + std::to_string(row.point));
    ChildProcess build(kBuild, {"--allow-pipes", newProject}, dir.str(), "build");
    for (int i = 0; i < 3000 && !stagingIn(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(stagingIn(out));
    int writer = -1;
    if (row.point != kWaitingForWriter) {
      writer = ::open(pipe.c_str(), O_WRONLY | O_CLOEXEC);  // waits for the build to open its input
      ASSERT_GE(writer, 0);
      const std::size_t half = lines.find('\n', lines.size() / 2) + 1;
      ASSERT_TRUE(writeAll(writer, std::string_view(lines).substr(0, half)));
      if (row.point == kInputWhole) {
        ASSERT_TRUE(writeAll(writer, std::string_view(lines).substr(half)));
        ::close(writer);
        writer = -1;
      }
    }
    build.signal(row.sig);
    testing::ChildOutcome r;
    const double stopping = secondsOf([&] { r = build.wait(); });
    if (writer >= 0) ::close(writer);
    EXPECT_LT(stopping, 10.0);  // stopped at once, not hung
    if (row.point == kInputWhole) {
      // A build killed among the renames of its files is finished by the
      // next one; killed after them (on its way out), it has put the whole
      // new catalog in place; at any other moment the previous catalog is
      // untouched. Never a mixture.
      if (!hasUnfinishedCommit(FileSystem::real(), out)) {
        const Contents now = catalogOf(out);
        EXPECT_TRUE(now == previous || now == built);
      }
    } else {
      // Held before its input ended, the build cannot have finished.
      EXPECT_FALSE(r.exited && r.status == 0);
      if (row.sig != SIGKILL) {
        EXPECT_NE(r.err.find("Aborted by user"), std::string::npos) << r.err;
      }
      EXPECT_FALSE(hasUnfinishedCommit(FileSystem::real(), out));
      EXPECT_TRUE(catalogOf(out) == previous);
    }
    // The next build clears what a stopped one left and gives the catalog.
    ASSERT_EQ(ChildProcess(kBuild, {oldProject}, dir.str(), "old").wait().status, 0);
    EXPECT_TRUE(testing::directoryContents(out) == previous);
  }
}

TEST_F(SafeBuildProcess, TwoBuildsOfOneDirectory) {
  const std::string lines = starLines(300'000, 3);
  const std::string input = dir.write("in.txt", lines);
  // The first build reads a pipe, so that it is still at work, holding the
  // directory, until the test writes the lines.
  const std::string pipe = dir.str() + "/in.pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::string out = dir.str() + "/out";
  const std::string project = writeProject(dir, "p.prj", pipe, out);
  ChildProcess first(kBuild, {"--allow-pipes", project}, dir.str(), "first");
  for (int i = 0; i < 1000 && !stagingIn(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(stagingIn(out));
  // The second, from another working directory, is refused at once.
  fs::create_directory(dir.path() / "elsewhere");
  ChildProcess second(kBuild, {"--allow-pipes", project}, dir.str(), "second", dir.str() + "/elsewhere");
  testing::ChildOutcome refused;
  EXPECT_LT(secondsOf([&] { refused = second.wait(); }), 10.0);  // refused without waiting for the first
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("Another build is writing the catalog in \"" + out + "/\""), std::string::npos)
      << refused.err;
  if (std::FILE* writer = std::fopen(pipe.c_str(), "wb")) {
    std::fwrite(lines.data(), 1, lines.size(), writer);
    std::fclose(writer);
  }
  ASSERT_EQ(first.wait().status, 0);

  // Builds of different directories run side by side.
  const std::string a = writeProject(dir, "a.prj", input, dir.str() + "/a");
  const std::string b = writeProject(dir, "b.prj", input, dir.str() + "/b");
  ChildProcess buildA(kBuild, {a}, dir.str(), "a");
  ChildProcess buildB(kBuild, {b}, dir.str(), "b", dir.str() + "/elsewhere");
  EXPECT_EQ(buildA.wait().status, 0);
  EXPECT_EQ(buildB.wait().status, 0);
  EXPECT_TRUE(testing::directoryContents(dir.str() + "/a") == testing::directoryContents(out));
  EXPECT_TRUE(testing::directoryContents(dir.str() + "/b") == testing::directoryContents(out));
}

TEST_F(SafeBuildProcess, RecordsLargerThanTheBuffersKeepMemoryBounded) {
  // 150 records of three 1,000,000-byte texts (past the end of short lines,
  // so blank) in 50 regions.
  CatalogDefinition def = testing::decimalStars("Wide", {dir.write("in.txt", starLines(150, 4))}, 1, dir.str() + "/out");
  testing::setSlot(def, 0, 1, 7);
  testing::setSlot(def, 1, 9, 7);
  def.settings.longname = "Wide records";
  testing::setSlot(def, 3, 24, 5);
  for (int s = 13; s <= 15; ++s) testing::setSlot(def, s, 30, 1'000'000);  // String 1 to 3
  const std::string project = dir.str() + "/wide.prj";
  saveProject(project, def, FileSystem::real());
  const testing::ChildOutcome r = ChildProcess(kBuild, {project}, dir.str(), "wide").wait();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("records written   150"), std::string::npos) << r.out;
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own memory would count
  EXPECT_LT(r.peakRssKb, 150'000);
#endif
}

}  // namespace
}  // namespace mirdal
