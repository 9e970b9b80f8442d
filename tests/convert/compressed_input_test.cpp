// Input catalogs in gzip files: read as the text they hold, under every line
// end, with progress in compressed bytes; damaged files end the build with an
// error naming them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "convert/build_pipeline.h"
#include "input/input_reader.h"
#include "input/input_source.h"
#include "support/catalog_checks.h"
#include "support/gzip.h"
#include "support/memory_file_system.h"
#include "support/packed.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::gzipped;
using testing::RecordingUi;
using testing::setSlot;
using testing::TempDir;
using Lines = std::vector<std::string>;

// Hands out at most `limit` bytes per read, as a pipe or a slow disk may: the
// two magic bytes of a member can then arrive in different reads.
class TrickleFileSystem : public FileSystem {
 public:
  explicit TrickleFileSystem(std::size_t limit) : limit_(limit) {}
  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    return std::make_unique<Trickle>(FileSystem::real().open(path, mode), limit_);
  }
  bool exists(const std::string& p) override { return FileSystem::real().exists(p); }
  bool isDirectory(const std::string& p) override { return FileSystem::real().isDirectory(p); }
  void createDirectories(const std::string& p) override { FileSystem::real().createDirectories(p); }
  void remove(const std::string& p) override { FileSystem::real().remove(p); }
  void rename(const std::string& f, const std::string& t) override { FileSystem::real().rename(f, t); }
  std::int64_t fileSize(const std::string& p) override { return FileSystem::real().fileSize(p); }

 private:
  class Trickle : public File {
   public:
    Trickle(std::unique_ptr<File> inner, std::size_t limit) : inner_(std::move(inner)), limit_(limit) {}
    std::size_t read(void* b, std::size_t n) override { return inner_->read(b, std::min(n, limit_)); }
    void write(const void* b, std::size_t n) override { inner_->write(b, n); }
    void seek(std::int64_t o) override { inner_->seek(o); }
    std::int64_t size() override { return inner_->size(); }
    void close() override { inner_->close(); }
    const std::string& path() const override { return inner_->path(); }

   private:
    std::unique_ptr<File> inner_;
    std::size_t limit_;
  };
  std::size_t limit_;
};

Lines readAll(InputReader& reader, const std::string& path, int eol) {
  reader.open(path, eol);
  Lines lines;
  while (!reader.endOfInput()) lines.emplace_back(reader.readLine());
  reader.close();
  return lines;
}

