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
  if (!progress_) return;
  progress_->show();
}

void WizardBuildUi::hideProgress() {
  if (progress_) progress_->hide();
}

void WizardBuildUi::setStageCaption(const std::string& s) {
  if (progress_) progress_->setStageCaption(text(s));
}

void WizardBuildUi::setItemCaption(const std::string& s) {
  if (progress_) progress_->setItemCaption(text(s));
}

void WizardBuildUi::setOverallMaximum(std::int64_t max) {
  if (progress_) progress_->setOverallMaximum(max);
}

void WizardBuildUi::setOverallPosition(std::int64_t pos) {
  if (progress_) progress_->setOverallPosition(pos);
}

void WizardBuildUi::setStageMaximum(std::int64_t max) {
  if (progress_) progress_->setStageMaximum(max);
}

void WizardBuildUi::setStagePosition(std::int64_t pos) {
  if (progress_) progress_->setStagePosition(pos);
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
