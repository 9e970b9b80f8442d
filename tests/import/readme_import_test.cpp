#include "import/readme_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "input/input_reader.h"
#include "support/temp_dir.h"
#include "util/error.h"

namespace mirdal {
namespace {

using testing::TempDir;

const std::string kData = MIRDAL_SHARED_DATA_DIR;
const std::string kBsc5ReadMe = kData + "/bsc5/ReadMe";
const std::string kNgcReadMe = kData + "/ngc2000/ReadMe";

bool has(const std::vector<std::string>& notes, const std::string& part) {
  return std::any_of(notes.begin(), notes.end(), [&](const std::string& n) { return n.find(part) != std::string::npos; });
}

std::string joined(const std::vector<std::string>& notes) {
  std::string s;
  for (const std::string& n : notes) s += n + "\n";
  return s;
}

// Slot of `position` is (first, length, a, b) and the entry is ticked.
void expectSlot(const CatalogDefinition& def, int position, int first, int length, double a = 1, double b = 0) {
  SCOPED_TRACE("position " + std::to_string(position) + " " + std::string(def.fields().entry(position).text));
  const FieldSlot& s = def.fieldSlots.at(static_cast<std::size_t>(position));
  EXPECT_EQ(s.firstChar, first);
  EXPECT_EQ(s.length, length);
  EXPECT_DOUBLE_EQ(s.calcA, a);
  EXPECT_DOUBLE_EQ(s.calcB, b);
  EXPECT_TRUE(def.ticked(position));
}

void expectUnset(const CatalogDefinition& def, int position) {
  SCOPED_TRACE("position " + std::to_string(position));
  EXPECT_EQ(def.fieldSlots.at(static_cast<std::size_t>(position)), FieldSlot{});
  EXPECT_FALSE(def.ticked(position));
}

// A table with the usual heading, rules and header around `rows`.
std::string table(const std::string& file, const std::string& rows) {
  const std::string rule(80, '-');
  return "Byte-by-byte Description of file: " + file + "\n" + rule + "\n" +
         "   Bytes Format Units   Label     Explanations\n" + rule + "\n" + rows + rule + "\n";
}

std::vector<std::string> apply(const std::string& rows, CatalogType type, CatalogDefinition& def) {
  ReadMe rm = parseReadMe(table("cat.dat", rows));
  EXPECT_EQ(rm.tables.size(), 1u);
  if (rm.tables.empty()) return {};
  return applyReadMeTable(rm.tables.front(), type, def);
}

// ---------------------------------------------------------------------------
// Parser, on the archives' own files

TEST(ReadMeParser, Bsc5ReadMeGivesBothTables) {
  if (!std::filesystem::exists(kBsc5ReadMe)) GTEST_SKIP() << kBsc5ReadMe << " is absent";
  const ReadMe rm = readReadMe(kBsc5ReadMe, FileSystem::real());
  EXPECT_EQ(rm.designation, "V/50");
  EXPECT_EQ(rm.title, "Bright Star Catalogue, 5th Revised Ed.");
  EXPECT_FALSE(rm.truncated);
  ASSERT_EQ(rm.tables.size(), 2u);

  const ReadMeTable& cat = rm.tables[0];
  EXPECT_EQ(cat.fileNames, std::vector<std::string>{"catalog"});
  ASSERT_EQ(cat.columns.size(), 53u);
  EXPECT_EQ(cat.columns[0],
            (ReadMeColumn{1, 4, "I4", "---", "HR", "[1/9110]+ Harvard Revised Number = Bright Star Number"}));
  EXPECT_EQ(cat.columns[2].explanation, "Durchmusterung Identification (zone in bytes 17-19)");
  EXPECT_EQ(cat.columns[6], (ReadMeColumn{42, 42, "A1", "---", "IRflag", "[I] I if infrared source"}));
  const auto pmRA = std::find_if(cat.columns.begin(), cat.columns.end(), [](auto& c) { return c.label == "pmRA"; });
  ASSERT_NE(pmRA, cat.columns.end());
  EXPECT_EQ(*pmRA, (ReadMeColumn{149, 154, "F6.3", "arcsec/yr", "pmRA",
                                 "*?Annual proper motion in RA J2000, FK5 system"}));
  EXPECT_EQ(cat.columns.back(), (ReadMeColumn{197, 197, "A1", "---", "NoteFlag",
                                              "[*] a star indicates that there is a note (see file notes)"}));

  const ReadMeTable& notes = rm.tables[1];
  EXPECT_EQ(notes.fileNames, std::vector<std::string>{"notes"});
  ASSERT_EQ(notes.columns.size(), 4u);
  EXPECT_EQ(notes.columns[0].firstByte, 2);
  EXPECT_EQ(notes.columns[3], (ReadMeColumn{13, 132, "A120", "---", "Remark", "Remarks in free form text"}));
}

TEST(ReadMeParser, Ngc2000ReadMeSaysBytePerByte) {
  if (!std::filesystem::exists(kNgcReadMe)) GTEST_SKIP() << kNgcReadMe << " is absent";
  const ReadMe rm = readReadMe(kNgcReadMe, FileSystem::real());
  EXPECT_EQ(rm.designation, "VII/118");
  EXPECT_EQ(rm.title, "NGC 2000.0");
  ASSERT_EQ(rm.tables.size(), 2u);
  const ReadMeTable& ngc = rm.tables[0];
  EXPECT_EQ(ngc.fileNames, std::vector<std::string>{"ngc2000.dat"});
  ASSERT_EQ(ngc.columns.size(), 14u);
  EXPECT_EQ(ngc.columns[1], (ReadMeColumn{7, 9, "A3", "---", "Type", "*Object classification"}));
  EXPECT_EQ(ngc.columns[3], (ReadMeColumn{14, 17, "F4.1", "min", "RAm", "Right Ascension 2000 (minutes)"}));
  EXPECT_EQ(ngc.columns[4], (ReadMeColumn{20, 20, "A1", "---", "DE-", "Declination 2000 (sign)"}));
  EXPECT_EQ(ngc.columns[11].explanation, "? Integrated magnitude, visual or photographic (see n_mag)");
  EXPECT_EQ(ngc.columns[13], (ReadMeColumn{47, 96, "A50", "---", "Desc", "*Description of the object"}));
  EXPECT_EQ(rm.tables[1].fileNames, std::vector<std::string>{"names.dat"});
  EXPECT_EQ(rm.tables[1].columns.size(), 3u);
  EXPECT_EQ(rm.tableFor("/somewhere/ngc2000.dat.gz"), &rm.tables[0]);
  EXPECT_EQ(rm.tableFor("NAMES.DAT"), &rm.tables[1]);
  EXPECT_EQ(rm.tableFor("catalog"), nullptr);
}

// ---------------------------------------------------------------------------
// Parser, on made-up tables

TEST(ReadMeParser, ContinuationLinesJoinTheExplanationUntilABlankLine) {
  const ReadMe rm = parseReadMe(table("a.dat",
                                      "  1-  3  I3   ---   N      First part\n"
                                      "                          second part\n"
                                      "                            third part\n"
                                      "  5- 6   I2   ---   M      Alone\n"
                                      "\n"
                                      "                          not a continuation\n"
                                      "  8- 9   I2   ---   K      Last\n"));
  ASSERT_EQ(rm.tables.size(), 1u);
  ASSERT_EQ(rm.tables[0].columns.size(), 3u);
  EXPECT_EQ(rm.tables[0].columns[0].explanation, "First part second part third part");
  EXPECT_EQ(rm.tables[0].columns[1].explanation, "Alone");
  EXPECT_EQ(rm.tables[0].columns[2].explanation, "Last");
}

TEST(ReadMeParser, RangesWithAndWithoutBlanksAndSingleBytes) {
  const ReadMe rm = parseReadMe(table("a.dat",
                                      "1-4 I4 --- A\n"
                                      "   5-  9  F5.2  mag  B  with blanks\n"
                                      "      10  A1  ---  C  one byte\n"
                                      "10001-10005  E5.1  ---  D  far out\n"
                                      "  2-digit years are a continuation, not a row\n"));
  ASSERT_EQ(rm.tables.size(), 1u);
  const auto& c = rm.tables[0].columns;
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0], (ReadMeColumn{1, 4, "I4", "---", "A", ""}));
  EXPECT_EQ(c[1], (ReadMeColumn{5, 9, "F5.2", "mag", "B", "with blanks"}));
  EXPECT_EQ(c[2], (ReadMeColumn{10, 10, "A1", "---", "C", "one byte"}));
  EXPECT_EQ(c[3].firstByte, 10001);
  EXPECT_EQ(c[3].lastByte, 10005);
  EXPECT_EQ(c[3].explanation, "far out 2-digit years are a continuation, not a row");
  EXPECT_EQ(c[1].decimals(), 2);
  EXPECT_TRUE(c[2].isText());
  EXPECT_FALSE(c[3].isText());
  EXPECT_EQ(c[2].describe(), "C (10)");
  EXPECT_EQ(c[1].describe(), "B (5-9)");
}

