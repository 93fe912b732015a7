// loop and the track-maker options of build: the suggestion printed is the one the core makes,
// "@auto" uses it, and --loudness, --trim and --fade give the core's shaped tracks.
#include <gtest/gtest.h>

#include <cstdio>

#include "build/audio.h"
#include "build/loop_search.h"
#include "build/track_shaping.h"
#include "cli_runner.h"
#include "support/looping_song.h"
#include "support/wav_writer.h"

namespace {

using clitest::demo;
using clitest::runCli;
using clitest::ScratchDir;
using namespace tbp::testkit;

std::string fixed(double value, int places) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  return text;
}

// A looping song written as song.wav, and the core's suggestion for it.
struct SongFile {
  ScratchDir dir;
  tbp::Bytes wav = makeWav({WavEncoding::Pcm16, 2, 48000, false},
                           makeLoopingSong(48000, 1.3, 4.4, 3).samples);
  tbp::LoopSuggestion loop = tbp::findLoopStart(tbp::decodeAudio(wav));
  SongFile() { writeFixtureFile(dir.file("song.wav"), wav); }
};

TEST(CliLoop, PrintsTheSuggestion) {
  const SongFile song;
  ASSERT_TRUE(song.loop.found);
  const auto text = runCli({"loop", "song.wav"}, song.dir.path());
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, "loop start: " + fixed(song.loop.seconds, 3) + " s (frame " +
                          std::to_string(song.loop.msuFrame) + " at 44100 Hz), match " +
                          fixed(song.loop.match, 3) + "\n");
  const auto json = runCli({"loop", "song.wav", "--json"}, song.dir.path());
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out, "{\n  \"found\": true,\n  \"match\": " + fixed(song.loop.match, 3) +
                          ",\n  \"seconds\": " + fixed(song.loop.seconds, 6) +
                          ",\n  \"frame\": " + std::to_string(song.loop.msuFrame) +
                          ",\n  \"sampleRate\": 44100\n}\n");
}

TEST(CliLoop, SaysSoWhenNothingLoops) {
  ScratchDir dir;
  writeFixtureFile(dir.file("notes.wav"),
                   makeWav({WavEncoding::Pcm16, 2, 22050, false}, randomNotes(22050, 12, 2)));
  const auto run = runCli({"loop", "notes.wav"}, dir.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("no seamless loop start found (best match 0.", 0), 0u) << run.out;
  const auto build = runCli({"build", demo().dump(0), "-o", "Q.sfc", "--games", demo().gamesDir,
                             "--msu", "1=notes.wav@auto"},
                            dir.path());
  EXPECT_EQ(build.status, 1);
  EXPECT_EQ(build.err, "notes.wav: no seamless loop start found; give the loop start in seconds\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("Q.sfc")));
  EXPECT_EQ(runCli({"loop", "missing.wav"}, dir.path()).status, 1);
}

TEST(CliLoop, BuildShapesTracksAsTheCoreDoes) {
  const SongFile song;
  tbp::TrackShaping shaping;
  shaping.loudnessTarget = -18.5;
  shaping.trimSilence = true;
  shaping.fadeSeconds = 1.5;
  const auto run = runCli({"build", demo().dump(0), "-o", "Q.sfc", "--games", demo().gamesDir,
                           "--msu", "1=song.wav@auto", "--msu", "2=song.wav@off", "--loudness",
                           "-18.5", "--trim", "--fade", "1.5"},
                          song.dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const tbp::Bytes looped = tbp::readFile(song.dir.file("Q-1.pcm"));
  EXPECT_TRUE(looped == tbp::makeShapedTrack(song.wav, song.loop.seconds, shaping));
  EXPECT_EQ(looped[4] | looped[5] << 8 | looped[6] << 16 | looped[7] << 24, int(song.loop.msuFrame));
  EXPECT_TRUE(tbp::readFile(song.dir.file("Q-2.pcm")) == tbp::makeShapedTrack(song.wav, -1, shaping));
  EXPECT_FALSE(tbp::readFile(song.dir.file("Q-2.pcm")) == tbp::makeMsuTrack(song.wav, -1));
}

TEST(CliLoop, RefusesMalformedShapingValues) {
  ScratchDir dir;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--loudness", "loud"}, {"--loudness", "3"}, {"--fade", "-1"},
        {"--fade", "2s"}}) {
    std::vector<std::string> arguments = {"build", demo().dump(0), "-o", "Q.sfc", "--games",
                                          demo().gamesDir};
    arguments.insert(arguments.end(), bad.begin(), bad.end());
    const auto run = runCli(arguments, dir.path());
    EXPECT_EQ(run.status, 2) << bad[0] << " " << bad[1];
    EXPECT_NE(run.err.find(bad[0] + " takes a number"), std::string::npos) << run.err;
  }
}

}  // namespace
