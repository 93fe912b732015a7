// info on NES ROMs, ports and other files, as text and as JSON read back with the project's
// own reader.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "formats/json.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

namespace {

using clitest::demo;
using clitest::runCli;
using clitest::ScratchDir;

tbp::JsonValue infoJson(const std::vector<std::string>& arguments, const std::string& dir) {
  const auto run = runCli(arguments, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  return tbp::parseJson(run.out);
}

std::vector<std::string> texts(const tbp::JsonValue& array) {
  std::vector<std::string> out;
  for (const tbp::JsonValue& item : array.items()) out.push_back(item.text());
  return out;
}

TEST(CliInfo, NesDumpsNameTheirGame) {
  struct Case {
    std::size_t game;
    bool exact;
    std::string note;
  };
  const std::vector<Case> cases = {
      {0, true, ""},
      {1, false, "no iNES header: the expected header was added"},
      {2, false, "same game data with a different iNES header: the expected header was used"},
  };
  for (const Case& c : cases) {
    const std::string dump = demo().dump(c.game);
    const tbp::JsonValue info =
        infoJson({"info", dump, "--games", demo().gamesDir, "--json"}, demo().dir.path());
    const std::string& title = demo().games[c.game].game.title;
    EXPECT_EQ(info.get("kind").text(), "nes") << title;
    EXPECT_EQ(info.get("game").get("title").text(), title);
    EXPECT_EQ(info.get("match").get("exact").boolean(), c.exact) << title;
    EXPECT_EQ(info.get("match").get("note").text(), c.note) << title;
    EXPECT_EQ(info.get("size").number(), double(demo().games[c.game].dump.size())) << title;
    EXPECT_EQ(info.get("ines_header").isNull(), c.game == 1) << title;
    // Without --games the tool finds games/ in the working directory, as the window does.
    const auto text = runCli({"info", dump}, demo().dir.path());
    EXPECT_NE(text.out.find("\n  Game" + std::string(15, ' ') + title + "\n"), std::string::npos)
        << text.out;
  }
}

TEST(CliInfo, UnknownNesRomGetsTheReport) {
  ScratchDir dir;
  tbp::testkit::NesRomOptions options;
  options.seed = 999;
  tbp::testkit::writeFixtureFile(dir.file("Bexulo Demo Quest (Rev 1).nes"),
                                 tbp::testkit::makeNesRom(options));
  const tbp::JsonValue info =
      infoJson({"info", "Bexulo Demo Quest (Rev 1).nes", "--games", demo().gamesDir, "--json"},
               dir.path().string());
  EXPECT_TRUE(info.get("match").isNull());
  EXPECT_TRUE(info.get("game").isNull());
  EXPECT_EQ(info.get("report").text().rfind("This file doesn't match any ROM", 0), 0U);
  EXPECT_NE(info.get("report").text().find("It looks like Bexulo Demo Quest"), std::string::npos);
}

TEST(CliInfo, PortReportsItsManifestAndSource) {
  ScratchDir dir;
  const tbp::Bytes nes = demo().games[0].game.nes;
  tbp::testkit::PortOptions options;
  options.paletteSlot = 6;
  options.switchesOn = {9, 12, 20};
  options.fontCount = 3;
  options.msuSongs = {{0x01, "Title"}, {0x0A, "Boss \x01 \xFF"}};
  const auto fixture = tbp::testkit::makePortFixture(nes, options);
  // A copier header in front is left out, as when the window opens the file.
  tbp::Bytes file(512, 0);
  file.insert(file.end(), fixture.image.begin(), fixture.image.end());
  tbp::testkit::writeFixtureFile(dir.file("port.smc"), file);

  const auto run = runCli({"info", "port.smc", "--games", demo().gamesDir, "--json"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  // Texts from the file are escaped: a control byte as \u0001, a stray byte as U+FFFD.
  EXPECT_NE(run.out.find("\"Boss \\u0001 \xEF\xBF\xBD\""), std::string::npos) << run.out;
  const tbp::JsonValue info = tbp::parseJson(run.out);
  EXPECT_EQ(info.get("kind").text(), "port");
  EXPECT_TRUE(info.get("copier_header").boolean());
  EXPECT_EQ(info.get("size").number(), double(file.size()));
  EXPECT_EQ(info.get("image").get("size").number(), double(fixture.image.size()));
  EXPECT_TRUE(info.get("snes_header").get("checksum_valid").boolean());
  const tbp::JsonValue& manifest = info.get("manifest");
  EXPECT_EQ(manifest.get("palette_slot").number(), 6);
  EXPECT_EQ(texts(manifest.get("switches_on")),
            (std::vector<std::string>{"soft_reset", "freeze", "msu1", "fastrom"}));
  EXPECT_EQ(manifest.get("fonts").items().size(), 3U);
  // Slots 1 and 2 carry a sound in the fixture.
  ASSERT_EQ(manifest.get("splash_sounds").items().size(), 2U);
  EXPECT_EQ(manifest.get("splash_sounds").items()[0].number(), 1);
  EXPECT_EQ(manifest.get("splash_sounds").items()[1].number(), 2);
  EXPECT_EQ(manifest.get("msu1").get("songs").items().size(), 2U);
  EXPECT_EQ(manifest.get("content_end").number(), double(fixture.places.contentEnd));
  const tbp::JsonValue& source = info.get("source_nes");
  EXPECT_EQ(source.get("game").get("title").text(), demo().games[0].game.title);
  EXPECT_EQ(source.get("embedded").get("offset").number(), double(fixture.places.embeddedNes));
  EXPECT_EQ(source.get("embedded").get("size").number(), double(nes.size()));
}

TEST(CliInfo, OtherFilesGetTheVerdictAndMissingDatabasesAreRefused) {
  ScratchDir dir;
  tbp::Bytes snes(0x8000, 0);
  const std::string title = "SOME OTHER GAME      ";
  std::copy(title.begin(), title.end(), snes.begin() + 0x7FC0);
  tbp::testkit::writeFixtureFile(dir.file("other.sfc"), snes);
  const tbp::JsonValue info = infoJson({"info", "other.sfc", "--json"}, dir.path().string());
  EXPECT_EQ(info.get("kind").text(), "other");
  EXPECT_EQ(info.get("verdict").text(),
            "It's \"SOME OTHER GAME\" (from its SNES header), not a TEAM Bexulo port (no ZUVU "
            "manifest).");

  const auto missing = runCli({"info", demo().dump(0), "--games", "nowhere"}, dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "cannot open nowhere/games.json\n");
}

}  // namespace
