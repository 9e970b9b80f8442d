#include "input/input_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "input/row_source.h"
#include "support/gzip.h"
#include "support/packed.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/interrupt.h"

namespace mirdal {
namespace {

using testing::TempDir;

// In the conversion's calling order: a line is read while endOfInput() is false.
std::vector<std::string> readAll(InputReader& reader, const std::string& path, int eol) {
  reader.open(path, eol);
  std::vector<std::string> lines;
  while (!reader.endOfInput() && lines.size() <= 100000) {
    lines.emplace_back(reader.readLine());
    if (lines.size() > 100000) ADD_FAILURE() << "no end of input";
  }
  reader.close();
  return lines;
}

using Lines = std::vector<std::string>;

// Every case runs with blocks of one chunk, so that lines cross block
// boundaries as often as possible, and with the default blocks.
class InputReaderTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  Lines read(std::string_view bytes, int eol) {
    InputReader reader(FileSystem::real(), GetParam());
    return readAll(reader, dir.write("in.txt", bytes), eol);
  }
  TempDir dir;
};

INSTANTIATE_TEST_SUITE_P(BlockSizes, InputReaderTest,
                         ::testing::Values(InputReader::kChunkSize, InputReader::kDefaultBlockSize),
                         [](const auto& info) { return "Block" + std::to_string(info.param); });

TEST_P(InputReaderTest, TwoLinesWithFinalLineEnd) {
  EXPECT_EQ(read("ab\ncd\n", kEolLf), (Lines{"ab", "cd"}));
  EXPECT_EQ(read("ab\rcd\r", kEolCr), (Lines{"ab", "cd"}));
  EXPECT_EQ(read("ab\r\ncd\r\n", kEolCrLf), (Lines{"ab", "cd"}));
}

TEST_P(InputReaderTest, LastLineWithoutLineEndIsReturned) {
  EXPECT_EQ(read("ab\ncd", kEolLf), (Lines{"ab", "cd"}));
  EXPECT_EQ(read("ab\nc", kEolLf), (Lines{"ab", "c"}));
  EXPECT_EQ(read("ab\rc", kEolCr), (Lines{"ab", "c"}));
  EXPECT_EQ(read("ab\r\nc", kEolCrLf), (Lines{"ab", "c"}));
}

TEST_P(InputReaderTest, EmptyFileHasNoLine) {
  for (int eol : {kEolCr, kEolLf, kEolCrLf}) EXPECT_EQ(read("", eol), Lines{}) << "eol " << eol;
}

TEST_P(InputReaderTest, EmptyLinesAreLines) {
  EXPECT_EQ(read("\n\nab\n\n", kEolLf), (Lines{"", "", "ab", ""}));
  EXPECT_EQ(read("\n", kEolLf), (Lines{""}));
  EXPECT_EQ(read("\r\n\r\n", kEolCrLf), (Lines{"", ""}));
}

TEST_P(InputReaderTest, LineEndIsLastByteOfChunk) {
  std::string first(4095, 'a');
  EXPECT_EQ(read(first + "\nnext\n", kEolLf), (Lines{first, "next"}));
  EXPECT_EQ(read(first + "\n", kEolLf), (Lines{first}));
  EXPECT_EQ(read(first + "\rnext", kEolCr), (Lines{first, "next"}));
}

TEST_P(InputReaderTest, LineEndIsFirstByteOfSecondChunk) {
  std::string first(4096, 'a');
  EXPECT_EQ(read(first + "\nnext", kEolLf), (Lines{first, "next"}));
}

TEST_P(InputReaderTest, LineOf10000BytesSpansThreeChunks) {
  std::string longLine;
  for (int i = 0; i < 10000; ++i) longLine += static_cast<char>('a' + i % 26);
  EXPECT_EQ(read("x\n" + longLine + "\ny\n", kEolLf), (Lines{"x", longLine, "y"}));
  EXPECT_EQ(read(longLine, kEolLf), (Lines{longLine}));
}

TEST_P(InputReaderTest, OneMegabyteLine) {
  std::string longLine(1 << 20, 'm');
  longLine[12345] = 'q';
  EXPECT_EQ(read("a\n" + longLine + "\nb", kEolLf), (Lines{"a", longLine, "b"}));
  EXPECT_EQ(read("a\r\n" + longLine + "\r\nb", kEolCrLf), (Lines{"a", longLine, "b"}));
}

TEST_P(InputReaderTest, OtherLineEndByteIsAnOrdinaryByte) {
  // CR LF file read as LF: lines end in CR; read as CR: lines begin with LF.
  EXPECT_EQ(read("ab\r\ncd\r\n", kEolLf), (Lines{"ab\r", "cd\r"}));
  EXPECT_EQ(read("ab\r\ncd\r\n", kEolCr), (Lines{"ab", "\ncd", "\n"}));
  // CR file read as LF, and LF file read as CR: one line holding everything.
  EXPECT_EQ(read("ab\rcd\r", kEolLf), (Lines{"ab\rcd\r"}));
  EXPECT_EQ(read("ab\ncd\n", kEolCr), (Lines{"ab\ncd\n"}));
}

TEST_P(InputReaderTest, CrLfModeDropsOnlyOneCrBeforeLf) {
  EXPECT_EQ(read("a\rb\r\n", kEolCrLf), (Lines{"a\rb"}));
  EXPECT_EQ(read("ab\r\r\n", kEolCrLf), (Lines{"ab\r"}));
  EXPECT_EQ(read("ab\ncd\n", kEolCrLf), (Lines{"ab", "cd"}));
  EXPECT_EQ(read("ab\r", kEolCrLf), (Lines{"ab\r"}));
  EXPECT_EQ(read("ab\rcd\r", kEolCrLf), (Lines{"ab\rcd\r"}));
}

TEST_P(InputReaderTest, CrLfPairSplitByChunkBoundary) {
  std::string first(4095, 'c');  // CR is the last byte of the first chunk, LF the first of the second
  EXPECT_EQ(read(first + "\r\nnext\r\n", kEolCrLf), (Lines{first, "next"}));
  EXPECT_EQ(read(first + "\r\nnext\r\n", kEolLf), (Lines{first + "\r", "next\r"}));
}

TEST_P(InputReaderTest, NulAndHighBytesArePartOfLines) {
  std::string bytes("a\0b\xFF\n\xFF\n\0", 8);
  EXPECT_EQ(read(bytes, kEolLf), (Lines{std::string("a\0b\xFF", 4), "\xFF", std::string(1, '\0')}));
}

TEST_P(InputReaderTest, NothingIsTrimmed) {
  EXPECT_EQ(read("  a \t\n\x01 b \n", kEolLf), (Lines{"  a \t", "\x01 b "}));
}

// The lines of random files under every convention equal those of a plain
// split of the whole text.
TEST_P(InputReaderTest, RandomFilesMatchWholeTextSplit) {
  std::mt19937 rng(7);
  const char alphabet[] = {'a', 'b', '\r', '\n'};
  for (int round = 0; round < 30; ++round) {
    std::string text;
    std::size_t n = std::uniform_int_distribution<std::size_t>(0, 20000)(rng);
    // Long stretches without line ends, so that some lines cross several chunks.
    int weightOfEnds = round % 3 == 0 ? 1 : 50;
    for (std::size_t i = 0; i < n; ++i) {
      int pick = std::uniform_int_distribution<int>(0, 99 + weightOfEnds)(rng);
      text += pick < 100 ? alphabet[pick % 2] : alphabet[2 + pick % 2];
    }
    for (int eol : {kEolCr, kEolLf, kEolCrLf}) {
      char end = eol == kEolCr ? '\r' : '\n';
      Lines expected;
      std::size_t start = 0;
      for (;;) {
        std::size_t hit = text.find(end, start);
        if (hit == std::string::npos) {
          // The tail is a line when it is not empty, or when the file is.
          if (start < text.size() || expected.empty()) expected.push_back(text.substr(start));
          break;
        }
        std::string line = text.substr(start, hit - start);
        if (eol == kEolCrLf && !line.empty() && line.back() == '\r') line.pop_back();
        expected.push_back(line);
        start = hit + 1;
      }
      ASSERT_EQ(read(text, eol), expected) << "round " << round << " eol " << eol;
    }
  }
}

TEST(InputReader, PositionGrowsAChunkAtATimeAndReachesSize) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 100; ++i) text += std::string(99, 'a' + i % 26) + "\n";  // 10000 bytes
  InputReader reader(FileSystem::real());
  reader.open(dir.write("in.txt", text), kEolLf);
  EXPECT_EQ(reader.size(), 10000);
  EXPECT_EQ(reader.position(), 0);
  reader.readLine();
  EXPECT_EQ(reader.position(), 4096);
  for (int i = 2; i <= 41; ++i) reader.readLine();  // line 41 ends at byte 4100
  EXPECT_EQ(reader.position(), 8192);
  int lines = 41;
  while (!reader.endOfInput()) {
    reader.readLine();
    ++lines;
  }
  EXPECT_EQ(lines, 100);
  EXPECT_EQ(reader.position(), 10000);
  reader.close();
}

