#include "support/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace tbp::testkit {
namespace {

void putLe(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::int64_t scaledInteger(double value, int bits) {
  const double full = std::ldexp(1.0, bits - 1);
  const double scaled = std::round(value * full);
  return static_cast<std::int64_t>(std::clamp(scaled, -full, full - 1.0));
}

}  // namespace

std::uint16_t wavFormatCode(WavEncoding encoding) {
  return encoding == WavEncoding::Float32 || encoding == WavEncoding::Float64 ? 3 : 1;
}

std::uint16_t wavBitsPerSample(WavEncoding encoding) {
  switch (encoding) {
    case WavEncoding::Pcm8:
      return 8;
    case WavEncoding::Pcm16:
      return 16;
    case WavEncoding::Pcm24:
      return 24;
    case WavEncoding::Pcm32:
    case WavEncoding::Float32:
      return 32;
    case WavEncoding::Float64:
      return 64;
  }
  return 0;
}

Bytes encodeWavSamples(const std::vector<double>& values, WavEncoding encoding) {
  Bytes out;
  const int bits = wavBitsPerSample(encoding);
  for (double value : values) {
    if (encoding == WavEncoding::Float32) {
      const float single = static_cast<float>(value);
      std::uint32_t raw;
      std::memcpy(&raw, &single, sizeof raw);
      putLe(out, raw, 4);
    } else if (encoding == WavEncoding::Float64) {
      std::uint64_t raw;
      std::memcpy(&raw, &value, sizeof raw);
      putLe(out, raw, 8);
    } else if (encoding == WavEncoding::Pcm8) {
      out.push_back(static_cast<std::uint8_t>(scaledInteger(value, 8) + 128));
    } else {
      putLe(out, static_cast<std::uint64_t>(scaledInteger(value, bits)), bits / 8);
    }
  }
  return out;
}

Bytes wavFormatChunk(std::uint16_t formatCode, std::uint16_t channels, std::uint32_t sampleRate,
                     std::uint16_t bitsPerSample, bool extensible) {
  Bytes body;
  const std::uint32_t blockAlign = channels * (bitsPerSample / 8u);
  putLe(body, extensible ? 0xFFFE : formatCode, 2);
  putLe(body, channels, 2);
  putLe(body, sampleRate, 4);
  putLe(body, static_cast<std::uint64_t>(sampleRate) * blockAlign, 4);
  putLe(body, blockAlign, 2);
  putLe(body, bitsPerSample, 2);
  if (extensible) {
    putLe(body, 22, 2);             // extension size
    putLe(body, bitsPerSample, 2);  // valid bits
    putLe(body, 0, 4);              // channel mask: unspecified
    // Sub-format GUID: the format code followed by the fixed tail 00000010-8000-00AA00389B71.
    putLe(body, formatCode, 2);
    const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.insert(body.end(), std::begin(tail), std::end(tail));
  }
  return body;
}

Bytes riffChunk(const char id[4], const Bytes& body) {
  Bytes chunk(id, id + 4);
  putLe(chunk, body.size(), 4);
  chunk.insert(chunk.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) chunk.push_back(0);
  return chunk;
}

Bytes riffWave(const std::vector<Bytes>& chunks) {
  Bytes rest{'W', 'A', 'V', 'E'};
  for (const Bytes& chunk : chunks) rest.insert(rest.end(), chunk.begin(), chunk.end());
  Bytes file{'R', 'I', 'F', 'F'};
  putLe(file, rest.size(), 4);
  file.insert(file.end(), rest.begin(), rest.end());
  return file;
}

Bytes makeWavFile(const WavLayout& layout, const Bytes& sampleBytes) {
  return riffWave(
      {riffChunk("fmt ",
                 wavFormatChunk(wavFormatCode(layout.encoding), layout.channels, layout.sampleRate,
                                wavBitsPerSample(layout.encoding), layout.extensible)),
       riffChunk("data", sampleBytes)});
}

Bytes makeWav(const WavLayout& layout, const std::vector<double>& interleaved) {
  return makeWavFile(layout, encodeWavSamples(interleaved, layout.encoding));
}

std::vector<double> sineTones(std::uint32_t sampleRate, std::uint16_t channels, std::size_t frames,
                              double baseHz, double amplitude) {
  std::vector<double> values;
  values.reserve(frames * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      const double phase = 2.0 * std::numbers::pi * baseHz * (c + 1) * static_cast<double>(i);
      values.push_back(amplitude * std::sin(phase / sampleRate));
    }
  }
  return values;
}

}  // namespace tbp::testkit
