#include "sort/sort_in_place.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "catalog/error.h"
#include "sort/compare_from.h"
#include "sort/fix_rec_sort.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "support/working_directory.h"

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
  bool rename(const std::string& from, const std::string& to) override {
    if (to.find("cat.idx") != std::string::npos) return false;
    return FaultyFileSystem::rename(from, to);
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

}  // namespace
}  // namespace mirdal
