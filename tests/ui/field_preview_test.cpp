// Page 3's preview of the sample line: the current field's value after
// calibration or lookup, its missing value marked, a column past the end of
// the line marked, the position the RA and DEC columns give; and the
// "Import ReadMe..." button filling the page (and page 2's coordinate
// formats) from a ReadMe.

#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTextDocumentFragment>
#include <QtTest>

#include "catalog/catalog_definition.h"
#include "support/temp_dir.h"
#include "ui/field_layout_editor.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_fixture.h"

using namespace mirdal;
using mirdal::testing::FakePlatformServices;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;

namespace {

// A line with `fields` written at their 1-based columns over blanks, cut
// after the last one.
std::string lineWith(std::initializer_list<std::pair<int, const char*>> fields) {
  std::string line;
  for (const auto& [column, text] : fields) {
    const std::size_t end = static_cast<std::size_t>(column - 1) + std::strlen(text);
    if (line.size() < end) line.resize(end, ' ');
    line.replace(static_cast<std::size_t>(column - 1), std::strlen(text), text);
  }
  return line;
}

// The text a person reads in a label, the marks' colours left out.
QString shown(const QLabel* label) {
  QString s = QTextDocumentFragment::fromHtml(label->text()).toPlainText();
  s.replace(QChar(0xA0), QLatin1Char(' '));
  return s.simplified();
}

// Page 3 on its own, shown offscreen, with a sample line.
struct Page {
  CatalogDefinition def;
  FakePlatformServices services;
  TempDir dir;
  FieldLayoutEditor editor{def, services, FileSystem::real()};

  Page() {
    editor.resize(600, 460);
    editor.show();
  }
  QLabel* label(const char* name) const { return editor.findChild<QLabel*>(QString::fromLatin1(name)); }
  QString value() const { return shown(label("PreviewValue")); }
  bool marked(const char* property) const { return label("PreviewValue")->property(property).toBool(); }

  void loadSample(const std::string& line) {
    def.settings.inputfiles = {dir.write("sample.dat", line + "\n")};
    def.settings.eol = 1;
    editor.enterPage();
  }
  void setType(CatalogType type) {
    def.setType(static_cast<int>(type));
    editor.showFieldList();
  }
  void select(int position) {
    QListWidget* list = editor.fieldList();
    list->scrollToItem(list->item(position));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(position)).center());
    QCOMPARE(editor.currentField(), position);
  }
  void type(const char* box, const QString& text) {
    auto* edit = editor.findChild<QLineEdit*>(QString::fromLatin1(box));
    edit->selectAll();
    edit->insert(text);
  }
  void setSlot(int position, int firstChar, int length) {
    def.fieldSlots[static_cast<std::size_t>(position)] = {firstChar, length, 1.0, 0.0};
  }
};

const std::string kStarLine = lineWith({{1, "HD 1234"},
                                        {11, "20"},
                                        {14, "01"},
                                        {17, "06.33"},
                                        {23, "-"},
                                        {24, "04"},
                                        {27, "59"},
                                        {30, "12.7"},
                                        {36, "5.12"},
                                        {47, "G2V"}});  // 49 characters; B-V (41-45) blank

// Star positions with ratype 0 and dectype 0: RA h m s 0-2, DEC sign d m s
// 3-6, Catalog ID 7, magnitude 8, B-V 9, magnitude B 10.
void layStars(Page& p) {
  const std::pair<int, int> columns[] = {{11, 2}, {14, 2}, {17, 5}, {23, 1}, {24, 2},
                                         {27, 2}, {30, 4}, {1, 7},  {36, 5}, {41, 5}};
  for (int i = 0; i < 10; ++i) p.setSlot(i, columns[i].first, columns[i].second);
}

}  // namespace

class FieldPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void starFieldsShowCalibratedValueMissingValueAndText() {
    Page p;
    layStars(p);
    p.loadSample(kStarLine);
    p.select(8);
    QCOMPARE(p.value(), QStringLiteral("5.12, stored 5120 (not ticked)"));
    QVERIFY(!p.marked("missing"));
    p.def.setTicked(8, true);
    p.select(8);
    QCOMPARE(p.value(), QStringLiteral("5.12, stored 5120"));

    p.select(9);
    QCOMPARE(p.value(), QStringLiteral("99 (missing: blank), stored 32767 (not ticked)"));
    QVERIFY(p.marked("missing"));

    p.select(7);
    QCOMPARE(p.value(), QStringLiteral("\"HD 1234\" (not ticked)"));

