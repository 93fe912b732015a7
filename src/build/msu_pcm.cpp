#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "build/audio.h"

namespace tbp {
namespace {

constexpr std::int64_t kTapsBefore = 31;  // taps j = b - 31 .. b + 32 around b = floor(t)
constexpr std::int64_t kTapsAfter = 32;
constexpr int kTaps = 64;
constexpr double kHalfWidth = 32.0;
constexpr double kCutoffShare = 0.97;
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kFrameBytes = 4;

// Stereo input as consecutive (left, right) float pairs: a stereo file's own samples, or a
// copy made for other channel counts.
struct StereoInput {
  const float* pairs;
  std::size_t frames;
};

// Two doubles processed together: the left and the right sum of one output frame.
using DoublePair = double __attribute__((vector_size(16)));

// Output frame i sits at input position t = i * rate / 44100 = whole + fraction. Computing it
// from the exact integer product keeps the position exact however long the track is.
struct Position {
  std::int64_t whole;
  std::uint32_t remainder;  // fraction = remainder / 44100
};

Position outputPosition(std::uint64_t index, std::uint32_t rate) {
  const std::uint64_t scaled = index * rate;
  return {static_cast<std::int64_t>(scaled / kMsuSampleRate),
          static_cast<std::uint32_t>(scaled % kMsuSampleRate)};
}

// The Blackman-windowed sinc weight of a tap at distance x from the output position.
double tapWeight(double x, double cutoff) {
  constexpr double pi = std::numbers::pi;
  const double window =
      0.42 + 0.5 * std::cos(pi * x / kHalfWidth) + 0.08 * std::cos(2.0 * pi * x / kHalfWidth);
  const double sinc = x == 0.0 ? cutoff : std::sin(pi * cutoff * x) / (pi * x);
  return sinc * window;
}

// Without branches, so that whole buffers convert in vector registers. Clamping to
// -32768..32767 before rounding gives the same result as rounding and then saturating, and
// for values in that range the truncated remainder is exact.
inline std::int16_t toMsuSample(float value) {
  float scaled = value * 32767.0f;
  scaled = scaled == scaled ? scaled : 0.0f;  // NaN carries no level
  scaled = scaled < -32768.0f ? -32768.0f : scaled;
  scaled = scaled > 32767.0f ? 32767.0f : scaled;
  const auto whole = static_cast<std::int32_t>(scaled);  // towards zero
  const float rest = scaled - static_cast<float>(whole);
  return static_cast<std::int16_t>(whole + (rest >= 0.5f) - (rest <= -0.5f));
}

void putLe16(std::uint8_t* out, std::int16_t value) {
  const auto bits = static_cast<std::uint16_t>(value);
  out[0] = static_cast<std::uint8_t>(bits);
  out[1] = static_cast<std::uint8_t>(bits >> 8);
}

void putFrame(std::uint8_t* out, double left, double right) {
  putLe16(out, toMsuSample(roundToFloat(left)));
  putLe16(out + 2, toMsuSample(roundToFloat(right)));
}

// The formula itself, tap by tap, skipping taps outside the input: used near both ends of
// the input and for tracks too short to repay a table of weights.
void directFrame(StereoInput in, Position at, double cutoff, std::uint8_t* out) {
  const double fraction = static_cast<double>(at.remainder) / kMsuSampleRate;
  const auto count = static_cast<std::int64_t>(in.frames);
  double left = 0.0, right = 0.0, weightSum = 0.0;
  for (std::int64_t j = at.whole - kTapsBefore; j <= at.whole + kTapsAfter; ++j) {
    if (j < 0 || j >= count) continue;
    const double weight = tapWeight(static_cast<double>(at.whole - j) + fraction, cutoff);
    left += weight * in.pairs[2 * static_cast<std::size_t>(j)];
    right += weight * in.pairs[2 * static_cast<std::size_t>(j) + 1];
    weightSum += weight;
  }
  if (weightSum != 0.0) {
    left /= weightSum;
    right /= weightSum;
  }
  putFrame(out, left, right);
}

// The output positions repeat their fraction every 44100 / gcd(rate, 44100) frames, so each
// distinct phase's 64 weights are computed once, already divided by their sum.
class PhaseTable {
 public:
  PhaseTable(std::uint32_t rate, double cutoff)
      : step_(std::gcd(rate, kMsuSampleRate)), weights_(phaseCount(rate) * kTaps) {
    for (std::size_t phase = 0; phase < phaseCount(rate); ++phase) {
      const double fraction = static_cast<double>(phase * step_) / kMsuSampleRate;
      double* weights = &weights_[phase * kTaps];
      double sum = 0.0;
      for (int k = 0; k < kTaps; ++k) {
        weights[k] = tapWeight(static_cast<double>(kTapsBefore - k) + fraction, cutoff);
        sum += weights[k];
      }
      if (sum != 0.0) {
        for (int k = 0; k < kTaps; ++k) weights[k] /= sum;
      }
    }
  }

  static std::size_t phaseCount(std::uint32_t rate) {
    return kMsuSampleRate / std::gcd(rate, kMsuSampleRate);
  }

