#pragma once

#include <cstddef>
#include <optional>

#include "build/audio.h"

namespace tbp {

// What a track maker may ask of a track beyond the plain conversion. Everything is off by
// default, and a track with nothing asked is converted exactly as makeMsuTrack converts it.
struct TrackShaping {
  std::optional<double> loudnessTarget;  // integrated loudness to scale to, in LUFS
  bool trimSilence = false;              // drop the silence before the music starts
  double fadeSeconds = 0;                // fade out over the end; only for a track that does not loop

  bool active() const { return loudnessTarget || trimSilence || fadeSeconds > 0; }
};

// The loudest a peak may become through the gain: -1 dBTP leaves room for the resampler's
// overshoot, so the 16-bit samples never saturate because of the gain.
inline constexpr double kTruePeakCeiling = 0.8912509381337456;
// Leading frames with every channel below this level (-60 dBFS) count as silence.
inline constexpr float kSilenceLevel = 0.001f;

// EBU R 128 integrated loudness (LUFS; -infinity for silence) and the highest true peak of
// any channel (linear, 1.0 is full scale).
struct LoudnessMeasure {
  double integratedLufs = 0;
  double truePeak = 0;
};
LoudnessMeasure measureLoudness(const DecodedAudio& audio);

// The linear gain that brings the measured loudness to the target, lowered where it would
// raise the true peak above kTruePeakCeiling (a cut is never made deeper). Silence keeps 1.
double loudnessGain(const LoudnessMeasure& measure, double targetLufs);

// The number of leading frames whose every channel stays below kSilenceLevel. A file that is
// silent throughout has none: trimming it all would leave no track.
std::size_t leadingSilenceFrames(const DecodedAudio& audio);

// Applies the shaping to the decoded samples in place, in this order: trim, gain, fade (only
// when loopStartSeconds is negative). Returns the loop start moved back by the trimmed time,
// so that it points at the same music (never below 0; negative stays negative).
double shapeAudio(DecodedAudio& audio, double loopStartSeconds, const TrackShaping& shaping);

// The MSU-1 track of an audio file's bytes with the shaping: makeMsuTrack's bytes when
// nothing is asked, otherwise the decoded file shaped and converted by makeMsuPcm.
Bytes makeShapedTrack(const Bytes& file, double loopStartSeconds, const TrackShaping& shaping);

}  // namespace tbp
