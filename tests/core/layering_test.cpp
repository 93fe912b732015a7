// The core (formats, port, build) must stay free of Qt so it can be tested and reused without a
// GUI; the command-line tool, built on the core alone, too.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSourceRoot = fs::path(TBP_TEST_DATA_DIR).parent_path().parent_path() / "src";

std::vector<std::string> qtIncludesIn(const std::string& layer) {
  static const std::regex qtInclude(R"(^\s*#\s*include\s*[<"](Q[A-Za-z]|qt[a-z]*/))");
  std::vector<std::string> offenders;
  for (const auto& entry : fs::recursive_directory_iterator(kSourceRoot / layer)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path());
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (std::regex_search(line, qtInclude)) {
        offenders.push_back(entry.path().string() + ":" + std::to_string(number) + ": " + line);
      }
    }
  }
  return offenders;
}

TEST(Layering, CoreAndCommandLineIncludeNoQtHeader) {
  for (const char* layer : {"formats", "port", "build", "cli"}) {
    ASSERT_TRUE(fs::is_directory(kSourceRoot / layer)) << layer;
    const auto offenders = qtIncludesIn(layer);
    EXPECT_TRUE(offenders.empty()) << offenders.front();
  }
}

TEST(Layering, TheCheckRecognisesAQtInclude) {
  // The GUI layer does include Qt: if the pattern found nothing there, it would find nothing
  // anywhere.
  EXPECT_FALSE(qtIncludesIn("app").empty());
}

}  // namespace
