#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "build/audio.h"

// Decoding as a stream of blocks: the decoders hand their frames to a sink as they come, so
// that a caller may keep them all (decodeAudio) or convert them on the way (makeMsuTrack).
namespace tbp::detail {

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Called once before the first frames, with a format that passed every limit.
  virtual void start(std::uint32_t sampleRate, std::int32_t channels) = 0;
  // The stream's length in frames, as far as it declares it (at most an hour), right after
  // start(): a hint to reserve room, which the frames that come may exceed or fall short of.
  virtual void expectFrames(std::uint64_t frames) { static_cast<void>(frames); }
  // Room for `samples` interleaved values, which the decoder fills before calling commit().
  // May throw std::bad_alloc, which the decoders report as a decoding failure.
  virtual float* room(std::size_t samples) = 0;
  virtual void commit() = 0;
};

// Keeps every frame, within a share of the machine's memory: beyond it room() throws
// std::bad_alloc before anything is allocated, so that a tiny file which claims hours of
// many-channel audio is refused instead of exhausting memory.
class SampleStore : public FrameSink {
 public:
  void start(std::uint32_t sampleRate, std::int32_t channels) override;
  float* room(std::size_t samples) override;
  void commit() override {}
  DecodedAudio take() { return std::move(audio_); }

 private:
  DecodedAudio audio_;
};

// The largest number of decoded samples one SampleStore may hold.
std::size_t sampleStoreLimit();

// The decoders behind decodeAudio and makeMsuTrack. Each reads the whole file and fails with
// the format's specified messages; a decoder that returns has given the sink at least one
// frame of a format within the limits (the WAV reader gives none for a file without a whole
// frame).
void streamFlac(const Bytes& file, FrameSink& sink);
void streamVorbis(const Bytes& file, FrameSink& sink);
void streamMp3(const Bytes& file, FrameSink& sink);
void streamWav(const Bytes& file, FrameSink& sink);

// Recognises the format by the first bytes, as decodeAudio does, and streams it.
void streamAudio(const Bytes& file, FrameSink& sink);

}  // namespace tbp::detail
