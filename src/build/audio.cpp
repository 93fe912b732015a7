#include "build/audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "build/audio_stream.h"
#include "build/byte_source.h"

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

// The first bytes of a file, enough to recognise its format.
struct FileStart {
  std::uint8_t bytes[12] = {};
  std::size_t size = 0;

  explicit FileStart(ByteSource& file) : size(file.readAt(0, bytes, sizeof bytes)) {}

  bool startsWith(const char* tag) const {
    const std::size_t length = std::strlen(tag);
    return size >= length && std::memcmp(bytes, tag, length) == 0;
  }
};

struct WavFormat {
  std::uint16_t code = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t bits = 0;
};

struct WavChunks {
  WavFormat format;
  std::optional<std::pair<std::uint64_t, std::uint64_t>> data;  // offset and size in the file
};

// Walks the RIFF chunks after the 12-byte file header, reading each chunk's header where it
// lies. A chunk size that runs past the end of the file is cut to the bytes that remain;
// later chunks of a kind replace earlier ones.
WavChunks walkWavChunks(ByteSource& file) {
  WavChunks chunks;
  const std::uint64_t fileSize = file.size();
  std::uint64_t offset = 12;
  while (fileSize - offset >= 8) {
    std::uint8_t header[8 + 26] = {};  // the chunk's header and the longest fmt body read
    const std::size_t got = file.readAt(offset, header, sizeof header);
    const std::uint64_t remaining = fileSize - offset - 8;
    const std::uint64_t size = std::min<std::uint64_t>(le32(header + 4), remaining);
    const std::uint8_t* body = header + 8;
    if (std::memcmp(header, "fmt ", 4) == 0 && size >= 16 && got >= 8 + 16) {
      chunks.format = {le16(body), le16(body + 2), le32(body + 4), le16(body + 14)};
      if (chunks.format.code == kFormatExtensible && size >= 26 && got >= 8 + 26) {
        chunks.format.code = le16(body + 24);
      }
    } else if (std::memcmp(header, "data", 4) == 0) {
      chunks.data = std::make_pair(offset + 8, size);
    }
    // Bodies are padded to an even size; a pad byte past the end simply ends the walk.
    const std::uint64_t padded = size + (size & 1);
    if (padded >= remaining) break;
    offset += 8 + padded;
  }
  return chunks;
}

// The sample encodings the reader converts, and each one's conversion to float.
enum class SampleKind { Unsupported, Float32, Float64, Pcm8, Pcm16, Pcm24, Pcm32 };

SampleKind sampleKindFor(std::uint16_t code, std::uint16_t bits) {
  if (code == kFormatFloat && bits == 32) return SampleKind::Float32;
  if (code == kFormatFloat && bits == 64) return SampleKind::Float64;
  if (code != kFormatPcm) return SampleKind::Unsupported;
  switch (bits) {
    case 8:
      return SampleKind::Pcm8;
    case 16:
      return SampleKind::Pcm16;
    case 24:
      return SampleKind::Pcm24;
    case 32:
      return SampleKind::Pcm32;
    default:
      return SampleKind::Unsupported;
  }
}

constexpr auto readFloat32 = [](const std::uint8_t* p) {
  const std::uint32_t raw = le32(p);
  float value;
  std::memcpy(&value, &raw, sizeof value);
  return value;
};
constexpr auto readFloat64 = [](const std::uint8_t* p) {
  const std::uint64_t raw = le64(p);
  double value;
  std::memcpy(&value, &raw, sizeof value);
  return roundToFloat(value);
};
constexpr auto readPcm8 = [](const std::uint8_t* p) {
  return (static_cast<int>(p[0]) - 128) / 128.0f;
};
constexpr auto readPcm16 = [](const std::uint8_t* p) {
  return static_cast<std::int16_t>(le16(p)) / 32768.0f;
};
constexpr auto readPcm24 = [](const std::uint8_t* p) {
  std::int32_t value = p[0] | (p[1] << 8) | (p[2] << 16);
  if (value & 0x800000) value -= 0x1000000;  // sign-extend from 24 bits
  return static_cast<float>(value) / 8388608.0f;
};
constexpr auto readPcm32 = [](const std::uint8_t* p) {
  return static_cast<float>(static_cast<std::int32_t>(le32(p))) / 2147483648.0f;
};

