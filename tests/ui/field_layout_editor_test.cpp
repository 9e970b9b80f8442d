// Page 3: the field list, the current field, the column, length and label
// boxes, the alternate-name box, the sample with its rulers, picking columns
// with the mouse and the "Advanced" button.

#include <functional>
#include <memory>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QtTest>

#include "catalog/catalog_definition.h"
#include "support/temp_dir.h"
#include "ui/field_layout_editor.h"
#include "ui/formula_dialog.h"
#include "ui/main_window.h"
#include "ui/platform_services.h"
#include "ui/ui_test_main.h"

using namespace mirdal;
using mirdal::testing::TempDir;

namespace {

// Records message boxes; every dialog is cancelled.
class RecordingServices : public PlatformServices {
 public:
  QStringList messages;

  QStringList openFiles(QWidget*, const FileDialogRequest&) override { return {}; }
  QString openFile(QWidget*, const FileDialogRequest&) override { return {}; }
  QString saveFile(QWidget*, const FileDialogRequest&) override { return {}; }
  QString existingDirectory(QWidget*, const QString&) override { return {}; }
  std::optional<QColor> colour(QWidget*, const QColor&) override { return std::nullopt; }
  void message(QWidget*, const QString& text) override { messages << text; }
  bool askOkCancel(QWidget*, const QString&) override { return false; }
  bool askYesNo(QWidget*, const QString&) override { return false; }
  bool openDocument(const QString&) override { return false; }
};

// The formula dialog with the user scripted: shown without a modal loop, the
// script types and presses a button, the answer is what the button gave.
class ScriptedFormulaDialog : public FormulaDialog {
 public:
  using FormulaDialog::FormulaDialog;
  int shown = 0;
  double shownA = 0, shownB = 0, shownX = 0;
  std::function<void(FormulaDialog&)> user;

  int exec() override {
    ++shown;
    shownA = a();
    shownB = b();
    shownX = x();
    setResult(QDialog::Rejected);
    show();
    if (user) user(*this);
    hide();
    return result();
  }
};

void answer(FormulaDialog& adv, const char* a, const char* b, const char* button) {
  adv.findChild<QLineEdit*>(QStringLiteral("FactorEdit"))->setText(QString::fromLatin1(a));
  adv.findChild<QLineEdit*>(QStringLiteral("OffsetEdit"))->setText(QString::fromLatin1(b));
  adv.findChild<QPushButton*>(QString::fromLatin1(button))->click();
}

// Everything the editor changes in the definition, for before/after checks.
struct Snapshot {
  std::array<FieldSlot, kSlotCount> fieldSlots;
  std::vector<std::string> labels;
  std::array<std::uint8_t, kAltNameCount> altNames;
  std::vector<bool> ticks;

  explicit Snapshot(const CatalogDefinition& def) : fieldSlots(def.fieldSlots), altNames(def.altNames) {
    for (int k = 1; k <= kLabelCount; ++k) labels.push_back(def.label(k));
    for (int p = 0; p < def.fields().size(); ++p) ticks.push_back(def.ticked(p));
  }
  bool operator==(const Snapshot&) const = default;
};

// One page 3 on its own, shown offscreen, with a sample file at hand.
struct Page {
  CatalogDefinition def;
  RecordingServices services;
  TempDir dir;
  ScriptedFormulaDialog adv;
  FieldLayoutEditor editor{def, services, FileSystem::real()};

  explicit Page(QSize size = QSize(600, 420)) {
    editor.setFormulaDialog(&adv);
    editor.resize(size);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
  }

  QListWidget* list() const { return editor.fieldList(); }
  QLineEdit* edit(const char* name) const { return editor.findChild<QLineEdit*>(QString::fromLatin1(name)); }
  QCheckBox* altName() const { return editor.findChild<QCheckBox*>(QStringLiteral("AlternateNameBox")); }
  QPushButton* advanced() const { return editor.findChild<QPushButton*>(QStringLiteral("FormulaButton")); }
  QPlainTextEdit* memo() const { return editor.findChild<QPlainTextEdit*>(QStringLiteral("SampleMemo")); }
  const FieldSlot& slot(int p) const { return def.fieldSlots[static_cast<std::size_t>(p)]; }

