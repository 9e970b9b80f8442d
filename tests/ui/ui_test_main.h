#pragma once

// The window tests are one program, ui_tests: each test file registers what
// its own program's main() would run, under the file's name, and
//   ui_tests <name> [QTest options]
// runs that one as if it were the program <name>, in a process of its own.

#include <QApplication>
#include <QtTest>

namespace mirdal::testing {

using UiTestMain = int (*)(int argc, char** argv);
bool registerUiTest(const char* name, UiTestMain main);

}  // namespace mirdal::testing

// A main() of the test file's own, registered as `name`.
#define MIRDAL_UI_TEST_CUSTOM_MAIN(name, function) \
  [[maybe_unused]] static const bool registeredUiTest_##name = mirdal::testing::registerUiTest(#name, function)

// What QTEST_MAIN(TestObject) starts: a QApplication at 96 dpi, the class's
// initMain(), then its test functions.
#define MIRDAL_UI_TEST_MAIN(name, TestObject)                   \
  static int uiTestMain_##name(int argc, char** argv) {         \
    QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>(); \
    QTEST_MAIN_SETUP()                                          \
    TestObject tc;                                              \
    QTEST_SET_MAIN_SOURCE_PATH                                  \
    return QTest::qExec(&tc, argc, argv);                       \
  }                                                             \
  MIRDAL_UI_TEST_CUSTOM_MAIN(name, uiTestMain_##name)
