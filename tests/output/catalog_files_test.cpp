#include "output/catalog_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include <random>

#include "output/post_build_sort.h"
#include "support/catalog_checks.h"
#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/threads.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::errorOf;
using testing::FaultyFileSystem;
using testing::le32;
using testing::TempDir;


// RA and DEC only: 8-byte records; 50 regions unless told otherwise.
RecordLayout positionsOnly(int numfile = 0) {
  CatalogDefinition def;
  def.settings.shortname = "Ab";
  def.settings.numfile = numfile;
  def.settings.index = false;
  return buildRecordLayout(def);
}

// A 4-byte ID beside the position, for an index: 12-byte records and index records.
RecordLayout withIdIndex() {
  CatalogDefinition def;
  def.settings.shortname = "Ab";
  def.fieldSlots[7].length = 4;
  def.setTicked(7, true);
  return buildRecordLayout(def);
}

const std::uint8_t* bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// The soft limit of open files, set for a scope and put back after it.
struct OpenFileLimit {
  explicit OpenFileLimit(rlim_t soft) {
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = soft;
    if (soft != 0) ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &saved); }
  rlimit saved{};
};

// With the region files kept open, and opened at every flush where the
// limit of open files is too low for that (50 regions need 306).
TEST(CatalogFiles, BudgetOfThreeRecordsKeepsEveryRegionInInputOrder) {
  for (const rlim_t limit : {rlim_t{0}, rlim_t{305}}) {
  TempDir dir;
  const RecordLayout layout = positionsOnly();
  std::map<int, std::string> expected;
  {
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, false, 24);
    {
      OpenFileLimit lowered(limit);
      files.create();
    }
    for (std::uint32_t i = 0; i < 500; ++i) {
      const int region = static_cast<int>((i * 7 + i / 50) % 50) + 1;
      const std::string rec = le32(i) + le32(static_cast<std::uint32_t>(region));
      files.writeRecord(region, bytes(rec));
      expected[region] += rec;
    }
    files.close();
  }
  for (int r = 1; r <= 50; ++r) {
    const std::string name = std::string(r < 10 ? "ab0" : "ab") + std::to_string(r) + ".dat";
    EXPECT_EQ(dir.read(name), expected[r]) << name;
  }
  EXPECT_EQ(dir.read("ab.hdr").size(), 1251u);
  EXPECT_FALSE(fs::exists(dir.path() / "ab.idx"));
  }
}

// A failed build's files are thrown away: nothing more is written to them.
TEST(CatalogFiles, AbandonDropsWhatWasBuffered) {
  TempDir dir;
  const RecordLayout layout = positionsOnly();
  {
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, false);
    files.create();
    files.writeRecord(3, bytes("AAAABBBB"));
    files.writeRecord(3, bytes("CCCCDDDD"));
    files.abandon();
  }
  EXPECT_EQ(dir.read("ab03.dat"), "");
}

TEST(CatalogFiles, AppendAddsToTheEndsAndNeedsTheFiles) {
  TempDir dir;
  const RecordLayout layout = withIdIndex();
  ASSERT_EQ(layout.recordLength, 12);
  ASSERT_EQ(layout.indexRecordLength(), 12);
  for (int round = 0; round < 2; ++round) {
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, round == 1);
    files.create();
    files.writeRecord(50, bytes(round == 0 ? "first record" : "second recrd"));
    files.writeIndexRecord(bytes(round == 0 ? "first index " : "second index"));
    files.close();
  }
  EXPECT_EQ(dir.read("ab50.dat"), "first recordsecond recrd");
  EXPECT_EQ(dir.read("ab.idx"), "first index second index");
  EXPECT_EQ(dir.read("ab01.dat"), "");

  fs::remove(dir.path() / "ab07.dat");
  CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, true);
  try {
    files.create();
    FAIL() << "appending to a missing region file";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(dir.str() + "/ab07.dat"), std::string::npos) << e.what();
  }
}