TEST(ReadMeParser, RowsThatCannotBeColumnsAreSkipped) {
  const ReadMe rm = parseReadMe(table("a.dat",
                                      "   0-  4  I4  ---  Zero      byte 0 does not exist\n"
                                      "   9-  5  I4  ---  Backward  last before first\n"
                                      "   1-  4  Q4  ---  Odd       no such format\n"
                                      "   1-  4  I4.2 --- Odd       integer with decimals\n"
                                      "   1-2000000  A9 --- Huge    beyond any slot\n"
                                      "   1-  4  I4\n"
                                      "   6-  7  I2  ---  Good      kept\n"));
  ASSERT_EQ(rm.tables.size(), 1u);
  ASSERT_EQ(rm.tables[0].columns.size(), 1u);
  EXPECT_EQ(rm.tables[0].columns[0].label, "Good");
}

TEST(ReadMeParser, TwoFilesInOneHeadingAndTablesWithoutHeaderOrClosingRule) {
  const std::string text =
      "J/A+A/1/2    Some stars    (Someone+, 2001)\r\n"
      "Byte-by-byte Description of files: table1.dat, table2.dat\r\n"
      "  1- 4  I4  ---  Seq  Number\r\n"
      "  6- 9  F4.1 mag Vmag Magnitude\r\n"
      "Note (1): the table ends here, without a rule\r\n"
      "     1- 4 I4 --- Fake  an indented row in a note is not read\r\n"
      "byte-by-byte description of file: table[3-5].dat (the others)\r\n"
      "  1- 2  A2  ---  Code  Code\r\n"
      "------------------------------------------------------------\r\n"
      "  3- 4  A2  ---  After  after the closing rule: not a row\r\n";
  const ReadMe rm = parseReadMe(text);
  EXPECT_EQ(rm.designation, "J/A+A/1/2");
  EXPECT_EQ(rm.title, "Some stars");
  ASSERT_EQ(rm.tables.size(), 2u);
  EXPECT_EQ(rm.tables[0].fileNames, (std::vector<std::string>{"table1.dat", "table2.dat"}));
  ASSERT_EQ(rm.tables[0].columns.size(), 2u);
  EXPECT_EQ(rm.tables[0].columns[1].explanation, "Magnitude");  // no CR left
  EXPECT_EQ(rm.tables[1].fileNames, std::vector<std::string>{"table[3-5].dat"});
  ASSERT_EQ(rm.tables[1].columns.size(), 1u);

  EXPECT_EQ(rm.tableFor("table2.dat"), &rm.tables[0]);
  EXPECT_EQ(rm.tableFor("data/table4.dat.gz"), &rm.tables[1]);
  EXPECT_EQ(rm.tableFor("table6.dat"), nullptr);
  EXPECT_EQ(rm.describedFiles(), "table1.dat, table2.dat, table[3-5].dat");
}

