#pragma once

#include <memory>
#include <string>

#include <QDialog>
#include <QImage>

#include "picture/sky_preview.h"
#include "util/file_system.h"

class QLabel;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace mirdal {

class SkyPicture;

// "Sky preview": the picture of the whole sky with every record of a built
// catalog and the region grid of its scheme (tab "Sky"), and the number of
// records of every region (tab "Regions"). Hovering over the picture names
// the region under the pointer, its bounds and its count.
//
// The picture is drawn for the room it has, so that its labels stay readable
// at every size: after a resize the catalog is read and drawn again at the
// sky width that fits (in steps of 60 pixels).
class SkyPreviewWindow : public QDialog {
  Q_OBJECT
 public:
  // Reads the catalog `baseName` in `directory`. Throws Error naming the file
  // when the catalog cannot be read.
  SkyPreviewWindow(std::string directory, std::string baseName, FileSystem& fs,
                   QWidget* parent = nullptr);
  ~SkyPreviewWindow() override;

  const SkyPreview& preview() const { return *preview_; }
  const QImage& picture() const { return picture_; }
  // Sky width in pixels of the picture shown.
  int skyWidth() const { return skyWidth_; }
  // The text of the hover line for a pixel of the picture.
  QString describePixel(int x, int y) const;
  // Draws the picture again for the room it has now, when that calls for
  // another sky width (resizes do it after a short pause).
  void fitPicture();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void render(int skyWidth);
  void fillSummary();
  void fillTable();
  int fittingSkyWidth() const;

  std::string directory_;
  std::string baseName_;
  FileSystem& fs_;
  std::unique_ptr<SkyPreview> preview_;
  QImage picture_;
  int skyWidth_ = 0;
  bool magnitudes_ = false;  // the layout holds the type's magnitude
  std::string longName_;

  QLabel* summary_;
  QTabWidget* tabs_;
  SkyPicture* sky_;
  QLabel* legend_;
  QLabel* hover_;
  QTableWidget* table_;
  QTimer* refit_;
};

}  // namespace mirdal
