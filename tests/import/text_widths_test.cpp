// Text widths of columns whose slots name them: what the file declares,
// else the widest cell of the sample the command line and page 3 share;
// and the unit mismatches page 3 shows beside its preview.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/text_widths.h"
#include "import/unit_mismatch.h"
#include "support/fits_writer.h"
#include "support/temp_dir.h"

namespace mirdal {
namespace {

using testing::TempDir;

// "id" first, then "ra": 60 rows whose ids are short but for row 55's.
std::vector<std::string> ids() {
  std::vector<std::string> out;
  for (int r = 1; r <= 60; ++r) out.push_back(r == 55 ? "HR 123456789" : std::to_string(r));
  return out;
}

std::string votable(const std::string& arraysize) {
  std::string text = "<?xml version=\"1.0\"?><VOTABLE version=\"1.4\"><RESOURCE><TABLE><FIELD name=\"id\" "
                     "datatype=\"char\" arraysize=\"" + arraysize + "\"/><FIELD name=\"ra\" datatype=\"double\"/>"
                     "<DATA><TABLEDATA>";
  for (const std::string& id : ids()) text += "<TR><TD>" + id + "</TD><TD>1</TD></TR>";
  return text + "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>";
}

TEST(TextWidths, DeclaredWidthsWinOverTheSample) {
  std::string csv = "id,ra\n";
  std::string ecsv = "# %ECSV 1.0\n# ---\n# datatype:\n# - {name: id, datatype: string}\n"
                     "# - {name: ra, datatype: float64}\nid ra\n";
  for (const std::string& id : ids()) {
    csv += id + ",1\n";
    ecsv += "\"" + id + "\" 1\n";
  }
  const struct {
    const char* file;
    TableForm form;
    std::string text;  // empty: a FITS table with "id" as 20A
    int width;
    const char* source;
  } cases[] = {
      {"a.csv", TableForm::Csv, csv, 12, "the widest cell of the first 60 rows"},
      {"a.ecsv", TableForm::Ecsv, ecsv, 12, "the widest cell of the first 60 rows"},
      {"a.fits", TableForm::Fits, "", 20, "from its datatype 20A"},
      {"fixed.vot", TableForm::VoTable, votable("16"), 16, "from its datatype char[16]"},
      {"bounded.vot", TableForm::VoTable, votable("14*"), 14, "from its datatype char[14*]"},
      {"open.vot", TableForm::VoTable, votable("*"), 12, "the widest cell of the first 60 rows"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    std::string path = (dir.path() / c.file).string();
    if (c.form == TableForm::Fits) {
      std::vector<std::vector<std::string>> rows;
      for (const std::string& id : ids()) rows.push_back({id.substr(0, 1), "1"});
      testing::writeFitsTable(path, {{"id", "20A"}, {"ra", "D"}}, rows);
    } else {
      path = dir.write(c.file, c.text);
    }
    const std::vector<TextWidth> widths = textWidthsOf(FileSystem::real(), path, {c.form, kEolCrLf, true, {}});
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_EQ(widths[0].width, c.width);
    EXPECT_EQ(widths[0].source.rfind(c.source, 0), 0u) << widths[0].source;
  }
}

TEST(TextWidths, UnitMismatchesBesideThePreview) {
  const struct {
    const char* field;
    const char* unit;
    double calcA;
    const char* warning;  // "" for none
  } cases[] = {
      {"[RA (hours)]", "deg", 1, "The column's unit is deg, the field's hours: read as they are, its values are 15 "
                                 "times too large; \"Advanced\" converts them with A = 0.0666667"},
      {"[RA decimal (degrees)]", "h", 1, "The column's unit is h, the field's degrees: read as they are, its values "
                                         "are 15 times too small; \"Advanced\" converts them with A = 15"},
      {"Proper motion RA (arcsec/yr)", "mas/yr", 1, "The column's unit is mas/yr, the field's arcsec/yr: read as they "
                                                    "are, its values are 1000 times too large; \"Advanced\" converts "
                                                    "them with A = 0.001"},
      {"Proper motion RA (arcsec/yr)", "mas/yr", 0.001, ""},
      {"Proper motion RA (arcsec/yr)", "deg", 1, ""},
      {"[DEC decimal (degrees)]", "deg", 1, ""},
      {"[RA (hours)]", "h:m:s", 1, ""},
      {"[Magnitude (mag)]", "mag", 1, ""},
      {"Catalog ID", "deg", 1, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(unitMismatch(c.field, c.unit, c.calcA), c.warning) << c.field << " " << c.unit;
}

}  // namespace
}  // namespace mirdal
