#include "convert/build_progress.h"

#include <algorithm>
#include <cstdio>

#include "convert/build_ui.h"

namespace mirdal {

namespace {

// The stages in the order a build runs them, by their captions, with the
// share of a build's time each takes as a rule.
constexpr const char* kStageCaptions[] = {stage_caption::kCreateHeader, stage_caption::kCreateFiles,
                                          stage_caption::kConvertFiles, stage_caption::kCloseFiles,
                                          stage_caption::kMagnitudeSort, stage_caption::kIndexSort};
constexpr double kStageShare[] = {0.0, 0.02, 0.70, 0.03, 0.15, 0.10};

}  // namespace

void BuildProgress::stageCaption(const std::string& text, Clock::time_point now) {
  for (int k = 0; k < kStageCount; ++k)
    if (text == kStageCaptions[k]) stage_ = std::max(stage_, k);
  // "Convert catalog file <path>": one more file begun.
  if (text.starts_with(stage_caption::kConvertFile)) {
    stage_ = kConversionStage;
    ++filesBegun_;
    pos_ = 0;
  }
  if (stage_ == kConversionStage && conversionStart_ == Clock::time_point{}) conversionStart_ = now;
}

double BuildProgress::done() {
  double done = 0;
  for (int k = 0; k < stage_; ++k) done += kStageShare[k];
  double within = max_ > 0 ? std::clamp(static_cast<double>(pos_) / static_cast<double>(max_), 0.0, 1.0) : 0.0;
  // The conversion's bar is that of one file: the files before it count whole.
  if (stage_ == kConversionStage)
    within = filesBegun_ == 0 || overallMax_ <= 0
                 ? 0.0
                 : std::clamp((static_cast<double>(filesBegun_ - 1) + within) / static_cast<double>(overallMax_), 0.0,
                              1.0);
  if (stage_ >= 0) done += kStageShare[stage_] * within;
  done_ = std::max(done_, std::min(done, 1.0));
  return done_;
}

std::optional<std::int64_t> BuildProgress::rowsPerSecond(Clock::time_point now) const {
  if (conversionStart_ == Clock::time_point{} || lines_ <= 0) return std::nullopt;
  const double seconds = std::chrono::duration<double>(now - conversionStart_).count();
  if (seconds <= 0) return std::nullopt;
  return static_cast<std::int64_t>(static_cast<double>(lines_) / seconds);
}

std::optional<std::int64_t> BuildProgress::secondsLeft(Clock::time_point now) {
  const double part = done();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (part < 0.02 || elapsed < 1) return std::nullopt;
  return static_cast<std::int64_t>(elapsed * (1 - part) / part + 0.5);
}

std::string BuildProgress::summary(Clock::time_point now) {
  std::string text = std::to_string(static_cast<int>(100 * done())) + "%";
  if (const auto rate = rowsPerSecond(now); rate && converting()) text += "  " + std::to_string(*rate) + " rows/s";
  if (const auto left = secondsLeft(now)) {
    char clock[48];
    std::snprintf(clock, sizeof clock, "  %lld:%02lld left", static_cast<long long>(*left / 60),
                  static_cast<long long>(*left % 60));
    text += clock;
  }
  return text;
}

}  // namespace mirdal
