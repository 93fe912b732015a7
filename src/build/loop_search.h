#pragma once

#include <cstdint>

#include "build/audio.h"

namespace tbp {

// The loop start that makes the jump from a track's end seamless: the music just before it
// sounds like the music just before the end, so after the jump the track goes on as it would
// have gone on past its end.
struct LoopSuggestion {
  bool found = false;          // false: no start matches well enough to suggest one
  double match = 0;            // 0 to 1, how alike the two passages are (1: identical)
  double seconds = 0;          // the loop start in the file, in seconds
  std::uint32_t msuFrame = 0;  // the loop point it gives in the 44100 Hz track
};

// A match at least this good is a seamless loop; below it nothing is suggested.
inline constexpr double kGoodLoopMatch = 0.9;

// Compares the last few seconds of the file with the same length before every candidate start,
// over the whole file at once by FFT cross-correlation of a mono mix at about 12 kHz, and
// suggests the earliest start (the longest loop) among those that match best. A track of less
// than a few seconds has nothing to compare and gets no suggestion. Safe on several threads.
LoopSuggestion findLoopStart(const DecodedAudio& audio);

// The same for an audio file's bytes, decoded as a stream into the mono mix alone, so that the
// search holds far less than the decoded file. Throws the decoder's errors.
LoopSuggestion findLoopStart(const Bytes& file);

// The loop point that a loop start in seconds gives in the converted track of `frames` input
// frames at `sampleRate` (as makeMsuPcm computes it).
std::uint32_t msuLoopFrame(double seconds, std::uint64_t frames, std::uint32_t sampleRate);

}  // namespace tbp
