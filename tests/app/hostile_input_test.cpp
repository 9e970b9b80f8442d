// mirdal-build against files an attacker chooses: save targets that are no
// regular files or are the inputs themselves, inputs that are pipes or
// devices, headers that would make a library allocate without bound, and
// trailer lines among a table's rows. Each is refused at once, with little
// memory, or read without losing a row.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::ChildOutcome;
using testing::TempDir;

const std::string kBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";
const std::string kStars = "RAdeg,DEdeg,Vmag\n1.5,2.5,3.5\n2.5,3.5,4.5\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs mirdal-build with `args` in `dir`; the seconds it took in `seconds`.
// One that hangs is killed after 20 seconds, and fails as killed.
ChildOutcome run(const TempDir& dir, const std::vector<std::string>& args, double* seconds = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  testing::ChildProcess child(kBuild, args, dir.str(), "run", dir.str());
  std::promise<void> ended;
  std::thread watchdog([&child, waited = ended.get_future()] {
    if (waited.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) child.signal(SIGKILL);
  });
  ChildOutcome r = child.wait();
  ended.set_value();
  watchdog.join();
  if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return r;
}

// A save never replaces what is not a regular file, nor a file it reads:
// each is refused before anything is written, and stays as it was.
TEST(HostileInput, SaveTargetsThatASaveWouldWronglyReplace) {
  struct Case {
    const char* what;
    std::string save;  // relative to the directory
    std::string said;
  };
  const std::vector<Case> cases = {
      {"a FIFO", "f.fifo", "Unable to write to f.fifo: \"f.fifo\" is not a file: it is a FIFO (named pipe)"},
      {"a link to a FIFO", "link.prj", "\"link.prj\" is not a file: it is a FIFO (named pipe)"},
      {"a FIFO as its .old", "p.prj", "\"p.prj.old\" is not a file: it is a FIFO (named pipe)"},
      {"the input", "stars.csv", "--save \"stars.csv\": the project would replace the input file \"stars.csv\""},
      {"the input as its .old", "stars", "the project would replace the input file \"stars.csv\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.write("stars.csv", kStars);
    ASSERT_EQ(::mkfifo((dir.str() + "/f.fifo").c_str(), 0600), 0);
    fs::create_symlink("f.fifo", dir.path() / "link.prj");
    ASSERT_EQ(::mkfifo((dir.str() + "/p.prj.old").c_str(), 0600), 0);
    fs::create_hard_link(dir.path() / "stars.csv", dir.path() / "stars.old");
    const ChildOutcome r = run(dir, {"--input", "stars.csv", "--type", "stars", "--save", c.save});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, c.said)) << r.err;
    EXPECT_TRUE(fs::is_fifo(dir.path() / "f.fifo"));
    EXPECT_TRUE(fs::is_fifo(dir.path() / "p.prj.old"));
    EXPECT_FALSE(fs::exists(dir.path() / "p.prj"));
    EXPECT_EQ(dir.read("stars.csv"), kStars);
    EXPECT_FALSE(fs::exists(dir.path() / "stars.csv.old"));
  }
}

// An input that is a pipe or a device is refused at once, by the import
// always and by a build unless it asks for pipes, rather than waited on or
// read without end.
TEST(HostileInput, InputsThatAreNoRegularFilesAreRefusedAtOnce) {
  TempDir dir;
  dir.write("stars.csv", kStars);
  ASSERT_EQ(run(dir, {"--input", "stars.csv", "--type", "stars", "--save", "p.prj"}).status, 0);
  ASSERT_EQ(::mkfifo((dir.str() + "/in.fifo").c_str(), 0600), 0);
  fs::remove(dir.path() / "stars.csv");
  ASSERT_EQ(::mkfifo((dir.str() + "/stars.csv").c_str(), 0600), 0);  // the project's input, now a pipe
  const struct {
    const char* what;
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {"import of a FIFO", {"--input", "in.fifo", "--type", "stars", "--save", "q.prj"},
       "\"in.fifo\" is not a file: it is a FIFO (named pipe), which is read only by a build that asks for pipes"},
      {"import of a device", {"--input", "/dev/zero", "--type", "stars", "--save", "q.prj"},
       "\"/dev/zero\" is not a file: it is a character device"},
      {"ReadMe that is a FIFO", {"--readme", "in.fifo", "--input", "p.prj", "--type", "stars", "--save", "q.prj"},
       "\"in.fifo\" is not a file: it is a FIFO (named pipe)"},
      {"build of a FIFO", {"p.prj"}, "--allow-pipes asks for them"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    double seconds = 0;
    const ChildOutcome r = run(dir, c.args, &seconds);
    EXPECT_LT(seconds, 5.0);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, c.said)) << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / "q.prj"));
  }
}

// A project's text input that holds what the build cannot read as text:
// refused before anything is written, naming the file and what it holds.
TEST(HostileInput, BuildRefusesInputsThatAreNoText) {
  std::string random(4096, '\0');
  std::uint32_t state = 7;
  for (char& c : random) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
  const struct {
    const char* what;
    std::string bytes, said;
  } cases[] = {
      {"zstd", std::string("\x28\xB5\x2F\xFD", 4) + kStars,
       "is compressed with zstd: a compressed file is read when its name ends in \".zst\""},
      {"a program", std::string("\x7F" "ELF\x02\x01\x01\0\0\0", 10) + std::string(4000, '\0'), "is a program"},
      {"random bytes", random, "holds binary data, not text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.write("stars.csv", kStars);
    ASSERT_EQ(run(dir, {"--input", "stars.csv", "--type", "stars", "--save", "p.prj", "--output", "out"}).status, 0);
    dir.write("stars.csv", c.bytes);
    const ChildOutcome r = run(dir, {"p.prj"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "stars.csv\" " + c.said)) << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "star.hdr"));
  }
}