std::string readError(const std::string& path, FileSystem& fs = FileSystem::real()) {
  InputReader reader(fs);
  try {
    readAll(reader, path, kEolLf);
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// Text with every kind of line end, long stretches without any, and lines
// that cross block and member boundaries.
std::string randomText(std::mt19937& rng, std::size_t n) {
  const char alphabet[] = {'a', 'b', '\r', '\n'};
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    int pick = std::uniform_int_distribution<int>(0, 119)(rng);
    text += pick < 100 ? static_cast<char>('0' + pick % 10) : alphabet[pick % 4];
  }
  return text;
}

// The text cut into up to four gzip members, concatenated.
std::string gzipMembers(std::string_view text, std::mt19937& rng) {
  int members = std::uniform_int_distribution<int>(1, 4)(rng);
  std::vector<std::size_t> cuts{0, text.size()};
  for (int m = 1; m < members; ++m) cuts.push_back(std::uniform_int_distribution<std::size_t>(0, text.size())(rng));
  std::sort(cuts.begin(), cuts.end());
  std::string out;
  for (std::size_t k = 0; k + 1 < cuts.size(); ++k) out += gzipped(text.substr(cuts[k], cuts[k + 1] - cuts[k]));
  return out;
}

TEST(CompressedInput, LinesEqualThoseOfThePlainFileUnderEveryLineEnd) {
  TempDir dir;
  std::mt19937 rng(11);
  TrickleFileSystem trickle(7);
  for (int round = 0; round < 12; ++round) {
    std::string text = randomText(rng, std::uniform_int_distribution<std::size_t>(0, 30000)(rng));
    std::string plain = dir.write("in.txt", text);
    std::string packed = dir.write("in.txt.gz", gzipMembers(text, rng));
    for (std::size_t block : {InputReader::kChunkSize, InputReader::kDefaultBlockSize}) {
      for (int eol : {kEolCr, kEolLf, kEolCrLf}) {
        InputReader a(FileSystem::real(), block), b(FileSystem::real(), block), c(trickle, block);
        Lines expected = readAll(a, plain, eol);
        ASSERT_EQ(readAll(b, packed, eol), expected) << "round " << round << " eol " << eol << " block " << block;
        ASSERT_EQ(readAll(c, packed, eol), expected) << "trickle, round " << round << " eol " << eol;
      }
    }
  }
}

TEST(CompressedInput, MembersSplittingACrLfPairAndAnEmptyMember) {
  TempDir dir;
  std::string file = gzipped("one\r") + gzipped("") + gzipped("\ntwo\r\nthree");
  std::string path = dir.write("split.gz", file);
  InputReader reader(FileSystem::real());
  EXPECT_EQ(readAll(reader, path, kEolCrLf), (Lines{"one", "two", "three"}));
  EXPECT_EQ(readAll(reader, path, kEolCr), (Lines{"one", "\ntwo", "\nthree"}));
}

TEST(CompressedInput, EmptyTextHasNoLine) {
  TempDir dir;
  InputReader reader(FileSystem::real());
  EXPECT_EQ(readAll(reader, dir.write("empty.gz", gzipped("")), kEolLf), Lines{});
}

TEST(CompressedInput, NameEndingInGzInAnyCaseIsDecompressed) {
  EXPECT_TRUE(isCompressedInputPath("/data/cat.dat.gz"));
  EXPECT_TRUE(isCompressedInputPath("CAT.GZ"));
  EXPECT_TRUE(isCompressedInputPath(".gz"));
  EXPECT_FALSE(isCompressedInputPath("cat.gzip"));
  EXPECT_FALSE(isCompressedInputPath("cat.tgz.txt"));
  EXPECT_FALSE(isCompressedInputPath("gz"));
  EXPECT_FALSE(isCompressedInputPath("cat_gz"));
  // A plain file keeps being read as bytes whatever it holds.
  TempDir dir;
  InputReader reader(FileSystem::real());
  std::string packed = gzipped("a\n");
  EXPECT_EQ(readAll(reader, dir.write("packed.txt", packed), kEolCr), (Lines{packed}));
}

TEST(CompressedInput, SizeAndPositionCountCompressedBytes) {
  TempDir dir;
  std::mt19937 rng(5);
  std::string text;
  while (text.size() < 1'000'000) {
    for (int i = 0; i < 60; ++i) text += static_cast<char>('0' + rng() % 10);
    text += '\n';
  }
  std::string packed = gzipped(text);
  ASSERT_GT(packed.size(), 2 * InputReader::kDefaultBlockSize / 4);
  const auto packedSize = static_cast<std::int64_t>(packed.size());
  for (std::size_t block : {InputReader::kChunkSize, InputReader::kDefaultBlockSize}) {
    InputReader reader(FileSystem::real(), block);
    reader.open(dir.write("big.gz", packed), kEolLf);
    EXPECT_EQ(reader.size(), packedSize);
    EXPECT_EQ(reader.position(), 0);
    std::int64_t last = 0, lines = 0;
    int steps = 0;
    do {
      reader.readLine();
      ++lines;
      const std::int64_t p = reader.position();
      ASSERT_GE(p, last);
      ASSERT_LE(p, packedSize);
      if (p > last) ++steps;
      last = p;
    } while (!reader.endOfInput());
    EXPECT_EQ(lines, 16394);  // 61-byte lines up to 1,000,000 bytes
    EXPECT_EQ(reader.position(), packedSize);
    // The bar moves all along the file, not in one jump at its end.
    EXPECT_GE(steps, 3) << "block " << block;
    reader.close();
  }
}

TEST(CompressedInput, ReadThroughTheFileSystemGiven) {
  testing::MemoryFileSystem memory;
  memory.put("/in/cat.gz", gzipped("x\ny\n") + gzipped("z"));
  InputReader reader(memory);
  EXPECT_EQ(readAll(reader, "/in/cat.gz", kEolLf), (Lines{"x", "y", "z"}));
  EXPECT_EQ(EolDetector::detectEol(memory, "/in/cat.gz"), kEolLf);
}

// --- Damaged files ---

TEST(CompressedInput, TruncatedFileIsAnErrorNamingIt) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i * 7919 % 10007) + "\n";
  const std::string whole = gzipped(text);
  // Cut in the magic, after the 10-byte header, inside the data, inside the
  // 8-byte trailer of CRC and length, and just before its last byte.
  for (std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{10}, whole.size() / 2, whole.size() - 6,
                           whole.size() - 1}) {
    std::string path = dir.write("cut" + std::to_string(keep) + ".gz", whole.substr(0, keep));
    EXPECT_EQ(readError(path), "Cannot read file \"" + path + "\": unexpected end of compressed data")
        << "kept " << keep;
  }
  // A second member cut short.
  std::string path = dir.write("second.gz", whole + whole.substr(0, 20));
  EXPECT_EQ(readError(path), "Cannot read file \"" + path + "\": unexpected end of compressed data");
}