    // Typing a column moves the preview with it: columns 36-39 cut to 2 wide.
    p.select(8);
    p.type("LengthEdit", "2");
    QCOMPARE(p.value(), QStringLiteral("5, stored 5000"));
    p.type("FirstCharEdit", "38");
    QCOMPARE(p.value(), QStringLiteral("12, stored 12000"));
  }

  void positionOfTheSampleLineInHoursAndDegrees() {
    Page p;
    layStars(p);
    p.loadSample(kStarLine);
    QCOMPARE(shown(p.label("PreviewRa")), QString::fromLatin1("20h 01m 06.33s 300.27638\xB0"));
    QCOMPARE(shown(p.label("PreviewDec")), QString::fromLatin1("-04\xB0 59' 12.7\" -4.98686\xB0"));
    QVERIFY(p.label("PreviewRefused")->isHidden());
    p.select(3);
    QCOMPARE(p.value(), QStringLiteral("- (south)"));

    // The sign column made two wide reads "- ", which the build takes as north.
    p.type("LengthEdit", "2");
    QCOMPARE(p.value(), QStringLiteral("+ (north)"));
    QCOMPARE(shown(p.label("PreviewDec")), QString::fromLatin1("+04\xB0 59' 12.7\" 4.98686\xB0"));
  }

  void lineWithoutPositionIsShownRefused() {
    Page p;
    p.loadSample(kStarLine);  // no column set: said so, rather than the 0 or NaN they would read
    QVERIFY(!p.label("PreviewRefused")->isHidden());
    QCOMPARE(shown(p.label("PreviewRefused")),
             QStringLiteral("The build refuses this line: no column is chosen for RA and DEC"));
    QCOMPARE(shown(p.label("PreviewRa")), QStringLiteral("no column chosen"));
    QCOMPARE(p.value(), QStringLiteral("No column: 0 (missing: blank)"));
  }

  void columnPastTheEndOfTheLineIsMarked() {
    Page p;
    layStars(p);
    p.setSlot(10, 50, 5);  // magnitude B: the line ends at column 49
    p.setSlot(11, 47, 5);  // magnitude R: 47-51, cut at 49
    p.loadSample(kStarLine);
    p.select(10);
    QVERIFY(p.marked("pastEnd"));
    QCOMPARE(p.value(), QStringLiteral(
                            "Past the end of the sample line (49 characters) "
                            "99 (missing: blank), stored 32767 (not ticked)"));
    p.select(11);
    QVERIFY(p.marked("pastEnd"));
    QCOMPARE(p.value(), QStringLiteral(
                            "Cut at the end of the sample line (column 49) 99 (missing: not a number), stored "
                            "32767 (not ticked)"));
    p.select(9);
    QVERIFY(!p.marked("pastEnd"));
  }

  void objectTypeAndColourAreLookedUpInTheTables() {
    Page p;
    p.setType(CatalogType::Nebulae);
    const int nebulaType = p.def.fields().firstTypePosition() + 1;
    p.setSlot(nebulaType, 1, 5);
    p.loadSample("GALXY 12.5");
    p.select(nebulaType);
    QCOMPARE(p.value(), QStringLiteral("\"GALXY\": Galaxy, code 1 (not ticked)"));
    QVERIFY(!p.marked("missing"));
    p.loadSample("XYZ   1");
    QCOMPARE(p.value(), QStringLiteral("\"XYZ\" matches no object type, code 255 (not ticked)"));
    QVERIFY(p.marked("missing"));

    p.setType(CatalogType::NebulaOutlines);
    const int colour = p.def.fields().firstTypePosition() + 3;
    p.setSlot(colour, 1, 3);
    p.loadSample("Red");
    p.select(colour);
    QCOMPARE(p.value(), QStringLiteral("\"Red\": colour 5, red 255 green 0 blue 0 (not ticked)"));
    // The swatch beside the value is the colour the record receives.
    QVERIFY(p.label("PreviewValue")->text().contains(QStringLiteral("background-color:#ff0000")));
  }

  void longValueIsElidedWithTheWholeOfItInTheTooltip() {
    Page p;
    const int comments = p.def.fields().firstTypePosition() + 10;
    p.setSlot(comments, 1, 300);
    const std::string words(300, 'w');
    p.loadSample(words);
    p.select(comments);
    QLabel* value = p.label("PreviewValue");
    QCOMPARE(value->toolTip(), QString::fromStdString("\"" + words + "\""));
    QVERIFY(p.value().contains(QChar(0x2026)));
    QVERIFY(value->sizeHint().width() <= p.editor.width());
  }

  void withoutSampleThePreviewSaysSo() {
    Page p;
    p.editor.enterPage();
    QCOMPARE(p.value(), QStringLiteral("No sample line: the input file list is empty"));
    QVERIFY(shown(p.label("PreviewRa")).isEmpty());
  }
};

