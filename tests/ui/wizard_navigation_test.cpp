// The wizard's pages, navigation, page checks and their messages, the table
// pages, colours, input files, help and the general error handling.

#include <unistd.h>

#include <filesystem>
#include <memory>

#include <QDir>
#include <QGroupBox>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

#include "support/temp_dir.h"
#include "ui/help.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_fixture.h"

using mirdal::ColourSwatch;
using mirdal::LogoImage;
using mirdal::RadioGroup;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;

namespace {

// Restores the working directory a test changed.
class CurrentDirectory {
 public:
  CurrentDirectory() : saved_(QDir::currentPath()) {}
  ~CurrentDirectory() { QDir::setCurrent(saved_); }

 private:
  QString saved_;
};

struct ButtonStates {
  bool prev, next, build, buildShown, closeShown;
};

ButtonStates states(const Wizard& w) {
  return {w.button("PreviousButton")->isEnabled(), w.button("NextButton")->isEnabled(),
          w.button("BuildButton")->isEnabled(), w.shown("BuildButton"), w.shown("CloseButton")};
}

}  // namespace

class WizardNavigationTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void init() {
    dir_ = std::make_unique<TempDir>();
    input_ = QString::fromStdString(dir_->write("cat.txt", "0123456789 line one\r\nsecond line\r\n"));
  }
  void cleanup() { dir_.reset(); }

  void startUpShowsPage1WithBuildDisabledAndCloseHidden() {
    Wizard w;
    QCOMPARE(w.form.windowTitle(), QString("Prepare a catalog Mirdal 1.3"));
    QCOMPARE(w.page(), 0);
    const ButtonStates s = states(w);
    QVERIFY(!s.prev);
    QVERIFY(s.next);
    QVERIFY(!s.build);
    QVERIFY(s.buildShown);
    QVERIFY(!s.closeShown);
    QCOMPARE(w.find<QComboBox>("NebulaSizeUnitBox")->currentText(), QString("Minute"));
    QCOMPARE(w.form.unitFactor(), 60);
    QCOMPARE(w.find<QComboBox>("NebulaTypeBox")->currentIndex(), 14);
    QCOMPARE(w.find<QComboBox>("NebulaTypeBox")->currentText(), QString("Unknow"));
    QCOMPARE(w.find<RadioGroup>("LineEndGroup")->itemIndex(), 2);
    QCOMPARE(w.form.programDirectory(), QDir::currentPath());
    QCOMPARE(w.form.helpLanguage(), QString("UK"));
  }

  void nextAndPrevFollowTheButtonStateTable() {
    Wizard w;
    w.fillPage1(input_);
    w.click("NextButton");
    QCOMPARE(w.page(), 1);
    ButtonStates s = states(w);
    QVERIFY(s.prev && s.next && !s.build && s.buildShown && !s.closeShown);

    w.click("NextButton");
    QCOMPARE(w.page(), 2);
    w.tickRequiredFields();
    w.click("NextButton");
    QCOMPARE(w.page(), 3);
    s = states(w);
    QVERIFY(s.prev && !s.next && s.build && s.buildShown && !s.closeShown);

    // Prev from page 4 disables "Build Catalog" but leaves it in place.
    w.click("PreviousButton");
    QCOMPARE(w.page(), 2);
    s = states(w);
    QVERIFY(s.prev && s.next && !s.build && s.buildShown);

    w.click("PreviousButton");
    QCOMPARE(w.page(), 1);
    QVERIFY(w.button("PreviousButton")->isEnabled());
    w.click("PreviousButton");
    QCOMPARE(w.page(), 0);
    s = states(w);
    QVERIFY(!s.prev && s.next && !s.build);
  }

  void emptyFileListIsFileNotFound() {
    Wizard w;
    w.type("ShortNameEdit", "abc");
    w.type("LongNameEdit", "A catalog");
    w.click("NextButton");
    QCOMPARE(w.services.messages, QStringList{"File not found"});
    QCOMPARE(w.page(), 0);
    QVERIFY(!w.button("PreviousButton")->isEnabled());
  }

  void missingFirstFileIsFileNotFoundButMissingSecondFilePasses() {
    Wizard w;
    const QString missing = QString::fromStdString(dir_->str() + "/absent.txt");
    w.fillPage1(input_);
    w.chooseInputFiles({missing, input_});
    w.click("NextButton");
    QCOMPARE(w.services.messages.last(), QString("File not found"));
    QCOMPARE(w.page(), 0);

    w.chooseInputFiles({input_, missing});
    w.services.messages.clear();
    w.click("NextButton");
    QVERIFY(w.services.messages.isEmpty());
    QCOMPARE(w.page(), 1);
  }

  void directoryAsFirstFileIsNamedADirectory() {
    Wizard w;
    w.fillPage1(input_);
    w.form.definition().settings.inputfiles = {dir_->str()};
    w.click("NextButton");
    QCOMPARE(w.services.messages.last(), QString("\"%1\" is not a file: it is a directory").arg(dir_->str().c_str()));
  }

  void blankShortNameIsRefusedBeforeLongNameWithFocusOnShortName_data() {
    QTest::addColumn<QString>("shortName");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank") << "   " << "Please indicate a catalog short name";
    // The short name names the output files: it must not lead out of the directory.
    QTest::newRow("parent") << "../a" << mirdal::kShortNameUnsafe;
  }

  void blankShortNameIsRefusedBeforeLongNameWithFocusOnShortName() {
    QFETCH(QString, shortName);
    QFETCH(QString, message);
    Wizard w;
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    w.chooseInputFiles({input_});
    w.type("ShortNameEdit", shortName);
    w.button("NextButton")->setFocus();
    w.click("NextButton");
    QCOMPARE(w.services.messages, QStringList{message});
    QCOMPARE(w.page(), 0);
    QVERIFY(w.find<QLineEdit>("ShortNameEdit")->hasFocus());
  }

  void blankLongNameIsRefusedWithFocusOnLongName() {
    Wizard w;
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    w.chooseInputFiles({input_});
    w.type("ShortNameEdit", "ab");
    w.type("LongNameEdit", " \t ");
    w.button("NextButton")->setFocus();
    w.click("NextButton");
    QCOMPARE(w.services.messages, QStringList{"Please indicate a catalog long name"});
    QVERIFY(w.find<QLineEdit>("LongNameEdit")->hasFocus());
  }

  void shortNameTakesAtMostFourCharacters() {
    Wizard w;
    w.type("ShortNameEdit", "ABCDEF");
    QCOMPARE(w.form.definition().settings.shortname, std::string("ABCD"));
    w.type("LongNameEdit", QString(60, 'x'));
    QCOMPARE(w.form.definition().settings.longname.size(), std::size_t{50});
  }

  void equinoxQuestion_data() {
    QTest::addColumn<QString>("equinox");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<int>("pageAfter");
    QTest::newRow("1799.9 Cancel keeps page 2") << "1799.9" << true << false << 1;
    QTest::newRow("1799.9 OK passes") << "1799.9" << true << true << 2;
    QTest::newRow("1800 passes silently") << "1800" << false << false << 2;
    QTest::newRow("2000 passes silently") << "2000" << false << false << 2;
    QTest::newRow("2100 passes silently") << "2100" << false << false << 2;
    QTest::newRow("2100.1 Cancel keeps page 2") << "2100.1" << true << false << 1;
    QTest::newRow("2100.1 OK passes") << "2100.1" << true << true << 2;
    QTest::newRow("-50 Cancel keeps page 2") << "-50" << true << false << 1;
  }
  void equinoxQuestion() {
    QFETCH(QString, equinox);
    QFETCH(bool, asked);
    QFETCH(bool, answerOk);
    QFETCH(int, pageAfter);
    Wizard w;
    w.fillPage1(input_);
    w.click("NextButton");
    w.type("EquinoxEdit", equinox);
    w.services.okCancelAnswers.push_back(answerOk);
    w.click("NextButton");
    if (asked)
      QCOMPARE(w.services.questions, QStringList{"Is coordinates epoch really " + equinox + " ?"});
    else
      QVERIFY(w.services.questions.isEmpty());
    QCOMPARE(w.page(), pageAfter);
    QVERIFY(w.services.messages.isEmpty());
    // A refusal changes no button.
    QVERIFY(w.button("PreviousButton")->isEnabled());
    QVERIFY(w.button("NextButton")->isEnabled());
  }

  void unreadableEquinoxTextFallsBackToTheLastNumber() {
    Wizard w;
    w.fillPage1(input_);
    w.click("NextButton");
    w.type("EquinoxEdit", "1700");
    w.type("EquinoxEdit", "-");
    w.services.okCancelAnswers.push_back(false);
    w.click("NextButton");
    // The box shows the number the window works with again.
    QCOMPARE(w.services.questions, QStringList{"Is coordinates epoch really 1700 ?"});
    QCOMPARE(w.find<QLineEdit>("EquinoxEdit")->text(), QString("1700"));
  }

  void requiredFieldMissingIsShownOnceAndKeepsPage3() {
    Wizard w;
    w.fillPage1(input_);
    w.click("NextButton");
    w.click("NextButton");
    QCOMPARE(w.page(), 2);
    w.click("NextButton");
    // The message names the entry, which becomes the current field.
    QCOMPARE(w.services.messages, QStringList{"Required field missing ! [RA (hours)]"});
    QCOMPARE(w.page(), 2);
    QCOMPARE(w.find<QListWidget>("FieldList")->currentRow(), 0);

    // One required entry still unticked is enough to refuse.
    w.tick("[RA (hours)]");
    w.tick("[DEC (degrees)]");
    w.services.messages.clear();
    w.click("NextButton");
    QCOMPARE(w.services.messages, QStringList{"Required field missing ! [Magnitude (mag)]"});
    w.tick("[Magnitude (mag)]");
    w.services.messages.clear();
    w.click("NextButton");
    QVERIFY(w.services.messages.isEmpty());
    QCOMPARE(w.page(), 3);
  }

  void typeChangeRebuildsTheFieldList() {
    Wizard w;
    auto* list = w.find<QListWidget>("FieldList");
    QCOMPARE(list->count(), 38);
    w.tickRequiredFields();
    w.choose("CatalogTypeGroup", 4);
    QCOMPARE(w.form.definition().settings.type, 4);
    QCOMPARE(list->count(), 3 + 4 + 6 + 20);
    for (int i = 0; i < list->count(); ++i) QCOMPARE(list->item(i)->checkState(), Qt::Unchecked);
    w.choose("RaFormatGroup", 1);
    QCOMPARE(list->count(), 1 + 4 + 6 + 20);
    QCOMPARE(list->item(0)->text(), QString("[RA decimal (hours)]"));
  }

  void pagesFollowTheCatalogType_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("nebulaDefaults");
    QTest::addColumn<bool>("outlineDefaults");
    QTest::addColumn<bool>("regionAndIndexChoices");
    QTest::newRow("stars") << 0 << false << false << true;
    QTest::newRow("doubles") << 2 << false << false << true;
    QTest::newRow("nebulae") << 3 << true << false << true;
    QTest::newRow("outlines") << 4 << false << true << false;
  }
  void pagesFollowTheCatalogType() {
    QFETCH(int, type);
    QFETCH(bool, nebulaDefaults);
    QFETCH(bool, outlineDefaults);
    QFETCH(bool, regionAndIndexChoices);
    Wizard w;
    w.fillPage1(input_);
    w.choose("CatalogTypeGroup", type);
    w.click("NextButton");
    QCOMPARE(w.shown("NebulaDefaultsBox"), nebulaDefaults);
    QCOMPARE(w.shown("OutlineDefaultsBox"), outlineDefaults);
    w.click("NextButton");
    w.tickRequiredFields();
    w.click("NextButton");
    QCOMPARE(w.page(), 3);
    QCOMPARE(w.shown("RegionCountGroup"), regionAndIndexChoices);
    QCOMPARE(w.shown("IndexGroup"), regionAndIndexChoices);
  }

  void outlineChoicesReturnWhenTheTypeChangesBack() {
    Wizard w;
    w.fillPage1(input_);
    w.choose("CatalogTypeGroup", 4);
    for (int i = 0; i < 2; ++i) w.click("NextButton");
    w.tickRequiredFields();
    w.click("NextButton");
    QVERIFY(!w.shown("RegionCountGroup"));
    for (int i = 0; i < 3; ++i) w.click("PreviousButton");
    w.choose("CatalogTypeGroup", 0);
    w.click("NextButton");
    QVERIFY(!w.shown("OutlineDefaultsBox"));
    w.click("NextButton");
    w.tickRequiredFields();
    w.click("NextButton");
    QVERIFY(w.shown("RegionCountGroup"));
    QVERIFY(w.shown("IndexGroup"));
  }

  void unitFactorFollowsTheComboBox() {
    Wizard w;
    auto* combo = w.find<QComboBox>("NebulaSizeUnitBox");
    combo->setCurrentIndex(2);
    QCOMPARE(w.form.unitFactor(), 3600);
    combo->setCurrentIndex(1);
    QCOMPARE(w.form.unitFactor(), 60);
    combo->setCurrentIndex(0);
    QCOMPARE(w.form.unitFactor(), 1);
    QCOMPARE(w.form.definition().settings.nebunit, 0);
  }

  void numericBoxesStayWithinTheirBounds() {
    Wizard w;
    auto* size = w.find<QSpinBox>("NebulaSizeEdit");
    auto* width = w.find<QSpinBox>("LineWidthEdit");
    size->setValue(5000);
    width->setValue(-3);
    QCOMPARE(w.form.definition().settings.nebsize, 3600);
    QCOMPARE(w.form.definition().settings.linewidth, 0);
    width->setValue(99);
    QCOMPARE(w.form.definition().settings.linewidth, 99);
  }

  void tablePagesDisableTheWholeButtonBarUntilReturn_data() {
    QTest::addColumn<QString>("editButton");
    QTest::addColumn<QString>("returnButton");
    QTest::addColumn<int>("tablePage");
    QTest::newRow("object types") << "ObjectTypesButton" << "ObjectTypesReturnButton" << 4;
    QTest::newRow("units") << "SizeUnitsButton" << "SizeUnitsReturnButton" << 5;
    QTest::newRow("line operations") << "LineOperationsButton" << "LineOperationsReturnButton" << 6;
    QTest::newRow("colours") << "ColoursButton" << "ColoursReturnButton" << 7;
  }
  void tablePagesDisableTheWholeButtonBarUntilReturn() {
    QFETCH(QString, editButton);
    QFETCH(QString, returnButton);
    QFETCH(int, tablePage);
    Wizard w;
    w.fillPage1(input_);
    w.choose("CatalogTypeGroup", tablePage <= 5 ? 3 : 4);
    w.click("NextButton");
    const ButtonStates before = states(w);
    w.click(editButton.toLatin1().constData());
    QCOMPARE(w.page(), tablePage);
    for (const char* name :
         {"HelpButton", "SaveProjectButton", "LoadProjectButton", "PreviousButton", "NextButton", "BuildButton"})
      QVERIFY2(!w.button(name)->isEnabled(), name);
    w.click("NextButton");
    w.click("LoadProjectButton");
    QCOMPARE(w.page(), tablePage);
    QVERIFY(w.services.fileRequests.size() == 1);  // only the input-file dialog of fillPage1

    w.click(returnButton.toLatin1().constData());
    QCOMPARE(w.page(), 1);
    const ButtonStates after = states(w);
    QCOMPARE(after.prev, before.prev);
    QCOMPARE(after.next, before.next);
    QCOMPARE(after.build, before.build);
    QVERIFY(w.button("HelpButton")->isEnabled());
  }

  void gridsShowTheTablesButNotTheHiddenRows() {
    Wizard w;
    auto* types = w.find<QTableWidget>("ObjectTypesGrid");
    QCOMPARE(types->rowCount(), 14);
    QCOMPARE(types->columnCount(), 2);
    QCOMPARE(types->item(0, 0)->text(), QString("Galaxy"));
    QCOMPARE(types->item(0, 1)->text(), QString("Gx,GALXY,QUASR"));
    QCOMPARE(types->item(13, 1)->text(), QString("-,PD,NONEX"));
    // The fifteenth object type is kept for the builds without a row.
    QCOMPARE(w.form.definition().tables.objectTypes[14], std::string(" ,?"));
    QCOMPARE(w.find<QTableWidget>("SizeUnitsGrid")->item(2, 1)->text(), QString("s,\""));
    QCOMPARE(w.find<QTableWidget>("SizeUnitsGrid")->item(0, 1)->text(), QString("d,\u00b0"));
    QCOMPARE(w.find<QTableWidget>("LineOperationsGrid")->rowCount(), 3);
    auto* colours = w.find<QTableWidget>("ColoursGrid");
    QCOMPARE(colours->columnCount(), 1);
    QCOMPARE(colours->rowCount(), 10);
    QCOMPARE(colours->item(9, 0)->text(), QString("Turquoise,T,10"));
    QCOMPARE(w.find<ColourSwatch>("ColourSwatch5")->colour(), 255u);
  }

  void editingAGridCellChangesTheTable() {
    Wizard w;
    w.find<QTableWidget>("ObjectTypesGrid")->item(0, 1)->setText("Gx, GALXY");
    QCOMPARE(w.form.definition().tables.objectTypes[0], std::string("Gx, GALXY"));
    // The degree sign stays the single byte 176.
    w.find<QTableWidget>("SizeUnitsGrid")->item(0, 1)->setText(QString("deg,\u00b0"));
    QCOMPARE(w.form.definition().tables.sizeUnits[0], std::string("deg,\xB0"));
    w.find<QTableWidget>("ColoursGrid")->item(4, 0)->setText("Rouge");
    QCOMPARE(w.form.definition().tables.colourStrings[4], std::string("Rouge"));
    // The name column is not editable.
    QVERIFY(!(w.find<QTableWidget>("ObjectTypesGrid")->item(0, 0)->flags() & Qt::ItemIsEditable));
  }

  void colourDialogStartsOnTheLastConfirmedColour() {
    Wizard w;
    auto* swatch = w.find<ColourSwatch>("ColourSwatch1");
    w.services.colourAnswers.push_back(QColor(10, 20, 30));
    QTest::mouseClick(swatch, Qt::LeftButton);
    QCOMPARE(w.services.colourStarts.size(), std::size_t{1});
    QCOMPARE(w.services.colourStarts[0], QColor(Qt::black));
    // Red in the low byte.
    QCOMPARE(swatch->colour(), 0x001E140Au);
    QCOMPARE(w.form.definition().tables.colours[0], 0x001E140Au);

    // A cancelled dialog changes nothing and is not remembered.
    QTest::mouseClick(w.find<ColourSwatch>("ColourSwatch10"), Qt::RightButton);
    QCOMPARE(w.services.colourStarts[1], QColor(10, 20, 30));
    QCOMPARE(w.form.definition().tables.colours[9], 16776960u);

    w.services.colourAnswers.push_back(QColor(255, 0, 0));
    QTest::mouseClick(w.find<ColourSwatch>("LineColourSwatch"), Qt::LeftButton);
    QCOMPARE(w.services.colourStarts[2], QColor(10, 20, 30));
    QCOMPARE(w.form.definition().settings.linecolor, 255u);
    w.services.colourAnswers.push_back(QColor(0, 0, 255));
    QTest::mouseClick(w.find<ColourSwatch>("ColourSwatch10"), Qt::LeftButton);
    QCOMPARE(w.services.colourStarts[3], QColor(255, 0, 0));
    QCOMPARE(w.form.definition().tables.colours[9], 0x00FF0000u);
  }

  void choosingFilesReplacesTheListAndDetectsTheLineEnd() {
    Wizard w;
    const QString cr = QString::fromStdString(dir_->write("cr.txt", "abc\rdef\r"));
    const QString lf = QString::fromStdString(dir_->write("lf.txt", "abc\ndef\n"));
    w.chooseInputFiles({cr, lf});
    auto* list = w.find<QListWidget>("InputFileList");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), cr);
    QCOMPARE(w.find<RadioGroup>("LineEndGroup")->itemIndex(), 0);
    QCOMPARE(w.form.definition().settings.eol, 0);
    QCOMPARE(w.services.fileRequests.back().request.filters,
             (QStringList{"All files (*)",
                          "Catalog files (*.dat *.txt *.csv *.tsv *.ecsv *.mrt *.fits *.vot *.xml *.gz *.bz2 *.xz *.zst)"}));
    QCOMPARE(w.services.fileRequests.back().request.selectedFilter, 0);
    QVERIFY(w.services.fileRequests.back().request.defaultSuffix.isEmpty());

    w.chooseInputFiles({lf});
    QCOMPARE(list->count(), 1);
    QCOMPARE(w.form.definition().settings.eol, 1);

    // A cancelled dialog leaves the list.
    w.chooseInputFiles({});
    QCOMPARE(list->count(), 1);
    QCOMPARE(w.form.definition().settings.inputfiles, std::vector<std::string>{lf.toStdString()});
  }

  void fileWithoutLineEndWarnsAndKeepsTheSetting() {
    Wizard w;
    const QString one = QString::fromStdString(dir_->write("one.txt", std::string(5000, 'x') + "\n"));
    w.choose("LineEndGroup", 1);
    w.chooseInputFiles({one});
    QCOMPARE(w.services.messages, QStringList{"Warning ! unrecognized end of line format."});
    QCOMPARE(w.form.definition().settings.eol, 1);
    QCOMPARE(w.find<QListWidget>("InputFileList")->count(), 1);
  }

  void errorInAHandlerIsShownAndTheWindowGoesOn() {
    Wizard w;
    // A directory cannot be read for the line-end detection.
    w.chooseInputFiles({QString::fromStdString(dir_->str())});
    QCOMPARE(w.services.messages.size(), 1);
    QVERIFY2(w.services.messages[0].contains(QString::fromStdString(dir_->str())), qPrintable(w.services.messages[0]));
    w.chooseInputFiles({input_});
    QCOMPARE(w.form.definition().settings.eol, 2);
    w.type("ShortNameEdit", "x");
    w.type("LongNameEdit", "y");
    w.click("NextButton");
    QCOMPARE(w.page(), 1);
  }

  // The window leaves the working directory as it finds it; the output
  // directory's dialog opens at a relative name of the program directory.
  void navigationLeavesTheWorkingDirectoryAlone() {
    CurrentDirectory restore;
    Wizard w;
    w.fillPage1(input_);
    QDir::setCurrent(QString::fromStdString(dir_->str()));
    const QString here = QDir::currentPath();
    w.click("NextButton");
    QCOMPARE(QDir::currentPath(), here);
    w.click("PreviousButton");
    QCOMPARE(QDir::currentPath(), here);
    w.services.directoryAnswers.push_back(QString::fromStdString(dir_->str()));
    w.find<QToolButton>("DirectoryBrowseButton")->click();
    QCOMPARE(QDir::currentPath(), here);
    QCOMPARE(w.form.definition().settings.ouputdir, dir_->str());
    w.type("DirectoryText", "out");
    w.find<QToolButton>("DirectoryBrowseButton")->click();
    QCOMPARE(w.services.directoryStarts.last(), w.form.programDirectory() + "/out");
  }

  void aboutBoxNamesTheProgramVersionAndDate() {
    Wizard w;
    QTest::mouseClick(w.find("Logo"), Qt::LeftButton);
    QCOMPARE(w.services.messages.size(), 1);
    QVERIFY(w.services.messages[0].contains("Mirdal"));
    QVERIFY(w.services.messages[0].contains("1.3"));
    QVERIFY(w.services.messages[0].contains("2002/09/22"));
  }

  void logoIsReadByTheGifReader() {
    Wizard w;
    const QPixmap& logo = w.find<LogoImage>("Logo")->pixmap();
    QVERIFY(!logo.isNull());
    QCOMPARE(logo.size(), QSize(114, 408));
  }

  void helpOpensTheManualOfTheLanguageElseTheUkOne() {
    CurrentDirectory restore;
    QDir::setCurrent(QString::fromStdString(dir_->str()));
    dir_->write("doc/UK_mirdal.html", "<html></html>");
    {
      QSettings settings("Halvex", "Orva");
      settings.remove("Config/Language");
    }
    {
      Wizard w;
      QCOMPARE(w.form.helpLanguage(), QString("UK"));
      QDir::setCurrent(QDir::tempPath());
      w.click("HelpButton");
      QCOMPARE(w.services.documents, QStringList{QString::fromStdString(dir_->str() + "/doc/UK_mirdal.html")});
      QCOMPARE(QDir::currentPath(), QDir(QDir::tempPath()).canonicalPath());
    }
    QDir::setCurrent(QString::fromStdString(dir_->str()));
    {
      QSettings settings("Halvex", "Orva");
      settings.setValue("Config/Language", "FR");
    }
    {
      Wizard w;
      QCOMPARE(w.form.helpLanguage(), QString("FR"));
      w.click("HelpButton");
      QCOMPARE(w.services.documents.last(), QString::fromStdString(dir_->str() + "/doc/UK_mirdal.html"));
      dir_->write("doc/FR_mirdal.html", "<html></html>");
      w.click("HelpButton");
      QCOMPARE(w.services.documents.last(), QString::fromStdString(dir_->str() + "/doc/FR_mirdal.html"));
    }
    QSettings("Halvex", "Orva").remove("Config/Language");
  }

  void helpFallsBackToTheInstalledManual() {
    TempDir installed;
    installed.write("UK_mirdal.html", "<html></html>");
    const QString program = QString::fromStdString(dir_->str());
    QCOMPARE(mirdal::helpDocumentPath(program, "FR", {QString::fromStdString(installed.str())}),
             QString::fromStdString(installed.str() + "/UK_mirdal.html"));
    installed.write("FR_mirdal.html", "<html></html>");
    QCOMPARE(mirdal::helpDocumentPath(program, "FR", {QString::fromStdString(installed.str())}),
             QString::fromStdString(installed.str() + "/FR_mirdal.html"));
    // The program directory's own manual comes first.
    dir_->write("doc/UK_mirdal.html", "<html></html>");
    QCOMPARE(mirdal::helpDocumentPath(program, "UK", {QString::fromStdString(installed.str())}),
             program + "/doc/UK_mirdal.html");
    // Nothing anywhere: the UK manual under the program directory, the first
    // place looked in.
    TempDir empty;
    QCOMPARE(mirdal::helpDocumentPath(QString::fromStdString(empty.str()), "DE", {}),
             QString::fromStdString(empty.str() + "/doc/UK_mirdal.html"));
  }

  void installedManualIsLookedForBesideTheProgram() {
    const QStringList dirs = mirdal::installedManualDirectories();
    QVERIFY(!dirs.isEmpty());
    QCOMPARE(dirs.first(), QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/doc/mirdal"));
  }

  void progressBarsScaleSixtyFourBitCounts() {
    mirdal::ProgressWindow p;
    QCOMPARE(p.windowTitle(), QString("Progress"));
    p.setStageMaximum(std::int64_t{10'000'000'000});
    p.setStagePosition(std::int64_t{5'000'000'000});
    QVERIFY(p.stageBar()->maximum() > 0);
    QCOMPARE(p.stageBar()->value(), p.stageBar()->maximum() / 2);
    p.setStagePosition(std::int64_t{10'000'000'000});
    QCOMPARE(p.stageBar()->value(), p.stageBar()->maximum());
    p.setOverallMaximum(4);
    p.setOverallPosition(3);
    QCOMPARE(p.overallBar()->value(), 3);
    QSignalSpy abort(&p, &mirdal::ProgressWindow::abortRequested);
    p.findChild<QToolButton*>("AbortButton")->click();
    QCOMPARE(abort.size(), 1);
    p.show();
    p.close();
    QVERIFY(p.isHidden());
  }

 private:
  std::unique_ptr<TempDir> dir_;
  QString input_;
};

MIRDAL_UI_TEST_MAIN(wizard_navigation_test, WizardNavigationTest);
#include "wizard_navigation_test.moc"
