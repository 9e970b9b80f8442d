#pragma once

#include <QDialog>
#include <QString>

#include "convert/build_pipeline.h"

class QPushButton;

namespace mirdal {

class PlatformServices;

// What a completed build made, shown once its messages have been answered:
// records, index names, rejected lines out of the lines read, region files,
// time and output directory, with the output folder and reject.txt a click
// away in the desktop's programs, and the sky picture.
class BuildSummary : public QDialog {
  Q_OBJECT
 public:
  BuildSummary(const BuildResult& result, const QString& outputDirectory, PlatformServices& services,
               QWidget* parent);

  // The summary as shown, one "caption: value" line per figure.
  QString text() const { return text_; }

 signals:
  void skyPreviewRequested();

 private:
  QString text_;
};

}  // namespace mirdal
