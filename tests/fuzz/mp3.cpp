// decodeMp3 on fuzzed files: decoded audio within its limits, or the MP3 messages.
#include "build/audio.h"
#include "support/audio_contract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tbp::Bytes file(data, data + size);
  tbp::fuzz::checkReader(
      file, tbp::decodeMp3,
      [](const std::string& message) { return tbp::fuzz::isDecoderMessage(message, "MP3"); },
      false);
  return 0;
}
