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

// Receives a track's frames as they are made (16-bit little-endian stereo, in order), a block
// of whole frames at a time.
class TrackFrameSink {
 public:
  virtual ~TrackFrameSink() = default;
  virtual void frames(const std::uint8_t* data, std::size_t count) = 0;
  // About how many frames will come (a hint to reserve room), before the first of them.
  virtual void expectFrames(std::uint64_t count) { static_cast<void>(count); }
};

// What a finished conversion made: the number of frames and the loop point of its header.
struct TrackLayout {
  std::uint64_t frames = 0;
  std::uint32_t loopPoint = 0;
};

// The 8-byte MSU-1 header: "MSU1" and the loop point (little-endian).
void putTrackHeader(std::uint8_t* out, std::uint32_t loopPoint);

// Builds an MSU-1 track from audio that arrives in blocks, holding only a few dozen input
// frames and a block of output: makeMsuPcm, makeMsuTrack and the streamed tracks all convert
// through it, so the result does not depend on how the input is split or where the track
// goes. The caller has checked the format (rate within the limits, 1..8 channels) and the
// length (at most an hour).
class MsuTrackBuilder {
 public:
  // Without an output the builder keeps the track in memory, for finish(); with one, it hands
  // the frames on as they are made, for finishFrames().
  MsuTrackBuilder(std::uint32_t sampleRate, std::int32_t channels, double loopStartSeconds,
                  ResamplerEngine engine = bestResamplerEngine(),
                  TrackFrameSink* output = nullptr);
  ~MsuTrackBuilder();
  MsuTrackBuilder(const MsuTrackBuilder&) = delete;
  MsuTrackBuilder& operator=(const MsuTrackBuilder&) = delete;

  // Reserves the track for an input of this many frames, when it is known in advance.
  void expectFrames(std::uint64_t frames);

  // Interleaved frames of the declared channel count.
  void add(const float* samples, std::size_t frames);

  // The finished track in memory (built without an output): the frames near the end of the
  // input, then the loop point.
  Bytes finish();

  // Hands on the frames near the end of the input and says what the track holds.
  TrackLayout finishFrames();

 private:
  class Resampler;
  void addBlock(const float* samples, std::size_t frames);
  void flush();

  std::uint32_t sampleRate_;
  std::size_t channels_;
  double loopStartSeconds_;
  std::uint64_t inputFrames_ = 0;
  std::uint64_t outputFrames_ = 0;
  TrackFrameSink* output_;
  Bytes track_;    // the whole track, header first, when there is no output
  Bytes pending_;  // frames made but not yet handed on
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
