#include "convert/conversion_loop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "output/record_layout.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

using testing::setSlot;
using testing::TempDir;

// Stars with RA and DEC in degrees, a name and an alternate name (one of
// them blank now and then), a magnitude and a comment; every ninth line has
// an impossible declination and is refused.
std::string mixedLines(int count) {
  std::mt19937 random(11);
  std::string text;
  for (int i = 0; i < count; ++i) {
    char line[96];
    const double ra = static_cast<double>(random() % 3'600'000) / 10'000.0;
    const double dec = i % 9 == 4 ? 95.0 : static_cast<double>(random() % 1'800'000) / 10'000.0 - 90.0;
    const std::string name = i % 5 == 0 ? "" : "n" + std::to_string(i);
    const std::string alternate = i % 7 == 0 ? "" : "a" + std::to_string(i);
    std::snprintf(line, sizeof line, "%9.4f %9.4f %-8s %-8s %6.2f comment%d\n", ra, dec, name.c_str(),
                  alternate.c_str(), static_cast<double>(random() % 2000) / 100.0, i);
    text += line;
  }
  return text;
}

// Converts `input` into `out` through convertFile, or line by line through
// convertLine when `lineByLine`.
ConversionCounters convert(const CatalogDefinition& def, const std::string& input, const std::string& out,
                           bool lineByLine, int eol = 1) {
  CatalogDefinition d = def;
  d.settings.ouputdir = out;
  std::filesystem::create_directories(out);
  const RecordLayout layout = buildRecordLayout(d);
  CatalogFiles files(FileSystem::real(), out + "/", layout, false);
  files.create();
  RejectLog rejects(FileSystem::real(), out + "/reject.txt");
  ConversionCounters counters;
  {
    ConversionLoop loop(d, layout, files, rejects, FileSystem::real());
    if (lineByLine) {
      std::istringstream lines(TempDir::readFile(input));
      for (std::string line; std::getline(lines, line);) loop.convertLine(line);
    } else {
      int checkpoints = 0;
      loop.convertFile(input, eol, {}, [&](std::int64_t) { ++checkpoints; });
      EXPECT_EQ(checkpoints, static_cast<int>(loop.counters().lines / 1000));
    }
    counters = loop.counters();
  }
  files.close();
  if (rejects.isOpen()) rejects.close();
  return counters;
}

