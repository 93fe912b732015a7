// Files stay whole: a failed run leaves the user's files as they were, an output never replaces
// an input, and hostile inputs are refused at once. (Concurrent runs and kill -9 are checked by
// scripts/file_safety.sh.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli_runner.h"
#include "formats/patches.h"
#include "port/game_genie.h"
#include "support/nes_builder.h"
#include "support/wav_writer.h"

namespace {

using clitest::demo;
using clitest::runCli;
using clitest::ScratchDir;
namespace fs = std::filesystem;

void write(const ScratchDir& dir, const std::string& name, const std::string& text) {
  tbp::testkit::writeFixtureFile(dir.file(name), tbp::Bytes(text.begin(), text.end()));
}

std::vector<std::string> buildWithTracks(const std::string& output, int tracks) {
  std::vector<std::string> arguments = {"build", demo().dump(0), "-o",
                                        output,  "--games",      demo().gamesDir};
  for (int song = 1; song <= tracks; ++song)
    arguments.insert(arguments.end(), {"--msu", std::to_string(song) + "=a.wav"});
  return arguments;
}

// Every file of the directory with its content, to compare before and after a run.
std::map<std::string, std::string> contents(const ScratchDir& dir) {
  std::map<std::string, std::string> found;
  for (const std::string& name : dir.listing())
    found[name] = fs::is_directory(dir.path() / name) ? "<dir>" : clitest::slurp(dir.path() / name);
  return found;
}

// A directory where the third track must go fails the build after the ROM and two tracks were
// converted: the old set (or none) stays, with the user's own files beside it.
TEST(CliFileSafety, FailedBuildLeavesTheOldSet) {
  for (const bool oldSet : {false, true}) {
    ScratchDir dir;
    tbp::testkit::writeFixtureFile(
        dir.file("a.wav"),
        tbp::testkit::makeWav({}, tbp::testkit::sineTones(44100, 2, 100, 440, 0.5)));
    fs::create_directory(dir.path() / "x-3.pcm");
    write(dir, "x.sfc.part", "a browser's download");
    if (oldSet) {
      for (const char* name : {"x.sfc", "x-1.pcm", "x-2.pcm", "x.msu"}) write(dir, name, name);
    }
    const auto before = contents(dir);
    const auto run = runCli(buildWithTracks("x.sfc", 3), dir.path());
    EXPECT_EQ(run.status, 1) << oldSet;
    EXPECT_EQ(run.err, "cannot replace " + dir.file("x-3.pcm") + ": Is a directory\n");
    EXPECT_EQ(contents(dir), before) << oldSet;
    // Without the directory the same build succeeds, and the user's file is still there.
    fs::remove(dir.path() / "x-3.pcm");
    EXPECT_EQ(runCli(buildWithTracks("x.sfc", 3), dir.path()).status, 0);
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"a.wav", "x-1.pcm", "x-2.pcm", "x-3.pcm",
                                                       "x.msu", "x.sfc", "x.sfc.part"}));
    EXPECT_EQ(clitest::slurp(dir.path() / "x.msu"), oldSet ? "x.msu" : "");
  }
}

// -o naming an input, by its own name, a hard link or a symbolic link, is refused in every
// verb before anything is read or written.
TEST(CliFileSafety, OutputThatIsAnInputIsRefused) {
  ScratchDir dir;
  const tbp::Bytes nes = demo().games[0].dump;
  tbp::testkit::writeFixtureFile(dir.file("game.nes"), nes);
  tbp::testkit::writeFixtureFile(
      dir.file("a.wav"),
      tbp::testkit::makeWav({}, tbp::testkit::sineTones(44100, 2, 100, 440, 0.5)));
  tbp::testkit::writeFixtureFile(dir.file("p.bps"), tbp::createBps(nes, tbp::Bytes(4096, 1), ""));
  fs::create_hard_link(dir.path() / "game.nes", dir.path() / "hard.nes");
  fs::create_symlink("p.bps", dir.path() / "soft.bps");
  const auto before = contents(dir);
  const std::vector<std::vector<std::string>> runs = {
      {"apply", "p.bps", "game.nes", "-o", "game.nes"},
      {"apply", "p.bps", "game.nes", "-o", "./hard.nes"},
      {"apply", "p.bps", "game.nes", "-o", "soft.bps"},
      {"create", "game.nes", "a.wav", "-o", "hard.nes"},
      {"build", "game.nes", "-o", "game.nes", "--games", demo().gamesDir},
      {"build", "game.nes", "-o", "hard.nes", "--games", demo().gamesDir},
      {"build", "game.nes", "-o", "a.sfc", "--msu", "1=a-1.pcm", "--games", demo().gamesDir},
  };
  fs::copy_file(dir.path() / "a.wav", dir.path() / "a-1.pcm");
  for (const auto& arguments : runs) {
    const auto run = runCli(arguments, dir.path());
    EXPECT_EQ(run.status, 1) << arguments[4];
    EXPECT_NE(run.err.find(" is an input file; choose another name with -o"), std::string::npos)
        << run.err;
  }
  fs::remove(dir.path() / "a-1.pcm");
  EXPECT_EQ(contents(dir), before);
}

TEST(CliFileSafety, MalformedGameGenieCodeIsRefused) {
  ScratchDir dir;
  const tbp::GameGenieCode bad = tbp::decodeGameGenie("SXIOPQ-ZZ");
  ASSERT_FALSE(bad.ok);
  const auto run = runCli({"build", demo().dump(0), "-o", "q.sfc", "--games", demo().gamesDir,
                           "--gg", "SXIOPO SXIOPQ-ZZ"},
                          dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, bad.code + ": " + bad.error + "\n");
  EXPECT_TRUE(dir.listing().empty());
}

// Hostile inputs are refused at once with a message that names the file.
TEST(CliFileSafety, HostileInputsAreRefusedNamingTheFile) {
  ScratchDir dir;
  ASSERT_EQ(mkfifo(dir.file("fifo.nes").c_str(), 0600), 0);
  fs::create_directory(dir.path() / "full");
  write(dir, "full/keep", "x");
  fs::create_directory(dir.path() / "games");
  write(dir, "games/games.json", "{\"games\": [");
  write(dir, "a.bps", "");
  fs::resize_file(dir.path() / "a.bps", 300u << 20);
  tbp::testkit::writeFixtureFile(dir.file("p.bps"),
                                 tbp::createBps(tbp::Bytes(10, 1), tbp::Bytes(20, 2), ""));
  write(dir, "r.sfc", std::string(10, 1));
  const auto before = dir.listing();  // a FIFO is never read here
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {{"info", "fifo.nes"}, "cannot open fifo.nes: not a regular file"},
      {{"apply", "a.bps", "r.sfc", "-o", "o.sfc"},
       "a.bps is too large for a patch (the limit is 256 MB)"},
      {{"apply", "p.bps", "r.sfc", "-o", "full"}, "cannot replace full: Is a directory"},
      {{"build", demo().dump(0), "-o", "o.sfc", "--games", "games"},
       "games/games.json could not be read: json: "},
  };
  for (const auto& [arguments, message] : runs) {
    const auto run = runCli(arguments, dir.path());
    EXPECT_EQ(run.status, 1) << message;
    EXPECT_EQ(run.err.rfind(message, 0), 0u) << run.err;
  }
  EXPECT_EQ(dir.listing(), before);
}

}  // namespace
