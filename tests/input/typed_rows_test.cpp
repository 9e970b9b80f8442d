#include "input/typed_rows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/error_of.h"
#include "support/fits_writer.h"
#include "support/gzip.h"
#include "support/temp_dir.h"
#include "util/error.h"
#include "util/interrupt.h"

namespace mirdal {
namespace {

using testing::FitsColumn;
using testing::TempDir;
const std::string kData = MIRDAL_SHARED_DATA_DIR;

using testing::errorOf;

// Every cell of the selected columns, "R:", "I:" or "T:" and its value, "-"
// when missing; rows read `chunk` at a time, the texts checked only after
// each call (they must stay valid until the next).
std::vector<std::string> cellsOf(TypedRowSource& source, std::vector<int> columns, std::size_t chunk = 2) {
  source.selectColumns(columns);
  std::vector<std::string> out;
  std::vector<TableCell> cells;
  while (std::size_t n = source.readRows(cells, chunk)) {
    EXPECT_EQ(cells.size(), n * columns.size());
    for (const TableCell& c : cells) {
      static const char* kKinds[] = {"-", "R:", "I:", "T:"};
      out.push_back(kKinds[static_cast<int>(c.kind)] + cellText(c));
    }
  }
  return out;
}

std::vector<int> allColumns(const TypedRowSource& source) {
  std::vector<int> numbers;
  for (const auto& c : source.layout().columns)
    if (isSelectableColumn(c, source.layout().form)) numbers.push_back(c.number);
  return numbers;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(FitsTable, CellsOfEachStorage) {
  TempDir dir;
  const std::string path = dir.str() + "/t.fits";
  testing::writeFitsTable(
      path,
      {{"flag", "L", ""},
       {"b", "B", ""},
       {"i", "I", "", {{"TNULL", "-1"}}},
       {"u", "J", "", {{"TZERO", "2147483648"}}},
       {"k", "K", "", {{"TNULL", "999999"}}},
       {"e", "E", "mag"},
       {"RAdeg", "D", "deg", {{"TUCD", "pos.eq.ra;meta.main"}}},
       {"name", "12A", ""},
       {"scaled", "I", "", {{"TSCAL", "0.01"}, {"TZERO", "5.0"}}},
       {"vec", "3E", ""}},
      {{"T", "255", "-1", "-2147483648", "999999", "nan", "123.456789012345678", "Alp Cen  ", "150", "1"},
       {"F", "0", "32767", "2147483647", "-5", "1.5", "nan", "", "-100", "2"}});
  auto source = openFitsTable(path, "", FileSystem::real());
  const auto& cols = source->layout().columns;
  ASSERT_EQ(cols.size(), 10u);
  EXPECT_EQ(cols[6].name, "RAdeg");
  EXPECT_EQ(cols[6].unit, "deg");
  EXPECT_EQ(cols[6].ucd, "pos.eq.ra;meta.main");
  EXPECT_EQ(cols[7].datatype, "12A");
  EXPECT_EQ(cols[2].nullValue, "-1");
  EXPECT_EQ(cellsOf(*source, {1, 2, 3, 4, 5, 6, 7, 8, 9, 7}, 1),
            (std::vector<std::string>{"I:1", "I:255", "-", "I:0", "-", "-", "R:123.45678901234568", "T:Alp Cen",
                                      "R:6.5", "R:123.45678901234568",  //
                                      "I:0", "I:0", "I:32767", "I:4294967295", "I:-5", "R:1.5", "-", "-", "R:4",
                                      "-"}));
  EXPECT_EQ(source->rowsRead(), 2);
  EXPECT_EQ(source->position(), source->size());
  EXPECT_EQ(sampleRow(*openFitsTable(path, "", FileSystem::real()))[7], "Alp Cen");
  EXPECT_NE(errorOf([&] { source->selectColumns({10}); }).find("column 10 (vec) holds 3 values per row"),
            std::string::npos);
}

TEST(FitsTable, ChunksTablesByNameOrNumberAndCompressedFiles) {
  TempDir dir;
  const std::string path = dir.str() + "/big.fits";
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 5000; ++i) rows.push_back({std::to_string(i), "s" + std::to_string(i), std::to_string(i) + ".25"});
  testing::writeFitsTable(path, {{"id", "K", ""}, {"name", "8A", ""}, {"x", "D", ""}}, rows, "STARS", 2);
  const std::string gz = dir.write("big.fits.gz", testing::gzipped(readAll(path)));
  for (const std::string& file : {path, gz}) {
    for (const char* table : {"", "3", "STARS"}) {
      auto source = openFitsTable(file, table, FileSystem::real());
      const auto cells = cellsOf(*source, {2, 1, 3}, 777);
      ASSERT_EQ(cells.size(), 15000u) << file << " " << table;
      for (int i : {0, 776, 777, 2048, 4999}) {
        EXPECT_EQ(cells[3 * i], "T:s" + std::to_string(i));
        EXPECT_EQ(cells[3 * i + 1], "I:" + std::to_string(i));
        EXPECT_EQ(cells[3 * i + 2], "R:" + std::to_string(i) + ".25");
      }
      EXPECT_EQ(source->position(), source->size());
    }
  }
  EXPECT_NE(errorOf([&] { readFitsLayout(path, "1", FileSystem::real()); }).find("extension 1 is not a binary table"), std::string::npos);
  EXPECT_NE(errorOf([&] { readFitsLayout(path, "GALAXIES", FileSystem::real()); }).find("no extension named \"GALAXIES\""),
            std::string::npos);
}

// The same three rows as TABLEDATA, BINARY and BINARY2, in a table after
// another, in a nested resource.
std::string voTable(const std::string& data) {
  return R"(<?xml version="1.0"?>
<VOTABLE version="1.3" xmlns="http://www.ivoa.net/xml/VOTable/v1.3">
 <RESOURCE><TABLE name="first"><FIELD name="z" datatype="int"/></TABLE>
  <RESOURCE>
   <TABLE ID="stars">
    <FIELD name="HR" datatype="int" ucd="ID_MAIN"><DESCRIPTION> Bright star
      number </DESCRIPTION><VALUES null="-1"/></FIELD>
    <FIELD name="Vmag" datatype="double" unit="mag" ucd="phot.mag;em.opt.V"/>
    <FIELD name="Name" datatype="char" arraysize="*"/>
    <DATA>)" + data + R"(</DATA>
   </TABLE>
  </RESOURCE>
 </RESOURCE>
</VOTABLE>
)";
}

const std::string kTableData =
    "<TABLEDATA><TR><TD>7</TD><TD>1.5</TD><TD>Alp Cen</TD></TR>\n"
    "<TR><TD>-1</TD><TD>NaN</TD><TD/></TR><TR><TD>2147483647</TD><TD> -0.25 </TD><TD>x  </TD></TR></TABLEDATA>";
const std::string kBinary =
    "<BINARY><STREAM encoding='base64'>AAAABz/4AAAAAAAAAAAAB0FscCBDZW7/////f/gAAAAA\n"
    "AAAAAAAAf////7/QAAAAAAAAAAAAA3ggIA==</STREAM></BINARY>";
const std::string kBinary2 =
    "<BINARY2><STREAM encoding='base64'>AAAAAAc/+AAAAAAAAAAAAAdBbHAgQ2VuQP////9AAAAAAAAAAAAAAAAAf////7/QAAAAAAAAAAAAA3ggIA==</STREAM></BINARY2>";

TEST(VoTable, CellsOfEachEncodingAndTableChoice) {
  TempDir dir;
  const std::vector<std::string> expected{"I:7", "R:1.5", "T:Alp Cen", "-", "-", "-", "I:2147483647", "R:-0.25", "T:x"};
  for (const std::string& data : {kTableData, kBinary, kBinary2}) {
    const std::string path = dir.write("t.vot", voTable(data));
    const std::string gz = dir.write("t.vot.gz", testing::gzipped(voTable(data)));
    for (const std::string& file : {path, gz}) {
      for (const char* table : {"2", "stars"}) {
        auto source = openVoTable(file, table, FileSystem::real());
        const auto& cols = source->layout().columns;
        ASSERT_EQ(cols.size(), 3u);
        EXPECT_EQ(cols[0].description, "Bright star\n      number");
        EXPECT_EQ(cols[0].ucd, "ID_MAIN");
        EXPECT_EQ(cols[0].nullValue, "-1");
        EXPECT_EQ(cols[1].ucd, "phot.mag;em.opt.V");
        EXPECT_EQ(cols[2].datatype, "char[*]");
        EXPECT_EQ(cellsOf(*source, {1, 2, 3}), expected) << data;
        EXPECT_EQ(source->rowsRead(), 3);
        EXPECT_EQ(source->position(), source->size());
      }
    }
    EXPECT_EQ(cellsOf(*openVoTable(path, "", FileSystem::real()), {1}), std::vector<std::string>{});  // "first": no rows
    EXPECT_EQ(readVoTableLayout(path, "first", FileSystem::real()).columns.at(0).name, "z");
  }
}

// Each file ends with an Error naming it and the reason, never a crash or a
// silent partial read.
TEST(TypedRows, HostileFilesEndWithTheirReason) {
  TempDir dir;
  const std::string valid = dir.str() + "/valid.fits";
  std::vector<std::vector<std::string>> rows(1000, std::vector<std::string>{"1.5"});
  testing::writeFitsTable(valid, {{"x", "D", ""}}, rows);
  const std::string fits = readAll(valid);
  std::string hugeRows = fits, noEnd = fits;
  const auto naxis2 = hugeRows.find("NAXIS2  =");
  hugeRows.replace(naxis2 + 10, 20, "         10000000000");
  noEnd.replace(noEnd.find("END     "), 3, "   ");
  noEnd.replace(noEnd.find("END     "), 3, "   ");
  std::string unquoted = fits, highByte = fits;
  unquoted.replace(unquoted.find("TTYPE1  = "), 80, "TTYPE1  = " + std::string(70, 'A'));
  highByte[highByte.find("TTYPE1  = ") + 12] = '\xFF';
  const std::string laughs =
      "<?xml version='1.0'?><!DOCTYPE VOTABLE [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;'>]>"
      "<VOTABLE><RESOURCE><TABLE><FIELD name='a' datatype='char' arraysize='*'/><DATA><TABLEDATA>"
      "<TR><TD>&b;</TD></TR></TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>";
  std::string noBytes = fits;
  noBytes.replace(noBytes.find("NAXIS1  =") + 10, 20, "                   0");
  noBytes.replace(noBytes.find("NAXIS2  =") + 10, 20, "    1000000000000000");
  noBytes.replace(noBytes.find("TFORM1  = 'D "), 13, "TFORM1  = '0A");
  std::string manyColumns = fits, fewForms = fits;
  manyColumns.replace(manyColumns.find("TFIELDS =") + 10, 20, "             9999999");
  fewForms.replace(fewForms.find("TFIELDS =") + 10, 20, "                   2");
  std::string fields = "<VOTABLE><RESOURCE><TABLE name='stars'>";
  for (int i = 0; i <= 65536; ++i) fields += "<FIELD name='c' datatype='int'/>";
  fields += "<DATA><TABLEDATA/></DATA></TABLE></RESOURCE></VOTABLE>";
  // Made small by gzip: a value longer than expat may hold, and one TD longer than a cell may be.
  const std::string longAttribute = testing::gzipped(
      "<VOTABLE><RESOURCE><TABLE name='stars'><FIELD name='" + std::string(17 << 20, 'a') + "' datatype='int'/>");
  const std::string longCell =
      testing::gzipped(voTable("<TABLEDATA><TR><TD>1</TD><TD>2</TD><TD>" + std::string(17 << 20, 'x')));
  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"nobytes.fits", noBytes.substr(0, 2880 * 2), "declares 1000000000000000 rows of no bytes (NAXIS1 = 0)"},
      {"fields.vot", fields, "line 1: the TABLE has 65537 FIELDs, more than the 65536 columns a table may have"},
      {"negative.vot", voTable("<BINARY><STREAM encoding='base64'>AAAABz/4AAAAAAAA////+w==</STREAM></BINARY>"),
       "row 1, column 3: a value of -5 elements: its count is negative"},
      {"huge.vot", voTable("<BINARY><STREAM encoding='base64'>AAAABz/4AAAAAAAAf////w==</STREAM></BINARY>"),
       "row 1, column 3: a value of 2147483647 elements, more than the 67108864 bytes a cell may hold"},
      {"attribute.vot", longAttribute, "line 1: more than 16 MiB without the end of a tag, comment or text"},
      {"cell.vot", longCell, "line 10: a TD holds more than 16 MB"},
      {"cut.fits", fits.substr(0, 2880 * 2 + 4000), "holds 4000 bytes of rows (500 rows): it is cut short or its NAXIS2 is wrong"},
      {"huge.fits", hugeRows, "declares 10000000000 rows of 8 bytes"},
      {"columns.fits", manyColumns, "declares 9999999 columns (TFIELDS), more than the 999 a FITS table may have"},
      {"forms.fits", fewForms, "declares 2 columns (TFIELDS) but describes 1 (TFORMn cards)"},
      {"unpadded.fits", fits.substr(0, fits.size() - 640),
       "ends at byte 13760, inside a 2880-byte block: its data is cut short or lacks the padding of its last block"},
      {"noend.fits", noEnd, "ends with END"},
      {"text.fits", "SIMPLE = nonsense\n", "card 1: a byte that is not ASCII text (10)"},
      // Header values the FITS library would copy past the end of its buffers.
      {"unquoted.fits", unquoted, "card 9: the value of TTYPE1 is 70 characters long and not a text in quotes"},
      {"byte.fits", highByte, "the header of extension 1, card 9: a byte that is not ASCII text (255)"},
      {"image.fits", fits.substr(0, 2880), "holds no binary table extension"},
      {"open.vot", voTable(kTableData).substr(0, 600), "not well-formed XML"},
      {"cut64.vot", voTable("<BINARY2><STREAM encoding='base64'>AAAAAAc/+AAAAAAAAAAA</STREAM></BINARY2>"),
       "line 10: the binary data ends inside row 1 (15 bytes left): it is cut short"},
      {"quad.vot", voTable("<BINARY><STREAM encoding='base64'>AAAABz/4AAAAAAAAAAAAB0F</STREAM></BINARY>"),
       "ends inside a group of 4 characters"},
      {"entity.vot", voTable("<TABLEDATA><TR><TD>1</TD><TD>2</TD><TD>&star;</TD></TR></TABLEDATA>"),
       "line 10: not well-formed XML: undefined entity"},
      {"laughs.vot", laughs, "line 1: the document declares the entity \"a\"; entity declarations are refused"},
      {"html.vot", "<html><body/></html>", "not a VOTable: the document's root element is <html>"},
      {"number.vot", voTable("<TABLEDATA><TR><TD>7x</TD><TD>1</TD><TD/></TR></TABLEDATA>"),
       "row 1, column 1 (HR): \"7x\" is not a value of type int"},
      {"td64.vot", voTable("<TABLEDATA><TR><TD>7</TD><TD encoding='base64'>P4AAAA==</TD><TD/></TR></TABLEDATA>"),
       "row 1, column 2 (Vmag): the TD holds base64 (encoding=\"base64\") of 4 bytes, which is not a value of type double"},
      {"tdzip.vot", voTable("<TABLEDATA><TR><TD encoding='gzip'>x</TD><TD/><TD/></TR></TABLEDATA>"),
       "row 1, column 1: the TD's encoding is \"gzip\"; only base64 is read"},
      {"ragged.vot", voTable("<TABLEDATA><TR><TD>7</TD></TR></TABLEDATA>"), "row 1 has 1 cells for 3 FIELDs"},
      {"fitsdata.vot", voTable("<FITS><STREAM href='x.fits'/></FITS>"), "a FITS file inside the VOTable"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.write(c.name, c.bytes);
    const std::string message = errorOf([&] {
      const bool isFits = path.ends_with(".fits");
      auto source = isFits ? openFitsTable(path, "", FileSystem::real()) : openVoTable(path, "stars", FileSystem::real());
      cellsOf(*source, allColumns(*source), 100);
    });
    EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << c.name << ": " << message;
  }
  EXPECT_NE(errorOf([&] { openVoTable(dir.write("t.vot", voTable(kTableData)), "4", FileSystem::real()); })
                .find("has no TABLE number 4 (it holds 2)"),
            std::string::npos);
  // A stop request ends a read at its next block, as a file of blanks shows.
  const std::string blanks = dir.write(
      "blanks.vot", testing::gzipped(voTable("<TABLEDATA>" + std::string(8 << 20, ' ') + "</TABLEDATA>")));
  const std::string gzFits = dir.write("valid.fits.gz", testing::gzipped(fits));
  for (const std::string& path : {blanks, gzFits}) {
    requestInterrupt();
    const std::string message = errorOf([&] {
      auto source = path == blanks ? openVoTable(path, "stars", FileSystem::real()) : openFitsTable(path, "", FileSystem::real());
      cellsOf(*source, allColumns(*source), 100);
    });
    detail::interruptFlag = false;
    EXPECT_EQ(message, "Aborted by user") << path;
  }
}

