#include "util/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/memory_file_system.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/interrupt.h"

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

// Each call that changes names fails by throwing FileError that names the
// path and the system's reason, on the real file system and on the one of
// the tests alike; its try- variant returns that reason instead.
TEST(FileSystem, FailedNameChangesThrowThePathAndTheReason) {
  struct Paths {
    std::string file, missing, full;
  };
  const struct {
    const char* name;
    void (*call)(FileSystem&, const Paths&);
    FileOutcome (*attempt)(FileSystem&, const Paths&);
    std::string Paths::*named;
    int code;
  } rows[] = {
      {"remove", [](FileSystem& fs, const Paths& p) { fs.remove(p.missing); },
       [](FileSystem& fs, const Paths& p) { return fs.tryRemove(p.missing); }, &Paths::missing, ENOENT},
      {"rename", [](FileSystem& fs, const Paths& p) { fs.rename(p.missing, p.file); },
       [](FileSystem& fs, const Paths& p) { return fs.tryRename(p.missing, p.file); }, &Paths::missing, ENOENT},
      {"exchange", [](FileSystem& fs, const Paths& p) { fs.exchange(p.file, p.missing); },
       [](FileSystem& fs, const Paths& p) { return fs.tryExchange(p.file, p.missing); }, &Paths::missing, ENOENT},
      {"link", [](FileSystem& fs, const Paths& p) { fs.link(p.file, p.full + "/x"); },
       [](FileSystem& fs, const Paths& p) { return fs.tryLink(p.file, p.full + "/x"); }, &Paths::full, EEXIST},
      {"removeDirectory", [](FileSystem& fs, const Paths& p) { fs.removeDirectory(p.full); },
       [](FileSystem& fs, const Paths& p) { return fs.tryRemoveDirectory(p.full); }, &Paths::full, ENOTEMPTY},
  };
  testing::TempDir dir;
  const Paths paths{dir.write("a", "1"), dir.str() + "/none", dir.str() + "/full"};
  dir.write("full/x", "2");
  testing::MemoryFileSystem memory;
  memory.put(paths.file, "1");
  memory.put(paths.full + "/x", "2");
  for (FileSystem* fs : {&FileSystem::real(), static_cast<FileSystem*>(&memory)}) {
    for (const auto& row : rows) {
      const std::string where = std::string(row.name) + (fs == &memory ? " in memory" : "");
      try {
        row.call(*fs, paths);
        ADD_FAILURE() << where << ": no error";
      } catch (const FileError& e) {
        const std::string text = e.what();
        EXPECT_EQ(e.code(), row.code) << where << ": " << text;
        EXPECT_NE(text.find("\"" + paths.*row.named), std::string::npos) << where << ": " << text;
        EXPECT_NE(text.find(std::strerror(row.code)), std::string::npos) << where << ": " << text;
      }
      EXPECT_EQ(row.attempt(*fs, paths).error, row.code) << where;
    }
  }
  EXPECT_EQ(dir.read("a"), "1");
  EXPECT_EQ(dir.read("full/x"), "2");
}

