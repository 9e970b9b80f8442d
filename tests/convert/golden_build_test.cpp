// Builds a small catalog of each kind from inline text and compares what was
// written, read back through CatalogReader, with values worked out by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/build_pipeline.h"
#include "output/catalog_reader.h"
#include "support/catalog_checks.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

namespace fs = std::filesystem;
using testing::columns;
using testing::f32;
using testing::floatOf;
using testing::int32sAt;
using testing::intOf;
using testing::joinLines;
using testing::le16;
using testing::le32;
using testing::RecordingUi;
using testing::setSlot;
using testing::storedDec;
using testing::storedRa;
using testing::TempDir;
using testing::textOf;

std::vector<std::int32_t> zerosExcept(std::initializer_list<std::pair<int, std::int32_t>> fields) {
  std::vector<std::int32_t> v(35, 0);
  for (const auto& [field, value] : fields) v[static_cast<std::size_t>(field - 1)] = value;
  return v;
}

std::string headerBytes(const std::string& path) { return TempDir::readFile(path); }

// ---------------------------------------------------------------------------
// Stars: RA hours/minutes/seconds, DEC sign/degrees/minutes/seconds, 50 regions,
// an index with prefixed alternate names from String 1 ("BD").
//
// List positions: 0-2 RA, 3 sign, 4-6 DEC, 7 ID, 8 mV, 9 b-v, 10 mB, 11 mR,
// 12 sp, 13 pmRA, 14 pmDE, 15 date, 16 px, 17 desc, 18-27 String 1-10,
// 28-37 Numeric 1-10.
CatalogDefinition starsDefinition(const TempDir& dir, const std::string& input) {
  CatalogDefinition def;
  BuildSettings& s = def.settings;
  s.shortname = "Str";
  s.longname = "Golden stars";
  s.inputfiles = {input};
  s.eol = 1;
  s.ouputdir = dir.str() + "/out";
  s.numfile = 0;
  s.index = true;
  s.altindex = true;
  s.prefalt = true;
  setSlot(def, 0, 1, 2);
  setSlot(def, 1, 4, 2);
  setSlot(def, 2, 7, 4);
  setSlot(def, 3, 12, 1);
  setSlot(def, 4, 13, 3);
  setSlot(def, 5, 17, 2);
  setSlot(def, 6, 20, 2);
  setSlot(def, 7, 23, 9);    // ID
  setSlot(def, 8, 33, 6);    // mV
  setSlot(def, 9, 40, 5);    // b-v
  setSlot(def, 12, 46, 5);   // sp
  setSlot(def, 13, 52, 6);   // pmRA
  setSlot(def, 15, 59, 7);   // date
  setSlot(def, 16, 67, 6);   // px
  setSlot(def, 17, 74, 12);  // desc, wider than its texts
  setSlot(def, 18, 87, 8);   // String 1, an alternate name
  setSlot(def, 28, 96, 5);   // Numeric 1
  def.altNames[0] = 1;
  def.setLabel(14, "BD");
  return def;
}

const std::vector<std::string> kStarLines = {
    // 12h30m0s, "-" 10 30 00: RA 187.5, DEC -10.5
    columns({{1, "12"}, {4, "30"}, {7, "00.0"}, {12, "-"}, {13, "10"}, {17, "30"}, {20, "00"}, {24, "hd 1234"},
             {33, "10.25"}, {40, "abc"}, {46, "A0V"}, {52, "-0.553"}, {59, "1991.25"}, {67, "0.375"},
             {74, "Sirius"}, {87, "bd+12 34"}, {96, "1e3"}}),
    // Degrees "-10" without a sign, minutes 30: DEC -9.5; blank magnitude.
    columns({{1, "01"}, {4, "00"}, {7, "00.0"}, {13, "-10"}, {17, "30"}, {40, "0.5"}, {96, "1,5"}}),
    // RA 24h = 360 and DEC +90 are both accepted.
    columns({{1, "24"}, {4, "00"}, {7, "00.0"}, {12, "+"}, {13, "90"}, {17, "00"}, {20, "00"}, {23, "star c"},
             {33, "-40"}, {40, "99"}}),
    // RA 0 and DEC 0: refused.
    columns({{1, "00"}, {4, "00"}, {7, "00.0"}, {12, "+"}, {13, "00"}, {17, "00"}, {20, "00"}, {23, "zero"}}),
    // 24h00m00.1s is past 360: refused.
    columns({{1, "24"}, {4, "00"}, {7, "00.1"}, {12, "+"}, {13, "10"}}),
    // A heading reads as RA 0, DEC 0: refused.
    "# HR name       mag",
    // "-" with 0 degrees and 30 minutes: DEC -0.5.
    columns({{1, "03"}, {4, "00"}, {7, "00.0"}, {12, "-"}, {13, " 0"}, {17, "30"}, {20, "00"}, {23, "g"}, {33, "5"}}),
};

