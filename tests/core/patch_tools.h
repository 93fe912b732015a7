#pragma once

// Helpers shared by the patch tests: crafting BPS patches byte by byte and listing the
// actions of a patch with a decoder written independently of the engine.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "formats/bytes.h"
#include "formats/checksums.h"
#include "formats/patches.h"

namespace patch_tools {

inline tbp::Bytes text(const std::string& s) { return tbp::Bytes(s.begin(), s.end()); }

inline std::uint32_t crcOf(const tbp::Bytes& data) { return tbp::crc32(data.data(), data.size()); }

inline void putLittleEndian32(tbp::Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Assembles "BPS1", the header numbers, the metadata, raw action bytes and the footer.
// The patch CRC is correct unless damagePatchCrc is set.
struct BpsPatch {
  std::uint64_t sourceSize = 0;
  std::uint64_t targetSize = 0;
  std::string metadata;
  tbp::Bytes actions;
  std::uint32_t sourceCrc = 0;
  std::uint32_t targetCrc = 0;
  bool damagePatchCrc = false;

  BpsPatch& action(std::uint64_t command, std::uint64_t length) {
    tbp::writeBpsNumber(actions, ((length - 1) << 2) | command);
    return *this;
  }
  BpsPatch& offset(std::int64_t delta) {
    const std::uint64_t magnitude =
        delta < 0 ? static_cast<std::uint64_t>(-delta) : static_cast<std::uint64_t>(delta);
    tbp::writeBpsNumber(actions, (magnitude << 1) | (delta < 0 ? 1u : 0u));
    return *this;
  }
  BpsPatch& bytes(const tbp::Bytes& data) {
    actions.insert(actions.end(), data.begin(), data.end());
    return *this;
  }
  BpsPatch& forSource(const tbp::Bytes& source) {
    sourceSize = source.size();
    sourceCrc = crcOf(source);
    return *this;
  }
  BpsPatch& forTarget(const tbp::Bytes& target) {
    targetSize = target.size();
    targetCrc = crcOf(target);
    return *this;
  }

  tbp::Bytes build() const {
    tbp::Bytes out = text("BPS1");
    tbp::writeBpsNumber(out, sourceSize);
    tbp::writeBpsNumber(out, targetSize);
    tbp::writeBpsNumber(out, metadata.size());
    out.insert(out.end(), metadata.begin(), metadata.end());
    out.insert(out.end(), actions.begin(), actions.end());
    putLittleEndian32(out, sourceCrc);
    putLittleEndian32(out, targetCrc);
    putLittleEndian32(out, crcOf(out) ^ (damagePatchCrc ? 1u : 0u));
    return out;
  }
};

struct Action {
  int command = 0;
  std::uint64_t length = 0;
  std::int64_t offset = 0;  // SourceCopy and TargetCopy
  tbp::Bytes literal;       // TargetRead

  bool operator==(const Action&) const = default;
};

// Decodes a well-formed patch the simple way (no checks beyond what the tests need).
struct DecodedPatch {
  std::uint64_t sourceSize = 0;
  std::uint64_t targetSize = 0;
  std::string metadata;
  std::vector<Action> actions;
};

inline DecodedPatch decode(const tbp::Bytes& patch) {
  std::size_t pos = 4;
  const std::size_t end = patch.size() - 12;
  auto number = [&] {
    std::uint64_t value = 0, shift = 1;
    for (;;) {
      const std::uint8_t b = patch.at(pos++);
      value += (b & 0x7F) * shift;
      if (b & 0x80) return value;
      shift <<= 7;
      value += shift;
    }
  };
  DecodedPatch decoded;
  decoded.sourceSize = number();
  decoded.targetSize = number();
  const std::uint64_t metadataSize = number();
  decoded.metadata.assign(patch.begin() + pos, patch.begin() + pos + metadataSize);
  pos += metadataSize;
  while (pos < end) {
    const std::uint64_t word = number();
    Action action;
    action.command = static_cast<int>(word & 3);
    action.length = (word >> 2) + 1;
    if (action.command == 1) {
      action.literal.assign(patch.begin() + pos, patch.begin() + pos + action.length);
      pos += action.length;
    } else if (action.command >= 2) {
      const std::uint64_t raw = number();
      action.offset =
          (raw & 1) ? -static_cast<std::int64_t>(raw >> 1) : static_cast<std::int64_t>(raw >> 1);
    }
    decoded.actions.push_back(action);
  }
  return decoded;
}

inline tbp::Bytes randomBytes(std::mt19937& random, std::size_t length) {
  tbp::Bytes data(length);
  for (auto& byte : data) byte = static_cast<std::uint8_t>(random());
  return data;
}

}  // namespace patch_tools
