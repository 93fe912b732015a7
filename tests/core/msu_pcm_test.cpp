#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>

#include "build/audio.h"
#include "build/msu_track_builder.h"
#include "support/wav_writer.h"

namespace {

using tbp::Bytes;
using tbp::DecodedAudio;
using tbp::makeMsuPcm;
using namespace tbp::testkit;

std::uint32_t loopOf(const Bytes& pcm) {
  return pcm[4] | (pcm[5] << 8) | (pcm[6] << 16) | (static_cast<std::uint32_t>(pcm[7]) << 24);
}

std::size_t framesOf(const Bytes& pcm) { return (pcm.size() - 8) / 4; }

std::int16_t sampleOf(const Bytes& pcm, std::size_t frame, int channel) {
  const std::size_t at = 8 + frame * 4 + static_cast<std::size_t>(channel) * 2;
  return static_cast<std::int16_t>(pcm[at] | (pcm[at + 1] << 8));
}

DecodedAudio audioOf(std::uint32_t rate, std::int32_t channels, std::vector<float> samples) {
  DecodedAudio audio;
  audio.sampleRate = rate;
  audio.channels = channels;
  audio.samples = std::move(samples);
  return audio;
}

std::string conversionError(const DecodedAudio& audio) {
  try {
    makeMsuPcm(audio, -1);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "converted";
}

// The rounding rule written out independently: single-precision product, std::lround (halves
// away from zero), saturation.
std::int16_t expectedSample(float value) {
  const float scaled = value * 32767.0f;
  return static_cast<std::int16_t>(std::clamp<long>(std::lround(scaled), -32768, 32767));
}

// The resampler exactly as its formula reads, tap by tap, in double precision. Returns each
// channel's single-precision value times 32767 before rounding, so that a comparison can tell
// values that lie within rounding noise of a half.
std::vector<float> referenceResample(const DecodedAudio& audio) {
  const std::size_t n = audio.frameCount();
  const double c = 44100.0 / audio.sampleRate;
  const std::size_t m = static_cast<std::size_t>(std::floor(static_cast<double>(n) * c));
  const double fc = c < 1.0 ? 0.97 * c : 0.97;
  const double pi = std::numbers::pi;
  std::vector<float> out;
  for (std::size_t i = 0; i < m; ++i) {
    const double t = static_cast<double>(i) / c;
    const auto b = static_cast<std::int64_t>(std::floor(t));
    double left = 0, right = 0, sum = 0;
    for (std::int64_t j = b - 31; j <= b + 32; ++j) {
      if (j < 0 || j >= static_cast<std::int64_t>(n)) continue;
      const double x = t - static_cast<double>(j);
      const double w = 0.42 + 0.5 * std::cos(pi * x / 32) + 0.08 * std::cos(2 * pi * x / 32);
      const double s = x == 0 ? fc : std::sin(pi * fc * x) / (pi * x);
      const double k = s * w;
      const std::size_t frame = static_cast<std::size_t>(j) * audio.channels;
      left += k * audio.samples[frame];
      right += k * audio.samples[frame + (audio.channels > 1 ? 1 : 0)];
      sum += k;
    }
    if (sum != 0) {
      left /= sum;
      right /= sum;
    }
    out.push_back(static_cast<float>(left) * 32767.0f);
    out.push_back(static_cast<float>(right) * 32767.0f);
  }
  return out;
}

// True when a scaled value sits within a few float steps of a rounding boundary, where the
// order of the additions alone may decide between two neighbouring samples.
bool nearHalf(float scaled) {
  const float magnitude = std::fabs(scaled);
  const float distance = std::fabs(magnitude - std::floor(magnitude) - 0.5f);
  return distance <= 4 * (std::nextafter(magnitude, 1e9f) - magnitude) + 1e-9f;
}

void expectMatchesReference(const DecodedAudio& audio, const Bytes& pcm) {
  const std::vector<float> reference = referenceResample(audio);
  ASSERT_EQ(framesOf(pcm) * 2, reference.size()) << audio.sampleRate << " Hz";
  std::size_t noisy = 0;
  for (std::size_t i = 0; i < reference.size(); ++i) {
    const int actual = sampleOf(pcm, i / 2, static_cast<int>(i % 2));
    const int wanted = std::clamp<long>(std::lround(reference[i]), -32768, 32767);
    if (actual == wanted) continue;
    ASSERT_TRUE(std::abs(actual - wanted) == 1 && nearHalf(reference[i]))
        << audio.sampleRate << " Hz, sample " << i << ": " << actual << " vs " << reference[i];
    ++noisy;
  }
  EXPECT_LE(noisy, reference.size() / 1000 + 1) << audio.sampleRate << " Hz";
}

void expectMatchesReference(const DecodedAudio& audio) {
  expectMatchesReference(audio, makeMsuPcm(audio, -1));
}

// Noise plus a loud tone, stereo, with values beyond full scale to exercise saturation.
DecodedAudio testSignal(std::uint32_t rate, std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
  DecodedAudio audio = audioOf(rate, 2, {});
  for (std::size_t i = 0; i < frames; ++i) {
    const double tone =
        0.9 * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / rate);
    audio.samples.push_back(static_cast<float>(tone) + noise(random));
    audio.samples.push_back(static_cast<float>(-tone) * 1.2f + noise(random));
  }
  return audio;
}

TEST(MsuSample, RoundingAndSaturation) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    float value;
    std::int16_t expected;
  };
  const Row rows[] = {{0.0f, 0},           {1.0f, 32767},   {-1.0f, -32767},
                      {1.0001f, 32767},    {2.0f, 32767},   {-1.00001f, -32767},
                      {-1.00004f, -32768}, {-2.0f, -32768}, {inf, 32767},
                      {-inf, -32768},      {nan, 0},        {0.5f, 16384},
                      {-0.5f, -16384},     {1e-9f, 0},      {3e38f, 32767}};
  for (const Row& row : rows) EXPECT_EQ(tbp::msuSample(row.value), row.expected) << row.value;

  // Exact halves round away from zero: find values whose single-precision product is k + 0.5.
  for (float target : {2.5f, 100.5f, 16383.5f, -2.5f, -7.5f, 32766.5f}) {
    float value = target / 32767.0f;
    for (int step = 0; step < 64 && value * 32767.0f != target; ++step) {
      value = std::nextafter(value, value * 32767.0f < target ? 2.0f : -2.0f);
    }
    ASSERT_EQ(value * 32767.0f, target);
    EXPECT_EQ(tbp::msuSample(value), expectedSample(value)) << target;
    EXPECT_EQ(tbp::msuSample(value), static_cast<int>(target + (target > 0 ? 0.5f : -0.5f)));
  }
}