TEST(CatalogFiles, RecordsPutTogetherInPlaceReachTheFileOnlyWhenCommitted) {
  TempDir dir;
  const RecordLayout layout = withIdIndex();
  ASSERT_EQ(layout.recordLength, 12);
  {
    // A budget of two records: every second commit writes the regions out.
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, false, 24);
    files.create();
    std::memcpy(files.recordSpace(5), "abandoned!!!", 12);  // never committed
    std::memcpy(files.recordSpace(5), "first  12345", 12);
    files.commitRecord(5);
    std::memcpy(files.indexRecordSpace(), "left out    ", 12);
    std::memcpy(files.indexRecordSpace(), "name one    ", 12);
    files.commitIndexRecord();
    std::memcpy(files.recordSpace(6), "other  12345", 12);
    files.commitRecord(6);
    EXPECT_EQ(dir.read("ab05.dat"), "first  12345");
    std::memcpy(files.recordSpace(5), "second 12345", 12);
    files.commitRecord(5);
    EXPECT_EQ(dir.read("ab05.dat"), "first  12345");
    std::memcpy(files.recordSpace(5), "third  12345", 12);
    files.commitRecord(5);
    std::memcpy(files.recordSpace(5), "dropped 2345", 12);
    files.close();
  }
  EXPECT_EQ(dir.read("ab05.dat"), "first  12345second 12345third  12345");
  EXPECT_EQ(dir.read("ab06.dat"), "other  12345");
  EXPECT_EQ(dir.read("ab.idx"), "name one    ");
}

// Index runs sorted and written on a thread of their own give the file that
// the caller's own writes give, and a write of theirs that fails is thrown.
TEST(CatalogFiles, IndexRunsWrittenBesideGiveTheSameFileOrFail) {
  TempDir dir;
  const RecordLayout layout = withIdIndex();
  std::mt19937 random(3);
  std::vector<std::string> records(500);
  for (std::string& r : records) {
    for (int i = 0; i < 8; ++i) r += static_cast<char>(random());
    for (int i = 0; i < 4; ++i) r += "aAbB c"[random() % 6];  // many equal names, whose order must stay
  }
  auto build = [&](FaultyFileSystem& fs, const std::string& name) {
    fs::create_directories(dir.path() / name);
    CatalogFiles files(fs, dir.str() + "/" + name + "/", layout, false);
    files.create();
    files.sortIndexRuns(60, indexNameOrder(layout));  // 5 records a run
    for (const std::string& r : records) {
      files.writeRecord(1, bytes(r));
      files.writeIndexRecord(bytes(r));
    }
    files.close();
    return files.indexRuns();
  };
  FaultyFileSystem oneThread;
  const std::vector<std::int64_t> runs = build(oneThread, "one");
  EXPECT_EQ(runs.size(), 100u);
  FaultyFileSystem counting(-1, ".idx");
  counting.allowThreads();
  EXPECT_EQ(build(counting, "two"), runs);
  EXPECT_TRUE(dir.read("two/ab.idx") == dir.read("one/ab.idx"));
  for (long n = 1; n <= counting.writes(); ++n) {
    FaultyFileSystem faulty(n, ".idx");
    faulty.allowThreads();
    const std::string name = "w" + std::to_string(n);
    EXPECT_EQ(errorOf([&] { build(faulty, name); }),
              "Cannot write file \"" + dir.str() + "/" + name + "/ab.idx\": No space left on device");
  }
}

