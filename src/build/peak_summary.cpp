#include "build/peak_summary.h"

#include <algorithm>

namespace tbp {

PeakSummary summarizePeaks(const DecodedAudio& audio) {
  PeakSummary summary;
  const std::size_t frames = audio.frameCount();
  if (frames == 0 || audio.sampleRate == 0) return summary;
  const std::size_t binFrames = std::max<std::size_t>(1, audio.sampleRate / 100);
  summary.secondsPerBin = double(binFrames) / audio.sampleRate;
  const auto channels = static_cast<std::size_t>(audio.channels);
  const std::size_t played = std::min<std::size_t>(channels, 2);
  const std::size_t bins = (frames + binFrames - 1) / binFrames;
  summary.low.assign(bins, 0.0f);
  summary.high.assign(bins, 0.0f);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const std::size_t bin = frame / binFrames;
    for (std::size_t channel = 0; channel < played; ++channel) {
      const float value = audio.samples[frame * channels + channel];
      // NaN compares false both ways and leaves the bin as it is.
      if (value < summary.low[bin]) summary.low[bin] = value;
      if (value > summary.high[bin]) summary.high[bin] = value;
    }
  }
  return summary;
}

}  // namespace tbp
