#include "catalog/project_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

using testing::errorOf;
using testing::TempDir;

void expectSameDefinition(const CatalogDefinition& a, const CatalogDefinition& b) {
  EXPECT_EQ(a.settings, b.settings);
  EXPECT_EQ(a.fields().type(), b.fields().type());
  EXPECT_EQ(a.fields().raType(), b.fields().raType());
  EXPECT_EQ(a.fields().decType(), b.fields().decType());
  for (int p = 0; p < kMaxFieldListSize; ++p) EXPECT_EQ(a.ticked(p), b.ticked(p)) << "position " << p;
  for (int k = 1; k <= kLabelCount; ++k) EXPECT_EQ(a.label(k), b.label(k)) << "label " << k;
  EXPECT_EQ(a.fieldSlots, b.fieldSlots);
  EXPECT_EQ(a.fieldNames, b.fieldNames);
  EXPECT_EQ(a.altNames, b.altNames);
  EXPECT_EQ(a.tables, b.tables);
}

// Every setting away from its default, with values of at most 15 significant digits.
CatalogDefinition richDefinition() {
  CatalogDefinition d;
  d.setType(3);
  d.setRaType(2);
  BuildSettings& s = d.settings;
  s.shortname = "ngc";
  s.longname = "New General Catalogue";
  s.inputfiles = {"/data/ngc 1.dat", "/data/ic.dat"};
  s.eol = 1;
  s.equinox = 1950;
  s.epoch = 2000.5;
  s.magmax = 15.25;
  s.nebsize = 30;
  s.nebunit = 2;
  s.nebtype = 16;
  s.neblog = true;
  s.linewidth = 3;
  s.linecolor = 0x123456;
  s.drawingtype = 1;
  s.closedline = false;
  s.numfile = 2;
  s.ouputdir = "/out/ngc/";
  s.index = false;
  s.altindex = true;
  s.prefalt = false;
  s.append = true;
  for (int p : {0, 4, 8, 18, 37}) d.setTicked(p, true);
  d.setLabel(3, "NGC");
  d.setLabel(34, "extra");
  for (int n = 0; n < kSlotCount; ++n)
    d.fieldSlots[static_cast<std::size_t>(n)] = {n + 1, n % 5, 1.0 + n * 0.25, -n * 0.125};
  d.fieldSlots[3].calcB = -2.5e-7;
  d.fieldSlots[4].calcA = 6.02214076e23;
  d.altNames[0] = 1;
  d.altNames[9] = 1;
  d.tables.objectTypes[0] = "Gx, GALXY";
  d.tables.sizeUnits[1] = "m,' ";
  d.tables.lineOperations[3] = "later";
  d.tables.colourStringsHidden[2] = "hidden";
  d.tables.colours[4] = 0xC0CBFF;
  return d;
}

std::string saveToText(const CatalogDefinition& d) {
  TempDir dir;
  std::string path = dir.str() + "/p.prj";
  saveProject(path, d, FileSystem::real());
  return TempDir::readFile(path);
}

CatalogDefinition loadText(const std::string& text, CatalogDefinition d = CatalogDefinition()) {
  TempDir dir;
  loadProject(dir.write("p.prj", text), d, FileSystem::real());
  return d;
}

