// Malformed input catalogs, unusable output locations and failing writes:
// each ends in a refused line or a clear error naming the file, never a
// crash, and leaves no file open behind it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "output/catalog_reader.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/faulty_file_system.h"
#include "support/gzip.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::columns;
using testing::f32;
using testing::FaultyFileSystem;
using testing::floatOf;
using testing::intOf;
using testing::joinLines;
using testing::le16;
using testing::le32;
using testing::openFileCount;
using testing::RecordingUi;
using testing::setSlot;
using testing::storedDec;
using testing::storedRa;
using testing::TempDir;
using testing::textOf;

// Stars with decimal RA and DEC, 50 regions. List positions: 0 RA, 1 DEC,
// 2 ID, 3 mV, 12 desc, 23 Numeric 1.
// Record: RA 1, DEC 5, ID 9 (6), mV 15 (2), desc 17 (10), Num1 27 (4): 30 bytes.
CatalogDefinition decimalStars(const std::string& outputDir, std::vector<std::string> inputs) {
  CatalogDefinition def = testing::decimalStars("Str", std::move(inputs), 1, outputDir);
  BuildSettings& s = def.settings;
  s.longname = "Bad input";
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 6);
  setSlot(def, 12, 33, 10);
  setSlot(def, 23, 44, 8);
  return def;
}

// Runs a build expected to fail and returns its message; the output
// directory must be left as it was.
std::string failingBuild(const CatalogDefinition& def, FileSystem& fs = FileSystem::real()) {
  RecordingUi ui;
  const int before = openFileCount();
  const auto contents = testing::directoryContents(def.settings.ouputdir);
  try {
    BuildPipeline(ui, fs).run(def);
  } catch (const Error& e) {
    EXPECT_EQ(ui.hidden, ui.shown);
    EXPECT_EQ(openFileCount(), before) << "a file stayed open after: " << e.what();
    EXPECT_TRUE(testing::directoryContents(def.settings.ouputdir) == contents) << e.what();
    return e.what();
  }
  ADD_FAILURE() << "the build did not fail";
  return {};
}

BuildResult goodBuild(const CatalogDefinition& def) {
  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  EXPECT_TRUE(r.completed);
  return r;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ---------------------------------------------------------------------------
// Lines of any bytes.

TEST(BadInput, NulAndHighBytesAndInfinities) {
  TempDir dir;
  const std::vector<std::string> lines = {
      std::string(3, '\0'),
      // NUL ends the RA column (it trims like a blank); bytes 0x80 and up are kept.
      columns({{1, std::string("10\0", 3)}, {10, "20"}, {19, "\xFF\xFE\x80" "ab"}, {26, "\xFF"}}),
      columns({{1, "1e400"}, {10, "10"}}),   // RA infinite
      columns({{1, "10"}, {10, "-1e400"}}),  // DEC infinite
      columns({{1, "nan"}, {10, "inf"}}),    // not numbers
      columns({{1, "10"}, {10, "20"}, {19, "b"}, {26, "1e400"}, {44, "-1e300"}}),
      columns({{1, "10"}, {10, "20"}, {19, "c"}, {26, "-1e400"}, {44, "1e-400"}}),
  };
  CatalogDefinition def = decimalStars(dir.str() + "/out", {dir.write("in.txt", joinLines(lines))});
  BuildResult r = goodBuild(def);
  EXPECT_EQ(r.recordsWritten, 3);
  EXPECT_EQ(r.linesRejected, 4);
  EXPECT_EQ(dir.read("out/reject.txt"),
            lines[0] + "\r\n" + lines[2] + "\r\n" + lines[3] + "\r\n" + lines[4] + "\r\n");
  std::vector<std::string> reasons;
  for (const RejectCount& c : r.rejectReasons) reasons.push_back(c.note());
  const std::string in = "\"" + def.settings.inputfiles[0] + "\"";
  EXPECT_EQ(reasons, (std::vector<std::string>{"position out of range: 2 lines, the first at " + in + " line 3",
                                               "position not a number: 1 line, at " + in + " line 5",
                                               "no position: 1 line, at " + in + " line 1"}));

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  auto recs = reader.readRegion(1);  // RA 10, DEC 20
  ASSERT_EQ(recs.size(), 3u);
  // In magnitude order: -1e400 clamps to -32768, the others to 32767 (stable).
  EXPECT_EQ(textOf(reader.decode(recs[0]), 3), "c     ");
  EXPECT_EQ(intOf(reader.decode(recs[0]), 4), -32768);
  EXPECT_EQ(floatOf(reader.decode(recs[0]), 26), 0.0);
  EXPECT_EQ(recs[1], le32(36'000'000) + le32(396'000'000) + "\xFF\xFE\x80" "ab " + le16(32767) +
                         std::string(10, ' ') + f32(0.0f));
  EXPECT_EQ(textOf(reader.decode(recs[2]), 3), "b     ");
  EXPECT_EQ(intOf(reader.decode(recs[2]), 4), 32767);
  EXPECT_EQ(floatOf(reader.decode(recs[2]), 26), -std::numeric_limits<double>::infinity());

  auto index = reader.readIndex();
  ASSERT_EQ(index.size(), 3u);
  std::vector<std::string> names;
  for (const auto& e : index) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"B     ", "C     ", "\xFF\xFE\x80" "AB "}));
}

