#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/bytes.h"

namespace tbp {

// Audio decoded to floating point: interleaved frames (channel 0, channel 1, ... of frame 0,
// then frame 1, ...), nominally -1.0 to +1.0 and never clipped.
struct DecodedAudio {
  std::uint32_t sampleRate = 0;  // Hz, as the file declares it
  std::int32_t channels = 0;     // 1..8 once decoded
  std::vector<float> samples;

  std::size_t frameCount() const {
    return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
  }
};

// Recognises a WAV, FLAC, Ogg Vorbis or MP3 file by its first bytes and decodes all of it.
// Throws std::runtime_error with a finished message. The limits apply while decoding, so that
// a small file cannot claim huge memory: a rate outside 4000..384000 Hz is refused at the
// first frames ("sample rate out of range"), more than an hour of frames at the file's own
// rate stops with "audio longer than an hour", and decoded samples beyond a quarter of the
// usable memory end as the format's decoding failure.
DecodedAudio decodeAudio(const Bytes& file);

// The program's own reader for RIFF/WAVE files (PCM 8/16/24/32-bit, IEEE float 32/64-bit,
// plain or extensible format chunks).
DecodedAudio readWav(const Bytes& file);

// The library decoders behind decodeAudio: the whole file from memory to interleaved floats
// with the decoder's channel count and rate, failing with the format's own messages.
DecodedAudio decodeFlac(const Bytes& file);
DecodedAudio decodeVorbis(const Bytes& file);
DecodedAudio decodeMp3(const Bytes& file);

// Converts decoded audio to an MSU-1 track file: "MSU1", a 32-bit loop point and 44100 Hz
// stereo 16-bit frames, resampled with a 64-tap windowed sinc when the rate differs.
// A negative loopStartSeconds means the track has no loop point.
Bytes makeMsuPcm(const DecodedAudio& audio, double loopStartSeconds);

// Shared between a track's conversion and a thread that watches it: the converter counts the
// input frames it has decoded and stops, within one block of frames, once cancel is set.
struct TrackProgress {
  std::atomic<std::uint64_t> framesDone{0};
  std::atomic<std::uint64_t> framesExpected{0};  // the stream's declared length; 0 if unknown
  std::atomic<bool> cancel{false};
};

// What a conversion throws when it was cancelled: nothing has been written.
class ConversionCancelled : public std::runtime_error {
 public:
  ConversionCancelled() : std::runtime_error("cancelled") {}
};

// One MSU-1 track from an audio file's bytes, as a save writes it: the same bytes as
// makeMsuPcm(decodeAudio(file), loopStartSeconds), with the same errors. It converts while it
// decodes (on a second thread of its own), holding only the file, the track and a few blocks
// of frames, so it also converts files whose decoded form decodeAudio would refuse for lack
// of memory. Safe to call from several threads at once (it shares no state).
// progress, when given, follows the conversion from another thread and can stop it.
Bytes makeMsuTrack(const Bytes& file, double loopStartSeconds,
                   TrackProgress* progress = nullptr);

// The shared limits of decoding and conversion.
inline constexpr std::uint32_t kMinSampleRate = 4000;
inline constexpr std::uint32_t kMaxSampleRate = 384000;
inline constexpr std::int32_t kMaxChannels = 8;
inline constexpr std::uint64_t kSecondsPerHour = 3600;
inline constexpr std::uint32_t kMsuSampleRate = 44100;

// A double rounded to single precision (to nearest, ties to even), including the step to
// infinity beyond the float range, without an out-of-range conversion.
inline float roundToFloat(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  constexpr double kHalfwayToOverflow = 0x1.ffffffp127;  // rounds to infinity from here on
  if (value >= kHalfwayToOverflow) return std::numeric_limits<float>::infinity();
  if (value <= -kHalfwayToOverflow) return -std::numeric_limits<float>::infinity();
  if (value > kLargest) return std::numeric_limits<float>::max();
  if (value < -kLargest) return -std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

// The conversion of one value to a 16-bit MSU-1 sample: single-precision v * 32767, rounded
// to nearest with halves away from zero, saturated to -32768..32767 (NaN gives 0).
std::int16_t msuSample(float value);

}  // namespace tbp
