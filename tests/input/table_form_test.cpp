#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "input/row_splitter.h"
#include "input/table_form.h"
#include "input/table_header.h"
#include "support/error_of.h"
#include "support/gzip.h"
#include "support/memory_file_system.h"
#include "support/packed.h"
#include "util/error.h"

namespace mirdal {
namespace {

using Cells = std::vector<std::string>;
const std::string kData = MIRDAL_SHARED_DATA_DIR;

Cells cellsOf(const RowSplitter& s) {
  Cells out;
  for (std::size_t i = 0; i < s.size(); ++i) out.emplace_back(s.cell(i));
  return out;
}

using testing::errorOf;

TEST(RowSplitter, CellsOfEachForm) {
  const Delimiting csv = delimitingOf(TableForm::Csv), tsv = delimitingOf(TableForm::Tsv),
                   psv = delimitingOf(TableForm::Psv), ssv = delimitingOf(TableForm::Semicolon),
                   blanks = delimitingOf(TableForm::Blanks);
  const Delimiting bars{'|', false, true};
  const std::string manyCells(RowSplitter::kMaxCells, ',');
  const std::string longCell(3'000'000, 'x');
  struct Case {
    const char* name;
    Delimiting delimiting;
    std::string line;
    RowStatus status;
    Cells cells;             // read before the problem, for a refused row
    std::size_t column = 0;  // problemColumn()
  };
  const std::vector<Case> cases{
      {"plain", csv, "1,6.70,A1Vn", RowStatus::Ok, {"1", "6.70", "A1Vn"}},
      {"blanks around unquoted cells go", csv, " 1 , 6.7 ,\tx\r", RowStatus::Ok, {"1", "6.7", "x"}},
      {"empty cells and a final separator", csv, ",,x,", RowStatus::Ok, {"", "", "x", ""}},
      {"quoted comma", csv, R"(1,"Smith, J.",2)", RowStatus::Ok, {"1", "Smith, J.", "2"}},
      {"doubled quotes", csv, R"("say ""hi""","""",x)", RowStatus::Ok, {R"(say "hi")", R"(")", "x"}},
      {"quoted cell keeps its blanks", csv, R"( "  33  Psc " ,"")", RowStatus::Ok, {"  33  Psc ", ""}},
      {"quote inside an unquoted cell", csv, R"(12",a"b)", RowStatus::Ok, {R"(12")", R"(a"b)"}},
      {"line of blanks has no cell", csv, " \t ", RowStatus::Ok, {}},
      {"unbalanced quote", csv, R"(1,"open, 2)", RowStatus::OpenQuote, {"1"}, 3},
      {"text after a closing quote", csv, R"(1,"ab"c,d)", RowStatus::TextAfterQuote, {"1", "ab"}, 7},
      {"binary bytes are trimmed as blanks", csv, std::string("\0\x01" "a\xff,\x02", 7), RowStatus::Ok, {"a\xff", ""}},
      {"too many cells", csv, manyCells, RowStatus::TooManyCells, Cells(RowSplitter::kMaxCells, ""), 65537},
      {"a very long cell", csv, longCell + ",1", RowStatus::Ok, {longCell, "1"}},
      {"tab", tsv, "1\t\tBD+44 4550\t 3 ", RowStatus::Ok, {"1", "", "BD+44 4550", "3"}},
      {"pipe", psv, "1||33    Psc|", RowStatus::Ok, {"1", "", "33    Psc", ""}},
      {"semicolon with a decimal comma", ssv, "1;6,70;\"a;b\"", RowStatus::Ok, {"1", "6,70", "a;b"}},
      {"runs of blanks", blanks, "  1   6.70\t A1Vn  ", RowStatus::Ok, {"1", "6.70", "A1Vn"}},
      {"quoted blanks and empty cells", blanks, R"(1 "" "BD+44 4550" 3)", RowStatus::Ok, {"1", "", "BD+44 4550", "3"}},
      {"blank-separated text after a quote", blanks, R"("a"b c)", RowStatus::TextAfterQuote, {"a"}, 4},
      {"blank-separated open quote", blanks, R"(1 "a b)", RowStatus::OpenQuote, {"1"}, 3},
      {"bars at both ends", bars, " |  1| 10.5|  x | ", RowStatus::Ok, {"1", "10.5", "x"}},
      {"empty cells between bars", bars, "| |2||", RowStatus::Ok, {"", "2", ""}},
      {"a row without bars at its ends", bars, "1|2", RowStatus::Ok, {"1", "2"}},
      {"quoted bar between bars", bars, R"(| "a|b" |2|)", RowStatus::Ok, {"a|b", "2"}},
      {"problem columns count the bar", bars, R"(|1|"a"b|)", RowStatus::TextAfterQuote, {"1", "a"}, 7},
  };
  RowSplitter splitter;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    splitter.setDelimiting(c.delimiting);
    EXPECT_EQ(splitter.split(c.line), c.status);
    EXPECT_EQ(cellsOf(splitter), c.cells);
    EXPECT_EQ(splitter.problemColumn(), c.column);
  }
}

TEST(RowSplitter, QuotedCellGoesOnAcrossLineEnds) {
  RowSplitter splitter;
  const std::vector<std::string> lines{R"(1,"first)", R"(second "" line)", R"(third",2)"};
  std::string row = lines[0];
  ASSERT_EQ(splitter.split(row), RowStatus::OpenQuote);
  EXPECT_TRUE(splitter.quoteStaysOpen(lines[1]));
  EXPECT_FALSE(splitter.quoteStaysOpen(lines[2]));
  EXPECT_TRUE(splitter.quoteStaysOpen(R"(x",2,"y)")) << "a second quoted cell opens";
  row += '\n' + lines[1] + '\n' + lines[2];
  ASSERT_EQ(splitter.split(row), RowStatus::Ok);
  EXPECT_EQ(cellsOf(splitter), (Cells{"1", "first\nsecond \" line\nthird", "2"}));
  EXPECT_TRUE(splitter.spans()[1].unescaped);
}

TEST(TableCells, MissingValues) {
  for (const char* missing : {"", "   ", "NaN", "nan", " NAN ", "null", " NULL"}) {
    EXPECT_TRUE(isMissingCell(missing)) << missing;
    EXPECT_TRUE(isMissingNumber(missing)) << missing;
  }
  // A lone "-" is a sign, or a text: no value only where a number stands.
  for (const char* value : {"-", " -- "}) {
    EXPECT_FALSE(isMissingCell(value)) << value;
    EXPECT_TRUE(isMissingNumber(value)) << value;
  }
  for (const char* value : {"0", "nano", "nulls", "-0", "---"}) {
    EXPECT_FALSE(isMissingCell(value)) << value;
    EXPECT_FALSE(isMissingNumber(value)) << value;
  }
  EXPECT_TRUE(isMissingCell("-999", "-999"));
  EXPECT_FALSE(isMissingCell("-9990", "-999"));
}

TEST(TableForm, NamesReadBack) {
  for (TableForm f : {TableForm::Fixed, TableForm::Csv, TableForm::Tsv, TableForm::Psv, TableForm::Semicolon,
                      TableForm::Blanks, TableForm::Ecsv, TableForm::Mrt, TableForm::Ipac})
    EXPECT_EQ(parseTableForm(tableFormName(f)), f);
  EXPECT_EQ(tableFormName(TableForm::Semicolon), "ssv");
  EXPECT_EQ(parseTableForm(" CSV "), TableForm::Csv);
  EXPECT_EQ(parseTableForm("xls"), std::nullopt);
}

TEST(TableForm, DetectsTheSharedCatalogs) {
  const struct {
    const char* file;
    TableForm form;
    bool header;
  } cases[]{
      {"/formats/bsc5.csv", TableForm::Csv, true},   {"/formats/bsc5.csv.gz", TableForm::Csv, true},
      {"/formats/bsc5.tsv", TableForm::Tsv, true},   {"/formats/bsc5.psv", TableForm::Psv, false},
      {"/formats/bsc5.ecsv", TableForm::Ecsv, true}, {"/formats/bsc5.mrt", TableForm::Mrt, true},
      {"/bsc5/catalog", TableForm::Fixed, false},    {"/ngc2000/ngc2000.dat", TableForm::Fixed, false},
      {"/formats/bsc5.fits", TableForm::Fits, true}, {"/formats/bsc5.b2.vot", TableForm::VoTable, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const DetectedForm d = detectTableForm(FileSystem::real(), kData + c.file);
    EXPECT_EQ(d.form, c.form);
    EXPECT_EQ(d.hasHeaderRow, c.header);
  }
  // A header line longer than the first sample is read whole: an IPAC
  // table of 60,000 columns is seen as one.
  std::string names = "|", types = "|", row;
  for (int i = 0; i < 60'000; ++i) {
    names += " c" + std::to_string(i) + "|";
    types += std::string(std::to_string(i).size() + 1, ' ') + "d|";
    row += " " + std::string(std::to_string(i).size() + 1, '1') + " ";
  }
  testing::MemoryFileSystem wide;
  wide.put("/wide.tbl", names + "\n" + types + "\n" + row + "\n");
  EXPECT_EQ(detectTableForm(wide, "/wide.tbl").form, TableForm::Ipac);
  // Binary data that is no FITS file is refused.
  EXPECT_NE(errorOf([] { detectTableForm(FileSystem::real(), std::string(MIRDAL_BINARY_DIR) + "/mirdal-build"); })
                .find("mirdal-build\" is not a text table: it holds binary data"),
            std::string::npos);
}

TEST(TableForm, DetectsFromContentAndName) {
  const struct {
    const char* name;
    const char* path;
    std::string text;
    TableForm form;
    bool header;
  } cases[]{
      {"semicolons beat a .csv name", "a.csv", "ra;dec\n1,5;2,5\n3,5;4\n", TableForm::Semicolon, true},
      {"the name settles a tie", "a.psv", "a|b,c\n1|2,3\n", TableForm::Psv, true},
      {"one column named .csv", "a.csv.gz", "1\n2\n", TableForm::Csv, false},
      {"byte order mark, header only", "t", "\xEF\xBB\xBFra,dec,name\n", TableForm::Csv, true},
      {"all-text rows are data", "t", "a,b\nc,d\n", TableForm::Csv, false},
      {"comments and quoted line ends", "t", "# x\nid,\"na\nme\"\n1,\"a\nb\"\n", TableForm::Csv, true},
      {"unaligned blank-separated values", "t", "id ra\n1 10.5\n22 3.25\n", TableForm::Blanks, true},
      {"aligned values are fixed columns", "t", " 1 10.50\n22  3.25\n", TableForm::Fixed, false},
      {"ragged commas in text are fixed columns", "t", "NGC 1 Gx vF, S\nNGC 2 Gx F\n", TableForm::Fixed, false},
      {"empty", "t", "", TableForm::Fixed, false},
      {"bars at both ends", "t", "|  id|   ra|  dec|\n|----|-----|-----|\n|   1| 10.5| 20.3|\n|   2|  1.5| -2.5|\n",
       TableForm::Psv, true},
      {"a dump drawn with bars", "t.txt",
       "+----+------+\n| id | ra   |\n+----+------+\n|  1 | 10.5 |\n|  2 |  1.5 |\n+----+------+\n", TableForm::Psv,
       true},
      {"bars at one end only are empty cells", "t", "id|ra|\n1|10.5|\n", TableForm::Psv, false},
      {"bars beat commas and a name", "t.csv", "| name, initial | ra |\n| Smith, J | 1.5 |\n", TableForm::Psv, true},
      {"IPAC: bars over bare rows", "t.csv", "\\fixlen = T\n| id|  ra|\n| int|real|\n   1  1.5\n", TableForm::Ipac,
       true},
      {"IPAC without rows", "t", "\\fixlen = T\n| id|  ra|\n| int|real|\n|    | deg|\n", TableForm::Ipac, true},
      {"bars over a rule without rows", "t", "| id|  ra|\n|---|----|\n", TableForm::Psv, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DetectedForm d = detectTableFormOfText(c.text, c.path, true);
    EXPECT_EQ(d.form, c.form);
    EXPECT_EQ(d.hasHeaderRow, c.header);
  }
}

TableColumn column(int number, std::string name, std::string unit = "", std::string description = "",
                   std::string datatype = "", int firstByte = 0, int lastByte = 0) {
  TableColumn c;
  c.number = number;
  c.name = std::move(name);
  c.unit = std::move(unit);
  c.description = std::move(description);
  c.datatype = std::move(datatype);
  c.firstByte = firstByte;
  c.lastByte = lastByte;
  return c;
}

TEST(TableLayout, ColumnsOfTheSharedCatalogs) {
  const struct {
    const char* file;
    TableForm form;
    bool header;
    std::size_t columns;
    std::int64_t dataLine;
    TableColumn vmag;
    TableColumn last;
    std::string firstRow;
    std::vector<std::string> notes{};
  } cases[]{
      {"bsc5.csv", TableForm::Csv, true, 55, 2, column(29, "Vmag"), column(55, "DEdeg"), "1,,BD+44 4550,3"},
      {"bsc5.tsv", TableForm::Tsv, true, 55, 7, column(29, "Vmag", "mag"), column(55, "DEdeg", "deg"),
       "1\t\tBD+44 4550\t3"},
      {"bsc5.psv", TableForm::Psv, false, 55, 1, column(29, ""), column(55, ""), "1||BD+44 4550|3"},
      {"bsc5.ecsv", TableForm::Ecsv, true, 55, 61, column(29, "Vmag", "mag", "Visual magnitude (1)", "float64"),
       column(55, "DEdeg", "deg", "", "float64"), "1 \"\" \"BD+44 4550\" 3"},
      {"bsc5.mrt", TableForm::Mrt, true, 54, 96,
       // The rows stand two bytes further on than the description says.
       column(30, "Vmag", "mag", "[-1.46/7.96]? Visual magnitude (1)", "F5.2", 131, 135),
       column(54, "NoteFlag", "", "? [*] a star indicates that there is a note(see file notes)", "A1", 248, 248),
       "   1            BD+44 4550",
       {"the rows do not stand where the byte-by-byte description places them (column \"FK5\" fills bytes 43-46 "
        "where the description says 43-44); each column is read where the rows have it",
        "columns 23 and 24 are both named \"DE-\""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = kData + "/formats/" + c.file;
    const TableLayout layout = readTableLayout(FileSystem::real(), path, c.form, c.header);
    EXPECT_EQ(layout.dataLine, c.dataLine);
    EXPECT_EQ(layout.notes, c.notes);
    ASSERT_EQ(layout.columns.size(), c.columns);
    EXPECT_EQ(layout.columns[static_cast<std::size_t>(c.vmag.number) - 1], c.vmag);
    EXPECT_EQ(layout.columns.back(), c.last);
    std::ifstream in(path, std::ios::binary);
    in.seekg(layout.dataOffset);
    std::string rest(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(rest.substr(0, c.firstRow.size()), c.firstRow);
  }
  const TableLayout gz = readTableLayout(FileSystem::real(), kData + "/formats/bsc5.csv.gz", TableForm::Csv, true);
  EXPECT_EQ(gz.columns[53].name, "RAdeg");
  EXPECT_EQ(gz.dataOffset, 340);
}

// Headers as they may come, written into a file system in memory.
TEST(TableLayout, HostileAndUnusualHeaders) {
  const std::string ecsv = "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: ra, unit: deg, datatype: float64}\n";
  const std::string mrt =
      "Byte-by-byte Description of file: t.dat\n-----\n Bytes Format Units Label Explanations\n-----\n"
      "  1-  5  F5.1  deg  RA  Right ascension\n";
  struct Case {
    const char* name;
    std::string file;
    TableForm form;
    std::string text;
    std::string error;         // part of the message, or empty
    std::string firstName{};   // of a header that is read
    std::int64_t dataLine = 0;
  };
  std::string manyNodes = ecsv + "# meta:\n";
  for (int i = 0; i < 100'000; ++i) manyNodes += "#   - x\n";
  std::string aliasBomb = ecsv + "# meta:\n#   a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  for (char k = 'b', previous = 'a'; k <= 'g'; previous = k++) {
    aliasBomb += std::string("#   ") + k + ": &" + k + " [";
    for (int i = 0; i < 10; ++i) aliasBomb += std::string(i ? ", *" : "*") + previous;
    aliasBomb += "]\n";
  }
  aliasBomb += "ra\n";
  std::string manyItems = ecsv + "# meta: [";
  for (int i = 0; i < 200'000; ++i) manyItems += "a,";
  std::string deepBlock = ecsv + "# meta:\n";
  for (int i = 0; i < 70; ++i) deepBlock += "# " + std::string(static_cast<std::size_t>(i + 1), ' ') + "k:\n";
  deepBlock += "ra\n";
  // Brackets, braces and quotes that open nothing: in plain and block
  // texts, and after a quote left open in a block text.
  std::string bracketTexts = "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: ra, datatype: float64}\n# meta:\n";
  for (int i = 0; i < 100; ++i)
    bracketTexts += "#   k" + std::to_string(i) + ": range [0, 1) {x ' \"\n";
  bracketTexts += "#   t: |\n#     " + std::string(70, '[') + " \"\nra\n1\n";
  std::string longHeader = ecsv + "# meta: >\n";
  for (int i = 0; i < 4200; ++i) longHeader += "#   " + std::string(1000, 'y') + "\n";
  const std::vector<Case> cases{
      // Anchors and aliases as serialised metadata has them are read; what
      // they expand to, and how deep lists nest, is bounded.
      {"ECSV with an anchor", "t.ecsv", TableForm::Ecsv,
       "# %ECSV 1.0\n# ---\n# datatype:\n# - &a {name: ra, datatype: float64}\n# - *a\n# meta: {f: &f icrs, g: *f}\n"
       "ra ra\n1 2\n",
       "", "ra", 8},
      {"ECSV with an alias", "t.ecsv", TableForm::Ecsv, ecsv + "# - *a\nra ra\n", "line 5: the ECSV header"},
      {"ECSV alias of its own ancestor", "t.ecsv", TableForm::Ecsv, ecsv + "# meta: &m [1, *m]\nra\n",
       "line 5: the ECSV header holds an alias (*) of a node that encloses it"},
      {"ECSV aliases of aliases", "t.ecsv", TableForm::Ecsv, aliasBomb, "line 10: the ECSV header holds more than 100000"},
      {"ECSV unclosed flow lists", "t.ecsv", TableForm::Ecsv, ecsv + "# meta: " + std::string(100'000, '[') + "\nra\n",
       "line 5: the ECSV header nests lists or mappings more than 64 deep"},
      {"ECSV one unclosed flow list", "t.ecsv", TableForm::Ecsv, manyItems,
       "line 5: the ECSV header holds more than 100000"},
      {"ECSV deep block lists", "t.ecsv", TableForm::Ecsv, deepBlock, "nests lists or mappings more than 64 deep"},
      {"ECSV brackets in texts", "t.ecsv", TableForm::Ecsv, bracketTexts, "", "ra", 109},
      {"ECSV with & and * in texts", "t.ecsv", TableForm::Ecsv,
       "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: ra, datatype: float64, description: \"&a *b\"}\n"
       "# - {name: dec, datatype: float64, description: flux *2 &c}\nra dec\n1 2\n",
       "", "ra", 7},
      {"ECSV of too many nodes", "t.ecsv", TableForm::Ecsv, manyNodes,
       "the ECSV header holds more than 100000 YAML nodes"},
      {"ECSV header past its limit", "t.ecsv", TableForm::Ecsv, longHeader,
       "the ECSV header is longer than 4 MiB (4194304 bytes)"},
      {"ECSV that is not YAML", "t.ecsv", TableForm::Ecsv, ecsv + "# - {name: [\nra\n",
       "\"/t.ecsv\" line 6: the ECSV header is not valid YAML"},
      {"ECSV without datatype", "t.ecsv", TableForm::Ecsv, "# %ECSV 1.0\n# ---\n# meta: 1\nra\n", "no \"datatype\""},
      {"ECSV names differ", "t.ecsv", TableForm::Ecsv, ecsv + "dec\n", "line 5: the row of names does not repeat"},
      {"ECSV without names", "t.ecsv", TableForm::Ecsv, ecsv, "no row of column names after its ECSV header"},
      {"ECSV of another version", "t.ecsv", TableForm::Ecsv, "# %ECSV 2.0\n", "line 1: ECSV version \"2.0\""},
      {"ECSV header line without blank", "t.ecsv", TableForm::Ecsv, "# %ECSV 1.0\n#---\n", "does not start with"},
      {"ECSV with commas", "t.ecsv", TableForm::Ecsv, ecsv + "# delimiter: ','\nra\n1\n", "", "ra", 7},
      {"ECSV, gzip", "t.ecsv.gz", TableForm::Ecsv, testing::gzipped(ecsv + "ra\n1\n"), "", "ra", 6},
      {"corrupt gzip", "t.csv.gz", TableForm::Csv, "\x1f\x8b junk", "t.csv.gz"},
      {"MRT without description", "t.mrt", TableForm::Mrt, "Title: x\n 12.5\n", "has no \"Byte-by-byte"},
      {"MRT description not closed", "t.mrt", TableForm::Mrt, mrt, "not closed by a rule line"},
      {"MRT with notes", "t.mrt", TableForm::Mrt, mrt + "-----\nNote (1): x\n-----\n 12.5\n", "", "RA", 9},
      {"MRT with closing sections", "t.mrt", TableForm::Mrt,
       mrt + "-----\nNote (1): x\n  y\n-----\n\nHistory: z\n=====\n(End)   A [CDS]  2020\n-----\n 12.5\n 13.5\n", "",
       "RA", 15},
      {"MRT closed by (End) alone", "t.mrt", TableForm::Mrt, mrt + "-----\nHistory: z\n(End)\n 12.5\n", "", "RA", 9},
      {"MRT rows closed by a rule", "t.mrt", TableForm::Mrt, mrt + "-----\n 12.5\n 13.5\n-----\n\n", "", "RA", 7},
      // A trailer after rows is no closing section: the rows stand.
      {"MRT rows followed by (End) and a line", "t.mrt", TableForm::Mrt,
       mrt + "-----\n 12.5\n 13.5\n(End) x 01-Jan-2020\nmore\n", "", "RA", 7},
      {"table with bars", "t.psv", TableForm::Psv, "|id |ra  |\n|   |deg |\n|---|----|\n| 1 |1.5 |\n", "", "id", 4},
      {"dump with bars", "t.psv", TableForm::Psv, "+---+----+\n|id |ra  |\n+---+----+\n| 1 |1.5 |\n", "", "id", 4},
      {"bzip2", "t.csv.bz2", TableForm::Csv, testing::bzipped("ra,dec\n1,2\n"), "", "ra", 2},
      {"xz", "t.csv.xz", TableForm::Csv, testing::xzipped("ra,dec\n1,2\n"), "", "ra", 2},
      {"bzip2 under another name", "t.csv", TableForm::Csv, testing::bzipped("ra\n"),
       "is compressed with bzip2: a compressed file is read when its name ends in \".bz2\""},
      {"gzip under another name", "t.csv", TableForm::Csv, testing::gzipped("ra\n"), "is compressed with gzip"},
      {"zstd", "t.csv.zst", TableForm::Csv, testing::zstdCompressed("ra,dec\n1,2\n"), "", "ra", 2},
      {"lz4", "t.csv.lz4", TableForm::Csv, "\x04\x22\x4D\x18\x64",
       "is compressed with lz4, which is not read; decompress it first or use gzip"},
      {"zip", "t.zip", TableForm::Csv, std::string("PK\x03\x04\x14\0", 6), "is a zip archive, which is not read"},
      {"CSV header only, CR LF", "t.csv", TableForm::Csv, "# c\r\nra,dec\r\n", "", "ra", 3},
      {"CSV with a byte order mark", "t.csv", TableForm::Csv, "\xEF\xBB\xBFra,dec\n1,2\n", "", "ra", 2},
      {"CSV without any row", "t.csv", TableForm::Csv, "# only\n\n", "has no row of column names"},
      {"CSV names in an open quote", "t.csv", TableForm::Csv, "ra,\"dec\n", "line 1: the row of names cannot be read"},
      {"binary header", "t.csv", TableForm::Csv, std::string("ra,\0dec\n", 8), "line 1: holds binary data"},
      {"header past the limit", "t.csv", TableForm::Csv, std::string(kMaxTableHeaderBytes + 10, 'x'),
       "no end of the header in its first 16 MiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::MemoryFileSystem fs;
    fs.put("/" + c.file, c.text);
    if (!c.error.empty()) {
      const std::string message = errorOf([&] { readTableLayout(fs, "/" + c.file, c.form, true); });
      EXPECT_NE(message.find(c.error), std::string::npos) << message;
      EXPECT_NE(message.find("/" + c.file), std::string::npos) << message;
      continue;
    }
    const TableLayout layout = readTableLayout(fs, "/" + c.file, c.form, true);
    ASSERT_FALSE(layout.columns.empty());
    EXPECT_EQ(layout.columns[0].name, c.firstName);
    EXPECT_EQ(layout.dataLine, c.dataLine);
    if (c.form == TableForm::Psv) {
      EXPECT_EQ(layout.columns.size(), 2u);
      EXPECT_TRUE(layout.delimiting.enclosed);
    }
  }
}

}  // namespace
}  // namespace mirdal
