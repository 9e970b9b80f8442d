// Input forms in the wizard: page 1 proposes the form the first input file
// shows, page 3 lists the file's columns, a click on one points the current
// field at it, the preview reads the sample row's cells, and "Import
// ReadMe..." maps the columns the file itself describes.

#include <optional>

#include <QtTest>

#include "support/fits_writer.h"
#include "support/temp_dir.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_fixture.h"

using namespace mirdal;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;
using mirdal::testing::writeFitsTable;

namespace {

struct FormCase {
  const char* file;
  const char* text;
  TableForm form;
  bool headerRow;
  const char* id;   // the sample row's "id" cell as the preview shows it; null: no columns
  int idWidth;      // the widest "id" cell of the rows
  const char* raUnit;
  const char* vmag;  // the magnitude preview
  const char* magmax;  // page 2's maximum magnitude after "Propose columns"
};

const FormCase kCases[] = {
    {"stars.csv", "# from a star list\nid,ra,dec,vmag\n\"HR 1, A\",10.5,-20.25,3.5\nHR 2,11.25,5.5,4\n",
     TableForm::Csv, true, "\"HR 1, A\"", 7, "", "3.5, stored 3500", "4"},
    {"stars.tsv", "id\tra\tdec\tvmag\n\tdeg\tdeg\tmag\n--\t--\t---\t----\nBeta Star\t10.5\t-20.25\t4.25\nB\t1\t2\t3\n",
     TableForm::Tsv, true, "\"Beta Star\"", 9, "deg", "4.25, stored 4250", "4.3"},
    {"stars.vot",
     "<?xml version=\"1.0\"?>\n<VOTABLE version=\"1.4\"><RESOURCE><TABLE>\n"
     "<FIELD name=\"id\" datatype=\"char\" arraysize=\"*\"/><FIELD name=\"ra\" datatype=\"double\" unit=\"deg\"/>\n"
     "<FIELD name=\"dec\" datatype=\"double\" unit=\"deg\"/><FIELD name=\"vmag\" datatype=\"float\"/>\n"
     "<DATA><TABLEDATA><TR><TD>Beta Star</TD><TD>10.5</TD><TD>-20.25</TD><TD>4.25</TD></TR>\n"
     "<TR><TD>B</TD><TD>1</TD><TD>2</TD><TD>3</TD></TR></TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n",
     TableForm::VoTable, true, "\"Beta Star\"", 9, "deg", "4.25, stored 4250", "4.3"},
    {"stars.dat", "HR 1      10.5000 -20.2500 3.50\nHR 2      11.2500  05.5000 4.00\n", TableForm::Fixed, false,
     nullptr, 0, nullptr, nullptr, nullptr},
    {"stars.bin", "\x7f" "ELF\0\0\1\2\3\0\0\0\0\0\0\0", TableForm::Fixed, false,
     nullptr, 0, nullptr, nullptr, nullptr},
};

// Page 3 on files whose first rows do not show the width of their texts:
// sixty ids, "1" to "60" but for row 55's 12 bytes (a FITS "12A" column
// holds short ones only); "ra" in degrees where the file gives a unit.
struct Page3Case {
  const char* file;
  TableForm form;
  bool unitWarning;  // "ra" read as [RA decimal (hours)]
};
const Page3Case kPage3Cases[] = {
    {"long.csv", TableForm::Csv, false}, {"declared.fits", TableForm::Fits, true}, {"late.vot", TableForm::VoTable, true}};

std::string writePage3File(const TempDir& dir, const Page3Case& c) {
  std::vector<std::string> ids;
  for (int r = 1; r <= 60; ++r) ids.push_back(r == 55 ? "HR 123456789" : std::to_string(r));
  std::string text = c.form == TableForm::Csv ? "id,ra,dec,vmag\n"
                     : "<?xml version=\"1.0\"?>\n<VOTABLE version=\"1.4\"><RESOURCE><TABLE>\n"
                       "<FIELD name=\"id\" datatype=\"char\" arraysize=\"*\"/><FIELD name=\"ra\" datatype=\"double\" "
                       "unit=\"deg\"/><FIELD name=\"dec\" datatype=\"double\"/><FIELD name=\"vmag\" datatype=\"float\"/>\n"
                       "<DATA><TABLEDATA>";
  std::vector<std::vector<std::string>> rows;
  for (const std::string& id : ids) {
    text += c.form == TableForm::Csv ? id + ",10.5,-20.25,3.5\n"
                                     : "<TR><TD>" + id + "</TD><TD>10.5</TD><TD>-20.25</TD><TD>3.5</TD></TR>";
    rows.push_back({id.substr(0, 2), "10.5", "-20.25", "3.5"});
  }
  if (c.form == TableForm::Fits) {
    const std::string path = (dir.path() / c.file).string();
    writeFitsTable(path, {{"id", "12A"}, {"ra", "D", "deg"}, {"dec", "D"}, {"vmag", "E"}}, rows);
    return path;
  }
  return dir.write(c.file, c.form == TableForm::Csv ? text : text + "</TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>");
}

}  // namespace

