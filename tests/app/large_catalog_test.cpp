// Large and hostile catalogs through mirdal-build, run in a child process
// under resource limits: millions of lines over 9537 region files with at
// most 256 open files; lines of a megabyte, binary files and a file without
// any line end in bounded memory; a file-size limit reached while writing.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/catalog_definition.h"
#include "catalog/project_file.h"
#include "output/catalog_reader.h"
#include "output/region_scheme.h"
#include "sort/compare_from.h"
#include "support/catalog_checks.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::setSlot;
using testing::TempDir;

const std::string kBuild = std::string(MIRDAL_BINARY_DIR) + "/mirdal-build";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

using Limits = testing::ChildLimits;
using Outcome = testing::ChildOutcome;

// Runs mirdal-build with `args` in `dir` under `limits`; its peak resident
// memory is the child's own, measured by the kernel.
template <class Dir>
Outcome runBuild(const Dir& dir, const std::vector<std::string>& args, Limits limits) {
  return testing::ChildProcess(kBuild, args, dir.str(), "build", dir.str(), limits).wait();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Stars with decimal RA and DEC and an index:
//   RA 1-7, DEC 9-15, ID 17-22, magnitude 24-28.
// Records of 16 bytes: RA, DEC, ID (6), magnitude (2); index records of 14.
template <class Dir>
std::string writeProject(const Dir& dir, const std::vector<std::string>& inputs, int numfile, int eol = 1) {
  CatalogDefinition def = testing::decimalStars("Big", inputs, eol, dir.str() + "/out");
  BuildSettings& s = def.settings;
  s.longname = "Large catalog";
  s.numfile = numfile;
  setSlot(def, 0, 1, 7);
  setSlot(def, 1, 9, 7);
  setSlot(def, 2, 17, 6);
  setSlot(def, 3, 24, 5);
  const std::string path = dir.str() + "/big.prj";
  saveProject(path, def, FileSystem::real());
  return path;
}

// Writes `digits` decimal digits of v (zero-padded) at p.
char* putDigits(char* p, std::uint32_t v, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  return p + digits;
}

// What the catalog must hold, summed over every star, to find lost,
// doubled or damaged records without keeping millions of them.
struct Sums {
  std::int64_t count = 0;
  std::int64_t ra = 0, dec = 0, mag = 0;
};

// `lines` stars spread over the whole sky (DEC by the arcsine of a uniform
// number, so that every region, however small, gets some): a 29-byte line
// each, generated quickly, not through a formatting library.
Sums writeStars(const std::string& path, std::int64_t lines) {
  std::ofstream file(path, std::ios::binary);
  std::vector<char> buffer(29 * 100'000);
  Sums sums;
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  };
  char* p = buffer.data();
  for (std::int64_t i = 0; i < lines; ++i) {
    const std::uint32_t ra = next() % 360'000;  // thousandths of a degree
    const double u = (next() % 1'000'000) / 999'999.0 * 2.0 - 1.0;
    const auto dec = static_cast<std::int32_t>(std::lround(std::asin(u) * 180.0 / M_PI * 1000.0));
    const std::int32_t mag = static_cast<std::int32_t>(next() % 1999) - 999;  // hundredths, -9.99..9.99
    p = putDigits(p, ra / 1000, 3);
    *p++ = '.';
    p = putDigits(p, ra % 1000, 3);
    *p++ = ' ';
    *p++ = dec < 0 ? '-' : '+';
    p = putDigits(p, static_cast<std::uint32_t>(std::abs(dec)) / 1000, 2);
    *p++ = '.';
    p = putDigits(p, static_cast<std::uint32_t>(std::abs(dec)) % 1000, 3);
    *p++ = ' ';
    *p++ = 's';
    p = putDigits(p, static_cast<std::uint32_t>(i % 100'000), 5);
    *p++ = ' ';
    *p++ = mag < 0 ? '-' : ' ';
    p = putDigits(p, static_cast<std::uint32_t>(std::abs(mag)) / 100, 1);
    *p++ = '.';
    p = putDigits(p, static_cast<std::uint32_t>(std::abs(mag)) % 100, 2);
    *p++ = '\n';
    if (ra == 0 && dec == 0) continue;  // never happens with this seed; such a line would be refused
    ++sums.count;
    sums.ra += static_cast<std::int64_t>(ra) * 3600;
    sums.dec += (static_cast<std::int64_t>(dec) + 90'000) * 3600;
    sums.mag += static_cast<std::int64_t>(mag) * 10;
    if (p == buffer.data() + buffer.size()) {
      file.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      p = buffer.data();
    }
  }
  file.write(buffer.data(), p - buffer.data());
  return sums;
}

std::int32_t int32At(const char* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The region file holds the record's position, or one a rounding step of
// the stored milliarcseconds away (a star on a region edge).
bool inRegion(int scheme, int region, const char* record) {
  const double ra = int32At(record) / 3'600'000.0;
  const double dec = int32At(record + 4) / 3'600'000.0 - 90.0;
  const double step = 1.0 / 3'600'000.0;
  for (double dr : {0.0, -step, step})
    for (double dd : {0.0, -step, step})
      if (regionNumber(scheme, std::clamp(dec + dd, -90.0, 90.0), std::clamp(ra + dr, 0.0, 360.0)) == region)
        return true;
  return false;
}

// A directory in memory when the machine has one: these builds create
// thousands of files, which a disk under load makes a matter of minutes.
class MemoryTempDir {
 public:
  MemoryTempDir() {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                       : fs::temp_directory_path();
    for (int i = 0;; ++i) {
      path_ = base / ("mirdal-large-" + std::to_string(::getpid()) + "-" + std::to_string(i));
      if (fs::create_directory(path_)) break;
    }
  }
  ~MemoryTempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  MemoryTempDir(const MemoryTempDir&) = delete;
  MemoryTempDir& operator=(const MemoryTempDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  fs::path path_;
};

class LargeCatalog : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuild)) GTEST_SKIP() << "mirdal-build is not built";
  }
  MemoryTempDir dir;
};

// Every region file of 9537 exists, lies in magnitude order and holds only
// its own stars; together they hold exactly the stars of the input; the
// index holds one name per star, in name order.
void checkCatalog(const std::string& out, const Sums& expected) {
  CatalogReader reader(out, {}, FileSystem::real());
  ASSERT_EQ(reader.regionCount(), 9537);
  ASSERT_EQ(reader.header().recordLength, 16);
  Sums found;
  int empty = 0;
  for (int r = 1; r <= 9537; ++r) {
    const std::string bytes = TempDir::readFile(reader.regionPath(r));
    ASSERT_TRUE(fs::exists(reader.regionPath(r))) << r;
    ASSERT_EQ(bytes.size() % 16, 0u) << r;
    empty += bytes.empty();
    for (std::size_t p = 0; p < bytes.size(); p += 16) {
      const char* rec = bytes.data() + p;
      ASSERT_TRUE(inRegion(9537, r, rec)) << "region " << r << ", record " << p / 16;
      if (p > 0) {
        ASSERT_LE(CompareSmallIntFrom(rec - 16, rec, 14), 0) << "region " << r << ", record " << p / 16;
      }
      ++found.count;
      found.ra += int32At(rec);
      found.dec += int32At(rec + 4);
      std::int16_t mag;
      std::memcpy(&mag, rec + 14, 2);
      found.mag += mag;
    }
  }
  EXPECT_EQ(found.count, expected.count);
  EXPECT_EQ(found.ra, expected.ra);
  EXPECT_EQ(found.dec, expected.dec);
  EXPECT_EQ(found.mag, expected.mag);
  EXPECT_EQ(empty, 0);

  const std::string index = TempDir::readFile(reader.indexPath());
  ASSERT_EQ(index.size(), static_cast<std::size_t>(expected.count) * 14);
  for (std::size_t p = 14; p < index.size(); p += 14)
    ASSERT_LE(CompareTextFrom(index.data() + p - 14, index.data() + p, 9, 6), 0) << "index record " << p / 14;
}

TEST_F(LargeCatalog, MillionsOfLinesIn9537RegionsWith256OpenFiles) {
  // Five million lines take about half a minute in an optimised build; the
  // sanitizer build runs one million. MIRDAL_LARGE_LINES sets the count.
  std::int64_t lines = kSanitized ? 1'000'000 : 5'000'000;
  if (const char* n = std::getenv("MIRDAL_LARGE_LINES")) lines = std::atoll(n);
  const std::string input = dir.str() + "/stars.txt";
  const Sums expected = writeStars(input, lines);
  const Outcome r = runBuild(dir, {writeProject(dir, {input}, 3)}, {.openFiles = 256});
  fs::remove(input);
  ASSERT_TRUE(r.exited) << "killed by signal " << r.signal << "\n" << r.err;
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "lines read        " + std::to_string(lines) + "\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "records written   " + std::to_string(expected.count) + "\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "lines rejected    0\n")) << r.out;
  std::cout << r.out;
  checkCatalog(dir.str() + "/out", expected);
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "sort.out"));
}