TEST(ProjectFile, DefaultProjectBytes) {
  CatalogDefinition d;
  d.settings.ouputdir = "/home/u/testcat";
  std::string text = saveToText(d);
  EXPECT_EQ(text.substr(0, text.find("[Page3]")),
            "[Page1]\r\ntype=0\r\nshortname=\r\nlongname=\r\nnumfiles=0\r\neol=2\r\n"
            "[Page2]\r\nratype=0\r\ndectype=0\r\nequinox=2000\r\nepoch=2000\r\nmagmax=12\r\nnebsize=1\r\n"
            "nebunit=1\r\nnebtype=14\r\nneblog=0\r\nlinewidth=1\r\nlinecolor=16777215\r\ndrawingtype=0\r\n"
            "closedline=1\r\n");
  std::string page3 = text.substr(text.find("[Page3]"), text.find("[Page4]") - text.find("[Page3]"));
  const std::string page3Start = "[Page3]\r\nnumitem=38\r\nfield0=0\r\nfield1=0\r\n";
  EXPECT_EQ(page3.substr(0, page3Start.size()), page3Start);
  EXPECT_NE(page3.find("\r\nfield37=0\r\nlabel1=RA\r\nlabel2=DEC\r\nlabel3=Id\r\nlabel4=mV\r\n"), std::string::npos);
  EXPECT_NE(page3.find("\r\nlabel33=Num10\r\nlabel34=\r\nlabel35=\r\n"
                       "fieldindex0=0\r\nfieldlength0=0\r\ncalcA0=1\r\ncalcB0=0\r\nfieldindex1=0\r\n"),
            std::string::npos);
  EXPECT_NE(page3.find("\r\ncalcB40=0\r\naltname1=0\r\n"), std::string::npos);
  EXPECT_EQ(std::count(page3.begin(), page3.end(), '\n'), 1 + 1 + 38 + 35 + 4 * 41 + 10);
  EXPECT_EQ(text.substr(text.find("[Page4]")),
            "[Page4]\r\nnumfile=0\r\nouputdir=/home/u/testcat\r\nindex=1\r\naltindex=0\r\nprefalt=1\r\nappend=0\r\n"
            "[Page5]\r\nnebtype1=Gx,GALXY,QUASR\r\nnebtype2=GALCL\r\nnebtype3=OC,OPNCL,LMCOC,SMCOC\r\n"
            "nebtype4=Gb,GLOCL,GX+GC,LMCGC,SMCGC\r\nnebtype5=Pl,PLNNB\r\nnebtype6=Nb,BRTNB,GX+DN,LMCDN,SMCDN,SNREM\r\n"
            "nebtype7=Drk,DRKNB\r\nnebtype8=C+N,CL+NB,G+C+N,LMCCN,SMCCN\r\nnebtype9=Kt\r\nnebtype10=*,1STAR\r\n"
            "nebtype11=D*,2STAR\r\nnebtype12=***,3STAR\r\nnebtype13=Ast,ASTER,4STAR,5STAR,6STAR,7STAR,8STAR\r\n"
            "nebtype14=-,PD,NONEX\r\nnebtype15=\" ,?\"\r\nunit1=d,\xB0\r\nunit2=m,'\r\nunit3=s,\"\r\n"
            "[Page6]\r\nlinetype1=start,0\r\nlinetype2=end,1\r\nlinetype3=vertex, ,2\r\nlinetype4=\r\n"
            "[Page7]\r\ncolorstr1=\r\ncolorstr2=\r\ncolorstr3=\r\ncolorstr4=\r\ncolorstr5=\r\ncolorstr6=\r\n"
            "colorstr7=\r\ncolorstr8=\r\ncolorstr9=\r\ncolorstr10=\r\n"
            "color1=16777215\r\ncolor2=12632256\r\ncolor3=8421504\r\ncolor4=3158064\r\ncolor5=255\r\n"
            "color6=65280\r\ncolor7=65535\r\ncolor8=16711680\r\ncolor9=16711935\r\ncolor10=16776960\r\n");
}

TEST(ProjectFile, SaveLoadSaveGivesIdenticalBytes) {
  CatalogDefinition rich = richDefinition();
  std::string first = saveToText(rich);
  CatalogDefinition loaded = loadText(first);
  expectSameDefinition(loaded, rich);
  EXPECT_EQ(saveToText(loaded), first);
  EXPECT_NE(first.find("\r\ninputfiles0=/data/ngc 1.dat\r\ninputfiles1=/data/ic.dat\r\n"), std::string::npos);
  EXPECT_NE(first.find("\r\nunit2=\"m,' \"\r\n"), std::string::npos);
  EXPECT_NE(first.find("\r\nfield37=1\r\nlabel1=RA\r\n"), std::string::npos);
  EXPECT_NE(first.find("\r\ncalcA4=6.02214076E23\r\ncalcB4=-0.5\r\n"), std::string::npos);
  EXPECT_NE(first.find("\r\ncalcB3=-2.5E-7\r\n"), std::string::npos);
}

// The table keys came later: a fixed-column project neither writes nor
// needs them, other forms round-trip, and a form name that means nothing is
// refused rather than read as fixed columns.
TEST(ProjectFile, TableFormKeys) {
  const std::string fixedText = saveToText(CatalogDefinition());
  for (const char* key : {"format=", "headerrow=", "table=", "fieldname"})
    EXPECT_EQ(fixedText.find(key), std::string::npos) << key;

  CatalogDefinition csv = richDefinition();
  csv.settings.format = TableForm::VoTable;
  csv.settings.headerrow = true;
  csv.settings.table = "results";
  csv.fieldNames[0] = "RAdeg";
  csv.fieldNames[40] = "Vmag";
  const std::string text = saveToText(csv);
  EXPECT_NE(text.find("\r\nformat=votable\r\nheaderrow=1\r\ntable=results\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nfieldname0=RAdeg\r\n"), std::string::npos);
  expectSameDefinition(loadText(text), csv);

  CatalogDefinition before = loadText(text);
  EXPECT_EQ(loadText(fixedText, before).settings.format, TableForm::Fixed);
  EXPECT_EQ(loadText("[Page1]\r\ntype=0\r\nformat= CSV \r\n").settings.format, TableForm::Csv);
  EXPECT_NE(errorOf([] { loadText("[Page1]\r\ntype=0\r\nformat=xlsx\r\n"); }).find("format in [Page1] is \"xlsx\""),
            std::string::npos);
}

TEST(ProjectFile, SeventeenDigitValueIsStableAfterOneRoundTrip) {
  CatalogDefinition d;
  d.fieldSlots[40].calcA = 1.0 / 3.0;
  d.settings.magmax = 0.1 + 0.2;
  std::string first = saveToText(d);
  EXPECT_NE(first.find("\r\ncalcA40=0.333333333333333\r\n"), std::string::npos);
  EXPECT_NE(first.find("\r\nmagmax=0.3\r\n"), std::string::npos);
  EXPECT_EQ(saveToText(loadText(first)), first);
}

