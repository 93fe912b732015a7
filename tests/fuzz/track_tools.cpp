// The track maker's tools on fuzzed audio files: the loop search, the peak summary and the
// shaping of the converted track take whatever a file decodes to. The first input byte
// chooses the shaping.
#include <cmath>
#include <stdexcept>
#include <string>

#include "build/audio.h"
#include "build/loop_search.h"
#include "build/msu_seam.h"
#include "build/peak_summary.h"
#include "build/track_shaping.h"
#include "support/fuzz_contract.h"

namespace {

// Long decodes are left out: they take seconds and show nothing new.
constexpr std::size_t kMostFrames = 1u << 18;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tbp::fuzz::FuzzInput input(data, size);
  const std::uint8_t choice = input.byte();
  tbp::DecodedAudio audio;
  try {
    audio = tbp::decodeAudio(input.rest());
  } catch (const std::runtime_error&) {
    return 0;
  }
  const std::size_t frames = audio.frameCount();
  if (frames == 0 || frames > kMostFrames) return 0;  // no audio: makeMsuPcm refuses it
  const tbp::LoopSuggestion loop = tbp::findLoopStart(audio);
  tbp::fuzz::require(!loop.found || (loop.match >= tbp::kGoodLoopMatch && loop.match <= 1 &&
                                     loop.seconds >= 0 &&
                                     loop.seconds * audio.sampleRate < double(frames)),
                     "loop suggestion out of range");
  const tbp::PeakSummary peaks = tbp::summarizePeaks(audio);
  tbp::fuzz::require(peaks.low.size() == peaks.high.size(), "peak summary shape");

  tbp::TrackShaping shaping;
  if (choice & 1) shaping.loudnessTarget = -10.0 - (choice >> 4);
  shaping.trimSilence = (choice & 2) != 0;
  shaping.fadeSeconds = (choice & 4) ? (choice >> 4) / 4.0 : 0.0;
  const double loopStart = (choice & 8) ? loop.seconds : -1.0;
  const tbp::Bytes plain = tbp::makeMsuPcm(audio, loopStart);
  tbp::Bytes track = plain;
  tbp::shapeTrack(track, loopStart >= 0, shaping);
  tbp::fuzz::require(track.size() <= plain.size() && (track.size() - 8) % 4 == 0, "track shape");
  const auto loopPoint = [](const tbp::Bytes& bytes) {
    return bytes[4] | bytes[5] << 8 | bytes[6] << 16 | std::uint32_t(bytes[7]) << 24;
  };
  tbp::fuzz::require(loopPoint(track) <= loopPoint(plain), "the trim moved the loop point on");
  tbp::fuzz::require(tbp::msuSeam(track, loopStart >= 0, 3).size() % 4 == 0, "seam frames");
  return 0;
}