TEST(InputReader, PositionStopsAtChunkEndWhenLineEndIsLastByte) {
  TempDir dir;
  InputReader reader(FileSystem::real());
  reader.open(dir.write("in.txt", std::string(4095, 'a') + "\n" + std::string(10, 'b')), kEolLf);
  EXPECT_EQ(reader.size(), 4106);
  reader.readLine();
  EXPECT_EQ(reader.position(), 4096);
  EXPECT_FALSE(reader.endOfInput());
  EXPECT_EQ(reader.position(), 4096);
  EXPECT_EQ(reader.readLine(), std::string(10, 'b'));
  EXPECT_EQ(reader.position(), 4106);
  EXPECT_TRUE(reader.endOfInput());
}

TEST(InputReader, LineStaysValidAcrossEndOfInputTest) {
  TempDir dir;
  std::string first(4095, 'a');
  InputReader reader(FileSystem::real(), InputReader::kChunkSize);
  reader.open(dir.write("in.txt", first + "\n" + std::string(5000, 'z')), kEolLf);
  std::string_view line = reader.readLine();
  EXPECT_FALSE(reader.endOfInput());  // reads the next chunk
  EXPECT_EQ(line, first);
}

TEST(InputReader, ReopenStartsAfresh) {
  TempDir dir;
  InputReader reader(FileSystem::real());
  reader.open(dir.write("a.txt", "one\ntwo\nthree\n"), kEolLf);
  EXPECT_EQ(reader.readLine(), "one");
  reader.open(dir.write("b.txt", "x\r\ny\r\n"), kEolCrLf);
  EXPECT_EQ(reader.size(), 6);
  EXPECT_EQ(reader.position(), 0);
  EXPECT_EQ(reader.readLine(), "x");
  EXPECT_EQ(reader.readLine(), "y");
  EXPECT_TRUE(reader.endOfInput());
  reader.close();
  EXPECT_TRUE(reader.endOfInput());
  EXPECT_EQ(reader.readLine(), "");
}

