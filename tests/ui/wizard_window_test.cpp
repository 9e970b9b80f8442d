// The window never waits on a file nor shows a stale one: a FIFO chosen on
// page 1 is answered at once, page 3 follows the input's form and table,
// a hand-made text field is told of the texts it would cut; the progress
// window gives one overall percent and the rows per second; the title
// names the project and marks unsaved settings.

#include <sys/stat.h>

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QtTest>

#include "support/temp_dir.h"
#include "ui/field_layout_editor.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_build_ui.h"
#include "ui/wizard_fixture.h"

using namespace mirdal;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;

namespace {

const char kTwoTables[] =
    "<?xml version=\"1.0\"?>\n<VOTABLE version=\"1.4\"><RESOURCE>"
    "<TABLE><FIELD name=\"a\" datatype=\"double\"/><DATA><TABLEDATA><TR><TD>1</TD></TR></TABLEDATA></DATA></TABLE>"
    "<TABLE><FIELD name=\"id\" datatype=\"char\" arraysize=\"*\"/><FIELD name=\"ra\" datatype=\"double\"/>"
    "<DATA><TABLEDATA><TR><TD>Beta</TD><TD>10.5</TD></TR></TABLEDATA></DATA></TABLE></RESOURCE></VOTABLE>\n";

QStringList columnNames(const Wizard& w) {
  QStringList names;
  const auto* list = w.find<QTableWidget>("ColumnList");
  for (int r = 0; r < list->rowCount(); ++r) names << list->item(r, 1)->text();
  return names;
}

}  // namespace

class WizardWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Neither page 1 nor page 3 opens what is not a regular file: each says
  // what the path is, within a second, and the form stays the user's choice.
  void aFifoOrADirectoryIsNamedAndNeverOpened() {
    TempDir dir;
    const std::string fifo = dir.str() + "/pipe";
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [path, what] : {std::pair{fifo, "a FIFO (named pipe)"}, {dir.str(), "a directory"}}) {
      Wizard w;
      QElapsedTimer clock;
      clock.start();
      w.fillPage1(QString::fromStdString(path));
      QVERIFY(clock.elapsed() < 1000);
      const QString named = QString("\"%1\" is not a file: it is %2").arg(path.c_str(), what);
      QCOMPARE(w.services.messages.size(), 1);
      QVERIFY2(w.services.messages[0].startsWith(named), qPrintable(w.services.messages[0]));
      QCOMPARE(w.form.definition().settings.format, TableForm::Fixed);
      if (path != fifo) continue;
      // The build may read a pipe: page 1 lets it through, page 3 reads no sample.
      w.click("NextButton");
      w.click("NextButton");
      QCOMPARE(w.page(), 2);
      QVERIFY(clock.elapsed() < 1000);
      QVERIFY2(w.services.messages.last().startsWith(named), qPrintable(w.services.messages.last()));
      QVERIFY(w.form.findChild<FieldLayoutEditor*>()->sampleLine().empty());
    }
  }

  // Page 3 shows the columns, ruler and sample of the file, form and table
  // chosen last, whichever came before; the table is chosen on page 1.
  void page3FollowsTheInputsFormAndTable() {
    TempDir dir;
    const QString csv = QString::fromStdString(dir.write("a.csv", "id,ra,dec\nHR 1,10.5,-20\n"));
    const QString fixed = QString::fromStdString(dir.write("b.dat", "HR 2  11.5 +05.5\n"));
    const QString vot = QString::fromStdString(dir.write("c.vot", kTwoTables));
    Wizard w;
    w.fillPage1(csv);
    w.click("NextButton");
    w.click("NextButton");
    QCOMPARE(columnNames(w), (QStringList{"id", "ra", "dec"}));
    QCOMPARE(w.label("FirstCharCaption"), QString("Column number"));
    w.click("PreviousButton");
    w.click("PreviousButton");
    w.chooseInputFiles({fixed});
    QCOMPARE(w.form.definition().settings.format, TableForm::Fixed);
    w.click("NextButton");
    w.click("NextButton");
    QVERIFY(!w.shown("ColumnList"));
    QVERIFY(w.shown("SampleMemo"));
    QVERIFY(w.find<QPlainTextEdit>("SampleMemo")->toPlainText().startsWith("HR 2  11.5 +05.5\n1234567890"));
    QCOMPARE(w.label("FirstCharCaption"), QString("First Char"));

    w.click("PreviousButton");
    w.click("PreviousButton");
    QVERIFY(!w.shown("TableBox"));
    w.chooseInputFiles({vot});
    auto* tables = w.find<QComboBox>("TableBox");
    QVERIFY(w.shown("TableBox"));
    QCOMPARE(tables->count(), 2);
    w.click("NextButton");
    w.click("NextButton");
    QCOMPARE(columnNames(w), QStringList{"a"});
    w.click("PreviousButton");
    w.click("PreviousButton");
    tables->setCurrentIndex(1);
    emit tables->activated(1);
    QCOMPARE(w.form.definition().settings.table, std::string("2"));
    w.click("NextButton");
    w.click("NextButton");
    QCOMPARE(columnNames(w), (QStringList{"id", "ra"}));
    QVERIFY2(w.services.messages.isEmpty(), qPrintable(w.services.messages.join('|')));
  }

  // Columns chosen by hand on one line are measured against the rows: the
  // page tells how many have text just past them and offers the width
  // that holds it.
  void aHandMadeTextFieldIsToldOfTheTextsItWouldCut() {
    TempDir dir;
    const QString path =
        QString::fromStdString(dir.write("s.dat", "HR 1  A1Vn      \nHR 2  B8IVpMnHg 7\nHR 3  K0\n"));
    Wizard w;
    w.fillPage1(path);
    w.click("NextButton");
    w.click("NextButton");
    w.selectField("Catalog ID");
    w.type("FirstCharEdit", "7");
    w.type("LengthEdit", "4");
    QVERIFY(w.shown("WidthHint"));
    QCOMPARE(w.label("WidthHint"), QString("Text past it in 1 of 3 rows"));
    QCOMPARE(w.button("OfferedWidthButton")->text(), QString("Length 9"));
    w.click("OfferedWidthButton");
    const int field = w.find<QListWidget>("FieldList")->currentRow();
    QCOMPARE(w.form.definition().fieldSlots[static_cast<std::size_t>(field)].length, 9);
    QVERIFY(!w.shown("WidthHint"));
  }

  // One percent for the whole build, never going back when a stage's bar
  // starts again, and the rows per second while converting.
  void theProgressWindowGivesOnePercentAndTheRowsPerSecond() {
    Wizard w;
    WizardBuildUi ui(w.form, w.services, nullptr);
    ui.setProgressWindow(&w.progress);
    QList<int> seen;
    auto look = [&] { seen << w.progress.overallBar()->value(); };
    ui.setStageCaption(stage_caption::kCreateHeader);
    ui.showProgress();
    ui.setStageCaption(stage_caption::kCreateFiles);
    ui.setStageMaximum(10);
    ui.setStagePosition(10);
    look();
    ui.setStageCaption(stage_caption::kConvertFiles);
    ui.setOverallMaximum(2);
    for (const char* file : {"a", "b"}) {
      ui.setStageCaption(std::string(stage_caption::kConvertFile) + file);
      ui.setStageMaximum(1000);
      for (int k = 1; k <= 4; ++k) {
        QTest::qWait(110);
        ui.linesConverted(k * 1000);
        ui.setStagePosition(k * 250);
        look();
      }
    }
    QVERIFY2(w.progress.summaryLabel()->text().contains(" rows/s"), qPrintable(w.progress.summaryLabel()->text()));
    QVERIFY(w.progress.findChild<QLabel*>("ItemCaption")->text().endsWith("rows read"));
    ui.setStageCaption(stage_caption::kMagnitudeSort);
    ui.setStageMaximum(10);
    ui.setStagePosition(0);
    look();
    for (int k = 1; k < seen.size(); ++k) QVERIFY2(seen[k] >= seen[k - 1], qPrintable(QString::number(k)));
    QVERIFY(seen.last() > seen.first());
    QVERIFY(seen.last() < w.progress.overallBar()->maximum());
    QVERIFY(w.progress.summaryLabel()->text().startsWith(QString::number(seen.last() / 10) + "%"));
  }

  void theTitleNamesTheProjectAndMarksUnsavedSettings() {
    TempDir dir;
    Wizard w;
    QCOMPARE(w.form.windowTitle(), QString("Prepare a catalog Mirdal 1.3"));
    w.type("LongNameEdit", "Stars");
    QTRY_COMPARE(w.form.windowTitle(), QString("*Prepare a catalog Mirdal 1.3"));
    w.services.saveFileAnswers.push_back(QString::fromStdString(dir.str() + "/stars.prj"));
    w.click("SaveProjectButton");
    QCOMPARE(w.form.windowTitle(), QString("stars.prj - Prepare a catalog Mirdal 1.3"));
    // A change made by no control's own signal is seen all the same.
    w.form.definition().settings.magmax = 3;
    QTRY_COMPARE(w.form.windowTitle(), QString("*stars.prj - Prepare a catalog Mirdal 1.3"));
  }
};

MIRDAL_UI_TEST_MAIN(wizard_window_test, WizardWindowTest);
#include "wizard_window_test.moc"
