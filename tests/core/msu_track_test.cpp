#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "build/audio.h"
#include "support/wav_writer.h"

// makeMsuTrack converts as it decodes; it must give exactly what decoding the whole file and
// then converting it gives, bytes and errors alike, whatever the format and however the
// decoder splits its output.
namespace {

using tbp::Bytes;
using namespace tbp::testkit;

Bytes dataFile(const std::string& name) {
  std::ifstream in(std::string(TBP_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The track, or the message of the error that refused it.
struct Outcome {
  Bytes track;
  std::string error;
  bool operator==(const Outcome&) const = default;
};

template <typename Convert>
Outcome outcomeOf(Convert convert) {
  try {
    return {convert(), ""};
  } catch (const std::runtime_error& error) {
    return {{}, error.what()};
  }
}

struct Input {
  std::string name;
  Bytes file;
  double loop;
};

std::vector<Input> inputs() {
  const Bytes ogg = dataFile("tone.ogg");
  std::vector<Input> list = {
      {"tone.flac", dataFile("tone.flac"), 0.5},
      {"tone24.flac", dataFile("tone24.flac"), -1},
      {"tone.ogg", ogg, 1.25},
      {"tone.mp3", dataFile("tone.mp3"), 0},
      {"mono22k.mp3", dataFile("mono22k.mp3"), 100},
      {"nine.ogg", dataFile("nine.ogg"), -1},
      {"unknown", {'a', 'b', 'c', 'd'}, -1},
      {"ogg cut short", Bytes(ogg.begin(), ogg.begin() + 58), -1},
  };
  struct WavRow {
    WavLayout layout;
    std::size_t frames;
  };
  // Several blocks long, at rates that resample up and down or not at all.
  const WavRow wavs[] = {
      {{WavEncoding::Pcm16, 2, 48000, false}, 20000},
      {{WavEncoding::Pcm8, 1, 22050, false}, 9001},
      {{WavEncoding::Float32, 6, 32000, true}, 7000},
      {{WavEncoding::Pcm24, 2, 44100, false}, 10000},
      {{WavEncoding::Float64, 1, 44100, false}, 333},
      {{WavEncoding::Pcm32, 2, 384000, false}, 5000},
      {{WavEncoding::Pcm16, 2, 4000, false}, 50},
      {{WavEncoding::Pcm16, 2, 48000, false}, 0},
  };
  for (const WavRow& row : wavs) {
    list.push_back({"wav " + std::to_string(row.layout.sampleRate) + " Hz",
                    makeWav(row.layout, sineTones(row.layout.sampleRate, row.layout.channels,
                                                  row.frames, 300.0, 0.9)),
                    0.1});
  }
  // A format the reader refuses only once there is a whole frame to read.
  list.push_back({"wav ADPCM", makeWavFile({WavEncoding::Pcm16, 1, 8000, false}, {1, 2}), -1});
  list.back().file[20] = 2;  // the format code
  return list;
}

Outcome viaDecodedAudio(const Input& input) {
  return outcomeOf([&] { return tbp::makeMsuPcm(tbp::decodeAudio(input.file), input.loop); });
}

Outcome viaTrack(const Input& input) {
  return outcomeOf([&] { return tbp::makeMsuTrack(input.file, input.loop); });
}

TEST(MsuTrack, SameBytesAndErrorsAsDecodingFirst) {
  std::size_t converted = 0;
  for (const Input& input : inputs()) {
    const Outcome wanted = viaDecodedAudio(input);
    const Outcome actual = viaTrack(input);
    EXPECT_EQ(actual.error, wanted.error) << input.name;
    EXPECT_TRUE(actual.track == wanted.track) << input.name;
    converted += wanted.error.empty();
  }
  EXPECT_EQ(converted, 12u);  // the others are refused, each with its own message
}

TEST(MsuTrack, ConvertsOnSeveralThreadsAtOnce) {
  const std::vector<Input> list = inputs();
  std::vector<Outcome> wanted;
  for (const Input& input : list) wanted.push_back(viaTrack(input));
  constexpr int kThreads = 4;
  std::vector<std::vector<Outcome>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread walks the inputs from another place, so different decoders overlap.
      for (std::size_t i = 0; i < list.size(); ++i) {
        results[t].push_back(viaTrack(list[(i + 3 * t) % list.size()]));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      EXPECT_TRUE(results[t][i] == wanted[(i + 3 * t) % list.size()]) << t << " " << i;
    }
  }
}

}  // namespace
