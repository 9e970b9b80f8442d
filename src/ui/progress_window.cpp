#include "ui/progress_window.h"

#include <algorithm>
#include <limits>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirdal {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      stageCaption_(new QLabel(this)),
      overallBar_(new QProgressBar(this)),
      itemCaption_(new QLabel(this)),
      stageBar_(new QProgressBar(this)),
      abort_(new QToolButton(this)),
      summary_(new QLabel(this)) {
  setObjectName("ProgressWindow");
  setWindowTitle("Progress");
  setWindowModality(Qt::NonModal);
  stageCaption_->setObjectName("StageCaption");
  overallBar_->setObjectName("OverallBar");
  itemCaption_->setObjectName("ItemCaption");
  stageBar_->setObjectName("StageBar");
  abort_->setObjectName("AbortButton");
  abort_->setText("Abort");
  abort_->setMinimumWidth(90);
  summary_->setObjectName("ProgressSummary");
  for (QProgressBar* bar : {overallBar_, stageBar_}) {
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMinimumWidth(361);
  }

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(19, 10, 19, 10);
  column->addWidget(stageCaption_);
  column->addWidget(overallBar_);
  column->addSpacing(6);
  column->addWidget(itemCaption_);
  column->addWidget(stageBar_);
  column->addSpacing(6);
  auto* row = new QHBoxLayout;
  row->addWidget(summary_, 1);
  row->addWidget(abort_);
  row->addStretch(1);
  column->addLayout(row);
  column->addStretch();
  resize(std::max(400, sizeHint().width()), std::max(166, sizeHint().height()));

  connect(abort_, &QToolButton::clicked, this, &ProgressWindow::onAbort);
}

void ProgressWindow::setStageCaption(const QString& text) { stageCaption_->setText(text); }
void ProgressWindow::setItemCaption(const QString& text) { itemCaption_->setText(text); }
void ProgressWindow::setOverallMaximum(std::int64_t max) { setMaximum(overallBar_, overallScale_, max); }
void ProgressWindow::setOverallPosition(std::int64_t pos) { setPosition(overallBar_, overallScale_, pos); }
void ProgressWindow::setStageMaximum(std::int64_t max) { setMaximum(stageBar_, stageScale_, max); }
void ProgressWindow::setStagePosition(std::int64_t pos) { setPosition(stageBar_, stageScale_, pos); }

void ProgressWindow::setOverallDone(double done, const QString& summary) {
  constexpr int kSteps = 1000;
  overallBar_->setRange(0, kSteps);
  overallBar_->setValue(static_cast<int>(std::clamp(done, 0.0, 1.0) * kSteps));
  summary_->setText(summary);
}

void ProgressWindow::onAbort() { emit abortRequested(); }

void ProgressWindow::setMaximum(QProgressBar* bar, Scaled& s, std::int64_t max) {
  constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
  s.max = std::max<std::int64_t>(0, max);
  s.divisor = s.max > kIntMax ? s.max / kIntMax + 1 : 1;
  bar->setMaximum(static_cast<int>(s.max / s.divisor));
}

void ProgressWindow::setPosition(QProgressBar* bar, const Scaled& s, std::int64_t pos) {
  pos = std::clamp<std::int64_t>(pos, 0, s.max);
  bar->setValue(static_cast<int>(pos / s.divisor));
}

}  // namespace mirdal