// Region buffers written out by two threads at once (the filling one and one
// that lends a hand while it waits) give the files one thread gives, and a
// failed write of either thread is thrown by the flush.
TEST(CatalogFiles, FlushesSharedWithAWaitingThreadGiveTheSameFilesOrFail) {
  TempDir dir;
  const RecordLayout layout = positionsOnly();
  std::mt19937 random(5);
  std::vector<std::pair<int, std::string>> records(1000);
  for (auto& [region, r] : records) {
    region = static_cast<int>(random() % 50) + 1;
    for (int i = 0; i < 8; ++i) r += static_cast<char>(random());
  }
  auto build = [&](FaultyFileSystem& fs, const std::string& name) {
    fs::create_directories(dir.path() / name);
    CatalogFiles files(fs, dir.str() + "/" + name + "/", layout, false, 800);
    files.create();
    {
      JobThread filler;
      files.shareFlushes([&filler] { filler.nudge(); });
      for (std::size_t from = 0; from < records.size(); from += 100) {
        filler.post([&, from] {
          for (std::size_t i = from; i < from + 100; ++i) files.writeRecord(records[i].first, bytes(records[i].second));
        });
        filler.wait([&files] { files.helpFlush(); });
      }
      files.shareFlushes({});
    }
    files.close();
  };
  FaultyFileSystem oneThread;
  build(oneThread, "one");
  FaultyFileSystem counting(-1, ".dat");
  counting.allowThreads();
  build(counting, "two");
  for (int r = 1; r <= 50; ++r) {
    const std::string file = "ab" + std::string(r < 10 ? "0" : "") + std::to_string(r) + ".dat";
    ASSERT_TRUE(dir.read("two/" + file) == dir.read("one/" + file)) << file;
  }
  for (long n = 1; n <= counting.writes(); n += 23) {
    FaultyFileSystem faulty(n, ".dat");
    faulty.allowThreads();
    const std::string error = errorOf([&] { build(faulty, "w"); });
    EXPECT_TRUE(error.starts_with("Cannot write file \"" + dir.str() + "/w/ab") &&
                error.ends_with(".dat\": No space left on device"))
        << error;
    fs::remove_all(dir.path() / "w");
  }
}

TEST(CatalogFiles, ManyRecordsInOneRegionGrowItsBufferInOrder) {
  TempDir dir;
  const RecordLayout layout = positionsOnly(1);  // 184 regions
  std::string expected;
  {
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, false, 1u << 20);
    files.create();
    for (std::uint32_t i = 0; i < 300'000; ++i) {
      const std::string rec = le32(i) + le32(~i);
      files.writeRecord(184, bytes(rec));
      expected += rec;
    }
    files.close();
  }
  EXPECT_EQ(dir.read("ab184.dat"), expected);
}

TEST(CatalogFiles, UnknownRegionCountIsRefused) {
  TempDir dir;
  RecordLayout layout = positionsOnly();
  layout.regionCount = 7;
  try {
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, false);
    FAIL() << "7 regions accepted";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid number of files : 7");
  }
}

TEST(CatalogFiles, SmallRegionSchemeCreatesEveryFileInItsZone) {
  TempDir dir;
  const RecordLayout layout = positionsOnly(3);
  int hooks = 0;
  {
    CatalogFiles files(FileSystem::real(), dir.str() + "/", layout, false);
    files.create([&](int r) { EXPECT_EQ(r, ++hooks); });
    files.close();
  }
  EXPECT_EQ(hooks, 9537);
  int dirs = 0, total = 0;
  for (const auto& zone : fs::directory_iterator(dir.path())) {
    if (!zone.is_directory()) continue;
    ++dirs;
    for ([[maybe_unused]] const auto& f : fs::directory_iterator(zone.path())) ++total;
  }
  EXPECT_EQ(dirs, 24);
  EXPECT_EQ(total, 9537);
  EXPECT_TRUE(fs::exists(dir.path() / "N0000" / "ab0001.dat"));
  EXPECT_TRUE(fs::exists(dir.path() / "N8230" / "ab4662.dat"));
  EXPECT_TRUE(fs::exists(dir.path() / "S0000" / "ab4663.dat"));
  EXPECT_TRUE(fs::exists(dir.path() / "S8230" / "ab9537.dat"));
}

}  // namespace
}  // namespace mirdal
