#pragma once

#include <cstddef>
#include <vector>

#include "build/audio.h"

namespace tbp {

// The lowest and highest value of every fixed slice of a track (of both played channels), so
// that a waveform of the whole file is drawn from a few thousand numbers instead of millions.
struct PeakSummary {
  double secondsPerBin = 0;
  std::vector<float> low;   // one per bin, at most 0
  std::vector<float> high;  // one per bin, at least 0

  std::size_t bins() const { return high.size(); }
  double seconds() const { return secondsPerBin * double(bins()); }
};

// Slices of 10 ms: fine enough for a waveform a few thousand pixels wide.
PeakSummary summarizePeaks(const DecodedAudio& audio);

}  // namespace tbp