TEST(ReadMeParser, OneDescriptionOfSeveralFilesDescribesEach) {
  const std::string pad(34, ' ');
  const struct {
    std::string names;  // as the heading writes them after "of file: "
    std::vector<std::string> read;
    const char* last;   // a file the table describes, the last one named
  } cases[]{
      {"a.dat, b.dat", {"a.dat", "b.dat"}, "b.dat"},
      {"a.dat,b.dat;c.dat", {"a.dat", "b.dat", "c.dat"}, "c.dat"},
      {"table*.dat", {"table*.dat"}, "table2.dat"},
      {"a.dat b.dat\n" + pad + "c.dat, table[45].dat\n" + pad + "d.dat",
       {"a.dat", "b.dat", "c.dat", "table[45].dat", "d.dat"}, "d.dat"},
      {"a.dat\n   and b.dat (two parts)", {"a.dat", "b.dat"}, "b.dat"},
      {"a.dat\n   Objects of note.dat kind", {"a.dat"}, "a.dat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names);
    // A second table, so that choosing by name matters.
    const ReadMe rm = parseReadMe(table(c.names, "  1- 4  I4  ---  Seq  Number\n") +
                                  table("other.dat", "  1- 2  A2  ---  Code  Code\n"));
    ASSERT_EQ(rm.tables.size(), 2u);
    EXPECT_EQ(rm.tables[0].fileNames, c.read);
    EXPECT_EQ(rm.tables[0].columns.size(), 1u);
    EXPECT_EQ(rm.tableFor(c.last), &rm.tables[0]);
  }
}

TEST(ReadMeParser, WildcardNamesMatchTheBaseNameOfAPath) {
  ReadMeTable t;
  t.fileNames = {"*.dat"};
  EXPECT_TRUE(t.describes("/x/y/anything.dat"));
  EXPECT_TRUE(t.describes("anything.dat.gz"));
  EXPECT_FALSE(t.describes("anything.txt"));
  EXPECT_FALSE(t.describes("/x/y/"));
  t.fileNames = {"part?.txt", "[!a]x"};
  EXPECT_TRUE(t.describes("part7.txt"));
  EXPECT_FALSE(t.describes("part10.txt"));
  EXPECT_TRUE(t.describes("bx"));
  EXPECT_FALSE(t.describes("ax"));
}

TEST(ReadMeParser, TextWithoutTablesGivesNothing) {
  EXPECT_TRUE(parseReadMe("").tables.empty());
  EXPECT_TRUE(parseReadMe("Just a text.\nNo byte-by-byte description at all.\n").tables.empty());
  // A heading with no rows after it gives no table.
  EXPECT_TRUE(parseReadMe("Byte-by-byte Description of file: x\n----------\n   Bytes Format Units Label\n").tables.empty());
}

TEST(ReadMeParser, BinaryGarbageGivesNoTableAndNoTitle) {
  std::string bytes;
  unsigned x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245u + 12345u;
    bytes += static_cast<char>(x >> 16);
  }
  bytes.insert(0, std::string("A/1 title\0with NUL\n", 19));
  const ReadMe rm = parseReadMe(bytes);
  EXPECT_TRUE(rm.tables.empty());
  EXPECT_EQ(rm.designation, "");
  EXPECT_EQ(rm.title, "");
}

TEST(ReadMeParser, OverlongLinesAreCutNotKept) {
  // A row followed by 100000 bytes on its line: the row still counts, cut.
  const std::string rows = "  1-  4  I4  ---  HR  " + std::string(100000, 'x') + "\n";
  const ReadMe rm = parseReadMe(table("a.dat", rows));
  ASSERT_EQ(rm.tables.size(), 1u);
  ASSERT_EQ(rm.tables[0].columns.size(), 1u);
  EXPECT_LT(rm.tables[0].columns[0].explanation.size(), kMaxReadMeLineLength);
}

// A file that never ends.
class EndlessFileSystem : public FileSystem {
 public:
  class EndlessFile : public File {
   public:
    std::size_t read(void* buffer, std::size_t n) override {
      std::memset(buffer, 'x', n);
      read_ += n;
      return n;
    }
    void write(const void*, std::size_t) override {}
    void seek(std::int64_t) override {}
    std::int64_t size() override { return 0; }
    void close() override {}
    const std::string& path() const override { return path_; }
    std::string path_ = "endless";
    std::size_t read_ = 0;
  };
  std::unique_ptr<File> open(const std::string&, OpenMode) override { return std::make_unique<EndlessFile>(); }
  bool exists(const std::string&) override { return true; }
  bool isDirectory(const std::string&) override { return false; }
  void createDirectories(const std::string&) override {}
  void remove(const std::string& p) override { throw FileError("remove", p, EROFS); }
  void rename(const std::string& f, const std::string&) override { throw FileError("rename", f, EROFS); }
  std::int64_t fileSize(const std::string&) override { return 0; }
};