TEST(ProjectFile, KeysInAnotherCaseAndOrderLoadTheSame) {
  std::string canonical = saveToText(richDefinition());
  // Sections and their keys in reverse order, names upper-cased, blanks around
  // "=", unknown keys and blank lines between.
  std::vector<std::vector<std::string>> sections;
  std::size_t start = 0;
  while (start < canonical.size()) {
    std::size_t end = canonical.find("\r\n", start);
    std::string line = canonical.substr(start, end - start);
    start = end + 2;
    if (line.front() == '[') {
      sections.push_back({});
      std::transform(line.begin(), line.end(), line.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
      sections.back().push_back(line);
    } else {
      std::size_t eq = line.find('=');
      std::string key = line.substr(0, eq);
      std::transform(key.begin(), key.end(), key.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
      sections.back().push_back("  " + key + " = " + line.substr(eq + 1));
    }
  }
  std::string edited = "; edited by hand\n";
  for (auto s = sections.rbegin(); s != sections.rend(); ++s) {
    edited += (*s)[0] + "\n";
    edited += "unknown=1\n\n";
    for (std::size_t i = s->size() - 1; i >= 1; --i) edited += (*s)[i] + "\n";
  }
  expectSameDefinition(loadText(edited), loadText(canonical));
}

TEST(ProjectFile, SavingMovesTheEarlierFileToOld) {
  TempDir dir;
  std::string path = dir.write("mycat.prj", "[Page9]\r\nold=1\r\n");
  dir.write("mycat.prj.old", "older");
  saveProject(path, CatalogDefinition(), FileSystem::real());
  EXPECT_EQ(dir.read("mycat.prj.old"), "[Page9]\r\nold=1\r\n");
  std::string now = dir.read("mycat.prj");
  EXPECT_EQ(now.substr(0, 16), "[Page1]\r\ntype=0\r");
  EXPECT_EQ(now.find("Page9"), std::string::npos);
}

TEST(ProjectFile, SavingANewFileMakesNoOld) {
  TempDir dir;
  saveProject(dir.str() + "/new.prj", CatalogDefinition(), FileSystem::real());
  EXPECT_FALSE(FileSystem::real().exists(dir.str() + "/new.prj.old"));
}

TEST(ProjectFile, NumfilesThreeWithBlankSecondEntryLoadsTwoFiles) {
  CatalogDefinition d = loadText(
      "[Page1]\r\ntype=0\r\nnumfiles=3\r\ninputfiles0=/cat/a.dat\r\ninputfiles1=   \r\ninputfiles2=/cat/c.dat\r\n"
      "inputfiles3=/cat/beyond.dat\r\n");
  EXPECT_EQ(d.settings.inputfiles, (std::vector<std::string>{"/cat/a.dat", "/cat/c.dat"}));
}

TEST(ProjectFile, MissingNumfilesEmptiesTheFileList) {
  CatalogDefinition current;
  current.settings.inputfiles = {"/cat/a.dat"};
  CatalogDefinition d = loadText("[Page1]\r\ntype=0\r\ninputfiles0=/cat/b.dat\r\n", current);
  EXPECT_TRUE(d.settings.inputfiles.empty());
}

TEST(ProjectFile, DoubleStarsProjectOverStarsTicksTheDoubleStarList) {
  CatalogDefinition stars;
  stars.setTicked(0, true);
  stars.setLabel(5, "zz");
  CatalogDefinition d = loadText(
      "[Page1]\r\ntype=2\r\n[Page3]\r\nnumitem=37\r\nfield8=1\r\nfield10=1\r\nlabel4=A1\r\n", stars);
  EXPECT_EQ(d.type(), CatalogType::DoubleStars);
  ASSERT_EQ(d.fields().size(), 37);
  EXPECT_EQ(d.fields().entry(8).text, "[Magnitude component 1 (mag)]");
  EXPECT_TRUE(d.ticked(8));
  EXPECT_TRUE(d.ticked(10));
  EXPECT_FALSE(d.ticked(0));  // the rebuild cleared it and field0 is absent
  EXPECT_EQ(d.label(4), "A1");
  EXPECT_EQ(d.label(5), "m2");  // the rebuild restored it
}

TEST(ProjectFile, SameTypeKeepsTicksWhereFieldKeysAreMissing) {
  CatalogDefinition current;
  current.setTicked(0, true);
  current.setTicked(1, true);
  CatalogDefinition d = loadText("[Page1]\r\ntype=0\r\n[Page3]\r\nnumitem=38\r\nfield1=0\r\n", current);
  EXPECT_TRUE(d.ticked(0));
  EXPECT_FALSE(d.ticked(1));
}

TEST(ProjectFile, NoPage3ResetsCalibrationAndKeepsColumnsLabelsAndTicks) {
  CatalogDefinition current;
  for (auto& slot : current.fieldSlots) slot = {5, 3, 2.0, 7.0};
  current.setLabel(3, "HD");
  current.setTicked(8, true);
  current.altNames[2] = 1;
  CatalogDefinition d = loadText("[Page1]\r\ntype=0\r\n[Page2]\r\nequinox=1950\r\n", current);
  for (const FieldSlot& slot : d.fieldSlots) EXPECT_EQ(slot, (FieldSlot{5, 3, 1.0, 0.0}));
  EXPECT_EQ(d.label(3), "HD");
  EXPECT_TRUE(d.ticked(8));
  EXPECT_EQ(d.altNames[2], 1);
  EXPECT_EQ(d.settings.equinox, 1950);
}

TEST(ProjectFile, MissingKeysKeepCurrentValuesAndCells) {
  CatalogDefinition current = richDefinition();
  CatalogDefinition d = loadText("[Page1]\r\ntype=3\r\n[Page5]\r\nnebtype2=GCL\r\n", current);
  current.tables.objectTypes[1] = "GCL";
  current.settings.inputfiles.clear();  // numfiles falls back to 0
  for (auto& slot : current.fieldSlots) {  // calcA and calcB fall back to 1 and 0, columns stay
    slot.calcA = 1.0;
    slot.calcB = 0.0;
  }
  expectSameDefinition(d, current);
}

TEST(ProjectFile, ColourStringsOfTheBuildAreNotInTheFile) {
  CatalogDefinition d;
  d.tables.colourStrings[0] = "Weiss";
  d.tables.colourStringsHidden[0] = "col1";
  CatalogDefinition loaded = loadText(saveToText(d));
  EXPECT_EQ(loaded.tables.colourStrings[0], "White,W,1");
  EXPECT_EQ(loaded.tables.colourStringsHidden[0], "col1");
}

TEST(ProjectFile, NumbersInTheirWrittenForms) {
  CatalogDefinition d;
  d.settings.equinox = 2000;
  d.fieldSlots[0].calcA = 0.5;
  d.fieldSlots[0].calcB = 1e-5;
  d.fieldSlots[1].calcB = -1.5e20;
  d.fieldSlots[2].firstChar = -3;
  d.settings.linecolor = 0x0000FF;
  std::string text = saveToText(d);
  EXPECT_NE(text.find("\r\nequinox=2000\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\ncalcA0=0.5\r\ncalcB0=1E-5\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\ncalcB1=-1.5E20\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nfieldindex2=-3\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nlinecolor=255\r\n"), std::string::npos);
  CatalogDefinition loaded = loadText(text);
  EXPECT_EQ(loaded.settings.equinox, 2000);
  EXPECT_EQ(loaded.fieldSlots[0].calcA, 0.5);
  EXPECT_EQ(loaded.fieldSlots[0].calcB, 1e-5);
  EXPECT_EQ(loaded.fieldSlots[1].calcB, -1.5e20);
}

TEST(ProjectFile, NebunitTwoGivesUnitFactor3600) {
  CatalogDefinition d = loadText("[Page1]\r\ntype=0\r\n[Page2]\r\nnebunit=2\r\n");
  EXPECT_EQ(d.settings.nebunit, 2);
  EXPECT_EQ(d.unitFactor(), 3600);
}

TEST(ProjectFile, BooleansAreAnyNonZeroInteger) {
  CatalogDefinition current;
  current.settings.index = false;
  CatalogDefinition d = loadText(
      "[Page1]\r\ntype=0\r\n[Page2]\r\nneblog=5\r\nclosedline=yes\r\n[Page4]\r\nindex=0x1\r\nprefalt=0\r\naltindex=-1\r\n", current);
  EXPECT_TRUE(d.settings.neblog);
  EXPECT_TRUE(d.settings.closedline);  // not an integer: current value
  EXPECT_TRUE(d.settings.index);
  EXPECT_FALSE(d.settings.prefalt);
  EXPECT_TRUE(d.settings.altindex);
}

TEST(ProjectFile, HexadecimalIntegersAndQuotedValues) {
  CatalogDefinition d = loadText(
      "[Page2]\r\nnebsize=0x10\r\nlinecolor=0XFF00\r\n[Page3]\r\nfieldindex3=0x0A\r\n"
      "[Page1]\r\ntype=0\r\nlongname=\"  padded  \"\r\n[Page7]\r\ncolor5=0x00C0CBFF\r\n");
  EXPECT_EQ(d.settings.nebsize, 16);
  EXPECT_EQ(d.settings.linecolor, 0xFF00u);
  EXPECT_EQ(d.fieldSlots[3].firstChar, 10);
  EXPECT_EQ(d.settings.longname, "  padded  ");
  EXPECT_EQ(d.tables.colours[4], 0xC0CBFFu);
}

TEST(ProjectFile, OutOfRangeQuantitiesAreClamped) {
  std::string text =
      "[Page1]\r\ntype=4\r\nshortname=abcdefgh\r\nlongname=" + std::string(100, 'L') + "\r\neol=2\r\n"
      "[Page2]\r\nratype=3\r\ndectype=0\r\nnebsize=99999\r\nnebunit=-2\r\nnebtype=-1\r\nlinewidth=-5\r\n"
      "linecolor=-1\r\ndrawingtype=2\r\nequinox=2000y\r\nepoch=\r\nmagmax=1e\r\n"
      "[Page3]\r\nnumitem=1000\r\nfield29=1\r\nfield30=1\r\nfield31=1\r\nfield999=1\r\nlabel1=" + std::string(30, 'x') +
      "\r\nfieldindex0=-5\r\nfieldlength0=99999999999\r\nfieldindex1=99999999999999999999999\r\n"
      "fieldlength1=-99999999999999999999999\r\ncalcA0=n\r\ncalcB0=1e+\r\ncalcA1=-\r\ncalcB1=0x10\r\n"
      "altname1=257\r\naltname2=256\r\naltname3=2\r\naltname4=-1\r\n"
      "[Page4]\r\nnumfile=3\r\n[Page7]\r\ncolor2=0x1FFFFFFFF\r\ncolor3=-16777201\r\n";
  CatalogDefinition d = loadText(text);
  const BuildSettings& s = d.settings;
  EXPECT_EQ(s.type, 4);
  EXPECT_EQ(s.shortname, "abcd");
  EXPECT_EQ(s.longname, std::string(50, 'L'));
  EXPECT_EQ(s.eol, 2);
  EXPECT_EQ(s.ratype, 3);
  EXPECT_EQ(s.dectype, 0);
  ASSERT_EQ(d.fields().size(), 31);  // outlines, decimal degrees, d/m/s
  EXPECT_TRUE(d.ticked(29));
  EXPECT_TRUE(d.ticked(30));
  EXPECT_EQ(s.nebsize, 3600);
  // A negative drop-down selection is no selection: the defaults "Minute", "Unknow".
  EXPECT_EQ(s.nebunit, 1);
  EXPECT_EQ(s.nebtype, 14);
  EXPECT_EQ(s.linewidth, 0);
  EXPECT_EQ(s.linecolor, 0xFFFFFFu);
  EXPECT_EQ(s.drawingtype, 2);
  EXPECT_EQ(s.equinox, 2000);  // not numbers: current values
  EXPECT_EQ(s.epoch, 2000);
  EXPECT_EQ(s.magmax, 12);
  EXPECT_EQ(s.numfile, 3);
  EXPECT_EQ(d.label(1), std::string(10, 'x'));
  EXPECT_EQ(d.fieldSlots[0], (FieldSlot{0, kMaxSlotValue, 1.0, 0.0}));
  EXPECT_EQ(d.fieldSlots[1], (FieldSlot{kMaxSlotValue, 0, 1.0, 0.0}));
  EXPECT_EQ(d.altNames[0], 1);
  EXPECT_EQ(d.altNames[1], 0);
  EXPECT_EQ(d.altNames[2], 1);
  EXPECT_EQ(d.altNames[3], 1);
  EXPECT_EQ(d.tables.colours[1], 0xFFFFFFu);
  EXPECT_EQ(d.tables.colours[2], 0x00000Fu);
}

// An enumerated key names one of a list: a number outside it is refused with
// the key and the values there are, and the definition stays as it was,
// rather than become the nearest value (type=99 built outlines).
TEST(ProjectFile, EnumeratedKeysRefuseValuesOutsideTheirList) {
  const struct {
    std::string text;
    std::string expected;
  } rows[] = {
      {"[Page1]\r\ntype=99\r\n", "type in [Page1] is 99, which is none of 0 (stars), 1 (variable stars), 2 (double "
                                   "stars), 3 (nebulae), 4 (nebula outlines)"},
      {"[Page1]\r\ntype=-1\r\n", "type in [Page1] is -1, which is none of 0 (stars)"},
      {"[Page1]\r\ntype=0\r\neol=3\r\n", "eol in [Page1] is 3, which is none of 0 (CR), 1 (LF), 2 (CR LF)"},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\nratype=0x9\r\n", "ratype in [Page2] is 0x9, which is none of 0, 1, 2, 3"},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\ndectype=-4\r\n", "dectype in [Page2] is -4"},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\nratype=5\r\n", "ratype in [Page2] is 5, which is none of 0, 1, 2, 3, 4 ("},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\ndectype=4\r\n", "dectype in [Page2] is 4, which is none of 0, 1, 2, 3 ("},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\nnebunit=3\r\n", "nebunit in [Page2] is 3, which is none of 0 (degree)"},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\nnebtype=18\r\n", "nebtype in [Page2] is 18, which is none of 0 to 17"},
      {"[Page1]\r\ntype=0\r\n[Page2]\r\ndrawingtype=7\r\n", "drawingtype in [Page2] is 7"},
      {"[Page1]\r\ntype=0\r\n[Page4]\r\nnumfile=4\r\n", "numfile in [Page4] is 4, which is none of 0 (50 region "
                                                         "files), 1 (184), 2 (732), 3 (9537)"},
  };
  TempDir dir;
  const std::string path = dir.str() + "/p.prj";
  for (const auto& row : rows) {
    dir.write("p.prj", row.text);
    CatalogDefinition d;
    d.setType(2);
    const std::string error = errorOf([&] { loadProject(path, d, FileSystem::real()); });
    EXPECT_EQ(error.find("\"" + path + "\": the value of "), 0u) << row.text << ": " << error;
    EXPECT_NE(error.find(row.expected), std::string::npos) << error;
    EXPECT_EQ(d.settings.type, 2) << row.text;
  }
  // The ends of each list, and -1 for a drop-down list's default, are values.
  CatalogDefinition d = loadText("[Page1]\r\ntype=4\r\neol=0\r\n[Page2]\r\nratype=4\r\ndectype=3\r\nnebunit=-1\r\n"
                                 "nebtype=17\r\ndrawingtype=2\r\n[Page4]\r\nnumfile=3\r\n");
  EXPECT_EQ(d.settings.type, 4);
  EXPECT_EQ(d.settings.ratype, 4);
  EXPECT_EQ(d.settings.dectype, 3);
  EXPECT_EQ(d.settings.nebunit, 1);
  EXPECT_EQ(d.settings.nebtype, 17);
  EXPECT_EQ(d.settings.numfile, 3);
}