TEST(GoldenBuild, Stars) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", joinLines(kStarLines)));
  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.linesRead, 7);
  EXPECT_EQ(r.recordsWritten, 4);
  EXPECT_EQ(r.linesRejected, 3);
  EXPECT_EQ(r.indexRecordsWritten, 4);
  EXPECT_EQ(dir.read("out/reject.txt"), kStarLines[3] + "\r\n" + kStarLines[4] + "\r\n" + kStarLines[5] + "\r\n");

  const std::string h = headerBytes(dir.str() + "/out/str.hdr");
  ASSERT_EQ(h.size(), 1251u);
  EXPECT_EQ(h.substr(4, 8), "ORVSTAR1");
  EXPECT_EQ(h.substr(12, 4), "Str ");
  EXPECT_EQ(h.substr(66, 8), le32(58) + le32(50));
  EXPECT_EQ(h.substr(98, 28), std::string(16, '\0') + "\x01\x0A\x01" + std::string(9, '\0'));
  EXPECT_EQ(int32sAt(h, 206, 35),
            zerosExcept({{1, 1}, {2, 5}, {3, 9}, {4, 18}, {5, 20}, {8, 22}, {9, 27}, {11, 29}, {12, 33}, {13, 35},
                         {16, 47}, {26, 55}}));
  EXPECT_EQ(int32sAt(h, 426, 35),
            zerosExcept({{1, 4}, {2, 4}, {3, 9}, {4, 2}, {5, 2}, {8, 5}, {9, 2}, {11, 4}, {12, 2}, {13, 12},
                         {16, 8}, {26, 4}}));
  EXPECT_EQ(h.substr(646 + 11 * 15, 11), "BD         ");

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  // 50 regions: DEC -10.5 is zone -30..0 (first 26, 12 columns of 30 degrees).
  auto sirius = reader.readRegion(32);
  ASSERT_EQ(sirius.size(), 1u);
  EXPECT_EQ(sirius[0], le32(675'000'000) + le32(286'200'000) + " hd 1234 " + le16(10250) + le16(32767) + "A0V  " +
                           le16(static_cast<std::uint16_t>(-553)) + f32(1991.25f) + le16(3750) + "Sirius      " +
                           "bd+12 34" + f32(1000.0f));

  auto second = reader.readRegion(26);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(storedRa(second[0]), 54'000'000);
  EXPECT_EQ(storedDec(second[0]), 289'800'000);  // DEC -9.5
  auto f = reader.decode(second[0]);
  EXPECT_EQ(textOf(f, 3), "         ");
  EXPECT_EQ(intOf(f, 4), 32767);  // blank magnitude
  EXPECT_EQ(intOf(f, 5), 500);
  EXPECT_EQ(intOf(f, 9), 0);  // missing proper motion
  EXPECT_EQ(floatOf(f, 11), 0.0);
  EXPECT_EQ(textOf(f, 13), "            ");
  EXPECT_EQ(floatOf(f, 26), 0.0);  // "1,5" is not a number

  // RA 360 and DEC 90 stay in the last column of the polar zone.
  auto edge = reader.readRegion(25);
  ASSERT_EQ(edge.size(), 1u);
  EXPECT_EQ(storedRa(edge[0]), 1'296'000'000);
  EXPECT_EQ(storedDec(edge[0]), 648'000'000);
  f = reader.decode(edge[0]);
  EXPECT_EQ(intOf(f, 4), -32768);  // -40 clamped
  EXPECT_EQ(intOf(f, 5), 32767);   // 99 clamped

  auto nearEquator = reader.readRegion(27);
  ASSERT_EQ(nearEquator.size(), 1u);
  EXPECT_EQ(storedDec(nearEquator[0]), 322'200'000);  // DEC -0.5

  EXPECT_EQ(testing::totalRecords(reader), 4);

  // Sorted by name; width max(9, 8 + 2).
  auto index = reader.readIndex();
  ASSERT_EQ(index.size(), 4u);
  EXPECT_EQ(index[0].name, "BDBD+1234 ");
  EXPECT_EQ(index[1].name, "G         ");
  EXPECT_EQ(index[2].name, "HD1234    ");
  EXPECT_EQ(index[3].name, "STARC     ");
  EXPECT_EQ(index[0].ra, 187.5f);
  EXPECT_EQ(index[0].dec, -10.5f);
  EXPECT_EQ(index[2].ra, 187.5f);
  EXPECT_EQ(index[3].ra, 360.0f);
  EXPECT_EQ(index[3].dec, 90.0f);
}

TEST(GoldenBuild, AlternateNameWithoutPrefix) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", joinLines({kStarLines[0]})));
  def.settings.prefalt = false;
  RecordingUi ui;
  ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(def).completed);
  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(reader.header().indexNameLength, 9);
  EXPECT_FALSE(reader.header().prefixAltNames);
  auto index = reader.readIndex();
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[0].name, "BD+1234  ");
  EXPECT_EQ(index[1].name, "HD1234   ");
}

