// settings, build --settings and the Controls options, scan, the header report in info, and
// created IPS / UPS patches, each through the real bexulo-cli.
#include <gtest/gtest.h>

#include "build/build_port.h"
#include "build/nes_rom.h"
#include "cli_runner.h"
#include "formats/json.h"
#include "formats/patches.h"
#include "port/button_map.h"
#include "port/port_image.h"

namespace {

using clitest::demo;
using clitest::runCli;
using clitest::ScratchDir;

std::vector<std::string> build(std::size_t game, const std::string& output,
                               std::vector<std::string> settings) {
  std::vector<std::string> arguments = {"build", demo().dump(game), "-o", output, "--games",
                                        demo().gamesDir};
  arguments.insert(arguments.end(), settings.begin(), settings.end());
  return arguments;
}

tbp::PortImage defaultPort(std::size_t game) {
  static const tbp::GameDatabase database = tbp::loadGameDatabase(demo().gamesDir + "/games.json");
  return tbp::PortImage(tbp::buildPort(database, tbp::identifyNesRom(database, demo().games[game].dump)));
}

const std::vector<std::string> kControls = {
    "--preset", "No turbo", "--button", "A=Turbo B", "--button", "l=nothing", "--turbo", "7",
    "--chord",  "90",       "--splash-sound", "2=off", "--set", "freeze=on", "--palette", "6"};

}  // namespace

TEST(CliSettings, ControlsOptionsWriteTheBytesOfTheCoreOperations) {
  ScratchDir dir;
  const auto run = runCli(build(0, "out.sfc", kControls), dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  tbp::PortImage expected = defaultPort(0);
  expected.setSwitch(20, true);
  expected.setPaletteSlot(6);
  for (int button = 0; button < tbp::snesButtonCount; ++button)
    expected.setButtonAction(button, tbp::buttonPresets()[3].map[std::size_t(button)]);
  expected.setButtonAction(8, 9);
  expected.setButtonAction(10, 0xFF);
  expected.setTurboCycle(7);
  expected.setChordHold(90);
  expected.clearSplashSound(1);
  expected.fixChecksum();
  EXPECT_TRUE(tbp::readFile(dir.file("out.sfc")) == expected.bytes());
}

TEST(CliSettings, APrintedDocumentRebuildsTheSamePort) {
  ScratchDir dir;
  ASSERT_EQ(runCli(build(0, "set.sfc", kControls), dir.path()).status, 0);
  const auto printed = runCli({"settings", "set.sfc", "--games", demo().gamesDir}, dir.path());
  ASSERT_EQ(printed.status, 0) << printed.err;
  EXPECT_EQ(printed.err, "");  // the port's own was built from the copy inside it
  const tbp::JsonValue document = tbp::parseJson(printed.out);
  EXPECT_EQ(document.get("version").number(), 1);
  EXPECT_EQ(document.get("buttons").get("A").text(), "Turbo B");
  EXPECT_EQ(document.get("turbo").number(), 7);
  tbp::testkit::writeFixtureFile(dir.file("settings.json"),
                                 tbp::Bytes(printed.out.begin(), printed.out.end()));
  const auto rebuilt = runCli(build(0, "again.sfc", {"--settings", "settings.json"}), dir.path());
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_EQ(rebuilt.err, "");
  EXPECT_TRUE(tbp::readFile(dir.file("again.sfc")) == tbp::readFile(dir.file("set.sfc")));
}

TEST(CliSettings, ADocumentListsWhatThePortSkipsAndRefusesUnknownKeys) {
  ScratchDir dir;
  const std::string document = R"({"version": 1, "palette": 3,
      "glyphs": [{"font": "font 0", "glyph": 40, "rows": "0102030405060708"}],
      "msu1": [{"song": 63, "loop": true}]})";
  tbp::testkit::writeFixtureFile(dir.file("other.json"), tbp::Bytes(document.begin(), document.end()));
  const auto run = runCli(build(1, "out.sfc", {"--settings", "other.json"}), dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  // Beside the header-repair note of the headerless dump, one line names the one skip.
  EXPECT_NE(run.err.find("Skipped MSU-1 song 63: this port has no such song\n"), std::string::npos);
  EXPECT_EQ(run.err.find("Skipped"), run.err.rfind("Skipped"));
  const tbp::PortImage port(tbp::readFile(dir.file("out.sfc")));
  EXPECT_EQ(port.paletteSlot(), 3);
  EXPECT_TRUE(port.glyph(0, 40) == (tbp::Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

  const std::string wrong = R"({"version": 1, "buttons": {"A": "NES A"}, "volume": 11})";
  tbp::testkit::writeFixtureFile(dir.file("wrong.json"), tbp::Bytes(wrong.begin(), wrong.end()));
  const auto refused = runCli(build(1, "no.sfc", {"--settings", "wrong.json"}), dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "wrong.json: settings: unknown key 'volume'\n");
  const auto badButton = runCli(build(1, "no.sfc", {"--button", "Z=NES A"}), dir.path());
  EXPECT_EQ(badButton.status, 2);
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"other.json", "out.sfc", "wrong.json"}));
}

