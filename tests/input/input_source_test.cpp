// Compressed sources: both gzip decoders give the same text and the same
// errors, zstd files are read and bounded as the other compressions, and
// decompression on a thread of its own changes nothing the reader sees.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "input/input_source.h"
#include "input/read_ahead.h"
#include "support/gzip.h"
#include "support/memory_file_system.h"
#include "support/packed.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/interrupt.h"

namespace mirdal {
namespace {

using testing::gzipped;
using testing::TempDir;
using testing::zstdCompressed;

// Lines of digits: compressible, and long enough to cross every buffer.
std::string sampleText(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < size) {
    for (int i = 0; i < 40 + static_cast<int>(rng() % 40); ++i) text += static_cast<char>('0' + rng() % 10);
    text += '\n';
  }
  return text;
}

// The whole text of `source` read in reads of `chunk` bytes, or "error: "
// and the message it ends with; `counted`: "after N bytes: " before it.
std::string outcome(InputSource& source, std::size_t chunk, bool counted = false) {
  std::string text, buffer(chunk, '\0');
  try {
    bool atEnd = false;
    while (!atEnd) text.append(buffer.data(), source.read(buffer.data(), buffer.size(), atEnd));
  } catch (const Error& e) {
    return (counted ? "after " + std::to_string(text.size()) + " bytes: " : "") + "error: " + e.what();
  }
  return text;
}

std::unique_ptr<File> openFile(const std::string& path) { return FileSystem::real().open(path, OpenMode::Read); }

std::string reason(const std::string& path, const std::string& why) {
  return "error: Cannot read file \"" + path + "\": " + why;
}

struct Sample {
  std::string name, bytes;
  std::string text;  // what it holds
  bool sound = false;
};

// Sound, cut and damaged gzip files.
std::vector<Sample> gzipCorpus() {
  const std::string big = sampleText(1'500'000, 1), small = sampleText(3000, 2);
  const std::string whole = gzipped(big), one = gzipped(small);
  std::vector<Sample> corpus{
      {"one member", whole, big, true},
      {"three members", gzipped(big.substr(0, 1000)) + gzipped(big.substr(1000, 700'000)) + gzipped(big.substr(701'000)),
       big, true},
      {"empty members", gzipped("") + one + gzipped("") + gzipped(""), small, true},
      {"only an empty member", gzipped(""), "", true},
      {"stored", gzipped(small, 0), small, true},
      {"best", gzipped(big, 9), big, true},
      {"empty file", "", ""},
      {"one byte", "a", ""},
      {"not gzip", small, ""},
      {"trailing byte", one + "x", ""},
      {"trailing zeros", one + std::string(512, '\0'), ""},
      {"second member cut", one + one.substr(0, 20), ""},
  };
  for (std::size_t keep : {std::size_t{1}, std::size_t{10}, std::size_t{11}, whole.size() / 2, whole.size() - 6,
                           whole.size() - 1})
    corpus.push_back({"cut to " + std::to_string(keep), whole.substr(0, keep), ""});
  auto damaged = [&](const std::string& name, std::size_t at, unsigned char mask) {
    std::string bytes = one;
    bytes[at] = static_cast<char>(bytes[at] ^ mask);
    corpus.push_back({name, bytes, ""});
  };
  damaged("data check", one.size() - 8, 1);
  damaged("length check", one.size() - 4, 1);
  damaged("method", 2, 0x0F);
  damaged("reserved flags", 3, 0xE0);
  damaged("header check flag", 3, 0x02);
  damaged("first block type", 10, 0x06);
  std::mt19937 rng(3);
  for (int i = 0; i < 12; ++i) {
    std::string bytes = i % 2 == 0 ? whole : one;
    const std::size_t at = 10 + rng() % (bytes.size() - 20);
    for (std::size_t k = at; k < std::min(bytes.size(), at + 1 + rng() % 40); ++k) bytes[k] = static_cast<char>(rng());
    corpus.push_back({"noise " + std::to_string(i), bytes, ""});
  }
  return corpus;
}

TEST(GzipDecoders, GiveTheSameTextAndTheSameErrors) {
  if (!gzipDecoderBuilt(GzipDecoder::Isal)) GTEST_SKIP() << "built without ISA-L";
  TempDir dir;
  for (const Sample& s : gzipCorpus()) {
    SCOPED_TRACE(s.name);
    const std::string path = dir.write("in.gz", s.bytes);
    for (std::size_t chunk : {std::size_t{4093}, std::size_t{1} << 20}) {
      const std::string zlib = outcome(*openGzipSource(openFile(path), GzipDecoder::Zlib), chunk);
      const std::string isal = outcome(*openGzipSource(openFile(path), GzipDecoder::Isal), chunk);
      EXPECT_TRUE(isal == zlib) << "chunk " << chunk << "\nISA-L: " << isal.substr(0, 160) << "\nzlib:  " << zlib.substr(0, 160);
      if (s.sound) {
        EXPECT_TRUE(isal == s.text) << isal.substr(0, 160);
      } else {
        EXPECT_EQ(isal.rfind("error: ", 0), 0u) << isal.substr(0, 80);
      }
    }
  }
}

TEST(ZstdSource, ReadsFramesAndRefusesDamagedOnes) {
  const std::string big = sampleText(1'200'000, 4), small = sampleText(2000, 5);
  const std::string whole = zstdCompressed(big);
  // A skippable frame of 3 bytes, as parallel compressors put first.
  const std::string skippable("\x50\x2A\x4D\x18\x03\x00\x00\x00xyz", 11);
  std::string noisy = whole;
  for (std::size_t k = whole.size() / 2; k < whole.size() / 2 + 16; ++k) noisy[k] = static_cast<char>(k * 37);
  const struct {
    const char* name;
    std::string bytes, text, error;
  } cases[] = {
      {"one frame", whole, big, ""},
      {"frames", skippable + zstdCompressed(small) + zstdCompressed("") + whole, small + big, ""},
      {"cut", whole.substr(0, whole.size() / 2), "", "unexpected end of compressed data"},
      {"cut in the header", whole.substr(0, 3), "", "unexpected end of compressed data"},
      {"empty file", "", "", "unexpected end of compressed data"},
      {"damaged", noisy, "", "corrupt compressed data ("},
      {"trailing byte", zstdCompressed(small) + "x", "", "unexpected data after the end of the compressed data"},
      {"not zstd", small, "", "not a zstd file"},
      {"window of 256 MiB", zstdCompressed(small, 28), "",
       "its zstd data needs more than 128 MiB of memory to decompress (zstd --ultra -22 needs 128 MiB)"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.write("in.csv.zst", c.bytes);
    const std::string got = outcome(*openInputSource(FileSystem::real(), path), 65536);
    if (c.error.empty()) {
      EXPECT_EQ(got, c.text);
    } else {
      EXPECT_EQ(got.substr(0, reason(path, c.error).size()), reason(path, c.error));
    }
    // By content, as FITS and VOTable files are opened.
    const std::string fits = dir.write("in.fits", c.bytes);
    if (c.error.empty()) {
      EXPECT_EQ(outcome(*openInputSourceByContent(FileSystem::real(), fits), 65536), c.text);
    }
  }
  EXPECT_EQ(compressionOfContent(skippable), "zstd");
  EXPECT_TRUE(isCompressedInputPath("CAT.DAT.ZST"));
}

// Decompressed beside on a thread (a real file) and on the reading thread
// (a file system that is not to be shared between threads): the same text,
// the same error after the same text, whatever the size of the reads, and
// the same end of progress; a stop request ends it as it ends the other.
// The damaged gzip files fail past the first megabyte, which is read before
// the thread starts; the bzip2 file fails within it.
TEST(ReadAhead, GivesWhatTheSourceGives) {
  TempDir dir;
  testing::MemoryFileSystem memory;
  const std::string text = sampleText(3'000'000, 6), packed = gzipped(text);
  std::string noisy = packed;
  for (std::size_t k = packed.size() / 2; k < packed.size() / 2 + 30; ++k) noisy[k] = static_cast<char>(k * 131);
  const std::vector<std::pair<std::string, std::string>> files{
      {"in.gz", packed},
      {"cut.gz", packed.substr(0, packed.size() / 2)},
      {"noise.gz", noisy},
      {"in.bz2", testing::bzipped(text.substr(0, 500'000)).substr(0, 100'000)},
      {"in.xz", testing::xzipped(text.substr(0, 300'000))},
      {"in.zst", zstdCompressed(text) + "x"},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir.write(name, bytes);
    memory.put(path, bytes);
    for (std::size_t chunk : {std::size_t{4096}, (std::size_t{1} << 20) + 7}) {
      const std::unique_ptr<InputSource> plain = openInputSource(memory, path);
      const std::unique_ptr<InputSource> beside = openInputSource(FileSystem::real(), path);
      const std::string a = outcome(*plain, chunk, true), b = outcome(*beside, chunk, true);
      EXPECT_TRUE(a == b) << "chunk " << chunk << "\n" << a.substr(0, 160) << "\n" << b.substr(0, 160);
      EXPECT_EQ(beside->fileBytesRead(), plain->fileBytesRead());
      EXPECT_EQ(beside->fileSize(), static_cast<std::int64_t>(bytes.size()));
    }
  }
  struct ClearFlag {
    ~ClearFlag() { detail::interruptFlag = false; }
  } clear;
  const std::unique_ptr<InputSource> beside = readAhead(openInputSource(memory, dir.str() + "/in.gz"), 4096, 2);
  char buffer[100];
  bool atEnd = false;
  EXPECT_EQ(beside->read(buffer, sizeof buffer, atEnd), sizeof buffer);
  requestInterrupt();
  EXPECT_THROW(beside->read(buffer, sizeof buffer, atEnd), AbortError);
  detail::interruptFlag = false;
  // Closed halfway, with the thread waiting for room: no wait, no leak.
  beside->close();
}

}  // namespace
}  // namespace mirdal
