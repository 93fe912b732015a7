// UPS patches both ways and created IPS and UPS patches, proven by applying them back.
#include <gtest/gtest.h>

#include "build/patch_files.h"
#include "formats/checksums.h"
#include "formats/little_endian.h"
#include "formats/patches.h"

using tbp::Bytes;

namespace {

Bytes noise(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = std::uint8_t(state >> 16);
  }
  return bytes;
}

// target = source with a few stretches changed, grown or cut to the given size.
Bytes edited(const Bytes& source, std::size_t size, std::uint32_t seed) {
  Bytes target = source;
  target.resize(size, 0);
  const Bytes changes = noise(64, seed);
  for (std::size_t i = 0; i < changes.size() && !target.empty(); ++i)
    target[(std::size_t(changes[i]) * 977 + i * 131) % target.size()] ^= changes[i] | 1;
  if (size > source.size()) {
    const Bytes tail = noise(size - source.size(), seed + 1);
    std::copy(tail.begin(), tail.end(), target.begin() + std::ptrdiff_t(source.size()));
  }
  return target;
}

std::string refusal(const Bytes& input, const Bytes& patch) {
  try {
    tbp::applyUps(input, patch);
  } catch (const tbp::PatchError& error) {
    return error.what();
  }
  return "applied";
}

}  // namespace

TEST(Ups, AppliesBothWaysForGrowingShrinkingAndEqualSizes) {
  const std::size_t sizes[][2] = {{4096, 4096}, {4096, 6000}, {6000, 4096}, {1, 0}, {0, 300}};
  for (const auto& [from, to] : sizes) {
    const Bytes source = noise(from, std::uint32_t(from));
    const Bytes target = edited(source, to, std::uint32_t(to));
    const Bytes patch = tbp::createUps(source, target);
    const tbp::UpsResult forward = tbp::applyUps(source, patch);
    EXPECT_FALSE(forward.reversed);
    EXPECT_TRUE(forward.bytes == target) << from << " -> " << to;
    const tbp::UpsResult backward = tbp::applyUps(target, patch);
    EXPECT_TRUE(backward.reversed || source == target);
    EXPECT_TRUE(backward.bytes == source) << to << " -> " << from;
  }
}

// The layout written out by hand: magic, both sizes, one hunk (skip 2, XOR, end), three CRCs.
TEST(Ups, WritesTheFormatByteForByte) {
  const Bytes source{'A', 'B', 'C', 'D'};
  const Bytes target{'A', 'B', 'X', 'D', 'E'};
  Bytes expected{'U', 'P', 'S', '1', 0x84, 0x85, 0x82, 'C' ^ 'X', 0x00, 0x80, 'E', 0x00};
  tbp::appendLittleEndian32(expected, tbp::crc32(source.data(), source.size()));
  tbp::appendLittleEndian32(expected, tbp::crc32(target.data(), target.size()));
  tbp::appendLittleEndian32(expected, tbp::crc32(expected.data(), expected.size()));
  EXPECT_TRUE(tbp::createUps(source, target) == expected);
  EXPECT_TRUE(tbp::applyUps(source, expected).bytes == target);
}

TEST(Ups, RefusesTheWrongRomAndDamagedPatches) {
  const Bytes source = noise(2048, 3);
  const Bytes target = edited(source, 2048, 4);
  const Bytes patch = tbp::createUps(source, target);
  Bytes other = source;
  other[100] ^= 1;
  EXPECT_EQ(refusal(other, patch), "UPS: this is not the ROM the patch was made for (CRC mismatch)");
  Bytes damaged = patch;
  damaged[8] ^= 0x40;
  EXPECT_EQ(refusal(source, damaged), "UPS: the patch file is damaged (patch CRC mismatch)");
  EXPECT_EQ(refusal(source, Bytes{'U', 'P', 'S', '1'}), "not a UPS patch");
  // A hunk that reaches past both files, with a valid patch CRC, is refused before writing.
  Bytes far{'U', 'P', 'S', '1', 0x81, 0x81, 0x82, 0x55, 0x00};
  tbp::appendLittleEndian32(far, tbp::crc32(source.data(), 1));
  tbp::appendLittleEndian32(far, tbp::crc32(source.data(), 1));
  tbp::appendLittleEndian32(far, tbp::crc32(far.data(), far.size()));
  EXPECT_EQ(refusal(Bytes(source.begin(), source.begin() + 1), far), "UPS: hunk past the end");
}

TEST(Ips, CreatedPatchesApplyBackOverEveryAwkwardPlace) {
  Bytes big = noise(0x460000, 9);
  const struct {
    const char* name;
    Bytes source;
    Bytes target;
  } cases[] = {
      {"grown", noise(5000, 1), edited(noise(5000, 1), 9000, 2)},
      {"cut", noise(9000, 1), edited(noise(9000, 1), 5000, 2)},
      {"first byte", Bytes{1, 2, 3}, Bytes{9, 2, 3}},
      {"grown by zeros", Bytes{1, 2, 3}, Bytes{1, 2, 3, 0, 0, 0}},
      {"long change", Bytes(200000, 0), Bytes(200000, 7)},
      {"at EOF offset", big, [&] {
         Bytes target = big;
         target[0x454F46] ^= 0xFF;
         target[0x454F47] ^= 0xFF;
         return target;
       }()},
  };
  for (const auto& [name, source, target] : cases) {
    const Bytes patch = tbp::createIps(source, target);
    // A record starting at the offset that spells "EOF" would end the patch early.
    EXPECT_TRUE(tbp::applyIps(source, patch) == target) << name;
  }
  EXPECT_THROW(tbp::createIps(Bytes{}, Bytes(0x1000001, 1)), tbp::PatchError);
}

TEST(PatchFiles, ProvenPatchesOfEachFormatApplyThroughTheWizardsRule) {
  const Bytes source = noise(40000, 5);
  const Bytes target = edited(source, 41000, 6);
  for (const tbp::PatchFormat format :
       {tbp::PatchFormat::Bps, tbp::PatchFormat::Ups, tbp::PatchFormat::Ips}) {
    const Bytes patch = tbp::createProvenPatch(format, source, target, "");
    const tbp::PatchedRom patched = tbp::applyAnyPatch(source, patch);
    EXPECT_TRUE(patched.bytes == target) << tbp::patchExtension(format);
    EXPECT_EQ(patched.fromSource(), format != tbp::PatchFormat::Ips);
  }
  const tbp::PatchedRom undone =
      tbp::applyAnyPatch(target, tbp::createProvenPatch(tbp::PatchFormat::Ups, source, target, ""));
  EXPECT_EQ(undone.kind, tbp::PatchKind::UpsReversed);
  EXPECT_TRUE(undone.bytes == source);
}
