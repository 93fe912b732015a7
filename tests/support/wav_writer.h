#pragma once

#include <cstdint>
#include <vector>

#include "formats/bytes.h"

namespace tbp::testkit {

// The sample encodings a WAV file can carry, as (format code, bits per sample).
enum class WavEncoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

struct WavLayout {
  WavEncoding encoding = WavEncoding::Pcm16;
  std::uint16_t channels = 2;
  std::uint32_t sampleRate = 44100;
  bool extensible = false;  // a 40-byte WAVE_FORMAT_EXTENSIBLE "fmt " chunk
};

// The format code and bits per sample of an encoding.
std::uint16_t wavFormatCode(WavEncoding encoding);
std::uint16_t wavBitsPerSample(WavEncoding encoding);

// Encodes nominal -1.0..+1.0 values: integers are value * 2^(bits-1) rounded and saturated
// (8-bit stored offset by 128), floats are stored as they are.
Bytes encodeWavSamples(const std::vector<double>& values, WavEncoding encoding);

// A "fmt " chunk body: 16 bytes, or 40 with the extensible sub-format.
Bytes wavFormatChunk(std::uint16_t formatCode, std::uint16_t channels, std::uint32_t sampleRate,
                     std::uint16_t bitsPerSample, bool extensible);

// A chunk: identifier, 32-bit size and the body, padded to an even size.
Bytes riffChunk(const char id[4], const Bytes& body);

// "RIFF", the size of the rest, "WAVE" and the given chunks in order.
Bytes riffWave(const std::vector<Bytes>& chunks);

// A complete WAV file with raw sample bytes in its data chunk.
Bytes makeWavFile(const WavLayout& layout, const Bytes& sampleBytes);

// A complete WAV file with interleaved values encoded for the layout.
Bytes makeWav(const WavLayout& layout, const std::vector<double>& interleaved);

// Interleaved sine tones: channel c at baseHz * (c + 1), with the given amplitude.
std::vector<double> sineTones(std::uint32_t sampleRate, std::uint16_t channels, std::size_t frames,
                              double baseHz, double amplitude);

}  // namespace tbp::testkit
