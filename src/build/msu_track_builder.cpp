#include "build/msu_track_builder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>

#include "build/audio.h"

namespace tbp {
namespace {

constexpr std::int64_t kTapsBefore = 31;  // taps j = b - 31 .. b + 32 around b = floor(t)
constexpr std::int64_t kTapsAfter = 32;
constexpr std::size_t kTaps = 64;
constexpr double kHalfWidth = 32.0;
constexpr double kCutoffShare = 0.97;
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kFrameBytes = 4;
constexpr std::size_t kBlockFrames = 4096;  // input frames taken into the window at a time
constexpr std::size_t kBatchFrames = 256;   // output frames per call of the dot products
constexpr std::size_t kFlushBytes = 1 << 18;  // output handed on in blocks of about this size

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

// Room for `frames` more frames at the end of the track.
std::uint8_t* growTrack(Bytes& track, std::size_t frames) {
  const std::size_t old = track.size();
  track.resize(old + frames * kFrameBytes);
  return track.data() + old;
}

// The whole part of min(M - 1, 44100 * seconds); a negative (or undefined) start means no loop.
std::uint32_t loopPoint(double seconds, std::uint64_t outFrames) {
  if (!(seconds >= 0.0)) return 0;
  const double last = outFrames > 0 ? static_cast<double>(outFrames - 1) : 0.0;
  return static_cast<std::uint32_t>(std::floor(std::min(last, kMsuSampleRate * seconds)));
}

// The output positions repeat their fraction every 44100 / gcd(rate, 44100) frames, so each
// distinct phase's 64 weights are computed once, already divided by their sum, when first
// needed: a short track computes only the few it uses.
class PhaseTable {
 public:
  PhaseTable(std::uint32_t rate, double cutoff)
      : step_(std::gcd(rate, kMsuSampleRate)),
        count_(kMsuSampleRate / step_),
        cutoff_(cutoff),
        weights_(std::make_unique_for_overwrite<double[]>(count_ * kTaps)),
        ready_(count_, 0) {}

  std::size_t count() const { return count_; }
  std::uint32_t step() const { return step_; }

  const double* weights(std::size_t phase) {
    double* weights = &weights_[phase * kTaps];
    if (ready_[phase]) return weights;
    const double fraction = static_cast<double>(phase * step_) / kMsuSampleRate;
    double sum = 0.0;
    for (std::size_t k = 0; k < kTaps; ++k) {
      weights[k] =
          tapWeight(static_cast<double>(kTapsBefore) - static_cast<double>(k) + fraction, cutoff_);
      sum += weights[k];
    }
    if (sum != 0.0) {
      for (std::size_t k = 0; k < kTaps; ++k) weights[k] /= sum;
    }
    ready_[phase] = 1;
    return weights;
  }

 private:
  std::uint32_t step_;
  std::size_t count_;
  double cutoff_;
  std::unique_ptr<double[]> weights_;
  std::vector<std::uint8_t> ready_;
};

// The two steps of a batch that an engine computes.
struct Kernels {
  void (*dotProducts)(const detail::DotBatch&);
  void (*trackSamples)(const double*, std::size_t, std::uint8_t*);
};

Kernels kernelsFor(ResamplerEngine engine) {
  if (engine == ResamplerEngine::Avx2Fma && resamplerEngineAvailable(engine)) {
    return {detail::dotProductsAvx2Fma, detail::trackSamplesAvx2};
  }
  return {detail::dotProductsPortable, detail::trackSamplesPortable};
}

// Output frame i sits at input position t = i * rate / 44100 = whole + phase * step / 44100,
// stepped exactly in integers.
struct Position {
  std::uint64_t index = 0;
  std::int64_t whole = 0;
  std::size_t phase = 0;
};

}  // namespace

std::int16_t msuSample(float value) { return toMsuSample(value); }

ResamplerEngine bestResamplerEngine() {
  static const ResamplerEngine best = resamplerEngineAvailable(ResamplerEngine::Avx2Fma)
                                          ? ResamplerEngine::Avx2Fma
                                          : ResamplerEngine::Portable;
  return best;
}

void detail::trackSamplesPortable(const double* values, std::size_t count, std::uint8_t* out) {
  for (std::size_t k = 0; k < count; ++k, out += 2)
    putLe16(out, toMsuSample(roundToFloat(values[k])));
}

// Two lanes of doubles: plain SSE2 on x86-64, NEON on ARM, scalar code elsewhere.
using DoublePair = double __attribute__((vector_size(16)));

void detail::dotProductsPortable(const DotBatch& batch) {
  const auto load = [](const double* values) {
    DoublePair pair;
    std::memcpy(&pair, values, sizeof pair);
    return pair;
  };
  for (std::size_t f = 0; f < batch.count; ++f) {
    const double* weights = batch.weights[f];
    const double* left = batch.left + batch.starts[f];
    const double* right = batch.right + batch.starts[f];
    // Two running sums of two lanes per side let the additions overlap.
    DoublePair l0{}, l1{}, r0{}, r1{};
    for (std::size_t k = 0; k < kTaps; k += 4) {
      const DoublePair w0 = load(weights + k), w1 = load(weights + k + 2);
      l0 += w0 * load(left + k);
      l1 += w1 * load(left + k + 2);
      r0 += w0 * load(right + k);
      r1 += w1 * load(right + k + 2);
    }
    const DoublePair l = l0 + l1, r = r0 + r1;
    batch.sums[2 * f] = l[0] + l[1];
    batch.sums[2 * f + 1] = r[0] + r[1];
  }
}

// The windowed-sinc resampler over a sliding window of the input: channel 0 and channel 1
// as planar doubles, from input frame base_ on.
class MsuTrackBuilder::Resampler {
 public:
  Resampler(std::uint32_t rate, ResamplerEngine engine)
      : table_(rate, cutoffFor(rate)),
        cutoff_(cutoffFor(rate)),
        wholeStep_(rate / kMsuSampleRate),
        phaseStep_(rate % kMsuSampleRate / table_.step()),
        kernels_(kernelsFor(engine)) {}

