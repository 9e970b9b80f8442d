// "Sky preview" beside "Close" after a build: the button's life, and its
// window with the picture, the hover line and the per-region table.
//
// With MIRDAL_SCREENSHOT_DIR set, page 3 (magnitude field current) and the
// sky preview are saved there at the wizard's default size, to be looked at.

#include <memory>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include "support/temp_dir.h"
#include "ui/field_layout_editor.h"
#include "ui/sky_preview_window.h"
#include "ui/ui_test_main.h"
#include "ui/wizard_fixture.h"

using mirdal::DirectoryEdit;
using mirdal::SkyPalette;
using mirdal::SkyPreviewWindow;
using mirdal::testing::TempDir;
using mirdal::testing::Wizard;

namespace {

void screenshot(QWidget& w, const char* name) {
  const QString dir = qEnvironmentVariable("MIRDAL_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  QTest::qWait(50);  // layouts settle over several passes
  w.grab().save(QDir(dir).filePath(QString::fromLatin1(name)), "PNG");
}

}  // namespace

class SkyPreviewWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    home_ = QDir::currentPath();
  }
  void init() {
    dir_ = std::make_unique<TempDir>();
    // The star example, with its relative input path, in a directory of its own.
    for (const char* name : {"stars.prj", "stars.txt"})
      QVERIFY(QFile::copy(QStringLiteral(MIRDAL_SOURCE_DIR "/examples/stars/") + name,
                          QString::fromStdString(dir_->str() + "/") + name));
    QDir::setCurrent(QString::fromStdString(dir_->str()));
  }
  void cleanup() {
    QDir::setCurrent(home_);
    dir_.reset();
  }

  void buttonBesideCloseAfterABuildOpensThePictureOfTheCatalog() {
    Wizard w;
    w.form.resize(499, 473);
    w.services.openFileAnswers.push_back(QString::fromStdString(dir_->str() + "/stars.prj"));
    w.click("LoadProjectButton");
    QVERIFY(!w.shown("SkyPreviewButton"));
    w.click("NextButton");
    w.click("NextButton");
    QCOMPARE(w.page(), 2);
    QListWidget* list = w.find<QListWidget>("FieldList");
    list->setCurrentRow(8);  // [Magnitude (mag)]
    w.form.findChild<mirdal::FieldLayoutEditor*>()->onFieldListKeyUp();
    screenshot(w.form, "page3-preview.png");
    if (qEnvironmentVariableIsSet("MIRDAL_SCREENSHOT_DIR")) {
      // The longest preview: a column past the end of the 200-character line.
      mirdal::FieldSlot& slot = w.form.definition().fieldSlots[10];
      const mirdal::FieldSlot kept = slot;
      slot = {250, 6, 1.0, 0.0};
      list->setCurrentRow(10);
      w.form.findChild<mirdal::FieldLayoutEditor*>()->onFieldListKeyUp();
      screenshot(w.form, "page3-past-end.png");
      slot = kept;
    }
    w.click("NextButton");
    w.find<DirectoryEdit>("OutputDirectoryEdit")->setText(QString::fromStdString(dir_->str() + "/out"));
    w.click("BuildButton");
    QCOMPARE(w.services.messages.size(), 1);  // the reject log: three lines are off the sky
    QVERIFY(w.shown("CloseButton"));
    QVERIFY(w.shown("SkyPreviewButton"));
    const QRect sky = w.button("SkyPreviewButton")->geometry();
    const QRect close = w.button("CloseButton")->geometry();
    QCOMPARE(sky.top(), close.top());
    QVERIFY(sky.right() < close.left() && close.left() - sky.right() < 10);
    QVERIFY(w.button("NextButton")->geometry().right() < sky.left());
    screenshot(w.form, "after-build.png");

    w.click("SkyPreviewButton");
    SkyPreviewWindow* window = w.form.skyPreviewWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->preview().scheme(), 50);
    QCOMPARE(window->preview().records(), std::int64_t{297});
    QCOMPARE(window->preview().misplaced(), std::int64_t{0});
    QVERIFY(!window->picture().isNull());

    auto* table = window->findChild<QTableWidget*>("RegionCounts");
    QCOMPARE(table->rowCount(), 50);
    qlonglong total = 0;
    for (int r = 0; r < table->rowCount(); ++r) total += table->item(r, 3)->data(Qt::DisplayRole).toLongLong();
    QCOMPARE(total, qlonglong{297});
    QVERIFY(window->findChild<QLabel*>("SkySummary")->text().contains("297 records in 50 regions"));

    // The first line of the example, 20h 01m 06.33s -04 59 12.7, lights its
    // pixel; pointing there names a region holding records.
    const auto [x, y] = window->preview().pixelOf(300.276375, -4.986861);
    const QColor lit = window->picture().pixelColor(x, y);
    QVERIFY(lit.red() > SkyPalette::kSky.r + 60 && lit.green() > SkyPalette::kSky.g + 60);
    const QString hover = window->describePixel(x, y);
    QVERIFY2(hover.startsWith("Region ") && hover.contains("RA 20.0"), qPrintable(hover));
    QVERIFY(!hover.contains(": 0 records"));
    QVERIFY(window->describePixel(-1, -1).isEmpty());  // outside the picture

    // At the wizard's default size the picture is drawn again narrower, not
    // shrunk.
    window->resize(499, 473);
    QTRY_VERIFY(window->skyWidth() < 720);
    auto* picture = window->findChild<QWidget*>("SkyPicture");
    QVERIFY(window->picture().width() <= picture->width());
    QCOMPARE(window->preview().records(), std::int64_t{297});
    screenshot(*window, "sky-preview.png");
    window->findChild<QTabWidget*>("SkyTabs")->setCurrentIndex(1);
    screenshot(*window, "sky-preview-regions.png");

    // Back on page 3 the button stays; entering page 4 puts "Build Catalog" back.
    w.click("PreviousButton");
    QVERIFY(w.shown("SkyPreviewButton"));
    w.click("NextButton");
    QVERIFY(!w.shown("SkyPreviewButton"));
    QVERIFY(!w.shown("CloseButton"));
    QVERIFY(w.shown("BuildButton"));
  }

  void catalogRemovedAfterTheBuildIsReportedNotShown() {
    Wizard w;
    w.services.openFileAnswers.push_back(QString::fromStdString(dir_->str() + "/stars.prj"));
    w.click("LoadProjectButton");
    for (int i = 0; i < 3; ++i) w.click("NextButton");
    const std::string out = dir_->str() + "/out";
    w.find<DirectoryEdit>("OutputDirectoryEdit")->setText(QString::fromStdString(out));
    w.click("BuildButton");
    QVERIFY(QFile::remove(QString::fromStdString(out + "/syst.hdr")));
    w.services.messages.clear();
    w.click("SkyPreviewButton");
    QCOMPARE(w.services.messages.size(), 1);
    QVERIFY2(w.services.messages[0].contains("syst.hdr"), qPrintable(w.services.messages[0]));
    QVERIFY(!w.form.skyPreviewWindow());
  }

 private:
  QString home_;
  std::unique_ptr<TempDir> dir_;
};

MIRDAL_UI_TEST_MAIN(sky_preview_window_test, SkyPreviewWindowTest);
#include "sky_preview_window_test.moc"