TEST(ProjectFile, HugeNumfilesIsBounded) {
  EXPECT_NE(errorOf([] {
              loadText("[Page1]\r\ntype=0\r\nnumfiles=2147483647\r\ninputfiles99999=/last.dat\r\n");
            }).find("numfiles in [Page1] is 2147483647, which is not a number of input files (0 to 100000)"),
            std::string::npos);
}

// Values that would be replaced or cut without a word are refused, naming
// the file, the key and what it takes: numbers no setting takes, file counts
// beyond the files a project names.
TEST(ProjectFile, ValuesNoSettingTakesAreRefused) {
  const struct {
    std::string text;
    std::string expected;
  } rows[] = {
      {"[Page2]\r\nmagmax=nan\r\n", "magmax in [Page2] is nan, which is not a finite number"},
      {"[Page2]\r\nequinox=-INF\r\n", "equinox in [Page2] is -INF, which is not a finite number"},
      {"[Page2]\r\nepoch=1e400\r\n", "epoch in [Page2] is 1e400, which is not a finite number"},
      {"[Page3]\r\ncalcA3=infinity\r\n", "calcA3 in [Page3] is infinity"},
      {"numfiles=9223372036854775808\r\n", "numfiles in [Page1] is 9223372036854775808, which is not a "
                                                        "number of input files (0 to 100000)"},
      {"numfiles=18446744073709551617\r\n", "numfiles in [Page1] is 18446744073709551617"},
      {"numfiles=-1\r\n", "numfiles in [Page1] is -1"},
      {"numfiles=3\r\ninputfiles0=a\r\ninputfiles2=c\r\n",
       "inputfiles1 in [Page1] is missing, though numfiles counts a file there"},
  };
  TempDir dir;
  const std::string path = dir.str() + "/p.prj";
  for (const auto& row : rows) {
    dir.write("p.prj", "[Page1]\r\ntype=0\r\n" + row.text);
    CatalogDefinition d;
    const std::string error = errorOf([&] { loadProject(path, d, FileSystem::real()); });
    EXPECT_EQ(error.find("\"" + path + "\": the value of "), 0u) << row.text << ": " << error;
    EXPECT_NE(error.find(row.expected), std::string::npos) << error;
  }
}

