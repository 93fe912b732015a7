#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>

#include "build/audio.h"
#include "support/wav_writer.h"

namespace {

using tbp::Bytes;
using tbp::DecodedAudio;
using tbp::readWav;
using namespace tbp::testkit;

std::string wavError(const Bytes& file) {
  try {
    readWav(file);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "decoded";
}

Bytes le(std::uint64_t value, int bytes) {
  Bytes out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes floatBytes(float value) {
  std::uint32_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  return le(raw, 4);
}

Bytes doubleBytes(double value) {
  std::uint64_t raw;
  std::memcpy(&raw, &value, sizeof raw);
  return le(raw, 8);
}

// A mono file of the given format with raw sample bytes.
Bytes monoWav(std::uint16_t code, std::uint16_t bits, const Bytes& data, bool extensible = false) {
  return riffWave({riffChunk("fmt ", wavFormatChunk(code, 1, 8000, bits, extensible)),
                   riffChunk("data", data)});
}

TEST(WavReader, EveryFormatRowConvertsAsSpecified) {
  const float inf = std::numeric_limits<float>::infinity();
  // Rounding to single precision: a double just above the largest float still rounds down to
  // it; from halfway to the next power of two on (a tie goes to even) it becomes infinite.
  const float largest = std::numeric_limits<float>::max();
  const double justAboveLargest = static_cast<double>(largest) * (1.0 + 1e-9);
  const double halfwayToOverflow = 0x1.ffffffp127;
  struct Row {
    std::uint16_t code;
    std::uint16_t bits;
    Bytes data;
    std::vector<float> expected;
  };
  const Row rows[] = {
      {1, 8, {0, 64, 128, 255}, {-1.0f, -0.5f, 0.0f, 127.0f / 128.0f}},
      {1,
       16,
       concat({le(0x8000, 2), le(0xC000, 2), le(0, 2), le(1, 2), le(0x7FFF, 2)}),
       {-1.0f, -0.5f, 0.0f, 1.0f / 32768.0f, 32767.0f / 32768.0f}},
      {1,
       24,
       concat({le(0x800000, 3), le(0xFFFFFF, 3), le(0x400000, 3), le(0x7FFFFF, 3)}),
       {-1.0f, -1.0f / 8388608.0f, 0.5f, 8388607.0f / 8388608.0f}},
      {1,
       32,
       concat({le(0x80000000u, 4), le(0xFFFFFFFFu, 4), le(0x40000000, 4)}),
       {-1.0f, -1.0f / 2147483648.0f, 0.5f}},
      {3,
       32,
       concat({floatBytes(1.75f), floatBytes(-0.125f), floatBytes(3.0e38f)}),
       {1.75f, -0.125f, 3.0e38f}},
      {3,
       64,
       concat({doubleBytes(0.1), doubleBytes(-2.5), doubleBytes(1e300), doubleBytes(-1e300),
               doubleBytes(justAboveLargest), doubleBytes(-justAboveLargest),
               doubleBytes(halfwayToOverflow), doubleBytes(-halfwayToOverflow)}),
       {static_cast<float>(0.1), -2.5f, inf, -inf, largest, -largest, inf, -inf}},
  };
  for (const Row& row : rows) {
    for (bool extensible : {false, true}) {
      const DecodedAudio audio = readWav(monoWav(row.code, row.bits, row.data, extensible));
      EXPECT_EQ(audio.sampleRate, 8000u);
      EXPECT_EQ(audio.channels, 1);
      EXPECT_EQ(audio.samples, row.expected)
          << "format " << row.code << ", " << row.bits << " bit, extensible " << extensible;
    }
  }
}

TEST(WavReader, WriterRoundTripForEveryEncodingAndChannelCount) {
  for (WavEncoding encoding : {WavEncoding::Pcm8, WavEncoding::Pcm16, WavEncoding::Pcm24,
                               WavEncoding::Pcm32, WavEncoding::Float32, WavEncoding::Float64}) {
    for (std::uint16_t channels : {1, 2, 6, 8}) {
      const std::vector<double> values = sineTones(22050, channels, 300, 441.0, 0.6);
      const DecodedAudio audio =
          readWav(makeWav({encoding, channels, 22050, channels > 2}, values));
      ASSERT_EQ(audio.channels, channels);
      ASSERT_EQ(audio.samples.size(), values.size());
      const double step = std::max(std::ldexp(1.0, 1 - wavBitsPerSample(encoding)), 1e-7);
      for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_NEAR(audio.samples[i], values[i], step) << "sample " << i;
      }
    }
  }
}

TEST(WavReader, MessagesForBrokenHeaders) {
  const Bytes fmt16 = riffChunk("fmt ", wavFormatChunk(1, 2, 44100, 16, false));
  const Bytes data4 = riffChunk("data", Bytes(4, 0));
  Bytes shortExtensible = wavFormatChunk(1, 1, 8000, 16, true);
  shortExtensible.resize(24);
  auto withFormat = [&](std::uint16_t code, std::uint16_t channels, std::uint32_t rate,
                        std::uint16_t bits) {
    return riffWave({riffChunk("fmt ", wavFormatChunk(code, channels, rate, bits, false)),
                     riffChunk("data", Bytes(64, 0))});
  };
  struct Row {
    Bytes file;
    std::string message;
  };
  const Row rows[] = {
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}, "not a WAV file"},
      {Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0, 0, 0, 0, 0, 0},
       "not a WAV file"},
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' ', 0, 0, 0, 0, 0, 0, 0, 0},
       "not a WAV file"},
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0},
       "WAV: no fmt/data chunk"},
      {riffWave({fmt16}), "WAV: no fmt/data chunk"},
      {riffWave({data4}), "WAV: no fmt/data chunk"},
      {riffWave({data4, riffChunk("fmt ", Bytes(14, 1))}), "WAV: no fmt/data chunk"},
      {withFormat(1, 0, 44100, 16), "WAV: no fmt/data chunk"},
      {withFormat(1, 2, 0, 16), "WAV: no fmt/data chunk"},
      {withFormat(1, 9, 44100, 16), "WAV: too many channels"},
      {withFormat(1, 65535, 0, 16), "WAV: no fmt/data chunk"},
      {withFormat(1, 2, 44100, 12), "WAV: unsupported bit depth (12)"},
      {withFormat(1, 2, 44100, 0), "WAV: unsupported bit depth (0)"},
      {withFormat(1, 2, 44100, 65535), "WAV: unsupported bit depth (65535)"},
      {withFormat(1, 2, 3999, 16), "WAV: sample rate out of range (3999 Hz)"},
      {withFormat(1, 2, 384001, 16), "WAV: sample rate out of range (384001 Hz)"},
      {withFormat(1, 2, 4294967295u, 16), "WAV: sample rate out of range (4294967295 Hz)"},
      {withFormat(2, 2, 44100, 16), "WAV: unsupported sample format (2, 16 bit)"},
      {withFormat(3, 2, 44100, 16), "WAV: unsupported sample format (3, 16 bit)"},
      {withFormat(3, 2, 44100, 8), "WAV: unsupported sample format (3, 8 bit)"},
      {withFormat(1, 2, 44100, 64), "WAV: unsupported sample format (1, 64 bit)"},
      // An extensible chunk too short for its sub-format keeps the code 0xFFFE.
      {riffWave({riffChunk("fmt ", shortExtensible), data4}),
       "WAV: unsupported sample format (65534, 16 bit)"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(wavError(row.file), row.message) << ::testing::PrintToString(row.file);
  }
}

