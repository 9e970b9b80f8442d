#pragma once

#include <optional>
#include <string_view>

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace mirdal {

// Reads a whole text as a floating-point number, "." as separator whatever
// the locale: leading blanks (codes 0 to 32), an optional sign, digits with an
// optional decimal point and exponent, nothing after them. At least one
// mantissa digit is needed, so "-", "." and "e5" do not read; neither does a
// number beyond the range of a double.
std::optional<double> readFormulaNumber(std::string_view text);
std::optional<double> readFormulaNumber(const QString& text);

// "0.###############": at least one digit before the point, at most 15 after
// it, trailing zeros and a bare point dropped, "." whatever the locale. A
// value that reads back exactly with fewer decimals is shown with them.
QString formatFormulaNumber(double value);

// The value-formula dialog of page 3's "Advanced" button: the calibration
// A * x + B of one numeric field, with x read from the sample. Created once at
// start-up, after the progress window; the caller sets A, B and x, shows it
// modally (exec(), which tests may override to script the user) and takes A
// and B back when it answers Accepted.
//
// factorEdit_ holds A and offsetEdit_ B, both editable; columnValueEdit_
// shows x and resultEdit_ the result, read-only. A text that does not read
// keeps the last value and the focus in its box, so OK always hands back the
// last readable value.
class FormulaDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FormulaDialog(QWidget* parent = nullptr);

  void setValues(double a, double b, double x);
  double a() const { return a_; }
  double b() const { return b_; }
  double x() const { return x_; }
  // A x + B as last computed (QDialog::result() is the answer).
  double formulaResult() const { return result_; }

 public slots:
  // Each showing: the boxes are filled from A, x and B, then the result.
  void fillBoxes();
  // Every change of the text of factorEdit_ / offsetEdit_, and the focus leaving it.
  void onFactorEdited();
  void onOffsetEdited();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool take(QLineEdit* edit, double& value);
  void compute();

  // The four process-wide values of the formula, 8-byte doubles.
  double a_ = 1.0;
  double b_ = 0.0;
  double x_ = 0.0;
  double result_ = 0.0;

  QLabel* explanation_;
  QLineEdit* factorEdit_;
  QLabel* timesLabel_;
  QLineEdit* columnValueEdit_;
  QLabel* plusLabel_;
  QLineEdit* offsetEdit_;
  QLabel* equalsLabel_;
  QLineEdit* resultEdit_;
  QPushButton* okButton_;
  QPushButton* cancelButton_;
};

}  // namespace mirdal
