#include "ui/page_renderer.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "ui/main_window.h"
#include "ui/progress_window.h"
#include "ui/widgets.h"

namespace mirdal {

namespace {

QString save(QWidget& w, const QString& directory, const QString& name) {
  const QSize size(kDefaultWindowWidth, kDefaultWindowHeight);
  w.resize(size);
  if (w.size() != size && w.minimumSizeHint().isValid()) w.resize(w.size().expandedTo(w.minimumSizeHint()));
  QApplication::processEvents();
  const QString path = QDir(directory).filePath(name);
  w.grab().save(path, "PNG");
  return QStringLiteral("%1 %2x%3").arg(path).arg(w.width()).arg(w.height());
}

// The button states that navigation gives each page.
void showButtonStates(WizardWindow& window, int page) {
  auto button = [&window](const char* name) { return window.findChild<QPushButton*>(QLatin1String(name)); };
  window.findChild<QWidget*>(QStringLiteral("ButtonBar"))->setEnabled(page < kPageObjectTypes);
  if (page >= kPageObjectTypes) return;
  button("PreviousButton")->setEnabled(page > kPageCatalog);
  button("NextButton")->setEnabled(page < kPageOutput);
  button("BuildButton")->setEnabled(page == kPageOutput);
}

void selectType(WizardWindow& window, int type) {
  auto* group = window.findChild<RadioGroup*>(QStringLiteral("CatalogTypeGroup"));
  group->button(type)->click();
}

}  // namespace

QStringList renderPages(WizardWindow& window, const QString& directory) {
  QDir().mkpath(directory);
  QStringList written;
  window.show();
  const int type = window.definition().settings.type;
  for (int page = 0; page < kPageCount; ++page) {
    window.showPage(page);
    if (page == kPageOptions || page == kPageFields || page == kPageOutput) window.enterPage(page);
    showButtonStates(window, page);
    written << save(window, directory, QStringLiteral("page%1.png").arg(page + 1));
  }
  selectType(window, static_cast<int>(CatalogType::Nebulae));
  window.showPage(kPageOptions);
  window.enterPage(kPageOptions);
  showButtonStates(window, kPageOptions);
  written << save(window, directory, QStringLiteral("page2-nebulae.png"));
  selectType(window, static_cast<int>(CatalogType::NebulaOutlines));
  window.enterPage(kPageOptions);
  written << save(window, directory, QStringLiteral("page2-outlines.png"));
  window.showPage(kPageOutput);
  window.enterPage(kPageOutput);
  showButtonStates(window, kPageOutput);
  written << save(window, directory, QStringLiteral("page4-outlines.png"));
  selectType(window, type);
  window.showPage(kPageCatalog);
  showButtonStates(window, kPageCatalog);

  if (ProgressWindow* progress = window.progressWindow()) {
    progress->setStageCaption(QStringLiteral("Convert catalog files"));
    progress->setOverallMaximum(4);
    progress->setOverallPosition(2);
    progress->setItemCaption(QStringLiteral("5000"));
    progress->setStageMaximum(9110);
    progress->setStagePosition(5000);
    progress->show();
    QApplication::processEvents();
    const QString path = QDir(directory).filePath(QStringLiteral("progress.png"));
    progress->grab().save(path, "PNG");
    written << QStringLiteral("%1 %2x%3").arg(path).arg(progress->width()).arg(progress->height());
    progress->hide();
  }
  return written;
}

}  // namespace mirdal
