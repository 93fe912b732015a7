#include "build/build_port.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "build/nes_rom.h"
#include "formats/checksums.h"
#include "formats/patches.h"
#include "support/demo_games.h"
#include "support/nes_builder.h"

namespace fs = std::filesystem;
using tbp::Bytes;
using tbp::testkit::makeNesRom;
using tbp::testkit::NesHeaderKind;

namespace {

std::string hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// Something shaped like an SNES image: a deterministic 64 KB body that embeds the NES program.
Bytes portFor(const Bytes& nes) {
  Bytes port(0x10000);
  for (std::size_t i = 0; i < port.size(); ++i) port[i] = static_cast<std::uint8_t>(i * 7 + 3);
  std::copy(nes.begin(), nes.begin() + std::min<std::size_t>(nes.size(), 0x8000),
            port.begin() + 0x8000);
  return port;
}

// A games.json with one game and its base patch in a fresh directory, loaded the way the
// program loads it.
class BuildPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tbp_build_XXXXXX";
    dir_ = mkdtemp(pattern);
    nes_ = makeNesRom({.prgBanks = 2, .chrBanks = 1, .mapper = 1});
    port_ = portFor(nes_);
    patch_ = tbp::createBps(nes_, port_, "Quest SNES");
    writeBytes(patchPath(), patch_);
    const Bytes payload(nes_.begin() + 16, nes_.end());
    std::string header;
    for (int i = 0; i < 16; ++i) header += hex8(nes_[i]).substr(6);
    std::ofstream(dir_ + "/games.json")
        << R"({"games":[{"id":"quest","title":"Quest","base_patch":"quest.bps","nes":{"size":)"
        << nes_.size() << R"(,"crc32":")" << hex8(tbp::crc32(nes_.data(), nes_.size()))
        << R"(","sha256":")" << tbp::sha256Hex(nes_.data(), nes_.size()) << R"(","header":")"
        << header << R"(","payload":{"crc32":")" << hex8(tbp::crc32(payload.data(), payload.size()))
        << R"("}}}]})";
    db_ = tbp::loadGameDatabase(dir_ + "/games.json");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string patchPath() const { return dir_ + "/quest.bps"; }

  // The message of the exception buildPort throws for this NesRom.
  template <typename Error>
  std::string failure(const tbp::NesRom& nes) const {
    try {
      tbp::buildPort(db_, nes);
    } catch (const Error& error) {
      return error.what();
    }
    return "no exception of that type";
  }

  tbp::NesRom claimed(const Bytes& rom) const { return {&db_.games.at(0), rom, ""}; }

  std::string dir_;
  Bytes nes_, port_, patch_;
  tbp::GameDatabase db_;
};

}  // namespace

TEST_F(BuildPortTest, BuildsExactlyThePatchTarget) {
  const tbp::NesRom nes = tbp::identifyNesRom(db_, nes_);
  ASSERT_EQ(nes.game, &db_.games[0]);
  EXPECT_EQ(tbp::buildPort(db_, nes), port_);
}

TEST_F(BuildPortTest, RepairedDumpsBuildTheSamePort) {
  for (NesHeaderKind kind : {NesHeaderKind::Headerless, NesHeaderKind::RipperTag}) {
    const Bytes dump = makeNesRom({.prgBanks = 2, .chrBanks = 1, .mapper = 1, .header = kind});
    const tbp::NesRom nes = tbp::identifyNesRom(db_, dump);
    ASSERT_EQ(nes.game, &db_.games[0]);
    EXPECT_FALSE(nes.note.empty());
    EXPECT_EQ(tbp::buildPort(db_, nes), port_);
  }
}

TEST_F(BuildPortTest, MissingOrUnreadableBasePatchNamesItsPath) {
  fs::remove(patchPath());
  const tbp::NesRom nes = tbp::identifyNesRom(db_, nes_);
  ASSERT_EQ(nes.game, &db_.games[0]);  // recognising never reads the patch
  EXPECT_EQ(failure<std::runtime_error>(nes), "cannot open " + dir_ + "/quest.bps");
  fs::create_directory(patchPath());  // there, but unreadable as a file
  EXPECT_EQ(failure<std::runtime_error>(nes), "read failed: " + dir_ + "/quest.bps");
}

TEST_F(BuildPortTest, PatchEngineChecksPassThroughUnchanged) {
  Bytes wrongDump = nes_;
  wrongDump[100] ^= 0xFF;
  EXPECT_EQ(failure<tbp::PatchError>(claimed(wrongDump)),
            "BPS: this is not the ROM the patch was made for (source CRC mismatch)");
  Bytes shorter(nes_.begin(), nes_.end() - 1);
  EXPECT_EQ(failure<tbp::PatchError>(claimed(shorter)),
            "BPS: wrong source size (expected " + std::to_string(nes_.size()) + " bytes, got " +
                std::to_string(shorter.size()) + ")");

  Bytes damaged = patch_;
  damaged[damaged.size() / 2] ^= 0x01;
  writeBytes(patchPath(), damaged);
  EXPECT_EQ(failure<tbp::PatchError>(claimed(nes_)),
            "BPS: the patch file is damaged (patch CRC mismatch)");

  // A patch whose listed target CRC32 is wrong but whose own CRC32 is consistent.
  Bytes forged = patch_;
  forged[forged.size() - 8] ^= 0x01;
  const std::uint32_t crc = tbp::crc32(forged.data(), forged.size() - 4);
  for (int i = 0; i < 4; ++i)
    forged[forged.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
  writeBytes(patchPath(), forged);
  EXPECT_EQ(failure<tbp::PatchError>(claimed(nes_)),
            "BPS: result does not match (target CRC mismatch)");

  writeBytes(patchPath(), Bytes{'n', 'o', 'p', 'e'});
  EXPECT_EQ(failure<tbp::PatchError>(claimed(nes_)), "not a BPS patch");
}

TEST_F(BuildPortTest, RefusesARomWithoutAGame) {
  EXPECT_THROW(tbp::buildPort(db_, tbp::NesRom{}), std::invalid_argument);
}

TEST(BuildPortEndToEnd, EveryDemoDumpBuildsItsPort) {
  char pattern[] = "/tmp/tbp_demo_XXXXXX";
  const std::string dir = mkdtemp(pattern);
  tbp::testkit::writeDemoDatabase(dir);
  const auto path = tbp::locateGameDatabase(dir, "/nonexistent");
  ASSERT_EQ(path, dir + "/games/games.json");
  const tbp::GameDatabase db = tbp::loadGameDatabase(*path);
  const auto demos = tbp::testkit::demoGames();
  ASSERT_EQ(db.games.size(), demos.size());
  for (std::size_t i = 0; i < demos.size(); ++i) {
    const auto& demo = demos[i];
    const tbp::NesRom nes = tbp::identifyNesRom(db, demo.dump);
    ASSERT_EQ(nes.game, &db.games[i]) << demo.game.title;
    EXPECT_EQ(nes.game->title, demo.game.title);
    EXPECT_EQ(nes.rom, demo.game.nes) << demo.game.title;
    EXPECT_EQ(nes.note.empty(), demo.dump == demo.game.nes) << demo.game.title;
    EXPECT_EQ(tbp::buildPort(db, nes), demo.game.image) << demo.game.title;
  }
  fs::remove_all(dir);
}