TEST(GoldenBuild, AlternateNamesLeftOutWithoutAltIndex) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", joinLines({kStarLines[0]})));
  def.settings.altindex = false;
  RecordingUi ui;
  ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(def).completed);
  auto index = CatalogReader(dir.str() + "/out", {}, FileSystem::real()).readIndex();
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].name, "HD1234   ");
}

// The same lines ended by CR LF or by CR alone give the same catalog.
TEST(GoldenBuild, LineEndsOfEachConventionGiveTheSameCatalog) {
  TempDir dir;
  std::string lf, crlf, cr;
  for (const std::string& l : kStarLines) {
    lf += l + "\n";
    crlf += l + "\r\n";
    cr += l + "\r";
  }
  const std::pair<int, std::string> inputs[] = {{1, lf}, {2, crlf}, {0, cr}};
  std::vector<std::string> regions32, indexes, logs;
  for (const auto& [eol, text] : inputs) {
    const std::string name = "eol" + std::to_string(eol);
    CatalogDefinition def = starsDefinition(dir, dir.write(name + ".txt", text));
    def.settings.eol = eol;
    def.settings.ouputdir = dir.str() + "/" + name;
    RecordingUi ui;
    BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.linesRead, 7) << "eol " << eol;
    EXPECT_EQ(r.recordsWritten, 4) << "eol " << eol;
    regions32.push_back(dir.read(name + "/str32.dat"));
    indexes.push_back(dir.read(name + "/str.idx"));
    logs.push_back(dir.read(name + "/reject.txt"));
  }
  EXPECT_EQ(regions32[1], regions32[0]);
  EXPECT_EQ(regions32[2], regions32[0]);
  EXPECT_EQ(indexes[1], indexes[0]);
  EXPECT_EQ(indexes[2], indexes[0]);
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_EQ(logs[2], logs[0]);
}

TEST(GoldenBuild, ShortNameWithALeadingBlankNamesTheFiles) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", joinLines({kStarLines[0]})));
  def.settings.shortname = " X";
  RecordingUi ui;
  ASSERT_TRUE(BuildPipeline(ui, FileSystem::real()).run(def).completed);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path() / "out")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 52u);
  EXPECT_EQ(names.front(), "x.hdr");
  EXPECT_EQ(names[1], "x.idx");
  EXPECT_EQ(names[2], "x01.dat");
  EXPECT_EQ(names.back(), "x50.dat");
  EXPECT_EQ(dir.read("out/x.hdr").substr(12, 4), " X  ");
}

// ---------------------------------------------------------------------------
// Variable stars: decimal hours, south polar distance, 184 regions.
// List positions: 0 RA, 1 SPD, 2 ID, 3 mMax, 4 mMin, 5 P, 6 T, 7 Mepoch,
// 8 rise, 9 sp, 10 band, 11 desc, 12-21 String 1-10, 22-31 Numeric 1-10.
TEST(GoldenBuild, VariableStars) {
  TempDir dir;
  const std::vector<std::string> lines = {
      columns({{1, "12.5"}, {10, "100.5"}, {19, "RR Lyr"}, {26, "7.06"}, {32, "abc"}, {38, "1.5e2"}, {46, "EA"},
               {51, "2451545.0"}, {62, "10"}, {67, "xy"}, {71, "-2.5"}}),
      "",  // SPD 0: the south pole, accepted
      columns({{1, "24"}, {10, "120"}, {19, "V 1"}}),
      columns({{1, "24.00001"}, {10, "90"}}),  // RA past 360
      columns({{1, "-1"}, {10, "90"}}),        // RA below 0
      columns({{1, "1"}, {10, "181"}}),        // DEC 91
  };
  CatalogDefinition def;
  def.setType(1);
  def.setRaType(1);
  def.setDecType(2);
  BuildSettings& s = def.settings;
  s.shortname = "VAR";
  s.longname = "Golden variables";
  s.inputfiles = {dir.write("var.txt", joinLines(lines))};
  s.eol = 1;
  s.ouputdir = dir.str() + "/out";
  s.numfile = 1;
  s.equinox = 1950;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 5);
  setSlot(def, 4, 32, 5);
  setSlot(def, 5, 38, 7);
  setSlot(def, 6, 46, 4);
  setSlot(def, 7, 51, 10);
  setSlot(def, 8, 62, 4);
  def.fieldSlots[8].calcA = 2;
  def.fieldSlots[8].calcB = 1;
  setSlot(def, 14, 67, 3);  // String 3
  setSlot(def, 23, 71, 6);  // Numeric 2

  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.recordsWritten, 3);
  EXPECT_EQ(r.linesRejected, 3);
  EXPECT_EQ(dir.read("out/reject.txt"), lines[3] + "\r\n" + lines[4] + "\r\n" + lines[5] + "\r\n");

  const std::string h = headerBytes(dir.str() + "/out/var.hdr");
  EXPECT_EQ(h.substr(4, 8), "ORVVAR 1");
  EXPECT_EQ(h.substr(66, 8), le32(39) + le32(184));
  EXPECT_EQ(h.substr(74, 8), std::string("\0\0\0\0\0\x78\x9E\x40", 8));  // 1950.0
  EXPECT_EQ(h.substr(98, 18), std::string(16, '\0') + "\x01\x06");
  EXPECT_EQ(int32sAt(h, 206, 35),
            zerosExcept({{1, 1}, {2, 5}, {3, 9}, {4, 15}, {5, 17}, {6, 19}, {7, 23}, {8, 27}, {9, 31}, {18, 33},
                         {27, 36}}));
  EXPECT_EQ(int32sAt(h, 426, 35),
            zerosExcept({{1, 4}, {2, 4}, {3, 6}, {4, 2}, {5, 2}, {6, 4}, {7, 4}, {8, 4}, {9, 2}, {18, 3}, {27, 4}}));
  // Ten type labels: field 12 "desc", 13 and 14 blank, 15 "desc" again.
  EXPECT_EQ(h.substr(646 + 11 * 11, 44), "desc       " + std::string(22, ' ') + "desc       ");

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  // 184 regions: DEC 10.5 is zone 0..15 (first 1, 24 columns of 15 degrees).
  auto rr = reader.readRegion(13);
  ASSERT_EQ(rr.size(), 1u);
  EXPECT_EQ(rr[0], le32(675'000'000) + le32(361'800'000) + "RR Lyr" + le16(7060) + le16(32767) + f32(150.0f) +
                       "EA  " + f32(2451545.0f) + le16(2100) + "xy " + f32(-2.5f));

  // The south pole: zone -90..-75 starts at region 182.
  auto pole = reader.readRegion(182);
  ASSERT_EQ(pole.size(), 1u);
  EXPECT_EQ(storedRa(pole[0]), 0);
  EXPECT_EQ(storedDec(pole[0]), 0);
  auto f = reader.decode(pole[0]);
  EXPECT_EQ(intOf(f, 4), 32767);
  EXPECT_EQ(intOf(f, 9), 0);  // the missing value skips the formula (not (2*0+1)*100)

  // RA 360 at DEC 30: last column of zone 30..45 (first 47, 19 columns).
  auto edge = reader.readRegion(65);
  ASSERT_EQ(edge.size(), 1u);
  EXPECT_EQ(storedRa(edge[0]), 1'296'000'000);
  EXPECT_EQ(storedDec(edge[0]), 432'000'000);
  EXPECT_EQ(testing::totalRecords(reader), 3);

  auto index = reader.readIndex();
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[0].name, "RRLYR ");
  EXPECT_EQ(index[1].name, "V1    ");
}

