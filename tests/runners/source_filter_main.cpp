// The main of the combined GoogleTest executables (every tests/core file in one, every
// tests/cli file in another). "--source=NAME" runs only the tests defined in the source file
// NAME, so that ctest keeps one entry per test file; without it every test runs.
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

constexpr std::string_view kSourceOption = "--source=";

// Removes "--source=NAME" from the arguments and returns NAME (empty when absent).
std::string takeSourceOption(int& argc, char** argv) {
  std::string source;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.substr(0, kSourceOption.size()) == kSourceOption)
      source = std::string(argument.substr(kSourceOption.size()));
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  argv[argc] = nullptr;
  return source;
}

bool definedIn(const testing::TestInfo& test, const std::string& source) {
  const std::string_view file = test.file();
  return file == source ||
         (file.size() > source.size() && file.ends_with(source) &&
          file[file.size() - source.size() - 1] == '/');
}

// The filter naming every test defined in source, or empty when there is none.
std::string filterForSource(const std::string& source) {
  std::string filter;
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  for (int s = 0; s < unit.total_test_suite_count(); ++s) {
    const testing::TestSuite& suite = *unit.GetTestSuite(s);
    for (int t = 0; t < suite.total_test_count(); ++t) {
      const testing::TestInfo& test = *suite.GetTestInfo(t);
      if (!definedIn(test, source)) continue;
      if (!filter.empty()) filter += ':';
      filter += std::string(test.test_suite_name()) + '.' + test.name();
    }
  }
  return filter;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string source = takeSourceOption(argc, argv);
  testing::InitGoogleMock(&argc, argv);
  if (!source.empty()) {
    const std::string filter = filterForSource(source);
    if (filter.empty()) {
      std::cerr << "no test is defined in " << source << "\n";
      return 1;
    }
    GTEST_FLAG_SET(filter, filter);
  }
  return RUN_ALL_TESTS();
}