// A file that must be a regular one is refused, without waiting, when it is a
// FIFO (whose open would wait for a writer), a device (/dev/zero reads
// without end) or a directory, and when it leads out of its directory; a
// regular file and a link inside pass.
TEST(FileSystem, RegularFilesOnly) {
  testing::TempDir dir;
  FileSystem& fs = FileSystem::real();
  const std::string d = dir.str() + "/cat/";
  dir.write("cat/a.dat", "abcd");
  dir.write("elsewhere.dat", "x");
  ASSERT_EQ(::mkfifo((d + "fifo.dat").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (d + "zero.dat").c_str()), 0);
  ASSERT_EQ(::symlink("a.dat", (d + "inside.dat").c_str()), 0);
  ASSERT_EQ(::symlink("../elsewhere.dat", (d + "outside.dat").c_str()), 0);
  fs.createDirectories(d + "sub.dat");
  const struct {
    const char* name;
    std::string openError;     // empty: opens
    std::string checkError;    // empty: passes refuseOutsideOrSpecial
  } rows[] = {
      {"a.dat", "", ""},
      {"inside.dat", "", ""},
      {"missing.dat", "Cannot open file \"" + d + "missing.dat\": No such file or directory", ""},
      {"fifo.dat", "\"" + d + "fifo.dat\" is not a file: it is a FIFO (named pipe)",
       "\"" + d + "fifo.dat\" is not a file: it is a FIFO (named pipe)"},
      {"zero.dat", "\"" + d + "zero.dat\" is not a file: it is a character device",
       "\"" + d + "zero.dat\" is not a file: it is a character device"},
      {"sub.dat", "Cannot open file \"" + d + "sub.dat\": Is a directory",
       "\"" + d + "sub.dat\" is not a file: it is a directory"},
      {"outside.dat", "", "\"" + d + "outside.dat\" is not a file of the catalog: it is a link to \"" + dir.str() +
                              "/elsewhere.dat\", outside \"" + d + "\""},
  };
  for (const auto& row : rows) {
    const std::string path = d + row.name;
    try {
      fs.open(path, OpenMode::ReadRegular)->close();
      EXPECT_EQ(row.openError, "") << row.name;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), row.openError) << row.name;
    }
    try {
      refuseOutsideOrSpecial(fs, d, path);
      EXPECT_EQ(row.checkError, "") << row.name;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), row.checkError) << row.name;
    }
  }
  // A copy takes the bytes the file had when it was opened, and stops on an
  // interrupt request.
  EXPECT_EQ(copyFile(fs, d + "a.dat", d + "copy.dat"), 4);
  EXPECT_EQ(dir.read("cat/copy.dat"), "abcd");
  EXPECT_THROW(copyFile(fs, d + "zero.dat", d + "zero.copy"), Error);
  EXPECT_FALSE(fs.exists(d + "zero.copy"));
  detail::interruptFlag = true;
  EXPECT_THROW(copyFile(fs, d + "a.dat", d + "stopped.dat"), AbortError);
  detail::interruptFlag = false;
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
  EXPECT_TRUE(FileSystem::real().tryRename(a, b));
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

// A whole read gathers a file that comes a few bytes at a time and fails
// when the file ends first; a whole write that fails part way leaves the
// file as it was, and the next write follows its old end.
TEST(FileSystem, ShortReadsTornWritesAndFilesThatChangeWhileCopied) {
  testing::TempDir dir;
  const std::string path = dir.write("x", "0123456789");
  testing::FaultyFileSystem fs;
  fs.readAtMost(3);
  std::string bytes(11, '.');
  readWhole(*fs.open(path, OpenMode::Read), bytes.data(), 10);
  EXPECT_EQ(bytes, "0123456789.");
  EXPECT_EQ(testing::errorOf([&] { readWhole(*fs.open(path, OpenMode::Read), bytes.data(), 11); }),
            "Cannot read file \"" + path + "\": Unexpected end of file");

  fs.failOnWrite(2);
  fs.tearFailingWrite();
  auto f = fs.open(dir.write("y", "old"), OpenMode::ReadWrite);
  f->seek(3);
  writeWhole(*f, "ab", 2, 3);
  EXPECT_THROW(writeWhole(*f, "cdef", 4), Error);
  EXPECT_EQ(f->size(), 5);
  writeWhole(*f, "gh", 2);
  f->close();
  EXPECT_EQ(dir.read("y"), "oldabgh");

  // A copy takes what a file cut meanwhile still has, and no more than it
  // had when opened of one that grows.
  const struct {
    std::int64_t sizeWhileCopied;
    std::string copied;
  } copies[] = {{2, "ab"}, {8, "abcd"}};
  for (const auto& [size, copied] : copies) {
    const std::string from = dir.write("z", "abcd"), to = dir.str() + "/copy" + std::to_string(size);
    fs.failOnRead(-1);
    fs.resizeBeforeRead(1, size);
    EXPECT_EQ(copyFile(fs, from, to), static_cast<std::int64_t>(copied.size()));
    EXPECT_EQ(testing::TempDir::readFile(to), copied);
  }
}

}  // namespace
}  // namespace mirdal
