// The value-formula dialog: number reading and formatting, the boxes, the
// result in extended precision, refused texts, OK and Cancel.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/formula_dialog.h"
#include "ui/ui_test_main.h"

using namespace mirdal;

namespace {

QLineEdit* box(const FormulaDialog& adv, const char* name) {
  return adv.findChild<QLineEdit*>(QString::fromLatin1(name));
}

// QCOMPARE takes doubles near zero as equal and others within 1e-12: these
// values must be the very doubles.
#define EXPECT_SAME_DOUBLE(actual, expected) QVERIFY2((actual) == (expected), qPrintable(QString::number(actual, 'g', 17)))

}  // namespace

class FormulaDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void readsLeadingBlanksButNothingAfterTheNumber() {
    QCOMPARE(readFormulaNumber(std::string_view("  42")), std::optional<double>(42));
    QCOMPARE(readFormulaNumber(std::string_view("\t-7.25")), std::optional<double>(-7.25));
    QCOMPARE(readFormulaNumber(std::string_view("+.5")), std::optional<double>(0.5));
    QCOMPARE(readFormulaNumber(std::string_view("1.5E3")), std::optional<double>(1500));
    QCOMPARE(readFormulaNumber(std::string_view("3.")), std::optional<double>(3));
    for (const char* refused : {"", "   ", "42  ", "-", "+", ".", "-.", "e5", "12a", "1,5", "1e", "--1", "1e999"})
      QVERIFY2(!readFormulaNumber(std::string_view(refused)), refused);
    // A character beyond Latin-1 is no digit.
    QVERIFY(!readFormulaNumber(QStringLiteral("4\u0662")));
  }

  void formatsAtMostFifteenDecimalsWithAPoint() {
    QCOMPARE(formatFormulaNumber(1), QStringLiteral("1"));
    QCOMPARE(formatFormulaNumber(0), QStringLiteral("0"));
    QCOMPARE(formatFormulaNumber(12.5), QStringLiteral("12.5"));
    QCOMPARE(formatFormulaNumber(-4.9875), QStringLiteral("-4.9875"));
    QCOMPARE(formatFormulaNumber(0.1), QStringLiteral("0.1"));
    QCOMPARE(formatFormulaNumber(0.001), QStringLiteral("0.001"));
    QCOMPARE(formatFormulaNumber(1.0 / 3), QStringLiteral("0.333333333333333"));
    QCOMPARE(formatFormulaNumber(2.0 / 3), QStringLiteral("0.666666666666667"));
    QCOMPARE(formatFormulaNumber(1e-15), QStringLiteral("0.000000000000001"));
    QCOMPARE(formatFormulaNumber(1e20), QStringLiteral("100000000000000000000"));
    // Rounds to zero: no sign, no point.
    QCOMPARE(formatFormulaNumber(-1e-20), QStringLiteral("0"));
    QCOMPARE(formatFormulaNumber(-0.0), QStringLiteral("0"));
  }

  void showsTheSlotValuesAndTheirResult() {
    FormulaDialog adv;
    adv.setValues(1, 0, 12.5);
    adv.show();
    QCOMPARE(box(adv, "FactorEdit")->text(), QStringLiteral("1"));
    QCOMPARE(box(adv, "ColumnValueEdit")->text(), QStringLiteral("12.5"));
    QCOMPARE(box(adv, "OffsetEdit")->text(), QStringLiteral("0"));
    QCOMPARE(box(adv, "ResultEdit")->text(), QStringLiteral("12.5"));
    QVERIFY(box(adv, "ColumnValueEdit")->isReadOnly());
    QVERIFY(box(adv, "ResultEdit")->isReadOnly());
  }

  void typedAAndBGiveTheResultAtOnce() {
    FormulaDialog adv;
    adv.setValues(1, 0, 12.5);
    adv.show();
    box(adv, "FactorEdit")->setText(QStringLiteral("0.001"));
    box(adv, "OffsetEdit")->setText(QStringLiteral("-5"));
    QCOMPARE(box(adv, "ResultEdit")->text(), QStringLiteral("-4.9875"));
    EXPECT_SAME_DOUBLE(adv.a(), 0.001);
    EXPECT_SAME_DOUBLE(adv.b(), -5.0);
    EXPECT_SAME_DOUBLE(adv.formulaResult(), -4.9875);
  }

  // 0.1 * 3 needs 55 mantissa bits: in doubles the product rounds and
  // 0.1 * 3 - 0.3 gives 2^-54; in 80 bits it is exact and gives 2^-55.
  void resultIsComputedInExtendedPrecision() {
    FormulaDialog adv;
    adv.setValues(0.1, -0.3, 3);
    adv.show();
    EXPECT_SAME_DOUBLE(adv.formulaResult(), 2.7755575615628914e-17);
  }

  // Showing fills the boxes without reading them back: a value needing more
  // than 15 decimals is shown rounded but kept exact.
  void showingKeepsAnUnroundedA() {
    FormulaDialog adv;
    adv.setValues(1.0 / 3, 0, 1);
    adv.show();
    QCOMPARE(box(adv, "FactorEdit")->text(), QStringLiteral("0.333333333333333"));
    EXPECT_SAME_DOUBLE(adv.a(), 1.0 / 3);
  }

  void loneMinusKeepsLastValueAndTheFocus() {
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    FormulaDialog adv(&owner);
    adv.setValues(1, 0, 12.5);
    adv.show();
    QApplication::setActiveWindow(&adv);
    QVERIFY(QTest::qWaitForWindowActive(&adv));
    QLineEdit* a = box(adv, "FactorEdit");
    QLineEdit* b = box(adv, "OffsetEdit");
    QTRY_VERIFY(a->hasFocus());
    a->selectAll();
    QTest::keyClicks(a, QStringLiteral("0.5"));
    QCOMPARE(adv.a(), 0.5);
    a->selectAll();
    QTest::keyClicks(a, QStringLiteral("-"));
    QCOMPARE(a->text(), QStringLiteral("-"));
    QCOMPARE(adv.a(), 0.5);
    QCOMPARE(box(adv, "ResultEdit")->text(), QStringLiteral("6.25"));
    // Leaving the box with the text unreadable puts the focus back.
    b->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(a->hasFocus());
    // A number followed by a letter: the same.
    QTest::keyClicks(a, QStringLiteral("2x"));
    QCOMPARE(a->text(), QStringLiteral("-2x"));
    QCOMPARE(adv.a(), -2.0);  // "-2" read on the way
    b->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(a->hasFocus());
    QCOMPARE(adv.a(), -2.0);
    // B is guarded the same way.
    a->setText(QStringLiteral("1"));
    b->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(b, QStringLiteral("-"));
    EXPECT_SAME_DOUBLE(adv.b(), 0.0);
    a->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(b->hasFocus());
  }

  // The modal loop itself, driven as a user would.
  void okAnswersAcceptedWithTheLastReadableValues() {
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    FormulaDialog adv(&owner);
    adv.setValues(1, 0, 12.5);
    QTimer::singleShot(0, &adv, [&adv] {
      box(adv, "FactorEdit")->setText(QStringLiteral("0.001"));
      box(adv, "OffsetEdit")->setText(QStringLiteral("-5"));
      box(adv, "OffsetEdit")->setText(QStringLiteral("-5x"));
      adv.findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
    });
    QCOMPARE(adv.exec(), int(QDialog::Accepted));
    EXPECT_SAME_DOUBLE(adv.a(), 0.001);
    EXPECT_SAME_DOUBLE(adv.b(), -5.0);
    QVERIFY(!adv.isVisible());
  }

  void cancelAndEscapeAnswerRejected() {
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    FormulaDialog adv(&owner);
    adv.setValues(1, 0, 12.5);
    QTimer::singleShot(0, &adv, [&adv] { adv.findChild<QPushButton*>(QStringLiteral("CancelButton"))->click(); });
    QCOMPARE(adv.exec(), int(QDialog::Rejected));
    QTimer::singleShot(0, &adv, [&adv] { QTest::keyClick(&adv, Qt::Key_Escape); });
    QCOMPARE(adv.exec(), int(QDialog::Rejected));
  }

  // Every showing fills the boxes again from the values set by the caller.
  void eachShowingStartsFromTheCallersValues() {
    FormulaDialog adv;
    adv.setValues(1, 0, 12.5);
    adv.show();
    box(adv, "FactorEdit")->setText(QStringLiteral("7"));
    adv.hide();
    adv.setValues(2, 3, 4);
    adv.show();
    QCOMPARE(box(adv, "FactorEdit")->text(), QStringLiteral("2"));
    QCOMPARE(box(adv, "ColumnValueEdit")->text(), QStringLiteral("4"));
    QCOMPARE(box(adv, "ResultEdit")->text(), QStringLiteral("11"));
  }

  void untitledAndCentredOnTheMainWindow() {
    QWidget owner;
    owner.setGeometry(100, 80, 499, 473);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    FormulaDialog adv(&owner);
    adv.show();
    QVERIFY(adv.windowTitle().isEmpty());
    QVERIFY(adv.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(adv.width() >= 161 && adv.height() >= 234);
    QVERIFY((adv.frameGeometry().center() - owner.frameGeometry().center()).manhattanLength() <= 2);
    adv.grab().save(QStringLiteral(MIRDAL_BINARY_DIR "/formula_dialog.png"));
  }
};

MIRDAL_UI_TEST_MAIN(formula_dialog_test, FormulaDialogTest);
#include "formula_dialog_test.moc"