TEST(ProjectFile, GarbageAndBinaryFilesAreNotProjects) {
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += static_cast<char>((i * 131 + (i >> 7)) & 0xFF);
  const std::string files[] = {
      "",
      std::string(4096, '\0'),
      binary,
      "=\r\n[\r\n]\r\n[]=[]\r\n==\r\n[Page1\r\n",
      "[Page1]\r\ntype",
  };
  TempDir dir;
  for (const std::string& f : files) {
    CatalogDefinition d;
    d.settings.shortname = "kept";
    const std::string error = errorOf([&] { loadProject(dir.write("p.prj", f), d, FileSystem::real()); });
    EXPECT_NE(error.find("is not a Mirdal project file"), std::string::npos) << f.size() << " bytes: " << error;
    EXPECT_EQ(d.settings.shortname, "kept");
  }
}

TEST(ProjectFile, ByteOrderMarkBeforeTheFirstSectionIsSkipped) {
  CatalogDefinition d = loadText("\xEF\xBB\xBF[Page1]\r\ntype=2\r\n");
  EXPECT_EQ(d.settings.type, 2);
}

TEST(ProjectFile, TruncatedFileKeepsWhatItHolds) {
  CatalogDefinition rich = richDefinition();
  std::string text = saveToText(rich);
  text.resize(text.find("calcA20="));
  CatalogDefinition d = loadText(text);
  EXPECT_EQ(d.settings.longname, rich.settings.longname);
  EXPECT_EQ(d.settings.magmax, 15.25);
  EXPECT_TRUE(d.ticked(37));
  EXPECT_EQ(d.fieldSlots[19], rich.fieldSlots[19]);
  EXPECT_EQ(d.fieldSlots[20], (FieldSlot{21, 0, 1.0, 0.0}));
  EXPECT_EQ(d.fieldSlots[21], (FieldSlot{0, 0, 1.0, 0.0}));
  EXPECT_EQ(d.altNames[0], 0);
  EXPECT_EQ(d.settings.numfile, 0);
  EXPECT_EQ(d.tables, MappingTables());
}

