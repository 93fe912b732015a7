// The demo database a fresh build ships with: every demo dump must lead to a working port.
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <unistd.h>

#include "build/build_port.h"
#include "build/files.h"
#include "build/game_database.h"
#include "build/nes_rom.h"
#include "formats/checksums.h"
#include "formats/json.h"
#include "formats/patches.h"
#include "port/port_image.h"
#include "support/demo_games.h"

namespace {

using tbp::Bytes;
using tbp::testkit::DemoGame;

const std::vector<DemoGame>& demos() {
  static const std::vector<DemoGame> games = tbp::testkit::demoGames();
  return games;
}

Bytes payloadOf(const Bytes& file) {
  const bool header =
      file.size() >= 16 && file[0] == 'N' && file[1] == 'E' && file[2] == 'S' && file[3] == 0x1A;
  return Bytes(file.begin() + (header ? 16 : 0), file.end());
}

TEST(DemoDatabase, GamesAreClearlyNamedAndDistinct) {
  ASSERT_EQ(demos().size(), 3u);
  std::set<std::string> ids, files, crcs;
  for (const DemoGame& demo : demos()) {
    EXPECT_EQ(demo.game.title.rfind("Bexulo Demo ", 0), 0u) << demo.game.title;
    ids.insert(demo.game.id);
    files.insert(demo.dumpName);
    crcs.insert(std::to_string(tbp::crc32(demo.game.nes.data(), demo.game.nes.size())));
  }
  EXPECT_EQ(ids.size(), 3u);
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(crcs.size(), 3u);
}

// Quest's dump is the expected file; Racer's lacks the header; Castle's header carries a tag.
// Each has exactly the game data of the expected file.
TEST(DemoDatabase, DumpsNeedTheIntendedRepair) {
  const DemoGame& quest = demos()[0];
  const DemoGame& racer = demos()[1];
  const DemoGame& castle = demos()[2];
  EXPECT_EQ(quest.dump, quest.game.nes);
  EXPECT_EQ(racer.dump, payloadOf(racer.game.nes));
  EXPECT_NE(castle.dump, castle.game.nes);
  EXPECT_EQ(payloadOf(castle.dump), payloadOf(castle.game.nes));
  EXPECT_EQ(std::string(castle.dump.begin() + 7, castle.dump.begin() + 16), "DiskDude!");
}

TEST(DemoDatabase, WrittenFilesBuildWorkingPorts) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tbp_demo_db_" + std::to_string(::getpid()));
  const std::string path = tbp::testkit::writeDemoDatabase(dir.string());
  EXPECT_EQ(path, (dir / "games" / "games.json").string());
  const Bytes json = tbp::readFile(path);
  const tbp::JsonValue root = tbp::parseJson(std::string(json.begin(), json.end()));
  const auto& games = root.get("games").items();
  ASSERT_EQ(games.size(), demos().size());
  for (std::size_t i = 0; i < games.size(); ++i) {
    const DemoGame& demo = demos()[i];
    SCOPED_TRACE(demo.game.title);
    EXPECT_EQ(games[i].get("title").text(), demo.game.title);
    EXPECT_EQ(tbp::readFile((dir / "demo" / demo.dumpName).string()), demo.dump);
    const Bytes patch = tbp::readFile((dir / "games" / games[i].get("base_patch").text()).string());
    const Bytes built = tbp::applyBps(demo.game.nes, patch);
    ASSERT_EQ(built, demo.game.image);
    const tbp::PortImage port(built);
    EXPECT_TRUE(port.isPort());
    EXPECT_TRUE(port.checksumValid());
    EXPECT_EQ(port.layout().layoutVersion, 1);
    EXPECT_TRUE(port.hasFonts());
    EXPECT_EQ(port.embeddedNes(), demo.game.nes);
  }
  std::filesystem::remove_all(dir);
}

// The whole road of a user: the demo dump is recognised (repaired where it must be) and the
// game's base patch builds the port.
TEST(DemoDatabase, EveryDumpIsRecognisedAndBuilt) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tbp_demo_road_" + std::to_string(::getpid()));
  tbp::testkit::writeDemoDatabase(dir.string());
  const auto located = tbp::locateGameDatabase(dir.string(), "/nonexistent");
  ASSERT_TRUE(located.has_value());
  const tbp::GameDatabase database = tbp::loadGameDatabase(*located);
  ASSERT_EQ(database.games.size(), 3u);
  const char* notes[] = {
      "", "no iNES header: the expected header was added",
      "same game data with a different iNES header: the expected header was used"};
  for (std::size_t i = 0; i < demos().size(); ++i) {
    const DemoGame& demo = demos()[i];
    SCOPED_TRACE(demo.game.title);
    const Bytes dump = tbp::readFile((dir / "demo" / demo.dumpName).string());
    const tbp::NesRom nes = tbp::identifyNesRom(database, dump);
    ASSERT_EQ(nes.game, &database.games[i]);
    EXPECT_EQ(nes.note, notes[i]);
    EXPECT_EQ(nes.rom, demo.game.nes);
    EXPECT_EQ(database.findExact(demo.game.nes), &database.games[i]);
    EXPECT_TRUE(tbp::nameMatches(database.games[i], demo.dumpName));
    EXPECT_EQ(tbp::buildPort(database, nes), demo.game.image);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