TEST(CompressedInput, CorruptFileIsAnErrorNamingIt) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i * 7919 % 10007) + "\n";
  const std::string whole = gzipped(text);
  auto damaged = [&](const std::string& name, std::size_t at, char byte) {
    std::string bytes = whole;
    bytes[at] = byte;
    return dir.write(name, bytes);
  };
  const std::string crc = damaged("crc.gz", whole.size() - 8, static_cast<char>(whole[whole.size() - 8] ^ 1));
  EXPECT_EQ(readError(crc), "Cannot read file \"" + crc + "\": corrupt compressed data (incorrect data check)");
  const std::string length = damaged("len.gz", whole.size() - 4, static_cast<char>(whole[whole.size() - 4] ^ 1));
  EXPECT_EQ(readError(length), "Cannot read file \"" + length + "\": corrupt compressed data (incorrect length check)");
  const std::string method = damaged("method.gz", 2, 7);
  EXPECT_EQ(readError(method), "Cannot read file \"" + method + "\": corrupt compressed data (unknown compression method)");
  // Noise over the middle of the data: whichever check trips, the file is named.
  std::string bytes = whole;
  std::mt19937 rng(3);
  for (std::size_t i = whole.size() / 3; i < whole.size() / 3 + 40; ++i) bytes[i] = static_cast<char>(rng());
  const std::string noise = dir.write("noise.gz", bytes);
  EXPECT_EQ(readError(noise).rfind("Cannot read file \"" + noise + "\": corrupt compressed data (", 0), 0u)
      << readError(noise);
}

TEST(CompressedInput, FileThatIsNotGzipOrHasTrailingBytes) {
  TempDir dir;
  const std::string plain = dir.write("plain.gz", "12 30 00 +10 00 00 star\n");
  EXPECT_EQ(readError(plain), "Cannot read file \"" + plain + "\": not a gzip file");
  const std::string zeros = dir.write("padded.gz", gzipped("a\n") + std::string(512, '\0'));
  EXPECT_EQ(readError(zeros), "Cannot read file \"" + zeros + "\": unexpected data after the end of the compressed data");
  const std::string tail = dir.write("tail.gz", gzipped("a\n") + "x");
  EXPECT_EQ(readError(tail), "Cannot read file \"" + tail + "\": unexpected data after the end of the compressed data");
  const std::string one = dir.write("one.gz", "a");
  EXPECT_EQ(readError(one), "Cannot read file \"" + one + "\": not a gzip file");
}

