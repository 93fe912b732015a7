#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>
#include <random>

#include "build/audio.h"
#include "support/wav_writer.h"

// MSU-1 conversion speed: three minutes of stereo audio at common rates. The "x realtime"
// counter is the track length divided by the conversion time.
namespace {

constexpr double kTrackSeconds = 180.0;

tbp::DecodedAudio stereoTrack(std::uint32_t rate) {
  tbp::DecodedAudio audio;
  audio.sampleRate = rate;
  audio.channels = 2;
  const auto frames = static_cast<std::size_t>(kTrackSeconds * rate);
  audio.samples.resize(frames * 2);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
  for (std::size_t i = 0; i < frames; ++i) {
    const double phase = 2 * std::numbers::pi * 440.0 * static_cast<double>(i) / rate;
    audio.samples[2 * i] = static_cast<float>(0.7 * std::sin(phase)) + noise(random);
    audio.samples[2 * i + 1] = static_cast<float>(0.7 * std::cos(phase)) + noise(random);
  }
  return audio;
}

void convertTrack(benchmark::State& state) {
  const tbp::DecodedAudio audio = stereoTrack(static_cast<std::uint32_t>(state.range(0)));
  for (auto _ : state) {
    tbp::Bytes pcm = tbp::makeMsuPcm(audio, 1.0);
    benchmark::DoNotOptimize(pcm.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(audio.samples.size() * sizeof(float)));
  state.counters["x realtime"] = benchmark::Counter(
      kTrackSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(convertTrack)
    ->Arg(48000)
    ->Arg(44100)
    ->Arg(32000)
    ->Arg(22050)
    ->Arg(96000)
    ->Arg(44099)
    ->Unit(benchmark::kMillisecond);

void readWav16(benchmark::State& state) {
  const tbp::DecodedAudio audio = stereoTrack(44100);
  const std::vector<double> values(audio.samples.begin(), audio.samples.end());
  const tbp::Bytes wav =
      tbp::testkit::makeWav({tbp::testkit::WavEncoding::Pcm16, 2, 44100, false}, values);
  for (auto _ : state) {
    tbp::DecodedAudio decoded = tbp::readWav(wav);
    benchmark::DoNotOptimize(decoded.samples.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(wav.size()));
}
BENCHMARK(readWav16)->Unit(benchmark::kMillisecond);

}  // namespace