TEST(MsuSample, EveryEngineConvertsSumsAlike) {
  // Resampled sums reach the track through each engine's conversion: rounding to single
  // precision (beyond the float range to infinity), then the sample rule.
  const double inf = std::numeric_limits<double>::infinity();
  const double largest = std::numeric_limits<float>::max();
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                2.0,
                                -2.0,
                                inf,
                                -inf,
                                std::nan(""),
                                1e300,
                                -1e300,
                                largest,
                                -largest,
                                0x1.ffffffp127,
                                -0x1.ffffffp127,
                                0x1.fffffefffffffp127,
                                1e-9,
                                -1e-320,
                                1.00004,
                                -1.00004,
                                0.999985,
                                -0.999985};
  // Sums that land on exact halves once scaled, and their neighbours.
  for (float target : {2.5f, -2.5f, 16383.5f, -16383.5f, 32766.5f, -32767.5f}) {
    float value = target / 32767.0f;
    for (int step = 0; step < 64 && value * 32767.0f != target; ++step) {
      value = std::nextafter(value, value * 32767.0f < target ? 2.0f : -2.0f);
    }
    for (double nudge : {0.0, 1e-12, -1e-12}) values.push_back(value + nudge);
  }
  std::mt19937 random(5);
  std::uniform_real_distribution<double> wide(-1.2, 1.2);
  while (values.size() < 203) values.push_back(wide(random));  // not a multiple of eight
  Bytes portable(2 * values.size()), vector(2 * values.size());
  tbp::detail::trackSamplesPortable(values.data(), values.size(), portable.data());
  tbp::detail::trackSamplesAvx2(values.data(), values.size(), vector.data());
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto wanted = static_cast<std::uint16_t>(tbp::msuSample(tbp::roundToFloat(values[i])));
    EXPECT_EQ(portable[2 * i] | (portable[2 * i + 1] << 8), wanted) << values[i];
    EXPECT_EQ(vector[2 * i] | (vector[2 * i + 1] << 8), wanted) << values[i];
  }
}

