// The names the program proposes for what it writes: they must agree with the window's, which
// takes them apart the way Qt's file information does.
#include <filesystem>
#include <gtest/gtest.h>

#include "build/paths.h"

namespace {

TEST(OutputNames, CompleteBaseNameDropsOnlyTheLastSuffix) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/roms/Some Game (USA).nes", "Some Game (USA)"},
      {"Port Update.v2.bps", "Port Update.v2"},
      {"noextension", "noextension"},
      {"/a.dir/file", "file"},
      {".bps", ""},
      {"dir/", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(tbp::completeBaseName(path), name) << path;
}

TEST(OutputNames, DirectoriesAreAbsoluteAndClean) {
  const std::string here = std::filesystem::current_path().string();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/out/Game.sfc", "/out"}, {"/out/sub/../Game.sfc", "/out"}, {"/Game.sfc", "/"},
      {"Game.sfc", here},        {"./x/./Game.sfc", here + "/x"},
  };
  for (const auto& [path, directory] : cases)
    EXPECT_EQ(tbp::absoluteDirectory(path), directory) << path;
}

}  // namespace
