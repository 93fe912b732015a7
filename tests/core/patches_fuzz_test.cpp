#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>

#include "formats/patches.h"
#include "patch_tools.h"

// Thousands of random and mutated patches: each must end in a result or a PatchError, and
// the sanitizers watch every access on the way.

namespace {

using patch_tools::BpsPatch;
using patch_tools::crcOf;
using patch_tools::randomBytes;
using tbp::Bytes;

constexpr int kRounds = 4000;

void refreshPatchCrc(Bytes& patch) {
  if (patch.size() < 4) return;
  patch.resize(patch.size() - 4);
  patch_tools::putLittleEndian32(patch, crcOf(patch));
}

Bytes mutatePatch(std::mt19937& random, Bytes patch) {
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int e = 0; e < edits && !patch.empty(); ++e) {
    const std::size_t at = random() % patch.size();
    switch (random() % 5) {
      case 0:
        patch[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
        break;
      case 1:
        patch[at] = static_cast<std::uint8_t>(random());
        break;
      case 2:
        patch.resize(at);
        break;
      case 3:
        patch.insert(patch.begin() + at, static_cast<std::uint8_t>(random()));
        break;
      default:
        patch.erase(patch.begin() + at);
        break;
    }
  }
  // Usually keep the patch CRC valid so the mutation reaches the later checks.
  if (random() % 4 != 0) refreshPatchCrc(patch);
  return patch;
}

// A header that matches the source, followed by random actions with random lengths and
// offsets, so the action checks themselves are exercised.
Bytes randomActionPatch(std::mt19937& random, const Bytes& source) {
  BpsPatch patch;
  patch.forSource(source);
  patch.targetSize = random() % 200;
  patch.targetCrc = static_cast<std::uint32_t>(random());
  const int actions = static_cast<int>(random() % 6);
  for (int a = 0; a < actions; ++a) {
    const std::uint64_t command = random() % 4;
    const std::uint64_t length = random() % 3 == 0 ? 1 + random() % 300 : 1 + random() % 12;
    patch.action(command, length);
    if (command == 1) patch.bytes(randomBytes(random, random() % (length + 4)));
    if (command >= 2) patch.offset(static_cast<std::int64_t>(random() % 64) - 32);
  }
  if (random() % 5 == 0) {
    patch.bytes(randomBytes(random, 1 + random() % 3));  // a cut-off number or two
  }
  return patch.build();
}

// Every message the BPS applier may give; the size message is matched by its start.
const std::set<std::string> kBpsMessages = {
    "not a BPS patch",
    "BPS: truncated number",
    "BPS: number out of range",
    "BPS: bad metadata size",
    "BPS: target over 64 MB (not a ROM patch)",
    "BPS: the patch file is damaged (patch CRC mismatch)",
    "BPS: wrong source size",
    "BPS: this is not the ROM the patch was made for (source CRC mismatch)",
    "BPS: writes past the target size",
    "BPS: SourceRead past the source",
    "BPS: truncated TargetRead",
    "BPS: SourceCopy outside the source",
    "BPS: TargetCopy outside the target",
    "BPS: TargetCopy reads ahead",
    "BPS: result does not match (target CRC mismatch)",
};

const std::set<std::string> kIpsMessages = {
    "not an IPS patch",   "IPS: truncated record",   "IPS: truncated data",
    "IPS: truncated RLE", "IPS: truncated (no EOF)",
};

std::string bpsMessageKind(const std::string& what) {
  const std::string sizePrefix = "BPS: wrong source size (expected ";
  return what.rfind(sizePrefix, 0) == 0 ? "BPS: wrong source size" : what;
}

void checkBps(const Bytes& source, const Bytes& patch, std::set<std::string>& seen) {
  try {
    const Bytes target = tbp::applyBps(source, patch);
    const tbp::BpsHeader header = tbp::readBpsHeader(patch);
    ASSERT_EQ(target.size(), header.targetSize);
    ASSERT_EQ(crcOf(target), header.targetCrc);
    seen.insert("ok");
  } catch (const tbp::PatchError& error) {
    const std::string kind = bpsMessageKind(error.what());
    ASSERT_TRUE(kBpsMessages.count(kind)) << "unexpected message: " << error.what();
    seen.insert(kind);
  }
}

TEST(PatchesFuzz, MutatedAndRandomBpsPatches) {
  std::mt19937 random(99);
  std::set<std::string> seen;
  for (int round = 0; round < kRounds; ++round) {
    const Bytes source = randomBytes(random, random() % 600);
    Bytes target = source;
    for (std::size_t i = 0; i < target.size(); i += 1 + random() % 50) target[i] ^= 0x33;
    target.resize(target.size() + random() % 40, static_cast<std::uint8_t>(random()));
    const Bytes valid = tbp::createBps(source, target, "fuzz");
    checkBps(source, valid, seen);
    checkBps(source, mutatePatch(random, valid), seen);
    checkBps(source, randomActionPatch(random, source), seen);
    // The same valid patch against a wrong source: one byte changed, or one byte more.
    Bytes otherSource = source;
    if (round % 2 == 0 || otherSource.empty()) {
      otherSource.push_back(0);
    } else {
      otherSource[random() % otherSource.size()] ^= 0x40;
    }
    checkBps(otherSource, valid, seen);
    Bytes garbage = patch_tools::text("BPS1");
    const Bytes tail = randomBytes(random, random() % 40);
    garbage.insert(garbage.end(), tail.begin(), tail.end());
    refreshPatchCrc(garbage);
    checkBps(source, garbage, seen);
  }
  // The corpus must actually reach the deep checks, not stop at the first one.
  for (const char* message :
       {"ok", "BPS: truncated number", "BPS: writes past the target size",
        "BPS: SourceRead past the source", "BPS: truncated TargetRead", "BPS: wrong source size",
        "BPS: this is not the ROM the patch was made for (source CRC mismatch)",
        "BPS: bad metadata size", "BPS: SourceCopy outside the source",
        "BPS: TargetCopy outside the target", "BPS: result does not match (target CRC mismatch)",
        "BPS: the patch file is damaged (patch CRC mismatch)", "not a BPS patch"}) {
    EXPECT_TRUE(seen.count(message)) << message;
  }
}

Bytes randomIps(std::mt19937& random) {
  Bytes patch = patch_tools::text("PATCH");
  const int records = static_cast<int>(random() % 5);
  for (int r = 0; r < records; ++r) {
    const std::uint32_t offset = random() % 60 == 0 ? random() & 0xFFFFFF : random() % 400;
    const std::uint32_t length = random() % 4 == 0 ? 0 : random() % 40;
    for (int shift : {16, 8, 0}) patch.push_back(static_cast<std::uint8_t>(offset >> shift));
    patch.push_back(static_cast<std::uint8_t>(length >> 8));
    patch.push_back(static_cast<std::uint8_t>(length));
    if (length == 0) {
      const std::uint32_t count = random() % 3 == 0 ? random() & 0xFFFF : random() % 64;
      patch.push_back(static_cast<std::uint8_t>(count >> 8));
      patch.push_back(static_cast<std::uint8_t>(count));
      patch.push_back(static_cast<std::uint8_t>(random()));
    } else {
      const Bytes data = randomBytes(random, length);
      patch.insert(patch.end(), data.begin(), data.end());
    }
  }
  patch.insert(patch.end(), {'E', 'O', 'F'});
  if (random() % 3 == 0) {
    for (int i = 0; i < 3; ++i) patch.push_back(static_cast<std::uint8_t>(random() % 4));
  }
  if (random() % 2 == 0) patch = mutatePatch(random, patch);
  return patch;
}

TEST(PatchesFuzz, MutatedAndRandomIpsPatches) {
  std::mt19937 random(7);
  std::set<std::string> seen;
  for (int round = 0; round < kRounds; ++round) {
    const Bytes source = randomBytes(random, random() % 500);
    const Bytes patch = randomIps(random);
    try {
      const Bytes out = tbp::applyIps(source, patch);
      ASSERT_LE(out.size(), std::max<std::size_t>(source.size(), 0xFFFFFF + 0xFFFF));
      seen.insert("ok");
    } catch (const tbp::PatchError& error) {
      ASSERT_TRUE(kIpsMessages.count(error.what())) << "unexpected message: " << error.what();
      seen.insert(error.what());
    }
  }
  for (const char* message : {"ok", "not an IPS patch", "IPS: truncated record",
                              "IPS: truncated data", "IPS: truncated (no EOF)"}) {
    EXPECT_TRUE(seen.count(message)) << message;
  }
}

}  // namespace
