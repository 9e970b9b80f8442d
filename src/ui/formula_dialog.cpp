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

Adv::Adv(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      Label4(new QLabel(this)),
      Edit1(new QLineEdit(this)),
      Label1(new QLabel(QStringLiteral("x"), this)),
      Edit2(new QLineEdit(this)),
      Label2(new QLabel(QStringLiteral("+"), this)),
      Edit3(new QLineEdit(this)),
      Label3(new QLabel(QStringLiteral("="), this)),
      Edit4(new QLineEdit(this)),
      Button1(new QPushButton(QStringLiteral("OK"), this)),
      Button2(new QPushButton(QStringLiteral("Cancel"), this)) {
  setObjectName("adv");
  setModal(true);
  setWindowTitle(QString());

  Label4->setObjectName("Label4");
  Label4->setText(QStringLiteral("Indicate here how to compute \nthe require value from the data \n"
                                 "stored in the catalog text file."));
  Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Edit1->setObjectName("Edit1");
  Label1->setObjectName("Label1");
  Edit2->setObjectName("Edit2");
  Label2->setObjectName("Label2");
  Edit3->setObjectName("Edit3");
  Label3->setObjectName("Label3");
  Edit4->setObjectName("Edit4");
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");

  QFont bold = font();
  bold.setBold(true);
  for (QLabel* l : {Label1, Label2}) {
    l->setFont(bold);
    l->setAlignment(Qt::AlignCenter);
  }
  QFont larger = bold;
  larger.setPointSizeF(bold.pointSizeF() * 1.5);
  Label3->setFont(larger);
  Label3->setAlignment(Qt::AlignCenter);

  // x and the result are shown, not edited: grey like a button face.
  for (QLineEdit* e : {Edit2, Edit4}) {
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    e->setPalette(p);
  }
  Button1->setDefault(true);

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
  column->addWidget(Label4);
  column->addSpacing(4);
  for (QWidget* w : std::initializer_list<QWidget*>{Edit1, Label1, Edit2, Label2, Edit3, Label3, Edit4})
    column->addWidget(w);
  column->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  column->addLayout(buttons);
  for (QPushButton* b : {Button1, Button2}) b->setMinimumWidth(0);

  // The client area the dialog opens with, larger only where the fonts need
  // more room.
  const QSize size = QSize(kClientWidth, kClientHeight).expandedTo(minimumSizeHint());
  setFixedSize(size);

  connect(Edit1, &QLineEdit::textChanged, this, &Adv::Edit1Change);
  connect(Edit3, &QLineEdit::textChanged, this, &Adv::Edit3Change);
  Edit1->installEventFilter(this);
  Edit3->installEventFilter(this);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  setTabOrder(Edit1, Edit3);
  setTabOrder(Edit3, Button1);
  setTabOrder(Button1, Button2);
}

void Adv::setValues(double a, double b, double x) {
  a_ = a;
  b_ = b;
  x_ = x;
}

void Adv::showEvent(QShowEvent* event) {
  // Centred on the main window each time, wherever it was shown before.
  if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
    QRect area = frameGeometry();
    area.moveCenter(owner->frameGeometry().center());
    move(area.topLeft());
  }
  FormShow();
  QDialog::showEvent(event);
  Edit1->setFocus(Qt::OtherFocusReason);
  Edit1->selectAll();
}

void Adv::FormShow() {
  {
    // Filling the boxes must not read them back: a value that needs more
    // than 15 decimals would come back rounded.
    const QSignalBlocker b1(Edit1), b3(Edit3);
    Edit1->setText(formatFormulaNumber(a_));
    Edit2->setText(formatFormulaNumber(x_));
    Edit3->setText(formatFormulaNumber(b_));
  }
  compute();
}

void Adv::compute() {
  // 80-bit extended precision, kept as an 8-byte double.
  const long double r = static_cast<long double>(a_) * static_cast<long double>(x_) + static_cast<long double>(b_);
  result_ = static_cast<double>(r);
  Edit4->setText(formatFormulaNumber(result_));
}

bool Adv::take(QLineEdit* edit, double& value) {
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

void Adv::Edit1Change() { take(Edit1, a_); }

void Adv::Edit3Change() { take(Edit3, b_); }

bool Adv::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && isVisible()) {
    // Only a move to another control of the dialog is refused; a menu or
    // another window taking the focus is not.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == Edit1) Edit1Change();
      if (watched == Edit3) Edit3Change();
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace mirdal