TEST(MsuPcm, At44100EverySampleIsScaledAndRounded) {
  std::vector<double> values;
  for (int v = -32768; v < 32768; v += 7) values.push_back(v / 32768.0);
  values.push_back(32767 / 32768.0);
  const Bytes wav = makeWav({WavEncoding::Pcm16, 2, 44100, false}, values);
  const DecodedAudio audio = tbp::decodeAudio(wav);
  const Bytes pcm = makeMsuPcm(audio, -1);
  ASSERT_EQ(pcm.size(), 8 + 4 * audio.frameCount());
  EXPECT_EQ(std::string(pcm.begin(), pcm.begin() + 4), "MSU1");
  EXPECT_EQ(loopOf(pcm), 0u);
  for (std::size_t i = 0; i < audio.samples.size(); ++i) {
    ASSERT_EQ(sampleOf(pcm, i / 2, static_cast<int>(i % 2)), expectedSample(audio.samples[i]));
  }
  EXPECT_EQ(sampleOf(pcm, 0, 0), -32767);  // -1.0 is not -32768
}

TEST(MsuPcm, EightBitFullScaleAndFloatOverload) {
  const Bytes eightBit = makeWavFile({WavEncoding::Pcm8, 1, 44100, false}, {0, 255, 128});
  const Bytes pcm = makeMsuPcm(tbp::decodeAudio(eightBit), -1);
  EXPECT_EQ(sampleOf(pcm, 0, 0), -32767);
  EXPECT_EQ(sampleOf(pcm, 1, 0), 32511);  // 127/128 * 32767 = 32511.0...
  EXPECT_EQ(sampleOf(pcm, 2, 0), 0);

  const Bytes loud = makeWav({WavEncoding::Float32, 2, 44100, false}, {1.5, -1.5, 1.00002, -3.0});
  const Bytes saturated = makeMsuPcm(tbp::decodeAudio(loud), -1);
  EXPECT_EQ(sampleOf(saturated, 0, 0), 32767);
  EXPECT_EQ(sampleOf(saturated, 0, 1), -32768);
  EXPECT_EQ(sampleOf(saturated, 1, 0), 32767);
  EXPECT_EQ(sampleOf(saturated, 1, 1), -32768);
}

TEST(MsuPcm, ResampledOverloadSaturates) {
  // Weighted sums beyond the float range still saturate.
  const float largest = std::numeric_limits<float>::max();
  for (float loud : {largest, 3e38f, 2.0f}) {
    DecodedAudio audio = audioOf(48000, 2, {});
    for (int i = 0; i < 200; ++i) {
      audio.samples.push_back(loud);
      audio.samples.push_back(i % 2 ? -largest : -loud);
    }
    const Bytes pcm = makeMsuPcm(audio, -1);
    ASSERT_EQ(framesOf(pcm), 183u);
    for (std::size_t f = 0; f < framesOf(pcm); ++f) {
      ASSERT_EQ(sampleOf(pcm, f, 0), 32767) << loud << ", frame " << f;
      ASSERT_EQ(sampleOf(pcm, f, 1), -32768) << loud << ", frame " << f;
    }
  }
}

TEST(MsuPcm, ChannelHandling) {
  // Mono: both sides carry the one channel, also after resampling.
  for (std::uint32_t rate : {44100u, 32000u}) {
    DecodedAudio mono = audioOf(rate, 1, {});
    for (int i = 0; i < 500; ++i) mono.samples.push_back(std::sin(i * 0.05f) * 0.8f);
    const Bytes pcm = makeMsuPcm(mono, -1);
    for (std::size_t f = 0; f < framesOf(pcm); ++f) {
      ASSERT_EQ(sampleOf(pcm, f, 0), sampleOf(pcm, f, 1)) << rate << " Hz, frame " << f;
    }
  }
  // Six channels: only the first two reach the track.
  DecodedAudio six = audioOf(44100, 6, {});
  for (int i = 0; i < 100; ++i) {
    for (int c = 0; c < 6; ++c) six.samples.push_back(c < 2 ? (c ? -0.01f : 0.01f) * i : 0.9f);
  }
  const Bytes pcm = makeMsuPcm(six, -1);
  ASSERT_EQ(framesOf(pcm), 100u);
  for (std::size_t f = 0; f < 100; ++f) {
    EXPECT_EQ(sampleOf(pcm, f, 0), expectedSample(six.samples[f * 6]));
    EXPECT_EQ(sampleOf(pcm, f, 1), expectedSample(six.samples[f * 6 + 1]));
  }
  // The six-channel input resampled equals its first two channels resampled.
  DecodedAudio sixAt48 = six, stereoAt48 = audioOf(48000, 2, {});
  sixAt48.sampleRate = 48000;
  for (std::size_t f = 0; f < 100; ++f) {
    stereoAt48.samples.push_back(six.samples[f * 6]);
    stereoAt48.samples.push_back(six.samples[f * 6 + 1]);
  }
  EXPECT_EQ(makeMsuPcm(sixAt48, -1), makeMsuPcm(stereoAt48, -1));
}

