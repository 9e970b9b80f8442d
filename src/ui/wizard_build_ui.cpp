#include "ui/wizard_build_ui.h"

#include <QCoreApplication>
#include <QString>
#include <QWidget>

#include "ui/platform_services.h"
#include "ui/progress_window.h"

namespace mirdal {

namespace {
// Messages carry paths in the file system's encoding.
QString text(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

WizardBuildUi::WizardBuildUi(QWidget& owner, PlatformServices& services, std::function<void()> focusOutputDirectory)
    : owner_(owner), services_(services), focusOutputDirectory_(std::move(focusOutputDirectory)) {}

void WizardBuildUi::showProgress() {
  tracker_.emplace();
  lastShown_ = {};
  if (!progress_) return;
  progress_->setItemCaption(QString());
  showOverall(true);
  progress_->show();
}

void WizardBuildUi::hideProgress() {
  if (progress_) progress_->hide();
}

void WizardBuildUi::setStageCaption(const std::string& s) {
  if (!tracker_) tracker_.emplace();
  tracker_->stageCaption(s);
  if (!progress_) return;
  progress_->setStageCaption(text(s));
  progress_->setItemCaption(QString());
  showOverall(true);
}

void WizardBuildUi::setItemCaption(const std::string& s) {
  if (progress_) progress_->setItemCaption(text(s));
}

// The build's own overall bar counts files: the tracker makes one figure
// of it and the stages.
void WizardBuildUi::setOverallMaximum(std::int64_t max) {
  if (tracker_) tracker_->overallMaximum(max);
}

void WizardBuildUi::setOverallPosition(std::int64_t) { showOverall(false); }

void WizardBuildUi::setStageMaximum(std::int64_t max) {
  if (tracker_) tracker_->stageMaximum(max);
  if (progress_) progress_->setStageMaximum(max);
}

void WizardBuildUi::setStagePosition(std::int64_t pos) {
  if (tracker_) tracker_->stagePosition(pos);
  if (progress_) progress_->setStagePosition(pos);
  showOverall(false);
}

void WizardBuildUi::linesConverted(std::int64_t lines) {
  if (!tracker_) return;
  tracker_->linesConverted(lines);
  showOverall(false);
}

void WizardBuildUi::showOverall(bool now) {
  if (!progress_ || !tracker_) return;
  const auto at = BuildProgress::Clock::now();
  if (!now && at - lastShown_ < std::chrono::milliseconds(100)) return;
  lastShown_ = at;
  progress_->setOverallDone(tracker_->done(), QString::fromStdString(tracker_->summary(at)));
  // The stage's own count: the rows read so far while converting.
  if (tracker_->converting() && tracker_->linesConverted() > 0)
    progress_->setItemCaption(QStringLiteral("%1 rows read").arg(tracker_->linesConverted()));
}

void WizardBuildUi::repaint() {
  if (progress_ && progress_->isVisible()) progress_->repaint();
}

void WizardBuildUi::processEvents() { QCoreApplication::processEvents(); }

bool WizardBuildUi::confirm(const std::string& s) { return services_.askYesNo(&owner_, text(s)); }

void WizardBuildUi::message(const std::string& s) { services_.message(&owner_, text(s)); }

void WizardBuildUi::focusOutputDirectory() {
  if (focusOutputDirectory_) focusOutputDirectory_();
}

}  // namespace mirdal
