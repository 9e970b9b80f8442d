#include "sort/fix_rec_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "sort/compare_from.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"
#include "util/error.h"

namespace mirdal {
namespace {

namespace fsys = std::filesystem;

// Test records of 10 bytes: a 16-bit little-endian key, a 32-bit
// little-endian sequence number, then "tail".
constexpr int kRecord = 10;

std::string record(int key, std::uint32_t sequence) {
  auto k = static_cast<std::uint16_t>(static_cast<std::int16_t>(key));
  std::string r;
  r += static_cast<char>(k & 0xFF);
  r += static_cast<char>(k >> 8);
  for (int i = 0; i < 4; ++i) r += static_cast<char>((sequence >> (8 * i)) & 0xFF);
  return r + "tail";
}

using KeySeq = std::pair<int, std::uint32_t>;

std::vector<KeySeq> parse(const std::string& data) {
  std::vector<KeySeq> out;
  for (std::size_t p = 0; p + kRecord <= data.size(); p += kRecord) {
    auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(data[p + i]); };
    int key = static_cast<std::int16_t>(static_cast<std::uint16_t>(b(0) | (b(1) << 8)));
    std::uint32_t seq = b(2) | (b(3) << 8) | (b(4) << 16) | (static_cast<std::uint32_t>(b(5)) << 24);
    out.emplace_back(key, seq);
  }
  return out;
}

// Records with keys drawn from [0, keyRange), numbered in input order.
std::string randomRecords(std::size_t count, int keyRange, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> key(0, keyRange - 1);
  std::string data;
  data.reserve(count * kRecord);
  for (std::size_t i = 0; i < count; ++i) data += record(key(random), static_cast<std::uint32_t>(i));
  return data;
}

// What a stable sort by key must give.
std::vector<KeySeq> stableByKey(const std::string& data) {
  auto v = parse(data);
  std::stable_sort(v.begin(), v.end(), [](const KeySeq& a, const KeySeq& b) { return a.first < b.first; });
  return v;
}

const RecordCompare byKey = [](const std::uint8_t* a, const std::uint8_t* b) { return CompareSmallIntFrom(a, b, 0); };

class FixRecSortTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.str() + "/" + name; }
  bool tempExists() const { return fsys::exists(dir_.path() / FixRecSort::kTempFileName); }

  testing::TempDir dir_;
  // The temporary file goes to the current directory.
  testing::ScopedWorkingDirectory cwd_{dir_.path()};
};

