#pragma once

#include <cstdint>

#include <QWidget>

class QLabel;
class QProgressBar;
class QToolButton;

namespace mirdal {

// The build's progress window: a stage caption over the overall bar, an item
// caption over the bar within the stage, the percent, rows per second and
// time left beside "Abort". It stays above the
// wizard without being modal; closing it only hides it, and the build goes on.
class ProgressWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressWindow(QWidget* parent = nullptr);

  void setStageCaption(const QString& text);
  void setItemCaption(const QString& text);
  // Bars take 64-bit counts (file sizes); they are scaled into the int range
  // that QProgressBar holds, keeping position/maximum.
  void setOverallMaximum(std::int64_t max);
  void setOverallPosition(std::int64_t pos);
  void setStageMaximum(std::int64_t max);
  void setStagePosition(std::int64_t pos);
  // The whole build's part done (0 to 1) on the overall bar, and the line
  // beside it: percent, rows per second, time left.
  void setOverallDone(double done, const QString& summary);

  QProgressBar* overallBar() const { return overallBar_; }
  QProgressBar* stageBar() const { return stageBar_; }
  QLabel* summaryLabel() const { return summary_; }

 public slots:
  // "Abort": only asks; the build sees it at its next checkpoint.
  void onAbort();

 signals:
  void abortRequested();

 private:
  struct Scaled {
    std::int64_t max = 1;
    std::int64_t divisor = 1;
  };
  static void setMaximum(QProgressBar* bar, Scaled& s, std::int64_t max);
  static void setPosition(QProgressBar* bar, const Scaled& s, std::int64_t pos);

  QLabel* stageCaption_;
  QProgressBar* overallBar_;
  QLabel* itemCaption_;
  QProgressBar* stageBar_;
  QToolButton* abort_;
  QLabel* summary_;
  Scaled overallScale_, stageScale_;
};

}  // namespace mirdal
