// Scanning a folder of dumps: exact, headerless, header-repaired, near-miss and unknown files,
// in subfolders, with links that must not be followed.
#include "build/rom_scan.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "support/database_builder.h"
#include "support/demo_games.h"
#include "support/nes_builder.h"

namespace fs = std::filesystem;
using tbp::ScanMatch;

namespace {

class RomScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tbp_scan_XXXXXX").string();
    root = mkdtemp(pattern.data());
    database = tbp::loadGameDatabase(tbp::testkit::writeDemoDatabase(root.string()));
  }
  void TearDown() override { fs::remove_all(root); }

  const tbp::ScanResult* find(const std::vector<tbp::ScanResult>& results, const std::string& path) {
    for (const tbp::ScanResult& result : results)
      if (result.path == path) return &result;
    return nullptr;
  }

  fs::path root;
  tbp::GameDatabase database;
};

}  // namespace

TEST_F(RomScanTest, ReportsEachDumpByHowItMatches) {
  const std::vector<tbp::testkit::DemoGame> games = tbp::testkit::demoGames();
  const fs::path demo = root / "demo";
  // A bad dump of the first game under its own name, an unknown ROM and a file that is no ROM.
  tbp::Bytes bad = games[0].dump;
  bad[bad.size() / 2] ^= 0x01;
  tbp::testkit::writeFixtureFile((demo / "more" / games[0].dumpName).string(), bad);
  tbp::testkit::NesRomOptions other;
  other.seed = 99;
  other.prgBanks = 8;
  other.chrBanks = 0;
  other.mapper = 4;
  tbp::testkit::writeFixtureFile((demo / "more" / "Mystery (J).nes").string(),
                                 tbp::testkit::makeNesRom(other));
  tbp::testkit::writeFixtureFile((demo / "notes.txt").string(), tbp::Bytes{'h', 'i'});
  // Links out of the folder, to a folder and to a file, are not followed.
  tbp::testkit::writeFixtureFile((root / "elsewhere" / "Far.nes").string(), games[0].dump);
  fs::create_directory_symlink(root / "elsewhere", demo / "linked");
  fs::create_symlink(root / "elsewhere" / "Far.nes", demo / "Far link.nes");

  for (const unsigned threads : {1u, 4u}) {
    const std::vector<tbp::ScanResult> results = tbp::scanFolder(demo.string(), database, threads);
    EXPECT_EQ(results.size(), games.size() + 2) << threads;
    for (const tbp::testkit::DemoGame& game : games) {
      const tbp::ScanResult* result = find(results, game.dumpName);
      ASSERT_NE(result, nullptr) << game.dumpName;
      ASSERT_NE(result->game, nullptr) << game.dumpName;
      EXPECT_EQ(result->game->title, game.game.title);
      EXPECT_EQ(result->size, game.dump.size());
    }
    EXPECT_EQ(find(results, games[0].dumpName)->match, ScanMatch::Exact);
    EXPECT_EQ(find(results, games[1].dumpName)->match, ScanMatch::Headerless);
    EXPECT_EQ(find(results, games[2].dumpName)->match, ScanMatch::HeaderRepaired);
    const tbp::ScanResult* near = find(results, "more/" + games[0].dumpName);
    ASSERT_NE(near, nullptr);
    EXPECT_EQ(near->match, ScanMatch::NearMiss);
    EXPECT_EQ(near->game->title, games[0].game.title);
    EXPECT_NE(near->report.find("doesn't match any ROM"), std::string::npos);
    const tbp::ScanResult* unknown = find(results, "more/Mystery (J).nes");
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->match, ScanMatch::Unknown);
    EXPECT_EQ(unknown->game, nullptr);
  }
  EXPECT_THROW(tbp::scanFolder((root / "missing").string(), database), std::runtime_error);
}