// ---------------------------------------------------------------------------
// Double stars: RA degrees/minutes/seconds, signed DEC, 732 regions in zone
// directories. List positions: 0-2 RA, 3 sign, 4-6 DEC, 7 ID, 8 m1, 9 m2,
// 10 sep, 11 pa, 12 date, 13 Comp, 14 sp, 15 sp, 16 desc, 17-26 String 1-10,
// 27-36 Numeric 1-10.
TEST(GoldenBuild, DoubleStarsInZoneDirectories) {
  TempDir dir;
  const std::vector<std::string> lines = {
      columns({{1, "187"}, {5, "30"}, {8, "00.0"}, {13, "-"}, {14, "10"}, {17, "30"}, {20, "00"}, {23, "STF 1"},
               {31, "99"}, {43, "1.25"}, {49, "2.5"}, {54, "AB"}, {58, "abc"}, {63, "x"}}),
      columns({{1, "1"}, {5, "0"}, {8, "0"}, {13, "+"}, {14, "10"}, {23, "STF 2"}, {31, "-40"}, {43, "3.5"},
               {49, "3.5"}}),
      columns({{1, "10"}, {13, "-"}, {14, " 0"}, {17, "30"}, {23, "STF 3"}, {31, "6.5"}}),
  };
  CatalogDefinition def;
  def.setType(2);
  def.setRaType(2);
  def.setDecType(0);
  BuildSettings& s = def.settings;
  s.shortname = "Dbl";
  s.longname = "Golden doubles";
  s.inputfiles = {dir.write("dbl.txt", joinLines(lines))};
  s.eol = 1;
  s.ouputdir = dir.str() + "/out";
  s.numfile = 2;
  setSlot(def, 0, 1, 3);
  setSlot(def, 1, 5, 2);
  setSlot(def, 2, 8, 4);
  setSlot(def, 3, 13, 1);
  setSlot(def, 4, 14, 2);
  setSlot(def, 5, 17, 2);
  setSlot(def, 6, 20, 2);
  setSlot(def, 7, 23, 7);
  setSlot(def, 8, 31, 5);
  setSlot(def, 9, 37, 5);
  setSlot(def, 10, 43, 5);
  setSlot(def, 11, 49, 4);
  setSlot(def, 13, 54, 3);
  setSlot(def, 17, 58, 4);
  setSlot(def, 27, 63, 4);

  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.recordsWritten, 3);
  EXPECT_EQ(r.linesRejected, 0);

  const std::string h = headerBytes(dir.str() + "/out/dbl.hdr");
  EXPECT_EQ(h.substr(4, 8), "ORVDBL 1");
  EXPECT_EQ(h.substr(66, 8), le32(34) + le32(732));
  EXPECT_EQ(int32sAt(h, 206, 35),
            zerosExcept({{1, 1}, {2, 5}, {3, 9}, {4, 16}, {5, 18}, {6, 20}, {7, 22}, {9, 24}, {16, 27}, {26, 31}}));
  EXPECT_EQ(int32sAt(h, 426, 35),
            zerosExcept({{1, 4}, {2, 4}, {3, 7}, {4, 2}, {5, 2}, {6, 2}, {7, 2}, {9, 3}, {16, 4}, {26, 4}}));

  for (const char* zone : {"N0000", "N0730", "N8230", "S0000", "S0730", "S8230"})
    EXPECT_TRUE(fs::is_directory(dir.path() / "out" / zone)) << zone;
  EXPECT_TRUE(fs::exists(dir.path() / "out" / "S8230" / "dbl732.dat"));

  // DEC -10.5 in zone -15..-7.5 (first 415, 47 columns): region 439.
  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(reader.regionPath(439), dir.str() + "/out/S0730/dbl439.dat");
  auto a = reader.readRegion(439);
  ASSERT_EQ(a.size(), 1u);
  // m1 99 clamped, m2 missing, sep 12.5 -> 12, pa 2.5 -> 2 (halves to even).
  EXPECT_EQ(a[0], le32(675'000'000) + le32(286'200'000) + "STF 1  " + le16(32767) + le16(32767) + le16(12) + le16(2) +
                      "AB " + "abc " + f32(0.0f));

  // Region 49, the first of zone 7.5..15, lies in N0730.
  EXPECT_EQ(TempDir::readFile(dir.str() + "/out/N0730/dbl049.dat").size(), 34u);
  auto f = reader.decode(reader.readRegion(49)[0]);
  EXPECT_EQ(intOf(f, 4), -32768);
  EXPECT_EQ(intOf(f, 6), 35);
  EXPECT_EQ(intOf(f, 7), 4);  // 3.5 -> 4

  // DEC -0.5, RA 10: zone -7.5..0 (first 367, 48 columns of 7.5).
  auto c = reader.readRegion(368);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(reader.regionPath(368), dir.str() + "/out/S0000/dbl368.dat");
  f = reader.decode(c[0]);
  EXPECT_EQ(intOf(f, 7), -999);  // missing position angle
  EXPECT_EQ(intOf(f, 6), 0);
  EXPECT_EQ(storedDec(c[0]), 322'200'000);
  EXPECT_EQ(testing::totalRecords(reader), 3);
}

