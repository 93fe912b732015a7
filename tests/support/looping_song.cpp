#include "support/looping_song.h"

#include <cmath>
#include <numbers>

#include "support/random.h"

namespace tbp::testkit {
namespace {

constexpr double kNoteSeconds = 0.15;

// Appends `frames` stereo frames of random notes; the phases run on from note to note.
void appendNotes(std::vector<double>& out, std::uint32_t rate, std::size_t frames,
                 Random& random) {
  const std::size_t noteFrames = std::size_t(kNoteSeconds * rate);
  double low = 0, high = 0;
  double phaseLow = 0, phaseHigh = 0;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    if (frame % noteFrames == 0) {
      low = 110.0 * std::pow(2.0, random.below(36) / 12.0);
      high = 440.0 * std::pow(2.0, random.below(24) / 12.0);
    }
    phaseLow += 2.0 * std::numbers::pi * low / rate;
    phaseHigh += 2.0 * std::numbers::pi * high / rate;
    out.push_back(0.3 * std::sin(phaseLow) + 0.2 * std::sin(phaseHigh));
    out.push_back(0.2 * std::sin(phaseLow) + 0.3 * std::sin(phaseHigh));
  }
}

}  // namespace

std::vector<double> LoopingSong::seamlessStarts() const {
  std::vector<double> starts;
  for (int k = 1; k < repeats; ++k) starts.push_back(introSeconds + k * passageSeconds);
  return starts;
}

LoopingSong makeLoopingSong(std::uint32_t sampleRate, double introSeconds, double passageSeconds,
                            int repeats, std::uint32_t seed) {
  LoopingSong song;
  song.sampleRate = sampleRate;
  const auto introFrames = std::size_t(std::lround(introSeconds * sampleRate));
  const auto passageFrames = std::size_t(std::lround(passageSeconds * sampleRate));
  song.introSeconds = double(introFrames) / sampleRate;
  song.passageSeconds = double(passageFrames) / sampleRate;
  song.repeats = repeats;
  Random random(seed);
  appendNotes(song.samples, sampleRate, introFrames, random);
  std::vector<double> passage;
  appendNotes(passage, sampleRate, passageFrames, random);
  for (int k = 0; k < repeats; ++k)
    song.samples.insert(song.samples.end(), passage.begin(), passage.end());
  return song;
}

std::vector<double> randomNotes(std::uint32_t sampleRate, double seconds, std::uint32_t seed) {
  std::vector<double> out;
  Random random(seed, 7);
  appendNotes(out, sampleRate, std::size_t(seconds * sampleRate), random);
  return out;
}

}  // namespace tbp::testkit