TEST(CliSettings, HelpBuildListsThePortsOwnValues) {
  const auto run = runCli({"help", "build", demo().dump(0)}, demo().dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("--splash-sound SLOT=off"), std::string::npos);
  EXPECT_NE(run.out.find("The values of " + demo().games[0].dumpName), std::string::npos);
  EXPECT_NE(run.out.find(" soft_reset=on"), std::string::npos);
  EXPECT_NE(run.out.find(" L=(nothing);"), std::string::npos);
  const std::string turbo = "  --turbo " + std::to_string(defaultPort(0).turboCycle()) + "\n";
  EXPECT_NE(run.out.find(turbo), std::string::npos) << run.out;
}

TEST(CliScan, JsonNamesEachDumpAndHowItMatched) {
  const auto run = runCli({"scan", "demo", "--json", "--games", demo().gamesDir}, demo().dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const tbp::JsonValue results = tbp::parseJson(run.out);
  std::map<std::string, std::string> matches;
  for (const tbp::JsonValue& item : results.items())
    matches[item.get("path").text()] = item.get("match").text();
  EXPECT_EQ(matches, (std::map<std::string, std::string>{
                         {demo().games[0].dumpName, "exact"},
                         {demo().games[1].dumpName, "headerless"},
                         {demo().games[2].dumpName, "header repaired"}}));
}

TEST(CliInfo, ReportsTheHeaderOfAnySnesRom) {
  ScratchDir dir;
  tbp::Bytes rom(0x80000, 0x00);
  const char title[] = "SOME OTHER GAME      ";
  std::copy(title, title + 21, rom.begin() + 0xFFC0);
  rom[0xFFD5] = 0x31, rom[0xFFD7] = 0x09, rom[0xFFD9] = 0x02;
  rom[0xFFDC] = 0x12, rom[0xFFDD] = 0x34, rom[0xFFDE] = 0xED, rom[0xFFDF] = 0xCB;
  rom[0xFFFD] = 0x80;
  tbp::testkit::writeFixtureFile(dir.file("other.sfc"), rom);
  const auto run = runCli({"info", "other.sfc"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("HiROM at $00FFC0"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"SOME OTHER GAME\""), std::string::npos);
  EXPECT_NE(run.out.find("declared 512 KB, file 512 KB - fits"), std::string::npos);
  EXPECT_NE(run.out.find("$CBED - WRONG, should be $"), std::string::npos);
  const auto json = runCli({"info", "other.sfc", "--json"}, dir.path());
  const tbp::JsonValue report = tbp::parseJson(json.out).get("header_report");
  EXPECT_EQ(report.get("mapping").text(), "HiROM");
  EXPECT_FALSE(report.get("checksum").get("valid").boolean());
  EXPECT_EQ(report.get("region").get("text").text(), "Europe");
}

TEST(CliPatches, CreatedIpsAndUpsApplyBackAndUpsUndoesItself) {
  ScratchDir dir;
  const tbp::Bytes& source = demo().games[0].dump;
  ASSERT_EQ(runCli(build(0, "port.sfc", {}), dir.path()).status, 0);
  const tbp::Bytes target = tbp::readFile(dir.file("port.sfc"));
  for (const std::string format : {"ips", "ups"}) {
    const auto created =
        runCli({"create", demo().dump(0), "port.sfc", "--" + format, "-o", "p." + format}, dir.path());
    ASSERT_EQ(created.status, 0) << created.err;
    const auto applied = runCli({"apply", "p." + format, demo().dump(0), "-o", format + ".sfc"}, dir.path());
    ASSERT_EQ(applied.status, 0) << applied.err;
    EXPECT_TRUE(tbp::readFile(dir.file(format + ".sfc")) == target) << format;
  }
  const auto undone = runCli({"apply", "p.ups", "port.sfc", "-o", "back.nes"}, dir.path());
  ASSERT_EQ(undone.status, 0) << undone.err;
  EXPECT_NE(undone.out.find("the UPS patch undone"), std::string::npos);
  EXPECT_TRUE(tbp::readFile(dir.file("back.nes")) == source);
  const auto wrong = runCli({"apply", "p.ups", demo().dump(1), "-o", "no.sfc"}, dir.path());
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "UPS: this is not the ROM the patch was made for (CRC mismatch)\n");
  EXPECT_EQ(runCli({"create", "a", "b", "--ips", "--ups"}, dir.path()).status, 2);
}
