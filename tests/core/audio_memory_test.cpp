#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include "build/audio.h"

// Decoding when memory runs out: while a cap is set, this program's operator new refuses any
// single allocation above it with std::bad_alloc, as a full memory would. A decoder whose
// output no longer fits must report a decoding failure, not let the allocation error escape.
namespace {
std::size_t allocationCap = 0;  // 0: no cap
}  // namespace

void* operator new(std::size_t size) {
  if (allocationCap != 0 && size > allocationCap) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using tbp::Bytes;

// Sets the cap for the life of one scope.
struct CappedAllocations {
  explicit CappedAllocations(std::size_t bytes) { allocationCap = bytes; }
  ~CappedAllocations() { allocationCap = 0; }
};

Bytes dataFile(const std::string& name) {
  std::ifstream in(std::string(TBP_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string decodeError(const Bytes& file) {
  try {
    tbp::decodeAudio(file);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "decoded";
}

TEST(AudioMemory, OutputThatCannotBeAllocatedIsADecodingFailure) {
  // frames8k.mp3 is one second of self-contained 8 kHz mono frames: twenty minutes of them
  // decode to 9.6 million floats, more than one 16 MiB allocation can hold.
  const Bytes second = dataFile("frames8k.mp3");
  ASSERT_FALSE(second.empty());
  Bytes twentyMinutes;
  for (int i = 0; i < 1200; ++i) {
    twentyMinutes.insert(twentyMinutes.end(), second.begin(), second.end());
  }
  const CappedAllocations cap(16u << 20);
  EXPECT_EQ(decodeError(twentyMinutes), "MP3: could not decode this file");
  // The same for the other decoders, with caps below their whole output.
  const Bytes flac = dataFile("tone.flac");  // 16000 mono frames: 64000 bytes of floats
  const Bytes ogg = dataFile("tone.ogg");    // 96000 stereo frames: 768000 bytes
  {
    const CappedAllocations flacCap(40000);
    EXPECT_EQ(decodeError(flac), "FLAC: could not decode this file");
  }
  {
    const CappedAllocations oggCap(400000);
    EXPECT_EQ(decodeError(ogg), "Ogg Vorbis: could not decode this file");
  }
  EXPECT_EQ(decodeError(flac), "decoded");
  // A short stream still fits.
  EXPECT_EQ(tbp::decodeAudio(second).sampleRate, 8000u);
}

}  // namespace
