#include "build/track_shaping.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <numbers>
#include <stdexcept>

#include <ebur128.h>

namespace tbp {
namespace {

struct StateCloser {
  void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

// Frames handed to the meter at a time: its own interface counts frames in size_t, but a
// bounded block keeps its internal buffers small.
constexpr std::size_t kMeterBlockFrames = 65536;

}  // namespace

LoudnessMeasure measureLoudness(const DecodedAudio& audio) {
  const std::size_t frames = audio.frameCount();
  if (frames == 0 || audio.sampleRate == 0) return {-std::numeric_limits<double>::infinity(), 0};
  const auto channels = static_cast<unsigned>(audio.channels);
  std::unique_ptr<ebur128_state, StateCloser> state(
      ebur128_init(channels, audio.sampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
  if (!state) throw std::bad_alloc();
  // Channels beyond the first two are not played, so they do not count; the first two are
  // the left and right of the track (a mono file plays on both, as one channel here).
  for (unsigned channel = 2; channel < channels; ++channel)
    ebur128_set_channel(state.get(), channel, EBUR128_UNUSED);
  const float* samples = audio.samples.data();
  for (std::size_t done = 0; done < frames;) {
    const std::size_t block = std::min(kMeterBlockFrames, frames - done);
    if (ebur128_add_frames_float(state.get(), samples + done * channels, block) != EBUR128_SUCCESS)
      throw std::bad_alloc();
    done += block;
  }
  LoudnessMeasure measure;
  if (ebur128_loudness_global(state.get(), &measure.integratedLufs) != EBUR128_SUCCESS)
    measure.integratedLufs = -std::numeric_limits<double>::infinity();
  for (unsigned channel = 0; channel < std::min(channels, 2u); ++channel) {
    double peak = 0;
    if (ebur128_true_peak(state.get(), channel, &peak) == EBUR128_SUCCESS)
      measure.truePeak = std::max(measure.truePeak, peak);
  }
  // A mono file plays on both sides at the same level: its loudness is that of two channels.
  if (channels == 1 && std::isfinite(measure.integratedLufs))
    measure.integratedLufs += 10.0 * std::log10(2.0);
  return measure;
}

double loudnessGain(const LoudnessMeasure& measure, double targetLufs) {
  if (!std::isfinite(measure.integratedLufs) || !std::isfinite(targetLufs)) return 1.0;
  double gain = std::pow(10.0, (targetLufs - measure.integratedLufs) / 20.0);
  if (gain > 1.0 && measure.truePeak * gain > kTruePeakCeiling)
    gain = std::max(1.0, kTruePeakCeiling / measure.truePeak);
  return gain;
}

std::size_t leadingSilenceFrames(const DecodedAudio& audio) {
  const std::size_t channels = static_cast<std::size_t>(std::max(audio.channels, 1));
  const std::size_t frames = audio.frameCount();
  std::size_t sample = 0;
  while (sample < frames * channels && std::fabs(audio.samples[sample]) < kSilenceLevel) ++sample;
  const std::size_t silent = sample / channels;
  return silent >= frames ? 0 : silent;
}

namespace {

void fadeOut(DecodedAudio& audio, double seconds) {
  const std::size_t frames = audio.frameCount();
  const double wanted = std::floor(seconds * audio.sampleRate);
  const std::size_t length = wanted >= double(frames) ? frames : static_cast<std::size_t>(wanted);
  if (length == 0) return;
  const auto channels = static_cast<std::size_t>(audio.channels);
  const std::size_t first = frames - length;
  // A raised-cosine curve: it leaves the music gently and reaches silence on the last frame.
  for (std::size_t i = 0; i < length; ++i) {
    const double position = double(i + 1) / double(length);
    const auto level = static_cast<float>(0.5 * (1.0 + std::cos(std::numbers::pi * position)));
    float* frame = audio.samples.data() + (first + i) * channels;
    for (std::size_t channel = 0; channel < channels; ++channel) frame[channel] *= level;
  }
}

}  // namespace

double shapeAudio(DecodedAudio& audio, double loopStartSeconds, const TrackShaping& shaping) {
  if (audio.sampleRate == 0 || audio.channels <= 0) return loopStartSeconds;
  if (shaping.trimSilence) {
    const std::size_t silent = leadingSilenceFrames(audio);
    const auto channels = static_cast<std::size_t>(audio.channels);
    audio.samples.erase(audio.samples.begin(),
                        audio.samples.begin() + static_cast<std::ptrdiff_t>(silent * channels));
    if (loopStartSeconds >= 0)
      loopStartSeconds = std::max(0.0, loopStartSeconds - double(silent) / audio.sampleRate);
  }
  if (shaping.loudnessTarget) {
    const auto gain =
        static_cast<float>(loudnessGain(measureLoudness(audio), *shaping.loudnessTarget));
    if (gain != 1.0f)
      for (float& sample : audio.samples) sample *= gain;
  }
  if (shaping.fadeSeconds > 0 && loopStartSeconds < 0) fadeOut(audio, shaping.fadeSeconds);
  return loopStartSeconds;
}

Bytes makeShapedTrack(const Bytes& file, double loopStartSeconds, const TrackShaping& shaping) {
  if (!shaping.active()) return makeMsuTrack(file, loopStartSeconds);
  DecodedAudio audio = decodeAudio(file);
  const double loopStart = shapeAudio(audio, loopStartSeconds, shaping);
  return makeMsuPcm(audio, loopStart);
}

}  // namespace tbp