// ---------------------------------------------------------------------------
// Hostile input in bounded memory.

// Peak memory of a build of a few lines: what the program takes anyway.
long baselineRssKb(const MemoryTempDir& dir) {
  const std::string input = dir.str() + "/tiny.txt";
  std::ofstream(input) << "123.456 +12.345 s00001  1.00\n";
  const Outcome r = runBuild(dir, {writeProject(dir, {input}, 0)}, {});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.peakRssKb;
}

// Allowed growth over the baseline. AddressSanitizer keeps freed memory in
// quarantine, so its builds only show that memory stays far below the input.
constexpr long kSlackKb = kSanitized ? 512 * 1024 : 48 * 1024;

TEST_F(LargeCatalog, MegabyteLinesInBoundedMemory) {
  // 128 lines of 1 MB: the odd ones start with a star, the even ones are
  // junk and go to the reject log whole.
  const long baseline = baselineRssKb(dir);
  const std::string input = dir.str() + "/long.txt";
  {
    std::ofstream file(input, std::ios::binary);
    const std::string tail(1 << 20, 'x');
    for (int i = 0; i < 128; ++i) {
      if (i % 2 == 1) file << "123.456 +12.345 s" << 10000 + i << "  1.00 ";
      file << tail << "\n";
    }
  }
  const Outcome r = runBuild(dir, {writeProject(dir, {input}, 0)}, {});
  ASSERT_TRUE(r.exited) << "killed by signal " << r.signal;
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "records written   64\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "lines rejected    64,")) << r.out;
  EXPECT_EQ(fs::file_size(dir.path() / "out" / "reject.txt"), 64u * ((1u << 20) + 2));
  EXPECT_LT(r.peakRssKb, baseline + kSlackKb) << "baseline " << baseline << " KB";
}