TEST(InputReader, MissingFileErrorNamesFileAndReason) {
  TempDir dir;
  std::string path = dir.str() + "/absent.dat";
  InputReader reader(FileSystem::real());
  try {
    reader.open(path, kEolLf);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\": No such file or directory");
  }
  EXPECT_FALSE(reader.isOpen());
}

TEST(InputReader, FailedOpenForgetsThePreviousFile) {
  TempDir dir;
  InputReader reader(FileSystem::real());
  reader.open(dir.write("a.txt", "one\ntwo\n"), kEolLf);
  EXPECT_EQ(reader.readLine(), "one");
  EXPECT_THROW(reader.open(dir.str() + "/absent.txt", kEolLf), Error);
  EXPECT_TRUE(reader.endOfInput());
  EXPECT_EQ(reader.readLine(), "");
  EXPECT_EQ(reader.size(), 0);
}

TEST(InputReader, OverlongLineIsAnErrorNamingTheFile) {
  TempDir dir;
  std::string path = dir.write("binary.dat", "short\n" + std::string(10000, 'x'));
  for (std::size_t block : {InputReader::kChunkSize, InputReader::kDefaultBlockSize}) {
    InputReader reader(FileSystem::real(), block);
    reader.setMaxLineLength(9999);
    reader.open(path, kEolLf);
    EXPECT_EQ(reader.readLine(), "short");
    try {
      reader.readLine();
      FAIL() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + path + "\": line longer than 9999 bytes (line 2)");
    }
  }
  InputReader reader(FileSystem::real());
  reader.setMaxLineLength(10000);
  reader.open(path, kEolLf);
  reader.readLine();
  EXPECT_EQ(reader.readLine().size(), 10000u);

  // The limit is exact for a line found whole in a block, one gathered
  // across blocks and one that ends the file without a line end.
  const std::size_t limit = InputReader::kChunkSize + 10;
  for (std::size_t block : {InputReader::kChunkSize, InputReader::kDefaultBlockSize})
    for (std::size_t length : {limit, limit + 1})
      for (std::string_view end : {"\n", ""}) {
        SCOPED_TRACE(std::to_string(block) + " " + std::to_string(length) + (end.empty() ? " unended" : ""));
        InputReader edge(FileSystem::real(), block);
        edge.setMaxLineLength(limit);
        edge.open(dir.write("edge.txt", std::string(length, 'x') + std::string(end)), kEolLf);
        if (length == limit) {
          EXPECT_EQ(edge.readLine().size(), limit);
        } else {
          EXPECT_THROW(edge.readLine(), Error);
        }
      }
}

