#pragma once

#include <functional>
#include <string>
#include <vector>

#include "convert/build_ui.h"

namespace mirdal::testing {

// Records what a build shows and answers its questions as told.
class RecordingUi : public BuildUi {
 public:
  bool answer = true;
  std::vector<std::string> captions;   // Label1, in order
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  int processEventsCalls = 0;
  int shown = 0, hidden = 0;
  bool focusedDirectory = false;
  long long stageMaximum = 0, stagePosition = 0, overallMaximum = 0, overallPosition = 0;
  std::string item;
  // Runs at every processEvents(): a test presses Abort here.
  std::function<void()> onProcessEvents;

  void showProgress() override { ++shown; }
  void hideProgress() override { ++hidden; }
  void setStageCaption(const std::string& t) override { captions.push_back(t); }
  void setItemCaption(const std::string& t) override { item = t; }
  void setOverallMaximum(std::int64_t m) override { overallMaximum = m; }
  void setOverallPosition(std::int64_t p) override { overallPosition = p; }
  void setStageMaximum(std::int64_t m) override { stageMaximum = m; }
  void setStagePosition(std::int64_t p) override { stagePosition = p; }
  void processEvents() override {
    ++processEventsCalls;
    if (onProcessEvents) onProcessEvents();
  }
  bool confirm(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  void message(const std::string& text) override { messages.push_back(text); }
  void focusOutputDirectory() override { focusedDirectory = true; }
};

}  // namespace mirdal::testing
