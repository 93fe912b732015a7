// decodeAudio on fuzzed files: the first bytes choose the reader, and a failure must carry
// that reader's messages (the format name included) or the unknown-format message.
#include <cstring>

#include "build/audio.h"
#include "support/audio_contract.h"

namespace {

// The reader the first bytes select, by the detection rules in their order.
enum class Reader { Wav, Flac, Vorbis, Mp3, Unknown };

Reader detect(const tbp::Bytes& file) {
  const auto starts = [&](const char* magic) {
    const std::size_t n = std::strlen(magic);
    return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
  };
  if (file.size() >= 12 && starts("RIFF")) return Reader::Wav;
  if (starts("fLaC")) return Reader::Flac;
  if (starts("OggS")) return Reader::Vorbis;
  if (starts("ID3")) return Reader::Mp3;
  if (file.size() >= 2 && file[0] == 0xFF && (file[1] & 0xE0) == 0xE0) return Reader::Mp3;
  return Reader::Unknown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const tbp::Bytes file(data, data + size);
  const Reader reader = detect(file);
  const auto accepted = [reader](const std::string& message) {
    switch (reader) {
      case Reader::Wav:
        return tbp::fuzz::isWavMessage(message);
      case Reader::Flac:
        return tbp::fuzz::isDecoderMessage(message, "FLAC");
      case Reader::Vorbis:
        return tbp::fuzz::isDecoderMessage(message, "Ogg Vorbis");
      case Reader::Mp3:
        return tbp::fuzz::isDecoderMessage(message, "MP3");
      case Reader::Unknown:
        break;
    }
    return message == "unknown audio format (WAV, MP3, OGG or FLAC)";
  };
  tbp::fuzz::checkReader(file, tbp::decodeAudio, accepted, reader == Reader::Wav);
  return 0;
}
