// build: the port the tool writes is the one a test makes itself from the same NES ROM with the
// core operations, byte for byte, and a refused build leaves nothing behind.
#include <functional>
#include <gtest/gtest.h>

#include "build/audio.h"
#include "build/build_port.h"
#include "build/nes_rom.h"
#include "cli_runner.h"
#include "formats/patches.h"
#include "port/game_genie.h"
#include "support/game_genie_encoder.h"
#include "support/wav_writer.h"

namespace {

using clitest::demo;
using clitest::runCli;
using clitest::ScratchDir;

// The default build of a demo game from its dump, and the NES bytes codes are matched with.
struct Built {
  tbp::NesRom nes;
  tbp::PortImage port;
};

Built defaultBuild(std::size_t game) {
  static const tbp::GameDatabase database = tbp::loadGameDatabase(demo().gamesDir + "/games.json");
  Built built;
  built.nes = tbp::identifyNesRom(database, demo().games[game].dump);
  built.port = tbp::PortImage(tbp::buildPort(database, built.nes));
  return built;
}

std::vector<std::string> buildArguments(std::size_t game, const std::string& output,
                                        const std::vector<std::string>& settings) {
  std::vector<std::string> arguments = {"build", demo().dump(game), "-o",
                                        output,  "--games",         demo().gamesDir};
  arguments.insert(arguments.end(), settings.begin(), settings.end());
  return arguments;
}

TEST(CliBuild, SettingsGiveTheBytesOfTheCoreOperations) {
  struct Case {
    const char* name;
    std::size_t game;
    std::vector<std::string> settings;
    std::function<void(Built&)> expected;  // the same choices, made with the core itself
  };
  const std::string code = tbp::testkit::encodeGameGenie(0x8123, 0x42);
  const std::string fixedCode = tbp::testkit::encodeGameGenie(0xC456, 0x17);
  const std::vector<Case> cases = {
      {"switches, palette, smallest",
       0,
       {"--set", "freeze=on", "--set", "soft_reset=off", "--palette", "5", "--size", "smallest"},
       [](Built& b) {
         b.port.setSwitch(20, true);
         b.port.setSwitch(9, false);
         b.port.setPaletteSlot(5);
         b.port.setRomSize(tbp::snesRomSize(b.port.contentSize()));
       }},
      {"SA-1, codes, 2 MB on a headerless dump",
       1,
       {"--chip", "sa1", "--gg", code + ", " + fixedCode, "--size", "2mb"},
       [&](Built& b) {
         b.port.setChip(4);
         tbp::applyGameGenie(b.port, b.nes.rom, {code, fixedCode});
         b.port.setRomSize(0x200000);
       }},
      {"SuperFX then an explicit switch, on a tagged dump",
       2,
       {"--set", "splash3=off", "--chip", "gsu2", "--gg", code},
       [&](Built& b) {
         b.port.setChip(2);
         b.port.setSwitch(26, false);
         tbp::applyGameGenie(b.port, b.nes.rom, {code});
       }},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const auto run = runCli(buildArguments(c.game, "out.sfc", c.settings), dir.path());
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    Built expected = defaultBuild(c.game);
    c.expected(expected);
    expected.port.fixChecksum();
    const tbp::Bytes written = tbp::readFile(dir.file("out.sfc"));
    EXPECT_EQ(written.size(), expected.port.bytes().size()) << c.name;
    EXPECT_TRUE(written == expected.port.bytes()) << c.name;
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"out.sfc"}) << c.name;
  }
}

