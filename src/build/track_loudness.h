#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Loops that gain from wide vector registers are built twice on x86-64, for AVX2 and for any
// processor, and the loader picks the one the processor runs. (Not under the address
// sanitizer, which cannot follow the loader's choice that early.)
#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define TBP_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TBP_VECTOR_CLONES
#endif

namespace tbp {

// The loudness meter of 44.1 kHz stereo tracks, made to keep up with the conversion: EBU R 128
// integrated loudness (BS.1770 K-weighting, 400 ms blocks every 100 ms, gated at -70 LUFS and
// 10 LU below the mean) while the frames pass, and the true peak (four times oversampled by a
// windowed sinc; its first phase is the samples themselves, so it is never below the sample
// peak) afterwards and only where it matters: the meter keeps the largest sample of every
// stretch of frames, and only the stretches whose samples could reach a given level are read
// again and oversampled. A gain that cuts needs no true peak at all.
class TrackLoudness {
 public:
  TrackLoudness();
  // Interleaved stereo frames, 1.0 full scale.
  void add(const float* samples, std::size_t frames);
  // LUFS; -infinity for silence or less than one block.
  double integratedLufs() const;
  // The largest magnitude of a sample.
  double samplePeak() const;

  // Reads `count` interleaved frames from frame `first` of those added (all within them).
  using FrameReader = std::function<void(std::uint64_t first, std::size_t count, float* out)>;
  // The true peak where it is above `level`: the largest oversampled magnitude over the
  // stretches whose samples could reach beyond level, or 0 when none could.
  double truePeakAbove(double level, const FrameReader& read) const;

 private:
  void addSegmentEnergy(double left, double right);
  void notePeaks(const float* samples, std::size_t frames);

  // K-weighting: the two BS.1770 biquads per channel, in double precision.
  std::array<double, 5> shelf_{}, highPass_{};
  std::array<double, 4> state_[2]{};  // per channel: two states of each biquad
  double segmentSum_[2] = {0, 0};
  std::size_t segmentFrames_ = 0;
  std::vector<double> segments_;     // the energies of the last three 100 ms segments
  std::vector<double> gatedBlocks_;  // block energies above the absolute gate
  std::uint64_t frames_ = 0;
  std::vector<float> stretchPeaks_;  // the largest sample of each stretch, the last one filling
  // The oversampling: the three fractional phases' taps and their largest absolute sum.
  std::array<std::array<float, 12>, 3> phases_{};
  float phaseGain_ = 0;
};

}  // namespace tbp