TEST(MsuPcm, OutputFrameCounts) {
  struct Row {
    std::uint32_t rate;
    std::size_t frames;
    std::size_t expected;
  };
  const Row rows[] = {
      {48000, 48000, 44100},
      {48000, 160, 147},
      {48000, 161, 147},
      {48000, 1000, 918},
      {48000, 1, 0},
      {22050, 1000, 2000},
      {22050, 1, 2},
      {44100, 1234, 1234},
      {32000, 1000, 1378},
      {96000, 96001, 44100},
      {11025, 3, 12},
      {4000, 7, 77},
      {384000, 383, 43},
      {44099, 44099, 44100},
      {47999, 100, 91},
      // 440 * 44100 / 44000 is exactly 441, though the product in double precision falls
      // just short of it: the count comes from exact integers.
      {44000, 440, 441},
      {44000, 439, 439},
  };
  for (const Row& row : rows) {
    const DecodedAudio audio = audioOf(row.rate, 1, std::vector<float>(row.frames, 0.25f));
    const Bytes pcm = makeMsuPcm(audio, -1);
    EXPECT_EQ(pcm.size(), 8 + 4 * row.expected) << row.rate << " Hz, " << row.frames;
  }
}

TEST(MsuPcm, ResamplerMatchesTheFormula) {
  struct Row {
    std::uint32_t rate;
    std::size_t frames;
  };
  // Rates whose phases repeat quickly, odd rates with tens of thousands of phases, and inputs
  // too short for every tap.
  const Row rows[] = {{48000, 6000}, {32000, 5000}, {22050, 3000},   {96000, 9000},  {8000, 900},
                      {11025, 700},  {4000, 500},   {384000, 20000}, {44099, 45000}, {47999, 800},
                      {48000, 40},   {22050, 20},   {30000, 1}};
  unsigned seed = 1;
  for (const Row& row : rows) expectMatchesReference(testSignal(row.rate, row.frames, seed++));
}

// The track through a chosen dot-product engine, fed in uneven blocks.
Bytes convertWith(tbp::ResamplerEngine engine, const DecodedAudio& audio) {
  tbp::MsuTrackBuilder builder(audio.sampleRate, audio.channels, -1, engine);
  const std::size_t frames = audio.frameCount();
  for (std::size_t done = 0, block = 1; done < frames; done += block, block = block * 3 + 1) {
    block = std::min(block, frames - done);
    builder.add(audio.samples.data() + done * audio.channels, block);
  }
  return builder.finish();
}

