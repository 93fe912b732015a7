// apply and create, run as a script would run them.
#include <gtest/gtest.h>

#include "cli_runner.h"
#include "formats/patches.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

namespace {

using clitest::runCli;
using clitest::ScratchDir;

tbp::Bytes nesRom(std::uint32_t seed) {
  tbp::testkit::NesRomOptions options;
  options.seed = seed;
  return tbp::testkit::makeNesRom(options);
}

void write(const ScratchDir& dir, const std::string& name, const tbp::Bytes& data) {
  tbp::testkit::writeFixtureFile(dir.file(name), data);
}

tbp::Bytes ipsPatch() {
  // One record writing "HI" at offset 4, then an RLE record of three 0x7F at offset 0x20.
  return {'P', 'A', 'T',  'C', 'H', 0, 0, 4,    0,   2,   'H', 'I',
          0,   0,   0x20, 0,   0,   0, 3, 0x7F, 'E', 'O', 'F'};
}

TEST(CliPatch, CreateThenApplyGivesTheTargetBack) {
  ScratchDir dir;
  const tbp::Bytes nes = nesRom(3);
  const tbp::Bytes port = tbp::testkit::makePortImage(nes);
  write(dir, "Game (USA).nes", nes);
  write(dir, "port.sfc", port);

  const auto created =
      runCli({"create", "Game (USA).nes", "port.sfc", "--metadata", "note"}, dir.path());
  ASSERT_EQ(created.status, 0) << created.err;
  // The default patch sits beside the source under its name, where soft-patching looks.
  const tbp::Bytes patch = tbp::readFile(dir.file("Game (USA).bps"));
  EXPECT_EQ(tbp::readBpsHeader(patch).metadata, "note");
  EXPECT_EQ(patch, tbp::createBps(nes, port, "note"));
  EXPECT_EQ(created.out, "Patch saved: " + dir.file("Game (USA).bps") + " (" +
                             std::to_string(patch.size() / 1024) + " KB)\n");

  const auto applied =
      runCli({"apply", "Game (USA).bps", "Game (USA).nes", "-o", "out.sfc"}, dir.path());
  ASSERT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(tbp::readFile(dir.file("out.sfc")), port);
  EXPECT_EQ(applied.out, "Patched: out.sfc (" + std::to_string(port.size()) + " bytes)\n");
}

TEST(CliPatch, ApplyProposesTheWizardsName) {
  struct Case {
    const char* name;
    tbp::Bytes rom;
    tbp::Bytes patch;
    std::string expected;  // file name beside the ROM
  };
  const tbp::Bytes nes = nesRom(4);
  const tbp::Bytes port = tbp::testkit::makePortImage(nes);
  const tbp::Bytes big(0x40000, 0x11);
  const tbp::Bytes bigger(0x40000, 0x22);
  const std::vector<Case> cases = {
      {"port from BPS", nes, tbp::createBps(nes, port, ""), "Port Update.sfc"},
      {"small IPS result", nes, ipsPatch(), "Port Update.bin"},
      {"256 KB without manifest", big, tbp::createBps(big, bigger, ""), "Port Update.sfc"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.path() / "roms");
    write(dir, "roms/Game.nes", c.rom);
    write(dir, "Port Update.bps", c.patch);
    const auto run = runCli({"apply", "Port Update.bps", "roms/Game.nes"}, dir.path());
    ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "roms" / c.expected)) << c.name;
  }
}

TEST(CliPatch, RefusalsLeaveNoOutput) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string message;
  };
  ScratchDir dir;
  const tbp::Bytes nes = nesRom(5);
  write(dir, "game.nes", nes);
  write(dir, "other.nes", nesRom(6));
  write(dir, "port.bps", tbp::createBps(nes, tbp::testkit::makePortImage(nes), ""));
  write(dir, "port.sfc", tbp::testkit::makePortImage(nes));
  write(dir, "junk.ips", {'J', 'U', 'N', 'K', 0, 0, 0, 0});
  const std::vector<Case> cases = {
      {"wrong ROM",
       {"apply", "port.bps", "other.nes", "-o", "out.sfc"},
       "BPS: this is not the ROM the patch was made for (source CRC mismatch)\n"},
      {"not a patch", {"apply", "junk.ips", "game.nes", "-o", "out.sfc"}, "not an IPS patch\n"},
      {"missing ROM", {"apply", "port.bps", "none.nes", "-o", "out.sfc"}, "cannot open none.nes\n"},
      {"missing target",
       {"create", "game.nes", "none.sfc", "-o", "out.sfc"},
       "cannot open none.sfc\n"},
      {"no directory",
       {"create", "game.nes", "port.sfc", "-o", "no/out.sfc"},
       "cannot write no/out.sfc\n"},
  };
  for (const Case& c : cases) {
    const auto run = runCli(c.arguments, dir.path());
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, c.message) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.sfc")) << c.name;
  }
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"game.nes", "junk.ips", "other.nes",
                                                     "port.bps", "port.sfc"}));
}

TEST(CliPatch, DefaultNameNeverReplacesAnInput) {
  ScratchDir dir;
  const tbp::Bytes rom(0x40000, 0x33);
  write(dir, "game.sfc", rom);
  write(dir, "game.bps", tbp::createBps(rom, tbp::Bytes(0x40000, 0x44), ""));
  const auto run = runCli({"apply", "game.bps", "game.sfc"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("choose another name with -o"), std::string::npos) << run.err;
  EXPECT_EQ(tbp::readFile(dir.file("game.sfc")), rom);
}

}  // namespace
