#include <stdexcept>

#include "build/audio.h"
#include "build/msu_track_builder.h"

namespace tbp {

Bytes makeMsuPcm(const DecodedAudio& audio, double loopStartSeconds) {
  if (audio.sampleRate == 0 || audio.channels <= 0 || audio.samples.empty()) {
    throw std::runtime_error("no audio");
  }
  const std::uint32_t rate = audio.sampleRate;
  if (rate < kMinSampleRate || rate > kMaxSampleRate) {
    throw std::runtime_error("sample rate out of range");
  }
  const std::size_t frames = audio.frameCount();
  if (frames > static_cast<std::uint64_t>(rate) * kSecondsPerHour) {
    throw std::runtime_error("audio longer than an hour");
  }
  MsuTrackBuilder builder(rate, audio.channels, loopStartSeconds);
  builder.expectFrames(frames);
  builder.add(audio.samples.data(), frames);
  return builder.finish();
}

}  // namespace tbp