TEST(ReadMeParser, EndlessFileIsReadUpToTheCap) {
  EndlessFileSystem fs;
  const ReadMe rm = readReadMe("endless", fs);
  EXPECT_TRUE(rm.truncated);
  EXPECT_TRUE(rm.tables.empty());
}

TEST(ReadMeParser, FileIsReadThroughTheFileSystemAndMissingOneIsNamed) {
  TempDir dir;
  const std::string text = table("x.dat", "  1-  4  I4  ---  HR  number\n");
  const std::string path = dir.write("ReadMe", text);
  const ReadMe rm = readReadMe(path, FileSystem::real());
  ASSERT_EQ(rm.tables.size(), 1u);
  EXPECT_EQ(rm.tables[0].columns, parseReadMe(text).tables[0].columns);
  EXPECT_FALSE(rm.truncated);

  const std::string missing = dir.str() + "/NoReadMe";
  try {
    readReadMe(missing, FileSystem::real());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + missing + "\": No such file or directory");
  }
}

// ---------------------------------------------------------------------------
// Table choice and names

TEST(ReadMeTableChoice, ByOptionByInputNameOrTheOnlyTable) {
  const ReadMe two = parseReadMe(table("a.dat", "1-4 I4 --- A x\n") + table("b.dat", "1-4 I4 --- B x\n"));
  ASSERT_EQ(two.tables.size(), 2u);
  EXPECT_EQ(&selectReadMeTable(two, "RM", "/in/b.dat"), &two.tables[1]);
  EXPECT_EQ(&selectReadMeTable(two, "RM", "/in/b.dat", "a.dat"), &two.tables[0]);
  try {
    selectReadMeTable(two, "RM", "/in/c.dat");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "\"RM\" has no description of file \"c.dat\"; it describes: a.dat, b.dat");
  }
  try {
    selectReadMeTable(two, "RM", "/in/a.dat", "z.dat");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "\"RM\" has no description of file \"z.dat\"; it describes: a.dat, b.dat");
  }
  // A file is chosen by its name: a path's directories are no part of it,
  // in the ReadMe or in the choice.
  const ReadMe dirs = parseReadMe(table("../../etc/passwd", "1-4 I4 --- A x\n") + table("b.dat", "1-4 I4 --- B x\n"));
  EXPECT_EQ(&selectReadMeTable(dirs, "RM", "/in/x", "passwd"), &dirs.tables[0]);
  EXPECT_EQ(&selectReadMeTable(dirs, "RM", "/in/passwd"), &dirs.tables[0]);
  for (const auto& [choice, message] :
       {std::pair{"../../../../etc/group", "\"RM\" has no description of file \"group\" (the file name of "
                                           "\"../../../../etc/group\"); it describes: ../../etc/passwd, b.dat"},
        std::pair{"../", "\"../\" names no file of the ReadMe \"RM\"; it describes: ../../etc/passwd, b.dat"}}) {
    try {
      selectReadMeTable(dirs, "RM", "/in/a.dat", choice);
      ADD_FAILURE() << choice;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }

  const ReadMe one = parseReadMe(table("a.dat", "1-4 I4 --- A x\n"));
  EXPECT_EQ(&selectReadMeTable(one, "RM", "/in/other.txt"), &one.tables[0]);
  try {
    selectReadMeTable(parseReadMe("nothing"), "RM", "x");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "No byte-by-byte description in \"RM\"");
  }
}

TEST(ReadMeNames, ShortNameFromTitleWordAcronymDesignationOrFile) {
  ReadMe rm;
  rm.title = "NGC 2000.0";
  EXPECT_EQ(proposedShortName(rm, "x"), "NGC");
  rm.title = "UCAC4 Catalogue";
  EXPECT_EQ(proposedShortName(rm, "x"), "UCAC");
  rm.title = "The Bright Star Catalogue, 5th Revised Ed.";
  EXPECT_EQ(proposedShortName(rm, "x"), "BSC");
  rm.title = "bright stars";
  rm.designation = "V/50";
  EXPECT_EQ(proposedShortName(rm, "x"), "V50");
  rm = ReadMe{};
  EXPECT_EQ(proposedShortName(rm, "/data/hip_main.dat.gz"), "hipm");
  EXPECT_EQ(proposedShortName(rm, "/data/..."), "cat");
}

TEST(ReadMeNames, LongNameKeepsTheDesignationWhenItFitsAndCutsAtAWord) {
  ReadMe rm;
  rm.designation = "V/50";
  rm.title = "Bright Star Catalogue, 5th Revised Ed.";
  EXPECT_EQ(proposedLongName(rm, "x"), "Bright Star Catalogue, 5th Revised Ed. (V/50)");
  rm.title = "A title of exactly forty-eight characters, long.";
  ASSERT_EQ(rm.title.size(), 48u);
  EXPECT_EQ(proposedLongName(rm, "x"), rm.title);
  rm.title = "The Third Reference Catalogue of Bright Galaxies, version 3.9";
  EXPECT_EQ(proposedLongName(rm, "x"), "The Third Reference Catalogue of Bright Galaxies,");
  rm.title.clear();
  EXPECT_EQ(proposedLongName(rm, "x"), "V/50");
  rm.designation.clear();
  EXPECT_EQ(proposedLongName(rm, "/d/stars.dat.gz"), "stars.dat");
}