TEST(WavReader, RatesAtTheLimitsAreAccepted) {
  for (std::uint32_t rate : {4000u, 384000u}) {
    const DecodedAudio audio = readWav(makeWav({WavEncoding::Pcm16, 1, rate, false}, {0.5}));
    EXPECT_EQ(audio.sampleRate, rate);
    EXPECT_EQ(audio.samples, std::vector<float>{0.5f});
  }
}

TEST(WavReader, PartialFramesAreDroppedWithoutError) {
  // Stereo 16-bit: 10 bytes hold two whole frames and half of a third.
  const DecodedAudio audio =
      readWav(makeWavFile({WavEncoding::Pcm16, 2, 8000, false}, Bytes(10, 0)));
  EXPECT_EQ(audio.samples.size(), 4u);
  // A data chunk without one whole frame yields no samples, even in an unsupported format.
  const Bytes tooShort =
      riffWave({riffChunk("fmt ", wavFormatChunk(2, 2, 8000, 16, false)), riffChunk("data", {1})});
  const DecodedAudio empty = readWav(tooShort);
  EXPECT_TRUE(empty.samples.empty());
  EXPECT_EQ(empty.channels, 2);
  EXPECT_EQ(empty.sampleRate, 8000u);
}

TEST(WavReader, ChunkWalk) {
  const Bytes fmtMono16 = riffChunk("fmt ", wavFormatChunk(1, 1, 8000, 16, false));
  const Bytes fmtStereo8 = riffChunk("fmt ", wavFormatChunk(1, 2, 11025, 8, false));
  const Bytes dataA = riffChunk("data", concat({le(0x4000, 2), le(0xC000, 2)}));
  const Bytes dataB = riffChunk("data", {255, 0});
  const Bytes oddList = riffChunk("LIST", {'a', 'b', 'c'});  // padded to an even size

  // Unknown and odd-sized chunks are skipped; later chunks replace earlier ones.
  DecodedAudio audio = readWav(riffWave({oddList, fmtMono16, dataA}));
  EXPECT_EQ(audio.samples, (std::vector<float>{0.5f, -0.5f}));
  audio = readWav(riffWave({fmtMono16, dataA, fmtStereo8, dataB}));
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.sampleRate, 11025u);
  EXPECT_EQ(audio.samples, (std::vector<float>{127.0f / 128.0f, -1.0f}));
  // A format chunk shorter than 16 bytes does not replace the good one.
  audio = readWav(riffWave({fmtMono16, riffChunk("fmt ", Bytes(15, 0)), dataA}));
  EXPECT_EQ(audio.samples, (std::vector<float>{0.5f, -0.5f}));

  // A data chunk that declares more than the file holds is read to the end of the file.
  Bytes longData = riffWave({fmtMono16, dataA});
  longData[longData.size() - 8] = 0xFF;  // the data size: 0xFFFF0004
  longData[longData.size() - 7] = 0xFF;
  longData.push_back(0x00);  // plus one more whole sample and a stray byte
  longData.push_back(0x20);
  longData.push_back(0x7F);
  audio = readWav(longData);
  EXPECT_EQ(audio.samples, (std::vector<float>{0.5f, -0.5f, 0.25f}));

  // A chunk of huge declared size before the format chunk hides everything after it.
  Bytes hidden = riffWave({riffChunk("junk", {}), fmtMono16, dataA});
  for (int i = 0; i < 4; ++i) hidden[16 + i] = 0xFF;
  EXPECT_EQ(wavError(hidden), "WAV: no fmt/data chunk");

  // A chunk header cut short at the end is ignored.
  Bytes cutHeader = riffWave({fmtMono16, dataA});
  cutHeader.insert(cutHeader.end(), {'d', 'a', 't', 'a', 2, 0, 0});
  EXPECT_EQ(readWav(cutHeader).samples.size(), 2u);
}

TEST(WavReader, ExtensibleSubFormatFloatReadsAsFloat) {
  const Bytes file = makeWav({WavEncoding::Float32, 2, 48000, true}, {1.5, -0.25});
  ASSERT_EQ(file[20], 0xFE);  // the chunk's own code is 0xFFFE
  ASSERT_EQ(file[21], 0xFF);
  const DecodedAudio audio = tbp::decodeAudio(file);
  EXPECT_EQ(audio.samples, (std::vector<float>{1.5f, -0.25f}));
}

TEST(WavReader, MoreThanAnHourOfFramesIsRefusedBeforeConversion) {
  // 4000 Hz mono 8-bit: an hour is 14,400,000 bytes of data.
  const Bytes justOver = makeWavFile({WavEncoding::Pcm8, 1, 4000, false}, Bytes(14400001, 128));
  EXPECT_EQ(wavError(justOver), "audio longer than an hour");
  const Bytes anHour = makeWavFile({WavEncoding::Pcm8, 1, 4000, false}, Bytes(14400000, 128));
  EXPECT_EQ(readWav(anHour).samples.size(), 14400000u);
}

}  // namespace