  // Reads the first line of `bytes` (LF line ends) as the sample.
  void loadSample(const std::string& bytes) {
    def.settings.inputfiles = {dir.write("sample.dat", bytes)};
    def.settings.eol = 1;
    editor.enterPage();
  }

  void click(int row, Qt::MouseButton button = Qt::LeftButton) {
    list()->scrollToItem(list()->item(row));
    QTest::mouseClick(list()->viewport(), button, {}, list()->visualItemRect(list()->item(row)).center());
  }

  void type(const char* box, const char* text) {
    QLineEdit* e = edit(box);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, QString::fromLatin1(text));
  }

  // Drags the mouse over the sample from one text position to another.
  void drag(int from, int to) {
    QTextCursor c(memo()->document());
    c.setPosition(from);
    const QPoint start = memo()->cursorRect(c).center();
    c.setPosition(to);
    const QPoint end = memo()->cursorRect(c).center();
    QTest::mousePress(memo()->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(memo()->viewport(), end);
    QTest::mouseRelease(memo()->viewport(), Qt::LeftButton, {}, end);
  }

  // Highlights columns of the sample line as a field of the current entry.
  void highlightColumns(int first, int length) {
    edit("FirstCharEdit")->setText(QString::number(first));
    edit("LengthEdit")->setText(QString::number(length));
  }

  QString highlighted() const { return memo()->textCursor().selectedText(); }
};

constexpr char kLine25[] = "ABCDEFGHIJKLMNOPQRSTUVWXY";

}  // namespace

class FieldLayoutEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void starsInHmsAndDmsGiveThirtyEightEntriesFreeFromEighteen() {
    Page page;
    QCOMPARE(page.list()->count(), 38);
    QCOMPARE(page.def.fields().firstFreePosition(), 18);
    QCOMPARE(page.list()->item(0)->text(), QStringLiteral("[RA (hours)]"));
    QCOMPARE(page.list()->item(3)->text(), QStringLiteral("DEC sign"));
    QCOMPARE(page.list()->item(7)->text(), QStringLiteral("Catalog ID"));
    QCOMPARE(page.list()->item(17)->text(), QStringLiteral("Comments"));
    QCOMPARE(page.list()->item(18)->text(), QStringLiteral("String 1"));
    QCOMPARE(page.list()->item(37)->text(), QStringLiteral("Numeric 10"));
    // The first entry is current from the start.
    QCOMPARE(page.editor.currentField(), 0);
    QCOMPARE(page.list()->currentRow(), 0);
    const std::pair<int, const char*> labels[] = {{0, "RA"},   {2, "RA"},   {3, "DEC"},  {6, "DEC"},
                                                  {7, "Id"},   {17, "desc"}, {18, "Str1"}, {37, "Num10"}};
    for (const auto& [row, label] : labels) {
      page.click(row);
      QCOMPARE(page.editor.currentField(), row);
      QCOMPARE(page.edit("LabelEdit")->text(), QString::fromLatin1(label));
    }
  }

  void labelOfAnyRaEntryRenamesAllRaEntries() {
    Page page;
    page.click(1);
    page.type("LabelEdit", "Alpha");
    page.click(3);
    page.type("LabelEdit", "Delta");
    page.click(8);
    page.type("LabelEdit", "Vmag");
    QCOMPARE(page.def.label(1), std::string("Alpha"));
    QCOMPARE(page.def.label(2), std::string("Delta"));
    QCOMPARE(page.def.label(4), std::string("Vmag"));
    page.click(2);
    QCOMPARE(page.edit("LabelEdit")->text(), QStringLiteral("Alpha"));
    page.click(6);
    QCOMPARE(page.edit("LabelEdit")->text(), QStringLiteral("Delta"));
    // Ten characters at most.
    page.click(7);
    page.type("LabelEdit", "ABCDEFGHIJKL");
    QCOMPARE(page.def.label(3), std::string("ABCDEFGHIJ"));
  }

  void raTypeZeroToOneMovesEntriesUpTwoWhileSlotsStay() {
    Page page;
    page.def.fieldSlots[3] = {20, 1, 1.0, 0.0};
    page.def.fieldSlots[5] = {30, 2, 1.0, 0.0};
    page.list()->item(0)->setCheckState(Qt::Checked);
    QVERIFY(page.def.ticked(0));
    page.click(1);
    page.type("LabelEdit", "Alpha");

    page.def.setRaType(1);
    page.editor.showFieldList();
    QCOMPARE(page.list()->count(), 36);
    QCOMPARE(page.list()->item(0)->text(), QStringLiteral("[RA decimal (hours)]"));
    QCOMPARE(page.list()->item(1)->text(), QStringLiteral("DEC sign"));
    QCOMPARE(page.list()->item(3)->text(), QStringLiteral("DEC (arcmin)"));
    QCOMPARE(page.list()->item(16)->text(), QStringLiteral("String 1"));
    for (int row = 0; row < page.list()->count(); ++row) QCOMPARE(page.list()->item(row)->checkState(), Qt::Unchecked);
    QCOMPARE(page.def.label(1), std::string("RA"));
    // The slot of position 3 now belongs to "DEC (arcmin)".
    page.click(3);
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("20"));
    QCOMPARE(page.edit("LengthEdit")->text(), QStringLiteral("1"));
    page.click(5);
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("30"));
  }

  void currentFieldBeyondAShorterListComesBackOntoItsLastEntry() {
    Page page;
    page.def.fieldSlots[32] = {7, 3, 1.0, 0.0};
    page.click(37);
    page.def.setRaType(1);
    page.def.setDecType(1);
    page.editor.showFieldList();
    QCOMPARE(page.list()->count(), 33);
    QCOMPARE(page.editor.currentField(), 32);
    QCOMPARE(page.list()->currentRow(), 32);
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("7"));
    QCOMPARE(page.edit("LabelEdit")->text(), QStringLiteral("Num10"));
    const Snapshot before(page.def);
    page.type("LengthEdit", "4");
    page.type("LabelEdit", "Last");
    Snapshot expected = before;
    expected.fieldSlots[32].length = 4;
    expected.labels[32] = "Last";  // label 33
    QVERIFY(Snapshot(page.def) == expected);
  }

  void typing12And5HighlightsColumns12To16AndALetterChangesNothing() {
    Page page;
    page.loadSample(std::string(kLine25) + "\nsecond line\n");
    page.click(7);
    page.type("FirstCharEdit", "12");
    page.type("LengthEdit", "5");
    QCOMPARE(page.slot(7).firstChar, 12);
    QCOMPARE(page.slot(7).length, 5);
    QCOMPARE(page.memo()->textCursor().selectionStart(), 11);
    QCOMPARE(page.highlighted(), QStringLiteral("LMNOP"));

    page.type("FirstCharEdit", "x");
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("x"));
    QCOMPARE(page.slot(7).firstChar, 12);
    QCOMPARE(page.highlighted(), QStringLiteral("LMNOP"));

    // The highlight stops at the end of the line; the slot keeps the value.
    page.type("FirstCharEdit", "20");
    page.type("LengthEdit", "100");
    QCOMPARE(page.slot(7).length, 100);
    QCOMPARE(page.highlighted(), QStringLiteral("TUVWXY"));
    // A first character past the end: kept, nothing highlighted.
    page.type("FirstCharEdit", "27");
    QCOMPARE(page.slot(7).firstChar, 27);
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("27"));
    QVERIFY(!page.memo()->textCursor().hasSelection());
    // Column 26 is just past the last character.
    page.type("FirstCharEdit", "25");
    QCOMPARE(page.highlighted(), QStringLiteral("Y"));
    page.type("FirstCharEdit", "26");
    QVERIFY(!page.memo()->textCursor().hasSelection());
  }

  void columnBoxesReadBlanksThenSignThenDigitsOnly() {
    Page page;
    page.click(7);
    const std::pair<const char*, int> texts[] = {
        {"7", 7},   {" 8", 8},  {"+9", 9},  {"-3", -3}, {"010", 10}, {"9 ", 10}, {"", 10},          {"-", 10},
        {"+", 10},  {"+-4", 10}, {"1.5", 10}, {"4e2", 10}, {"0x10", 10}, {"2147483647", 2147483647},
        {"2147483648", 2147483647}};
    for (const auto& [text, stored] : texts) {
      page.edit("LengthEdit")->setText(QString::fromLatin1(text));
      QVERIFY2(page.slot(7).length == stored, text);
    }
    page.edit("FirstCharEdit")->setText(QStringLiteral("  12"));
    QCOMPARE(page.slot(7).firstChar, 12);
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("12"));
  }

  void selecting12345InEitherRulerPicksThoseColumns() {
    Page page;
    page.loadSample(std::string(kLine25) + "\n");
    page.click(7);
    const int ruler = 25 + 1;           // start of "1234567890..."
    const int numbers = ruler + 30 + 1;  // start of "         1..."
    page.drag(ruler, ruler + 5);
    QCOMPARE(page.slot(7).firstChar, 1);
    QCOMPARE(page.slot(7).length, 5);
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("1"));
    QCOMPARE(page.edit("LengthEdit")->text(), QStringLiteral("5"));
    // The highlight moves onto the sample line.
    QCOMPARE(page.memo()->textCursor().selectionStart(), 0);
    QCOMPARE(page.highlighted(), QStringLiteral("ABCDE"));

    page.click(8);
    page.drag(numbers, numbers + 5);
    QCOMPARE(page.slot(8).firstChar, 1);
    QCOMPARE(page.slot(8).length, 5);

    page.drag(numbers + 10, numbers + 13);
    QCOMPARE(page.slot(8).firstChar, 11);
    QCOMPARE(page.slot(8).length, 3);
    QCOMPARE(page.highlighted(), QStringLiteral("KLM"));

    // The last characters of the first ruler.
    page.drag(ruler + 24, ruler + 25);
    QCOMPARE(page.slot(8).firstChar, 25);
    QCOMPARE(page.slot(8).length, 1);

    page.drag(2, 6);
    QCOMPARE(page.slot(8).firstChar, 3);
    QCOMPARE(page.slot(8).length, 4);
    QCOMPARE(page.highlighted(), QStringLiteral("CDEF"));
  }

  void alternateNameBoxForStringEntriesOnlyKeepsItsTick() {
    Page page;
    for (int row : {0, 7, 17, 28, 37}) {
      page.click(row);
      QVERIFY2(page.altName()->isHidden(), qPrintable(page.list()->item(row)->text()));
    }
    for (int row : {18, 22, 27}) {
      page.click(row);
      QVERIFY2(page.altName()->isVisible(), qPrintable(page.list()->item(row)->text()));
      QVERIFY(!page.altName()->isChecked());
    }
    page.click(18);
    page.altName()->click();
    page.click(27);
    page.altName()->click();
    QCOMPARE(page.def.altNames[0], std::uint8_t{1});
    QCOMPARE(page.def.altNames[9], std::uint8_t{1});
    page.click(5);
    page.click(18);
    QVERIFY(page.altName()->isVisible());
    QVERIFY(page.altName()->isChecked());
    page.click(19);
    QVERIFY(!page.altName()->isChecked());
    page.click(18);
    page.altName()->click();
    QCOMPARE(page.def.altNames[0], std::uint8_t{0});
    QCOMPARE(page.def.altNames[9], std::uint8_t{1});
  }

  void rulersHaveOneBlockPerTenCharactersPlusOne() {
    Page page;
    page.loadSample("\nnext\n");
    QCOMPARE(page.memo()->toPlainText(), QStringLiteral("\n1234567890\n         1"));
    page.loadSample("123456789\n");
    QCOMPARE(page.memo()->toPlainText(), QStringLiteral("123456789\n1234567890\n         1"));
    page.loadSample("1234567890\n");
    QCOMPARE(page.memo()->toPlainText(),
             QStringLiteral("1234567890\n12345678901234567890\n         1         2"));
    page.loadSample(std::string(kLine25));
    QCOMPARE(page.memo()->toPlainText(), QString::fromLatin1(kLine25) +
                                             QStringLiteral("\n123456789012345678901234567890\n"
                                                            "         1         2         3"));
    // Block 10 is still ten wide and ends in column 100.
    page.loadSample(std::string(95, 'a'));
    const QString numbers = page.memo()->document()->findBlockByNumber(2).text();
    QCOMPARE(numbers.size(), 100);
    QVERIFY(numbers.endsWith(QStringLiteral("         9        10")));
  }

  // A tab, a CR read under LF line ends and a Latin-1 byte each keep one
  // column, and the sample keeps three lines.
  void everyByteOfTheSampleIsOneColumn() {
    Page page;
    page.loadSample("a\tb\rc\xE9" "d\n");
    QCOMPARE(page.memo()->document()->blockCount(), 3);
    const QString shown = page.memo()->document()->firstBlock().text();
    QCOMPARE(shown.size(), 7);
    QCOMPARE(shown.at(5), QChar(0xE9));
    QCOMPARE(page.memo()->document()->findBlockByNumber(1).text(), QStringLiteral("1234567890"));
    QCOMPARE(page.editor.sampleLine(), std::string("a\tb\rc\xE9" "d"));
  }

  void clickBelowTheLastEntryLeavesNoFieldAndEditsChangeNothing() {
    Page page(QSize(600, 1100));
    page.loadSample("  42  abc\n");
    page.click(28);
    const QRect last = page.list()->visualItemRect(page.list()->item(page.list()->count() - 1));
    QVERIFY2(last.bottom() + 20 < page.list()->viewport()->height(), "the list must leave room below its last entry");
    QTest::mouseClick(page.list()->viewport(), Qt::LeftButton, {}, QPoint(last.center().x(), last.bottom() + 15));
    QCOMPARE(page.editor.currentField(), -1);
    QVERIFY(page.list()->selectedItems().isEmpty());

    const Snapshot before(page.def);
    page.type("FirstCharEdit", "3");
    page.type("LengthEdit", "2");
    page.type("LabelEdit", "Nothing");
    page.altName()->click();
    page.drag(0, 4);
    page.memo()->selectAll();
    page.advanced()->click();
    QVERIFY(Snapshot(page.def) == before);
    QCOMPARE(page.adv.shown, 0);

    // Only the left button chooses.
    page.click(5, Qt::RightButton);
    QCOMPARE(page.editor.currentField(), -1);
    // A key in the list makes its selected entry current.
    page.list()->setFocus();
    QTest::keyClick(page.list(), Qt::Key_Down);
    QVERIFY(page.editor.currentField() >= 0);
    QCOMPARE(page.editor.currentField(), page.list()->currentRow());
    QTest::keyClick(page.list(), Qt::Key_Down);
    QCOMPARE(page.editor.currentField(), page.list()->currentRow());
    const int current = page.editor.currentField();
    QTest::keyClick(page.list(), Qt::Key_Space);
    QVERIFY(page.def.ticked(current));
  }

  void unreadableFirstFileIsReportedAndThePageStillOpens() {
    Page page;
    page.loadSample(std::string(kLine25) + "\n");
    page.click(7);
    page.def.fieldSlots[7] = {3, 2, 1.0, 0.0};

    page.def.settings.inputfiles = {page.dir.str() + "/missing.dat"};
    page.editor.enterPage();
    QCOMPARE(page.services.messages.size(), 1);
    QVERIFY2(page.services.messages[0].contains(QStringLiteral("missing.dat")), qPrintable(page.services.messages[0]));
    // No sample of another file stays, and the boxes show the current field.
    QVERIFY(page.memo()->toPlainText().isEmpty());
    QCOMPARE(page.edit("FirstCharEdit")->text(), QStringLiteral("3"));

    page.def.settings.inputfiles = {page.dir.str()};
    page.editor.enterPage();
    QCOMPARE(page.services.messages.size(), 2);

    // A "line" of 70000 bytes is a binary file or the wrong line end.
    page.loadSample(std::string(70000, 'x'));
    QCOMPARE(page.services.messages.size(), 3);
    QVERIFY2(page.services.messages[2].contains(QStringLiteral("line longer than")),
             qPrintable(page.services.messages[2]));
    QVERIFY(page.memo()->toPlainText().isEmpty());
  }

  void emptyInputListGivesAnEmptySample() {
    Page page;
    page.loadSample(std::string(kLine25) + "\n");
    page.def.settings.inputfiles.clear();
    page.click(7);
    page.editor.enterPage();
    QVERIFY(page.services.messages.isEmpty());
    QVERIFY(page.memo()->toPlainText().isEmpty());
    page.type("FirstCharEdit", "4");
    page.type("LengthEdit", "2");
    QCOMPARE(page.slot(7).firstChar, 4);
    QCOMPARE(page.slot(7).length, 2);
    QVERIFY(!page.memo()->textCursor().hasSelection());
  }

  void advancedOpensOnlyForCalibratedEntriesOverANumber() {
    Page page;
    page.loadSample("  42  abc 12.5\n");
    const int numeric3 = 30;
    QCOMPARE(page.list()->item(numeric3)->text(), QStringLiteral("Numeric 3"));

    page.click(7);  // "Catalog ID"
    page.highlightColumns(1, 4);
    QCOMPARE(page.highlighted(), QStringLiteral("  42"));
    page.advanced()->click();
    QCOMPARE(page.adv.shown, 0);

    page.click(numeric3);
    page.highlightColumns(3, 4);
    QCOMPARE(page.highlighted(), QStringLiteral("42  "));
    page.advanced()->click();
    QCOMPARE(page.adv.shown, 0);
    page.highlightColumns(7, 3);  // "abc"
    page.advanced()->click();
    QCOMPARE(page.adv.shown, 0);

    page.highlightColumns(1, 4);
    page.adv.user = [](FormulaDialog& d) { answer(d, "0.001", "-5", "OkButton"); };
    page.advanced()->click();
    QCOMPARE(page.adv.shown, 1);
    QVERIFY(page.adv.shownX == 42 && page.adv.shownA == 1 && page.adv.shownB == 0);
    QVERIFY(page.slot(numeric3).calcA == 0.001 && page.slot(numeric3).calcB == -5);

    page.adv.user = [](FormulaDialog& d) { answer(d, "3", "4", "CancelButton"); };
    page.advanced()->click();
    QCOMPARE(page.adv.shown, 2);
    QVERIFY(page.adv.shownA == 0.001 && page.adv.shownB == -5);
    QVERIFY(page.slot(numeric3).calcA == 0.001 && page.slot(numeric3).calcB == -5);

    // An entry with a unit in parentheses takes a calibration too.
    page.click(8);  // "[Magnitude (mag)]"
    page.highlightColumns(11, 4);
    page.adv.user = [](FormulaDialog& d) { answer(d, "2", "1", "OkButton"); };
    page.advanced()->click();
    QCOMPARE(page.adv.shown, 3);
    QVERIFY(page.adv.shownX == 12.5);
    QVERIFY(page.slot(8).calcA == 2 && page.slot(8).calcB == 1);
    QVERIFY(page.slot(numeric3).calcA == 0.001);
  }

  // The whole window at its default size with a real catalog line as sample:
  // page 3 is laid out without clipping, and "Advanced" finds the formula
  // dialog created beside the window.
  void pageThreeFitsTheDefaultWindowSize() {
    RecordingServices services;
    WizardWindow form(services, FileSystem::real());
    ScriptedFormulaDialog adv(&form);
    form.setFormulaDialog(&adv);
    TempDir dir;
    // The Bright Star Catalogue has V at columns 103 to 107.
    const std::string sample = std::string(102, ' ') + " 6.70  +0.07";
    const std::string bsc5 = MIRDAL_SOURCE_DIR "/../shared/data/bsc5/catalog";
    form.definition().settings.inputfiles = {QFile::exists(QString::fromStdString(bsc5)) ? bsc5
                                                                                       : dir.write("c.dat", sample)};
    form.definition().settings.eol = 1;
    form.resize(499, 473);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.showPage(kPageFields);
    form.enterPage(kPageFields);
    auto* editor = form.findChild<FieldLayoutEditor*>();
    QVERIFY(editor);
    editor->fieldList()->setCurrentRow(18);
    QTest::mouseClick(editor->fieldList()->viewport(), Qt::LeftButton, {},
                      editor->fieldList()->visualItemRect(editor->fieldList()->item(18)).center());
    editor->findChild<QLineEdit*>(QStringLiteral("FirstCharEdit"))->setText(QStringLiteral("15"));
    editor->findChild<QLineEdit*>(QStringLiteral("LengthEdit"))->setText(QStringLiteral("10"));
    QApplication::processEvents();
    QCOMPARE(form.size(), QSize(499, 473));
    form.grab().save(QStringLiteral(MIRDAL_BINARY_DIR "/page3.png"));

    const QRect page = editor->rect();
    for (const char* name :
         {"FieldList", "FirstCharEdit", "LengthEdit", "LabelEdit", "AlternateNameBox", "FormulaButton", "SampleMemo"}) {
      auto* w = editor->findChild<QWidget*>(QString::fromLatin1(name));
      QVERIFY2(w, name);
      const QRect r(w->mapTo(editor, QPoint(0, 0)), w->size());
      QVERIFY2(page.contains(r), name);
      // Captions whole; boxes at least as large as they can usefully be.
      const QSize need = qobject_cast<QAbstractButton*>(w) ? w->sizeHint() : w->minimumSizeHint();
      if (!qobject_cast<QAbstractScrollArea*>(w))
        QVERIFY2(w->width() >= need.width() && w->height() >= need.height(), name);
    }
    auto* memo = editor->findChild<QPlainTextEdit*>(QStringLiteral("SampleMemo"));
    QVERIFY(memo->viewport()->height() >= 3 * memo->fontMetrics().lineSpacing());

    // "Advanced" over the highlighted text of "String 1" does nothing; over
    // a numeric entry it opens the window's dialog.
    editor->findChild<QPushButton*>(QStringLiteral("FormulaButton"))->click();
    QCOMPARE(adv.shown, 0);
    QTest::mouseClick(editor->fieldList()->viewport(), Qt::LeftButton, {},
                      editor->fieldList()->visualItemRect(editor->fieldList()->item(8)).center());
    editor->findChild<QLineEdit*>(QStringLiteral("FirstCharEdit"))->setText(QStringLiteral("103"));
    editor->findChild<QLineEdit*>(QStringLiteral("LengthEdit"))->setText(QStringLiteral("5"));
    editor->findChild<QPushButton*>(QStringLiteral("FormulaButton"))->click();
    QCOMPARE(adv.shown, 1);
  }
};

MIRDAL_UI_TEST_MAIN(field_layout_editor_test, FieldLayoutEditorTest);
#include "field_layout_editor_test.moc"
