// makeMsuTrack on fuzzed audio files: converting while decoding must give exactly what
// decoding first and converting afterwards gives (makeMsuPcm of decodeAudio), the same track
// bytes or the same message. The first input byte chooses the loop start.
#include <algorithm>
#include <stdexcept>
#include <string>

#include "build/audio.h"
#include "support/fuzz_contract.h"

namespace {

using tbp::Bytes;

// Long decodes are left out: their conversion takes seconds and shows nothing new.
constexpr std::size_t kMostFrames = 1u << 20;

struct Outcome {
  Bytes track;
  std::string message;
};

template <typename Convert>
Outcome outcomeOf(Convert convert) {
  try {
    return {convert(), {}};
  } catch (const std::runtime_error& e) {
    return {{}, e.what()};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tbp::fuzz::FuzzInput input(data, size);
  const std::uint8_t loop = input.byte();
  const double loopStart = loop == 0xFF ? -1.0 : loop / 16.0;
  const Bytes file = input.rest();
  tbp::DecodedAudio audio;
  std::string decodeError;
  try {
    audio = tbp::decodeAudio(file);
  } catch (const std::runtime_error& e) {
    decodeError = e.what();
  }
  if (audio.frameCount() > kMostFrames) return 0;
  const Outcome separate = decodeError.empty()
                               ? outcomeOf([&] { return tbp::makeMsuPcm(audio, loopStart); })
                               : Outcome{{}, decodeError};
  const Outcome together = outcomeOf([&] { return tbp::makeMsuTrack(file, loopStart); });
  tbp::fuzz::require(together.message == separate.message,
                     "makeMsuTrack said \"" + together.message + "\" where decoding first said \"" +
                         separate.message + "\"");
  tbp::fuzz::require(together.track == separate.track, "the two conversions differ");
  if (!together.message.empty()) return 0;
  // The track's shape: "MSU1", the loop point inside the track, whole stereo 16-bit frames.
  const Bytes& track = together.track;
  tbp::fuzz::require(track.size() >= 8 && (track.size() - 8) % 4 == 0 &&
                         std::equal(track.begin(), track.begin() + 4, "MSU1"),
                     "track shape");
  const std::uint32_t loopPoint =
      track[4] | track[5] << 8 | track[6] << 16 | static_cast<std::uint32_t>(track[7]) << 24;
  const std::size_t frames = (track.size() - 8) / 4;
  tbp::fuzz::require(loopStart < 0 ? loopPoint == 0
                                   : loopPoint <= std::min<double>(frames > 0 ? frames - 1 : 0,
                                                                   44100.0 * loopStart),
                     "loop point");
  return 0;
}