TEST(ProjectFile, HandEditedLfFileWithBlanksAroundEquals) {
  CatalogDefinition d = loadText("[page1]\ntype=0\n[page2]\nEQUINOX = 1950.0\nEpoch=\t+2015.5 \nmagmax = 1,5\n");
  EXPECT_EQ(d.settings.equinox, 1950);
  EXPECT_EQ(d.settings.epoch, 2015.5);
  EXPECT_EQ(d.settings.magmax, 12);
}

// A value the file could not give back as it is: the save is refused with
// the key and the value named, and the existing project stays untouched.
TEST(ProjectFile, SaveRefusesValuesTheFileCannotGiveBack) {
  const struct {
    void (*change)(CatalogDefinition&);
    std::string expected;
  } rows[] = {
      {[](CatalogDefinition& d) { d.settings.inputfiles = {"/cat/a.dat", "/cat/b\n.dat"}; },
       "the value of inputfiles1 holds a line break, which a project file cannot hold: \"/cat/b\\n.dat\""},
      {[](CatalogDefinition& d) { d.settings.ouputdir = "/out\r"; }, "ouputdir holds a line break"},
      {[](CatalogDefinition& d) { d.setLabel(4, std::string("m\0V", 3)); }, "label4 holds a NUL byte"},
      {[](CatalogDefinition& d) { d.settings.ouputdir = "/" + std::string(2047, 'd'); },
       "ouputdir is 2048 characters long; a project file holds at most 2047 characters in a value"},
  };
  TempDir dir;
  for (const auto& row : rows) {
    const std::string path = dir.write("p.prj", "[Page1]\r\ntype=3\r\n");
    CatalogDefinition d;
    row.change(d);
    const std::string error = errorOf([&] { saveProject(path, d, FileSystem::real()); });
    EXPECT_EQ(error.find("Cannot save \"" + path + "\": "), 0u) << row.expected << ": " << error;
    EXPECT_NE(error.find(row.expected), std::string::npos) << error;
    EXPECT_EQ(dir.read("p.prj"), "[Page1]\r\ntype=3\r\n");
    EXPECT_FALSE(FileSystem::real().exists(path + ".old"));
  }
  // 2047 characters, blanks at both ends included, come back as they were.
  CatalogDefinition longest;
  longest.settings.ouputdir = " " + std::string(2045, 'd') + " ";
  EXPECT_EQ(loadText(saveToText(longest)).settings.ouputdir, longest.settings.ouputdir);
}