class WizardTableFormTest : public QObject {
  Q_OBJECT

 private slots:
  void formsAreProposedAndColumnsPicked() {
    for (const FormCase& c : kCases) {
      const bool binary = std::string_view(c.file) == "stars.bin";
      TempDir dir;
      const std::string path = dir.write(c.file, binary ? std::string_view(c.text, 16) : std::string_view(c.text));
      Wizard w;
      w.choose("RaFormatGroup", 3);
      w.choose("DecFormatGroup", 1);
      w.fillPage1(QString::fromStdString(path));
      QCOMPARE(w.find<QComboBox>("FormBox")->currentData().toInt(), static_cast<int>(c.form));
      QCOMPARE(w.find<QCheckBox>("HeaderRowBox")->isChecked(), c.headerRow);
      QCOMPARE(w.form.definition().settings.format, c.form);
      if (binary) {
        QCOMPARE(w.services.messages.size(), 1);
        QVERIFY2(w.services.messages.front().contains(QString::fromStdString(path)), qPrintable(c.file));
        continue;
      }
      QVERIFY2(w.services.messages.isEmpty(), qPrintable(w.services.messages.join('|')));
      w.click("NextButton");
      w.click("NextButton");
      QCOMPARE(w.page(), 2);
      QCOMPARE(w.shown("ColumnList"), c.id != nullptr);
      QCOMPARE(w.shown("SampleMemo"), c.id == nullptr);
      if (!c.id) {
        // The user overrides the proposal: the definition follows the boxes.
        w.click("PreviousButton");
        w.click("PreviousButton");
        auto* box = w.find<QComboBox>("FormBox");
        w.form.definition().settings.table = "2";  // a FITS project's, which no CSV file has
        box->setCurrentIndex(box->findData(static_cast<int>(TableForm::Csv)));
        emit box->activated(box->currentIndex());
        w.find<QCheckBox>("HeaderRowBox")->click();
        QCOMPARE(w.form.definition().settings.format, TableForm::Csv);
        QVERIFY(w.form.definition().settings.headerrow);
        QCOMPARE(w.form.definition().settings.table, std::string());
        continue;
      }
      const auto* columns = w.find<QTableWidget>("ColumnList");
      QCOMPARE(columns->item(1, 2)->text(), QString(c.raUnit));
      for (const auto& [entry, column] : {std::pair{"[RA decimal (degrees)]", "ra"},
                                          {"[DEC decimal (degrees)]", "dec"},
                                          {"[Magnitude (mag)]", "vmag"},
                                          {"Catalog ID", "id"}}) {
        w.selectField(entry);
        w.pickColumn(column);
      }
      const CatalogDefinition& def = w.form.definition();
      QCOMPARE(def.fieldSlots[2].firstChar, 1);
      QCOMPARE(def.fieldSlots[2].length, c.idWidth);
      QCOMPARE(def.fieldNames[2], std::string("id"));
      QCOMPARE(def.fieldSlots[3].length, 1);
      // A field given a column is ticked.
      for (int p : {0, 1, 2, 3}) QVERIFY(def.ticked(p));
      QCOMPARE(w.label("PreviewValue"), QString(c.id));
      QVERIFY2(w.label("PreviewRa").endsWith("10.50000\u00B0"), qPrintable(w.label("PreviewRa")));
      QVERIFY2(w.label("PreviewDec").endsWith("-20.25000\u00B0"), qPrintable(w.label("PreviewDec")));
      w.selectField("[Magnitude (mag)]");
      QCOMPARE(w.label("PreviewValue"), QString(c.vmag));

      // "Propose columns" reads the columns the file describes; no ReadMe is
      // asked for, and the mapping made by hand is replaced once confirmed.
      QCOMPARE(w.find<QPushButton>("ImportReadMeButton")->text(), QString("Propose columns"));
      w.services.chooseAnswers.push_back(1);  // degrees, where the file does not tell
      w.services.yesNoAnswers.push_back(true);
      w.click("ImportReadMeButton");
      QCOMPARE(w.services.questions.size(), 1);
      QVERIFY(w.services.questions.front().startsWith("Replace the columns chosen on page 3"));
      QCOMPARE(w.services.fileRequests.back().kind, QString("openFiles"));
      QVERIFY2(w.services.messages.back().startsWith("Imported from"), qPrintable(w.services.messages.join('|')));
      QCOMPARE(w.form.definition().fieldNames[0], std::string("ra"));
      QCOMPARE(w.form.definition().fieldNames[1], std::string("dec"));
      // The maximum magnitude is the data's, rounded up to the next tenth.
      QCOMPARE(w.find<FloatEdit>("MagnitudeLimitEdit")->text(), QString(c.magmax));
    }
  }