// ---------------------------------------------------------------------------
// Nebulae: decimal degrees, 9537 regions. List positions: 0 RA, 1 DEC, 2 ID,
// 3 NebTyp, 4 m, 5 sbr, 6 D, 7 D, 8 Unit, 9 pa, 10 rv, 11 class, 12 desc,
// 13-22 String 1-10, 23-32 Numeric 1-10.
TEST(GoldenBuild, NebulaeInSmallRegions) {
  TempDir dir;
  const std::vector<std::string> lines = {
      columns({{1, "187.5"}, {11, "-10.5"}, {21, "NGC 1"}, {30, "Gx"}, {36, "12.3"}, {42, "1.5"}, {48, "s"},
               {56, "Sb"}, {63, "-1e-2"}}),
      columns({{1, "0"}, {11, "0.0001"}, {21, "NGC 2"}, {30, "C"}}),
      columns({{1, "1"}, {11, "-1"}, {21, "NGC 3"}, {30, "gx"}, {48, "d"}, {51, "45"}}),
      columns({{1, "360"}, {11, "0"}, {21, "NGC 4"}, {30, "?"}, {48, "x"}}),
      columns({{1, "6"}, {11, "6"}, {21, "NGC 5"}, {30, "-"}, {48, "m"}}),
      columns({{1, "360.0001"}, {11, "5"}, {21, "NGC 6"}}),  // refused
      columns({{1, "0"}, {11, "0"}, {21, "NGC 7"}}),         // refused
      columns({{1, "10"}, {11, "90"}, {21, "NGC 8"}, {30, "**"}}),
  };
  CatalogDefinition def;
  def.setType(3);
  def.setRaType(3);
  def.setDecType(1);
  BuildSettings& s = def.settings;
  s.shortname = "neb";
  s.longname = "Golden nebulae";
  s.inputfiles = {dir.write("neb.txt", joinLines(lines))};
  s.eol = 1;
  s.ouputdir = dir.str() + "/out";
  s.numfile = 3;
  s.nebsize = 2;
  s.nebunit = 2;
  s.nebtype = 2;  // Open Cluster, code 2
  s.neblog = true;
  setSlot(def, 0, 1, 9);
  setSlot(def, 1, 11, 9);
  setSlot(def, 2, 21, 8);
  setSlot(def, 3, 30, 5);
  setSlot(def, 4, 36, 5);
  setSlot(def, 6, 42, 5);
  setSlot(def, 8, 48, 2);
  setSlot(def, 9, 51, 4);
  setSlot(def, 11, 56, 6);
  setSlot(def, 23, 63, 6);

  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.recordsWritten, 6);
  EXPECT_EQ(r.linesRejected, 2);

  const std::string h = headerBytes(dir.str() + "/out/neb.hdr");
  EXPECT_EQ(h.substr(4, 8), "ORVNEB 1");
  EXPECT_EQ(h.substr(66, 8), le32(37) + le32(9537));
  EXPECT_EQ(h.substr(98, 16), le32(2) + le32(3600) + le32(2) + le32(1));
  EXPECT_EQ(int32sAt(h, 206, 35),
            zerosExcept({{1, 1}, {2, 5}, {3, 9}, {4, 17}, {5, 18}, {7, 20}, {9, 24}, {10, 26}, {12, 28}, {26, 34}}));
  EXPECT_EQ(int32sAt(h, 426, 35),
            zerosExcept({{1, 4}, {2, 4}, {3, 8}, {4, 1}, {5, 2}, {7, 4}, {9, 2}, {10, 2}, {12, 6}, {26, 4}}));

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  // DEC -10.5, RA 187.5: large region 439 (n 3, first small region 5526),
  // row 1 from the -7.5 edge, column 1.
  EXPECT_EQ(reader.regionPath(5530), dir.str() + "/out/S0730/neb5530.dat");
  auto a = reader.readRegion(5530);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0], le32(675'000'000) + le32(286'200'000) + "NGC 1   " + "\x01" + le16(12300) + f32(1.5f) +
                      le16(3600) + le16(32767) + "Sb    " + f32(-0.01f));

  auto b = reader.readRegion(1);  // RA 0, DEC 0.0001
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(reader.regionPath(1), dir.str() + "/out/N0000/neb0001.dat");
  EXPECT_EQ(storedRa(b[0]), 0);
  EXPECT_EQ(storedDec(b[0]), 324'000'360);
  auto f = reader.decode(b[0]);
  EXPECT_EQ(intOf(f, 4), 2);   // "C" is in the Open Cluster row
  EXPECT_EQ(intOf(f, 9), 60);  // blank unit
  EXPECT_EQ(intOf(f, 5), 32767);

  auto c = reader.readRegion(4663);  // DEC -1, RA 1
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(reader.regionPath(4663), dir.str() + "/out/S0000/neb4663.dat");
  f = reader.decode(c[0]);
  EXPECT_EQ(intOf(f, 4), 255);  // "gx": lookups are case-sensitive
  EXPECT_EQ(intOf(f, 9), 1);
  EXPECT_EQ(intOf(f, 10), 45);

  // RA 360 at DEC 0: large region 48 (n 3, first 585), last column.
  auto d = reader.readRegion(587);
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(storedRa(d[0]), 1'296'000'000);
  f = reader.decode(d[0]);
  EXPECT_EQ(intOf(f, 4), 0);    // "?" is Unknow
  EXPECT_EQ(intOf(f, 9), 60);   // "x" matches no unit

  auto e = reader.readRegion(9);  // DEC 6, RA 6: row 2, column 2 of region 1
  ASSERT_EQ(e.size(), 1u);
  f = reader.decode(e[0]);
  EXPECT_EQ(intOf(f, 4), 255);  // "-" is Non Existant, code -1
  EXPECT_EQ(intOf(f, 9), 60);

  // DEC 90, RA 10: large region 364 (n 4, first 4615), top row, column 0.
  auto pole = reader.readRegion(4627);
  ASSERT_EQ(pole.size(), 1u);
  EXPECT_EQ(reader.regionPath(4627), dir.str() + "/out/N8230/neb4627.dat");
  EXPECT_EQ(storedDec(pole[0]), 648'000'000);
  EXPECT_EQ(intOf(reader.decode(pole[0]), 4), 9);  // "**" lies in "***,3STAR,"

  EXPECT_EQ(testing::totalRecords(reader), 6);
  EXPECT_EQ(reader.readIndex().size(), 6u);
}