// Lines are converted in batches, shared between two threads; what reaches
// the files must be what converting each line in turn gives.
TEST(ConversionLoop, BatchesGiveWhatLineByLineGives) {
  TempDir dir;
  const std::string input = dir.write("mixed.txt", mixedLines(7'777));
  CatalogDefinition def = testing::decimalStars("Mx", {input}, 1, "");
  def.settings.numfile = 1;  // 184 regions
  def.settings.index = true;
  def.settings.altindex = true;
  // 0 RA, 1 DEC, 2 ID, 3 magnitude, 12 comment, 13 String 1
  setSlot(def, 0, 1, 9);
  setSlot(def, 1, 11, 9);
  setSlot(def, 2, 21, 8);
  setSlot(def, 3, 39, 6);
  setSlot(def, 12, 46, 12);
  setSlot(def, 13, 30, 8);  // an alternate name
  def.altNames[0] = 1;

  const ConversionCounters batched = convert(def, input, dir.str() + "/batched", false);
  const ConversionCounters single = convert(def, input, dir.str() + "/single", true);
  EXPECT_EQ(batched.lines, 7'777);
  EXPECT_EQ(batched.rejected, 864);
  EXPECT_GT(batched.indexRecords, batched.records);
  EXPECT_EQ(batched.records, single.records);
  EXPECT_EQ(batched.indexRecords, single.indexRecords);
  EXPECT_TRUE(testing::directoryContents(dir.path() / "batched") == testing::directoryContents(dir.path() / "single"));
}

// Whole lines are cut without a check per column, lines converted one by one
// with one: over random number-like texts, some lines cut short, both give
// the same catalog, positions in hours and in degrees, and in one cell.
TEST(ConversionLoop, WholeLinesGiveWhatCheckedColumnsGive) {
  const char* const texts[] = {"",  "7",   "-3", "+4.5", "59.99", ".5",  "5.", "-.", "1e2",
                               "x1", "1 2", "-",  "  8",  "0012.", "abc", "NaN", "-0", "Nm 12"};
  std::mt19937 random(27);
  // A component: a number, or in the one-cell modes a whole "h:m:s" of at most 8 bytes.
  auto component = [&random](bool oneCell) {
    if (!oneCell) return std::to_string(random() % 60);
    return std::to_string(random() % 24) + ":" + std::to_string(random() % 60) + ":" + std::to_string(random() % 60);
  };
  for (const auto& [ratype, dectype] : {std::pair{0, 0}, {3, 1}, {1, 2}, {4, 3}}) {
    TempDir dir;
    CatalogDefinition def = testing::decimalStars("Wh", {}, 1, "");
    def.setRaType(ratype);
    def.setDecType(dectype);
    def.resetSlots();
    def.settings.index = def.settings.altindex = true;
    def.altNames[0] = 1;
    const int first = def.fields().firstTypePosition(), free = def.fields().firstFreePosition();
    std::vector<int> read;  // every type field (ID and comment 20 bytes), String 1 and Numeric 1, 9 bytes apart
    for (int p = 0; p < free; ++p) read.push_back(p);
    read.insert(read.end(), {free, free + 10});
    for (std::size_t k = 0; k < read.size(); ++k) setSlot(def, read[k], 1 + 9 * static_cast<int>(k), 8);
    setSlot(def, first, 200, 20);
    setSlot(def, first + 10, 221, 20);
    std::string text;
    for (int i = 0; i < 3000; ++i) {
      std::string line(241, ' ');
      for (std::size_t k = 0; k < read.size(); ++k) {
        const std::string t = read[k] < first && random() % 8 ? component(ratype == 4) : texts[random() % 18];
        line.replace(9 * k + (random() % 2 ? 0 : 8 - t.size()), t.size(), t);
      }
      line.replace(200, 8, "Nm " + std::to_string(random() % 99999));
      text += line.substr(0, random() % 3 ? line.size() : random() % line.size()) + "\n";
    }
    def.settings.inputfiles = {dir.write("random.txt", text)};
    const ConversionCounters batched = convert(def, dir.str() + "/random.txt", dir.str() + "/batched", false);
    const ConversionCounters single = convert(def, dir.str() + "/random.txt", dir.str() + "/single", true);
    EXPECT_GT(batched.records, 100);
    EXPECT_GT(batched.rejected, 100);
    EXPECT_EQ(batched.indexRecords, single.indexRecords);
    EXPECT_TRUE(testing::directoryContents(dir.path() / "batched") ==
                testing::directoryContents(dir.path() / "single"));
  }
}

// Under every line-end setting an empty file has no line (nothing refused,
// no reject log), and a last line without its line end is a line.
TEST(ConversionLoop, EmptyFileHasNoLineAndLastLineNeedsNoEnd) {
  TempDir dir;
  const std::string star = "10.0      20.0";
  for (int eol : {kEolCr, kEolLf, kEolCrLf}) {
    const std::string end = eol == kEolCr ? "\r" : eol == kEolLf ? "\n" : "\r\n";
    const std::pair<std::string, std::int64_t> cases[] = {{"", 0}, {star, 1}, {star + end + star, 2}, {end, -1}};
    for (const auto& [text, records] : cases) {  // -1: one line, refused
      const std::string name = std::to_string(eol) + "-" + std::to_string(text.size());
      CatalogDefinition def = testing::decimalStars("Ends", {dir.write(name, text)}, eol, "");
      setSlot(def, 0, 1, 9);
      setSlot(def, 1, 11, 9);
      const ConversionCounters got = convert(def, dir.str() + "/" + name, dir.str() + "/" + name + "out", false, eol);
      EXPECT_EQ(got.lines, std::abs(records)) << name;
      EXPECT_EQ(got.rejected, records < 0 ? 1 : 0) << name;
      EXPECT_EQ(std::filesystem::exists(dir.path() / (name + "out") / "reject.txt"), records < 0) << name;
    }
  }
}

}  // namespace
}  // namespace mirdal
