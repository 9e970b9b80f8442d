// The Bright Star Catalogue as common tools write it (CSV, CSV.gz, TSV,
// `|`-separated, ECSV, MRT, FITS, VOTable in TABLEDATA and BINARY2) builds
// the same stars as its fixed columns.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>
#include <string>

#include "convert/build_pipeline.h"
#include "input/table_form.h"
#include "input/table_header.h"
#include "import/table_import.h"
#include "output/catalog_reader.h"
#include "support/build_state.h"
#include "support/catalog_checks.h"
#include "support/fits_writer.h"
#include "support/recording_ui.h"
#include "support/shared_forms.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/file_system.h"
#include "util/text.h"

namespace mirdal {
namespace {

using testing::intOf;
using testing::RecordingUi;
using testing::setSlot;
using testing::storedDec;
using testing::storedRa;
using testing::TempDir;
using testing::textOf;

const std::string kData = MIRDAL_SHARED_DATA_DIR;

struct Star {
  std::int64_t ra, dec, mag;
};

// HR number -> what the catalog holds.
std::map<int, Star> starsOf(const std::string& dir) {
  CatalogReader reader(dir, {}, FileSystem::real());
  std::map<int, Star> stars;
  for (int r = 1; r <= reader.regionCount(); ++r)
    for (const std::string& rec : reader.readRegion(r)) {
      const auto f = reader.decode(rec);
      stars[std::stoi(std::string(trimmed(textOf(f, 3))))] = {storedRa(rec), storedDec(rec), intOf(f, 4)};
    }
  return stars;
}

std::map<int, Star> build(const CatalogDefinition& def) {
  RecordingUi ui;
  const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  EXPECT_TRUE(r.completed) << def.settings.inputfiles[0];

  return starsOf(def.settings.ouputdir);
}

CatalogDefinition tableStars(const std::string& file, TableForm form, const std::string& out) {
  CatalogDefinition def = testing::importedProject(kData + "/formats/" + file, form, out);
  def.settings.shortname = "bsc";
  def.settings.longname = "Bright Star Catalogue";
  def.settings.numfile = 1;
  def.settings.magmax = 8;
  return def;
}

// Stars of a table whose columns ra, dec, id (8 bytes) and mag are found by name.
CatalogDefinition namedColumnStars(const std::string& file, TableForm form, const std::string& out) {
  CatalogDefinition def = testing::decimalStars("tst", {file}, 1, out);
  def.settings.longname = "test";
  def.settings.format = form;
  const char* names[] = {"ra", "dec", "id", "mag"};
  for (int p = 0; p < 4; ++p) {
    setSlot(def, p, p + 1, p == 2 ? 8 : 1);
    def.fieldNames[static_cast<std::size_t>(p)] = names[p];
  }
  return def;
}

// The fields ra, dec, id and mag: in a table its columns 1 to 4 by name (the
// id 3 wide), in fixed columns at `bytes` (first, length).
void placeFourFields(CatalogDefinition& def, TableForm form, const std::array<std::array<int, 2>, 4>& bytes) {
  def.settings.format = form;
  def.settings.headerrow = form != TableForm::Fixed;
  for (int p = 0; p < 4; ++p) {
    const auto i = static_cast<std::size_t>(p);
    if (form == TableForm::Fixed) {
      setSlot(def, p, bytes[i][0], bytes[i][1]);
      continue;
    }
    setSlot(def, p, p + 1, p == 2 ? 3 : 1);
    def.fieldNames[i] = std::array{"ra", "dec", "id", "mag"}[i];
  }
}

// The notes of `counts` against `expected`, where "{f}" stands for `path` in quotes.
void expectNotes(const std::vector<RejectCount>& counts, std::vector<std::string> expected, const std::string& path) {
  std::vector<std::string> notes;
  for (const RejectCount& n : counts) notes.push_back(n.note());
  for (std::string& note : expected) note.replace(note.find("{f}"), 3, "\"" + path + "\"");
  EXPECT_EQ(notes, expected);
}

TEST(TableForms, SharedFormsBuildTheStarsOfTheFixedColumns) {
  if (!std::filesystem::exists(kData + "/formats/bsc5.csv")) GTEST_SKIP() << "no shared data";
  TempDir dir;
  // The fixed columns: RA h m s, DEC sign d m s, HR, V.
  CatalogDefinition fixed;
  fixed.settings.shortname = "bsc";
  fixed.settings.inputfiles = {kData + "/bsc5/catalog"};
  fixed.settings.eol = 1;
  fixed.settings.numfile = 1;
  fixed.settings.magmax = 8;
  fixed.settings.ouputdir = dir.str() + "/fixed";
  const int columns[][2] = {{76, 2}, {78, 2}, {80, 4}, {84, 1}, {85, 2}, {87, 2}, {89, 2}, {1, 4}, {103, 5}};
  for (int p = 0; p < 9; ++p) setSlot(fixed, p, columns[p][0], columns[p][1]);
  const std::map<int, Star> expected = build(fixed);
  ASSERT_EQ(expected.size(), 9096u);

  for (const auto& [file, form] : testing::kSharedForms) {
    SCOPED_TRACE(file);
    const std::map<int, Star> got = build(tableStars(file, form, dir.str() + "/" + file));
    ASSERT_EQ(got.size(), expected.size());
    int far = 0, otherMagnitude = 0;
    for (const auto& [hr, star] : expected) {
      const auto it = got.find(hr);
      ASSERT_NE(it, got.end()) << "HR " << hr;
      std::int64_t dRa = std::llabs(it->second.ra - star.ra);
      dRa = std::min(dRa, 1'296'000'000 - dRa);  // across 0h
      if (dRa > 5 || std::llabs(it->second.dec - star.dec) > 5) ++far;
      if (it->second.mag != star.mag) ++otherMagnitude;
    }
    EXPECT_EQ(far, 0);
    EXPECT_EQ(otherMagnitude, 0);
  }
}

// Rows of small delimited files, hostile ones included: what is built,
// what is refused (and noted with its line), or why the build stops.
TEST(TableForms, RowsOfDelimitedFiles) {
  const std::string header = "ra,dec,id,mag\n";
  const struct {
    const char* name;
    TableForm form;
    std::string text;
    std::int64_t records, rejected;
    std::string firstId;  // of the record at ra 10, when there is one
    std::string noteOrError;
  } cases[] = {
      {"quoted comma and quote", TableForm::Csv, header + "10,20,\"A, \"\"b\"\"\",5\n", 1, 0, "A, \"b\"", ""},
      {"line end inside quotes", TableForm::Csv, header + "10,20,\"two\nlines\",5\n11,21,x,6\n", 2, 0, "two\nline", ""},
      {"quote never closed", TableForm::Csv, header + "9,20,\"open,5\n10,21,x,6\n12,22,y,7\n", 2, 1, "x",
       "line 2: the line ends inside a quoted cell"},
      {"ragged row", TableForm::Csv, header + "9,20,x\n10,21,y,6\n", 1, 1, "y",
       "line 2: it has 3 cells where the fields read up to column 4"},
      {"header only", TableForm::Csv, header, 0, 0, "", ""},
      {"BOM, comments, blanks, NaN", TableForm::Csv, "\xEF\xBB\xBF# made here\n" + header + "\n# more\n10,20,x,NaN\n", 1, 0,
       "x", ""},
      {"blank runs keep quoted blanks", TableForm::Blanks, "ra dec id mag\n 10  20 \" a b\"  5\n", 1, 0, " a b", ""},
      {"column not in the file", TableForm::Csv, "ra,dec,ident,mag\n10,20,x,5\n", 0, 0, "",
       "has no column named \"id\", which the field"},
      {"binary data", TableForm::Csv, std::string("ra,dec\0,id\n", 12), 0, 0, "", "binary data"},
      {"missing numbers", TableForm::Csv, header + "10,20,x,null\n11,21,y,-\n12,22,z, -- \n", 3, 0, "x", ""},
      {"missing right ascension", TableForm::Csv, header + "null,20,w,5\n10,21,x,6\n", 1, 1, "x",
       "line 2: the right ascension is missing"},
      {"missing declination", TableForm::Csv, header + "10,21,x,6\n11, ,y,7\n", 1, 1, "x",
       "line 3: the declination is missing"},
      {"line of 16 MiB", TableForm::Csv, header + std::string(16 << 20, 'x') + "\n10,20,x,5\n", 1, 1, "x",
       "line 2: it has 1 cell where"},
      {"line past 16 MiB", TableForm::Csv, header + std::string((16 << 20) + 1, 'x') + "\n10,20,x,5\n", 0, 0, "",
       "line longer than 16777216 bytes (line 2)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    CatalogDefinition def = namedColumnStars(dir.write("t.txt", c.text), c.form, dir.str() + "/out");
    def.settings.headerrow = true;
    RecordingUi ui;
    std::string error;
    BuildResult r;
    try {
      r = BuildPipeline(ui, FileSystem::real()).run(def);
    } catch (const Error& e) {
      error = e.what();
    }
    if (c.records == 0 && !c.noteOrError.empty()) {
      EXPECT_NE(error.find(c.noteOrError), std::string::npos) << error;
      EXPECT_NE(error.find("t.txt"), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(error, "");
    EXPECT_EQ(r.recordsWritten, c.records);
    EXPECT_EQ(r.linesRejected, c.rejected);
    if (!c.noteOrError.empty()) {
      ASSERT_EQ(r.rowNotes.size(), 1u);
      EXPECT_NE(r.rowNotes[0].find(c.noteOrError), std::string::npos) << r.rowNotes[0];
    }
    if (c.records == 0) continue;
    const CatalogReader reader(def.settings.ouputdir, {}, FileSystem::real());
    bool found = false;
    for (int region = 1; region <= reader.regionCount(); ++region)
      for (const std::string& rec : reader.readRegion(region))
        if (storedRa(rec) == 36'000'000) {
          found = true;
          EXPECT_EQ(std::string(trimmed(textOf(reader.decode(rec), 3))), std::string(trimmed(c.firstId)));
        }
    EXPECT_TRUE(found);
  }
}

// Every refused row is counted under its reason, with the first row of each.
TEST(TableForms, RejectedRowsAreCountedByReason) {
  const struct {
    const char* name;
    const char* file;
    TableForm form;
    std::string text;
    std::vector<std::string> notes;  // {f}: the file's name, quoted
  } cases[] = {
      {"delimited", "t.csv", TableForm::Csv,
       "ra,dec,id,mag\n400,20,a,1\nx,20,b,1\n0,0,c,1\nnull,20,d,1\n9,20,e\n500,20,f,1\n10,20,g,1\n10,20,\"open,5\n",
       {"position out of range: 2 lines, the first at {f} line 2", "position not a number: 1 line, at {f} line 3",
        "no position: 2 lines, the first at {f} line 4", "quoted cell never closed: 1 line, at {f} line 9",
        "fewer cells than the fields read: 1 line, at {f} line 6"}},
      // A column's null marker is a missing value, not a text.
      {"IPAC null markers", "t.tbl", TableForm::Ipac,
       "|ra      |dec     |id      |mag     |\n|double  |double  |char    |double  |\n"
       "|deg     |deg     |        |mag     |\n|-999    |-999    |        |        |\n"
       " 10.5     20.25    a        5        \n -999     20.25    b        5        \n"
       " 11.5     -999     c        5        \n xx       20       d        5        \n",
       {"position not a number: 1 line, at {f} line 8", "no position: 2 lines, the first at {f} line 6"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.write(c.file, c.text);
    CatalogDefinition def = namedColumnStars(path, c.form, dir.str() + "/out");
    if (c.form == TableForm::Ipac) {
      ASSERT_TRUE(importTableDescription(FileSystem::real(), path, c.form, CatalogType::Stars, def).mapped);
      def.settings.shortname = "tst";
    }
    def.settings.headerrow = true;
    RecordingUi ui;
    const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
    EXPECT_EQ(r.recordsWritten, 1);
    expectNotes(r.rejectReasons, c.notes, path);
  }
}

// Positions written whole in one cell, as catalog services write them,
// import to the one-cell modes and build where the cells say, from text rows
// and from a VOTable's typed cells alike; a cell that is no such position
// refuses its row rather than putting the star at 0.
TEST(TableForms, OneCellPositionsBuildWhereTheCellsSay) {
  const std::vector<std::array<std::string, 4>> rows = {
      {"a", "00 05 09.90", "+45 13 45.0", "5.1"}, {"b", "17:45:40.09", "-29:00:22.1", "6.2"},
      {"c", "05h34m31.97s", "+22d00m52.2s", "7.3"}, {"d", "05 34.5", "-00 30 00", "8.0"},
      {"e", "24:00:00", "+10 00 00", "9.0"},  // hours past 23
      {"f", "12 30 00", "+10 61 00", "9.0"},  // minutes past 59
  };
  // Milliarcseconds of RA, and of DEC + 90 degrees.
  const std::map<std::string, std::pair<std::int64_t, std::int64_t>> expected = {
      {"a", {4'648'500, 486'825'000}}, {"b", {959'101'350, 219'577'900}},
      {"c", {301'079'550, 403'252'200}}, {"d", {301'050'000, 322'200'000}}};
  TempDir dir;
  std::string csv = "Name,RAJ2000,DEJ2000,Vmag\n", vot;
  for (const auto& r : rows) {
    csv += r[0] + "," + r[1] + "," + r[2] + "," + r[3] + "\n";
    vot += "<TR><TD>" + r[0] + "</TD><TD>" + r[1] + "</TD><TD>" + r[2] + "</TD><TD>" + r[3] + "</TD></TR>\n";
  }
  vot = "<?xml version='1.0'?><VOTABLE version='1.4'><RESOURCE><TABLE>"
        "<FIELD name='Name' ucd='meta.id;meta.main' datatype='char' arraysize='*'/>"
        "<FIELD name='RAJ2000' ucd='pos.eq.ra;meta.main' datatype='char' arraysize='*' unit='\"h:m:s\"'/>"
        "<FIELD name='DEJ2000' ucd='pos.eq.dec;meta.main' datatype='char' arraysize='*' unit='\"d:m:s\"'/>"
        "<FIELD name='Vmag' datatype='float' unit='mag'/><DATA><TABLEDATA>\n" +
        vot + "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n";
  for (const std::string& path : {dir.write("s.csv", csv), dir.write("s.vot", vot)}) {
    SCOPED_TRACE(path);
    CatalogDefinition def;
    ASSERT_TRUE(importTableDescription(FileSystem::real(), path, std::nullopt, CatalogType::Stars, def).mapped);
    ASSERT_EQ(def.settings.ratype, 4);
    ASSERT_EQ(def.settings.dectype, 3);
    def.settings.shortname = "one";
    def.settings.inputfiles = {path};
    def.settings.ouputdir = path + ".out";
    RecordingUi ui;
    const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
    EXPECT_EQ(r.recordsWritten, 4);
    ASSERT_EQ(r.rejectReasons.size(), 1u);
    EXPECT_EQ(r.rejectReasons[0].note().substr(0, 31), "position not a number: 2 lines,");
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> got;
    const CatalogReader reader(def.settings.ouputdir, {}, FileSystem::real());
    for (int region = 1; region <= reader.regionCount(); ++region)
      for (const std::string& rec : reader.readRegion(region))
        got[std::string(trimmed(textOf(reader.decode(rec), 3)))] = {storedRa(rec), storedDec(rec)};
    EXPECT_EQ(got, expected);
  }
}

// A VOTable's cells that hold no value, in each way writers mark one: a
// number takes its field's missing value, and only a missing position
// refuses its row, to the reject log and noted with its reason.
TEST(TableForms, MissingValuesOfAVoTable) {
  TempDir dir;
  std::string rows;
  for (const auto& row : std::vector<std::vector<std::string>>{{"10", "20", "x", "null"},
                                                               {"11", "21", "y", "-"},
                                                               {"null", "22", "z", "5"},
                                                               {"12", "--", "w", "6"},
                                                               {"13", "23", "v", ""},
                                                               {"14", "24", "u", "NaN"}}) {
    rows += "<TR>";
    for (const std::string& cell : row) rows += "<TD>" + cell + "</TD>";
    rows += "</TR>\n";
  }
  // 15 and 8.5 as the bytes of a double and a float.
  rows += "<TR><TD encoding='base64'>QC4AAAAAAAA=</TD><TD>25</TD><TD>t</TD><TD encoding='base64'>QQgAAA==</TD></TR>\n";
  const std::string path = dir.write(
      "t.vot",
      "<?xml version='1.0'?><VOTABLE version='1.0'><RESOURCE><TABLE><FIELD name='ra' datatype='double'/>"
      "<FIELD name='dec' datatype='double'/><FIELD name='id' datatype='char' arraysize='*'/>"
      "<FIELD name='mag' datatype='float'><VALUES null='-99'/></FIELD><DATA><TABLEDATA>\n" +
          rows + "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n");
  CatalogDefinition def = namedColumnStars(path, TableForm::VoTable, dir.str() + "/out");
  RecordingUi ui;
  const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
  EXPECT_EQ(r.recordsWritten, 5);
  EXPECT_EQ(r.rowNotes, (std::vector<std::string>{"\"" + path + "\" row 3: the right ascension is missing",
                                                  "\"" + path + "\" row 4: the declination is missing"}));
  EXPECT_EQ(dir.read("out/reject.txt"), "row 3\tra=\tdec=22\tid=z\tmag=5\r\nrow 4\tra=12\tdec=\tid=w\tmag=6\r\n");
  std::map<std::string, std::int64_t> magnitudes;
  const CatalogReader reader(def.settings.ouputdir, {}, FileSystem::real());
  for (int region = 1; region <= reader.regionCount(); ++region)
    for (const std::string& rec : reader.readRegion(region)) {
      const auto f = reader.decode(rec);
      magnitudes[std::string(trimmed(textOf(f, 3)))] = intOf(f, 4);
    }
  ASSERT_EQ(magnitudes.size(), 5u);
  for (const char* id : {"x", "y", "u"}) EXPECT_EQ(magnitudes[id], magnitudes["v"]) << id;  // as a blank cell
  EXPECT_EQ(magnitudes["t"], 8500);
}

// Each file of a catalog is searched for its columns by name: files whose
// columns stand in another order build alike.
TEST(TableForms, ColumnsAreFoundByNameInEachFile) {
  TempDir dir;
  CatalogDefinition def = testing::decimalStars(
      "tst", {dir.write("a.csv", "ra,dec,id\n10,20,A\n"), dir.write("b.csv", "id,x,dec,ra\nB,0,21,11\n")}, 1,
      dir.str() + "/out");
  def.settings.longname = "test";
  def.settings.format = TableForm::Csv;
  def.settings.headerrow = true;
  const char* names[] = {"ra", "dec", "id"};
  for (int p = 0; p < 3; ++p) {
    setSlot(def, p, p + 1, 4);
    def.fieldNames[static_cast<std::size_t>(p)] = names[p];
  }
  std::map<std::int64_t, std::string> got;
  RecordingUi ui;
  ASSERT_EQ(BuildPipeline(ui, FileSystem::real()).run(def).recordsWritten, 2);
  const CatalogReader reader(def.settings.ouputdir, {}, FileSystem::real());
  for (int region = 1; region <= reader.regionCount(); ++region)
    for (const std::string& rec : reader.readRegion(region))
      got[storedRa(rec)] = std::string(trimmed(textOf(reader.decode(rec), 3)));
  EXPECT_EQ(got, (std::map<std::int64_t, std::string>{{36'000'000, "A"}, {39'600'000, "B"}}));
}

// A text longer than its field is cut to the field's length, and every one
// is counted per field, with where the first stands: from rows handed on
// in batches (two threads), one by one, and from typed cells; never from
// fixed columns, which are their texts whatever follows them.
TEST(TableForms, TextsLongerThanTheirFieldAreCountedPerField) {
  // Rows "ra,dec,id,mag" whose every `every`th id is 7 bytes, the others 3.
  auto rows = [](int n, int every, bool vot) {
    std::string text = vot ? "<VOTABLE><RESOURCE><TABLE><FIELD name=\"ra\" datatype=\"double\"/><FIELD name=\"dec\" "
                             "datatype=\"double\"/><FIELD name=\"id\" datatype=\"char\" arraysize=\"*\"/><FIELD "
                             "name=\"mag\" datatype=\"float\"/><DATA><TABLEDATA>"
                           : "ra,dec,id,mag\n";
    for (int r = 1; r <= n; ++r) {
      const std::string cells[] = {std::to_string(r % 360), "20", r % every == 0 ? "LONG_ID" : "abc", "5"};
      if (vot) text += "<TR>";
      for (int k = 0; k < 4; ++k) text += vot ? "<TD>" + cells[k] + "</TD>" : cells[k] + (k == 3 ? "\n" : ",");
      if (vot) text += "</TR>";
    }
    return vot ? text + "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>" : text;
  };
  // Fixed columns "RRR DD M ID.": the id in bytes 10-12, every `every`th one
  // "LONG_ID", whose neighbour "_ID" touches them.
  auto fixedRows = [](int n, int every) {
    std::string text;
    char line[32];
    for (int r = 1; r <= n; ++r) {
      std::snprintf(line, sizeof line, "%3d 20 5 %s\n", r % 360, r % every == 0 ? "LONG_ID" : "abc");
      text += line;
    }
    return text;
  };
  const struct {
    const char* name;
    TableForm form;
    std::string text;
    std::int64_t cut;
    std::string first;  // after the file's name
  } cases[] = {
      {"batches of rows", TableForm::Csv, rows(5000, 10, false), 500, " line 11"},
      {"a few rows", TableForm::Csv, rows(5, 4, false), 1, " line 5"},
      {"typed cells", TableForm::VoTable, rows(4, 3, true), 1, " row 3"},
      {"texts that fit", TableForm::Csv, rows(100, 1000, false), 0, ""},
      // Packed fixed columns touch their neighbours (the Bright Star Catalogue
      // has no blank between most of its columns): a column is its text.
      {"fixed columns", TableForm::Fixed, fixedRows(5000, 10), 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string input = dir.write("t.txt", c.text);
    CatalogDefinition def = testing::decimalStars("tst", {input}, 1, dir.str() + "/out");
    def.settings.longname = "test";
    placeFourFields(def, c.form, {{{1, 3}, {5, 2}, {10, 3}, {8, 1}}});
    RecordingUi ui;
    const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
    ASSERT_EQ(r.textsCut.size(), c.cut == 0 ? 0u : 1u);
    if (c.cut == 0) continue;
    EXPECT_EQ(r.textsCut[0].note(), "\"" + input + "\"" + c.first + ": a text of \"Catalog ID (Id)\" is longer than its "
              "3 bytes and is cut (" + std::to_string(c.cut) + (c.cut == 1 ? " text" : " texts") + " cut in all)");
  }
}

// Magnitudes the field cannot hold as they stand are counted per reason with
// the first of each; a blank magnitude (a missing cell, a NaN of a float
// column) is no magnitude and is not counted.
TEST(TableForms, MagnitudesChangedAreCountedPerReason) {
  const char* mags[] = {"5", "40", "-33", "-99", "1e9", "nan", "", "inf", "xx", "1e400", "-32.768"};
  std::string csv = "ra,dec,id,mag\n", fixed;
  for (int r = 0; r < 11; ++r) {
    csv += std::to_string(r + 1) + ",20,abc," + mags[r] + "\n";
    fixed += testing::columns({{1, std::to_string(r + 1)}, {5, "20"}, {8, "abc"}, {12, mags[r]}}) + "\n";
  }
  const std::string vot = "<VOTABLE><RESOURCE><TABLE><FIELD name=\"ra\" datatype=\"double\"/><FIELD name=\"dec\" "
                          "datatype=\"double\"/><FIELD name=\"id\" datatype=\"char\" arraysize=\"*\"/><FIELD "
                          "name=\"mag\" datatype=\"float\"/><DATA><TABLEDATA><TR><TD>1</TD><TD>2</TD><TD>a</TD>"
                          "<TD>NaN</TD></TR><TR><TD>1</TD><TD>2</TD><TD>b</TD><TD>40</TD></TR>"
                          "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>";
  // The notes of the text forms, whose first rows are line `first`.
  auto textNotes = [](int first) {
    auto at = [first](int row) { return "{f} line " + std::to_string(first + row); };
    return std::vector<std::string>{"magnitude below -32.768, stored as -32.768: 2 records, the first at " + at(2),
                                    "magnitude above 32.766, stored as no magnitude: 3 records, the first at " + at(1),
                                    "magnitude not a number, stored as no magnitude: 3 records, the first at " + at(5)};
  };
  const struct {
    const char* name;
    TableForm form;
    std::string text;
    std::vector<std::string> notes;  // {f}: the file's name, quoted
    double magmax = 12;
  } cases[] = {
      {"delimited", TableForm::Csv, csv, textNotes(2)},
      {"a maximum magnitude beyond the field", TableForm::Csv, csv, textNotes(2), 99},
      {"fixed columns", TableForm::Fixed, fixed, textNotes(1)},
      {"typed cells", TableForm::VoTable, vot, {"magnitude above 32.766, stored as no magnitude: 1 record, at {f} row 2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string input = dir.write("t.txt", c.text);
    CatalogDefinition def = testing::decimalStars("tst", {input}, 1, dir.str() + "/out");
    def.settings.magmax = c.magmax;
    placeFourFields(def, c.form, {{{1, 3}, {5, 2}, {8, 3}, {12, 7}}});
    RecordingUi ui;
    const BuildResult r = BuildPipeline(ui, FileSystem::real()).run(def);
    expectNotes(r.magnitudesChanged, c.notes, input);
  }
}

// A FITS table cut short or a VOTable cut inside its base64 stops a rebuild
// with the file and the reason, and leaves the catalog built before.
TEST(TableForms, DamagedBinaryTablesKeepThePreviousCatalog) {
  if (!std::filesystem::exists(kData + "/formats/bsc5.fits")) GTEST_SKIP() << "no shared data";
  for (const auto& [file, form, keep] : {std::tuple{"bsc5.fits", TableForm::Fits, 40000},
                                         std::tuple{"bsc5.b2.vot", TableForm::VoTable, 60000}}) {
    SCOPED_TRACE(file);
    TempDir dir;
    CatalogDefinition def = tableStars(file, form, dir.str() + "/out");
    build(def);
    const auto before = testing::directoryContents(dir.str() + "/out");
    const std::string whole = TempDir::readFile(def.settings.inputfiles[0]);
    def.settings.inputfiles = {dir.write(file, whole.substr(0, static_cast<std::size_t>(keep)))};
    RecordingUi ui;
    try {
      BuildPipeline(ui, FileSystem::real()).run(def);
      ADD_FAILURE() << "a damaged file was built";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    EXPECT_EQ(testing::directoryContents(dir.str() + "/out"), before);
  }
}

// What the import proposes of a FITS or VOTable file, the build reads: a
// VOTable in UTF-16 is one for both, and a column of variable-length arrays
// is left out, with the reason, rather than mapped for the build to refuse.
TEST(TableForms, TheImportProposesOnlyWhatTheBuildReads) {
  TempDir dir;
  const std::string xml =
      "<?xml version='1.0' encoding='UTF-16'?><VOTABLE><RESOURCE><TABLE>"
      "<FIELD name='RAdeg' datatype='double' unit='deg' ucd='pos.eq.ra;meta.main'/>"
      "<FIELD name='DEdeg' datatype='double' unit='deg' ucd='pos.eq.dec;meta.main'/>"
      "<FIELD name='Vmag' datatype='float' unit='mag' ucd='phot.mag;em.opt.V'/>"
      "<DATA><TABLEDATA><TR><TD>10.5</TD><TD>-20.25</TD><TD>5.5</TD></TR></TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>";
  std::string utf16 = "\xFF\xFE";
  for (char c : xml) utf16 += std::string{c, '\0'};
  const std::string vot = dir.write("utf16.xml", utf16);
  EXPECT_EQ(detectTableForm(FileSystem::real(), vot).form, TableForm::VoTable);
  for (std::optional<TableForm> form : {std::optional<TableForm>{}, std::optional{TableForm::VoTable}}) {
    CatalogDefinition def;
    EXPECT_TRUE(importTableDescription(FileSystem::real(), vot, form, CatalogType::Stars, def).mapped);
    def.settings.inputfiles = {vot};
    def.settings.ouputdir = dir.str() + "/out";
    def.settings.shortname = "u16";
    RecordingUi ui;
    const BuildResult built = BuildPipeline(ui, FileSystem::real()).run(def);
    EXPECT_TRUE(built.completed);
    EXPECT_EQ(built.linesRead, 1);
  }

  const std::string fits = dir.str() + "/arrays.fits";
  testing::writeFitsTable(fits, {{"RA", "D", "deg"}, {"DEC", "D", "deg"}, {"HR", "1PJ(3)"}, {"Vmag", "E", "mag"}}, {});
  CatalogDefinition def;
  const TableImport imported = importTableDescription(FileSystem::real(), fits, std::nullopt, CatalogType::Stars, def);
  EXPECT_TRUE(std::any_of(imported.notes.begin(), imported.notes.end(), [](const std::string& n) {
    return n.starts_with("Column 3 (HR) is left out: it is of type 1PJ(3)");
  })) << (imported.notes.empty() ? "" : imported.notes.back());
  for (const FieldSlot& slot : def.fieldSlots) EXPECT_NE(slot.firstChar, 3);
}

}  // namespace
}  // namespace mirdal
