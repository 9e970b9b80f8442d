#include "ui/build_summary_window.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/platform_services.h"
#include "ui/qt_text.h"

namespace mirdal {

namespace {

QString count(std::int64_t n) { return QLocale::c().toString(static_cast<qlonglong>(n)); }

}  // namespace

BuildSummary::BuildSummary(const BuildResult& r, const QString& outputDirectory, PlatformServices& services,
                           QWidget* parent)
    : QDialog(parent) {
  setObjectName("BuildSummary");
  setWindowTitle(QStringLiteral("Catalog built"));
  setAttribute(Qt::WA_DeleteOnClose);

  const QString indexNames = r.indexRecordsWritten > 0 ? count(r.indexRecordsWritten) : QStringLiteral("no index");
  QList<QPair<QString, QString>> rows = {
      {QStringLiteral("Records written"), count(r.recordsWritten)},
      {QStringLiteral("Index names"), indexNames},
      {QStringLiteral("Lines rejected"),
       QStringLiteral("%1 of %2 lines read").arg(count(r.linesRejected), count(r.linesRead))},
      {QStringLiteral("Region files"), count(r.regionCount)},
      {QStringLiteral("Time"), QStringLiteral("%1 s").arg(QLocale::c().toString(r.totalSeconds, 'f', 2))},
      {QStringLiteral("Output directory"), QDir::toNativeSeparators(outputDirectory)},
  };
  if (!r.textsCut.empty()) {
    // Never silent: each field whose texts did not fit, and where the first stands.
    QStringList notes;
    for (const TextCut& c : r.textsCut) notes << fromBytes(c.note());
    rows.insert(3, {QStringLiteral("Texts cut"), notes.join(QLatin1Char('\n'))});
  }
  if (!r.magnitudesChanged.empty()) {
    // Magnitudes the field could not hold as they stand, per reason.
    QStringList notes;
    for (const RejectCount& c : r.magnitudesChanged) notes << fromBytes(c.note());
    rows.insert(3, {QStringLiteral("Magnitudes changed"), notes.join(QLatin1Char('\n'))});
  }
  if (r.fainterThanMaximum > 0)
    rows.insert(3, {QStringLiteral("Fainter stars"), fromBytes(r.fainterNote())});
  if (!r.rejectReasons.empty()) {
    // Why the lines were refused, and where the first of each reason stands.
    QStringList reasons;
    for (const RejectCount& c : r.rejectReasons) reasons << fromBytes(c.note());
    rows.insert(3, {QStringLiteral("Reasons"), reasons.join(QLatin1Char('\n'))});
  }

  auto* grid = new QGridLayout;
  int row = 0;
  for (const auto& [caption, value] : rows) {
    auto* label = new QLabel(value, this);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(new QLabel(caption + QLatin1Char(':'), this), row, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(label, row++, 1);
    text_ += caption + QStringLiteral(": ") + value + QLatin1Char('\n');
  }
  grid->setColumnStretch(1, 1);

  auto* folder = new QPushButton(QStringLiteral("Open output &folder"), this);
  folder->setObjectName("OpenFolderButton");
  folder->setToolTip(QStringLiteral("Show the output directory in the desktop's file manager"));
  auto* rejects = new QPushButton(QStringLiteral("Open &reject.txt"), this);
  rejects->setObjectName("OpenRejectsButton");
  rejects->setToolTip(QStringLiteral("The input lines whose position is impossible"));
  rejects->setEnabled(!r.rejectLogPath.empty());
  auto* sky = new QPushButton(QStringLiteral("&Sky preview"), this);
  sky->setObjectName("SummarySkyPreviewButton");
  sky->setToolTip(QStringLiteral("A picture of the whole sky with every record of the catalog"));
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  close->setObjectName("SummaryCloseButton");
  close->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(folder);
  buttons->addWidget(rejects);
  buttons->addWidget(sky);
  buttons->addStretch(1);
  buttons->addWidget(close);

  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addSpacing(8);
  column->addLayout(buttons);

  const QString rejectLog = QDir(outputDirectory).filePath(QStringLiteral("reject.txt"));
  connect(folder, &QPushButton::clicked, this, [this, &services, outputDirectory] {
    openDocumentOrSay(services, this, QStringLiteral("the output folder"), outputDirectory);
  });
  connect(rejects, &QPushButton::clicked, this, [this, &services, rejectLog] {
    openDocumentOrSay(services, this, QStringLiteral("reject.txt"), rejectLog);
  });
  connect(sky, &QPushButton::clicked, this, &BuildSummary::skyPreviewRequested);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
}

}  // namespace mirdal
