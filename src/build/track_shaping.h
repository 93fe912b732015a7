#pragma once

#include <optional>

#include "build/audio.h"

namespace tbp {

// What a track maker may ask of a track beyond the plain conversion. Everything is off by
// default, and a track with nothing asked is exactly the one makeMsuTrack converts.
struct TrackShaping {
  std::optional<double> loudnessTarget;  // integrated loudness to scale to, in LUFS
  bool trimSilence = false;              // drop the silence before the music starts
  double fadeSeconds = 0;                // fade out over the end; only for a track that does not loop

  bool active() const { return loudnessTarget || trimSilence || fadeSeconds > 0; }
};

// The loudest the true peak may become through the gain: -1 dBTP of the 16-bit track. The true
// peak is never below the sample peak, so the samples never saturate because of the gain.
inline constexpr double kPeakCeiling = 0.8912509381337456;

class ByteSource;
class TrackStore;
// Leading frames with both channels below this level (-60 dBFS of the 16-bit track) count as
// silence.
inline constexpr int kSilentSample = 33;

// EBU R 128 integrated loudness (LUFS; -infinity for silence) and the true peak of the played
// channels (four times oversampled, never below the highest sample; linear, 1.0 is full scale).
struct LoudnessMeasure {
  double integratedLufs = 0;
  double peak = 0;
};

// The measure of decoded audio as it will play (a mono file on both sides).
LoudnessMeasure measureLoudness(const DecodedAudio& audio);

// The measure of the frames of an MSU-1 track (its bytes, header included).
LoudnessMeasure measureTrackLoudness(const Bytes& track);

// The linear gain that brings the measured loudness to the target, lowered where it would
// raise the true peak above kPeakCeiling (a cut is never made deeper). Silence keeps 1.
double loudnessGain(const LoudnessMeasure& measure, double targetLufs);

// Shapes a converted track in place, on its 16-bit frames, in this order: trims the leading
// silence (the loop point moves with the music, never below 0), scales it to the target
// loudness measured on the track itself, and, when the track does not loop, fades out its end
// with a raised cosine. The scaled and faded samples are rounded to nearest, halves away from
// zero. Throws std::runtime_error("not an MSU-1 track") for bytes that are not one.
void shapeTrack(Bytes& track, bool loops, const TrackShaping& shaping);

// The MSU-1 track of an audio file's bytes with the shaping: makeMsuTrack's bytes, shaped when
// anything is asked, exactly as shapeTrack shapes them.
// progress, when given, follows the conversion and can cancel it (see makeMsuTrack).
Bytes makeShapedTrack(const Bytes& file, double loopStartSeconds, const TrackShaping& shaping,
                      TrackProgress* progress = nullptr);

// The one path behind every track: reads the audio file in blocks, converts it into the
// store (header first) and shapes it there. What shaping measures is measured on the frames
// as they are made, so the shaping is one pass over the stored track, and nothing holds the
// whole track unless the store does.
void makeTrackInto(ByteSource& file, double loopStartSeconds, const TrackShaping& shaping,
                   TrackStore& store, TrackProgress* progress = nullptr);

}  // namespace tbp