  void page3TakesTheImportsWidthsAndWarnsOfUnits() {
    for (const Page3Case& c : kPage3Cases) {
      TempDir dir;
      Wizard w;
      w.choose("RaFormatGroup", 1);
      w.choose("DecFormatGroup", 1);
      w.fillPage1(QString::fromStdString(writePage3File(dir, c)));
      // Rows of a FITS or VOTable file have no line ends to choose or warn of.
      QVERIFY2(w.services.messages.isEmpty(), qPrintable(w.services.messages.join('|')));
      QCOMPARE(w.find<RadioGroup>("LineEndGroup")->isEnabled(), c.form == TableForm::Csv);
      QCOMPARE(w.form.definition().settings.eol, c.form == TableForm::Csv ? 1 : 2);
      w.click("NextButton");
      w.click("NextButton");
      w.selectField("Catalog ID");
      w.pickColumn("id");
      QCOMPARE(w.form.definition().fieldSlots[2].length, 12);
      w.selectField("[RA decimal (hours)]");
      w.pickColumn("ra");
      QCOMPARE(w.shown("PreviewUnit"), c.unitWarning);
      if (c.unitWarning) QVERIFY(w.label("PreviewUnit").startsWith("The column's unit is deg, the field's hours"));
      // Also while another field is current (after a change of page 2's
      // format, say), naming the field.
      w.selectField("Catalog ID");
      QCOMPARE(w.shown("PreviewUnit"), c.unitWarning);
      if (c.unitWarning) QVERIFY(w.label("PreviewUnit").startsWith("[RA decimal (hours)]: The column's unit is deg"));
      // A mapping made by hand stays unless the user agrees to replace it.
      w.services.chooseAnswers.push_back(1);  // degrees, where the file does not tell
      w.click("ImportReadMeButton");
      QCOMPARE(w.services.questions.size(), 1);
      QCOMPARE(w.form.definition().fieldSlots[2].length, 12);
    }
  }

  // A right ascension with no unit and values all within 0-24: "Propose
  // columns" asks hours or degrees, maps it as answered and says so; Cancel
  // leaves page 3 as it was.
  void anUndecidedRaUnitIsAsked() {
    struct Case {
      std::optional<int> answer;
      int ratype;
      const char* entry;
      const char* ra;  // the preview's decimal degrees
    };
    const Case cases[] = {{std::nullopt, 3, nullptr, nullptr},
                          {0, 1, "[RA decimal (hours)]", "101.28750\u00B0"},
                          {1, 3, "[RA decimal (degrees)]", " 6.75250\u00B0"}};
    for (const Case& c : cases) {
      TempDir dir;
      Wizard w;
      w.choose("RaFormatGroup", 3);
      w.choose("DecFormatGroup", 1);
      w.fillPage1(QString::fromStdString(
          dir.write("bright.csv", "HR,ra,dec,Vmag\n2491,6.7525,-16.7161,-1.46\n2943,7.655,5.225,0.34\n")));
      w.click("NextButton");
      w.click("NextButton");
      const CatalogDefinition before = w.form.definition();
      w.services.chooseAnswers.push_back(c.answer);
      w.click("ImportReadMeButton");
      QCOMPARE(w.services.choices.size(), std::size_t{1});
      QCOMPARE(w.services.choices[0].items, (QStringList{"Hours (0-24)", "Degrees (0-360)"}));
      const QString& label = w.services.choices[0].label;
      QVERIFY2(label.contains("\"bright.csv\"") && label.contains("ra") && label.contains("0-24"), qPrintable(label));
      const CatalogDefinition& def = w.form.definition();
      QCOMPARE(def.settings.ratype, c.ratype);
      if (!c.answer) {
        QVERIFY(w.services.messages.isEmpty());
        QVERIFY(def.fieldSlots == before.fieldSlots && def.fieldNames == before.fieldNames);
        continue;
      }
      QCOMPARE(def.fieldNames[0], std::string("ra"));
      QVERIFY(def.ticked(0));
      const QString summary = w.services.messages.back();
      QVERIFY2(summary.contains(QString("RA taken in %1, as answered").arg(*c.answer == 0 ? "hours" : "degrees")) &&
                   summary.contains("(column 2) (as answered)"),
               qPrintable(summary));
      w.selectField(c.entry);
      QVERIFY2(w.label("PreviewRa").endsWith(c.ra), qPrintable(w.label("PreviewRa")));
    }
  }
};

MIRDAL_UI_TEST_MAIN(wizard_table_form_test, WizardTableFormTest);
#include "wizard_table_form_test.moc"
