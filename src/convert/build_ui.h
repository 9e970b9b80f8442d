#pragma once

#include <cstdint>
#include <string>

namespace mirdal {

// The captions the build gives its stages (Label1), in the order it runs
// them; a front end that tells the stages apart goes by them.
namespace stage_caption {
inline constexpr char kCreateHeader[] = "Create header";
inline constexpr char kCreateFiles[] = "Create files";
inline constexpr char kConvertFiles[] = "Convert catalog files";
inline constexpr char kConvertFile[] = "Convert catalog file ";  // followed by the file's path
inline constexpr char kCloseFiles[] = "Close files";
inline constexpr char kMagnitudeSort[] = "Sorting files by magnitude";
inline constexpr char kIndexSort[] = "Sorting the index file ";
}  // namespace stage_caption

// What a build needs from the person running it: the progress window with its
// two captions and two bars, message boxes and the confirmation question.
// The wizard implements it with its windows, the command line with stderr,
// tests with a recorder.
class BuildUi {
 public:
  virtual ~BuildUi() = default;

  virtual void showProgress() {}
  virtual void hideProgress() {}
  virtual void setStageCaption(const std::string& /*text*/) {}  // Label1
  virtual void setItemCaption(const std::string& /*text*/) {}   // Label2
  virtual void setOverallMaximum(std::int64_t /*max*/) {}       // ProgressBar1
  virtual void setOverallPosition(std::int64_t /*pos*/) {}
  virtual void setStageMaximum(std::int64_t /*max*/) {}         // ProgressBar2
  virtual void setStagePosition(std::int64_t /*pos*/) {}
  virtual void repaint() {}
  // Lets pending window messages run: this is when Abort can be pressed.
  virtual void processEvents() {}
  // Lines read so far in this build, told at every 1000-line checkpoint.
  virtual void linesConverted(std::int64_t /*lines*/) {}

  // A Yes/No question of the confirmation kind; true only for Yes.
  virtual bool confirm(const std::string& text) = 0;
  // A message box with an OK button.
  virtual void message(const std::string& text) = 0;
  // Puts the input focus on the output-directory box (after the empty-directory message).
  virtual void focusOutputDirectory() {}
};

}  // namespace mirdal
