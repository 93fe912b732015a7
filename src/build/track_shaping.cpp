#include "build/track_shaping.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <stdexcept>
#include <vector>

#include <ebur128.h>

namespace tbp {
namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kFrameBytes = 4;
constexpr std::size_t kMeterBlockFrames = 16384;  // frames handed to the meter at a time

struct StateCloser {
  void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

// A meter of integrated loudness for `channels` channels; the sample peak is kept apart.
class Meter {
 public:
  Meter(unsigned channels, std::uint32_t rate, unsigned played)
      : state_(ebur128_init(channels, rate, EBUR128_MODE_I)) {
    if (!state_) throw std::bad_alloc();
    // Channels beyond the first two are not played, so they do not count.
    for (unsigned channel = played; channel < channels; ++channel)
      ebur128_set_channel(state_.get(), channel, EBUR128_UNUSED);
  }
  void add(const float* samples, std::size_t frames) {
    if (ebur128_add_frames_float(state_.get(), samples, frames) != EBUR128_SUCCESS)
      throw std::bad_alloc();
  }
  double loudness() {
    double lufs = 0;
    if (ebur128_loudness_global(state_.get(), &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
      return -std::numeric_limits<double>::infinity();
    return lufs;
  }

 private:
  std::unique_ptr<ebur128_state, StateCloser> state_;
};

std::int16_t sampleAt(const Bytes& track, std::size_t index) {
  const std::size_t at = kHeaderBytes + 2 * index;
  return static_cast<std::int16_t>(track[at] | track[at + 1] << 8);
}

void putSample(Bytes& track, std::size_t index, double value) {
  const double rounded = std::clamp(std::round(value), -32768.0, 32767.0);  // halves away from 0
  const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(rounded));
  track[kHeaderBytes + 2 * index] = static_cast<std::uint8_t>(bits);
  track[kHeaderBytes + 2 * index + 1] = static_cast<std::uint8_t>(bits >> 8);
}

std::uint32_t loopPointOf(const Bytes& track) {
  return std::uint32_t(track[4]) | std::uint32_t(track[5]) << 8 | std::uint32_t(track[6]) << 16 |
         std::uint32_t(track[7]) << 24;
}

void setLoopPoint(Bytes& track, std::uint32_t frame) {
  for (int i = 0; i < 4; ++i) track[4 + std::size_t(i)] = static_cast<std::uint8_t>(frame >> (8 * i));
}

std::size_t frameCount(const Bytes& track) { return (track.size() - kHeaderBytes) / kFrameBytes; }

void trimSilence(Bytes& track, bool loops) {
  const std::size_t frames = frameCount(track);
  std::size_t silent = 0;
  while (silent < frames && std::abs(sampleAt(track, 2 * silent)) < kSilentSample &&
         std::abs(sampleAt(track, 2 * silent + 1)) < kSilentSample)
    ++silent;
  if (silent == 0 || silent == frames) return;  // a silent track stays whole
  const std::size_t first = kHeaderBytes + silent * kFrameBytes;
  track.erase(track.begin() + std::ptrdiff_t(kHeaderBytes), track.begin() + std::ptrdiff_t(first));
  if (loops) {
    const std::uint32_t loop = loopPointOf(track);
    setLoopPoint(track, loop > silent ? loop - std::uint32_t(silent) : 0);
  }
}

// The samples of the track from `first`, `count` of them, as host integers (the track is
// little-endian, as is every machine this builds for; the copy keeps it independent of that).
void readSamples(const Bytes& track, std::size_t first, std::size_t count, std::int16_t* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = sampleAt(track, first + i);
}

void scale(Bytes& track, double gain) {
  const std::size_t samples = 2 * frameCount(track);
  const auto factor = static_cast<float>(gain);
  std::vector<std::int16_t> block(2 * kMeterBlockFrames);
  for (std::size_t done = 0; done < samples; done += block.size()) {
    const std::size_t count = std::min(block.size(), samples - done);
    readSamples(track, done, count, block.data());
    // Without branches, so that the loop runs in vector registers: round half away from zero
    // by truncating value + 0.5 with the value's sign, within the 16-bit range.
    for (std::size_t i = 0; i < count; ++i) {
      float value = float(block[i]) * factor;
      value = std::clamp(value, -32768.0f, 32767.0f);
      value += value < 0.0f ? -0.5f : 0.5f;
      block[i] = static_cast<std::int16_t>(std::clamp(static_cast<int>(value), -32768, 32767));
    }
    std::uint8_t* out = track.data() + kHeaderBytes + 2 * done;
    for (std::size_t i = 0; i < count; ++i) {
      const auto bits = static_cast<std::uint16_t>(block[i]);
      out[2 * i] = static_cast<std::uint8_t>(bits);
      out[2 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
    }
  }
}

void fadeOut(Bytes& track, double seconds) {
  const std::size_t frames = frameCount(track);
  const double wanted = std::floor(seconds * kMsuSampleRate);
  const std::size_t length = wanted >= double(frames) ? frames : std::size_t(wanted);
  const std::size_t first = frames - length;
  for (std::size_t i = 0; i < length; ++i) {
    // A raised-cosine curve: it leaves the music gently and reaches silence on the last frame.
    const double level = 0.5 * (1.0 + std::cos(std::numbers::pi * double(i + 1) / double(length)));
    for (std::size_t side = 0; side < 2; ++side) {
      const std::size_t index = 2 * (first + i) + side;
      putSample(track, index, sampleAt(track, index) * level);
    }
  }
}

}  // namespace

LoudnessMeasure measureLoudness(const DecodedAudio& audio) {
  const std::size_t frames = audio.frameCount();
  if (frames == 0 || audio.sampleRate == 0) return {-std::numeric_limits<double>::infinity(), 0};
  const auto channels = static_cast<unsigned>(audio.channels);
  const unsigned played = std::min(channels, 2u);
  Meter meter(channels, audio.sampleRate, played);
  LoudnessMeasure measure;
  for (std::size_t done = 0; done < frames; done += kMeterBlockFrames)
    meter.add(audio.samples.data() + done * channels, std::min(kMeterBlockFrames, frames - done));
  for (std::size_t frame = 0; frame < frames; ++frame)
    for (unsigned channel = 0; channel < played; ++channel)
      measure.peak = std::max<double>(measure.peak, std::fabs(audio.samples[frame * channels + channel]));
  measure.integratedLufs = meter.loudness();
  // A mono file plays on both sides at the same level: its loudness is that of two channels.
  if (channels == 1 && std::isfinite(measure.integratedLufs))
    measure.integratedLufs += 10.0 * std::log10(2.0);
  return measure;
}

LoudnessMeasure measureTrackLoudness(const Bytes& track) {
  if (track.size() < kHeaderBytes || std::memcmp(track.data(), "MSU1", 4) != 0)
    throw std::runtime_error("not an MSU-1 track");
  const std::size_t frames = frameCount(track);
  if (frames == 0) return {-std::numeric_limits<double>::infinity(), 0};
  Meter meter(2, kMsuSampleRate, 2);
  std::vector<std::int16_t> samples(2 * kMeterBlockFrames);
  std::vector<float> block(2 * kMeterBlockFrames);
  int peak = 0;
  for (std::size_t done = 0; done < frames; done += kMeterBlockFrames) {
    const std::size_t count = std::min(kMeterBlockFrames, frames - done);
    readSamples(track, 2 * done, 2 * count, samples.data());
    for (std::size_t i = 0; i < 2 * count; ++i) {
      const int sample = samples[i];
      peak = std::max(peak, sample < 0 ? -sample : sample);
      block[i] = float(sample) * (1.0f / 32767.0f);
    }
    meter.add(block.data(), count);
  }
  return {meter.loudness(), double(peak) / 32767.0};
}

double loudnessGain(const LoudnessMeasure& measure, double targetLufs) {
  if (!std::isfinite(measure.integratedLufs) || !std::isfinite(targetLufs)) return 1.0;
  double gain = std::pow(10.0, (targetLufs - measure.integratedLufs) / 20.0);
  if (gain > 1.0 && measure.peak * gain > kPeakCeiling)
    gain = std::max(1.0, kPeakCeiling / measure.peak);
  return gain;
}

void shapeTrack(Bytes& track, bool loops, const TrackShaping& shaping) {
  if (track.size() < kHeaderBytes || std::memcmp(track.data(), "MSU1", 4) != 0)
    throw std::runtime_error("not an MSU-1 track");
  if (shaping.trimSilence) trimSilence(track, loops);
  if (shaping.loudnessTarget) {
    const double gain = loudnessGain(measureTrackLoudness(track), *shaping.loudnessTarget);
    if (gain != 1.0) scale(track, gain);
  }
  if (!loops && shaping.fadeSeconds > 0) fadeOut(track, shaping.fadeSeconds);
}

Bytes makeShapedTrack(const Bytes& file, double loopStartSeconds, const TrackShaping& shaping,
                      TrackProgress* progress) {
  Bytes track = makeMsuTrack(file, loopStartSeconds, progress);
  if (shaping.active()) shapeTrack(track, loopStartSeconds >= 0, shaping);
  return track;
}

}  // namespace tbp