// A loop per kind, so that each conversion is inlined into it.
template <typename Read>
void convertSamples(Read read, const std::uint8_t* data, std::size_t bytesPerSample,
                    std::size_t count, float* out) {
  for (std::size_t i = 0; i < count; ++i) out[i] = read(data + i * bytesPerSample);
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

// A WAV file whose header passed every check: its format, where its whole frames lie and
// the reader of their samples.
struct WavSamples {
  WavFormat format;
  std::uint64_t dataOffset = 0;
  std::size_t frames = 0;
  SampleKind kind = SampleKind::Unsupported;
};

// The checks of the WAV reader, in their order. The sample format and the hour limit are
// checked only when there is a whole frame to read.
WavSamples openWav(ByteSource& file) {
  const FileStart start(file);
  if (start.size < 12 || !start.startsWith("RIFF") || std::memcmp(start.bytes + 8, "WAVE", 4)) {
    throw std::runtime_error("not a WAV file");
  }
  if (file.size() < 20) throw std::runtime_error("WAV: no fmt/data chunk");
  const WavChunks chunks = walkWavChunks(file);
  checkWavFormat(chunks);
  WavSamples wav;
  wav.format = chunks.format;
  const std::size_t bytesPerFrame = wav.format.bits / 8 * wav.format.channels;
  const auto [dataOffset, dataSize] = *chunks.data;
  wav.dataOffset = dataOffset;
  const std::uint64_t frames = dataSize / bytesPerFrame;
  if (frames == 0) return wav;
  wav.kind = sampleKindFor(wav.format.code, wav.format.bits);
  if (wav.kind == SampleKind::Unsupported) {
    throw std::runtime_error("WAV: unsupported sample format (" + std::to_string(wav.format.code) +
                             ", " + std::to_string(wav.format.bits) + " bit)");
  }
  // The decoders' hour limit, checked here before a single sample is converted.
  if (frames > static_cast<std::uint64_t>(wav.format.sampleRate) * kSecondsPerHour) {
    throw std::runtime_error("audio longer than an hour");
  }
  wav.frames = static_cast<std::size_t>(frames);
  return wav;
}

// Samples first .. first + count - 1 (counted over all channels) as floats, read from the
// file through `raw`, a buffer that grows to the block's bytes.
void convertWavSamples(ByteSource& file, const WavSamples& wav, std::size_t first,
                       std::size_t count, Bytes& raw, float* out) {
  const std::size_t bytes = wav.format.bits / 8;
  raw.resize(count * bytes);
  // The frames lie inside the file's size, so the whole block is there to read.
  if (file.readAt(wav.dataOffset + std::uint64_t(first) * bytes, raw.data(), raw.size()) !=
      raw.size()) {
    throw std::runtime_error("WAV: no fmt/data chunk");
  }
  const std::uint8_t* data = raw.data();
  switch (wav.kind) {
    case SampleKind::Float32:
      return convertSamples(readFloat32, data, bytes, count, out);
    case SampleKind::Float64:
      return convertSamples(readFloat64, data, bytes, count, out);
    case SampleKind::Pcm8:
      return convertSamples(readPcm8, data, bytes, count, out);
    case SampleKind::Pcm16:
      return convertSamples(readPcm16, data, bytes, count, out);
    case SampleKind::Pcm24:
      return convertSamples(readPcm24, data, bytes, count, out);
    case SampleKind::Pcm32:
      return convertSamples(readPcm32, data, bytes, count, out);
    case SampleKind::Unsupported:
      return;  // only for a file without a whole frame
  }
}

constexpr std::size_t kWavBlockFrames = 8192;  // frames read and converted at a time

enum class AudioFormat { Wav, Flac, Vorbis, Mp3 };

// The format named by the first bytes of a file.
AudioFormat detectFormat(ByteSource& file) {
  const FileStart start(file);
  if (start.size >= 12 && start.startsWith("RIFF")) return AudioFormat::Wav;
  if (start.startsWith("fLaC")) return AudioFormat::Flac;
  if (start.startsWith("OggS")) return AudioFormat::Vorbis;
  if (start.startsWith("ID3")) return AudioFormat::Mp3;
  if (start.size >= 2 && start.bytes[0] == 0xFF && (start.bytes[1] & 0xE0) == 0xE0)
    return AudioFormat::Mp3;
  throw std::runtime_error("unknown audio format (WAV, MP3, OGG or FLAC)");
}

}  // namespace

DecodedAudio readWav(const Bytes& bytes) {
  MemorySource file(bytes);
  const WavSamples wav = openWav(file);
  DecodedAudio audio;
  audio.sampleRate = wav.format.sampleRate;
  audio.channels = wav.format.channels;
  audio.samples.resize(wav.frames * wav.format.channels);
  Bytes raw;
  const std::size_t block = kWavBlockFrames * wav.format.channels;
  for (std::size_t first = 0; first < audio.samples.size(); first += block) {
    const std::size_t length = std::min(block, audio.samples.size() - first);
    convertWavSamples(file, wav, first, length, raw, audio.samples.data() + first);
  }
  return audio;
}

namespace detail {

void streamWav(ByteSource& file, FrameSink& sink) {
  const WavSamples wav = openWav(file);
  if (wav.frames == 0) return;
  sink.start(wav.format.sampleRate, wav.format.channels);
  sink.expectFrames(wav.frames);
  const std::size_t count = wav.frames * wav.format.channels;
  const std::size_t block = kWavBlockFrames * wav.format.channels;
  Bytes raw;
  for (std::size_t first = 0; first < count; first += block) {
    const std::size_t length = std::min(block, count - first);
    convertWavSamples(file, wav, first, length, raw, sink.room(length));
    sink.commit();
  }
}

void streamAudio(ByteSource& file, FrameSink& sink) {
  switch (detectFormat(file)) {
    case AudioFormat::Wav:
      return streamWav(file, sink);
    case AudioFormat::Flac:
      return streamFlac(file, sink);
    case AudioFormat::Vorbis:
      return streamVorbis(file, sink);
    case AudioFormat::Mp3:
      return streamMp3(file, sink);
  }
}

void streamAudio(const Bytes& bytes, FrameSink& sink) {
  MemorySource file(bytes);
  streamAudio(file, sink);
}

}  // namespace detail

DecodedAudio decodeAudio(const Bytes& file) {
  MemorySource source(file);
  switch (detectFormat(source)) {
    case AudioFormat::Wav:
      return readWav(file);
    case AudioFormat::Flac:
      return decodeFlac(file);
    case AudioFormat::Vorbis:
      return decodeVorbis(file);
    case AudioFormat::Mp3:
      return decodeMp3(file);
  }
  throw std::logic_error("unreachable");
}

}  // namespace tbp
