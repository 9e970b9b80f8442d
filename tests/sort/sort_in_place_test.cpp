#include "sort/sort_in_place.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "sort/compare_from.h"
#include "sort/fix_rec_sort.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"
#include "util/error.h"

namespace mirdal {
namespace {

namespace fsys = std::filesystem;

// Index-like records of 12 bytes: 8 bytes of position, then a 4-byte name.
std::string entry(const std::string& name) { return std::string(8, '\x01') + name; }

class SortFileInPlaceTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return out_.str() + "/" + name; }

  testing::TempDir program_;
  testing::TempDir out_;
  testing::ScopedWorkingDirectory cwd_{program_.path()};
  RecordCompare byName_ = compareNameFrom(9, 4, 12);
};

TEST_F(SortFileInPlaceTest, NamesEqualButForCaseKeepTheirWrittenOrder) {
  std::string file = out_.write("cat.idx", entry("ngcb") + entry("NGCA") + entry("ngca") + entry("Ic01"));
  sortFileInPlace(FileSystem::real(), file, path("sort.out"), 12, byName_);
  EXPECT_EQ(out_.read("cat.idx"), entry("Ic01") + entry("NGCA") + entry("ngca") + entry("ngcb"));
  EXPECT_FALSE(fsys::exists(path("sort.out")));
  EXPECT_FALSE(fsys::exists(program_.path() / FixRecSort::kTempFileName));
}

TEST_F(SortFileInPlaceTest, EmptyFileStaysEmpty) {
  std::string file = out_.write("cat.idx", "");
  sortFileInPlace(FileSystem::real(), file, path("sort.out"), 12, byName_);
  EXPECT_TRUE(fsys::exists(file));
  EXPECT_EQ(out_.read("cat.idx"), "");
  EXPECT_FALSE(fsys::exists(path("sort.out")));
}

TEST_F(SortFileInPlaceTest, FailedSortLeavesTheFileAndRemovesTheScratch) {
  std::string data = entry("bbbb") + entry("aaaa");
  std::string file = out_.write("cat.idx", data);
  // The single run goes to the temporary file, whose first write fails.
  testing::FaultyFileSystem fs(1, FixRecSort::kTempFileName);
  EXPECT_THROW(sortFileInPlace(fs, file, path("sort.out"), 12, byName_), Error);
  EXPECT_EQ(out_.read("cat.idx"), data);
  EXPECT_FALSE(fsys::exists(path("sort.out")));
  EXPECT_FALSE(fsys::exists(program_.path() / FixRecSort::kTempFileName));
}

TEST_F(SortFileInPlaceTest, RecordSizeMismatchLeavesTheFile) {
  std::string data = entry("bbbb") + "xyz";
  std::string file = out_.write("cat.idx", data);
  try {
    sortFileInPlace(FileSystem::real(), file, path("sort.out"), 12, byName_);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "File can`t be divided through 12");
  }
  EXPECT_EQ(out_.read("cat.idx"), data);
  EXPECT_FALSE(fsys::exists(path("sort.out")));
}

// Renames fail once the file is sorted: the sorted copy must not survive.
class NoRenameFileSystem : public testing::FaultyFileSystem {
 public:
  void rename(const std::string& from, const std::string& to) override {
    if (to.find("cat.idx") != std::string::npos) throw FileError("rename", from, EXDEV);
    FaultyFileSystem::rename(from, to);
  }
  void exchange(const std::string& a, const std::string& b) override {
    if (b.find("cat.idx") != std::string::npos) throw FileError("exchange", a, EXDEV);
    FaultyFileSystem::exchange(a, b);
  }
};

TEST_F(SortFileInPlaceTest, FailedReplaceKeepsTheFileAndNamesIt) {
  std::string data = entry("bbbb") + entry("aaaa");
  std::string file = out_.write("cat.idx", data);
  NoRenameFileSystem fs;
  try {
    sortFileInPlace(fs, file, path("sort.out"), 12, byName_);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot replace file \"" + file + "\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(out_.read("cat.idx"), data);
  EXPECT_FALSE(fsys::exists(path("sort.out")));
}

// A series of sorts swaps each sorted copy in and keeps the replaced records
// as the next run file: after the first sort no file is created or deleted,
// and nothing is left once the sorter ends.
TEST_F(SortFileInPlaceTest, SeriesReusesTheReplacedFileAndLeavesNothing) {
  const std::string a = out_.write("a.idx", entry("bbbb") + entry("aaaa"));
  const std::string b = out_.write("b.idx", entry("dddd") + entry("cccc") + entry("DDDD"));
  const std::string c = out_.write("c.idx", entry("x") + "yz");  // not whole records
  const fsys::path spare = program_.path() / FixRecSort::kTempFileName;
  const auto inode = [](const fsys::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
  };
  {
    InPlaceSorter sorter(FileSystem::real());
    const auto oldA = inode(a);
    sorter.sort(a, path("sort.out"), 12, byName_);
    EXPECT_EQ(out_.read("a.idx"), entry("aaaa") + entry("bbbb"));
    ASSERT_TRUE(fsys::exists(spare));
    EXPECT_EQ(inode(spare), oldA);

    // A refused file keeps its records and the spare.
    EXPECT_THROW(sorter.sort(c, path("sort.out"), 12, byName_), Error);
    EXPECT_EQ(inode(spare), oldA);

    const auto oldB = inode(b);
    sorter.sort(b, path("sort.out"), 12, byName_);
    EXPECT_EQ(out_.read("b.idx"), entry("cccc") + entry("dddd") + entry("DDDD"));
    EXPECT_EQ(inode(b), oldA);
    EXPECT_EQ(inode(spare), oldB);
    EXPECT_FALSE(fsys::exists(path("sort.out")));
  }
  EXPECT_FALSE(fsys::exists(spare));
  EXPECT_EQ(out_.read("c.idx"), entry("x") + "yz");
}

// Where names cannot be swapped the sorted copy is renamed over the file.
TEST_F(SortFileInPlaceTest, SeriesWithoutExchangeRenames) {
  const std::string a = out_.write("a.idx", entry("bbbb") + entry("aaaa"));
  const std::string b = out_.write("b.idx", entry("dddd") + entry("cccc"));
  struct NoExchange : testing::FaultyFileSystem {
    void exchange(const std::string& a, const std::string&) override { throw FileError("exchange", a, ENOSYS); }
  } noExchange;
  {
    InPlaceSorter sorter(noExchange);
    sorter.sort(a, path("sort.out"), 12, byName_);
    EXPECT_FALSE(fsys::exists(program_.path() / FixRecSort::kTempFileName));
    sorter.sort(b, path("sort.out"), 12, byName_);
  }
  EXPECT_EQ(out_.read("a.idx"), entry("aaaa") + entry("bbbb"));
  EXPECT_EQ(out_.read("b.idx"), entry("cccc") + entry("dddd"));
  EXPECT_FALSE(fsys::exists(path("sort.out")));
}

}  // namespace
}  // namespace mirdal
