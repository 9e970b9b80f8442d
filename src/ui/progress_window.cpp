#include "ui/progress_window.h"

#include <algorithm>
#include <limits>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirdal {

Progress::Progress(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      label1_(new QLabel(this)),
      bar1_(new QProgressBar(this)),
      label2_(new QLabel(this)),
      bar2_(new QProgressBar(this)),
      abort_(new QToolButton(this)),
      summary_(new QLabel(this)) {
  setObjectName("progress");
  setWindowTitle("Progress");
  setWindowModality(Qt::NonModal);
  label1_->setObjectName("Label1");
  bar1_->setObjectName("ProgressBar1");
  label2_->setObjectName("Label2");
  bar2_->setObjectName("ProgressBar2");
  abort_->setObjectName("SpeedButton2");
  abort_->setText("Abort");
  abort_->setMinimumWidth(90);
  summary_->setObjectName("ProgressSummary");
  for (QProgressBar* bar : {bar1_, bar2_}) {
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMinimumWidth(361);
  }

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(19, 10, 19, 10);
  column->addWidget(label1_);
  column->addWidget(bar1_);
  column->addSpacing(6);
  column->addWidget(label2_);
  column->addWidget(bar2_);
  column->addSpacing(6);
  auto* row = new QHBoxLayout;
  row->addWidget(summary_, 1);
  row->addWidget(abort_);
  row->addStretch(1);
  column->addLayout(row);
  column->addStretch();
  resize(std::max(400, sizeHint().width()), std::max(166, sizeHint().height()));

  connect(abort_, &QToolButton::clicked, this, &Progress::SpeedButton2Click);
}

void Progress::setStageCaption(const QString& text) { label1_->setText(text); }
void Progress::setItemCaption(const QString& text) { label2_->setText(text); }
void Progress::setOverallMaximum(std::int64_t max) { setMaximum(bar1_, scale1_, max); }
void Progress::setOverallPosition(std::int64_t pos) { setPosition(bar1_, scale1_, pos); }
void Progress::setStageMaximum(std::int64_t max) { setMaximum(bar2_, scale2_, max); }
void Progress::setStagePosition(std::int64_t pos) { setPosition(bar2_, scale2_, pos); }

void Progress::setOverallDone(double done, const QString& summary) {
  constexpr int kSteps = 1000;
  bar1_->setRange(0, kSteps);
  bar1_->setValue(static_cast<int>(std::clamp(done, 0.0, 1.0) * kSteps));
  summary_->setText(summary);
}

void Progress::SpeedButton2Click() { emit abortRequested(); }

void Progress::setMaximum(QProgressBar* bar, Scaled& s, std::int64_t max) {
  constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
  s.max = std::max<std::int64_t>(0, max);
  s.divisor = s.max > kIntMax ? s.max / kIntMax + 1 : 1;
  bar->setMaximum(static_cast<int>(s.max / s.divisor));
}

void Progress::setPosition(QProgressBar* bar, const Scaled& s, std::int64_t pos) {
  pos = std::clamp<std::int64_t>(pos, 0, s.max);
  bar->setValue(static_cast<int>(pos / s.divisor));
}

}  // namespace mirdal