TEST(CompressedInput, Bzip2AndXzFilesAreReadByNameOrContent) {
  TempDir dir;
  std::mt19937 rng(17);
  const std::string text = randomText(rng, 40000);
  const std::string half = text.substr(0, text.size() / 2), rest = text.substr(text.size() / 2);
  TrickleFileSystem trickle(7);
  const struct {
    const char* ext;
    std::string (*pack)(std::string_view);
    const char* notOne;
  } packings[]{{".bz2", testing::bzipped, "not a bzip2 file"}, {".xz", testing::xzipped, "not an xz file"}};
  for (const auto& p : packings) {
    SCOPED_TRACE(p.ext);
    const std::string plain = dir.write("in.txt", text);
    const std::string whole = p.pack(text);
    InputReader a(FileSystem::real()), b(trickle);
    const Lines expected = readAll(a, plain, kEolLf);
    EXPECT_EQ(readAll(a, dir.write(std::string("in") + p.ext, whole), kEolLf), expected);
    EXPECT_EQ(readAll(b, dir.write(std::string("two.TXT") + p.ext, p.pack(half) + p.pack(rest)), kEolLf), expected);
    EXPECT_EQ(readAll(a, dir.write(std::string("empty") + p.ext, p.pack("")), kEolLf), Lines{});
    // By content, as FITS and VOTable files are opened.
    const std::unique_ptr<InputSource> byContent =
        openInputSourceByContent(FileSystem::real(), dir.write("in.fits", whole));
    std::string read(text.size() + 1, '\0');
    bool atEnd = false;
    read.resize(byContent->read(read.data(), read.size(), atEnd));
    EXPECT_EQ(read, text);
    EXPECT_TRUE(atEnd && byContent->compressed());
    // Damaged files name the file and the reason.
    const std::string cut = whole.substr(0, whole.size() / 2), notPacked = "12 30 00 +10 00 00 star\n";
    for (const auto& [name, bytes, reason] :
         {std::tuple{"cut", cut, "unexpected end of compressed data"},
          {"tail", whole + "x", "unexpected data after the end of the compressed data"},
          {"plain", notPacked, p.notOne}}) {
      const std::string path = dir.write(std::string(name) + p.ext, bytes);
      EXPECT_EQ(readError(path), "Cannot read file \"" + path + "\": " + reason);
    }
  }
  // An xz block that declares a dictionary of 1 GiB (its filter's property
  // byte raised, the block header's CRC made again), which decoding would
  // fill as its text comes out, is refused.
  std::string bigDictionary = testing::xzipped("ra\n1\n");
  const std::size_t header = 12, headerEnd = header + (static_cast<unsigned char>(bigDictionary[header]) + 1u) * 4 - 4;
  const std::size_t filter = bigDictionary.find("\x21\x01", header);  // LZMA2, one byte of properties
  ASSERT_LT(filter, headerEnd);
  bigDictionary[filter + 2] = 36;  // 2^(36 / 2 + 12) bytes
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bigDictionary.data() + header), static_cast<uInt>(headerEnd - header)));
  for (std::size_t i = 0; i < 4; ++i) bigDictionary[headerEnd + i] = static_cast<char>(crc >> (8 * i));
  const std::string path = dir.write("dictionary.xz", bigDictionary);
  EXPECT_EQ(readError(path), "Cannot read file \"" + path +
                                 "\": its xz data needs more than 128 MiB of memory to decompress "
                                 "(xz -9 needs 65 MiB)");
}

// --- End-of-line detection ---

TEST(CompressedInput, EndOfLineDetectionLooksAtTheText) {
  TempDir dir;
  auto detect = [&](std::string_view text) {
    return EolDetector::detectEol(FileSystem::real(), dir.write("d.gz", gzipped(text)));
  };
  EXPECT_EQ(detect("ab\r\ncd\r\n"), kEolCrLf);
  EXPECT_EQ(detect("ab\ncd\n"), kEolLf);
  EXPECT_EQ(detect("ab\rcd\r"), kEolCr);
  EXPECT_EQ(detect(""), std::nullopt);
  // Only the first 4096 bytes of text count, however few compressed bytes hold them.
  EXPECT_EQ(detect(std::string(4096, 'a') + "\n"), std::nullopt);
  EXPECT_EQ(detect(std::string(4095, 'a') + "\n"), kEolLf);
  const std::string bad = dir.write("bad.gz", "plain text\n");
  try {
    EolDetector::detectEol(FileSystem::real(), bad);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + bad + "\": not a gzip file");
  }
}

// --- Whole builds ---

// Stars with decimal RA and DEC, 50 regions, a name index.
// List positions: 0 RA, 1 DEC, 2 ID, 3 mV, 12 desc.
CatalogDefinition decimalStars(const std::string& outputDir, std::vector<std::string> inputs, int eol) {
  CatalogDefinition def = testing::decimalStars("Gz", std::move(inputs), eol, outputDir);
  BuildSettings& s = def.settings;
  s.longname = "Compressed input";
  s.numfile = 0;
  s.index = true;
  setSlot(def, 0, 1, 9);
  setSlot(def, 1, 11, 9);
  setSlot(def, 2, 21, 8);
  setSlot(def, 3, 30, 6);
  setSlot(def, 12, 37, 12);
  return def;
}

