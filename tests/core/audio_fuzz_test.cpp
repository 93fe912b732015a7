#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>

#include "build/audio.h"
#include "support/wav_writer.h"

// Truncated, corrupted and hostile audio files, seeded from real ones: every outcome must be
// a well-formed DecodedAudio or one of the specified messages, and never a crash (the
// sanitizer build turns any out-of-bounds access or undefined behaviour into a failure).

namespace {

using tbp::Bytes;
using tbp::DecodedAudio;
using namespace tbp::testkit;

Bytes dataFile(const std::string& name) {
  std::ifstream in(std::string(TBP_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isSpecifiedMessage(const std::string& message) {
  static const std::set<std::string> exact = {
      "unknown audio format (WAV, MP3, OGG or FLAC)",
      "FLAC: could not decode this file",
      "Ogg Vorbis: could not decode this file",
      "MP3: could not decode this file",
      "FLAC: no audio in the file",
      "Ogg Vorbis: no audio in the file",
      "MP3: no audio in the file",
      "too many channels",
      "sample rate out of range",
      "audio longer than an hour",
      "not a WAV file",
      "WAV: no fmt/data chunk",
      "WAV: too many channels",
  };
  static const std::regex numbered(
      R"(WAV: (unsupported bit depth \(\d+\)|sample rate out of range \(\d+ Hz\)|)"
      R"(unsupported sample format \(\d+, \d+ bit\)))");
  return exact.count(message) > 0 || std::regex_match(message, numbered);
}

// Decodes one input; on success also converts short results to a track.
void checkOne(const Bytes& file, std::size_t& decoded) {
  DecodedAudio audio;
  try {
    audio = tbp::decodeAudio(file);
  } catch (const std::runtime_error& error) {
    ASSERT_TRUE(isSpecifiedMessage(error.what())) << error.what();
    return;
  }
  ++decoded;
  ASSERT_GE(audio.channels, 1);
  ASSERT_LE(audio.channels, 8);
  ASSERT_GT(audio.sampleRate, 0u);
  ASSERT_EQ(audio.samples.size() % static_cast<std::size_t>(audio.channels), 0u);
  // Convert the first frames only: the decoded rate and channels are what matter here.
  audio.samples.resize(
      std::min(audio.samples.size(), 512 * static_cast<std::size_t>(audio.channels)));
  try {
    const Bytes pcm = tbp::makeMsuPcm(audio, 0.25);
    const std::uint64_t frames =
        static_cast<std::uint64_t>(audio.frameCount()) * 44100 / audio.sampleRate;
    ASSERT_EQ(pcm.size(), 8 + 4 * frames);
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    ASSERT_TRUE(message == "sample rate out of range" || message == "no audio") << message;
  }
}

// Every short prefix, then random prefixes, single-byte and burst corruptions (most of them
// in the first bytes, where the headers live) and random insertions and deletions.
void fuzzSeed(const Bytes& seed, unsigned seedNumber, int rounds) {
  std::mt19937 random(seedNumber);
  std::size_t decoded = 0;
  for (std::size_t length = 0; length <= std::min<std::size_t>(seed.size(), 96); ++length) {
    checkOne(Bytes(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(length)), decoded);
  }
  auto position = [&](std::size_t size) {
    const std::size_t limit = random() % 2 ? std::min<std::size_t>(size, 128) : size;
    return static_cast<std::size_t>(random() % limit);
  };
  for (int round = 0; round < rounds; ++round) {
    Bytes file = seed;
    switch (round % 4) {
      case 0:
        file.resize(random() % seed.size());
        break;
      case 1:
        for (int i = 1 + random() % 4; i > 0; --i)
          file[position(file.size())] ^= 1u << (random() % 8);
        break;
      case 2:
        for (int i = 1 + random() % 8; i > 0; --i) {
          file[position(file.size())] = static_cast<std::uint8_t>(random() % 2 ? 0xFF : random());
        }
        break;
      default: {
        const std::size_t at = position(file.size());
        if (random() % 2) {
          file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), 1 + random() % 16,
                      static_cast<std::uint8_t>(random()));
        } else {
          file.erase(file.begin() + static_cast<std::ptrdiff_t>(at),
                     file.begin() + static_cast<std::ptrdiff_t>(
                                        std::min(file.size(), at + 1 + random() % 16)));
        }
      }
    }
    checkOne(file, decoded);
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(decoded, 0u) << "no variant decoded at all";
}

TEST(AudioFuzz, Mp3) { fuzzSeed(dataFile("tone.mp3"), 11, 1500); }
TEST(AudioFuzz, OggVorbis) { fuzzSeed(dataFile("tone.ogg"), 12, 1500); }
TEST(AudioFuzz, Flac) {
  fuzzSeed(dataFile("tone.flac"), 13, 1000);
  fuzzSeed(dataFile("tone24.flac"), 14, 1000);
}

TEST(AudioFuzz, Wav) {
  unsigned seed = 20;
  for (WavEncoding encoding : {WavEncoding::Pcm8, WavEncoding::Pcm16, WavEncoding::Pcm24,
                               WavEncoding::Pcm32, WavEncoding::Float32, WavEncoding::Float64}) {
    const Bytes wav = makeWav({encoding, 2, 22050, encoding == WavEncoding::Pcm24},
                              sineTones(22050, 2, 200, 500.0, 0.7));
    fuzzSeed(wav, seed++, 1500);
  }
}

// WAV files built from random header fields and random chunk layouts.
TEST(AudioFuzz, HostileWavHeaders) {
  std::mt19937 random(99);
  std::size_t decoded = 0;
  const char* ids[] = {"fmt ", "data", "LIST", "fact"};
  for (int round = 0; round < 4000; ++round) {
    std::vector<Bytes> chunks;
    for (int i = random() % 5; i >= 0; --i) {
      const char* id = ids[random() % 4];
      if (std::string(id) == "fmt ") {
        const std::uint16_t codes[] = {1, 3, 0xFFFE, 2, 0};
        const std::uint16_t bits[] = {8, 16, 24, 32, 64, 0, 12, 65535};
        Bytes body = wavFormatChunk(codes[random() % 5], static_cast<std::uint16_t>(random() % 12),
                                    random() % 2 ? 44100 : static_cast<std::uint32_t>(random()),
                                    bits[random() % 8], random() % 2);
        body.resize(random() % 3 ? body.size() : random() % 42);
        chunks.push_back(riffChunk(id, body));
      } else {
        Bytes body(random() % 64);
        for (auto& byte : body) byte = static_cast<std::uint8_t>(random());
        chunks.push_back(riffChunk(id, body));
      }
    }
    Bytes file = riffWave(chunks);
    // Sometimes lie about a chunk size.
    if (file.size() > 20 && random() % 3 == 0) {
      const std::size_t at = 16 + random() % (file.size() - 19);
      for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(random());
    }
    checkOne(file, decoded);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(decoded, 0u);
}

}  // namespace