// ---------------------------------------------------------------------------
// Mapper, on the archives' ReadMe files

TEST(ReadMeMapper, Bsc5ProposesStarsInHoursAndSignedDegrees) {
  if (!std::filesystem::exists(kBsc5ReadMe)) GTEST_SKIP() << kBsc5ReadMe << " is absent";
  const ReadMe rm = readReadMe(kBsc5ReadMe, FileSystem::real());
  CatalogDefinition def;
  const auto notes = applyReadMeTable(*rm.tableFor("catalog"), CatalogType::Stars, def);
  EXPECT_EQ(def.settings.type, 0);
  EXPECT_EQ(def.settings.ratype, 0);
  EXPECT_EQ(def.settings.dectype, 0);
  EXPECT_EQ(def.settings.equinox, 2000);
  // Positions: 0-2 RA, 3 sign, 4-6 DEC, 7 ID, 8 mV, 9 b-v, 10 mB, 11 mR,
  // 12 sp, 13 pmRA, 14 pmDE, 15 date, 16 px, 17 desc, 18-27 strings, 28-37 numerics.
  expectSlot(def, 0, 76, 2);
  expectSlot(def, 1, 78, 2);
  expectSlot(def, 2, 80, 4);
  expectSlot(def, 3, 84, 1);
  expectSlot(def, 4, 85, 2);
  expectSlot(def, 5, 87, 2);
  expectSlot(def, 6, 89, 2);
  expectSlot(def, 7, 1, 4);
  expectSlot(def, 8, 103, 5);
  expectSlot(def, 9, 110, 5);
  expectUnset(def, 10);
  expectUnset(def, 11);
  expectSlot(def, 12, 128, 20);
  expectSlot(def, 13, 149, 6);
  expectSlot(def, 14, 155, 6);
  expectUnset(def, 15);
  expectSlot(def, 16, 162, 5);
  expectUnset(def, 17);
  EXPECT_EQ(def.labelOfPosition(8), "mV");
  EXPECT_TRUE(def.requiredFieldsTicked());

  // Identifiers first, as alternate names; then the other texts.
  expectSlot(def, 18, 5, 10);
  EXPECT_EQ(def.labelOfPosition(18), "Name");
  expectSlot(def, 20, 26, 6);
  EXPECT_EQ(def.labelOfPosition(20), "HD");
  EXPECT_EQ(def.altNames, (std::array<std::uint8_t, 10>{1, 1, 1, 1, 1, 1, 1, 0, 0, 0}));
  expectSlot(def, 25, 42, 1);
  EXPECT_EQ(def.labelOfPosition(25), "IRflag");
  expectSlot(def, 28, 91, 6);
  EXPECT_EQ(def.labelOfPosition(28), "GLON");
  expectSlot(def, 36, 195, 2);
  expectUnset(def, 37);

  EXPECT_TRUE(has(notes, "RA: hours, minutes, seconds from RAh (76-77), RAm (78-79), RAs (80-83)")) << joined(notes);
  EXPECT_TRUE(has(notes, "DEC: sign, degrees, minutes, seconds from DE- (84), DEd (85-86), DEm (87-88), DEs (89-90)"));
  EXPECT_TRUE(has(notes, "Skipped RAh1900 (61-62): position columns of another equinox"));
  EXPECT_TRUE(has(notes, "Catalog ID: HR (1-4)"));
  EXPECT_TRUE(has(notes, "Skipped n_Vmag (108): a flag"));
  EXPECT_TRUE(has(notes, "Skipped NoteFlag (197): no String entry left"));
  EXPECT_FALSE(has(notes, "Required entry"));
}

TEST(ReadMeMapper, Ngc2000ProposesNebulaeWithHoursAndDecimalMinutes) {
  if (!std::filesystem::exists(kNgcReadMe)) GTEST_SKIP() << kNgcReadMe << " is absent";
  const ReadMe rm = readReadMe(kNgcReadMe, FileSystem::real());
  CatalogDefinition def;
  def.settings.nebunit = 0;
  const auto notes = applyReadMeTable(*rm.tableFor("ngc2000.dat"), CatalogType::Nebulae, def);
  EXPECT_EQ(def.settings.type, 3);
  EXPECT_EQ(def.settings.ratype, 0);
  EXPECT_EQ(def.settings.dectype, 0);
  EXPECT_EQ(def.settings.nebunit, 1);  // size in arcmin
  expectSlot(def, 0, 11, 2);
  expectSlot(def, 1, 14, 4);
  expectUnset(def, 2);
  expectSlot(def, 3, 20, 1);
  expectSlot(def, 4, 21, 2);
  expectSlot(def, 5, 24, 2);
  expectUnset(def, 6);
  // 7 ID, 8 NebTyp, 9 m, 10 sbr, 11 D, 12 d, 13 Unit, 14 pa, 15 rv, 16 class, 17 desc.
  expectSlot(def, 7, 1, 5);
  expectSlot(def, 8, 7, 3);
  expectSlot(def, 9, 41, 4);
  expectUnset(def, 10);
  expectSlot(def, 11, 34, 5);
  for (int p = 12; p <= 16; ++p) expectUnset(def, p);
  expectSlot(def, 17, 47, 50);
  expectSlot(def, 18, 27, 1);
  EXPECT_EQ(def.labelOfPosition(18), "Source");
  expectSlot(def, 19, 30, 3);
  EXPECT_EQ(def.labelOfPosition(19), "Const");
  expectUnset(def, 20);
  EXPECT_EQ(def.altNames, (std::array<std::uint8_t, 10>{}));
  EXPECT_TRUE(has(notes, "RA: hours, minutes, seconds from RAh (11-12), RAm (14-17) (its unit h); no seconds column"))
      << joined(notes);
  EXPECT_TRUE(has(notes, "Skipped l_size (33)"));
}

