// The one program of the window tests: runs the test file named by its
// first argument (see ui_test_main.h).

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "ui/ui_test_main.h"

namespace mirdal::testing {
namespace {

std::map<std::string, UiTestMain>& uiTests() {
  static std::map<std::string, UiTestMain> tests;
  return tests;
}

}  // namespace

bool registerUiTest(const char* name, UiTestMain main) {
  return uiTests().emplace(name, main).second;
}

}  // namespace mirdal::testing

int main(int argc, char** argv) {
  const auto& tests = mirdal::testing::uiTests();
  const auto test = argc >= 2 ? tests.find(argv[1]) : tests.end();
  if (test == tests.end()) {
    std::fprintf(stderr, "Usage: %s <test> [QTest options]\nTests:\n", argv[0]);
    for (const auto& [name, main] : tests) std::fprintf(stderr, "  %s\n", name.c_str());
    return 2;
  }
  // The test sees its own name as the program's, and its options after it.
  return test->second(argc - 1, argv + 1);
}