// The file system refuses every rename, as a read-only folder may.
class NoRenameFileSystem : public testing::FaultyFileSystem {
 public:
  void rename(const std::string& from, const std::string&) override { throw FileError("rename", from, EROFS); }
};

// A save that fails anywhere (a full disk at a write or at the sync, a rename
// refused, a directory or no directory where the file goes) says why, and
// leaves the project and its ".old" as they were, with nothing beside them.
TEST(ProjectFile, FailedSaveKeepsTheProjectAndItsOld) {
  const struct {
    const char* name;
    std::string (*target)(const TempDir& dir);
    void (*fault)(testing::FaultyFileSystem& fs);
    bool noRename;
    std::string reason;
  } rows[] = {
      {"first write", [](const TempDir& d) { return d.str() + "/mycat.prj"; },
       [](testing::FaultyFileSystem& fs) { fs.failOnWrite(1); }, false, "No space left on device"},
      {"torn write", [](const TempDir& d) { return d.str() + "/mycat.prj"; },
       [](testing::FaultyFileSystem& fs) {
         fs.failOnWrite(1);
         fs.tearFailingWrite();
       },
       false, "No space left on device"},
      {"sync", [](const TempDir& d) { return d.str() + "/mycat.prj"; },
       [](testing::FaultyFileSystem& fs) { fs.failSyncOf(".saving"); }, false,
       "Cannot write file \"" + std::string("{dir}") + "/mycat.prj.saving\": No space left on device"},
      {"rename", [](const TempDir& d) { return d.str() + "/mycat.prj"; }, [](testing::FaultyFileSystem&) {}, true,
       "Cannot replace file \"{dir}/mycat.prj\": Read-only file system"},
      {"directory", [](const TempDir& d) { return d.str() + "/sub"; }, [](testing::FaultyFileSystem&) {}, false,
       "Is a directory"},
      {"no directory", [](const TempDir& d) { return d.str() + "/none/p.prj"; }, [](testing::FaultyFileSystem&) {},
       false, "No such file or directory"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    const std::string path = row.target(dir);
    dir.write("mycat.prj", "[Page1]\r\ntype=3\r\n");
    dir.write("mycat.prj.old", "older");
    FileSystem::real().createDirectories(dir.str() + "/sub");
    NoRenameFileSystem noRename;
    testing::FaultyFileSystem faulty;
    testing::FaultyFileSystem& fs = row.noRename ? noRename : faulty;
    row.fault(fs);
    std::string reason = row.reason;
    if (const auto at = reason.find("{dir}"); at != std::string::npos) reason.replace(at, 5, dir.str());
    const std::string error = errorOf([&] { saveProject(path, CatalogDefinition(), fs); });
    EXPECT_EQ(error.find("Unable to write to " + path + ": "), 0u) << row.name << ": " << error;
    EXPECT_NE(error.find(reason), std::string::npos) << row.name << ": " << error;
    EXPECT_EQ(dir.read("mycat.prj"), "[Page1]\r\ntype=3\r\n") << row.name;
    EXPECT_EQ(dir.read("mycat.prj.old"), "older") << row.name;
    EXPECT_TRUE(FileSystem::real().isDirectory(dir.str() + "/sub")) << row.name;
    EXPECT_EQ(FileSystem::real().list(dir.str()).size(), 3u) << row.name;
  }
}

TEST(ProjectFile, UnreadableProjectNamesTheFileAndTheReason) {
  TempDir dir;
  std::string path = dir.str() + "/missing.prj";
  CatalogDefinition d;
  try {
    loadProject(path, d, FileSystem::real());
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "\"" + path + "\" is not a Mirdal project file: Cannot open file \"" + path +
                                         "\": No such file or directory");
  }
  testing::FaultyFileSystem fs;
  fs.failOpenOf("locked");
  std::string locked = dir.write("locked.prj", "[Page1]\r\ntype=2\r\n");
  EXPECT_THROW(loadProject(locked, d, fs), Error);
  EXPECT_EQ(d.settings.type, 0);
}

