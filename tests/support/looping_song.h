#pragma once

#include <cstdint>
#include <vector>

namespace tbp::testkit {

// A synthetic song for loop searches: an intro, then one passage played `repeats` times, the
// file ending exactly where the last repetition ends. Both are sequences of random notes
// (two sines each, changing every 150 ms), so that nothing but whole passages repeat.
struct LoopingSong {
  std::uint32_t sampleRate = 44100;
  double introSeconds = 0;
  double passageSeconds = 0;
  int repeats = 0;
  std::vector<double> samples;  // stereo, interleaved, peak about 0.5

  // The seamless loop starts: the start of every repetition after the first.
  std::vector<double> seamlessStarts() const;
};

LoopingSong makeLoopingSong(std::uint32_t sampleRate, double introSeconds, double passageSeconds,
                            int repeats, std::uint32_t seed = 1);

// Random notes without any repetition, as long as asked: a song with no seamless loop.
std::vector<double> randomNotes(std::uint32_t sampleRate, double seconds, std::uint32_t seed);

}  // namespace tbp::testkit