// ---------------------------------------------------------------------------
// Nebula outlines: decimal degrees, one region, no index, no sort.
// List positions: 0 RA, 1 DEC, 2 ID, 3 LineOp, 4 LineWidth, 5 LineColor,
// 6 Drawing, 7 desc, 8-17 String 1-10, 18-27 Numeric 1-10.
TEST(GoldenBuild, OutlinesKeepInputOrderInOneFile) {
  TempDir dir;
  const std::vector<std::string> lines = {
      columns({{1, "83.8"}, {10, "-5.4"}, {19, "M42"}, {26, "start"}, {33, "3"}, {37, "R"}, {43, "2"},
               {45, "Orion"}}),
      columns({{1, "84.0"}, {10, "-5.4"}}),
      columns({{1, "84.0"}, {10, "-5.0"}, {26, "vertex"}, {33, "300"}, {37, "G"}, {43, "0"}}),
      columns({{1, "83.9"}, {10, "-5.0"}, {26, "x"}, {37, "0"}}),
      columns({{1, "83.8"}, {10, "-5.4"}, {26, "end"}, {37, "Pink"}}),
      columns({{1, "83.8"}, {10, "-5.4"}, {26, "stop"}, {33, "-1"}}),
  };
  CatalogDefinition def;
  def.setType(4);
  def.setRaType(3);
  def.setDecType(1);
  BuildSettings& s = def.settings;
  s.shortname = "Lin";
  s.longname = "Golden outlines";
  s.inputfiles = {dir.write("lin.txt", joinLines(lines))};
  s.eol = 1;
  s.ouputdir = dir.str() + "/out";
  s.numfile = 2;      // not offered for outlines
  s.index = true;     // neither is the index
  s.linewidth = 2;
  s.linecolor = 65280;
  s.closedline = true;
  s.drawingtype = 1;
  setSlot(def, 0, 1, 8);
  setSlot(def, 1, 10, 8);
  setSlot(def, 2, 19, 6);
  setSlot(def, 3, 26, 6);
  setSlot(def, 4, 33, 3);
  setSlot(def, 5, 37, 5);
  setSlot(def, 6, 43, 1);
  setSlot(def, 7, 45, 10);

  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.recordsWritten, 6);
  for (const std::string& caption : ui.captions) {
    EXPECT_NE(caption, "Sorting files by magnitude");
    EXPECT_NE(caption, "Sorting the index file ");
  }

  const std::string h = headerBytes(dir.str() + "/out/lin.hdr");
  EXPECT_EQ(h.substr(4, 8), "ORVLINE1");
  EXPECT_EQ(h.substr(66, 8), le32(31) + le32(1));
  EXPECT_EQ(h.substr(98, 18), le32(2) + le32(65280) + le32(1) + le32(1) + std::string("\0\x06", 2));
  EXPECT_EQ(int32sAt(h, 206, 35), zerosExcept({{1, 1}, {2, 5}, {3, 9}, {4, 15}, {5, 16}, {6, 17}, {7, 21}, {8, 22}}));

  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir.path() / "out")) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"lin.dat", "lin.hdr"}));

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  auto recs = reader.readRegion(1);
  ASSERT_EQ(recs.size(), 6u);
  auto byte = [](int v) { return std::string(1, static_cast<char>(v)); };
  // ID, LineOp, LineWidth, LineColor, Drawing, desc.
  EXPECT_EQ(recs[0], le32(301'680'000) + le32(304'560'000) + "M42   " + byte(0) + byte(3) + le32(255) + byte(2) +
                         "Orion     ");
  // Blank columns: Draw line, width 1, white (a blank matches no colour), drawing 1.
  EXPECT_EQ(recs[1], le32(302'400'000) + le32(304'560'000) + "      " + byte(2) + byte(1) + le32(16777215) +
                         byte(1) + "          ");
  // "vertex"; 300 keeps its low 8 bits; "G" ends "LG", the LightGray row.
  EXPECT_EQ(recs[2].substr(14, 7), byte(2) + byte(44) + le32(12632256) + byte(0));
  // "x" ends "vertex"; "0" ends "10", the Turquoise row.
  EXPECT_EQ(recs[3].substr(14, 7), byte(2) + byte(1) + le32(16776960) + byte(1));
  EXPECT_EQ(recs[4].substr(14, 7), byte(1) + byte(1) + le32(16777215) + byte(1));
  // "stop" matches no operation: -1 stored as a byte; width -1 likewise.
  EXPECT_EQ(recs[5].substr(14, 2), byte(255) + byte(255));
}