// ---------------------------------------------------------------------------
// Import ReadMe

namespace {

const char kReadMe[] =
    "J/X/1   Test stars   (Tester, 2024)\n"
    "Byte-by-byte Description of file: stars.dat\n"
    "--------------------------------------------------------------------------------\n"
    "   Bytes Format Units   Label     Explanations\n"
    "--------------------------------------------------------------------------------\n"
    "   1-  7  A7    ---     Name      Star name\n"
    "   9- 18  F10.6 deg     RAdeg     Right ascension (J2000)\n"
    "  20- 29  F10.6 deg     DEdeg     Declination (J2000)\n"
    "  31- 35  F5.2  mag     Vmag      V magnitude\n"
    "  37- 39  A3    ---     SpType    Spectral type\n"
    "--------------------------------------------------------------------------------\n";

std::string table(const std::string& file, const std::string& rows) {
  const std::string rule(80, '-');
  return "Byte-by-byte Description of file: " + file + "\n" + rule + "\n" +
         "   Bytes Format Units   Label     Explanations\n" + rule + "\n" + rows + rule + "\n";
}

// The wizard on page 3 with `input` as its first input file.
void toPage3(Wizard& w, const QString& input) {
  w.fillPage1(input);
  w.click("NextButton");
  w.click("NextButton");
  QCOMPARE(w.page(), 2);
}

QStringList tickedEntries(const Wizard& w) {
  QStringList ticked;
  auto* list = w.find<QListWidget>("FieldList");
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->checkState() == Qt::Checked) ticked << list->item(i)->text();
  return ticked;
}

}  // namespace

class ImportReadMeTest : public QObject {
  Q_OBJECT

 private slots:
  void importFillsPage3AndPage2FormatsFromAHandMadeReadMe() {
    TempDir dir;
    const QString input = QString::fromStdString(dir.write("stars.dat", "Alpha01 300.276380  -4.986861  5.12 G2V\n"));
    const QString readMe = QString::fromStdString(dir.write("ReadMe", kReadMe));
    Wizard w;
    toPage3(w, input);
    w.services.openFileAnswers.push_back(readMe);
    w.click("ImportReadMeButton");

    QCOMPARE(w.services.fileRequests.back().kind, QStringLiteral("openFile"));
    QCOMPARE(w.services.messages.size(), 1);
    const QString notes = w.services.messages.front();
    QVERIFY2(notes.startsWith("Imported from \"" + readMe + "\", Test stars."), qPrintable(notes));
    QVERIFY2(notes.contains("[Magnitude (mag)]: Vmag (31-35)"), qPrintable(notes));
    // The maximum magnitude is the data's (5.12), as mirdal-build's import takes it.
    QVERIFY2(notes.contains("maximum magnitude 5.2 (faintest of 1 magnitudes in all 1 rows of 1 file"), qPrintable(notes));
    QCOMPARE(w.find<FloatEdit>("MagnitudeLimitEdit")->text(), QStringLiteral("5.2"));

    QCOMPARE(w.find<RadioGroup>("RaFormatGroup")->itemIndex(), 3);
    QCOMPARE(w.find<RadioGroup>("DecFormatGroup")->itemIndex(), 1);
    QCOMPARE(tickedEntries(w), (QStringList{"[RA decimal (degrees)]", "[DEC decimal (degrees)]", "Catalog ID",
                                            "[Magnitude (mag)]", "Spectral class"}));
    // The editor shows the current field, the first: RA in 9-18.
    QCOMPARE(w.find<QLineEdit>("FirstCharEdit")->text(), QStringLiteral("9"));
    QCOMPARE(w.find<QLineEdit>("LengthEdit")->text(), QStringLiteral("10"));
    QCOMPARE(w.find<QLineEdit>("LabelEdit")->text(), QStringLiteral("RA"));
    QCOMPARE(shown(w.find<QLabel>("PreviewRa")), QString::fromLatin1("20h 01m 06.33s 300.27638\xB0"));
    QCOMPARE(shown(w.find<QLabel>("PreviewDec")), QString::fromLatin1("-04\xB0 59' 12.7\" -4.98686\xB0"));
    // Every required entry is ticked: the page lets the user on.
    w.click("NextButton");
    QCOMPARE(w.page(), 3);
  }

