#include "build/loop_search.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <mutex>
#include <new>

#include <fftw3.h>

namespace tbp {
namespace {

constexpr double kAnalysisRate = 12000;     // the mono mix is compared at about this rate
constexpr double kCompareSeconds = 3.0;     // the length of the passages compared
constexpr double kMinCompareSeconds = 0.5;  // below this a file has too little to compare
constexpr double kMinLoopSeconds = 1.0;     // a loop shorter than this is no suggestion
constexpr double kMatchTolerance = 0.02;    // starts this close to the best count as equal
constexpr std::uint32_t kRefineShare = 4;   // a quarter of a second is compared at full rate
constexpr float kLoudestValue = 4.0f;       // the mix is clamped to this, 12 dB over full scale

// FFTW's planner is not reentrant; only the execution of a finished plan is.
std::mutex& plannerMutex() {
  static std::mutex mutex;
  return mutex;
}

struct FftwFree {
  void operator()(void* memory) const { fftwf_free(memory); }
};
template <typename Value>
using FftwBuffer = std::unique_ptr<Value[], FftwFree>;

template <typename Value>
FftwBuffer<Value> fftwBuffer(std::size_t count) {
  auto* memory = static_cast<Value*>(fftwf_malloc(count * sizeof(Value)));
  if (!memory) throw std::bad_alloc();
  return FftwBuffer<Value>(memory);
}

// A plan made and destroyed under the planner's lock, executed without it.
class Plan {
 public:
  template <typename Make>
  explicit Plan(Make make) {
    const std::lock_guard lock(plannerMutex());
    plan_ = make();
    if (!plan_) throw std::bad_alloc();
  }
  ~Plan() {
    const std::lock_guard lock(plannerMutex());
    fftwf_destroy_plan(plan_);
  }
  Plan(const Plan&) = delete;
  Plan& operator=(const Plan&) = delete;
  void run() const { fftwf_execute(plan_); }

