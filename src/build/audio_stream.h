#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "build/audio.h"
#include "build/byte_source.h"
#include "build/msu_track_builder.h"

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

// The decoders behind decodeAudio and makeMsuTrack. Each reads the file in blocks (never
// all of it at once) and fails with the format's specified messages; a decoder that returns
// has given the sink at least one frame of a format within the limits (the WAV reader gives
// none for a file without a whole frame).
void streamFlac(ByteSource& file, FrameSink& sink);
void streamVorbis(ByteSource& file, FrameSink& sink);
void streamMp3(ByteSource& file, FrameSink& sink);
void streamWav(ByteSource& file, FrameSink& sink);

// Recognises the format by the first bytes, as decodeAudio does, and streams it.
void streamAudio(ByteSource& file, FrameSink& sink);
void streamAudio(const Bytes& file, FrameSink& sink);

// The conversion behind every track: decodes the file in blocks and converts it on a second
// thread, handing the track's frames (not its header) to output from that thread as they are
// made. Throws the decoders' messages, "no audio" for a stream without frames, and
// ConversionCancelled when progress asks to stop.
TrackLayout convertTrack(ByteSource& file, double loopStartSeconds, TrackFrameSink& output,
                         TrackProgress* progress);

}  // namespace tbp::detail