// The Bright Star Catalogue as common tools write it: the three files hold
// the same cells, column by column.
TEST(TypedRows, SharedBrightStarFilesAgree) {
  const std::string dir = kData + "/formats/";
  if (!std::filesystem::exists(dir + "bsc5.b2.vot")) GTEST_SKIP() << "no " << dir;
  auto fits = openFitsTable(dir + "bsc5.fits", "", FileSystem::real());
  auto vot = openVoTable(dir + "bsc5.vot", "", FileSystem::real());
  auto b2 = openVoTable(dir + "bsc5.b2.vot", "1", FileSystem::real());
  ASSERT_EQ(fits->layout().columns.size(), 55u);
  for (std::size_t i = 0; i < 55; ++i) {
    EXPECT_EQ(fits->layout().columns[i].name, vot->layout().columns[i].name);
    EXPECT_EQ(b2->layout().columns[i].name, vot->layout().columns[i].name);
  }
  const auto columns = allColumns(*fits);
  ASSERT_EQ(columns.size(), 55u);
  const auto fromFits = cellsOf(*fits, columns, 1000);
  ASSERT_EQ(fromFits.size(), 9110u * 55);
  EXPECT_EQ(fromFits, cellsOf(*vot, columns, 999));
  EXPECT_EQ(fromFits, cellsOf(*b2, columns, 100));
  EXPECT_EQ(std::vector<std::string>(fromFits.begin(), fromFits.begin() + 4), (std::vector<std::string>{"I:1", "-", "T:BD+44 4550", "I:3"}));
}

}  // namespace
}  // namespace mirdal
