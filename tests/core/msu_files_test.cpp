#include "build/msu_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(MsuFiles, NamesFollowTheSavedFile) {
  const std::string cwd = fs::current_path().string();
  const std::pair<std::string, std::string> rows[] = {
      {"/out/Game.sfc", "/out/Game"},      {"/out/a.b.bps", "/out/a.b"},
      {"/out/Game", "/out/Game"},          {"/out/d.x/G.sfc", "/out/d.x/G"},
      {"/out/x/../Game.sfc", "/out/Game"}, {"/Game.sfc", "/Game"},
      {"rel/Game.sfc", cwd + "/rel/Game"}};
  for (const auto& [saved, base] : rows) EXPECT_EQ(tbp::msuBasePath(saved), base) << saved;
  EXPECT_EQ(tbp::msuMarkerPath("/out/Game"), "/out/Game.msu");
  EXPECT_EQ(tbp::msuTrackPath("/out/Game", 10), "/out/Game-10.pcm");
}

}  // namespace

#include <fstream>
#include <iterator>

#include "build/audio.h"
#include "support/wav_writer.h"

namespace {

// A converted track counts every input frame; a cancelled one throws and leaves no file.
TEST(MsuFiles, ConversionCountsFramesAndStopsWhenCancelled) {
  const fs::path dir = fs::temp_directory_path() / "tbp_msu_cancel_test";
  fs::create_directories(dir);
  const std::string audio = (dir / "tone.wav").string();
  const tbp::testkit::WavLayout layout{tbp::testkit::WavEncoding::Pcm16, 2, 22050, false};
  const tbp::Bytes wav =
      tbp::testkit::makeWav(layout, tbp::testkit::sineTones(22050, 2, 50000, 440, 0.5));
  std::ofstream(audio, std::ios::binary)
      .write(reinterpret_cast<const char*>(wav.data()), std::streamsize(wav.size()));

  tbp::TrackProgress followed;
  tbp::writeMsuTrackFile(audio, -1, (dir / "done.pcm").string(), &followed);
  EXPECT_EQ(followed.framesDone.load(), 50000u);
  EXPECT_EQ(followed.framesExpected.load(), 50000u);
  EXPECT_TRUE(fs::exists(dir / "done.pcm"));

  tbp::TrackProgress stopped;
  stopped.cancel = true;
  EXPECT_THROW(tbp::writeMsuTrackFile(audio, -1, (dir / "stopped.pcm").string(), &stopped),
               tbp::ConversionCancelled);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}

}  // namespace