TEST_F(LargeCatalog, BinaryFilesInBoundedMemory) {
  // 48 MB of random bytes, read as LF, CR and CR LF text. They follow a
  // first block of blanks: a file that starts as binary is refused whole.
  const long baseline = baselineRssKb(dir);
  const std::string input = dir.str() + "/random.bin";
  {
    std::ofstream file(input, std::ios::binary);
    file << std::string(4095, ' ') << "\n";
    std::vector<std::uint64_t> block(1 << 16);
    std::uint64_t state = 12345;
    for (int b = 0; b < 96; ++b) {
      for (auto& v : block) v = state = state * 6364136223846793005ull + 1442695040888963407ull;
      file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
  }
  for (int eol = 0; eol <= 2; ++eol) {
    const Outcome r = runBuild(dir, {writeProject(dir, {input}, 1, eol)}, {});
    ASSERT_TRUE(r.exited) << "eol " << eol << ": killed by signal " << r.signal;
    ASSERT_EQ(r.status, 0) << "eol " << eol << ": " << r.err;
    // Nearly every line is refused; the few that read as a position are kept.
    const CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
    const std::int64_t records = testing::totalRecords(reader);
    EXPECT_TRUE(contains(r.out, "records written   " + std::to_string(records) + "\n")) << r.out;
    EXPECT_LT(r.peakRssKb, baseline + kSlackKb) << "eol " << eol << ", baseline " << baseline << " KB";
  }
}

TEST_F(LargeCatalog, FileWithoutLineEndIsRefusedInBoundedMemory) {
  // A block of text, then 300 MB of zero bytes (a sparse file): one line
  // longer than the reader's limit of 16 MiB. The build stops with an error
  // naming the file and the line; memory stays within a few times the limit.
  // (A file that starts with zero bytes is refused as binary at once.)
  const std::string input = dir.str() + "/zeros.bin";
  {
    std::ofstream file(input, std::ios::binary);
    file << std::string(4096, 'x');
  }
  fs::resize_file(input, 300u << 20);
  const Outcome r = runBuild(dir, {writeProject(dir, {input}, 0)}, {});
  ASSERT_TRUE(r.exited) << "killed by signal " << r.signal;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mirdal-build: Cannot read file \"" + input + "\": line longer than 16777216 bytes (line 1)\n");
  EXPECT_LT(r.peakRssKb, 200 * 1024);
}

TEST_F(LargeCatalog, FileSizeLimitReachedWhileWriting) {
  // A limit of 64 KiB per file: the index of 20,000 names outgrows it. The
  // build ends with the system's reason, naming the file, not by a signal.
  const std::string input = dir.str() + "/stars.txt";
  writeStars(input, 20'000);
  const Outcome r = runBuild(dir, {writeProject(dir, {input}, 0)}, {.fileSize = 64 * 1024});
  ASSERT_TRUE(r.exited) << "killed by signal " << r.signal;
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "mirdal-build: Cannot write file \"" + dir.str() + "/out/big.idx\": File too large\n");
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "sort.out"));
  EXPECT_FALSE(fs::exists(dir.path() / "SorTemp.mkw"));
}

}  // namespace
}  // namespace mirdal
