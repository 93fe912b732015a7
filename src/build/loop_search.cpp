#include "build/loop_search.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <mutex>
#include <new>

#include <fftw3.h>

#include "build/audio_stream.h"

namespace tbp {
namespace {

constexpr double kAnalysisRate = 12000;     // the mono mix is compared at about this rate
constexpr double kCompareSeconds = 3.0;     // the length of the passages compared
constexpr double kMinCompareSeconds = 0.5;  // below this a file has too little to compare
constexpr double kMinLoopSeconds = 1.0;     // a loop shorter than this is no suggestion
constexpr double kMatchTolerance = 0.02;    // starts this close to the best count as equal
constexpr std::uint32_t kRefineShare = 4;   // a quarter of a second is compared at full rate
constexpr float kLoudestValue = 4.0f;       // the mix is clamped to this, 12 dB over full scale
constexpr float kMonoScale = 8191.0f;       // full scale in the 16-bit mono mix

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

// The transform length of the block-wise correlation: a power of two that holds about four
// compared passages, so each block yields three quarters of its length in results and the
// transforms stay small enough to run in the processor's caches.
std::size_t blockLength(std::size_t window) {
  std::size_t length = 1024;
  while (length < 4 * window) length *= 2;
  return length;
}

// The mono mix of the first two channels of a frame, as a 16-bit value of a quarter of full
// scale (so up to 12 dB over full scale is kept): passages compare as well as in floats, in a
// quarter of the memory of the decoded frames. NaN is silence and anything louder is clamped.
std::int16_t monoValue(const float* frame, std::size_t channels) {
  const float mono = channels > 1 ? 0.5f * (frame[0] + frame[1]) : frame[0];
  if (std::isnan(mono)) return 0;
  // Rounds half away from zero, exactly as lround, without the library call: the scaled value
  // is at most 32764 in size, so the sum in double precision is exact.
  const double scaled = double(std::clamp(mono, -kLoudestValue, kLoudestValue)) * kMonoScale;
  return static_cast<std::int16_t>(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
}

void appendMono(const float* samples, std::size_t frames, std::size_t channels,
                std::vector<std::int16_t>& mono) {
  const std::size_t first = mono.size();
  mono.resize(first + frames);
  std::int16_t* out = mono.data() + first;
  if (channels == 2) {  // the common case, in a loop the compiler can vectorise
    for (std::size_t frame = 0; frame < frames; ++frame) out[frame] = monoValue(samples + 2 * frame, 2);
    return;
  }
  for (std::size_t frame = 0; frame < frames; ++frame)
    out[frame] = monoValue(samples + frame * channels, channels);
}

// Keeps the mono mix of a decoded stream as it comes, never the decoded frames themselves.
class MonoSink : public detail::FrameSink {
 public:
  void start(std::uint32_t sampleRate, std::int32_t channels) override {
    rate_ = sampleRate;
    channels_ = static_cast<std::size_t>(channels);
  }
  void expectFrames(std::uint64_t frames) override {
    if (frames <= mono_.max_size()) mono_.reserve(static_cast<std::size_t>(frames));
  }
  float* room(std::size_t samples) override {
    scratch_.resize(samples);
    return scratch_.data();
  }
  void commit() override { appendMono(scratch_.data(), scratch_.size() / channels_, channels_, mono_); }

  std::uint32_t rate() const { return rate_; }
  const std::vector<std::int16_t>& mono() const { return mono_; }

 private:
  std::uint32_t rate_ = 0;
  std::size_t channels_ = 1;
  std::vector<float> scratch_;
  std::vector<std::int16_t> mono_;
};

// The mono mix, averaged over `step` frames per value, in floats of full scale 1.
void mixDown(const std::vector<std::int16_t>& mono, std::size_t step, std::size_t count,
             float* out) {
  const float scale = 1.0f / (float(step) * kMonoScale);
  for (std::size_t i = 0; i < count; ++i) {
    std::int32_t sum = 0;
    for (std::size_t frame = i * step; frame < (i + 1) * step; ++frame) sum += mono[frame];
    out[i] = float(sum) * scale;
  }
}

// The analysis: the mono mix `mix` of `count` values and the last `window` of them, compared
// with every earlier passage of that length.
struct Analysis {
  std::size_t count = 0;
  std::size_t window = 0;
  std::size_t lastStart = 0;  // the last passage start compared
};

// Turns the correlation products into similarities, with the energy of each passage kept
// as a running sum.
void normalise(const Analysis& shape, const float* mix, std::size_t length,
               std::vector<float>& similarity) {
  const float* tail = mix + shape.count - shape.window;
  double endEnergy = 0;
  for (std::size_t k = 0; k < shape.window; ++k) endEnergy += double(tail[k]) * tail[k];
  double energy = 0;
  for (std::size_t k = 0; k < shape.window; ++k) energy += double(mix[k]) * mix[k];
  for (std::size_t m = 0; m <= shape.lastStart; ++m) {
    const double product = double(similarity[m]) / double(length);
    const double total = energy + endEnergy;
    similarity[m] = total > 0 ? float(2.0 * product / total) : 0.0f;
    energy += double(mix[m + shape.window]) * mix[m + shape.window] - double(mix[m]) * mix[m];
  }
}

// The similarity of every passage start m up to lastStart with the end: 2 (x . y) /
// (x . x + y . y) of the two passages, which is 1 only for identical passages at the same
// level. The cross-correlation runs block by block (overlap-save) with two small plans that
// every block reuses, so planning and the transforms cost little and the search holds only
// the mix and its results beside a few blocks.
std::vector<float> similarities(const Analysis& shape, const float* mix) {
  const std::size_t length = blockLength(shape.window);
  const std::size_t bins = length / 2 + 1;
  const std::size_t results = length - shape.window + 1;  // per block, free of wrap-around
  FftwBuffer<float> block = fftwBuffer<float>(length);
  FftwBuffer<float> spectrumValues = fftwBuffer<float>(2 * bins);
  FftwBuffer<float> endValues = fftwBuffer<float>(2 * bins);
  auto* spectrum = reinterpret_cast<fftwf_complex*>(spectrumValues.get());
  const auto* endSpectrum = reinterpret_cast<const fftwf_complex*>(endValues.get());
  const Plan forward([&] {
    return fftwf_plan_dft_r2c_1d(int(length), block.get(), spectrum, FFTW_ESTIMATE);
  });
  const Plan backward([&] {
    return fftwf_plan_dft_c2r_1d(int(length), spectrum, block.get(), FFTW_ESTIMATE);
  });
  const float* tail = mix + shape.count - shape.window;
  std::fill(std::copy(tail, tail + shape.window, block.get()), block.get() + length, 0.0f);
  forward.run();
  std::copy(spectrumValues.get(), spectrumValues.get() + 2 * bins, endValues.get());

  std::vector<float> similarity(shape.lastStart + 1);
  for (std::size_t first = 0; first <= shape.lastStart; first += results) {
    const std::size_t available = std::min(length, shape.count - first);
    std::fill(std::copy(mix + first, mix + first + available, block.get()), block.get() + length,
              0.0f);
    forward.run();
    for (std::size_t bin = 0; bin < bins; ++bin) {
      const std::complex<float> a(spectrum[bin][0], spectrum[bin][1]);
      const std::complex<float> b(endSpectrum[bin][0], endSpectrum[bin][1]);
      const std::complex<float> product = a * std::conj(b);
      spectrum[bin][0] = product.real();
      spectrum[bin][1] = product.imag();
    }
    backward.run();  // block[j] = length * sum over k of tail[k] * mix[first + j + k]
    const std::size_t count = std::min(results, shape.lastStart + 1 - first);
    std::copy(block.get(), block.get() + count, similarity.begin() + std::ptrdiff_t(first));
  }
  normalise(shape, mix, length, similarity);
  return similarity;
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
double refineAtFullRate(const std::vector<std::int16_t>& mono, std::uint32_t rate, double estimate,
                        std::size_t step) {
  const std::size_t frames = mono.size();
  const auto centre = static_cast<std::int64_t>(std::llround(estimate));
  const auto reach = static_cast<std::int64_t>(2 * step);
  const std::size_t compared = std::max<std::size_t>(1, rate / kRefineShare);
  double best = -1;
  double bestStart = estimate;
  for (std::int64_t start = centre - reach; start <= centre + reach; ++start) {
    if (start < std::int64_t(compared) || start >= std::int64_t(frames)) continue;
    double product = 0, energy = 0;
    for (std::size_t k = 1; k <= compared; ++k) {
      const double here = mono[std::size_t(start) - k];
      const double end = mono[frames - k];
      product += here * end;
      energy += here * here + end * end;
    }
    const double similarity = energy > 0 ? 2.0 * product / energy : 0.0;
    if (similarity > best) best = similarity, bestStart = double(start);
  }
  return bestStart;
}

// The search on the full-rate mono mix of a file.
LoopSuggestion searchMono(const std::vector<std::int16_t>& mono, std::uint32_t rate) {
  const std::size_t frames = mono.size();
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
  mixDown(mono, step, shape.count, mix.data());
  const std::vector<float> similarity = similarities(shape, mix.data());
  mix = std::vector<float>();

  LoopSuggestion suggestion;
  const double start = chooseStart(similarity.data(), shape.lastStart, &suggestion.match);
  // The end of the last compared passage matched the end of the file, so the loop start lies
  // one loop length before the file's end.
  const double loopLength = (double(shape.count - shape.window) - start) * double(step);
  const double startFrame = std::clamp(
      refineAtFullRate(mono, rate, double(frames) - loopLength, step), 0.0, double(frames - 1));
  suggestion.found = suggestion.match >= kGoodLoopMatch;
  suggestion.seconds = startFrame / rate;
  suggestion.msuFrame = msuLoopFrame(suggestion.seconds, frames, rate);
  return suggestion;
}

}  // namespace

std::uint32_t msuLoopFrame(double seconds, std::uint64_t frames, std::uint32_t sampleRate) {
  if (sampleRate == 0 || !(seconds >= 0)) return 0;
  const std::uint64_t outFrames = frames * kMsuSampleRate / sampleRate;
  const double last = outFrames > 0 ? double(outFrames - 1) : 0.0;
  return static_cast<std::uint32_t>(std::floor(std::min(last, kMsuSampleRate * seconds)));
}

LoopSuggestion findLoopStart(const DecodedAudio& audio) {
  if (audio.channels <= 0) return {};
  std::vector<std::int16_t> mono;
  mono.reserve(audio.frameCount());
  appendMono(audio.samples.data(), audio.frameCount(), std::size_t(audio.channels), mono);
  return searchMono(mono, audio.sampleRate);
}

LoopSuggestion findLoopStart(const Bytes& file) {
  MonoSink sink;
  detail::streamAudio(file, sink);
  return searchMono(sink.mono(), sink.rate());
}

}  // namespace tbp
