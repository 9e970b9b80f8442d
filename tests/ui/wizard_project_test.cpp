// "Save Project" and "Load project" through the wizard's buttons.

#include <memory>

#include <sys/stat.h>

#include <QDir>
#include <QMenu>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

#include "catalog/project_file.h"
#include "support/temp_dir.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_fixture.h"

using mirdal::CatalogDefinition;
using mirdal::ColourSwatch;
using mirdal::DirectoryEdit;
using mirdal::FloatEdit;
using mirdal::RadioGroup;
using mirdal::SaveChoice;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;

class WizardProjectTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    // What earlier tests remembered is forgotten (the settings directory is the test's own).
    QSettings("Mirdal", "mirdal").clear();
    dir_ = std::make_unique<TempDir>();
    input_ = QString::fromStdString(dir_->write("ngc.txt", "NGC 0001 00 07.3 +27 43\nNGC 0002 00 07.3 +27 41\n"));
    project_ = QString::fromStdString(dir_->str() + "/ngc.prj");
  }
  void cleanup() { dir_.reset(); }

  void saveThenLoadRestoresEveryControl() {
    Wizard a;
    a.choose("CatalogTypeGroup", 3);
    a.fillPage1(input_, "NGC", "New General Catalogue");
    a.choose("LineEndGroup", 0);
    a.choose("RaFormatGroup", 3);
    a.choose("DecFormatGroup", 1);
    a.type("EquinoxEdit", "1950");
    a.type("EpochEdit", "1990.5");
    a.type("MagnitudeLimitEdit", "15.5");
    a.find<QSpinBox>("NebulaSizeEdit")->setValue(30);
    a.find<QComboBox>("NebulaSizeUnitBox")->setCurrentIndex(2);
    a.find<QCheckBox>("LogarithmicSizeBox")->setChecked(true);
    a.find<QComboBox>("NebulaTypeBox")->setCurrentIndex(4);
    a.choose("DrawingTypeGroup", 2);
    a.find<QCheckBox>("ClosedContourBox")->setChecked(false);
    a.find<QSpinBox>("LineWidthEdit")->setValue(7);
    a.services.colourAnswers.push_back(QColor(1, 2, 3));
    QTest::mouseClick(a.find("LineColourSwatch"), Qt::LeftButton);
    a.services.colourAnswers.push_back(QColor(4, 5, 6));
    QTest::mouseClick(a.find("ColourSwatch3"), Qt::LeftButton);
    a.choose("RegionCountGroup", 2);
    a.find<QCheckBox>("CreateIndexBox")->setChecked(false);
    a.find<QCheckBox>("AlternateNamesBox")->setChecked(true);
    a.find<QCheckBox>("PrefixAlternateNamesBox")->setChecked(false);
    a.find<DirectoryEdit>("OutputDirectoryEdit")->setText(QString::fromStdString(dir_->str() + "/out"));
    a.find<QCheckBox>("AppendBox")->setChecked(true);
    a.find<QTableWidget>("ObjectTypesGrid")->item(2, 1)->setText("OC,OPNCL");
    a.find<QTableWidget>("SizeUnitsGrid")->item(1, 1)->setText("m,',min");
    a.find<QTableWidget>("LineOperationsGrid")->item(2, 1)->setText("vertex,2");
    a.tickRequiredFields();
    a.tick("Catalog ID");
    a.tick("String 2");
    CatalogDefinition& def = a.form.definition();
    def.fieldSlots[2] = {1, 8, 1.0, 0.0};
    def.fieldSlots[7] = {34, 5, 0.5, -1.25};
    def.altNames[1] = 1;
    def.setLabel(3, "Name");

    a.services.saveFileAnswers.push_back(project_);
    a.click("SaveProjectButton");
    QVERIFY2(a.services.messages.isEmpty(), qPrintable(a.services.messages.join('|')));
    QVERIFY(QFile::exists(project_));
    const auto& save = a.services.fileRequests.back();
    QCOMPARE(save.kind, QString("saveFile"));
    QCOMPARE(save.request.filters, (QStringList{"All files (*)", "Project files (*.prj)"}));
    QCOMPARE(save.request.selectedFilter, 1);
    QCOMPARE(save.request.defaultSuffix, QString("prj"));
    QVERIFY(save.request.fileName.isEmpty());

    Wizard b;
    b.services.openFileAnswers.push_back(project_);
    b.click("LoadProjectButton");
    QVERIFY2(b.services.messages.isEmpty(), qPrintable(b.services.messages.join('|')));
    const auto& load = b.services.fileRequests.back();
    QCOMPARE(load.kind, QString("openFile"));
    QCOMPARE(load.request.selectedFilter, 1);
    QCOMPARE(load.request.defaultSuffix, QString("prj"));
    QVERIFY(load.request.fileName.isEmpty());

    // The controls show the project...
    QCOMPARE(b.find<RadioGroup>("CatalogTypeGroup")->itemIndex(), 3);
    QCOMPARE(b.find<QLineEdit>("ShortNameEdit")->text(), QString("NGC"));
    QCOMPARE(b.find<QLineEdit>("LongNameEdit")->text(), QString("New General Catalogue"));
    QCOMPARE(b.find<QListWidget>("InputFileList")->count(), 1);
    QCOMPARE(b.find<QListWidget>("InputFileList")->item(0)->text(), input_);
    QCOMPARE(b.find<RadioGroup>("LineEndGroup")->itemIndex(), 0);
    QCOMPARE(b.find<RadioGroup>("RaFormatGroup")->itemIndex(), 3);
    QCOMPARE(b.find<RadioGroup>("DecFormatGroup")->itemIndex(), 1);
    QCOMPARE(b.find<FloatEdit>("EquinoxEdit")->text(), QString("1950"));
    QCOMPARE(b.find<FloatEdit>("EpochEdit")->text(), QString("1990.5"));
    QCOMPARE(b.find<FloatEdit>("MagnitudeLimitEdit")->text(), QString("15.5"));
    QCOMPARE(b.find<QSpinBox>("NebulaSizeEdit")->value(), 30);
    QCOMPARE(b.find<QComboBox>("NebulaSizeUnitBox")->currentText(), QString("Second"));
    QCOMPARE(b.form.unitFactor(), 3600);
    QVERIFY(b.find<QCheckBox>("LogarithmicSizeBox")->isChecked());
    QCOMPARE(b.find<QComboBox>("NebulaTypeBox")->currentText(), QString("Planetary Nebula"));
    QCOMPARE(b.find<RadioGroup>("DrawingTypeGroup")->itemIndex(), 2);
    QVERIFY(!b.find<QCheckBox>("ClosedContourBox")->isChecked());
    QCOMPARE(b.find<QSpinBox>("LineWidthEdit")->value(), 7);
    QCOMPARE(b.find<ColourSwatch>("LineColourSwatch")->colour(), 0x030201u);
    QCOMPARE(b.find<ColourSwatch>("ColourSwatch3")->colour(), 0x060504u);
    QCOMPARE(b.find<RadioGroup>("RegionCountGroup")->itemIndex(), 2);
    QVERIFY(!b.find<QCheckBox>("CreateIndexBox")->isChecked());
    QVERIFY(b.find<QCheckBox>("AlternateNamesBox")->isChecked());
    QVERIFY(!b.find<QCheckBox>("PrefixAlternateNamesBox")->isChecked());
    QCOMPARE(b.find<DirectoryEdit>("OutputDirectoryEdit")->text(), QString::fromStdString(dir_->str() + "/out"));
    QVERIFY(b.find<QCheckBox>("AppendBox")->isChecked());
    QCOMPARE(b.find<QTableWidget>("ObjectTypesGrid")->item(2, 1)->text(), QString("OC,OPNCL"));
    QCOMPARE(b.find<QTableWidget>("SizeUnitsGrid")->item(1, 1)->text(), QString("m,',min"));
    QCOMPARE(b.find<QTableWidget>("LineOperationsGrid")->item(2, 1)->text(), QString("vertex,2"));
    auto* list = b.find<QListWidget>("FieldList");
    QCOMPARE(list->item(0)->text(), QString("[RA decimal (degrees)]"));
    for (int i = 0; i < list->count(); ++i)
      QCOMPARE(list->item(i)->checkState() == Qt::Checked, def.ticked(i));

    // ... and the definition is the saved one, except the colour strings,
    // which project files do not carry.
    const CatalogDefinition& loaded = b.form.definition();
    QVERIFY(loaded.settings == def.settings);
    QVERIFY(loaded.fieldSlots == def.fieldSlots);
    QVERIFY(loaded.altNames == def.altNames);
    for (int k = 1; k <= mirdal::kLabelCount; ++k) QCOMPARE(loaded.label(k), def.label(k));
    QVERIFY(loaded.tables.objectTypes == def.tables.objectTypes);
    QVERIFY(loaded.tables.sizeUnits == def.tables.sizeUnits);
    QVERIFY(loaded.tables.lineOperations == def.tables.lineOperations);
    QVERIFY(loaded.tables.colours == def.tables.colours);

    // Loading changes no page and no button.
    QCOMPARE(b.page(), 0);
    QVERIFY(!b.button("PreviousButton")->isEnabled());
    QVERIFY(!b.button("BuildButton")->isEnabled());
  }

  // "Save Project" (Ctrl+S, and Save when closing) writes the project's own
  // file once it was loaded or saved whole, keeping the old one as .old;
  // "Save As..." (its context menu, Ctrl+Shift+S) asks, offering that name.
  void saveWritesTheProjectFileAndSaveAsAsks_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("asks");
    QTest::newRow("save, new project") << "" << "button" << true;
    QTest::newRow("save, saved") << "saved" << "button" << false;
    QTest::newRow("Ctrl+S, loaded") << "loaded" << "Ctrl+S" << false;
    QTest::newRow("closing, saved") << "saved" << "close" << false;
    QTest::newRow("save after a failed load") << "failed load" << "button" << true;
    QTest::newRow("save as, saved") << "saved" << "menu" << true;
    QTest::newRow("Ctrl+Shift+S, loaded") << "loaded" << "Ctrl+Shift+S" << true;
  }
  void saveWritesTheProjectFileAndSaveAsAsks() {
    QFETCH(QString, before);
    QFETCH(QString, command);
    QFETCH(bool, asks);
    const std::string path = project_.toStdString();
    dir_->write("ngc.prj", "[Page1]\r\ntype=0\r\nshortname=one\r\n");
    Wizard w;
    w.services.saveFileAnswers.push_back(project_);
    if (before == "saved") {
      w.type("ShortNameEdit", "one");
      w.form.onSaveAs();
    } else if (!before.isEmpty()) {
      w.form.openProject(project_);
    }
    if (before == "failed load") w.form.openProject(project_ + ".missing");
    const std::size_t dialogs = w.services.fileRequests.size();
    w.type("ShortNameEdit", "two");
    w.services.saveFileAnswers.push_back(project_);
    if (command.startsWith("Ctrl")) {
      w.form.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&w.form));
      QTest::keySequence(&w.form, QKeySequence(command));
    } else if (command == "menu") {
      w.form.findChild<QAction*>("SaveAsAction")->trigger();
    } else if (command == "close") {
      w.services.saveChangesAnswers.push_back(SaveChoice::Save);
      QVERIFY(w.form.close());
    } else {
      w.click("SaveProjectButton");
    }
    QCOMPARE(w.services.fileRequests.size() - dialogs, std::size_t{asks});
    if (asks && !before.isEmpty()) QCOMPARE(w.services.fileRequests.back().request.fileName, project_);
    QVERIFY(TempDir::readFile(path).find("shortname=two\r\n") != std::string::npos);
    QVERIFY(TempDir::readFile(path + ".old").find("shortname=one\r\n") != std::string::npos);
    QVERIFY(!w.form.hasUnsavedChanges());
  }

  // Loading another project (the button, Ctrl+O's, or a recent one) asks
  // about unsaved settings as closing does: Cancel keeps them and loads
  // nothing, Discard loads, Save writes them into their project and loads.
  void loadingOverUnsavedChangesAsks_data() {
    QTest::addColumn<bool>("recent");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("shortName");  // after the load
    QTest::addColumn<QString>("savedName");  // in the first project's file
    QTest::newRow("cancel") << false << int(SaveChoice::Cancel) << "chg" << "one";
    QTest::newRow("discard") << false << int(SaveChoice::Discard) << "two" << "one";
    QTest::newRow("save") << false << int(SaveChoice::Save) << "two" << "chg";
    QTest::newRow("recent, cancel") << true << int(SaveChoice::Cancel) << "chg" << "one";
    QTest::newRow("recent, save") << true << int(SaveChoice::Save) << "two" << "chg";
  }
  void loadingOverUnsavedChangesAsks() {
    QFETCH(bool, recent);
    QFETCH(int, answer);
    QFETCH(QString, shortName);
    QFETCH(QString, savedName);
    dir_->write("ngc.prj", "[Page1]\r\ntype=0\r\nshortname=one\r\n");
    const QString other = QString::fromStdString(dir_->write("other.prj", "[Page1]\r\ntype=0\r\nshortname=two\r\n"));
    Wizard w;
    w.form.openProject(other);
    w.form.openProject(project_);  // the recent projects: ngc.prj, other.prj
    w.type("ShortNameEdit", "chg");
    w.services.saveChangesAnswers.push_back(SaveChoice(answer));
    w.services.openFileAnswers.push_back(other);
    if (recent)
      w.form.findChild<QMenu*>("RecentProjectsMenu")->actions().at(1)->trigger();
    else
      w.click("LoadProjectButton");
    QCOMPARE(w.services.questions.size(), 1);
    // Cancel asks for no file to load.
    QCOMPARE(w.services.fileRequests.size(), std::size_t{!recent && answer != int(SaveChoice::Cancel)});
    QCOMPARE(QString::fromStdString(w.form.definition().settings.shortname), shortName);
    QVERIFY(TempDir::readFile(project_.toStdString()).find("shortname=" + savedName.toStdString() + "\r\n") !=
            std::string::npos);
  }

  void loadingAnotherTypeRebuildsTheListBeforeTheTicks() {
    Wizard a;
    a.choose("CatalogTypeGroup", 2);
    a.tick("[Separation (arcsec)]");
    a.services.saveFileAnswers.push_back(project_);
    a.click("SaveProjectButton");

    Wizard b;
    b.tick("[Magnitude (mag)]");
    b.services.saveChangesAnswers.push_back(SaveChoice::Discard);
    b.services.openFileAnswers.push_back(project_);
    b.click("LoadProjectButton");
    QCOMPARE(b.find<RadioGroup>("CatalogTypeGroup")->itemIndex(), 2);
    auto* list = b.find<QListWidget>("FieldList");
    int ticked = 0;
    for (int i = 0; i < list->count(); ++i) {
      if (list->item(i)->checkState() != Qt::Checked) continue;
      ++ticked;
      QCOMPARE(list->item(i)->text(), QString("[Separation (arcsec)]"));
    }
    QCOMPARE(ticked, 1);
  }

  void loadingNebUnitFollowsIntoTheUnitFactor() {
    dir_->write("unit.prj", "[Page1]\r\ntype=0\r\n[Page2]\r\nnebunit=0\r\n");
    Wizard w;
    w.services.openFileAnswers.push_back(QString::fromStdString(dir_->str() + "/unit.prj"));
    w.click("LoadProjectButton");
    QCOMPARE(w.find<QComboBox>("NebulaSizeUnitBox")->currentText(), QString("Degree"));
    QCOMPARE(w.form.unitFactor(), 1);
  }

  void cancelledDialogsChangeNothing() {
    Wizard w;
    w.type("ShortNameEdit", "abc");
    w.click("SaveProjectButton");
    QVERIFY(!QFile::exists(project_));
    w.click("LoadProjectButton");
    QCOMPARE(w.find<QLineEdit>("ShortNameEdit")->text(), QString("abc"));
    QVERIFY(w.services.messages.isEmpty());
  }

  void failuresAreShownAndTheWindowGoesOn() {
    Wizard w;
    const QString nowhere = QString::fromStdString(dir_->str() + "/missing/dir/p.prj");
    w.services.saveFileAnswers.push_back(nowhere);
    w.click("SaveProjectButton");
    QCOMPARE(w.services.messages, QStringList{"Unable to write to " + nowhere + ": Cannot create file \"" + nowhere +
                                              ".saving\": No such file or directory"});

    w.services.openFileAnswers.push_back(nowhere);
    w.click("LoadProjectButton");
    QCOMPARE(w.services.messages.size(), 2);
    QVERIFY2(w.services.messages[1].contains(nowhere), qPrintable(w.services.messages[1]));

    // A FIFO is no project: refused at once, never waited on.
    const QString fifo = QString::fromStdString(dir_->str() + "/fifo.prj");
    QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    w.form.openProject(fifo);
    QCOMPARE(w.services.messages.size(), 3);
    QVERIFY2(w.services.messages[2].endsWith("is not a file: it is a FIFO (named pipe)"),
             qPrintable(w.services.messages[2]));
    w.type("ShortNameEdit", "ok");
    QCOMPARE(w.form.definition().settings.shortname, std::string("ok"));
  }

  void projectCommandsLeaveTheWorkingDirectoryAlone() {
    const QString saved = QDir::currentPath();
    Wizard w;
    QDir::setCurrent(QString::fromStdString(dir_->str()));
    const QString here = QDir::currentPath();
    w.services.saveFileAnswers.push_back(project_);
    w.click("SaveProjectButton");
    QCOMPARE(QDir::currentPath(), here);
    w.services.openFileAnswers.push_back(project_);
    w.click("LoadProjectButton");
    QCOMPARE(QDir::currentPath(), here);
    QDir::setCurrent(saved);
  }

  // Dialogs open where the last one of their kind was confirmed, "Import
  // ReadMe..." beside the catalog; every project loaded or saved is in the
  // recent projects of "Load project".
  void placesAndRecentProjectsAreRemembered() {
    {
      Wizard w;
      QVERIFY(w.form.findChild<QMenu*>("RecentProjectsMenu")->isEmpty());
      w.fillPage1(input_, "NGC", "New General Catalogue");
      w.services.saveFileAnswers.push_back(project_);
      w.click("SaveProjectButton");
      w.click("NextButton");
      w.click("NextButton");
      w.click("ImportReadMeButton");
      QCOMPARE(w.services.fileRequests.back().request.directory, QString::fromStdString(dir_->str()));
    }
    Wizard w;
    w.chooseInputFiles({});
    QCOMPARE(w.services.fileRequests.back().request.directory, QString::fromStdString(dir_->str()));
    w.click("LoadProjectButton");
    QCOMPARE(w.services.fileRequests.back().request.directory, QString::fromStdString(dir_->str()));
    QCOMPARE(w.services.fileRequests.back().request.history, QStringList{QString::fromStdString(dir_->str())});
    const QList<QAction*> recent = w.form.findChild<QMenu*>("RecentProjectsMenu")->actions();
    QCOMPARE(recent.size(), 1);
    QCOMPARE(recent[0]->data().toString(), project_);
    recent[0]->trigger();
    QCOMPARE(w.form.definition().settings.shortname, std::string("NGC"));
    QCOMPARE(w.form.projectFile(), project_);
  }

  // Closing asks about unsaved settings: Cancel keeps the window, Save writes
  // the project first, Discard closes; saved settings close without a question.
  void closingWithUnsavedChangesAsks_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("saved");
    QTest::newRow("unchanged") << false << int(SaveChoice::Cancel) << false << true << false;
    QTest::newRow("cancel") << true << int(SaveChoice::Cancel) << true << false << false;
    QTest::newRow("discard") << true << int(SaveChoice::Discard) << true << true << false;
    QTest::newRow("save") << true << int(SaveChoice::Save) << true << true << true;
  }
  void closingWithUnsavedChangesAsks() {
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QFETCH(bool, saved);
    Wizard w;
    if (edit) w.type("LongNameEdit", "Changed");
    w.services.saveChangesAnswers.push_back(SaveChoice(answer));
    w.services.saveFileAnswers.push_back(project_);
    QCOMPARE(w.form.close(), closed);
    QCOMPARE(w.services.questions.size(), asked ? 1 : 0);
    QCOMPARE(QFile::exists(project_), saved);
  }

  // A relative input name that the program directory lacks is found beside
  // the project (here loaded as the command line loads it); a missing one
  // is still "File not found".
  void relativeInputsAreFoundBesideTheProject() {
    const QString saved = QDir::currentPath();
    const auto back = qScopeGuard([&] { QDir::setCurrent(saved); });
    TempDir elsewhere;
    QDir::setCurrent(QString::fromStdString(elsewhere.str()));
    saveProjectReadingNgcTxt();
    Wizard w;
    w.form.openProject(project_);
    w.click("NextButton");
    QVERIFY2(w.services.messages.isEmpty(), qPrintable(w.services.messages.join('|')));
    QCOMPARE(w.page(), 1);
    QFile::remove(input_);
    w.click("PreviousButton");
    w.click("NextButton");
    QCOMPARE(w.services.messages, QStringList{"File not found"});
  }

  // A relative input name is the project's whatever the working directory
  // has become since the window opened: here one whose "ngc.txt" is a
  // directory.
  void relativeInputsResolveWhateverTheWorkingDirectory() {
    const QString saved = QDir::currentPath();
    const auto back = qScopeGuard([&] { QDir::setCurrent(saved); });
    TempDir started, elsewhere;
    QDir::setCurrent(QString::fromStdString(started.str()));
    saveProjectReadingNgcTxt();
    Wizard w;
    w.form.openProject(project_);
    QVERIFY(QDir(QString::fromStdString(elsewhere.str())).mkdir("ngc.txt"));
    QDir::setCurrent(QString::fromStdString(elsewhere.str()));
    QCOMPARE(w.form.inputNameAsBuilt("ngc.txt"), input_.toStdString());
    w.click("NextButton");
    QVERIFY2(w.services.messages.isEmpty(), qPrintable(w.services.messages.join('|')));
    QCOMPARE(w.page(), 1);
  }

  // A double-click anywhere in page 1's file list, also below its rows,
  // opens the file chooser; F1 opens the manual and Ctrl+O "Load project".
  void doubleClickAndKeys() {
    Wizard w;
    auto* list = w.find<QListWidget>("InputFileList");
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, list->viewport()->height() - 5));
    QCOMPARE(w.services.fileRequests.size(), std::size_t{1});
    QCOMPARE(w.services.fileRequests.back().kind, QString("openFiles"));
    w.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    QTest::keyClick(&w.form, Qt::Key_F1);
    QCOMPARE(w.services.documents.size(), 1);
    QTest::keyClick(&w.form, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.services.fileRequests.back().kind, QString("openFile"));
    // Every setting says what it does.
    for (const char* page : {"CatalogPage", "OptionsPage", "OutputPage"})
      for (QWidget* c : w.find(page)->findChildren<QWidget*>())
        if (qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c) || qobject_cast<QAbstractSpinBox*>(c) ||
            qobject_cast<QCheckBox*>(c) || qobject_cast<RadioGroup*>(c) || qobject_cast<QListWidget*>(c))
          QVERIFY2(!c->toolTip().isEmpty() || !c->parentWidget()->toolTip().isEmpty(),
                   qPrintable(c->objectName()));
  }

 private:
  // A project whose one input is the relative name "ngc.txt".
  void saveProjectReadingNgcTxt() {
    CatalogDefinition def;
    def.settings.inputfiles = {"ngc.txt"};
    def.settings.shortname = "NGC";
    def.settings.longname = "NGC";
    mirdal::saveProject(project_.toStdString(), def, mirdal::FileSystem::real());
  }

  std::unique_ptr<TempDir> dir_;
  QString input_;
  QString project_;
};

MIRDAL_UI_TEST_MAIN(wizard_project_test, WizardProjectTest);
#include "wizard_project_test.moc"
