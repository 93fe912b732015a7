#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "build/audio.h"
#include "build/files.h"
#include "build/msu_files.h"
#include "build/staged_files.h"
#include "build/track_shaping.h"
#include "support/looping_song.h"
#include "support/wav_writer.h"

// Tracks written in blocks: a long track streamed from its file into the safe writer's
// temporary file has exactly the bytes of the conversion in memory, with and without shaping,
// and shaping measured while converting equals shaping measured on the finished track.
namespace {

namespace fs = std::filesystem;
using tbp::Bytes;
using namespace tbp::testkit;

Bytes fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class TrackStreaming : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() / ("track_streaming_" + std::to_string(::getpid()));
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }
  fs::path directory_;
};

TEST_F(TrackStreaming, ALongTrackStreamedEqualsTheConversionInMemory) {
  // 12 s at 48 kHz: several output blocks and shaping passes. Half a second of near-silence
  // first, so that trimming moves every block.
  std::vector<double> samples(2 * 24000, 0.0003);
  const std::vector<double> music = randomNotes(48000, 12, 9);
  samples.insert(samples.end(), music.begin(), music.end());
  const Bytes wav = makeWav({WavEncoding::Pcm16, 2, 48000, false}, samples);
  const fs::path input = directory_ / "song.wav";
  writeBytes(input, wav);

  tbp::TrackShaping everything;
  everything.trimSilence = true;
  everything.loudnessTarget = -16;
  everything.fadeSeconds = 3;
  tbp::TrackShaping fadeOnly;
  fadeOnly.fadeSeconds = 2.5;
  struct Row {
    tbp::TrackShaping shaping;
    double loop;
  };
  const Row rows[] = {{{}, -1}, {{}, 6.5}, {everything, -1}, {everything, 3}, {fadeOnly, -1}};
  for (const Row& row : rows) {
    // The reference: the plain conversion, shaped afterwards on the whole track.
    Bytes expected = tbp::makeMsuPcm(tbp::decodeAudio(wav), row.loop);
    if (row.shaping.active()) {
      const std::size_t plainSize = expected.size();
      tbp::shapeTrack(expected, row.loop >= 0, row.shaping);
      if (row.shaping.trimSilence) {
        EXPECT_LT(expected.size() + 4 * 20000, plainSize);
      }
    }
    const fs::path written = directory_ / "written.pcm";
    tbp::writeMsuTrackFile(input.string(), row.loop, written.string(), row.shaping);
    EXPECT_EQ(fileBytes(written), expected) << row.loop << " " << row.shaping.active();
    tbp::StagedFiles files;
    tbp::stageMsuTrack(files, input.string(), row.loop, (directory_ / "staged.pcm").string(),
                       row.shaping);
    files.commit();
    EXPECT_EQ(fileBytes(directory_ / "staged.pcm"), expected);
    EXPECT_EQ(tbp::msuTrackFromFile(input.string(), row.loop, row.shaping), expected);
  }
}

TEST_F(TrackStreaming, EveryFormatReadInBlocksGivesTheSameTrack) {
  // The library decoders read the file through their streaming interfaces: the same frames as
  // from the whole file in memory.
  for (const std::string name : {"tone.mp3", "tone.flac", "tone24.flac", "tone.ogg",
                                 "mono22k.mp3", "frames8k.mp3"}) {
    const fs::path input = fs::path(TBP_TEST_DATA_DIR) / name;
    const Bytes expected = tbp::makeMsuPcm(tbp::decodeAudio(fileBytes(input)), 0.5);
    const fs::path written = directory_ / (name + ".pcm");
    tbp::writeMsuTrackFile(input.string(), 0.5, written.string());
    EXPECT_EQ(fileBytes(written), expected) << name;
  }
}

TEST_F(TrackStreaming, ReadingInBlocksKeepsTheReadersChecks) {
  const fs::path fifo = directory_ / "pipe.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string track = (directory_ / "out.pcm").string();
  const auto errorOf = [&](const fs::path& input) {
    try {
      tbp::writeMsuTrackFile(input.string(), -1, track);
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(errorOf(fifo), "cannot open " + fifo.string() + ": not a regular file");
  EXPECT_EQ(errorOf(directory_ / "missing.wav"), "cannot open " + (directory_ / "missing.wav").string());
  const fs::path bad = directory_ / "bad.wav";
  writeBytes(bad, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'x', 'y'});
  EXPECT_EQ(errorOf(bad), "bad.wav: WAV: no fmt/data chunk");
  EXPECT_FALSE(fs::exists(track));
  EXPECT_EQ(std::distance(fs::directory_iterator(directory_), fs::directory_iterator()), 2);
}

}  // namespace