// ---------------------------------------------------------------------------
// Mapper, on made-up tables

TEST(ReadMeMapper, DecimalDegreesWinOverSexagesimalAndUnitsAreConverted) {
  CatalogDefinition def;
  const auto notes = apply(
      "  1-  6  I6     ---      HIP     Identifier\n"
      "  8-  9  I2     h        RAh     Right ascension (J2000)\n"
      " 11- 12  I2     min      RAm     Right ascension (J2000)\n"
      " 14- 18  F5.2   s        RAs     Right ascension (J2000)\n"
      "     20  A1     ---      DE-     Declination sign\n"
      " 21- 22  I2     deg      DEd     Declination\n"
      " 24- 25  I2     arcmin   DEm     Declination\n"
      " 27- 30  F4.1   arcsec   DEs     Declination\n"
      " 32- 43  F12.8  deg      RAdeg   Right ascension, ICRS, Ep=1991.25\n"
      " 45- 56  F12.8  deg      DEdeg   Declination\n"
      " 58- 62  F5.2   mag      Vmag    Magnitude\n"
      " 64- 71  F8.2   mas/yr   pmRA    Proper motion\n"
      " 73- 80  F8.2   mas/yr   pmDE    Proper motion\n"
      " 82- 88  F7.2   mas      Plx     Parallax\n",
      CatalogType::Stars, def);
  EXPECT_EQ(def.settings.ratype, 3);
  EXPECT_EQ(def.settings.dectype, 1);
  EXPECT_EQ(def.settings.equinox, 2000);  // ICRS
  EXPECT_EQ(def.settings.epoch, 1991.25);
  // 0 RA, 1 DEC, 2 ID, 3 mV, ..., 8 pmRA, 9 pmDE, 11 px.
  expectSlot(def, 0, 32, 12);
  expectSlot(def, 1, 45, 12);
  expectSlot(def, 2, 1, 6);
  expectSlot(def, 3, 58, 5);
  expectSlot(def, 8, 64, 8, 0.001);
  expectSlot(def, 9, 73, 8, 0.001);
  expectSlot(def, 11, 82, 7, 0.001);
  for (int p = 12; p < def.fields().size(); ++p) expectUnset(def, p);
  EXPECT_TRUE(has(notes, "Proper motion RA (arcsec/yr): pmRA (64-71), mas/yr x 0.001")) << joined(notes);
  EXPECT_TRUE(has(notes, "Skipped RAh (8-9): the position is read from other columns"));
  EXPECT_TRUE(has(notes, "Skipped DEs (27-30): the position is read from other columns"));
}

TEST(ReadMeMapper, DecimalHoursSouthAndNorthPolarDistances) {
  CatalogDefinition def;
  apply(" 1- 9  F9.6  h  RAh  Right ascension, equinox B1950.0\n"
        "11-19  F9.5  deg  SPD  South polar distance\n"
        "21-24  F4.1  mag  mag  magnitude\n",
        CatalogType::Stars, def);
  EXPECT_EQ(def.settings.ratype, 1);
  EXPECT_EQ(def.settings.dectype, 2);
  EXPECT_EQ(def.settings.equinox, 1950);
  expectSlot(def, 0, 1, 9);
  expectSlot(def, 1, 11, 9);
  expectSlot(def, 3, 21, 4);  // the magnitude by its label "mag"

  CatalogDefinition north;
  apply(" 1- 9  F9.6  h  RAh  Right ascension\n"
        "11-19  F9.5  deg  NPD  North polar distance\n",
        CatalogType::Stars, north);
  EXPECT_EQ(north.settings.dectype, 2);
  expectSlot(north, 1, 11, 9, -1, 180);  // SPD = 180 - NPD
}

TEST(ReadMeMapper, ThreeByteDegreesWithoutSignColumnGiveTheirFirstByteToTheSign) {
  CatalogDefinition def;
  const auto notes = apply(" 1- 2  I2  h  RAh  hours\n"
                           " 4- 5  I2  min  RAm  minutes\n"
                           " 7- 9  I3  deg  DEd  degrees, with the sign\n"
                           "11-12  I2  arcmin  DEm  arcmin\n",
                           CatalogType::Nebulae, def);
  EXPECT_EQ(def.settings.dectype, 0);
  expectSlot(def, 3, 7, 1);
  expectSlot(def, 4, 8, 2);
  expectSlot(def, 5, 11, 2);
  expectUnset(def, 6);
  EXPECT_TRUE(has(notes, "its first byte is the sign")) << joined(notes);

  // Two bytes cannot hold a sign and a degree number: the user is warned.
  CatalogDefinition two;
  const auto warned = apply(" 1- 2  I2  h  RAh  hours\n"
                            " 4- 5  I2  min  RAm  minutes\n"
                            " 7- 8  I2  deg  DEd  degrees\n"
                            "11-12  I2  arcmin  DEm  arcmin\n",
                            CatalogType::Nebulae, two);
  expectUnset(two, 3);
  expectSlot(two, 4, 7, 2);
  EXPECT_TRUE(has(warned, "no sign column")) << joined(warned);
}

