// makeMsuTrack on fuzzed audio files: converting while decoding must give exactly what
// decoding first and converting afterwards gives (makeMsuPcm of decodeAudio), the same track
// bytes or the same message. The first input byte chooses the loop start.
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
  return 0;
}
