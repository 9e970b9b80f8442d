// Builds driven through the wizard: the catalog equals mirdal-build's for the
// same project, outlines give one region file and no index, Abort stops a
// build cleanly and the next build succeeds.

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include "support/temp_dir.h"
#include "ui/build_summary_window.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_fixture.h"

using mirdal::DirectoryEdit;
using mirdal::RadioGroup;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;

namespace {

// Fixed-column star lines: ID 1-8, RA h m s 10-20, DEC sign d m s 22-32,
// V 34-38, B-V 40-44, spectral class 46-48, BD number 50-57. Every 97th line
// has the hour 25, an impossible position; no line lies at RA 0, DEC 0, which
// is refused as a blank position.
std::string starLines(int count) {
  static const char* kClasses[] = {"A0V", "B9 ", "F5 ", "G2V", "K0 ", "M3 "};
  std::string text;
  char line[80];
  for (int i = 1; i <= count; ++i) {
    const int hour = i % 97 == 0 ? 25 : (i * 7) % 24;
    std::snprintf(line, sizeof line, "S%07d %02d %02d %05.2f %c%02d %02d %04.1f %5.2f %5.2f %s %+03d%5d\n", i, hour,
                  (i * 13) % 60, (i * 17 % 6000) / 100.0, i % 3 ? '+' : '-', (i * 11) % 90, (i * 23) % 60,
                  (i * 29 % 600) / 10.0, 2 + (i * 37 % 1300) / 100.0, -0.3 + (i * 19 % 200) / 100.0,
                  kClasses[i % 6], (i * 3) % 90 - 45, i * 7 % 10000);
    text += line;
  }
  return text;
}

std::map<std::string, std::string> filesBelow(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file())
      files[std::filesystem::relative(e.path(), root).string()] = TempDir::readFile(e.path().string());
  return files;
}

int openDescriptors() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d)) ++n;
    ::closedir(d);
  }
  return n;
}

// A stars catalog laid out on the wizard's pages, up to page 4.
void defineStars(Wizard& w, const QString& input, const QString& output) {
  w.fillPage1(input, "Syn", "Synthetic stars");
  w.click("NextButton");
  w.click("NextButton");
  for (const char* entry : {"[RA (hours)]", "RA (minutes)", "RA (seconds)", "DEC sign", "[DEC (degrees)]",
                            "DEC (arcmin)", "DEC (arcsec)", "Catalog ID", "[Magnitude (mag)]", "B-V (mag)",
                            "Spectral class", "String 1"})
    w.tick(entry);
  auto& columnsOf = w.form.definition().fieldSlots;
  const std::pair<int, int> columns[] = {{10, 2}, {13, 2}, {16, 5}, {22, 1}, {23, 2}, {26, 2},
                                         {29, 4}, {1, 8},  {34, 5}, {40, 5}};
  for (std::size_t p = 0; p < std::size(columns); ++p)
    columnsOf[p] = {columns[p].first, columns[p].second, 1.0, 0.0};
  columnsOf[12] = {46, 3, 1.0, 0.0};
  columnsOf[18] = {50, 8, 1.0, 0.0};
  w.form.definition().altNames[0] = 1;
  w.form.definition().setLabel(14, "BD");
  w.click("NextButton");
  QCOMPARE(w.page(), 3);
  w.find<DirectoryEdit>("OutputDirectoryEdit")->setText(output);
  w.find<QCheckBox>("AlternateNamesBox")->setChecked(true);
}

}  // namespace

class WizardBuildTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    home_ = QDir::currentPath();
  }
  void init() {
    dir_ = std::make_unique<TempDir>();
    // The build's scratch file goes to the program directory.
    QDir::setCurrent(QString::fromStdString(dir_->str()));
  }
  void cleanup() {
    QDir::setCurrent(home_);
    dir_.reset();
  }

  void wizardBuildEqualsMirdalBuildOfTheSavedProject() {
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(600)));
    const std::string out1 = dir_->str() + "/wizard";
    const std::string out2 = dir_->str() + "/command";
    Wizard w;
    defineStars(w, input, QString::fromStdString(out1));
    QCOMPARE(w.form.definition().settings.eol, 1);
    w.click("BuildButton");
    QCOMPARE(w.services.messages,
             QStringList{"Some records where rejected, see file " + QString::fromStdString(out1) +
                         "/reject.txt for details"});
    QVERIFY(!w.shown("BuildButton"));
    QVERIFY(w.shown("CloseButton"));
    QVERIFY(w.button("CloseButton")->isEnabled());
    QVERIFY(w.progress.isHidden());
    QVERIFY(!QFile::exists(QString::fromStdString(dir_->str() + "/SorTemp.mkw")));

    const QString project = QString::fromStdString(dir_->str() + "/stars.prj");
    w.services.saveFileAnswers.push_back(project);
    w.click("SaveProjectButton");
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(dir_->str()));
    tool.start(QStringLiteral(MIRDAL_BINARY_DIR "/mirdal-build"),
               {"--output", QString::fromStdString(out2), project});
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

    const auto wizard = filesBelow(out1);
    const auto command = filesBelow(out2);
    QCOMPARE(wizard.size(), std::size_t{50 + 3});  // regions, header, index, reject log
    QVERIFY(wizard.count("syn.hdr") && wizard.count("syn.idx") && wizard.count("syn01.dat"));
    QCOMPARE(wizard.at("syn.hdr").size(), std::size_t{1251});
    for (const auto& [name, bytes] : wizard) {
      QVERIFY2(command.count(name), name.c_str());
      QVERIFY2(command.at(name) == bytes, name.c_str());
    }
    QCOMPARE(command.size(), wizard.size());
    // 600 lines, 6 of them refused.
    QCOMPARE(std::count(wizard.at("reject.txt").begin(), wizard.at("reject.txt").end(), '\n'), 6);
  }

  void closeStaysAfterABuildUntilPage4IsEnteredAgain() {
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(50)));
    Wizard w;
    defineStars(w, input, QString::fromStdString(dir_->str() + "/out"));
    w.click("BuildButton");
    QVERIFY(w.shown("CloseButton"));
    w.click("PreviousButton");
    w.click("PreviousButton");
    QVERIFY(w.shown("CloseButton"));
    QVERIFY(!w.shown("BuildButton"));
    w.click("NextButton");
    w.click("NextButton");
    QVERIFY(!w.shown("CloseButton"));
    QVERIFY(w.shown("BuildButton"));
    QVERIFY(w.button("BuildButton")->isEnabled());
    w.click("BuildButton");
    QVERIFY(w.services.messages.isEmpty());  // no refused line, no failure
    QVERIFY(w.shown("CloseButton"));
    // They stay while the settings are the build's, and go once the input
    // changes, whichever way it does.
    QTest::qWait(400);
    QVERIFY(w.shown("SkyPreviewButton"));
    w.form.definition().settings.inputfiles.push_back(input.toStdString());
    QTRY_VERIFY(!w.shown("CloseButton"));
    QVERIFY(!w.shown("SkyPreviewButton"));
    QVERIFY(w.shown("BuildButton"));
  }

  void outlinesIgnoreTheHiddenRegionAndIndexChoices() {
    const QString input = QString::fromStdString(
        dir_->write("lines.txt", "start   10.0000  20.0000 Ring\nvertex  10.5000  20.5000\nend     11.0000  21.0000\n"));
    const std::string out = dir_->str() + "/outlines";
    Wizard w;
    // Chosen while they are shown, then hidden by the outline type.
    w.choose("RegionCountGroup", 2);
    w.find<QCheckBox>("CreateIndexBox")->setChecked(true);
    w.choose("CatalogTypeGroup", 4);
    w.fillPage1(input, "lin", "Outlines");
    w.click("NextButton");
    w.choose("RaFormatGroup", 3);
    w.choose("DecFormatGroup", 1);
    w.click("NextButton");
    w.tick("[RA decimal (degrees)]");
    w.tick("[DEC decimal (degrees)]");
    w.tick("[Line operation]");
    w.tick("Catalog ID (only for Start operation)");
    auto& columnsOf = w.form.definition().fieldSlots;
    columnsOf[0] = {9, 8, 1.0, 0.0};
    columnsOf[1] = {18, 8, 1.0, 0.0};
    columnsOf[2] = {26, 4, 1.0, 0.0};
    columnsOf[3] = {1, 6, 1.0, 0.0};
    w.click("NextButton");
    QVERIFY(!w.shown("RegionCountGroup"));
    QVERIFY(!w.shown("IndexGroup"));
    w.find<DirectoryEdit>("OutputDirectoryEdit")->setText(QString::fromStdString(out));
    w.click("BuildButton");
    QVERIFY2(w.services.messages.isEmpty(), qPrintable(w.services.messages.join('|')));
    const auto files = filesBelow(out);
    QCOMPARE(files.size(), std::size_t{2});
    QVERIFY(files.count("lin.hdr"));
    QVERIFY(files.count("lin.dat"));
    QVERIFY(!files.at("lin.dat").empty());
    // Region count 1 at offset 70 of the header.
    QCOMPARE(files.at("lin.hdr").substr(70, 4), std::string("\x01\x00\x00\x00", 4));
  }

  void abortStopsTheBuildAndTheNextBuildSucceeds() {
    const int lines = 5000;
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(lines)));
    const std::string out = dir_->str() + "/aborted";
    Wizard w;
    defineStars(w, input, QString::fromStdString(out));
    const int descriptors = openDescriptors();

    // Abort is pressed once the conversion runs; meanwhile nothing of the
    // window but the progress window may be used.
    bool pressed = false, barEnabled = true, pagesEnabled = true;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, [&] {
      const QString stage = w.progress.findChild<QLabel*>("StageCaption")->text();
      if (stage.isEmpty() || pressed) return;
      barEnabled = w.find("ButtonBar")->isEnabled();
      pagesEnabled = w.find("PageStack")->isEnabled();
      if (stage.startsWith("Convert catalog file") && w.progress.isVisible()) {
        w.progress.findChild<QToolButton*>("AbortButton")->click();
        pressed = true;
      }
    });
    watcher.start();
    w.click("BuildButton");
    watcher.stop();
    QVERIFY(pressed);
    QVERIFY(!barEnabled);
    QVERIFY(!pagesEnabled);
    QCOMPARE(w.services.messages, QStringList{"Aborted by user"});
    QVERIFY(w.progress.isHidden());
    QVERIFY(w.find("ButtonBar")->isEnabled());
    QVERIFY(w.find("PageStack")->isEnabled());
    QVERIFY(w.shown("BuildButton"));
    QVERIFY(w.button("BuildButton")->isEnabled());
    QVERIFY(!w.shown("CloseButton"));
    QCOMPARE(openDescriptors(), descriptors);
    // Nothing of the stopped build is left.
    QVERIFY(filesBelow(out).empty());

    w.services.messages.clear();
    w.click("BuildButton");
    QCOMPARE(w.services.messages.size(), 1);
    QVERIFY2(w.services.messages[0].startsWith("Some records where rejected"), qPrintable(w.services.messages[0]));
    QVERIFY(w.shown("CloseButton"));
    QCOMPARE(openDescriptors(), descriptors);
    std::int64_t bytes = 0;
    for (const auto& [name, content] : filesBelow(out))
      if (name.ends_with(".dat")) bytes += static_cast<std::int64_t>(content.size());
    const std::string header = TempDir::readFile(out + "/syn.hdr");
    QCOMPARE(header.size(), std::size_t{1251});
    const int recordLength = static_cast<unsigned char>(header[66]) | static_cast<unsigned char>(header[67]) << 8;
    QCOMPARE(bytes, std::int64_t{lines - lines / 97} * recordLength);
  }

  void emptyOutputDirectoryIsRefusedWithFocusOnTheDirectory() {
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(10)));
    Wizard w;
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    defineStars(w, input, "  ");
    w.button("BuildButton")->setFocus();
    w.click("BuildButton");
    QCOMPARE(w.services.messages, QStringList{"Please indicate the directory where the catalog must to be build"});
    QVERIFY(w.find<DirectoryEdit>("OutputDirectoryEdit")->lineEdit()->hasFocus());
    QVERIFY(w.shown("BuildButton"));
    QVERIFY(w.button("BuildButton")->isEnabled());
    QVERIFY(w.find("ButtonBar")->isEnabled());
  }

  // A project loaded on page 4 has passed no page check: Build Catalog runs
  // the checks itself and creates nothing. "~/" is the home directory.
  void buildChecksTheDefinitionAndReadsTildeAsHome() {
    const QByteArray oldHome = qgetenv("HOME");
    const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
    qputenv("HOME", QByteArray::fromStdString(dir_->str() + "/home"));
    Wizard w;
    defineStars(w, QString::fromStdString(dir_->write("stars.txt", starLines(10))), "~/cats");
    w.form.definition().settings.shortname = "../a";
    w.click("BuildButton");
    QCOMPARE(w.services.messages, QStringList{mirdal::kShortNameUnsafe});
    QVERIFY(!QFile::exists(QString::fromStdString(dir_->str() + "/home")));
    w.form.definition().settings.shortname = "syn";
    w.click("BuildButton");
    QVERIFY(QFile::exists(QString::fromStdString(dir_->str() + "/home/cats/syn.hdr")));
  }

  void appendAnsweredNoBuildsNothing() {
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(10)));
    const std::string out = dir_->str() + "/append";
    Wizard w;
    defineStars(w, input, QString::fromStdString(out));
    w.find<QCheckBox>("AppendBox")->setChecked(true);
    w.services.yesNoAnswers.push_back(false);
    w.click("BuildButton");
    QCOMPARE(w.services.questions.size(), 1);
    QVERIFY(w.services.questions[0].startsWith("WARNING !\r\nYou have choose to append"));
    QVERIFY(w.services.messages.isEmpty());
    QVERIFY(!QFile::exists(QString::fromStdString(out)));
    QVERIFY(w.find("ButtonBar")->isEnabled());
    QVERIFY(w.shown("BuildButton"));
  }

  // After a build: its messages with the progress window already hidden, then
  // the summary; "Close" until a project load or any change of a setting
  // brings "Build Catalog" back.
  void summaryAndButtonBarAfterABuild_data() {
    QTest::addColumn<QString>("then");
    QTest::addColumn<bool>("buildAgain");
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("load project") << "load" << true;
    QTest::newRow("long name typed") << "type" << true;
    QTest::newRow("field ticked") << "tick" << true;
    QTest::newRow("region files chosen") << "regions" << true;
  }
  void summaryAndButtonBarAfterABuild() {
    QFETCH(QString, then);
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(200)));
    const QString out = QString::fromStdString(dir_->str() + "/out");
    Wizard w;
    defineStars(w, input, out);
    const QString project = QString::fromStdString(dir_->str() + "/p.prj");
    w.services.saveFileAnswers.push_back(project);
    w.click("SaveProjectButton");
    bool progressShownWithMessage = true;
    w.services.onMessage = [&](const QString&) { progressShownWithMessage = w.progress.isVisible(); };
    w.click("BuildButton");
    QCOMPARE(w.services.messages.size(), 1);
    QVERIFY(!progressShownWithMessage);
    mirdal::BuildSummary* summary = w.form.buildSummary();
    QVERIFY(summary && summary->isVisible());
    // The magnitudes of the stars run past the project's maximum magnitude.
    QVERIFY(summary->text().contains("Fainter stars: 40 records are fainter than the maximum magnitude "));
    QCOMPARE(summary->text(), "Records written: 198\nIndex names: 396\nLines rejected: 2 of 200 lines read\n"
                              "Reasons: position out of range: 2 lines, the first at \"" + input + "\" line 97\n"
                              "Fainter stars: " + summary->text().section("Fainter stars: ", 1).section('\n', 0, 0) +
                              "\nRegion files: 50\nTime: " + summary->text().section("Time: ", 1).section('\n', 0, 0) +
                              "\nOutput directory: " + out + "\n");
    summary->findChild<QPushButton*>("OpenRejectsButton")->click();
    summary->findChild<QPushButton*>("OpenFolderButton")->click();
    QCOMPARE(w.services.documents, (QStringList{out + "/reject.txt", out}));
    summary->findChild<QPushButton*>("SummarySkyPreviewButton")->click();
    QVERIFY(w.form.skyPreviewWindow());

    if (then == "load") {
      w.services.openFileAnswers.push_back(project);
      w.click("LoadProjectButton");
    } else if (then == "type") {
      w.type("LongNameEdit", "Other stars");
    } else if (then == "tick") {
      w.tick("B-V (mag)");
      w.find<QListWidget>("FieldList")->item(0)->setCheckState(Qt::Unchecked);
    } else if (then == "regions") {
      w.choose("RegionCountGroup", 1);
    }
    QFETCH(bool, buildAgain);
    QCOMPARE(w.shown("BuildButton"), buildAgain);
    QVERIFY(!buildAgain || w.button("BuildButton")->isEnabled());
    QCOMPARE(w.shown("CloseButton"), !buildAgain);
    QCOMPARE(w.shown("SkyPreviewButton"), !buildAgain);
  }

  // When the desktop opens nothing (no launcher), F1 and the summary's
  // buttons say so in a message box naming what and where.
  void failedOpensAreSaid_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("what");
    QTest::newRow("F1") << "" << "the manual";
    QTest::newRow("output folder") << "OpenFolderButton" << "the output folder";
    QTest::newRow("reject.txt") << "OpenRejectsButton" << "reject.txt";
  }
  void failedOpensAreSaid() {
    QFETCH(QString, button);
    QFETCH(QString, what);
    Wizard w;
    w.services.documentsOpen = false;
    mirdal::BuildResult result;
    result.rejectLogPath = dir_->str() + "/out/reject.txt";
    auto* summary = new mirdal::BuildSummary(result, QString::fromStdString(dir_->str() + "/out"), w.services, &w.form);
    if (button.isEmpty()) {
      w.form.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&w.form));
      QTest::keyClick(&w.form, Qt::Key_F1);
    } else {
      summary->findChild<QPushButton*>(button)->click();
    }
    QCOMPARE(w.services.documents.size(), 1);
    QCOMPARE(w.services.messages.size(), 1);
    QVERIFY2(w.services.messages[0].startsWith("Could not open " + what + ":\n" + w.services.documents[0] + "\n"),
             qPrintable(w.services.messages[0]));
  }

  void closingTheWindowDuringABuildAbortsItFirst() {
    const QString input = QString::fromStdString(dir_->write("stars.txt", starLines(3000)));
    Wizard w;
    defineStars(w, input, QString::fromStdString(dir_->str() + "/closed"));
    w.services.saveChangesAnswers.push_back(mirdal::SaveChoice::Discard);  // the settings were never saved
    bool closeAsked = false;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, [&] {
      if (closeAsked || !w.progress.findChild<QLabel*>("StageCaption")->text().startsWith("Convert catalog file"))
        return;
      closeAsked = true;
      QVERIFY(!w.form.close());  // refused while the build runs
    });
    watcher.start();
    w.click("BuildButton");
    watcher.stop();
    QVERIFY(closeAsked);
    QCOMPARE(w.services.messages, QStringList{"Aborted by user"});
    QVERIFY(!w.form.isVisible());
  }

 private:
  QString home_;
  std::unique_ptr<TempDir> dir_;
};

MIRDAL_UI_TEST_MAIN(wizard_build_test, WizardBuildTest);
#include "wizard_build_test.moc"
