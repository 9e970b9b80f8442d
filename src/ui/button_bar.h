#pragma once

#include <vector>

#include <QFrame>

class QPushButton;

namespace mirdal {

// The wizard's button bar: Help, Save Project and Load project at the left;
// Prev, Next and the place shared by "Build Catalog" and "Close" at the right.
// Buttons are as wide as their text needs; when one row is too narrow for
// them, the right group moves to a second row.
class ButtonBar : public QFrame {
 public:
  explicit ButtonBar(QWidget* parent);

  // `shared` take turns in one place, as wide as the widest of them.
  void setButtons(std::vector<QPushButton*> left, std::vector<QPushButton*> right, std::vector<QPushButton*> shared);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int w) const override { return heightForRows(fitsOneRow(w) ? 1 : 2); }

  // After a button of the bar was shown or hidden.
  void refit();
  // The width that holds every button of the bar on one row, hidden ones too.
  int oneRowWidthOfAll() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  int buttonHeight() const;
  // A button hidden on purpose takes no room in its group.
  bool placed(const QPushButton* b) const;
  int groupWidth(const std::vector<QPushButton*>& group, bool hiddenToo = false) const;
  int sharedWidth() const;
  bool fitsOneRow(int w) const { return sizeHint().width() <= w; }
  int heightForRows(int rows) const;
  void place();

  std::vector<QPushButton*> left_, right_, shared_;
};

}  // namespace mirdal