  // One output frame whose 64 taps all lie inside the input.
  void frame(const float* taps, std::uint32_t remainder, std::uint8_t* out) const {
    const double* weights = &weights_[remainder / step_ * kTaps];
    DoublePair sum0{}, sum1{}, sum2{}, sum3{};
    for (int k = 0; k < kTaps; k += 4) {
      const float* four = taps + 2 * k;
      sum0 += weights[k] * DoublePair{four[0], four[1]};
      sum1 += weights[k + 1] * DoublePair{four[2], four[3]};
      sum2 += weights[k + 2] * DoublePair{four[4], four[5]};
      sum3 += weights[k + 3] * DoublePair{four[6], four[7]};
    }
    const DoublePair sum = (sum0 + sum1) + (sum2 + sum3);
    putFrame(out, sum[0], sum[1]);
  }

 private:
  std::uint32_t step_;
  std::vector<double> weights_;
};

void resample(StereoInput in, std::uint32_t rate, std::uint64_t outFrames, std::uint8_t* out) {
  const double ratio = static_cast<double>(kMsuSampleRate) / rate;
  const double cutoff = ratio < 1.0 ? kCutoffShare * ratio : kCutoffShare;
  const auto count = static_cast<std::int64_t>(in.frames);
  std::unique_ptr<PhaseTable> table;
  if (PhaseTable::phaseCount(rate) < outFrames) table = std::make_unique<PhaseTable>(rate, cutoff);
  for (std::uint64_t i = 0; i < outFrames; ++i, out += kFrameBytes) {
    const Position at = outputPosition(i, rate);
    const bool inside = at.whole >= kTapsBefore && at.whole < count - kTapsAfter;
    if (table && inside) {
      const auto first = static_cast<std::size_t>(at.whole - kTapsBefore);
      table->frame(in.pairs + 2 * first, at.remainder, out);
    } else {
      directFrame(in, at, cutoff, out);
    }
  }
}

// Channel 0 and channel 1 of every frame as pairs; a mono input gives both sides the same
// value. Only called for inputs that are not already plain stereo.
std::vector<float> stereoPairs(const DecodedAudio& audio, std::size_t frames) {
  const auto channels = static_cast<std::size_t>(audio.channels);
  const std::size_t rightOffset = channels > 1 ? 1 : 0;
  std::vector<float> pairs(2 * frames);
  for (std::size_t i = 0; i < frames; ++i) {
    pairs[2 * i] = audio.samples[i * channels];
    pairs[2 * i + 1] = audio.samples[i * channels + rightOffset];
  }
  return pairs;
}

void copyAt44100(const DecodedAudio& audio, std::size_t frames, std::uint8_t* out) {
  const auto channels = static_cast<std::size_t>(audio.channels);
  const float* samples = audio.samples.data();
  if (channels == 2 && std::endian::native == std::endian::little) {
    // Stereo input maps sample for sample onto the track: one straight pass.
    for (std::size_t k = 0; k < 2 * frames; ++k) {
      const std::int16_t value = toMsuSample(samples[k]);
      std::memcpy(out + 2 * k, &value, sizeof value);
    }
    return;
  }
  const std::size_t rightOffset = channels > 1 ? 1 : 0;
  for (std::size_t i = 0; i < frames; ++i, samples += channels, out += kFrameBytes) {
    putLe16(out, toMsuSample(samples[0]));
    putLe16(out + 2, toMsuSample(samples[rightOffset]));
  }
}

// The whole part of min(M - 1, 44100 * seconds); a negative (or undefined) start means no loop.
std::uint32_t loopPoint(double seconds, std::uint64_t outFrames) {
  if (!(seconds >= 0.0)) return 0;
  const double last = outFrames > 0 ? static_cast<double>(outFrames - 1) : 0.0;
  return static_cast<std::uint32_t>(std::floor(std::min(last, kMsuSampleRate * seconds)));
}

}  // namespace

std::int16_t msuSample(float value) { return toMsuSample(value); }

Bytes makeMsuPcm(const DecodedAudio& audio, double loopStartSeconds) {
  if (audio.sampleRate == 0 || audio.channels <= 0 || audio.samples.empty()) {
    throw std::runtime_error("no audio");
  }
  const std::uint32_t rate = audio.sampleRate;
  if (rate < kMinSampleRate || rate > kMaxSampleRate) {
    throw std::runtime_error("sample rate out of range");
  }
  const std::size_t frames = audio.samples.size() / static_cast<std::size_t>(audio.channels);
  if (frames > static_cast<std::uint64_t>(rate) * kSecondsPerHour) {
    throw std::runtime_error("audio longer than an hour");
  }
  // M = floor(N * 44100 / r), computed exactly; N * 44100 cannot overflow within an hour.
  const std::uint64_t outFrames = static_cast<std::uint64_t>(frames) * kMsuSampleRate / rate;
  Bytes pcm(kHeaderBytes + outFrames * kFrameBytes);
  std::memcpy(pcm.data(), "MSU1", 4);
  const std::uint32_t loop = loopPoint(loopStartSeconds, outFrames);
  for (int i = 0; i < 4; ++i) pcm[4 + i] = static_cast<std::uint8_t>(loop >> (8 * i));
  if (rate == kMsuSampleRate) {
    copyAt44100(audio, frames, pcm.data() + kHeaderBytes);
  } else {
    std::vector<float> copy;
    if (audio.channels != 2) copy = stereoPairs(audio, frames);
    const float* pairs = audio.channels == 2 ? audio.samples.data() : copy.data();
    resample({pairs, frames}, rate, outFrames, pcm.data() + kHeaderBytes);
  }
  return pcm;
}

Bytes makeMsuTrack(const Bytes& file, double loopStartSeconds) {
  return makeMsuPcm(decodeAudio(file), loopStartSeconds);
}

}  // namespace tbp
