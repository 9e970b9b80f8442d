#include "util/file_system.h"

#include <gtest/gtest.h>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

TEST(FileSystem, ErrorsNameTheFileAndTheReason) {
  testing::TempDir dir;
  std::string missing = dir.str() + "/nope/ngc.hdr";
  try {
    FileSystem::real().open(missing, OpenMode::Create);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + missing + "\": No such file or directory");
  }
}

TEST(FileSystem, WriteToFullDeviceIsAnError) {
  auto f = FileSystem::real().open("/dev/full", OpenMode::Append);
  char byte = 'x';
  EXPECT_THROW(f->write(&byte, 1), Error);
}

TEST(FileSystem, AppendGoesToTheEndAndRenameReplaces) {
  testing::TempDir dir;
  auto a = dir.write("a", "12");
  auto b = dir.write("b", "old");
  auto f = FileSystem::real().open(a, OpenMode::Append);
  f->write("34", 2);
  f->close();
  EXPECT_EQ(dir.read("a"), "1234");
  EXPECT_TRUE(FileSystem::real().rename(a, b));
  EXPECT_EQ(dir.read("b"), "1234");
  EXPECT_FALSE(FileSystem::real().exists(a));
}

TEST(FileSystem, FaultyFileSystemFailsTheChosenWrite) {
  testing::TempDir dir;
  testing::FaultyFileSystem fs(2);
  auto f = fs.open(dir.str() + "/x", OpenMode::Create);
  f->write("a", 1);
  EXPECT_THROW(f->write("b", 1), Error);
}

}  // namespace
}  // namespace mirdal