TEST(BadInput, MegabyteLines) {
  TempDir dir;
  const std::string longTail(1 << 20, 'x');
  const std::string garbage(1 << 20, 'y');
  const std::string lastLine = columns({{1, "30"}, {10, "-40"}, {32, " "}}) + std::string(1 << 20, 'z');  // no final LF
  const std::string text = columns({{1, "10"}, {10, "20"}, {19, "long"}, {32, " "}}) + longTail + "\n" + garbage + "\n" + lastLine;
  CatalogDefinition def = decimalStars(dir.str() + "/out", {dir.write("in.txt", text)});
  BuildResult r = goodBuild(def);
  EXPECT_EQ(r.linesRead, 3);
  EXPECT_EQ(r.recordsWritten, 2);
  EXPECT_EQ(r.linesRejected, 1);
  EXPECT_EQ(dir.read("out/reject.txt"), garbage + "\r\n");

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  auto first = reader.decode(reader.readRegion(1).at(0));
  EXPECT_EQ(textOf(first, 3), "long  ");
  EXPECT_EQ(textOf(first, 13), "xxxxxxxxxx");
  EXPECT_EQ(floatOf(first, 26), 0.0);  // an 8-byte run of x is no number
  // RA 30, DEC -40: zone -60..-30 (first 38, 9 columns of 40 degrees).
  auto last = reader.readRegion(38);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(textOf(reader.decode(last[0]), 13), "zzzzzzzzzz");
}

TEST(BadInput, CarriageReturnsInsideAnLfFile) {
  TempDir dir;
  // A CR is an ordinary byte of an LF file: blank-like at the ends of a
  // column, kept in text fields and in the reject log.
  const std::vector<std::string> lines = {
      columns({{1, "10.0\r"}, {10, "20.0"}, {19, "a\rb"}}) + "\r",
      "junk\r",
      columns({{1, "1\r0"}, {10, "20"}}),  // "1\r0" is not a number: the line is refused, not put at RA 0
  };
  CatalogDefinition def = decimalStars(dir.str() + "/out", {dir.write("in.txt", joinLines(lines))});
  BuildResult r = goodBuild(def);
  EXPECT_EQ(r.recordsWritten, 1);
  EXPECT_EQ(r.linesRejected, 2);
  EXPECT_EQ(dir.read("out/reject.txt"), "junk\r\r\n" + lines[2] + "\r\n");
  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  auto recs = reader.readRegion(1);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(storedRa(recs[0]), 36'000'000);
  EXPECT_EQ(textOf(reader.decode(recs[0]), 3), "a\rb\r  ");  // the line's last byte lies in the ID column
}

