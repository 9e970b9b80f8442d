#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace mirdal {

// A build's progress as a person reads it, told from what the build gives
// its front end (BuildUi): the stage captions, the bars and the lines
// converted. One figure for the whole build that never goes back, the rows
// per second of the conversion and the time left. The command line's live
// line and the wizard's progress window both show it.
class BuildProgress {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BuildProgress(Clock::time_point start = Clock::now()) : start_(start) {}

  void stageCaption(const std::string& text, Clock::time_point now = Clock::now());
  void overallMaximum(std::int64_t max) { overallMax_ = max; }
  void stageMaximum(std::int64_t max) { max_ = max; }
  void stagePosition(std::int64_t pos) { pos_ = pos; }
  void linesConverted(std::int64_t lines) { lines_ = lines; }

  // The whole build's part done, 0 to 1: the stages before this one by
  // their share of a build's time, and this one's bar (for the conversion,
  // the files before this one and this one's bytes).
  double done();
  // Rows read per second since the conversion began; nothing before.
  std::optional<std::int64_t> rowsPerSecond(Clock::time_point now = Clock::now()) const;
  // Once enough lies behind to tell it from.
  std::optional<std::int64_t> secondsLeft(Clock::time_point now = Clock::now());
  std::int64_t linesConverted() const { return lines_; }
  bool converting() const { return stage_ == kConversionStage; }

  // "42%  12345 rows/s  0:12 left", the parts not yet known left out.
  std::string summary(Clock::time_point now = Clock::now());

 private:
  static constexpr int kStageCount = 6;
  static constexpr int kConversionStage = 2;

  Clock::time_point start_;
  Clock::time_point conversionStart_{};
  std::int64_t max_ = 0, pos_ = 0, lines_ = 0, overallMax_ = 0;
  int stage_ = -1;
  int filesBegun_ = 0;
  double done_ = 0;
};

}  // namespace mirdal