// Every file below `dir` by its relative path, with its bytes.
std::map<std::string, std::string> treeOf(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = TempDir::readFile(e.path().string());
  return out;
}

std::string catalogText(int lines, const char* lineEnd) {
  std::mt19937 rng(17);
  std::string text;
  char buf[80];
  for (int i = 0; i < lines; ++i) {
    // Every 97th line is refused (RA 0, DEC 0) so that the reject logs are compared too.
    double ra = i % 97 == 0 ? 0 : std::uniform_real_distribution<double>(0, 360)(rng);
    double dec = i % 97 == 0 ? 0 : std::uniform_real_distribution<double>(-90, 90)(rng);
    std::snprintf(buf, sizeof buf, "%9.5f %+9.5f S%07d %6.2f obj %d", ra, dec, i, (i * 37 % 1500) / 100.0, i % 13);
    text += buf;
    text += lineEnd;
  }
  return text;
}

TEST(CompressedInput, CatalogAndItsGzippedCopyBuildTheSameBytes) {
  const char* ends[] = {"\r", "\n", "\r\n"};
  for (int eol : {kEolCr, kEolLf, kEolCrLf}) {
    TempDir dir;
    const std::string text = catalogText(4000, ends[eol]);
    const std::string plain = dir.write("cat.txt", text);
    // The gzipped copy comes split in two files at a line end, each of two
    // members cut anywhere, as archives deliver big catalogs.
    const std::size_t half = text.find(ends[eol], text.size() / 2) + std::string_view(ends[eol]).size();
    const std::string part1 = dir.write("cat1.txt.gz", gzipped(text.substr(0, half / 2)) +
                                                        gzipped(text.substr(half / 2, half - half / 2)));
    const std::string part2 = dir.write("cat2.txt.gz", gzipped(text.substr(half, 101)) + gzipped(text.substr(half + 101)));

    RecordingUi plainUi, packedUi;
    // Progress of the conversion, seen at each of its checkpoints: compressed bytes of the file.
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> progress;  // file: maximum, last position
    packedUi.onProcessEvents = [&] {
      const std::string& caption = packedUi.captions.back();
      const std::string prefix = "Convert catalog file ";
      if (caption.rfind(prefix, 0) != 0) return;
      auto& [maximum, position] = progress[caption.substr(prefix.size())];
      maximum = packedUi.stageMaximum;
      EXPECT_GE(packedUi.stagePosition, position);
      EXPECT_LE(packedUi.stagePosition, maximum);
      position = packedUi.stagePosition;
    };
    BuildResult a = BuildPipeline(plainUi, FileSystem::real()).run(decimalStars(dir.str() + "/plain", {plain}, eol));
    BuildResult b = BuildPipeline(packedUi, FileSystem::real()).run(decimalStars(dir.str() + "/packed", {part1, part2}, eol));
    ASSERT_TRUE(a.completed);
    ASSERT_TRUE(b.completed);
    EXPECT_EQ(a.linesRead, 4000);
    EXPECT_EQ(b.linesRead, 4000);
    EXPECT_EQ(a.linesRejected, 42);
    EXPECT_EQ(b.linesRejected, 42);
    const auto plainTree = treeOf(dir.path() / "plain");
    ASSERT_EQ(plainTree.size(), 1u + 50 + 1 + 1) << "header, regions, index, reject log";
    EXPECT_TRUE(plainTree == treeOf(dir.path() / "packed")) << "eol " << eol;
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[part1].first, static_cast<std::int64_t>(fs::file_size(part1)));
    EXPECT_EQ(progress[part2].first, static_cast<std::int64_t>(fs::file_size(part2)));
    EXPECT_GT(progress[part1].second, 0);
  }
}

TEST(CompressedInput, TruncatedCopyEndsTheBuildNamingTheFile) {
  TempDir dir;
  const std::string text = catalogText(3000, "\n");
  const std::string packed = gzipped(text);
  const std::string cut = dir.write("cat.txt.gz", packed.substr(0, packed.size() * 2 / 3));
  RecordingUi ui;
  try {
    BuildPipeline(ui, FileSystem::real()).run(decimalStars(dir.str() + "/out", {cut}, kEolLf));
    FAIL() << "the build did not fail";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + cut + "\": unexpected end of compressed data");
  }
  EXPECT_EQ(ui.hidden, 1);
}

}  // namespace
}  // namespace mirdal