  void severalTablesNoneForTheInputLetTheUserChooseOrCancel() {
    TempDir dir;
    const QString input = QString::fromStdString(dir.write("other.dat", "x\n"));
    const QString readMe = QString::fromStdString(
        dir.write("ReadMe", table("a.dat", "   1-  6  F6.2  deg   RAdeg  RA\n   8- 13  F6.2  deg   DEdeg  DEC\n") +
                                table("b.dat", "   1-  2  I2    h     RAh    RA\n"
                                               "   4-  5  I2    min   RAm    RA\n"
                                               "   7- 10  F4.1  s     RAs    RA\n"
                                               "      12  A1    ---   DE-    sign\n"
                                               "  13- 14  I2    deg   DEd    DEC\n"
                                               "  16- 17  I2    arcmin DEm   DEC\n"
                                               "  19- 20  I2    arcsec DEs   DEC\n"
                                               "  22- 26  F5.2  mag   Vmag   V\n")));
    Wizard w;
    toPage3(w, input);
    const CatalogDefinition before = w.form.definition();

    w.services.openFileAnswers.push_back(readMe);
    w.click("ImportReadMeButton");  // the chooser is cancelled
    QCOMPARE(w.services.choices.size(), std::size_t{1});
    QCOMPARE(w.services.choices[0].items, (QStringList{"a.dat (2 columns)", "b.dat (8 columns)"}));
    QVERIFY(w.services.choices[0].label.contains("\"other.dat\""));
    QVERIFY(w.services.messages.isEmpty());
    QVERIFY(w.form.definition().fieldSlots == before.fieldSlots);

    w.services.openFileAnswers.push_back(readMe);
    w.services.chooseAnswers.push_back(1);
    w.click("ImportReadMeButton");
    QCOMPARE(w.services.messages.size(), 1);
    QCOMPARE(w.form.definition().settings.ratype, 0);
    QCOMPARE(w.form.definition().settings.dectype, 0);
    QCOMPARE(w.find<RadioGroup>("RaFormatGroup")->itemIndex(), 0);
    const FieldSlot magnitude = w.form.definition().fieldSlots[8];
    QCOMPARE(magnitude.firstChar, 22);
    QCOMPARE(magnitude.length, 5);
  }

  void readMeWithoutTableIsReportedAndChangesNothing() {
    TempDir dir;
    const QString input = QString::fromStdString(dir.write("stars.dat", "x\n"));
    const QString readMe = QString::fromStdString(dir.write("ReadMe", "Only words here.\n"));
    Wizard w;
    toPage3(w, input);
    const CatalogDefinition before = w.form.definition();
    w.services.openFileAnswers.push_back(readMe);
    w.click("ImportReadMeButton");
    QCOMPARE(w.services.messages, QStringList{"No byte-by-byte description in \"" + readMe + "\""});
    QVERIFY(w.form.definition().fieldSlots == before.fieldSlots);
    QCOMPARE(w.page(), 2);

    // A cancelled file dialog does nothing at all.
    w.click("ImportReadMeButton");
    QCOMPARE(w.services.messages.size(), 1);
  }

  void brightStarReadMeFillsTheStarLayout() {
    const QString root = QStringLiteral(MIRDAL_SOURCE_DIR "/../shared/data/bsc5/");
    if (!QFile::exists(root + "ReadMe") || !QFile::exists(root + "catalog"))
      QSKIP("the bright star catalog is absent");
    Wizard w;
    toPage3(w, root + "catalog");
    w.services.openFileAnswers.push_back(root + "ReadMe");
    w.click("ImportReadMeButton");
    QCOMPARE(w.services.messages.size(), 1);
    const CatalogDefinition& def = w.form.definition();
    QCOMPARE(def.settings.ratype, 0);
    QCOMPARE(def.settings.dectype, 0);
    QCOMPARE((std::pair{def.fieldSlots[0].firstChar, def.fieldSlots[0].length}), (std::pair{76, 2}));
    QCOMPARE((std::pair{def.fieldSlots[3].firstChar, def.fieldSlots[3].length}), (std::pair{84, 1}));
    QCOMPARE((std::pair{def.fieldSlots[8].firstChar, def.fieldSlots[8].length}), (std::pair{103, 5}));
    QVERIFY(def.requiredFieldsTicked());
    // The first line of the catalog is HR 1, at 00h 05m 09.9s +45 13' 45".
    QCOMPARE(shown(w.find<QLabel>("PreviewRa")).left(14), QStringLiteral("00h 05m 09.90s"));
    QCOMPARE(shown(w.find<QLabel>("PreviewDec")).left(14), QString::fromLatin1("+45\xB0 13' 45.0\""));
  }
};

static int fieldPreviewTestMain(int argc, char** argv) {
  QApplication app(argc, argv);
  int status = 0;
  {
    FieldPreviewTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    ImportReadMeTest t;
    status |= QTest::qExec(&t, argc, argv);
  }
  return status;
}

MIRDAL_UI_TEST_CUSTOM_MAIN(field_preview_test, fieldPreviewTestMain);

#include "field_preview_test.moc"