TEST(BadInput, FileOfBlanksOnlyAndEmptyFile) {
  TempDir dir;
  const std::string blanks = "        \n \t \t   \n" + std::string(300, ' ') + "\n";
  CatalogDefinition def = decimalStars(dir.str() + "/out", {dir.write("blank.txt", blanks), dir.write("empty.txt", "")});
  BuildResult r = goodBuild(def);
  // Three blank lines, all RA 0, DEC 0; the empty file has no line.
  EXPECT_EQ(r.linesRead, 3);
  EXPECT_EQ(r.recordsWritten, 0);
  EXPECT_EQ(r.linesRejected, 3);
  EXPECT_EQ(dir.read("out/reject.txt"), "        \r\n \t \t   \r\n" + std::string(300, ' ') + "\r\n");
  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(testing::totalRecords(reader), 0);
  EXPECT_EQ(reader.readIndex().size(), 0u);
  EXPECT_EQ(fs::file_size(dir.path() / "out" / "str.idx"), 0u);
}

// Every record of a catalog lies on the sky and every line is accounted for.
void expectSane(const CatalogReader& reader, const BuildResult& r) {
  EXPECT_EQ(r.recordsWritten + r.linesRejected, r.linesRead);
  EXPECT_EQ(testing::totalRecords(reader), r.recordsWritten);
  for (const auto& [region, recs] : testing::nonEmptyRegions(reader)) {
    for (const std::string& rec : recs) {
      EXPECT_GE(storedRa(rec), 0);
      EXPECT_LE(storedRa(rec), 1'296'000'000);
      EXPECT_GE(storedDec(rec), 0);
      EXPECT_LE(storedDec(rec), 648'000'000);
      EXPECT_NO_THROW(reader.decode(rec));
    }
  }
}

std::uint32_t nextRandom(std::uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

TEST(BadInput, BinaryFileInEveryScheme) {
  TempDir dir;
  std::string bytes(256 * 1024, '\0');
  std::uint32_t state = 12345;
  for (char& c : bytes) c = static_cast<char>(nextRandom(state) & 0xFF);
  // A first block of blanks: a file that starts as binary is refused whole.
  std::fill(bytes.begin(), bytes.begin() + 4095, ' ');
  bytes[4095] = '\n';
  const std::string input = dir.write("binary.bin", bytes);
  for (int numfile : {0, 3}) {
    const std::string out = dir.str() + "/out" + std::to_string(numfile);
    CatalogDefinition def = decimalStars(out, {input});
    def.settings.numfile = numfile;
    BuildResult r = goodBuild(def);
    EXPECT_GT(r.linesRead, 500);
    expectSane(CatalogReader(out, {}, FileSystem::real()), r);
  }
}

TEST(BadInput, NumberLikeNoiseWithSignedDeclinations) {
  TempDir dir;
  // Columns filled from the characters numbers are made of, so that many
  // lines hold real numbers, some out of range and some on the edges.
  const std::string alphabet = "0123456789012345678901234567890123456789.-+eE \t";
  std::string text;
  std::uint32_t state = 777;
  for (int line = 0; line < 5000; ++line) {
    const int length = static_cast<int>(nextRandom(state) % 40);
    for (int i = 0; i < length; ++i) text += alphabet[nextRandom(state) % alphabet.size()];
    text += '\n';
  }
  // Stars, RA h m s, DEC sign d m s, 9537 regions. List positions: 0-2 RA,
  // 3 sign, 4-6 DEC, 7 ID, 8 mV.
  CatalogDefinition def;
  BuildSettings& s = def.settings;
  s.shortname = "nz";
  s.longname = "Noise";
  s.inputfiles = {dir.write("noise.txt", text)};
  s.eol = 1;
  s.ouputdir = dir.str() + "/out";
  s.numfile = 3;
  setSlot(def, 0, 1, 3);
  setSlot(def, 1, 4, 3);
  setSlot(def, 2, 7, 5);
  setSlot(def, 3, 12, 1);
  setSlot(def, 4, 13, 4);
  setSlot(def, 5, 17, 4);
  setSlot(def, 6, 21, 5);
  setSlot(def, 7, 26, 6);
  setSlot(def, 8, 32, 8);
  BuildResult r = goodBuild(def);
  EXPECT_EQ(r.linesRead, 5000);
  EXPECT_GT(r.recordsWritten, 100);
  EXPECT_GT(r.linesRejected, 100);
  expectSane(CatalogReader(dir.str() + "/out", {}, FileSystem::real()), r);
}

// An input cut or grown by another program while the build reads it fails
// the build with the sizes, plain or compressed, instead of ending early as
// if the file were complete.
TEST(BadInput, InputThatChangesWhileReadFailsTheBuild) {
  TempDir dir;
  std::vector<std::string> lines;
  for (int i = 0; i < 40'000; ++i) lines.push_back(columns({{1, "10"}, {10, "20"}, {19, std::to_string(i)}}));
  const std::string text = joinLines(lines);  // about 1 MB: several reads of a block
  struct Case {
    std::string file, bytes;
    std::int64_t resizeTo;
  };
  const std::vector<Case> cases{
      {"cut.txt", text, 0},
      {"half.txt", text, static_cast<std::int64_t>(text.size() / 2)},
      {"grown.txt", text, static_cast<std::int64_t>(text.size() + 100)},
      {"cut.txt.gz", testing::gzipped(text, 0), 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string input = dir.write(c.file, c.bytes);
    FaultyFileSystem faulty;
    faulty.failOnRead(-1, c.file);
    faulty.resizeBeforeRead(3, c.resizeTo);
    const std::string message = failingBuild(decimalStars(dir.str() + "/out", {input}), faulty);
    EXPECT_EQ(message, "Input file \"" + input + "\" changed while it was read (size " +
                           std::to_string(c.bytes.size()) + " -> " + std::to_string(c.resizeTo) + ")");
  }
}

// ---------------------------------------------------------------------------
// Missing input files.

TEST(BadInput, MissingSecondInputLeavesTheOutputAsItWas) {
  TempDir dir;
  const std::vector<std::string> lines = {
      columns({{1, "10"}, {10, "20"}, {19, "one"}}),
      "refused",
      columns({{1, "10"}, {10, "20"}, {19, "two"}}),
  };
  const std::string first = dir.write("first.txt", joinLines(lines));
  const std::string missing = dir.str() + "/second.txt";
  CatalogDefinition def = decimalStars(dir.str() + "/out", {first, missing});
  const std::string message = failingBuild(def);
  EXPECT_TRUE(contains(message, "\"" + missing + "\"")) << message;
  EXPECT_TRUE(contains(message, "No such file or directory")) << message;

  def.settings.inputfiles = {first};
  BuildResult r = goodBuild(def);
  EXPECT_EQ(r.recordsWritten, 2);
  EXPECT_EQ(CatalogReader(dir.str() + "/out", {}, FileSystem::real()).regionRecordCount(1), 2);
  EXPECT_EQ(dir.read("out/reject.txt"), "refused\r\n");
}

TEST(BadInput, MissingFirstInputIsNamed) {
  TempDir dir;
  const std::string missing = dir.str() + "/nothing here.txt";
  CatalogDefinition def = decimalStars(dir.str() + "/out", {missing});
  const std::string message = failingBuild(def);
  EXPECT_TRUE(contains(message, missing)) << message;
  EXPECT_FALSE(fs::exists(dir.path() / "out" / "reject.txt"));
}

TEST(BadInput, InputThatIsADirectory) {
  TempDir dir;
  fs::create_directory(dir.path() / "folder");
  CatalogDefinition def = decimalStars(dir.str() + "/out", {dir.str() + "/folder"});
  const std::string message = failingBuild(def);
  EXPECT_TRUE(contains(message, dir.str() + "/folder")) << message;
}

// ---------------------------------------------------------------------------
// Output locations that cannot be used.

TEST(BadInput, OutputDirectoriesThatCannotBeCreated) {
  TempDir dir;
  const std::string input = dir.write("in.txt", joinLines({columns({{1, "10"}, {10, "20"}, {19, "one"}})}));
  const std::string plain = dir.write("plain.txt", "a file, not a directory");
  for (const std::string& out : {plain + "/out", plain, plain + "/a/b/c", std::string("/proc/mirdal-no-such/out")}) {
    CatalogDefinition def = decimalStars(out, {input});
    const std::string message = failingBuild(def);
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(contains(message, out.substr(0, out.find("/out")))) << out << ": " << message;
  }
  EXPECT_EQ(TempDir::readFile(plain), "a file, not a directory");
  EXPECT_EQ(goodBuild(decimalStars(dir.str() + "/good", {input})).recordsWritten, 1);
}

TEST(BadInput, OutputFilesBlockedByDirectoriesOrFiles) {
  TempDir dir;
  const std::string input = dir.write("in.txt", joinLines({columns({{1, "10"}, {10, "20"}, {19, "one"}})}));
  struct Case {
    std::string blocker;  // made a directory, or a file when it is a zone directory
    int numfile;
    std::string named;
  };
  const std::vector<Case> cases = {
      {"str.hdr", 0, "/str.hdr"},
      {"str.idx", 0, "/str.idx"},
      {"str07.dat", 0, "/str07.dat"},
      {"str184.dat", 1, "/str184.dat"},
      {"N0730", 2, "/N0730"},
      {"S8230", 3, "/S8230"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path out = dir.path() / ("out" + std::to_string(n++));
    fs::create_directories(out);
    if (c.blocker[0] == 'N' || c.blocker[0] == 'S')
      dir.write((out / c.blocker).lexically_relative(dir.path()).string(), "in the way");
    else
      fs::create_directory(out / c.blocker);
    CatalogDefinition def = decimalStars(out.string(), {input});
    def.settings.numfile = c.numfile;
    const std::string message = failingBuild(def);
    EXPECT_TRUE(contains(message, out.string() + c.named)) << message;
  }
  EXPECT_EQ(goodBuild(decimalStars(dir.str() + "/good", {input})).recordsWritten, 1);
}

// ---------------------------------------------------------------------------
// Writes that fail (a full disk) in each kind of output file.

TEST(BadInput, WriteFaultsNameTheFile) {
  TempDir dir;
  // Two records in region 1 and a refused line, so that every file is written:
  // header, region (converted, then sorted over itself), index and reject
  // log. Each is named by its place in the output directory.
  const std::string input = dir.write(
      "in.txt", joinLines({columns({{1, "10"}, {10, "20"}, {19, "one"}, {26, "5"}}), "refused",
                           columns({{1, "10"}, {10, "20"}, {19, "two"}, {26, "4"}})}));
  int n = 0;
  for (const std::string file : {"str.hdr", "str01.dat", "str.idx", "reject.txt"}) {
    const std::string out = dir.str() + "/out" + std::to_string(++n);
    FaultyFileSystem faulty(1, file);
    const std::string message = failingBuild(decimalStars(out, {input}), faulty);
    EXPECT_EQ(message, "Cannot write file \"" + out + "/" + file + "\": No space left on device");
    EXPECT_FALSE(fs::exists(out + "/sort.out"));

    BuildResult r = goodBuild(decimalStars(dir.str() + "/good" + std::to_string(n), {input}));
    EXPECT_EQ(r.recordsWritten, 2);
    EXPECT_EQ(r.linesRejected, 1);
  }
}

}  // namespace
}  // namespace mirdal
