// mirdal-dump --png: the sky picture of a built catalog.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/tiny_catalog.h"

namespace mirdal {
namespace {

using testing::TempDir;
using testing::writeTinyCatalog;

const std::string kDump = std::string(MIRDAL_BINARY_DIR) + "/mirdal-dump";

using Outcome = testing::ChildOutcome;

Outcome runDump(const TempDir& dir, const std::vector<std::string>& args) {
  return testing::runProgram(dir, kDump, args);
}

std::uint32_t be32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  return v;
}

class MirdalDumpPng : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kDump)) GTEST_SKIP() << "mirdal-dump is not built";
  }
  TempDir dir;
};

TEST_F(MirdalDumpPng, WritesThePictureAndSaysSo) {
  const std::string catalog =
      writeTinyCatalog(dir, "cat", 50, {{10.5, 20.5, 1.0, 1}, {200.5, -45.5, 4.0, 43}, {45.5, 45.5, 3.0, 13}});
  const std::string png = dir.str() + "/sky.png";
  Outcome r = runDump(dir, {"--png", png, catalog});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Total        3 records, 47 empty regions\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Picture      " + png + ", 1482 x 766 pixels\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Misplaced    1 records lie outside the region of their file\n"), std::string::npos) << r.out;
  const std::string bytes = TempDir::readFile(png);
  ASSERT_GT(bytes.size(), 8u + 25 + 12);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_EQ(bytes.substr(12, 4), "IHDR");
  EXPECT_EQ(be32(bytes, 16), 1482u);
  EXPECT_EQ(be32(bytes, 20), 766u);
  EXPECT_EQ(bytes.substr(24, 5), std::string("\x08\x02\0\0\0", 5));
  EXPECT_EQ(bytes.substr(bytes.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
}

TEST_F(MirdalDumpPng, WithoutPngNoPicture) {
  const std::string catalog = writeTinyCatalog(dir, "cat", 1, {{10.5, 20.5, 1.0, 1}});
  Outcome r = runDump(dir, {catalog});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("Picture"), std::string::npos);
  EXPECT_EQ(r.out.find("Misplaced"), std::string::npos);
}

TEST_F(MirdalDumpPng, MissingFileNameOrUnwritablePicture) {
  const std::string catalog = writeTinyCatalog(dir, "cat", 1, {{10.5, 20.5, 1.0, 1}});
  Outcome r = runDump(dir, {catalog, "--png"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "mirdal-dump: --png needs a file name\n");
  const std::string png = dir.str() + "/missing/sky.png";
  r = runDump(dir, {"--png", png, catalog});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mirdal-dump: Cannot create file \"" + png + "\": No such file or directory\n");
}

TEST_F(MirdalDumpPng, UsageNamesTheOption) {
  Outcome r = runDump(dir, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("[--png FILE] DIR [BASENAME]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  --png FILE  "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace mirdal
