#include "formats/checksums.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

const std::uint8_t* bytesOf(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

// Bit-at-a-time CRC-32 straight from the definition, to check the sliced tables against.
std::uint32_t referenceCrc32(const std::vector<std::uint8_t>& data) {
  std::uint32_t value = 0xFFFFFFFFu;
  for (std::uint8_t byte : data) {
    value ^= byte;
    for (int bit = 0; bit < 8; ++bit)
      value = (value & 1u) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
  }
  return ~value;
}

std::vector<std::uint8_t> randomBytes(std::size_t length, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> data(length);
  for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
  return data;
}

TEST(Crc16, KnownAnswers) {
  struct Row {
    std::string input;
    std::uint16_t expected;
  };
  const Row rows[] = {{"", 0x0000}, {"123456789", 0xBB3D}, {"abc", 0x9738}, {"a", 0xE8C1}};
  for (const Row& row : rows) {
    EXPECT_EQ(tbp::crc16(bytesOf(row.input), row.input.size()), row.expected) << row.input;
  }
}

// CRC-16/ARC one bit at a time, exactly as defined, to check the table-driven version.
std::uint16_t referenceCrc16(const std::vector<std::uint8_t>& data) {
  std::uint16_t value = 0;
  for (std::uint8_t byte : data) {
    value ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001) : value >> 1;
    }
  }
  return value;
}

TEST(Crc16, MatchesBitwiseDefinition) {
  for (std::uint32_t seed = 0; seed < 20; ++seed) {
    const auto data = randomBytes(seed * 37, seed);
    ASSERT_EQ(tbp::crc16(data.data(), data.size()), referenceCrc16(data)) << "seed " << seed;
  }
}

// The sliced loop takes eight bytes at a time from any address: every short length at every
// alignment exercises the block step, the tail and their joins.
TEST(Crc16, EveryShortLengthAtEveryAlignment) {
  const auto buffer = randomBytes(64, 99);
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t length = 0; length <= 40; ++length) {
      const std::vector<std::uint8_t> slice(buffer.begin() + offset,
                                            buffer.begin() + offset + length);
      ASSERT_EQ(tbp::crc16(buffer.data() + offset, length), referenceCrc16(slice))
          << "offset " << offset << " length " << length;
    }
  }
}

TEST(Crc32, KnownAnswers) {
  struct Row {
    std::string input;
    std::uint32_t expected;
  };
  const Row rows[] = {
      {"", 0x00000000u},
      {"123456789", 0xCBF43926u},
      {"abc", 0x352441C2u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(tbp::crc32(bytesOf(row.input), row.input.size()), row.expected) << row.input;
  }
  std::vector<std::uint8_t> ramp;
  for (int repeat = 0; repeat < 4; ++repeat) {
    for (int i = 0; i < 256; ++i) ramp.push_back(static_cast<std::uint8_t>(i));
  }
  EXPECT_EQ(tbp::crc32(ramp.data(), ramp.size()), 0xB70B4C26u);
}

// Every length around the 16-byte stride, so each tail length meets the sliced loop.
TEST(Crc32, MatchesBitwiseDefinitionForEveryShortLength) {
  const auto data = randomBytes(300, 7);
  for (std::size_t length = 0; length <= data.size(); ++length) {
    const std::vector<std::uint8_t> prefix(data.begin(), data.begin() + length);
    ASSERT_EQ(tbp::crc32(data.data(), length), referenceCrc32(prefix)) << "length " << length;
  }
}

TEST(Crc32, ChainedCallsEqualOneCallAtEverySplit) {
  const auto data = randomBytes(97, 11);
  const std::uint32_t whole = tbp::crc32(data.data(), data.size());
  for (std::size_t split = 0; split <= data.size(); ++split) {
    const std::uint32_t first = tbp::crc32(data.data(), split);
    ASSERT_EQ(tbp::crc32(data.data() + split, data.size() - split, first), whole) << split;
  }
}

TEST(Crc32, UnalignedStartGivesSameValue) {
  const auto data = randomBytes(4096 + 8, 3);
  const std::vector<std::uint8_t> copy(data.begin() + 3, data.begin() + 3 + 4096);
  EXPECT_EQ(tbp::crc32(data.data() + 3, 4096), tbp::crc32(copy.data(), copy.size()));
  EXPECT_EQ(tbp::crc32(copy.data(), copy.size()), referenceCrc32(copy));
}

struct ShaRow {
  std::string input;
  const char* digest;
};

std::vector<ShaRow> shaRows() {
  return {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"The quick brown fox jumps over the lazy dog",
       "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
      {std::string(128, 'a'), "6836cf13bac400e9105071cd6af47084dfacad4e5e302c94bfed24e013afb73e"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
}

TEST(Sha256, KnownAnswers) {
  for (const ShaRow& row : shaRows()) {
    EXPECT_EQ(tbp::sha256Hex(bytesOf(row.input), row.input.size()), row.digest)
        << "length " << row.input.size();
  }
}

TEST(Sha256, HexIsSixtyFourLowerCaseDigits) {
  const auto data = randomBytes(33, 9);
  const std::string hex = tbp::sha256Hex(data.data(), data.size());
  ASSERT_EQ(hex.size(), 64u);
  for (char c : hex) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << hex;
}

// Long buffers fold sixteen bytes at a time with the carry-less multiply where the processor
// has it: lengths around each folding step (four blocks, one block, the tail) at several
// alignments must give the bit-by-bit values, and a running CRC-32 must carry across a fold.
TEST(Crc, FoldedLengthsMatchBitwiseDefinitions) {
  const auto buffer = randomBytes(5000, 21);
  const std::size_t lengths[] = {255, 256, 257, 271, 319, 320, 335, 383, 1000, 4096 + 13};
  for (std::size_t offset : {0, 1, 7}) {
    for (std::size_t length : lengths) {
      const std::vector<std::uint8_t> slice(buffer.begin() + offset,
                                            buffer.begin() + offset + length);
      ASSERT_EQ(tbp::crc16(slice.data(), length), referenceCrc16(slice)) << length;
      ASSERT_EQ(tbp::crc32(buffer.data() + offset, length), referenceCrc32(slice)) << length;
      const std::uint32_t first = tbp::crc32(slice.data(), 5);
      ASSERT_EQ(tbp::crc32(slice.data() + 5, length - 5, first), referenceCrc32(slice)) << length;
    }
  }
}

}  // namespace
