#include "build/msu_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(MsuFiles, NamesFollowTheSavedFile) {
  const std::string cwd = fs::current_path().string();
  const std::pair<std::string, std::string> rows[] = {
      {"/out/Game.sfc", "/out/Game"},      {"/out/a.b.bps", "/out/a.b"},
      {"/out/Game", "/out/Game"},          {"/out/d.x/G.sfc", "/out/d.x/G"},
      {"/out/x/../Game.sfc", "/out/Game"}, {"/Game.sfc", "/Game"},
      {"rel/Game.sfc", cwd + "/rel/Game"}};
  for (const auto& [saved, base] : rows) EXPECT_EQ(tbp::msuBasePath(saved), base) << saved;
  EXPECT_EQ(tbp::msuMarkerPath("/out/Game"), "/out/Game.msu");
  EXPECT_EQ(tbp::msuTrackPath("/out/Game", 10), "/out/Game-10.pcm");
}

}  // namespace
