#include "build/audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace tbp {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// Little-endian reads; every caller has checked that the bytes lie inside the file.
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t le64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}

bool startsWith(const Bytes& file, const char* tag) {
  const std::size_t length = std::strlen(tag);
  return file.size() >= length && std::memcmp(file.data(), tag, length) == 0;
}

struct WavFormat {
  std::uint16_t code = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t bits = 0;
};

struct WavChunks {
  WavFormat format;
  std::optional<std::pair<std::size_t, std::size_t>> data;  // offset and size in the file
};

// Walks the RIFF chunks after the 12-byte file header. A chunk size that runs past the end
// of the file is cut to the bytes that remain; later chunks of a kind replace earlier ones.
WavChunks walkWavChunks(const Bytes& file) {
  WavChunks chunks;
  std::size_t offset = 12;
  while (file.size() - offset >= 8) {
    const std::uint8_t* header = file.data() + offset;
    const std::size_t remaining = file.size() - offset - 8;
    const std::size_t size = std::min<std::size_t>(le32(header + 4), remaining);
    const std::uint8_t* body = header + 8;
    if (std::memcmp(header, "fmt ", 4) == 0 && size >= 16) {
      chunks.format = {le16(body), le16(body + 2), le32(body + 4), le16(body + 14)};
      if (chunks.format.code == kFormatExtensible && size >= 26) {
        chunks.format.code = le16(body + 24);
      }
    } else if (std::memcmp(header, "data", 4) == 0) {
      chunks.data = std::make_pair(offset + 8, size);
    }
    // Bodies are padded to an even size; a pad byte past the end simply ends the walk.
    const std::size_t padded = size + (size & 1);
    if (padded >= remaining) break;
    offset += 8 + padded;
  }
  return chunks;
}

using SampleReader = float (*)(const std::uint8_t*);

SampleReader sampleReaderFor(std::uint16_t code, std::uint16_t bits) {
  if (code == kFormatFloat && bits == 32) {
    return [](const std::uint8_t* p) {
      const std::uint32_t raw = le32(p);
      float value;
      std::memcpy(&value, &raw, sizeof value);
      return value;
    };
  }
  if (code == kFormatFloat && bits == 64) {
    return [](const std::uint8_t* p) {
      const std::uint64_t raw = le64(p);
      double value;
      std::memcpy(&value, &raw, sizeof value);
      return roundToFloat(value);
    };
  }
  if (code != kFormatPcm) return nullptr;
  switch (bits) {
    case 8:
      return [](const std::uint8_t* p) { return (static_cast<int>(p[0]) - 128) / 128.0f; };
    case 16:
      return [](const std::uint8_t* p) { return static_cast<std::int16_t>(le16(p)) / 32768.0f; };
    case 24:
      return [](const std::uint8_t* p) {
        std::int32_t value = p[0] | (p[1] << 8) | (p[2] << 16);
        if (value & 0x800000) value -= 0x1000000;  // sign-extend from 24 bits
        return static_cast<float>(value) / 8388608.0f;
      };
    case 32:
      return [](const std::uint8_t* p) {
        return static_cast<float>(static_cast<std::int32_t>(le32(p))) / 2147483648.0f;
      };
    default:
      return nullptr;
  }
}

void checkWavFormat(const WavChunks& chunks) {
  const WavFormat& format = chunks.format;
  if (!chunks.data || format.channels == 0 || format.sampleRate == 0) {
    throw std::runtime_error("WAV: no fmt/data chunk");
  }
  if (format.channels > kMaxChannels) throw std::runtime_error("WAV: too many channels");
  const std::uint16_t bits = format.bits;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32 && bits != 64) {
    throw std::runtime_error("WAV: unsupported bit depth (" + std::to_string(bits) + ")");
  }
  if (format.sampleRate < kMinSampleRate || format.sampleRate > kMaxSampleRate) {
    throw std::runtime_error("WAV: sample rate out of range (" + std::to_string(format.sampleRate) +
                             " Hz)");
  }
}

}  // namespace

DecodedAudio readWav(const Bytes& file) {
  if (file.size() < 12 || !startsWith(file, "RIFF") || std::memcmp(file.data() + 8, "WAVE", 4)) {
    throw std::runtime_error("not a WAV file");
  }
  if (file.size() < 20) throw std::runtime_error("WAV: no fmt/data chunk");
  const WavChunks chunks = walkWavChunks(file);
  checkWavFormat(chunks);
  const WavFormat& format = chunks.format;
  const std::size_t bytesPerSample = format.bits / 8;
  const std::size_t bytesPerFrame = bytesPerSample * format.channels;
  const auto [dataOffset, dataSize] = *chunks.data;
  const std::size_t frames = dataSize / bytesPerFrame;

  DecodedAudio audio;
  audio.sampleRate = format.sampleRate;
  audio.channels = format.channels;
  if (frames == 0) return audio;
  const SampleReader read = sampleReaderFor(format.code, format.bits);
  if (read == nullptr) {
    throw std::runtime_error("WAV: unsupported sample format (" + std::to_string(format.code) +
                             ", " + std::to_string(format.bits) + " bit)");
  }
  // The decoders' hour limit, checked here before a single sample is converted.
  if (frames > static_cast<std::uint64_t>(format.sampleRate) * kSecondsPerHour) {
    throw std::runtime_error("audio longer than an hour");
  }
  const std::size_t count = frames * format.channels;
  audio.samples.resize(count);
  const std::uint8_t* data = file.data() + dataOffset;
  for (std::size_t i = 0; i < count; ++i) audio.samples[i] = read(data + i * bytesPerSample);
  return audio;
}

DecodedAudio decodeAudio(const Bytes& file) {
  if (file.size() >= 12 && startsWith(file, "RIFF")) return readWav(file);
  if (startsWith(file, "fLaC")) return decodeFlac(file);
  if (startsWith(file, "OggS")) return decodeVorbis(file);
  if (startsWith(file, "ID3")) return decodeMp3(file);
  if (file.size() >= 2 && file[0] == 0xFF && (file[1] & 0xE0) == 0xE0) return decodeMp3(file);
  throw std::runtime_error("unknown audio format (WAV, MP3, OGG or FLAC)");
}

}  // namespace tbp
