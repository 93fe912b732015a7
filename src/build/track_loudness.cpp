#include "build/track_loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "build/audio.h"

namespace tbp {
namespace {

constexpr std::size_t kSegmentFrames = kMsuSampleRate / 10;  // 100 ms
constexpr std::size_t kSegmentsPerBlock = 4;                   // 400 ms blocks
constexpr double kAbsoluteGate = -70.0;                        // LUFS
constexpr double kRelativeGate = -10.0;                        // LU below the gated mean
constexpr double kLoudnessOffset = -0.691;
constexpr int kTapsBefore = 5;  // the oversampling window: samples t - 5 .. t + 6
constexpr int kTapsAfter = 6;
constexpr std::size_t kPeakStretch = 512;  // frames whose largest sample is kept together

using Pair = double __attribute__((vector_size(16)));  // left and right together

// BS.1770's pre-filter (a high shelf of about +4 dB) and its high-pass (RLB), as biquads for
// the rate: b0, b1, b2, a1, a2.
std::array<double, 5> shelfFilter(double rate) {
  const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
  const double k = std::tan(std::numbers::pi * f0 / rate);
  const double vh = std::pow(10.0, gain / 20.0), vb = std::pow(vh, 0.4996667741545416);
  const double a0 = 1.0 + k / q + k * k;
  return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
          2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

std::array<double, 5> highPassFilter(double rate) {
  const double f0 = 38.13547087602444, q = 0.5003270373238773;
  const double k = std::tan(std::numbers::pi * f0 / rate);
  const double a0 = 1.0 + k / q + k * k;
  return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

// The taps of output position t + fraction from samples t - 5 .. t + 6: a Blackman-windowed
// sinc, scaled to a sum of 1.
std::array<float, 12> phaseTaps(double fraction) {
  constexpr double halfWidth = 6.5;
  std::array<double, 12> taps{};
  double sum = 0;
  for (int j = -kTapsBefore; j <= kTapsAfter; ++j) {
    const double x = j - fraction;
    const double window = 0.42 + 0.5 * std::cos(std::numbers::pi * x / halfWidth) +
                          0.08 * std::cos(2.0 * std::numbers::pi * x / halfWidth);
    const double sinc = std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    taps[std::size_t(j + kTapsBefore)] = sinc * window;
    sum += sinc * window;
  }
  std::array<float, 12> scaled{};
  for (std::size_t k = 0; k < taps.size(); ++k) scaled[k] = float(taps[k] / sum);
  return scaled;
}

// The largest magnitude of the oversampled positions between samples[first] and
// samples[first + 1], ... for `count` positions, at most kPeakStretch (each needs 5 samples
// before and 6 after). Tap by tap over all positions, so that the sums run in vector registers.
TBP_VECTOR_CLONES float fractionalPeak(const std::array<std::array<float, 12>, 3>& phases,
                                       const float* samples, std::size_t first, std::size_t count) {
  float peak = 0;
  float sums[kPeakStretch];
  for (const auto& taps : phases) {
    std::fill(sums, sums + count, 0.0f);
    for (std::size_t k = 0; k < taps.size(); ++k) {
      const float tap = taps[k];
      const float* window = samples + first - kTapsBefore + k;
      for (std::size_t t = 0; t < count; ++t) sums[t] += tap * window[t];
    }
    for (std::size_t t = 0; t < count; ++t) peak = std::max(peak, std::fabs(sums[t]));
  }
  return peak;
}

float largestMagnitude(const float* samples, std::size_t count) {
  float largest = 0;
  for (std::size_t i = 0; i < count; ++i) largest = std::max(largest, std::fabs(samples[i]));
  return largest;
}

}  // namespace

TrackLoudness::TrackLoudness()
    : shelf_(shelfFilter(kMsuSampleRate)), highPass_(highPassFilter(kMsuSampleRate)) {
  for (int p = 1; p <= 3; ++p) {
    phases_[std::size_t(p - 1)] = phaseTaps(p / 4.0);
    float sum = 0;
    for (const float tap : phases_[std::size_t(p - 1)]) sum += std::fabs(tap);
    phaseGain_ = std::max(phaseGain_, sum);
  }
}

void TrackLoudness::add(const float* samples, std::size_t frames) {
  // Both channels run through both biquads side by side (transposed direct form II).
  Pair s1{state_[0][0], state_[1][0]}, s2{state_[0][1], state_[1][1]};
  Pair t1{state_[0][2], state_[1][2]}, t2{state_[0][3], state_[1][3]};
  Pair sum{segmentSum_[0], segmentSum_[1]};
  const auto [b0, b1, b2, a1, a2] = shelf_;
  const auto [c0, c1, c2, d1, d2] = highPass_;
  for (std::size_t i = 0; i < frames; ++i) {
    const Pair x{samples[2 * i], samples[2 * i + 1]};
    const Pair y = b0 * x + s1;
    s1 = b1 * x - a1 * y + s2;
    s2 = b2 * x - a2 * y;
    const Pair z = c0 * y + t1;
    t1 = c1 * y - d1 * z + t2;
    t2 = c2 * y - d2 * z;
    sum += z * z;
    if (++segmentFrames_ == kSegmentFrames) {
      addSegmentEnergy(sum[0], sum[1]);
      sum = Pair{0, 0};
      segmentFrames_ = 0;
    }
  }
  state_[0] = {s1[0], s2[0], t1[0], t2[0]};
  state_[1] = {s1[1], s2[1], t1[1], t2[1]};
  segmentSum_[0] = sum[0];
  segmentSum_[1] = sum[1];
  notePeaks(samples, frames);
}

void TrackLoudness::notePeaks(const float* samples, std::size_t frames) {
  while (frames > 0) {
    const std::size_t filled = frames_ % kPeakStretch;
    if (filled == 0) stretchPeaks_.push_back(0.0f);
    const std::size_t count = std::min(frames, kPeakStretch - filled);
    stretchPeaks_.back() = std::max(stretchPeaks_.back(), largestMagnitude(samples, 2 * count));
    samples += 2 * count;
    frames -= count;
    frames_ += count;
  }
}

void TrackLoudness::addSegmentEnergy(double left, double right) {
  segments_.push_back((left + right) / kSegmentFrames);
  if (segments_.size() < kSegmentsPerBlock) return;
  double block = 0;
  for (const double energy : segments_) block += energy;
  block /= kSegmentsPerBlock;
  segments_.erase(segments_.begin());
  if (kLoudnessOffset + 10.0 * std::log10(block) >= kAbsoluteGate) gatedBlocks_.push_back(block);
}

double TrackLoudness::integratedLufs() const {
  if (gatedBlocks_.empty()) return -std::numeric_limits<double>::infinity();
  double mean = 0;
  for (const double block : gatedBlocks_) mean += block;
  mean /= double(gatedBlocks_.size());
  const double threshold = mean * std::pow(10.0, kRelativeGate / 10.0);
  double sum = 0;
  std::size_t count = 0;
  for (const double block : gatedBlocks_) {
    if (block < threshold) continue;
    sum += block;
    ++count;
  }
  if (count == 0 || sum <= 0) return -std::numeric_limits<double>::infinity();
  return kLoudnessOffset + 10.0 * std::log10(sum / double(count));
}

double TrackLoudness::samplePeak() const {
  float peak = 0;
  for (const float stretch : stretchPeaks_) peak = std::max(peak, stretch);
  return peak;
}

double TrackLoudness::truePeakAbove(double level, const FrameReader& read) const {
  // A stretch with its neighbours' samples in reach of its taps, silence beyond the ends.
  std::vector<float> frames(2 * (kPeakStretch + kTapsBefore + kTapsAfter));
  std::vector<float> channel(kPeakStretch + kTapsBefore + kTapsAfter);
  double peak = 0;
  for (std::size_t stretch = 0; stretch < stretchPeaks_.size(); ++stretch) {
    // No position can exceed the taps' gain times the largest sample they reach.
    const std::size_t reach[] = {stretch > 0 ? stretch - 1 : stretch, stretch,
                                 std::min(stretch + 1, stretchPeaks_.size() - 1)};
    float largest = 0;
    for (const std::size_t near : reach) largest = std::max(largest, stretchPeaks_[near]);
    if (largest * phaseGain_ <= level) continue;
    const std::uint64_t first = stretch * std::uint64_t(kPeakStretch);
    const std::size_t count = std::size_t(std::min<std::uint64_t>(kPeakStretch, frames_ - first));
    const std::uint64_t from = first >= kTapsBefore ? first - kTapsBefore : 0;
    const std::uint64_t to = std::min<std::uint64_t>(frames_, first + count + kTapsAfter);
    std::fill(frames.begin(), frames.end(), 0.0f);
    read(from, std::size_t(to - from), frames.data() + 2 * (from + kTapsBefore - first));
    for (std::size_t side = 0; side < 2; ++side) {
      for (std::size_t i = 0; i < channel.size(); ++i) channel[i] = frames[2 * i + side];
      peak = std::max<double>(peak, largestMagnitude(channel.data() + kTapsBefore, count));
      peak = std::max<double>(peak, fractionalPeak(phases_, channel.data(), kTapsBefore, count));
    }
  }
  return peak;
}

}  // namespace tbp
