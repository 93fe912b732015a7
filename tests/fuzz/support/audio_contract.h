#pragma once

// The audio readers' contract: a decoded result within the stated limits (1..8 channels, a
// rate the conversion accepts, whole frames, at most an hour), or one of the specified
// messages.

#include <cmath>
#include <regex>
#include <stdexcept>
#include <string>

#include "build/audio.h"
#include "fuzz_contract.h"

namespace tbp::fuzz {

inline void checkDecoded(const DecodedAudio& audio, bool mayBeEmpty) {
  require(audio.channels >= 1 && audio.channels <= kMaxChannels, "channel count out of range");
  require(audio.sampleRate >= kMinSampleRate && audio.sampleRate <= kMaxSampleRate,
          "sample rate out of range: " + std::to_string(audio.sampleRate));
  require(audio.samples.size() % static_cast<std::size_t>(audio.channels) == 0, "partial frame");
  require(mayBeEmpty || !audio.samples.empty(), "no samples without an error");
  require(audio.frameCount() <= std::uint64_t{audio.sampleRate} * kSecondsPerHour,
          "more than an hour of audio");
}

// The WAV reader's messages, with their numbers.
inline bool isWavMessage(const std::string& message) {
  static const std::regex numbered(
      R"(WAV: unsupported bit depth \(\d+\)|WAV: sample rate out of range \(\d+ Hz\))"
      R"(|WAV: unsupported sample format \(\d+, \d+ bit\))");
  return oneOf(message, {"not a WAV file", "WAV: no fmt/data chunk", "WAV: too many channels",
                         "audio longer than an hour"}) ||
         std::regex_match(message, numbered);
}

// The messages of the library decoders, for the format name their file was taken for.
inline bool isDecoderMessage(const std::string& message, const std::string& format) {
  return message == format + ": could not decode this file" ||
         message == format + ": no audio in the file" ||
         oneOf(message,
               {"too many channels", "audio longer than an hour", "sample rate out of range"});
}

// Runs one reader on the file: a result must keep the limits, a failure must be a runtime
// error whose message the predicate accepts; anything else ends the run.
template <typename Reader, typename Accepted>
void checkReader(const Bytes& file, Reader reader, Accepted accepted, bool mayBeEmpty) {
  try {
    checkDecoded(reader(file), mayBeEmpty);
  } catch (const std::runtime_error& e) {
    require(accepted(std::string(e.what())), std::string("unexpected message: ") + e.what());
  }
}

}  // namespace tbp::fuzz