TEST(ReadMeMapper, ColumnsInForeignUnitsAreNotTakenForAQuantity) {
  CatalogDefinition def;
  const auto notes = apply(" 1- 8  F8.4  deg    RAdeg  ra\n"
                           "10-17  F8.4  deg    DEdeg  dec\n"
                           "19-24  F6.1  km/s   V      velocity, not a magnitude\n"
                           "26-30  F5.2  mag    Jmag   J magnitude\n"
                           "32-36  F5.2  mag    J-H    colour\n",
                           CatalogType::Stars, def);
  // The magnitude falls back on the first plain "mag" column; V and the
  // colour index become numerics.
  expectSlot(def, 3, 26, 5);
  expectSlot(def, def.fields().numericPosition(1), 19, 6);
  EXPECT_EQ(def.labelOfPosition(def.fields().numericPosition(1)), "V");
  expectSlot(def, def.fields().numericPosition(2), 32, 5);
  EXPECT_TRUE(has(notes, "Not taken for [Magnitude (mag)]: V (19-24), in km/s")) << joined(notes);
}

// A row that cannot be read leaves its column out, and another may take its
// place (here Jmag the magnitude): the notes name every such row first.
TEST(ReadMeMapper, RowsThatCannotBeReadAreListedFirstInTheNotes) {
  CatalogDefinition def;
  const auto notes = apply(" 1- 8  F8.4  deg    RAdeg  ra\n"         // line 5 of the ReadMe
                           "10-17  F8.4  deg    DEdeg  dec\n"
                           "   4- 1 I4 HR\n"
                           "30-26  F5.2  mag    Vmag   V magnitude\n"
                           "32-36  Q5.2  mag    Bmag   B magnitude\n"
                           "38-42  F5.2  mag    Jmag   J magnitude\n"  // line 10
                           "                           2-digit or 12 = not rows\n"
                           "   44\n",
                           CatalogType::Stars, def);
  ASSERT_GE(notes.size(), 4u) << joined(notes);
  EXPECT_EQ(notes[0], "Not read, line 7 of the ReadMe (the byte range 4-1 runs backwards): \"4- 1 I4 HR\"; "
                      "its column is not mapped");
  const char* starts[] = {"Not read, line 8 of the ReadMe (the byte range 30-26 runs backwards)",
                          "Not read, line 9 of the ReadMe (\"Q5.2\" is not a format",
                          "Not read, line 12 of the ReadMe (no blank and format after the bytes): \"44\""};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(notes[i + 1].rfind(starts[i], 0), 0u) << notes[i + 1];
  EXPECT_FALSE(has(std::vector<std::string>(notes.begin() + 4, notes.end()), "Not read")) << joined(notes);
  expectSlot(def, 3, 38, 5);
}

TEST(ReadMeMapper, DoublesNebulaeAndVariablesTakeTheirOwnColumns) {
  CatalogDefinition d;
  apply(" 1-10  A10  ---     WDS   WDS designation\n"
        "12-13  A2   ---     Comp  Components\n"
        "15-18  I4   yr      Obs2  Last observation\n"
        "20-22  I3   deg     pa2   Position angle\n"
        "24-29  F6.1 mas     sep2  Separation\n"
        "31-35  F5.2 mag     mag1  Primary\n"
        "37-41  F5.2 mag     mag2  Secondary\n"
        "43-51  F9.5 deg     RAdeg ra\n"
        "53-61  F9.5 deg     DEdeg dec\n",
        CatalogType::DoubleStars, d);
  // 2 ID, 3 m1, 4 m2, 5 sep, 6 pa, 7 date, 8 Comp.
  expectSlot(d, 2, 1, 10);
  expectSlot(d, 3, 31, 5);
  expectSlot(d, 4, 37, 5);
  expectSlot(d, 5, 24, 6, 0.001);
  expectSlot(d, 6, 20, 3);
  expectSlot(d, 7, 15, 4);
  expectSlot(d, 8, 12, 2);
  EXPECT_TRUE(d.requiredFieldsTicked());

  CatalogDefinition n;
  n.settings.nebunit = 0;
  apply(" 1- 8  F8.4  deg          RAdeg  ra\n"
        "10-17  F8.4  deg          DEdeg  dec\n"
        "19-23  F5.1  arcmin       MajAx  major axis\n"
        "25-29  F5.1  arcsec       MinAx  minor axis\n"
        "31-34  F4.1  mag/arcsec2  SB     surface brightness\n"
        "36-38  I3    deg          PA     position angle\n"
        "40-44  I5    km/s         HRV    velocity\n",
        CatalogType::Nebulae, n);
  EXPECT_EQ(n.settings.nebunit, 1);
  // 5 sbr, 6 D, 7 d, 9 pa, 10 rv.
  expectSlot(n, 5, 31, 4, 1, -8.890756251918218);
  expectSlot(n, 6, 19, 5);
  expectSlot(n, 7, 25, 5, 1.0 / 60);
  expectSlot(n, 9, 36, 3);
  expectSlot(n, 10, 40, 5);

  CatalogDefinition v;
  apply(" 1- 9  A9   ---  GCVS      Variable star designation\n"
        "11-20  A10  ---  VarType   Type of variability\n"
        "22-27  F6.2 mag  magMax    Maximum\n"
        "29-34  F6.2 mag  Min1      Minimum\n"
        "   35  A1   ---  n_magMax  Photometric system\n"
        "37-48  F12.6 d   Period    Period\n"
        "50-57  F8.4 deg  RAdeg     ra\n"
        "59-66  F8.4 deg  DEdeg     dec\n",
        CatalogType::VariableStars, v);
  // 2 ID, 3 max, 4 min, 5 P, 6 T, 9 band.
  expectSlot(v, 2, 1, 9);
  expectSlot(v, 3, 22, 6);
  expectSlot(v, 4, 29, 6);
  expectSlot(v, 5, 37, 12);
  expectSlot(v, 6, 11, 10);
  expectSlot(v, 10, 35, 1);
}