// ---------------------------------------------------------------------------
// The build around the records: checkpoints, append, the reject log.

// Counts what happens while a given input file is being converted.
class CheckpointUi : public RecordingUi {
 public:
  int checkpoints = 0;
  std::vector<std::int64_t> positions;
  void setStagePosition(std::int64_t p) override {
    RecordingUi::setStagePosition(p);
    if (converting()) positions.push_back(p);
  }
  void processEvents() override {
    if (converting()) ++checkpoints;
    RecordingUi::processEvents();
  }
  bool converting() const {
    return !captions.empty() && captions.back().rfind("Convert catalog file /", 0) == 0;
  }
};

std::string repeatedStar(int lines) {
  const std::string line =
      columns({{1, "01"}, {4, "00"}, {7, "00.0"}, {12, "+"}, {13, "45"}, {17, "00"}, {20, "00"}, {33, "6.0"}}) + "\n";
  std::string text;
  for (int i = 0; i < lines; ++i) text += line;
  return text;
}

TEST(GoldenBuild, FileOf2500LinesHasTwoCheckpoints) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", repeatedStar(2500)));
  CheckpointUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.recordsWritten, 2500);
  EXPECT_EQ(ui.checkpoints, 2);
  EXPECT_EQ(ui.positions.size(), 2u);
}