  // Channel 0 and channel 1 of each frame; a mono input gives both sides the same value.
  void append(const float* samples, std::size_t frames, std::size_t channels) {
    const std::size_t old = size_;
    size_ += frames;
    // The buffers only grow (to a block and the taps before it), so they are cleared once.
    if (size_ > left_.size()) {
      left_.resize(size_);
      right_.resize(size_);
    }
    const std::size_t rightOffset = channels > 1 ? 1 : 0;
    for (std::size_t i = 0; i < frames; ++i, samples += channels) {
      left_[old + i] = samples[0];
      right_[old + i] = samples[rightOffset];
    }
  }

  // Every output frame whose taps the input received so far covers: those near the start
  // by the formula itself, the others through the table in batches. Then the window drops
  // the frames that no later output frame reads.
  void emitCovered(Bytes& track) {
    const auto received = base_ + static_cast<std::int64_t>(size_);
    while (at_.whole < kTapsBefore && at_.whole + kTapsAfter < received) {
      directFrame(received, growTrack(track, 1));
      at_ = advance(at_);
    }
    while (at_.whole + kTapsAfter < received) {
      const std::size_t count = gatherBatch(received);
      kernels_.dotProducts({weights_, starts_, count, left_.data(), right_.data(), sums_});
      kernels_.trackSamples(sums_, 2 * count, growTrack(track, count));
    }
    const std::int64_t keepFrom =
        std::min(std::max<std::int64_t>(at_.whole - kTapsBefore, 0), received);
    const auto drop = static_cast<std::size_t>(keepFrom - base_);
    if (drop == 0) return;
    std::copy(left_.begin() + static_cast<std::ptrdiff_t>(drop),
              left_.begin() + static_cast<std::ptrdiff_t>(size_), left_.begin());
    std::copy(right_.begin() + static_cast<std::ptrdiff_t>(drop),
              right_.begin() + static_cast<std::ptrdiff_t>(size_), right_.begin());
    size_ -= drop;
    base_ = keepFrom;
  }

  // The output frames up to `outFrames` that reach past the end of the input of `frames`.
  void emitEnd(Bytes& track, std::uint64_t frames, std::uint64_t outFrames) {
    const auto count = static_cast<std::int64_t>(frames);
    for (; at_.index < outFrames; at_ = advance(at_)) directFrame(count, growTrack(track, 1));
  }

 private:
  static double cutoffFor(std::uint32_t rate) {
    const double ratio = static_cast<double>(kMsuSampleRate) / rate;
    return ratio < 1.0 ? kCutoffShare * ratio : kCutoffShare;
  }

  Position advance(Position at) const {
    ++at.index;
    at.whole += wholeStep_;
    at.phase += phaseStep_;
    if (at.phase >= table_.count()) {
      at.phase -= table_.count();
      ++at.whole;
    }
    return at;
  }

  // The weights and first taps of the next output frames (at most a batch) whose taps all
  // lie inside the input received so far.
  std::size_t gatherBatch(std::int64_t received) {
    Position at = at_;
    std::size_t count = 0;
    for (; count < kBatchFrames && at.whole + kTapsAfter < received; ++count, at = advance(at)) {
      weights_[count] = table_.weights(at.phase);
      starts_[count] = static_cast<std::size_t>(at.whole - kTapsBefore - base_);
    }
    at_ = at;
    return count;
  }