// Headers that ask a library for memory without bound: an ECSV header of
// unclosed flow lists, a FITS table declaring millions of columns. Refused
// within a second or two and a small fraction of the memory they would take.
TEST(HostileInput, HeadersThatWouldAllocateWithoutBoundAreRefusedCheaply) {
  const std::string ecsv =
      "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: ra, datatype: float64}\n# meta: " + std::string(4'000'000, '[') +
      "\nra\n1\n";
  auto card = [](const std::string& text) { return text + std::string(80 - text.size(), ' '); };
  auto hdu = [&](const std::vector<std::string>& cards) {
    std::string h;
    for (const std::string& c : cards) h += card(c);
    h += card("END");
    return h + std::string((2880 - h.size() % 2880) % 2880, ' ');
  };
  const std::string fits =
      hdu({"SIMPLE  =                    T", "BITPIX  =                    8", "NAXIS   =                    0"}) +
      hdu({"XTENSION= 'BINTABLE'", "BITPIX  =                    8", "NAXIS   =                    2",
           "NAXIS1  =                    8", "NAXIS2  =                    1", "PCOUNT  =                    0",
           "GCOUNT  =                    1", "TFIELDS =              9999999", "TFORM1  = 'D'"}) +
      std::string(2880, '\0');
  const struct {
    const char* name;
    std::string text, said;
  } cases[] = {
      {"t.ecsv", ecsv, "line 5: the ECSV header nests lists or mappings more than 64 deep"},
      {"t.fits", fits, "declares 9999999 columns (TFIELDS), more than the 999 a FITS table may have"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write(c.name, c.text);
    double seconds = 0;
    const ChildOutcome r = run(dir, {"--input", c.name, "--type", "stars", "--save", "p.prj"}, &seconds);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, c.said)) << r.err;
    EXPECT_LT(seconds, 3.0);
    EXPECT_LT(r.peakRssKb, 100'000);
  }
}

// Machine-readable tables whose rows are followed by a trailer ("(End)"
// and a line), or hold one: every row is built, and the lines that are no
// rows are rejected with their reason, not skipped.
TEST(HostileInput, TrailerLinesAmongTheRowsOfAMachineReadableTable) {
  const std::string header =
      "Title: t\n=====\nByte-by-byte Description of file: t.mrt\n-----\n"
      " Bytes Format Units Label Explanations\n-----\n"
      "  1-  4 I4    ---   ID    Identifier\n  6- 13 F8.4  deg   RAdeg Right ascension\n"
      " 15- 22 F8.4  deg   DEdeg Declination\n 24- 28 F5.2  mag   Vmag  V magnitude\n-----\n";
  auto rows = [](int from, int to) {
    std::string text;
    char line[64];
    for (int i = from; i <= to; ++i) {
      std::snprintf(line, sizeof line, "%4d %8.4f %8.4f %5.2f\n", i, 10.0 + i, -20.0 + i * 0.5, 5 + i * 0.05);
      text += line;
    }
    return text;
  };
  const struct {
    const char* what;
    std::string rows;
    std::string written, rejected;
  } cases[] = {
      {"trailer after the rows", rows(1, 20) + "(End) x 01-Jan-2020\nmore\n", "records written   20",
       "lines rejected    2"},
      {"(End) among the rows", rows(1, 39) + "(End)\n" + rows(40, 50), "records written   50", "lines rejected    1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.write("t.mrt", header + c.rows);
    ChildOutcome r = run(dir, {"--input", "t.mrt", "--type", "stars", "--save", "p.prj", "--output", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "data from line 12")) << r.out;
    r = run(dir, {"p.prj"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, c.written)) << r.out;
    EXPECT_TRUE(contains(r.out, c.rejected)) << r.out;
  }
}

// mirdal-dump of a catalog whose index is far larger than what it prints:
// the entries are counted from the file's size and read only as far as
// --limit, so that a huge index takes little memory and time.
TEST(HostileInput, DumpOfAHugeIndexReadsOnlyWhatItPrints) {
  TempDir dir;
  dir.write("stars.csv", "ID,RAdeg,DEdeg,Vmag\nalpha,1.5,2.5,3.5\nbeta,2.5,3.5,4.5\n");
  ASSERT_EQ(run(dir, {"--input", "stars.csv", "--type", "stars", "--save", "p.prj", "--output", "out"}).status, 0);
  ASSERT_EQ(run(dir, {"p.prj"}).status, 0);
  fs::path index;
  for (const auto& e : fs::directory_iterator(dir.path() / "out"))
    if (e.path().extension() == ".idx") index = e.path();
  ASSERT_FALSE(index.empty());
  const std::uintmax_t entry = fs::file_size(index) / 2;
  fs::resize_file(index, entry * 10'000'000);  // sparse: about 100 MB or more
  double seconds = 0;
  const auto start = std::chrono::steady_clock::now();
  const ChildOutcome r = testing::ChildProcess(std::string(MIRDAL_BINARY_DIR) + "/mirdal-dump",
                                               {"--index", "--limit", "5", (dir.path() / "out").string()}, dir.str())
                             .wait();
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "Index        10000000 names")) << r.out;
  EXPECT_TRUE(contains(r.out, "  ALPHA")) << r.out;
  EXPECT_LT(r.peakRssKb, 60'000);
  EXPECT_LT(seconds, 3.0);
}

}  // namespace
}  // namespace mirdal