TEST(GoldenBuild, LineCounterStartsAgainInEachFile) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("a.txt", repeatedStar(1500)));
  def.settings.inputfiles.push_back(dir.write("b.txt", repeatedStar(1500)));
  CheckpointUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_EQ(r.recordsWritten, 3000);
  EXPECT_EQ(ui.checkpoints, 2);  // line 1000 of each file, not lines 1000, 2000 and 3000 overall
}

TEST(GoldenBuild, AbortSeenAtTheSecondCheckpoint) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", repeatedStar(2500)));
  CheckpointUi ui;
  BuildPipeline pipeline(ui, FileSystem::real());
  // Pressed while line 1000 is being handled: the flag was already tested
  // there, so the build stops before line 2000.
  ui.onProcessEvents = [&] {
    if (ui.converting()) pipeline.requestAbort();
  };
  try {
    pipeline.run(def);
    FAIL() << "expected the build to stop";
  } catch (const AbortError& e) {
    EXPECT_STREQ(e.what(), "Aborted by user");
  }
  EXPECT_EQ(ui.checkpoints, 1);
  EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
}

// Abort pressed when a stage begins is seen at that stage's first test point.
TEST(GoldenBuild, AbortBeforeRegionFilesOrSorts) {
  TempDir dir;
  const std::string input = dir.write("stars.txt", joinLines(kStarLines) + joinLines({kStarLines[0]}));
  for (const std::string stage : {"Create files", "Sorting files by magnitude"}) {
    CatalogDefinition def = starsDefinition(dir, input);
    def.settings.ouputdir = dir.str() + "/" + (stage[0] == 'C' ? "create" : "sort");
    RecordingUi ui;
    BuildPipeline pipeline(ui, FileSystem::real());
    ui.onProcessEvents = [&] {
      if (ui.captions.back() == stage) pipeline.requestAbort();
    };
    EXPECT_THROW(pipeline.run(def), AbortError) << stage;
    EXPECT_EQ(ui.hidden, 1);
    EXPECT_TRUE(fs::is_empty(def.settings.ouputdir)) << stage;
  }
}

TEST(GoldenBuild, AppendAddsRecordsAndReplacesTheHeader) {
  TempDir dir;
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", joinLines(kStarLines)));
  RecordingUi first;
  ASSERT_TRUE(BuildPipeline(first, FileSystem::real()).run(def).completed);

  def.settings.append = true;
  def.settings.longname = "Appended";
  def.settings.inputfiles = {dir.write("more.txt", joinLines({kStarLines[0], kStarLines[2]}))};
  RecordingUi second;
  BuildResult r = BuildPipeline(second, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  ASSERT_EQ(second.questions.size(), 1u);
  EXPECT_EQ(r.recordsWritten, 2);

  CatalogReader reader(dir.str() + "/out", {}, FileSystem::real());
  EXPECT_EQ(reader.header().longName, "Appended" + std::string(42, ' '));
  EXPECT_EQ(reader.regionRecordCount(32), 2);
  EXPECT_EQ(reader.regionRecordCount(25), 2);
  EXPECT_EQ(reader.regionRecordCount(26), 1);
  EXPECT_EQ(testing::totalRecords(reader), 6);
  auto index = reader.readIndex();
  ASSERT_EQ(index.size(), 7u);
  EXPECT_EQ(index[0].name, "BDBD+1234 ");
  EXPECT_EQ(index[1].name, "BDBD+1234 ");
  EXPECT_EQ(index[6].name, "STARC     ");
  // No line of the second build was refused: the first build's log stays.
  EXPECT_EQ(dir.read("out/reject.txt"), kStarLines[3] + "\r\n" + kStarLines[4] + "\r\n" + kStarLines[5] + "\r\n");
}

TEST(GoldenBuild, BuildWithoutRefusedLinesLeavesAnOlderRejectLog) {
  TempDir dir;
  dir.write("out/reject.txt", "from an earlier build\r\n");
  CatalogDefinition def = starsDefinition(dir, dir.write("stars.txt", joinLines({kStarLines[0], kStarLines[1]})));
  RecordingUi ui;
  BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  ASSERT_TRUE(r.completed);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(r.rejectLogPath.empty());
  EXPECT_EQ(dir.read("out/reject.txt"), "from an earlier build\r\n");

  def.settings.inputfiles = {dir.write("bad.txt", joinLines({kStarLines[3]}))};
  RecordingUi again;
  ASSERT_TRUE(BuildPipeline(again, FileSystem::real()).run(def).completed);
  EXPECT_EQ(dir.read("out/reject.txt"), kStarLines[3] + "\r\n");
  ASSERT_EQ(again.messages.size(), 1u);
  EXPECT_EQ(again.messages[0], "Some records where rejected, see file " + dir.str() + "/out/reject.txt for details");
}

}  // namespace
}  // namespace mirdal