TEST(ProjectFloat, FixedNotationFromOneTenThousandthUpTo15Digits) {
  EXPECT_EQ(formatProjectFloat(2000), "2000");
  EXPECT_EQ(formatProjectFloat(0.5), "0.5");
  EXPECT_EQ(formatProjectFloat(12), "12");
  EXPECT_EQ(formatProjectFloat(0), "0");
  EXPECT_EQ(formatProjectFloat(-2.5), "-2.5");
  EXPECT_EQ(formatProjectFloat(0.1), "0.1");
  EXPECT_EQ(formatProjectFloat(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(formatProjectFloat(0.0001), "0.0001");
  EXPECT_EQ(formatProjectFloat(0.00012), "0.00012");
  EXPECT_EQ(formatProjectFloat(999999999999999.0), "999999999999999");
  EXPECT_EQ(formatProjectFloat(123456.789), "123456.789");
}

TEST(ProjectFloat, ENotationBelowOneTenThousandthAndFrom1E15) {
  EXPECT_EQ(formatProjectFloat(1e-5), "1E-5");
  EXPECT_EQ(formatProjectFloat(0.000099), "9.9E-5");
  EXPECT_EQ(formatProjectFloat(1.5e-7), "1.5E-7");
  EXPECT_EQ(formatProjectFloat(-1e-300), "-1E-300");
  EXPECT_EQ(formatProjectFloat(1e15), "1E15");
  EXPECT_EQ(formatProjectFloat(1.5e20), "1.5E20");
  EXPECT_EQ(formatProjectFloat(1e100), "1E100");
  EXPECT_EQ(formatProjectFloat(123456789012345678.0), "1.23456789012346E17");
}

TEST(ProjectFloat, Parse) {
  EXPECT_EQ(parseProjectFloat("2000"), 2000.0);
  EXPECT_EQ(parseProjectFloat("+3"), 3.0);
  EXPECT_EQ(parseProjectFloat("-.5"), -0.5);
  EXPECT_EQ(parseProjectFloat("5."), 5.0);
  EXPECT_EQ(parseProjectFloat("1E-5"), 1e-5);
  EXPECT_EQ(parseProjectFloat("1e3"), 1000.0);
  for (const char* bad : {"", ".", "1,5", "12a", "nan", "inf", "-inf", "infinity", "1e999", "+-1", "-+1", "0x10",
                          " 1", "1e", "e5"})
    EXPECT_EQ(parseProjectFloat(bad), std::nullopt) << bad;
}

TEST(ProjectInteger, Parse) {
  EXPECT_EQ(parseProjectInteger("0x1F"), 31);
  EXPECT_EQ(parseProjectInteger("0X1f"), 31);
  EXPECT_EQ(parseProjectInteger("-0x10"), -16);
  EXPECT_EQ(parseProjectInteger("+7"), 7);
  EXPECT_EQ(parseProjectInteger("-12"), -12);
  EXPECT_EQ(parseProjectInteger("007"), 7);
  EXPECT_EQ(parseProjectInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(parseProjectInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(parseProjectInteger("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(parseProjectInteger("-99999999999999999999"), std::numeric_limits<std::int64_t>::min());
  for (const char* bad : {"", "-", "0x", "12a", "1.0", "--1", " 1", "1e3", "0xG"})
    EXPECT_EQ(parseProjectInteger(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace mirdal