TEST(SortSizes, FiveMillionBytesOfTenByteRecords) {
  SortSizes s = computeSortSizes(5'000'000, 10);
  EXPECT_EQ(s.MemorySize, 416'660);
  EXPECT_EQ(s.IOBufferSize, 83'333);
  EXPECT_EQ(s.MergeBufferSize, 32'050);
}

TEST(SortSizes, BandsAndTheirBorders) {
  struct Case {
    std::int64_t size;
    int record;
    std::int64_t m, b, q;
  };
  const Case cases[] = {
      {0, 10, 325'000, 65'000, 325'000},                         // floor of the first band
      {3'900'000, 10, 325'000, 65'000, 25'000},                  // S / 12 meets the floor
      {40'000'000, 10, 3'333'330, 666'666, 256'410},             // last size of the first band
      {40'000'010, 10, 4'000'000, 800'000, 363'636},             // first of the second: its floor
      {100'000'000, 10, 5'882'350, 1'176'470, 326'797},          // last of the second
      {100'000'010, 10, 10'000'000, 2'000'000, 909'090},         // first of the third: its floor
      {600'000'000, 10, 24'000'000, 4'800'000, 923'076},         // last of the third
      {600'000'010, 10, 20'000'000, 4'000'000, 645'161},         // fixed sizes from here on
      {2'000'000'000, 10, 20'000'000, 4'000'000, 198'019},
      {10'000'000'000, 10, 20'000'000, 4'000'000, 39'920},       // beyond the bands: 64-bit sizes
      {7'000'000, 7, 583'331, 116'666, 44'871},                  // B taken before M is cut to records
      {0, 400'000, 400'000, 65'000, 400'000},                    // a record larger than M: one record
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SortSizes s = computeSortSizes(c.size, c.record);
    EXPECT_EQ(s.MemorySize, c.m);
    EXPECT_EQ(s.IOBufferSize, c.b);
    EXPECT_EQ(s.MergeBufferSize, c.q);
  }
}

TEST_F(FixRecSortTest, WritersCutTheirBufferToWholeRecords) {
  auto file = FileSystem::real().open(path("w.dat"), OpenMode::Create);
  EXPECT_EQ(SorIO(*file, 83'333, 10).capacity(), 83'330);
  EXPECT_EQ(SorIO(*file, 9, 10).capacity(), 10);  // never less than one record
}

TEST_F(FixRecSortTest, FiveMillionBytesMakeThirteenRunsAndMergeInOrder) {
  std::string data = randomRecords(500'000, 30'000, 1);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(sorter.sizes().MemorySize, 416'660);
  EXPECT_EQ(sorter.runCount(), 13);  // twelve of 41,666 records and one of 8
  EXPECT_EQ(parse(dir_.read("out.dat")), stableByKey(data));
  EXPECT_EQ(dir_.read("in.dat"), data);
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, HundredThousandBytesAreOneRunAndNoTemporaryFileRemains) {
  std::string data = randomRecords(10'000, 100, 2);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(sorter.runCount(), 1);
  EXPECT_EQ(parse(dir_.read("out.dat")), stableByKey(data));
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, EmptyInputGivesEmptyOutputAndNoTemporaryFile) {
  std::string in = dir_.write("in.dat", "");
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(sorter.runCount(), 0);
  ASSERT_TRUE(fsys::exists(path("out.dat")));
  EXPECT_EQ(dir_.read("out.dat"), "");
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, OneRecordIsCopiedUnchanged) {
  std::string one = record(-7, 42);
  std::string in = dir_.write("in.dat", one);
  for (int method : {0, 1}) {
    FixRecSort sorter(kRecord, FileSystem::real());
    sorter.SortMethod = static_cast<std::uint8_t>(method);
    sorter.SortFile(in, path("out.dat"), byKey);
    EXPECT_EQ(dir_.read("out.dat"), one);
  }
}

TEST_F(FixRecSortTest, SizeNotAMultipleOfTheRecordIsRefusedAndInputUntouched) {
  std::string data = record(1, 1) + record(2, 2) + "abc";
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  try {
    sorter.SortFile(in, path("out.dat"), byKey);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "File can`t be divided through 10");
  }
  EXPECT_EQ(dir_.read("in.dat"), data);
  EXPECT_FALSE(tempExists());
  EXPECT_FALSE(fsys::exists(path("out.dat")));
}

TEST_F(FixRecSortTest, EqualKeysKeepInputOrderAcrossRuns) {
  // Two records per run: (b1 a1) (b2 a2) (a3 b3) become three runs whose
  // heads tie; the run number must decide.
  std::string data = record(2, 1) + record(1, 1) + record(2, 2) + record(1, 2) + record(1, 3) + record(2, 3);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.overrideSizes({2 * kRecord, kRecord, kRecord});
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(sorter.runCount(), 3);
  std::vector<KeySeq> expected = {{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}};
  EXPECT_EQ(parse(dir_.read("out.dat")), expected);
}

TEST_F(FixRecSortTest, OneRunLimitGivesTheOrderOfTheBandsRuns) {
  // Beyond the first band's 325,000 bytes the file takes several runs unless
  // the limit lets it sort in one; the records come out the same.
  std::string data = randomRecords(40'000, 50, 7);
  ASSERT_GT(data.size(), 325'000u);
  std::string in = dir_.write("in.dat", data);
  FixRecSort banded(kRecord, FileSystem::real());
  banded.SortMethod = 1;
  banded.SortFile(in, path("banded.dat"), byKey);
  EXPECT_GT(banded.runCount(), 1);
  FixRecSort whole(kRecord, FileSystem::real());
  whole.SortMethod = 1;
  whole.setOneRunLimit(static_cast<std::int64_t>(data.size()));
  whole.SortFile(in, path("whole.dat"), byKey);
  EXPECT_EQ(whole.runCount(), 1);
  EXPECT_EQ(dir_.read("whole.dat"), dir_.read("banded.dat"));
  FixRecSort under(kRecord, FileSystem::real());
  under.SortMethod = 1;
  under.setOneRunLimit(static_cast<std::int64_t>(data.size()) - 1);
  under.SortFile(in, path("under.dat"), byKey);
  EXPECT_EQ(under.runCount(), banded.runCount());
}

TEST_F(FixRecSortTest, ManySmallRunsWithRefillingMergeBuffersStayStable) {
  // 20,000 records in runs of 97 (207 runs), each run read back three
  // records at a time and written through a buffer of two records.
  std::string data = randomRecords(20'000, 50, 3);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.overrideSizes({97 * kRecord, 2 * kRecord, 3 * kRecord + 5});
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(sorter.runCount(), 207);
  EXPECT_EQ(parse(dir_.read("out.dat")), stableByKey(data));
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, MagnitudeCompareKeepsInputOrderOfEqualKeysAcrossRuns) {
  // The named compare takes the engine's direct path; the order must be the
  // same as through any other compare.
  std::string data = randomRecords(3'000, 20, 9);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.overrideSizes({250 * kRecord, 7 * kRecord, 5 * kRecord});
  sorter.SortFile(in, path("out.dat"), compareMagnitudeAt(1, kRecord));
  EXPECT_EQ(sorter.runCount(), 12);
  EXPECT_EQ(parse(dir_.read("out.dat")), stableByKey(data));
}

TEST_F(FixRecSortTest, QuickSortMethodOrdersByKey) {
  std::string data = randomRecords(5'000, 300, 4);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.overrideSizes({500 * kRecord, 64 * kRecord, 16 * kRecord});
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(sorter.runCount(), 10);
  auto got = parse(dir_.read("out.dat"));
  auto want = stableByKey(data);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i].first, want[i].first) << i;
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
}

TEST_F(FixRecSortTest, TemporaryFileLiesInTheCurrentDirectory) {
  testing::TempDir other;
  dir_.write(FixRecSort::kTempFileName, "stale");
  std::string data = randomRecords(100, 10, 5);
  std::string in = other.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.overrideSizes({30 * kRecord, kRecord, kRecord});
  sorter.SortFile(in, other.str() + "/out.dat", byKey);
  EXPECT_EQ(parse(other.read("out.dat")), stableByKey(data));
  EXPECT_FALSE(tempExists());
  EXPECT_FALSE(fsys::exists(other.path() / FixRecSort::kTempFileName));
}

TEST_F(FixRecSortTest, MissingInputIsReportedAndNothingIsCreated) {
  FixRecSort sorter(kRecord, FileSystem::real());
  try {
    sorter.SortFile(path("nope.dat"), path("out.dat"), byKey);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path("nope.dat") + "\": No such file or directory");
  }
  EXPECT_FALSE(tempExists());
  EXPECT_FALSE(fsys::exists(path("out.dat")));
}

TEST_F(FixRecSortTest, OutputThatCannotBeCreatedIsNamedAndTheTemporaryFileRemoved) {
  std::string in = dir_.write("in.dat", record(2, 0) + record(1, 1));
  std::string out = path("missing/out.dat");
  FixRecSort sorter(kRecord, FileSystem::real());
  try {
    sorter.SortFile(in, out, byKey);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + out + "\": No such file or directory");
  }
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, SortingAFileOntoItselfIsRefused) {
  std::string data = record(2, 0) + record(1, 1);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  EXPECT_THROW(sorter.SortFile(in, dir_.str() + "/./in.dat", byKey), Error);
  EXPECT_EQ(dir_.read("in.dat"), data);
  // The temporary file as output, named by another path before either exists.
  EXPECT_THROW(sorter.SortFile(in, path(FixRecSort::kTempFileName), byKey), Error);
  EXPECT_FALSE(tempExists());
  // The temporary file itself as input would be truncated before it is read.
  std::string temp = dir_.write(FixRecSort::kTempFileName, data);
  EXPECT_THROW(sorter.SortFile(FixRecSort::kTempFileName, path("out.dat"), byKey), Error);
  EXPECT_EQ(dir_.read(FixRecSort::kTempFileName), data);
}

// The magnitude compare runs as a counting sort inside a run and by its key
// in the merge; both must keep the order of a stable sort, negative keys
// before positive ones, in one run and across many.
TEST_F(FixRecSortTest, MagnitudeOrderIsStableInOneRunAndAcrossMany) {
  std::mt19937 rng(16);
  std::uniform_int_distribution<int> key(-40000, 40000);
  std::string data;
  for (std::uint32_t i = 0; i < 6000; ++i) {
    int k = i % 3 == 0 ? key(rng) % 5 : std::clamp(key(rng), -32768, 32767);  // many equal keys near 0
    data += record(k, i);
  }
  std::string in = dir_.write("mags.dat", data);
  for (int runs : {1, 20}) {
    FixRecSort sorter(kRecord, FileSystem::real());
    sorter.SortMethod = 1;
    if (runs > 1) sorter.overrideSizes({300 * kRecord, 40 * kRecord, 25 * kRecord});
    sorter.SortFile(in, path("sorted.dat"), compareMagnitudeAt(1, kRecord));
    EXPECT_EQ(sorter.runCount(), runs);
    EXPECT_EQ(parse(dir_.read("sorted.dat")), stableByKey(data)) << runs << " runs";
  }
}

// Index-like records: names of 12 bytes from a small alphabet with both
// cases, so that many compare equal but for case or share their first eight
// bytes; a sequence number after the name tells the written order.
TEST_F(FixRecSortTest, NameOrderIsStableAcrossManyRuns) {
  constexpr int kSize = 16;
  std::mt19937 rng(12);
  const std::string letters = "aAbB";
  std::vector<std::string> records;
  std::string data;
  for (std::uint32_t i = 0; i < 5000; ++i) {
    std::string r;
    for (int k = 0; k < 12; ++k) r += k < 6 ? 'N' : letters[rng() % letters.size()];
    for (int k = 0; k < 4; ++k) r += static_cast<char>((i >> (8 * k)) & 0xFF);
    records.push_back(r);
    data += r;
  }
  std::string in = dir_.write("names.idx", data);
  FixRecSort sorter(kSize, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.overrideSizes({300 * kSize, 40 * kSize, 25 * kSize});
  sorter.SortFile(in, path("sorted.idx"), compareNameFrom(1, 12, kSize));
  EXPECT_EQ(sorter.runCount(), 17);
  std::stable_sort(records.begin(), records.end(), [](const std::string& a, const std::string& b) {
    return CompareTextFrom(a.data(), b.data(), 1, 12) < 0;
  });
  std::string expected;
  for (const std::string& r : records) expected += r;
  EXPECT_EQ(dir_.read("sorted.idx"), expected);
}

// The sort in memory of a build's index runs gives the order of a stable
// sort: names shorter and longer than the eight-byte prefix, records inside
// and outside the sizes copied in two moves, groups of equal prefixes small
// and large, in numbers below and above the switch to 16-bit digits.
TEST_F(FixRecSortTest, SortInMemoryGivesTheStableNameOrder) {
  struct Case {
    int nameLength, trailer, count, prefixLetters;
  };
  for (const Case c : {Case{5, 4, 3000, 4}, Case{8, 10, 70000, 3}, Case{12, 4, 70000, 2}, Case{20, 24, 2000, 1},
                       Case{10, 8, 1, 1}}) {
    const int size = c.nameLength + c.trailer;
    std::mt19937 rng(static_cast<unsigned>(c.count + size));
    const std::string letters = "aAbBcC";
    std::vector<std::string> records;
    std::string data;
    for (int i = 0; i < c.count; ++i) {
      std::string r;
      // Few letters in the prefix make large groups of equal prefixes.
      for (int k = 0; k < c.nameLength; ++k)
        r += letters[rng() % (k < 8 ? static_cast<unsigned>(c.prefixLetters) : letters.size())];
      for (int k = 0; k < c.trailer; ++k) r += static_cast<char>((i >> (8 * (k % 4))) & 0xFF);
      records.push_back(r);
      data += r;
    }
    std::stable_sort(records.begin(), records.end(), [&](const std::string& a, const std::string& b) {
      return CompareTextFrom(a.data(), b.data(), 1, c.nameLength) < 0;
    });
    std::string expected;
    for (const std::string& r : records) expected += r;
    {
      auto out = FileSystem::real().open(path("sorted.idx"), OpenMode::Create);
      writeStablySorted(reinterpret_cast<std::uint8_t*>(data.data()), c.count, size,
                        compareNameFrom(1, c.nameLength, size), *out);
      out->close();
    }
    EXPECT_TRUE(dir_.read("sorted.idx") == expected) << "name length " << c.nameLength << ", " << c.count;
  }
}

TEST_F(FixRecSortTest, OutputNamingTheTemporaryFileIsRefusedOnlyWhenItIsThatFile) {
  std::string data = record(2, 0) + record(1, 1);
  std::string in = dir_.write("in.dat", data);
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  // Neither exists: the same name through another path is the same file.
  EXPECT_THROW(sorter.SortFile(in, dir_.str() + "/sub/../" + FixRecSort::kTempFileName, byKey), Error);
  EXPECT_THROW(sorter.SortFile(in, "./" + std::string(FixRecSort::kTempFileName), byKey), Error);
  EXPECT_FALSE(tempExists());
  // The same name in another directory is another file.
  testing::TempDir other;
  sorter.SortFile(in, other.str() + "/" + FixRecSort::kTempFileName, byKey);
  EXPECT_EQ(other.read(FixRecSort::kTempFileName), record(1, 1) + record(2, 0));
  EXPECT_EQ(dir_.read("in.dat"), data);
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, OpenedInputIsSortedAndClosed) {
  std::string in = dir_.write("in.dat", record(3, 0) + record(1, 1) + record(3, 2) + record(2, 3));
  FixRecSort sorter(kRecord, FileSystem::real());
  sorter.SortMethod = 1;
  sorter.SortFile(FileSystem::real().open(in, OpenMode::Read), path("out.dat"), byKey);
  EXPECT_EQ(dir_.read("out.dat"), record(1, 1) + record(2, 3) + record(3, 0) + record(3, 2));
  // The opened input is checked like a named one.
  EXPECT_THROW(sorter.SortFile(FileSystem::real().open(in, OpenMode::Read), in, byKey), Error);
  EXPECT_FALSE(tempExists());
}

TEST_F(FixRecSortTest, FullDiskWhileWritingRunsNamesTheTemporaryFile) {
  std::string data = randomRecords(1'000, 10, 6);
  std::string in = dir_.write("in.dat", data);
  testing::FaultyFileSystem fs(3, FixRecSort::kTempFileName);
  FixRecSort sorter(kRecord, fs);
  sorter.SortMethod = 1;
  sorter.overrideSizes({100 * kRecord, 10 * kRecord, 10 * kRecord});
  try {
    sorter.SortFile(in, path("out.dat"), byKey);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Cannot write file \"SorTemp.mkw\": No space left on device");
  }
  EXPECT_EQ(dir_.read("in.dat"), data);
  EXPECT_FALSE(tempExists());
  EXPECT_FALSE(fsys::exists(path("out.dat")));
}

TEST_F(FixRecSortTest, FullDiskWhileMergingLeavesNoShortenedOutput) {
  std::string data = randomRecords(1'000, 10, 7);
  std::string in = dir_.write("in.dat", data);
  testing::FaultyFileSystem fs(5, "out.dat");
  FixRecSort sorter(kRecord, fs);
  sorter.SortMethod = 1;
  sorter.overrideSizes({100 * kRecord, 10 * kRecord, 10 * kRecord});
  try {
    sorter.SortFile(in, path("out.dat"), byKey);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot write file \"" + path("out.dat") + "\": No space left on device");
  }
  EXPECT_EQ(dir_.read("in.dat"), data);
  EXPECT_FALSE(tempExists());
  EXPECT_FALSE(fsys::exists(path("out.dat")));
}

// A file system on which no rename succeeds, as between two devices.
class NoRenameFileSystem : public testing::FaultyFileSystem {
 public:
  void rename(const std::string& from, const std::string&) override { throw FileError("rename", from, EXDEV); }
};

TEST_F(FixRecSortTest, OneRunIsCopiedWhenTheTemporaryFileCannotBeRenamed) {
  std::string data = record(3, 0) + record(1, 1) + record(2, 2);
  std::string in = dir_.write("in.dat", data);
  NoRenameFileSystem fs;
  FixRecSort sorter(kRecord, fs);
  sorter.SortMethod = 1;
  sorter.SortFile(in, path("out.dat"), byKey);
  EXPECT_EQ(dir_.read("out.dat"), record(1, 1) + record(2, 2) + record(3, 0));
  EXPECT_FALSE(tempExists());
}

// ---------------------------------------------------------------- M3Array

// Records of 10 bytes held in one block; the array sorts their addresses.
struct Block {
  explicit Block(const std::vector<int>& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i) data += record(keys[i], static_cast<std::uint32_t>(i));
    for (std::size_t i = 0; i < keys.size(); ++i)
      array.Add(reinterpret_cast<const std::uint8_t*>(data.data()) + i * kRecord);
  }
  std::vector<KeySeq> sorted() const {
    std::string out;
    for (std::int64_t i = 0; i < array.count(); ++i)
      out.append(reinterpret_cast<const char*>(array.items()[i]), kRecord);
    return parse(out);
  }
  std::string data;
  M3Array array;
};

void expectKeysAscendAndAllPresent(const std::vector<KeySeq>& got, std::size_t n) {
  ASSERT_EQ(got.size(), n);
  for (std::size_t i = 1; i < n; ++i) ASSERT_LE(got[i - 1].first, got[i].first) << i;
  std::vector<bool> seen(n);
  for (const KeySeq& r : got) seen.at(r.second) = true;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0);
}

TEST(M3Array, QuickSortSurvivesAdversarialOrders) {
  const std::size_t n = 200'000;
  std::vector<std::pair<const char*, std::vector<int>>> inputs;
  inputs.emplace_back("all equal", std::vector<int>(n, 5));
  std::vector<int> ascending(n), descending(n), organ(n), fewKeys(n);
  for (std::size_t i = 0; i < n; ++i) {
    ascending[i] = static_cast<int>(i % 30000);
    descending[i] = static_cast<int>(30000 - i % 30000);
    organ[i] = static_cast<int>(i < n / 2 ? i : n - i) % 30000;
    fewKeys[i] = static_cast<int>((i * 7919) % 3);
  }
  std::sort(ascending.begin(), ascending.end());
  std::sort(descending.begin(), descending.end(), std::greater<>());
  inputs.emplace_back("ascending", ascending);
  inputs.emplace_back("descending", descending);
  inputs.emplace_back("organ pipe", organ);
  inputs.emplace_back("three keys", fewKeys);
  for (const auto& [name, keys] : inputs) {
    SCOPED_TRACE(name);
    Block block(keys);
    block.array.QuickSort(byKey);
    expectKeysAscendAndAllPresent(block.sorted(), n);
  }
}

TEST(M3Array, MergeSortIsStableAroundPowersOfThree) {
  std::mt19937 random(8);
  for (std::size_t n : {0, 1, 2, 3, 4, 8, 9, 10, 26, 27, 28, 80, 81, 82, 243, 244}) {
    SCOPED_TRACE(n);
    std::vector<int> keys(n);
    for (int& k : keys) k = static_cast<int>(random() % 4);
    Block block(keys);
    block.array.MergeSort(byKey);
    std::vector<KeySeq> want;
    for (std::size_t i = 0; i < n; ++i) want.emplace_back(keys[i], static_cast<std::uint32_t>(i));
    std::stable_sort(want.begin(), want.end(), [](const KeySeq& a, const KeySeq& b) { return a.first < b.first; });
    EXPECT_EQ(block.sorted(), want);
  }
}

TEST(M3Array, GrowsInStepsOf8192AndClearReleases) {
  M3Array array;
  std::uint8_t byte = 0;
  for (int i = 0; i < 8193; ++i) array.Add(&byte);
  EXPECT_EQ(array.capacity(), 16384);
  array.Clear();
  EXPECT_EQ(array.count(), 0);
  EXPECT_EQ(array.capacity(), 0);
  array.Reserve(8193);
  EXPECT_EQ(array.capacity(), 16384);
}

}  // namespace
}  // namespace mirdal
