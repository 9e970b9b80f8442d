#include "ui/button_bar.h"

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QPushButton>
#include <QRegularExpression>

namespace mirdal {

namespace {

constexpr int kButtonBarHeight = 65;
constexpr int kMargin = 6;
constexpr int kSpacing = 4;
constexpr int kGap = 8;

int buttonWidth(const QPushButton* b) {
  const QFontMetrics fm(b->font());
  // The "&" of a mnemonic is not drawn.
  QString shown = b->text();
  shown.remove(QRegularExpression(QStringLiteral("&(?!&)")));
  return std::max(fm.horizontalAdvance(shown) + fm.averageCharWidth() + 8, 3 * fm.height());
}

}  // namespace

ButtonBar::ButtonBar(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
}

void ButtonBar::setButtons(std::vector<QPushButton*> left, std::vector<QPushButton*> right,
                           std::vector<QPushButton*> shared) {
  left_ = std::move(left);
  right_ = std::move(right);
  shared_ = std::move(shared);
  updateGeometry();
}

QSize ButtonBar::sizeHint() const {
  return {2 * kMargin + groupWidth(left_) + kGap + groupWidth(right_) + kSpacing + sharedWidth(), heightForRows(1)};
}

QSize ButtonBar::minimumSizeHint() const {
  const int w = 2 * kMargin + std::max(groupWidth(left_), groupWidth(right_) + kSpacing + sharedWidth());
  return {w, heightForRows(2)};
}

void ButtonBar::refit() {
  updateGeometry();
  place();
}

void ButtonBar::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  place();
}

bool ButtonBar::event(QEvent* event) {
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::FontChange ||
      event->type() == QEvent::StyleChange) {
    updateGeometry();
    place();
  }
  return QFrame::event(event);
}

int ButtonBar::buttonHeight() const {
  int h = 25;
  for (auto* group : {&left_, &right_, &shared_})
    for (const QPushButton* b : *group) h = std::max(h, b->sizeHint().height());
  return h;
}

bool ButtonBar::placed(const QPushButton* b) const { return b->isVisibleTo(this); }

int ButtonBar::oneRowWidthOfAll() const {
  return 2 * kMargin + groupWidth(left_, true) + kGap + groupWidth(right_, true) + kSpacing + sharedWidth();
}

int ButtonBar::groupWidth(const std::vector<QPushButton*>& group, bool hiddenToo) const {
  int w = 0;
  int n = 0;
  for (const QPushButton* b : group)
    if (hiddenToo || placed(b)) {
      w += (n == 0 ? 0 : kSpacing) + buttonWidth(b);
      ++n;
    }
  return w;
}

int ButtonBar::sharedWidth() const {
  int w = 0;
  for (const QPushButton* b : shared_) w = std::max(w, buttonWidth(b));
  return w;
}

int ButtonBar::heightForRows(int rows) const {
  return std::max(kButtonBarHeight, 2 * kMargin + rows * buttonHeight() + (rows - 1) * kSpacing);
}

void ButtonBar::place() {
  const int h = buttonHeight();
  const bool oneRow = fitsOneRow(width());
  const int rowsHeight = oneRow ? h : 2 * h + kSpacing;
  const int top = (height() - rowsHeight) / 2;
  int x = kMargin;
  for (QPushButton* b : left_) {
    b->setGeometry(x, top, buttonWidth(b), h);
    x += buttonWidth(b) + kSpacing;
  }
  const int y = oneRow ? top : top + h + kSpacing;
  int right = width() - kMargin;
  const int shared = sharedWidth();
  for (QPushButton* b : shared_) b->setGeometry(right - shared, y, shared, h);
  right -= shared + kSpacing;
  for (auto it = right_.rbegin(); it != right_.rend(); ++it) {
    if (!placed(*it)) continue;
    const int w = buttonWidth(*it);
    (*it)->setGeometry(right - w, y, w, h);
    right -= w + kSpacing;
  }
}

}  // namespace mirdal