  // The formula itself, tap by tap, skipping taps outside the input of `count` frames.
  void directFrame(std::int64_t count, std::uint8_t* out) const {
    const double fraction = static_cast<double>(at_.phase * table_.step()) / kMsuSampleRate;
    double sums[2] = {}, weightSum = 0.0;
    for (std::int64_t j = at_.whole - kTapsBefore; j <= at_.whole + kTapsAfter; ++j) {
      if (j < 0 || j >= count) continue;
      const double weight = tapWeight(static_cast<double>(at_.whole - j) + fraction, cutoff_);
      const auto frame = static_cast<std::size_t>(j - base_);
      sums[0] += weight * left_[frame];
      sums[1] += weight * right_[frame];
      weightSum += weight;
    }
    if (weightSum != 0.0) {
      sums[0] /= weightSum;
      sums[1] /= weightSum;
    }
    detail::trackSamplesPortable(sums, 2, out);
  }

  PhaseTable table_;
  double cutoff_;
  std::uint32_t wholeStep_;
  std::size_t phaseStep_;
  Kernels kernels_;
  std::vector<double> left_, right_;  // the first size_ values are the window
  std::size_t size_ = 0;
  std::int64_t base_ = 0;  // the input frame at left_[0] and right_[0]
  Position at_;            // of the next output frame
  const double* weights_[kBatchFrames];
  std::size_t starts_[kBatchFrames];
  double sums_[2 * kBatchFrames];
};

void putTrackHeader(std::uint8_t* out, std::uint32_t loopPoint) {
  std::memcpy(out, "MSU1", 4);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(loopPoint >> (8 * i));
}

MsuTrackBuilder::MsuTrackBuilder(std::uint32_t sampleRate, std::int32_t channels,
                                 double loopStartSeconds, ResamplerEngine engine,
                                 TrackFrameSink* output)
    : sampleRate_(sampleRate),
      channels_(static_cast<std::size_t>(channels)),
      loopStartSeconds_(loopStartSeconds),
      output_(output) {
  if (!output_) track_.resize(kHeaderBytes);
  if (sampleRate != kMsuSampleRate) resampler_ = std::make_unique<Resampler>(sampleRate, engine);
}

MsuTrackBuilder::~MsuTrackBuilder() = default;

void MsuTrackBuilder::expectFrames(std::uint64_t frames) {
  const std::uint64_t outFrames = frames * kMsuSampleRate / sampleRate_;
  if (output_)
    output_->expectFrames(outFrames);
  else
    track_.reserve(kHeaderBytes + outFrames * kFrameBytes);
}

void MsuTrackBuilder::add(const float* samples, std::size_t frames) {
  inputFrames_ += frames;
  for (std::size_t done = 0; done < frames; done += kBlockFrames) {
    addBlock(samples + done * channels_, std::min(kBlockFrames, frames - done));
    if (pending_.size() >= kFlushBytes) flush();
  }
}

// The frames made so far go to the output, or to the end of the track in memory.
void MsuTrackBuilder::flush() {
  const std::size_t frames = pending_.size() / kFrameBytes;
  outputFrames_ += frames;
  if (output_) {
    if (frames > 0) output_->frames(pending_.data(), frames);
  } else {
    track_.insert(track_.end(), pending_.begin(), pending_.end());
  }
  pending_.clear();
}

void MsuTrackBuilder::addBlock(const float* samples, std::size_t frames) {
  if (resampler_) {
    resampler_->append(samples, frames, channels_);
    resampler_->emitCovered(pending_);
    return;
  }
  // At 44100 Hz output frame i is input frame i.
  std::uint8_t* out = growTrack(pending_, frames);
  if (channels_ == 2 && std::endian::native == std::endian::little) {
    for (std::size_t k = 0; k < 2 * frames; ++k) {
      const std::int16_t value = toMsuSample(samples[k]);
      std::memcpy(out + 2 * k, &value, sizeof value);
    }
    return;
  }
  const std::size_t rightOffset = channels_ > 1 ? 1 : 0;
  for (std::size_t i = 0; i < frames; ++i, samples += channels_, out += kFrameBytes) {
    putLe16(out, toMsuSample(samples[0]));
    putLe16(out + 2, toMsuSample(samples[rightOffset]));
  }
}

TrackLayout MsuTrackBuilder::finishFrames() {
  // M = floor(N * 44100 / r), computed exactly; N * 44100 cannot overflow within an hour.
  const std::uint64_t outFrames = inputFrames_ * kMsuSampleRate / sampleRate_;
  if (resampler_) resampler_->emitEnd(pending_, inputFrames_, outFrames);
  flush();
  return {outputFrames_, loopPoint(loopStartSeconds_, outFrames)};
}

Bytes MsuTrackBuilder::finish() {
  const TrackLayout layout = finishFrames();
  if (!output_) putTrackHeader(track_.data(), layout.loopPoint);
  return std::move(track_);
}

}  // namespace tbp