TEST(CliBuild, BpsIsMadeAgainstTheDumpAsTheUserHasIt) {
  ScratchDir dir;
  const auto run = runCli(buildArguments(1, "racer.bps", {"--bps", "--palette", "1"}), dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  Built expected = defaultBuild(1);
  expected.port.setPaletteSlot(1);
  expected.port.fixChecksum();
  const tbp::Bytes patch = tbp::readFile(dir.file("racer.bps"));
  EXPECT_EQ(tbp::readBpsHeader(patch).metadata, "TEAM Bexulo Patcher: Bexulo Demo Racer SNES");
  EXPECT_TRUE(tbp::applyBps(demo().games[1].dump, patch) == expected.port.bytes());
}

TEST(CliBuild, TracksAreWrittenBesideTheRomUnderItsName) {
  ScratchDir dir;
  const tbp::Bytes wav = tbp::testkit::makeWav({tbp::testkit::WavEncoding::Pcm16, 2, 22050},
                                               tbp::testkit::sineTones(22050, 2, 5000, 440, 0.5));
  tbp::testkit::writeFixtureFile(dir.file("song@2x.wav"), wav);
  const auto run = runCli(buildArguments(0, "Quest.sfc",
                                         {"--msu", "1=song@2x.wav", "--msu", "$0B=song@2x.wav@0.05",
                                          "--msu", "0x02=song@2x.wav@off"}),
                          dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Saved Quest.sfc (1024 KB) + 3 MSU-1 track(s)\n");
  EXPECT_EQ(run.err, "");  // no progress lines when standard error is not a terminal
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"Quest-1.pcm", "Quest-11.pcm", "Quest-2.pcm",
                                                     "Quest.msu", "Quest.sfc", "song@2x.wav"}));
  EXPECT_TRUE(tbp::readFile(dir.file("Quest.msu")).empty());
  // Song 1 keeps the port's own loop flag (it loops), song 0x0B loops from 0.05 s, song 2 not.
  EXPECT_TRUE(tbp::readFile(dir.file("Quest-1.pcm")) == tbp::makeMsuTrack(wav, 0.0));
  EXPECT_TRUE(tbp::readFile(dir.file("Quest-11.pcm")) == tbp::makeMsuTrack(wav, 0.05));
  EXPECT_TRUE(tbp::readFile(dir.file("Quest-2.pcm")) == tbp::makeMsuTrack(wav, -1.0));

  Built expected = defaultBuild(0);
  for (const auto& [song, loop] : {std::pair{1, true}, {2, false}, {11, true}}) {
    expected.port.setMsuTrack(song, song);
    expected.port.setMsuLoop(song, loop);
  }
  expected.port.setSwitch(12, true);
  expected.port.fixChecksum();
  EXPECT_TRUE(tbp::readFile(dir.file("Quest.sfc")) == expected.port.bytes());
}

TEST(CliBuild, ConversionProgressShowsOnATerminal) {
  ScratchDir dir;
  tbp::testkit::writeFixtureFile(
      dir.file("a.wav"),
      tbp::testkit::makeWav({}, tbp::testkit::sineTones(44100, 2, 100, 440, 0.5)));
  const std::string shown = clitest::runCliOnTerminal(
      buildArguments(0, "Q.sfc", {"--msu", "1=a.wav", "--msu", "2=a.wav"}), dir.path());
  EXPECT_NE(shown.find("Converting a.wav ...\r\nConverting a.wav ...\r\nSaved Q.sfc"),
            std::string::npos)
      << shown;
}

TEST(CliBuild, RefusalsExitWithOneAndLeaveNothing) {
  struct Case {
    const char* name;
    std::size_t game;
    std::vector<std::string> settings;
    std::string message;  // the start of standard error
  };
  const std::vector<Case> cases = {
      {"switch the port does not offer",
       1,
       {"--set", "splash3=on"},
       "this port does not offer the switch splash3\n"},
      {"FastROM under a chip",
       0,
       {"--chip", "gsu1", "--set", "fastrom=on"},
       "FastROM can't be on with a SuperFX chip (SlowROM boards)\n"},
      {"4 MB with a chip",
       0,
       {"--chip", "sa1", "--size", "4mb"},
       "4 MB (largest LoROM) is only for ports without a coprocessor\n"},
      {"song the port does not name", 0, {"--msu", "4=good.wav"}, "this port has no song 4\n"},
      {"audio that does not decode",
       0,
       {"--msu", "1=good.wav", "--msu", "2=bad.wav"},
       "bad.wav: unknown audio format (WAV, MP3, OGG or FLAC)\n"},
      {"missing audio",
       0,
       {"--msu", "1=good.wav", "--msu", "2=none.wav"},
       "cannot open none.wav\n"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    tbp::testkit::writeFixtureFile(
        dir.file("good.wav"),
        tbp::testkit::makeWav({}, tbp::testkit::sineTones(44100, 2, 100, 440, 0.5)));
    tbp::testkit::writeFixtureFile(dir.file("bad.wav"), {'N', 'O', 'P', 'E'});
    const auto run = runCli(buildArguments(c.game, "out.sfc", c.settings), dir.path());
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, c.message) << c.name;
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"bad.wav", "good.wav"})) << c.name;
  }
}

TEST(CliBuild, AnUnknownRomGetsTheWrongRomReport) {
  ScratchDir dir;
  tbp::testkit::writeFixtureFile(dir.file("hack.nes"), tbp::Bytes(40976, 0x5A));
  const auto run =
      runCli({"build", "hack.nes", "-o", "out.sfc", "--games", demo().gamesDir}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("This isn't the NES ROM the patch was made from.\n\nThis file doesn't "
                          "match any ROM the patcher knows.",
                          0),
            0U)
      << run.err;
  EXPECT_EQ(dir.listing(), std::vector<std::string>{"hack.nes"});
}

}  // namespace