// A stop request reaches every reading of text at its next block, however
// long the run of lines that yields no row (blank lines of fixed columns,
// comment lines of a CSV), plain or compressed; headers and samples too.
TEST(InputReader, StopRequestEndsEveryTextReadAtItsNextBlock) {
  struct ClearFlag {
    ~ClearFlag() { detail::interruptFlag = false; }
  } clear;
  const std::string blanks = "first\n" + std::string(std::size_t{2} << 20, '\n');
  std::string comments = "ra,dec\n1,2\n";
  for (int i = 0; i < 1'000'000; ++i) comments += "#\n";
  struct Case {
    std::string file, bytes;
    TableForm form;
  };
  const std::vector<Case> cases{
      {"blank.txt", blanks, TableForm::Fixed},
      {"blank.txt.gz", testing::gzipped(blanks), TableForm::Fixed},
      {"blank.txt.bz2", testing::bzipped(blanks), TableForm::Fixed},
      {"blank.txt.xz", testing::xzipped(blanks), TableForm::Fixed},
      {"comments.csv", comments, TableForm::Csv},
      {"comments.csv.gz", testing::gzipped(comments), TableForm::Csv},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = dir.write(c.file, c.bytes);
    const InputFormat format{c.form, kEolLf, c.form == TableForm::Csv, {}};
    RowSource rows(FileSystem::real(), path, format);
    std::string_view row;
    std::int64_t number = 0;
    ASSERT_TRUE(rows.nextLine(row, number));
    requestInterrupt();
    long more = 0;
    EXPECT_THROW(while (rows.nextLine(row, number)) ++more, AbortError);
    EXPECT_LT(more, 1 << 20);
    EXPECT_THROW(readRowSample(FileSystem::real(), path, format, 10, 1 << 16), AbortError);
    EXPECT_THROW(EolDetector::detectEol(FileSystem::real(), path), AbortError);
    detail::interruptFlag = false;
  }
}

TEST(InputReader, ReadsStarCatalogLineByLine) {
  std::string path = std::string(MIRDAL_SHARED_DATA_DIR) + "/bsc5/catalog";
  if (!FileSystem::real().exists(path)) GTEST_SKIP() << "no " << path;
  InputReader reader(FileSystem::real());
  Lines lines = readAll(reader, path, kEolLf);
  ASSERT_EQ(lines.size(), 9110u);
  for (const auto& l : lines) {
    EXPECT_GE(l.size(), 160u);
    EXPECT_LE(l.size(), 197u);
  }
  EXPECT_EQ(lines[0].substr(0, 4), "   1");
  EXPECT_EQ(lines[9109].substr(0, 4), "9110");
}

// --- End-of-line detection ---

class EolDetectorTest : public ::testing::Test {
 protected:
  std::optional<int> detect(std::string_view bytes) {
    return EolDetector::detectEol(FileSystem::real(), dir.write("sample.txt", bytes));
  }
  TempDir dir;
};

TEST_F(EolDetectorTest, PairsGiveCrLf) {
  EXPECT_EQ(detect("ab\r\ncd\r\n"), 2);
  EXPECT_EQ(detect("ab\n\rcd\n\r"), 2);  // LF CR is taken for CR LF as well
  EXPECT_EQ(detect("a\nb\nc\r\n"), 2);   // a pair anywhere beats single line ends
}

TEST_F(EolDetectorTest, SingleLineEnds) {
  EXPECT_EQ(detect("ab\ncd\n"), 1);
  EXPECT_EQ(detect("ab\rcd\r"), 0);
  EXPECT_EQ(detect("a\rb\nc"), 1);  // LF is tested before CR
}

TEST_F(EolDetectorTest, NoLineEndInFirst4096BytesIsUnrecognized) {
  EXPECT_EQ(detect(""), std::nullopt);
  EXPECT_EQ(detect("one long line"), std::nullopt);
  EXPECT_EQ(detect(std::string(4096, 'a') + "\r\n"), std::nullopt);
  EXPECT_EQ(detect(std::string(4095, 'a') + "\n"), 1);
  EXPECT_EQ(detect(std::string(4095, 'a') + "\r\n"), 0);  // only the CR is sampled
  EXPECT_STREQ(kUnrecognizedEolWarning, "Warning ! unrecognized end of line format.");
}

TEST_F(EolDetectorTest, MissingFileIsAnError) {
  std::string path = dir.str() + "/none.txt";
  try {
    EolDetector::detectEol(FileSystem::real(), path);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\": No such file or directory");
  }
}

}  // namespace
}  // namespace mirdal
