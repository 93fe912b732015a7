#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "build/audio.h"
#include "build/files.h"
#include "build/loop_search.h"
#include "support/looping_song.h"
#include "support/wav_writer.h"

// The loop search finds a seamless start of a song whose repetitions are known, from the file
// as it is and through a lossy MP3 of it, and suggests nothing where nothing repeats.
namespace {

using namespace tbp::testkit;

tbp::DecodedAudio decodedWav(std::uint32_t rate, const std::vector<double>& samples) {
  return tbp::decodeAudio(makeWav({WavEncoding::Pcm16, 2, rate, false}, samples));
}

// Within 10 ms of one of the song's seamless starts.
::testing::AssertionResult nearSeamlessStart(const LoopingSong& song, double seconds) {
  for (const double start : song.seamlessStarts())
    if (std::fabs(seconds - start) <= 0.010) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << seconds << " s is no seamless start";
}

struct Shape {
  std::uint32_t rate;
  double intro;
  double passage;
  int repeats;
};

class LoopSearchShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(LoopSearchShapes, LandsOnASeamlessStart) {
  const Shape shape = GetParam();
  const LoopingSong song = makeLoopingSong(shape.rate, shape.intro, shape.passage, shape.repeats);
  const tbp::DecodedAudio audio = decodedWav(shape.rate, song.samples);
  const tbp::LoopSuggestion loop = tbp::findLoopStart(audio);
  ASSERT_TRUE(loop.found) << "match " << loop.match;
  EXPECT_GT(loop.match, 0.98);
  EXPECT_TRUE(nearSeamlessStart(song, loop.seconds));
  EXPECT_EQ(loop.msuFrame, tbp::msuLoopFrame(loop.seconds, audio.frameCount(), shape.rate));
  EXPECT_NEAR(loop.msuFrame, loop.seconds * 44100, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, LoopSearchShapes,
                         ::testing::Values(Shape{44100, 2.3, 4.1, 4}, Shape{48000, 5.05, 7.3, 3},
                                           Shape{22050, 0.7, 3.3, 5}, Shape{32000, 1.9, 9.1, 2}),
                         [](const auto& info) { return std::to_string(info.param.rate) + "Hz"; });

TEST(LoopSearch, SuggestsNothingWhereNothingRepeats) {
  const tbp::LoopSuggestion noise = tbp::findLoopStart(decodedWav(44100, randomNotes(44100, 20, 9)));
  EXPECT_FALSE(noise.found);
  EXPECT_LT(noise.match, tbp::kGoodLoopMatch);
  const tbp::LoopSuggestion silence =
      tbp::findLoopStart(decodedWav(44100, std::vector<double>(44100 * 2 * 10, 0.0)));
  EXPECT_FALSE(silence.found);
  EXPECT_EQ(silence.match, 0.0);
  // Too short to compare passages of half a second.
  const LoopingSong tiny = makeLoopingSong(8000, 0.1, 0.5, 3);
  EXPECT_FALSE(tbp::findLoopStart(decodedWav(8000, tiny.samples)).found);
  EXPECT_FALSE(tbp::findLoopStart(tbp::DecodedAudio{}).found);
  // Values no file should hold (NaN, infinity) count as silence or full scale: a song that
  // holds a few still loops where it should.
  LoopingSong odd = makeLoopingSong(22050, 1.2, 3.1, 3);
  tbp::DecodedAudio audio = tbp::decodeAudio(makeWav({WavEncoding::Float32, 2, 22050, false}, odd.samples));
  audio.samples[100] = std::nanf("");
  audio.samples[2000] = HUGE_VALF;
  const tbp::LoopSuggestion loop = tbp::findLoopStart(audio);
  EXPECT_TRUE(loop.found);
  EXPECT_TRUE(nearSeamlessStart(odd, loop.seconds));
}

TEST(LoopSearch, LoopFrameFollowsTheConversion) {
  // 48000 Hz: M = floor(N * 44100 / 48000), and the loop point stays below M.
  EXPECT_EQ(tbp::msuLoopFrame(1.0, 96000, 48000), 44100u);
  EXPECT_EQ(tbp::msuLoopFrame(5.0, 96000, 48000), 88199u);
  EXPECT_EQ(tbp::msuLoopFrame(-1.0, 96000, 48000), 0u);
  EXPECT_EQ(tbp::msuLoopFrame(0.5, 0, 48000), 0u);
}

// The same song through a 48 kHz MP3 made by lame, when lame is installed.
TEST(LoopSearch, FindsTheLoopThroughAnMp3) {
  if (std::system("lame --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "lame is not installed";
  const LoopingSong song = makeLoopingSong(48000, 3.1, 6.2, 3, 5);
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("loop_mp3_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string wav = (dir / "song.wav").string();
  const std::string mp3 = (dir / "song.mp3").string();
  tbp::writeFileSafely(wav, makeWav({WavEncoding::Pcm16, 2, 48000, false}, song.samples));
  const std::string command = "lame --quiet -b 160 \"" + wav + "\" \"" + mp3 + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const tbp::DecodedAudio audio = tbp::decodeAudio(tbp::readFile(mp3));
  std::filesystem::remove_all(dir);
  ASSERT_EQ(audio.sampleRate, 48000u);
  const tbp::LoopSuggestion loop = tbp::findLoopStart(audio);
  ASSERT_TRUE(loop.found) << "match " << loop.match;
  EXPECT_TRUE(nearSeamlessStart(song, loop.seconds));
}

}  // namespace