TEST(ReadMeMapper, FreeEntriesRunOutAfterTen) {
  std::string rows = " 1- 8  F8.4  deg  RAdeg  ra\n10-17  F8.4  deg  DEdeg  dec\n";
  for (int i = 0; i < 12; ++i) {
    const int b = 20 + 2 * i;
    rows += std::to_string(b) + "-" + std::to_string(b + 1) + "  A2  ---  T" + std::to_string(i) + "  text\n";
  }
  CatalogDefinition def;
  const auto notes = apply(rows, CatalogType::NebulaOutlines, def);
  const FieldCatalogue& f = def.fields();
  expectSlot(def, f.stringPosition(1), 20, 2);
  expectSlot(def, f.stringPosition(10), 38, 2);
  EXPECT_EQ(def.labelOfPosition(f.stringPosition(10)), "T9");
  EXPECT_TRUE(has(notes, "Skipped T10 (40-41): no String entry left")) << joined(notes);
  EXPECT_TRUE(has(notes, "Skipped T11 (42-43): no String entry left"));
  EXPECT_TRUE(has(notes, "Required entry [Line operation] has no column"));
  EXPECT_EQ(missingRequiredEntries(def), std::vector<std::string>{"[Line operation]"});
}

TEST(ReadMeMapper, ApplyingReplacesEveryEarlierSlotTickLabelAndFlag) {
  CatalogDefinition def;
  def.setType(2);
  for (FieldSlot& s : def.fieldSlots) s = FieldSlot{99, 9, 2, 3};
  for (int p = 0; p < def.fields().size(); ++p) def.setTicked(p, true);
  def.altNames.fill(1);
  def.setLabelOfPosition(def.fields().stringPosition(1), "Old");
  apply(" 1- 8  F8.4  deg  RAdeg  ra\n10-17  F8.4  deg  DEdeg  dec\n", CatalogType::Stars, def);
  EXPECT_EQ(def.settings.type, 0);
  expectSlot(def, 0, 1, 8);
  expectSlot(def, 1, 10, 8);
  for (int p = 2; p < kSlotCount; ++p) {
    if (p < def.fields().size()) {
      EXPECT_FALSE(def.ticked(p)) << p;
    }
    EXPECT_EQ(def.fieldSlots.at(static_cast<std::size_t>(p)), FieldSlot{}) << p;
  }
  EXPECT_EQ(def.altNames, (std::array<std::uint8_t, 10>{}));
  EXPECT_EQ(def.labelOfPosition(def.fields().stringPosition(1)), "Str1");
  EXPECT_EQ(missingRequiredEntries(def), std::vector<std::string>{"[Magnitude (mag)]"});
}

TEST(ReadMeMapper, TableWithoutPositionsSaysSo) {
  CatalogDefinition def;
  const auto notes = apply(" 1- 4  I4  ---  HR  Harvard Revised Number\n", CatalogType::Stars, def);
  EXPECT_TRUE(has(notes, "No right ascension column")) << joined(notes);
  EXPECT_TRUE(has(notes, "No declination column"));
  EXPECT_TRUE(has(notes, "Required entry [RA (hours)] has no column"));
  expectSlot(def, 7, 1, 4);
}

TEST(ReadMeImport, NoteWhenTheOnlyTableNamesAnotherFile) {
  TempDir dir;
  const std::string readme = dir.write("ReadMe", table("stars.dat", " 1- 8  F8.4  deg  RAdeg  ra\n"));
  CatalogDefinition def;
  const ReadMeImport r = importReadMe(readme, dir.str() + "/renamed.txt", "", CatalogType::Stars, def, FileSystem::real());
  EXPECT_EQ(r.readMe.tables.size(), 1u);
  EXPECT_TRUE(has(r.notes, "The ReadMe's only table describes stars.dat; it is used for renamed.txt"))
      << joined(r.notes);
  expectSlot(def, 0, 1, 8);
}

// The data that settles the unit of the right ascension is read with the
// project's line ends, as the build reads it: lines ended by CR alone are
// one line where the project ends lines with LF.
TEST(ReadMeImport, DataIsSampledWithTheProjectsLineEnds) {
  TempDir dir;
  const std::string rows = " 1- 6  F6.1  ---  RA  Right ascension\n 8-13  F6.1  deg  DE  Declination\n";
  const std::string readme = dir.write("ReadMe", table("cat.dat", rows));
  const std::string data = dir.write("cat.dat", "  10.0  +10.0\r 200.0  -05.0\r");
  for (const auto& [eol, open] : {std::pair{kEolCr, false}, std::pair{kEolCrLf, true}, std::pair{kEolLf, true}}) {
    SCOPED_TRACE(eol);
    CatalogDefinition def;
    def.settings.eol = eol;
    const ReadMeImport r = importReadMe(readme, data, "", CatalogType::Stars, def, FileSystem::real());
    EXPECT_EQ(r.openRaUnit.has_value(), open) << joined(r.notes);
  }
}

}  // namespace
}  // namespace mirdal
