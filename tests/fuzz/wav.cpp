// readWav on fuzzed files: decoded audio within its limits (a data chunk without a whole
// frame may give no samples), or the WAV reader's messages with their numbers.
#include "build/audio.h"
#include "support/audio_contract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tbp::Bytes file(data, data + size);
  tbp::fuzz::checkReader(file, tbp::readWav, tbp::fuzz::isWavMessage, true);
  return 0;
}
