// The main of the combined Qt Test executable: every tests/gui/<subject>_test.cpp is compiled
// with its QTEST_MAIN renamed to tbp_gui_test_<subject>_test, and "gui_tests SUBJECT_test
// [Qt Test options]" runs that one file's test object in a process of its own, as its own
// executable did.
#include <cstdio>
#include <cstring>

#include "gui_test_list.h"

#define TBP_DECLARE_GUI_TEST(name) int tbp_gui_test_##name(int argc, char** argv);
TBP_GUI_TEST_LIST(TBP_DECLARE_GUI_TEST)

namespace {

struct GuiTest {
  const char* name;
  int (*run)(int argc, char** argv);
};

#define TBP_GUI_TEST_ENTRY(name) {#name, &tbp_gui_test_##name},
constexpr GuiTest kGuiTests[] = {TBP_GUI_TEST_LIST(TBP_GUI_TEST_ENTRY)};

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s TEST [Qt Test options]\ntests:\n", program);
  for (const GuiTest& test : kGuiTests) std::fprintf(stderr, "  %s\n", test.name);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(argv[0]);
  for (const GuiTest& test : kGuiTests) {
    if (std::strcmp(argv[1], test.name) != 0) continue;
    // The test sees its own options only, after the program's name.
    argv[1] = argv[0];
    return test.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "%s: no test named %s\n", argv[0], argv[1]);
  return usage(argv[0]);
}
