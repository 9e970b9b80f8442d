#pragma once

#include <functional>

#include "convert/build_ui.h"

class QWidget;

namespace mirdal {

class PlatformServices;
class Progress;

// The build's view of the wizard: the progress window for captions and bars,
// the platform's message boxes for messages and the append question.
class WizardBuildUi : public BuildUi {
 public:
  WizardBuildUi(QWidget& owner, PlatformServices& services, std::function<void()> focusOutputDirectory);

  void setProgressWindow(Progress* progress) { progress_ = progress; }

  void showProgress() override;
  void hideProgress() override;
  void setStageCaption(const std::string& text) override;
  void setItemCaption(const std::string& text) override;
  void setOverallMaximum(std::int64_t max) override;
  void setOverallPosition(std::int64_t pos) override;
  void setStageMaximum(std::int64_t max) override;
  void setStagePosition(std::int64_t pos) override;
  void repaint() override;
  void processEvents() override;
  bool confirm(const std::string& text) override;
  void message(const std::string& text) override;
  void focusOutputDirectory() override;

 private:
  QWidget& owner_;
  PlatformServices& services_;
  std::function<void()> focusOutputDirectory_;
  Progress* progress_ = nullptr;
};

}  // namespace mirdal