 private:
  fftwf_plan plan_ = nullptr;
};

// The smallest length of at least `count` whose only prime factors are 2, 3 and 5, where the
// FFT is fastest.
std::size_t smoothLength(std::size_t count) {
  for (std::size_t length = std::max<std::size_t>(count, 1);; ++length) {
    std::size_t rest = length;
    for (const std::size_t factor : {2u, 3u, 5u})
      while (rest % factor == 0) rest /= factor;
    if (rest == 1) return length;
  }
}

// The mono mix of frame `frame`. A file may hold any float, even NaN or huge values: those
// are taken as silence or full scale, so that no product in the search overflows.
float monoAt(const DecodedAudio& audio, std::size_t frame) {
  const auto channels = static_cast<std::size_t>(audio.channels);
  const float* at = audio.samples.data() + frame * channels;
  const float mono = channels > 1 ? 0.5f * (at[0] + at[1]) : at[0];
  return std::isnan(mono) ? 0.0f : std::clamp(mono, -kLoudestValue, kLoudestValue);
}

// The mono mix, averaged over `step` frames per value.
void mixDown(const DecodedAudio& audio, std::size_t step, std::size_t count, float* out) {
  for (std::size_t i = 0; i < count; ++i) {
    float sum = 0;
    for (std::size_t frame = i * step; frame < (i + 1) * step; ++frame) sum += monoAt(audio, frame);
    out[i] = sum / float(step);
  }
}

// The analysis: the mono mix `mix` of `count` values and the last `window` of them, compared
// with every earlier passage of that length.
struct Analysis {
  std::size_t count = 0;
  std::size_t window = 0;
  std::size_t lastStart = 0;  // the last passage start compared
};

// Fills similarity[m] for every passage start m up to lastStart: 2 (x . y) / (x . x + y . y)
// of the passage and the end, which is 1 only for identical passages at the same level.
void similarities(const Analysis& shape, float* mix, float* similarity) {
  const std::size_t length = smoothLength(shape.count);
  const std::size_t bins = length / 2 + 1;
  FftwBuffer<float> signal = fftwBuffer<float>(length);
  FftwBuffer<float> ending = fftwBuffer<float>(length);
  auto spectrum = fftwBuffer<fftwf_complex>(bins);
  auto endSpectrum = fftwBuffer<fftwf_complex>(bins);
  std::copy(mix, mix + shape.count, signal.get());
  std::fill(signal.get() + shape.count, signal.get() + length, 0.0f);
  const float* tail = mix + shape.count - shape.window;
  std::copy(tail, tail + shape.window, ending.get());
  std::fill(ending.get() + shape.window, ending.get() + length, 0.0f);
  {
    const Plan forward([&] {
      return fftwf_plan_dft_r2c_1d(int(length), signal.get(), spectrum.get(), FFTW_ESTIMATE);
    });
    const Plan endForward([&] {
      return fftwf_plan_dft_r2c_1d(int(length), ending.get(), endSpectrum.get(), FFTW_ESTIMATE);
    });
    forward.run();
    endForward.run();
  }
  for (std::size_t bin = 0; bin < bins; ++bin) {
    const std::complex<float> a(spectrum[bin][0], spectrum[bin][1]);
    const std::complex<float> b(endSpectrum[bin][0], endSpectrum[bin][1]);
    const std::complex<float> product = a * std::conj(b);
    spectrum[bin][0] = product.real();
    spectrum[bin][1] = product.imag();
  }
  const Plan backward([&] {
    return fftwf_plan_dft_c2r_1d(int(length), spectrum.get(), signal.get(), FFTW_ESTIMATE);
  });
  backward.run();  // signal[m] = length * sum over k of tail[k] * mix[m + k]

  double endEnergy = 0;
  for (std::size_t k = 0; k < shape.window; ++k) endEnergy += double(tail[k]) * tail[k];
  double energy = 0;
  for (std::size_t k = 0; k < shape.window; ++k) energy += double(mix[k]) * mix[k];
  for (std::size_t m = 0; m <= shape.lastStart; ++m) {
    const double product = double(signal[m]) / double(length);
    const double total = energy + endEnergy;
    similarity[m] = total > 0 ? float(2.0 * product / total) : 0.0f;
    energy += double(mix[m + shape.window]) * mix[m + shape.window] - double(mix[m]) * mix[m];
  }
}

// The earliest start among those that match about as well as the best, moved to the top of
// its peak, with the peak's position between two values from a parabola through three.
double chooseStart(const float* similarity, std::size_t last, double* match) {
  const float best = *std::max_element(similarity, similarity + last + 1);
  std::size_t m = 0;
  while (similarity[m] < best - kMatchTolerance) ++m;
  while (m < last && similarity[m + 1] > similarity[m]) ++m;
  *match = std::clamp(double(similarity[m]), 0.0, 1.0);
  if (m == 0 || m == last) return double(m);
  const double before = similarity[m - 1], at = similarity[m], after = similarity[m + 1];
  const double curve = before - 2.0 * at + after;
  const double offset = curve < 0 ? std::clamp(0.5 * (before - after) / curve, -0.5, 0.5) : 0.0;
  return double(m) + offset;
}

// The analysis rate places the start to a fraction of its step; at the file's own rate the
// start whose preceding frames best match the end's is exact for a true repetition.
double refineAtFullRate(const DecodedAudio& audio, double estimate, std::size_t step) {
  const std::size_t frames = audio.frameCount();
  const auto centre = static_cast<std::int64_t>(std::llround(estimate));
  const auto reach = static_cast<std::int64_t>(2 * step);
  const std::size_t compared = std::max<std::size_t>(1, audio.sampleRate / kRefineShare);
  double best = -1;
  double bestStart = estimate;
  for (std::int64_t start = centre - reach; start <= centre + reach; ++start) {
    if (start < std::int64_t(compared) || start >= std::int64_t(frames)) continue;
    double product = 0, energy = 0;
    for (std::size_t k = 1; k <= compared; ++k) {
      const double here = monoAt(audio, std::size_t(start) - k);
      const double end = monoAt(audio, frames - k);
      product += here * end;
      energy += here * here + end * end;
    }
    const double similarity = energy > 0 ? 2.0 * product / energy : 0.0;
    if (similarity > best) best = similarity, bestStart = double(start);
  }
  return bestStart;
}

}  // namespace

std::uint32_t msuLoopFrame(double seconds, std::uint64_t frames, std::uint32_t sampleRate) {
  if (sampleRate == 0 || !(seconds >= 0)) return 0;
  const std::uint64_t outFrames = frames * kMsuSampleRate / sampleRate;
  const double last = outFrames > 0 ? double(outFrames - 1) : 0.0;
  return static_cast<std::uint32_t>(std::floor(std::min(last, kMsuSampleRate * seconds)));
}

LoopSuggestion findLoopStart(const DecodedAudio& audio) {
  const std::size_t frames = audio.frameCount();
  const std::uint32_t rate = audio.sampleRate;
  if (frames == 0 || rate == 0) return {};
  const auto step = std::max<std::size_t>(1, std::size_t(std::lround(rate / kAnalysisRate)));
  const double analysisRate = double(rate) / double(step);
  Analysis shape;
  shape.count = frames / step;
  shape.window = std::min(std::size_t(kCompareSeconds * analysisRate), shape.count / 4);
  const std::size_t shortestLoop =
      std::max(shape.window, std::size_t(kMinLoopSeconds * analysisRate));
  if (double(shape.window) < kMinCompareSeconds * analysisRate ||
      shape.count < shape.window + shortestLoop + 1)
    return {};
  shape.lastStart = shape.count - shape.window - shortestLoop;

  std::vector<float> mix(shape.count);
  mixDown(audio, step, shape.count, mix.data());
  std::vector<float> similarity(shape.lastStart + 1);
  similarities(shape, mix.data(), similarity.data());

  LoopSuggestion suggestion;
  const double start = chooseStart(similarity.data(), shape.lastStart, &suggestion.match);
  // The end of the last compared passage matched the end of the file, so the loop start lies
  // one loop length before the file's end.
  const double loopLength = (double(shape.count - shape.window) - start) * double(step);
  const double startFrame = std::clamp(
      refineAtFullRate(audio, double(frames) - loopLength, step), 0.0, double(frames - 1));
  suggestion.found = suggestion.match >= kGoodLoopMatch;
  suggestion.seconds = startFrame / rate;
  suggestion.msuFrame = msuLoopFrame(suggestion.seconds, frames, rate);
  return suggestion;
}

}  // namespace tbp
