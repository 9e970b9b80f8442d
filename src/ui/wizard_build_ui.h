#pragma once

#include <functional>

#include "convert/build_progress.h"
#include "convert/build_ui.h"
#include <optional>

class QWidget;

namespace mirdal {

class PlatformServices;
class ProgressWindow;

// The build's view of the wizard: the progress window for captions and bars,
// the platform's message boxes for messages and the append question.
class WizardBuildUi : public BuildUi {
 public:
  WizardBuildUi(QWidget& owner, PlatformServices& services, std::function<void()> focusOutputDirectory);

  void setProgressWindow(ProgressWindow* progress) { progress_ = progress; }

  void showProgress() override;
  void hideProgress() override;
  void setStageCaption(const std::string& text) override;
  void setItemCaption(const std::string& text) override;
  void setOverallMaximum(std::int64_t max) override;
  void setOverallPosition(std::int64_t pos) override;
  void setStageMaximum(std::int64_t max) override;
  void setStagePosition(std::int64_t pos) override;
  void linesConverted(std::int64_t lines) override;
  void repaint() override;
  void processEvents() override;
  bool confirm(const std::string& text) override;
  void message(const std::string& text) override;
  void focusOutputDirectory() override;

 private:
  QWidget& owner_;
  PlatformServices& services_;
  std::function<void()> focusOutputDirectory_;
  ProgressWindow* progress_ = nullptr;
  // The overall bar and the summary beside Abort, as the command line's
  // live line tells them; made anew for each build.
  std::optional<BuildProgress> tracker_;
  BuildProgress::Clock::time_point lastShown_{};
  // Shows the tracker's figures: `now` or at most ten times a second.
  void showOverall(bool now);
};

}  // namespace mirdal
