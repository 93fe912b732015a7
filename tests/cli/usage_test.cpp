// The command line itself: help, version and the usage errors that exit with status 2.
#include <gtest/gtest.h>

#include "cli_runner.h"

namespace {

using clitest::runCli;
using clitest::ScratchDir;

TEST(CliUsage, UsageErrorsExitWithTwoAndWriteNothing) {
  struct Case {
    std::vector<std::string> arguments;
    std::string firstLine;  // of standard error
  };
  const std::vector<Case> cases = {
      {{"frobnicate"}, "bexulo-cli: unknown command 'frobnicate'"},
      {{"apply", "only.bps"}, "bexulo-cli: missing ROM"},
      {{"apply", "a.bps", "b.nes", "c.sfc"}, "bexulo-cli: unexpected argument c.sfc"},
      {{"apply", "a.bps", "b.nes", "--games", "x"}, "bexulo-cli: unknown option --games"},
      {{"apply", "a.bps", "b.nes", "-o"}, "bexulo-cli: option -o needs a value"},
      {{"apply", "a.bps", "b.nes", "-o", "x", "--output=y"},
       "bexulo-cli: option --output given twice"},
      {{"info", "x.sfc", "--json=yes"}, "bexulo-cli: option --json takes no value"},
      {{"build", "game.nes"}, "bexulo-cli: missing -o OUT"},
      {{"build", "game.nes", "-o", "x.sfc", "--chip", "gsu3"},
       "bexulo-cli: --chip takes one of none, gsu1, gsu2, gsu2sp1, sa1, not 'gsu3'"},
      {{"build", "game.nes", "-o", "x.sfc", "--size", "3mb"},
       "bexulo-cli: --size takes one of as-is, smallest, 2mb, 4mb, not '3mb'"},
      {{"build", "game.nes", "-o", "x.sfc", "--set", "turbo=on"},
       "bexulo-cli: unknown switch 'turbo'"},
      {{"build", "game.nes", "-o", "x.sfc", "--set", "freeze=yes"},
       "bexulo-cli: --set takes KEY=on or KEY=off, not 'freeze=yes'"},
      {{"build", "game.nes", "-o", "x.sfc", "--palette", "8"},
       "bexulo-cli: --palette takes a slot from 0 to 7, not '8'"},
      {{"build", "game.nes", "-o", "x.sfc", "--msu", "64=a.wav"},
       "bexulo-cli: --msu takes SONG=AUDIO with a song from 0 to 63, not '64=a.wav'"},
      {{"build", "game.nes", "-o", "x.sfc", "--msu", "1F=a.wav"},
       "bexulo-cli: --msu takes SONG=AUDIO with a song from 0 to 63, not '1F=a.wav'"},
      {{"help", "frobnicate"}, "bexulo-cli: no help for 'frobnicate'"},
  };
  ScratchDir dir;
  for (const Case& c : cases) {
    const auto run = runCli(c.arguments, dir.path());
    EXPECT_EQ(run.status, 2) << c.firstLine;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine);
    EXPECT_EQ(run.out, "") << c.firstLine;
  }
  EXPECT_TRUE(dir.listing().empty());
}

TEST(CliUsage, HelpAndVersion) {
  ScratchDir dir;
  const auto bare = runCli({}, dir.path());
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.err.rfind("Usage: bexulo-cli COMMAND", 0), 0U) << bare.err;

  const auto help = runCli({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, bare.err);
  for (const char* verb : {"apply", "create", "info", "build"}) {
    const auto topic = runCli({"help", verb}, dir.path());
    EXPECT_EQ(topic.status, 0) << verb;
    EXPECT_EQ(topic.out.rfind(std::string("Usage: bexulo-cli ") + verb, 0), 0U) << topic.out;
    // "VERB --help" anywhere among its arguments shows the same page and does nothing else.
    EXPECT_EQ(runCli({verb, "x", "--help"}, dir.path()).out, topic.out) << verb;
  }
  const auto version = runCli({"--version"}, dir.path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("bexulo-cli ") + TBP_VERSION + "\n");
}

}  // namespace
