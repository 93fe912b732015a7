#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>

#include "build/audio.h"

// Inputs that once made the audio decoding misbehave (huge allocations, long runs, undefined
// behaviour), kept beside the fuzzing corpora. Each must be refused with its message, both
// when decoded for the Music page and when converted for a save.
namespace {

using tbp::Bytes;

Bytes regression(const std::string& name) {
  std::ifstream in(std::string(TBP_TEST_DATA_DIR) + "/../fuzz/regressions/decode_audio/" + name,
                   std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename Call>
std::string errorOf(Call call) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "accepted";
}

TEST(AudioRegressions, HostileVorbisFilesAreRefused) {
  struct Row {
    const char* file;
    const char* message;
  };
  const Row rows[] = {
      {"vorbis-empty-page-huge-comment.ogg", "Ogg Vorbis: could not decode this file"},
      {"vorbis-cut-comment-huge-comment.ogg", "Ogg Vorbis: could not decode this file"},
      {"vorbis-cut-comment-slow.ogg", "Ogg Vorbis: could not decode this file"},
      {"vorbis-codebook-812mb.ogg", "Ogg Vorbis: could not decode this file"},
      {"vorbis-lookup-overflow.ogg", "Ogg Vorbis: could not decode this file"},
  };
  for (const Row& row : rows) {
    const Bytes file = regression(row.file);
    ASSERT_FALSE(file.empty()) << row.file;
    EXPECT_EQ(errorOf([&] { tbp::decodeAudio(file); }), row.message) << row.file;
    EXPECT_EQ(errorOf([&] { tbp::makeMsuTrack(file, -1); }), row.message) << row.file;
  }
}

}  // namespace
