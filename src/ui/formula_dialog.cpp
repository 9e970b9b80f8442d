#include "ui/formula_dialog.h"

#include <charconv>
#include <cmath>
#include <string>

#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "convert/field_value.h"
#include "ui/qt_text.h"
#include "util/text.h"

namespace mirdal {

namespace {

constexpr int kClientWidth = 161;
constexpr int kClientHeight = 234;
constexpr int kMaxDecimals = 15;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits after the point and a bare point are dropped from a fixed-point text.
void dropTrailingZeros(std::string& s) {
  const std::size_t point = s.find('.');
  if (point == std::string::npos) return;
  std::size_t end = s.size();
  while (end > point + 1 && s[end - 1] == '0') --end;
  if (end == point + 1) end = point;
  s.resize(end);
}

}  // namespace

std::optional<double> readFormulaNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  text.remove_prefix(i);
  // A number typed here needs a digit before any exponent.
  std::size_t j = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  bool digit = false;
  for (; j < text.size() && (isDigit(text[j]) || text[j] == '.'); ++j) digit = digit || isDigit(text[j]);
  if (!digit) return std::nullopt;
  const std::optional<double> value = parseDecimal(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<double> readFormulaNumber(const QString& text) { return readFormulaNumber(toBytes(text)); }

QString formatFormulaNumber(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  // The largest double has 309 digits before the point.
  char buffer[400];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string s(buffer, r.ptr);
  const std::size_t point = s.find('.');
  if (point != std::string::npos && s.size() - point - 1 > kMaxDecimals) {
    r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, kMaxDecimals);
    s.assign(buffer, r.ptr);
    dropTrailingZeros(s);
  }
  // A value that rounds to zero is shown without its sign.
  if (s == "-0") s = "0";
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

FormulaDialog::FormulaDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      explanation_(new QLabel(this)),
      factorEdit_(new QLineEdit(this)),
      timesLabel_(new QLabel(QStringLiteral("x"), this)),
      columnValueEdit_(new QLineEdit(this)),
      plusLabel_(new QLabel(QStringLiteral("+"), this)),
      offsetEdit_(new QLineEdit(this)),
      equalsLabel_(new QLabel(QStringLiteral("="), this)),
      resultEdit_(new QLineEdit(this)),
      okButton_(new QPushButton(QStringLiteral("OK"), this)),
      cancelButton_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setObjectName("FormulaDialog");
  setModal(true);
  setWindowTitle(QString());

  explanation_->setObjectName("Explanation");
  explanation_->setText(QStringLiteral("Indicate here how to compute \nthe require value from the data \n"
                                 "stored in the catalog text file."));
  explanation_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  factorEdit_->setObjectName("FactorEdit");
  timesLabel_->setObjectName("TimesLabel");
  columnValueEdit_->setObjectName("ColumnValueEdit");
  plusLabel_->setObjectName("PlusLabel");
  offsetEdit_->setObjectName("OffsetEdit");
  equalsLabel_->setObjectName("EqualsLabel");
  resultEdit_->setObjectName("ResultEdit");
  okButton_->setObjectName("OkButton");
  cancelButton_->setObjectName("CancelButton");

  QFont bold = font();
  bold.setBold(true);
  for (QLabel* l : {timesLabel_, plusLabel_}) {
    l->setFont(bold);
    l->setAlignment(Qt::AlignCenter);
  }
  QFont larger = bold;
  larger.setPointSizeF(bold.pointSizeF() * 1.5);
  equalsLabel_->setFont(larger);
  equalsLabel_->setAlignment(Qt::AlignCenter);

  // x and the result are shown, not edited: grey like a button face.
  for (QLineEdit* e : {columnValueEdit_, resultEdit_}) {
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    e->setPalette(p);
  }
  okButton_->setDefault(true);

  // Without a title bar the dialog draws its own raised edge.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Panel);
  frame->setFrameShadow(QFrame::Raised);
  frame->setLineWidth(2);
  outer->addWidget(frame);
  auto* column = new QVBoxLayout(frame);
  column->setContentsMargins(10, 8, 10, 10);
  column->setSpacing(2);
  column->addWidget(explanation_);
  column->addSpacing(4);
  for (QWidget* w : std::initializer_list<QWidget*>{factorEdit_, timesLabel_, columnValueEdit_, plusLabel_, offsetEdit_,
                                                    equalsLabel_, resultEdit_})
    column->addWidget(w);
  column->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  column->addLayout(buttons);
  for (QPushButton* b : {okButton_, cancelButton_}) b->setMinimumWidth(0);

  // The client area the dialog opens with, larger only where the fonts need
  // more room.
  const QSize size = QSize(kClientWidth, kClientHeight).expandedTo(minimumSizeHint());
  setFixedSize(size);

  connect(factorEdit_, &QLineEdit::textChanged, this, &FormulaDialog::onFactorEdited);
  connect(offsetEdit_, &QLineEdit::textChanged, this, &FormulaDialog::onOffsetEdited);
  factorEdit_->installEventFilter(this);
  offsetEdit_->installEventFilter(this);
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
  setTabOrder(factorEdit_, offsetEdit_);
  setTabOrder(offsetEdit_, okButton_);
  setTabOrder(okButton_, cancelButton_);
}

void FormulaDialog::setValues(double a, double b, double x) {
  a_ = a;
  b_ = b;
  x_ = x;
}

void FormulaDialog::showEvent(QShowEvent* event) {
  // Centred on the main window each time, wherever it was shown before.
  if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
    QRect area = frameGeometry();
    area.moveCenter(owner->frameGeometry().center());
    move(area.topLeft());
  }
  fillBoxes();
  QDialog::showEvent(event);
  factorEdit_->setFocus(Qt::OtherFocusReason);
  factorEdit_->selectAll();
}

void FormulaDialog::fillBoxes() {
  {
    // Filling the boxes must not read them back: a value that needs more
    // than 15 decimals would come back rounded.
    const QSignalBlocker blockFactor(factorEdit_), blockOffset(offsetEdit_);
    factorEdit_->setText(formatFormulaNumber(a_));
    columnValueEdit_->setText(formatFormulaNumber(x_));
    offsetEdit_->setText(formatFormulaNumber(b_));
  }
  compute();
}

void FormulaDialog::compute() {
  // 80-bit extended precision, kept as an 8-byte double.
  const long double r = static_cast<long double>(a_) * static_cast<long double>(x_) + static_cast<long double>(b_);
  result_ = static_cast<double>(r);
  resultEdit_->setText(formatFormulaNumber(result_));
}

bool FormulaDialog::take(QLineEdit* edit, double& value) {
  const std::optional<double> v = readFormulaNumber(edit->text());
  if (v) {
    value = *v;
    compute();
    return true;
  }
  // Focus changes are not made from inside a focus change: queue it.
  if (!edit->hasFocus())
    QTimer::singleShot(0, edit, [this, edit] {
      if (isVisible()) edit->setFocus(Qt::OtherFocusReason);
    });
  return false;
}

void FormulaDialog::onFactorEdited() { take(factorEdit_, a_); }

void FormulaDialog::onOffsetEdited() { take(offsetEdit_, b_); }

bool FormulaDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && isVisible()) {
    // Only a move to another control of the dialog is refused; a menu or
    // another window taking the focus is not.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == factorEdit_) onFactorEdited();
      if (watched == offsetEdit_) onOffsetEdited();
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace mirdal
