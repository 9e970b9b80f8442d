#include "ui/widgets.h"

#include <cmath>

#include <QButtonGroup>
#include <QDir>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QToolButton>

#include "ui/platform_services.h"
#include "ui/qt_text.h"
#include "util/home_directory.h"

namespace mirdal {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 3, 4);
  grid->setVerticalSpacing(0);
  columns = std::max(1, columns);
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int i = 0; i < items.size(); ++i) {
    auto* b = new QRadioButton(items.at(i), this);
    group_->addButton(b, i);
    grid->addWidget(b, i % rows, i / rows);
  }
  connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked && !signalsBlocked()) emit itemClicked(id);
  });
}

int RadioGroup::count() const { return static_cast<int>(group_->buttons().size()); }

int RadioGroup::itemIndex() const { return group_->checkedId(); }

void RadioGroup::setItemIndex(int index) {
  const QSignalBlocker block(this);
  if (index >= 0 && index < count()) {
    group_->button(index)->setChecked(true);
  } else if (auto* checked = group_->checkedButton()) {
    group_->setExclusive(false);
    checked->setChecked(false);
    group_->setExclusive(true);
  }
}

QRadioButton* RadioGroup::button(int index) const { return qobject_cast<QRadioButton*>(group_->button(index)); }

FloatEdit::FloatEdit(QWidget* parent) : QLineEdit(parent) {
  auto* validator = new QDoubleValidator(this);
  validator->setLocale(QLocale::c());
  validator->setNotation(QDoubleValidator::ScientificNotation);
  setValidator(validator);
  setValue(0);
  connect(this, &QLineEdit::textChanged, this, &FloatEdit::textEdited_);
  connect(this, &QLineEdit::editingFinished, this, &FloatEdit::commit);
}

bool FloatEdit::parse(const QString& text, double& value) {
  bool ok = false;
  const double v = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(v)) return false;
  value = v;
  return true;
}

QString FloatEdit::format(double value) { return QLocale::c().toString(value, 'g', 15); }

void FloatEdit::setValue(double value) {
  value_ = value;
  const QSignalBlocker block(this);
  setText(format(value));
}

void FloatEdit::commit() {
  double v = 0;
  if (!parse(text(), v)) setValue(value_);
}

void FloatEdit::textEdited_(const QString& text) {
  double v = 0;
  if (!parse(text, v) || v == value_) return;
  value_ = v;
  emit valueChanged(v);
}

DirectoryEdit::DirectoryEdit(PlatformServices& services, QWidget* parent)
    : QWidget(parent), services_(services), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  edit_->setObjectName("DirectoryText");
  browse_->setText("...");
  browse_->setToolTip("Choose a directory");
  browse_->setObjectName("DirectoryBrowseButton");
  row->addWidget(edit_, 1);
  row->addWidget(browse_);
  setFocusProxy(edit_);
  connect(edit_, &QLineEdit::textChanged, this, &DirectoryEdit::textChanged);
  connect(browse_, &QToolButton::clicked, this, &DirectoryEdit::browse);
}

QString DirectoryEdit::text() const { return edit_->text(); }

void DirectoryEdit::setText(const QString& text) { edit_->setText(text); }

void DirectoryEdit::browse() {
  QString start = fromPath(expandHome(toPath(edit_->text().trimmed())));
  if (!baseDirectory_.isEmpty())
    start = start.isEmpty() ? baseDirectory_ : QDir(baseDirectory_).absoluteFilePath(start);
  const QString chosen = services_.existingDirectory(window(), start);
  if (!chosen.isEmpty()) edit_->setText(chosen);
}

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent) {
  setCursor(Qt::PointingHandCursor);
  setToolTip("Click to change the color");
}

void ColourSwatch::setColour(Colour colour) {
  colour_ = colour & 0x00FFFFFFu;
  update();
}

void ColourSwatch::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(Qt::black);
  p.setBrush(toQColor(colour_));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent* event) {
  if (rect().contains(event->position().toPoint())) emit mouseReleased(event->button());
  event->accept();
}

LogoImage::LogoImage(QWidget* parent) : QWidget(parent) { setCursor(Qt::PointingHandCursor); }

void LogoImage::setPixmap(const QPixmap& pixmap) {
  pixmap_ = pixmap;
  update();
}

void LogoImage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (pixmap_.isNull()) {
    p.fillRect(rect(), QColor(10, 20, 60));
    return;
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawPixmap(rect(), pixmap_);
}

void LogoImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  event->accept();
}

}  // namespace mirdal