TEST(MsuPcm, EveryEngineMatchesTheFormulaAtEveryRate) {
  // The common rates, both limits and their neighbours, rates with tens of thousands of
  // phases, then a sweep across the whole range.
  std::vector<std::uint32_t> rates = {
      4000,  4001,  8000,  11025, 12000, 16000, 22050, 24000,  32000,  37800,  44056,  44099, 44101,
      47250, 47999, 48000, 50000, 64000, 88200, 96000, 176400, 192000, 352800, 383999, 384000};
  for (std::uint32_t rate = 4000; rate <= 384000; rate += 9973) rates.push_back(rate);
  std::vector<tbp::ResamplerEngine> engines = {tbp::ResamplerEngine::Portable};
  if (tbp::resamplerEngineAvailable(tbp::ResamplerEngine::Avx2Fma)) {
    engines.push_back(tbp::ResamplerEngine::Avx2Fma);
  }
  unsigned seed = 100;
  for (const std::uint32_t rate : rates) {
    // Long enough for a few hundred output frames with all their taps inside the input.
    const std::size_t frames = 128 + static_cast<std::size_t>(rate) / 150;
    const DecodedAudio audio = testSignal(rate, frames, seed++);
    for (const tbp::ResamplerEngine engine : engines) {
      SCOPED_TRACE(engine == tbp::ResamplerEngine::Portable ? "portable" : "AVX2");
      expectMatchesReference(audio, convertWith(engine, audio));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(MsuPcm, ResamplingKeepsLevelsAndRemovesWhatCannotBeStored) {
  // A constant keeps its level everywhere, ends included.
  const Bytes constant = makeMsuPcm(audioOf(48000, 1, std::vector<float>(4800, 0.5f)), -1);
  for (std::size_t f = 0; f < framesOf(constant); ++f) ASSERT_EQ(sampleOf(constant, f, 0), 16384);

  // A 1 kHz tone at 48 kHz becomes the same tone at 44.1 kHz.
  DecodedAudio tone = audioOf(48000, 1, {});
  for (int i = 0; i < 48000; ++i) {
    tone.samples.push_back(
        static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000 * i / 48000.0)));
  }
  const Bytes pcm = makeMsuPcm(tone, -1);
  double worst = 0;
  for (std::size_t f = 100; f + 100 < framesOf(pcm); ++f) {
    const double wanted =
        0.5 * 32767 * std::sin(2 * std::numbers::pi * 1000 * static_cast<double>(f) / 44100.0);
    worst = std::max(worst, std::fabs(sampleOf(pcm, f, 0) - wanted));
  }
  EXPECT_LT(worst, 40.0);  // within about 0.1% of full scale

  // A 30 kHz tone at 96 kHz lies above what 44.1 kHz can hold: it must vanish, not alias.
  DecodedAudio high = audioOf(96000, 1, {});
  for (int i = 0; i < 9600; ++i) {
    high.samples.push_back(
        static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 30000 * i / 96000.0)));
  }
  const Bytes filtered = makeMsuPcm(high, -1);
  double energy = 0;
  for (std::size_t f = 100; f + 100 < framesOf(filtered); ++f)
    energy += std::pow(sampleOf(filtered, f, 0), 2);
  EXPECT_LT(std::sqrt(energy / static_cast<double>(framesOf(filtered) - 200)), 0.01 * 32767);
}

TEST(MsuPcm, LoopPoint) {
  const DecodedAudio second = audioOf(44100, 2, std::vector<float>(2 * 44100, 0.1f));
  const DecodedAudio at48 = audioOf(48000, 2, std::vector<float>(2 * 48000, 0.1f));
  const DecodedAudio noFrames = audioOf(44100, 2, {0.1f});  // half a frame: no output frames
  struct Row {
    const DecodedAudio* audio;
    double seconds;
    std::uint32_t expected;
  };
  const Row rows[] = {
      {&second, -1.0, 0},
      {&second, -0.0001, 0},
      {&second, 0.0, 0},
      {&second, 0.5, 22050},
      {&second, 0.99999, 44099},
      {&second, 1.0, 44099},
      {&second, 1e9, 44099},
      {&at48, 0.25, 11025},
      {&at48, 2.0, 44099},
      {&noFrames, 5.0, 0},
      {&second, std::numeric_limits<double>::infinity(), 44099},
      {&second, std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Row& row : rows)
    EXPECT_EQ(loopOf(makeMsuPcm(*row.audio, row.seconds)), row.expected) << row.seconds;
  // The loop point never changes the audio.
  Bytes looped = makeMsuPcm(second, 0.5), plain = makeMsuPcm(second, -1);
  std::fill(looped.begin() + 4, looped.begin() + 8, 0);
  EXPECT_EQ(looped, plain);
}

TEST(MsuPcm, Refusals) {
  struct Row {
    DecodedAudio audio;
    std::string message;
  };
  const Row rows[] = {
      {audioOf(0, 2, {0.1f, 0.2f}), "no audio"},
      {audioOf(44100, 0, {0.1f, 0.2f}), "no audio"},
      {audioOf(44100, -2, {0.1f, 0.2f}), "no audio"},
      {audioOf(44100, 2, {}), "no audio"},
      {audioOf(3999, 1, {0.1f}), "sample rate out of range"},
      {audioOf(384001, 1, {0.1f}), "sample rate out of range"},
      {audioOf(4000, 1, std::vector<float>(4000 * 3600 + 1, 0.0f)), "audio longer than an hour"},
      {audioOf(4000, 2, std::vector<float>(2 * (4000 * 3600 + 1), 0.0f)),
       "audio longer than an hour"},
  };
  for (const Row& row : rows) EXPECT_EQ(conversionError(row.audio), row.message);
}

}  // namespace
