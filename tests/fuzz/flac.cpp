// decodeFlac on fuzzed files: decoded audio within its limits, or the FLAC messages.
#include "build/audio.h"
#include "support/audio_contract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tbp::Bytes file(data, data + size);
  tbp::fuzz::checkReader(
      file, tbp::decodeFlac,
      [](const std::string& message) { return tbp::fuzz::isDecoderMessage(message, "FLAC"); },
      false);
  return 0;
}
