#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

#include "build/audio.h"
#include "build/msu_seam.h"
#include "build/peak_summary.h"
#include "build/track_shaping.h"
#include "support/looping_song.h"
#include "support/wav_writer.h"

// The shaping of tracks: nothing asked gives the plain conversion's bytes; matched loudness
// brings different levels to one without clipping; trim, fade, the seam and the waveform's
// summary do what a track maker expects.
namespace {

using tbp::Bytes;
using namespace tbp::testkit;

Bytes dataFile(const std::string& name) {
  std::ifstream in(std::string(TBP_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<double> scaled(std::vector<double> samples, double gain) {
  for (double& sample : samples) sample *= gain;
  return samples;
}

Bytes stereoWav(std::uint32_t rate, const std::vector<double>& samples) {
  return makeWav({WavEncoding::Float32, 2, rate, false}, samples);
}

// The track's frames as decoded audio, to measure it.
tbp::DecodedAudio trackAudio(const Bytes& track) {
  tbp::DecodedAudio audio{44100, 2, {}};
  for (std::size_t at = 8; at + 1 < track.size(); at += 2)
    audio.samples.push_back(float(std::int16_t(track[at] | track[at + 1] << 8)) / 32767.0f);
  return audio;
}

int largestSample(const Bytes& track) {
  int largest = 0;
  for (std::size_t at = 8; at + 1 < track.size(); at += 2)
    largest = std::max(largest, std::abs(int(std::int16_t(track[at] | track[at + 1] << 8))));
  return largest;
}

std::uint32_t loopPointOf(const Bytes& track) {
  return std::uint32_t(track[4]) | track[5] << 8 | track[6] << 16 | std::uint32_t(track[7]) << 24;
}

TEST(TrackShaping, NothingAskedGivesThePlainConversion) {
  const std::vector<Bytes> files = {
      dataFile("tone.mp3"), dataFile("tone.flac"), dataFile("tone.ogg"),
      makeWav({WavEncoding::Pcm16, 2, 48000, false}, sineTones(48000, 2, 30000, 440, 0.5)),
      makeWav({WavEncoding::Pcm24, 1, 44100, false}, sineTones(44100, 1, 20000, 300, 0.9))};
  tbp::TrackShaping fadeOnLoop;  // asked, but a track that loops is never faded
  fadeOnLoop.fadeSeconds = 2;
  for (const Bytes& file : files) {
    for (const double loop : {-1.0, 0.25}) {
      const Bytes plain = tbp::makeMsuPcm(tbp::decodeAudio(file), loop);
      EXPECT_EQ(tbp::makeShapedTrack(file, loop, {}), plain);
      if (loop >= 0) {
        EXPECT_EQ(tbp::makeShapedTrack(file, loop, fadeOnLoop), plain);
      }
    }
  }
}

TEST(TrackShaping, MatchesTwoLevelsWithoutClipping) {
  const std::vector<double> music = randomNotes(48000, 12, 3);
  tbp::TrackShaping shaping;
  shaping.loudnessTarget = -20;
  std::vector<double> measured;
  for (const double level : {1.6, 0.05}) {  // about -8 and -32 LUFS
    const Bytes track = tbp::makeShapedTrack(stereoWav(48000, scaled(music, level)), -1, shaping);
    const tbp::LoudnessMeasure loudness = tbp::measureLoudness(trackAudio(track));
    measured.push_back(loudness.integratedLufs);
    EXPECT_NEAR(loudness.integratedLufs, -20.0, 0.3) << "level " << level;
    EXPECT_LT(largestSample(track), 32767) << "level " << level;
  }
  EXPECT_NEAR(measured[0], measured[1], 0.1);
}

TEST(TrackShaping, TheGainNeverRaisesAPeakAboveTheCeiling) {
  // Loud target, quiet but peaky source: the gain stops where the peak reaches -1 dBFS.
  std::vector<double> spiky = scaled(randomNotes(44100, 6, 4), 0.02);
  spiky[2 * 44100] = 0.5;
  const Bytes file = stereoWav(44100, spiky);
  const tbp::LoudnessMeasure source = tbp::measureLoudness(tbp::decodeAudio(file));
  EXPECT_NEAR(source.peak, 0.5, 1e-6);
  const double gain = tbp::loudnessGain(source, -10);
  EXPECT_NEAR(gain * source.peak, tbp::kPeakCeiling, 1e-9);
  EXPECT_LT(gain, std::pow(10.0, (-10 - source.integratedLufs) / 20));
  tbp::TrackShaping shaping;
  shaping.loudnessTarget = -10;
  // The track's own peak (the spike) is scaled to the ceiling exactly.
  EXPECT_EQ(largestSample(tbp::makeShapedTrack(file, -1, shaping)),
            std::lround(tbp::kPeakCeiling * 32767));
  // A cut is made in full, and silence keeps its level.
  EXPECT_NEAR(tbp::loudnessGain({-10, 0.99}, -20), std::pow(10.0, -0.5), 1e-12);
  EXPECT_EQ(tbp::loudnessGain({-HUGE_VAL, 0}, -20), 1.0);
}

TEST(TrackShaping, TheCeilingHoldsForTheTruePeakBetweenSamples) {
  // A quarter-rate sine sampled 45 degrees off its crests: every sample is at 1/sqrt(2) of
  // the peak the played waveform reaches between them.
  std::vector<double> samples;
  for (std::size_t frame = 0; frame < 44100 * 4; ++frame) {
    const double value = 0.25 * std::sin(std::numbers::pi / 2 * double(frame) + std::numbers::pi / 4);
    samples.insert(samples.end(), {value, value});
  }
  const Bytes file = stereoWav(44100, samples);
  const tbp::LoudnessMeasure source = tbp::measureLoudness(tbp::decodeAudio(file));
  EXPECT_NEAR(source.peak, 0.25, 0.01);
  tbp::TrackShaping shaping;
  shaping.loudnessTarget = 5;  // above what the true-peak ceiling allows, not the sample peak
  const Bytes track = tbp::makeShapedTrack(file, -1, shaping);
  const tbp::LoudnessMeasure shaped = tbp::measureTrackLoudness(track);
  EXPECT_LE(shaped.peak, tbp::kPeakCeiling + 0.002);
  EXPECT_GE(shaped.peak, tbp::kPeakCeiling - 0.01);
  EXPECT_NEAR(largestSample(track), tbp::kPeakCeiling / std::sqrt(2.0) * 32767, 0.01 * 32767);
}

TEST(TrackShaping, TheTracksMeterAgreesWithLibebur128) {
  // Noise, a low and a high tone, music with a quiet passage the gates drop, and a signal
  // loud on one side only.
  std::vector<double> gated = randomNotes(44100, 8, 5);
  for (std::size_t i = 0; i < gated.size() / 2; ++i) gated[i] *= 0.001;
  std::vector<double> oneSided = randomNotes(44100, 6, 6);
  for (std::size_t i = 1; i < oneSided.size(); i += 2) oneSided[i] = 0;
  const std::vector<std::vector<double>> signals = {
      randomNotes(44100, 6, 2), sineTones(44100, 2, 44100 * 5, 40, 0.7),
      sineTones(44100, 2, 44100 * 5, 9000, 0.3), gated, oneSided};
  for (const std::vector<double>& samples : signals) {
    const Bytes track = tbp::makeMsuPcm(tbp::decodeAudio(stereoWav(44100, samples)), -1);
    const double reference = tbp::measureLoudness(trackAudio(track)).integratedLufs;
    EXPECT_NEAR(tbp::measureTrackLoudness(track).integratedLufs, reference, 0.05);
  }
}

TEST(TrackShaping, TrimDropsLeadingSilenceAndMovesTheLoop) {
  std::vector<double> samples(2 * 22050, 0.0004);  // half a second below -60 dBFS
  const std::vector<double> tone = sineTones(44100, 2, 44100, 440, 0.5);
  samples.insert(samples.end(), tone.begin(), tone.end());
  tbp::TrackShaping trim;
  trim.trimSilence = true;
  const Bytes file = stereoWav(44100, samples);
  const Bytes track = tbp::makeShapedTrack(file, 0.75, trim);
  // The sine starts at 0 and its first value above -60 dBFS is its second frame.
  EXPECT_EQ((track.size() - 8) / 4, 44100u - 1);
  EXPECT_EQ(loopPointOf(track), 33075u - 22051u);
  // A loop start inside the trimmed silence becomes 0; a silent file is kept whole.
  EXPECT_EQ(loopPointOf(tbp::makeShapedTrack(file, 0.2, trim)), 0u);
  const Bytes silent = stereoWav(44100, std::vector<double>(2000, 0.0));
  EXPECT_EQ(tbp::makeShapedTrack(silent, -1, trim).size(), 8u + 4 * 1000);
}

TEST(TrackShaping, FadeEndsInSilenceOnlyWhenTheTrackDoesNotLoop) {
  const Bytes file = stereoWav(44100, std::vector<double>(2 * 44100 * 3, 0.5));
  tbp::TrackShaping fade;
  fade.fadeSeconds = 1;
  const Bytes track = tbp::makeShapedTrack(file, -1, fade);
  const tbp::DecodedAudio audio = trackAudio(track);
  ASSERT_EQ(audio.frameCount(), 3u * 44100);
  EXPECT_NEAR(audio.samples[2 * (2 * 44100 - 1)], 0.5, 1e-3);     // before the fade
  EXPECT_NEAR(audio.samples[2 * (2 * 44100 + 22049)], 0.25, 1e-3);  // halfway down
  EXPECT_EQ(audio.samples.back(), 0.0f);
  // Level falls steadily through the fade.
  for (std::size_t frame = 2 * 44100 + 1; frame < 3 * 44100; ++frame)
    ASSERT_LE(audio.samples[2 * frame], audio.samples[2 * frame - 2]) << frame;
}

TEST(TrackShaping, SeamIsTheEndThenTheLoop) {
  // A track of 5 s whose frame i holds the value i (wrapping), looping from 1 s.
  Bytes track = {'M', 'S', 'U', '1', 0x44, 0xAC, 0, 0};
  for (std::uint32_t frame = 0; frame < 5 * 44100; ++frame)
    for (int side = 0; side < 2; ++side) {
      track.push_back(std::uint8_t(frame));
      track.push_back(std::uint8_t(frame >> 8));
    }
  const auto frameAt = [](const Bytes& seam, std::size_t index) {
    return seam[4 * index] | seam[4 * index + 1] << 8;
  };
  const Bytes seam = tbp::msuSeam(track, true, 3);
  ASSERT_EQ(seam.size(), 4u * 6 * 44100);
  EXPECT_EQ(frameAt(seam, 0), (2 * 44100) & 0xFFFF);
  EXPECT_EQ(frameAt(seam, 3 * 44100 - 1), (5 * 44100 - 1) & 0xFFFF);
  EXPECT_EQ(frameAt(seam, 3 * 44100), 44100);
  EXPECT_EQ(tbp::msuSeam(track, false, 3).size(), 4u * 3 * 44100);
  EXPECT_EQ(tbp::msuSeam(track, true, 10).size(), 4u * (5 + 4) * 44100);  // whole, then from 1 s
  EXPECT_THROW(tbp::msuSeam(Bytes{'M', 'S', 'U'}, true, 3), std::runtime_error);
}

TEST(TrackShaping, PeakSummaryKeepsEachSlicesExtremes) {
  std::vector<double> samples(2 * 1000, 0.0);  // 1000 frames at 8000 Hz: bins of 80 frames
  samples[2 * 85] = 0.75;                      // left, bin 1
  samples[2 * 170 + 1] = -0.5;                 // right, bin 2
  const tbp::PeakSummary summary =
      tbp::summarizePeaks(tbp::decodeAudio(stereoWav(8000, samples)));
  ASSERT_EQ(summary.bins(), 13u);
  EXPECT_DOUBLE_EQ(summary.secondsPerBin, 0.01);
  EXPECT_EQ(summary.high[1], 0.75f);
  EXPECT_EQ(summary.low[2], -0.5f);
  EXPECT_EQ(summary.high[0], 0.0f);
  EXPECT_EQ(summary.low[1], 0.0f);
}

}  // namespace
