#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/bytes.h"

namespace tbp {

// The engines that compute the resampler's dot products: the portable one runs everywhere;
// the AVX2 one is used when the processor has AVX2 and FMA. They differ only in the order of
// the double-precision additions.
enum class ResamplerEngine { Portable, Avx2Fma };

// True when this processor can run the engine.
bool resamplerEngineAvailable(ResamplerEngine engine);

// The fastest engine this processor runs.
ResamplerEngine bestResamplerEngine();

// Builds an MSU-1 track from audio that arrives in blocks, holding only a few dozen input
// frames and the track itself: makeMsuPcm and makeMsuTrack both convert through it, so the
// result does not depend on how the input is split. The caller has checked the format
// (rate within the limits, 1..8 channels) and the length (at most an hour).
class MsuTrackBuilder {
 public:
  MsuTrackBuilder(std::uint32_t sampleRate, std::int32_t channels, double loopStartSeconds,
                  ResamplerEngine engine = bestResamplerEngine());
  ~MsuTrackBuilder();
  MsuTrackBuilder(const MsuTrackBuilder&) = delete;
  MsuTrackBuilder& operator=(const MsuTrackBuilder&) = delete;

  // Reserves the track for an input of this many frames, when it is known in advance.
  void expectFrames(std::uint64_t frames);

  // Interleaved frames of the declared channel count.
  void add(const float* samples, std::size_t frames);

  // The finished track: the frames near the end of the input, then the loop point.
  Bytes finish();

 private:
  class Resampler;
  void addBlock(const float* samples, std::size_t frames);

  std::uint32_t sampleRate_;
  std::size_t channels_;
  double loopStartSeconds_;
  std::uint64_t inputFrames_ = 0;
  Bytes track_;
  std::unique_ptr<Resampler> resampler_;  // null at 44100 Hz, where frames map one to one
};

namespace detail {
// One batch of output frames whose taps all lie inside the input: frame f takes the 64
// weights at weights[f] and the 64 input frames from starts[f] of the planar channels, and
// its left and right sums go to sums[2f] and sums[2f + 1].
struct DotBatch {
  const double* const* weights;
  const std::size_t* starts;
  std::size_t count;
  const double* left;
  const double* right;
  double* sums;
};
void dotProductsPortable(const DotBatch& batch);
void dotProductsAvx2Fma(const DotBatch& batch);

// Each value as a 16-bit little-endian track sample: rounded to single precision, then
// converted as msuSample does. Both engines give the same bytes.
void trackSamplesPortable(const double* values, std::size_t count, std::uint8_t* out);
void trackSamplesAvx2(const double* values, std::size_t count, std::uint8_t* out);
}  // namespace detail

}  // namespace tbp
