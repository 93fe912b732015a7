// UPS patches: XOR hunks between a source and a target, applicable in either direction because
// XOR undoes itself; the footer's CRCs tell which way the given file goes.
#include <algorithm>
#include <cstring>

#include "formats/bps_number.h"
#include "formats/checksums.h"
#include "formats/little_endian.h"
#include "formats/patches.h"

namespace tbp {
namespace {

constexpr std::size_t kUpsMagicSize = 4;
constexpr std::size_t kFooterSize = 12;
constexpr std::uint64_t kLargestFile = 0x4000000;  // 64 MB, as for BPS: no ROM is larger

// UPS numbers are encoded as BPS numbers; only the messages name the format.
std::uint64_t readNumber(ByteReader& reader) {
  try {
    return readBpsNumber(reader);
  } catch (const PatchError& error) {
    const bool truncated = std::strstr(error.what(), "truncated") != nullptr;
    throw PatchError(truncated ? "UPS: truncated number" : "UPS: number out of range");
  }
}

ByteReader bodyReader(const Bytes& patch) {
  return ByteReader(patch.data() + kUpsMagicSize, patch.size() - kUpsMagicSize - kFooterSize);
}

std::uint32_t crcOf(const Bytes& bytes) { return crc32(bytes.data(), bytes.size()); }

// XORs the hunks into out, which already holds the input resized to the output size. Bytes at
// or past the output size are not written: they belong only to the larger of the two files.
void applyHunks(ByteReader& body, const Bytes& input, Bytes& out, std::uint64_t largest) {
  std::uint64_t offset = 0;
  while (!body.atEnd()) {
    const std::uint64_t skip = readNumber(body);
    if (skip > largest - std::min(offset, largest)) throw PatchError("UPS: hunk past the end");
    offset += skip;
    for (;;) {
      std::uint8_t x = 0;
      if (!body.readByte(x)) throw PatchError("UPS: truncated hunk");
      if (x == 0) break;
      if (offset >= largest) throw PatchError("UPS: hunk past the end");
      if (offset < out.size()) {
        const std::uint8_t before = offset < input.size() ? input[std::size_t(offset)] : 0;
        out[std::size_t(offset)] = before ^ x;
      }
      ++offset;
    }
    ++offset;  // the terminating zero stands for one unchanged byte
  }
}

}  // namespace

bool isUpsPatch(const Bytes& patch) {
  return patch.size() >= kUpsMagicSize && std::memcmp(patch.data(), "UPS1", kUpsMagicSize) == 0;
}

UpsHeader readUpsHeader(const Bytes& patch) {
  if (patch.size() < kUpsMagicSize + kFooterSize + 2 || !isUpsPatch(patch))
    throw PatchError("not a UPS patch");
  ByteReader body = bodyReader(patch);
  UpsHeader header;
  header.sourceSize = readNumber(body);
  header.targetSize = readNumber(body);
  const std::uint8_t* footer = patch.data() + patch.size() - kFooterSize;
  header.sourceCrc = loadLittleEndian32(footer);
  header.targetCrc = loadLittleEndian32(footer + 4);
  if (header.sourceSize > kLargestFile || header.targetSize > kLargestFile)
    throw PatchError("UPS: file over 64 MB (not a ROM patch)");
  return header;
}

UpsResult applyUps(const Bytes& input, const Bytes& patch) {
  const UpsHeader header = readUpsHeader(patch);
  const std::size_t crcEnd = patch.size() - 4;
  if (crc32(patch.data(), crcEnd) != loadLittleEndian32(patch.data() + crcEnd))
    throw PatchError("UPS: the patch file is damaged (patch CRC mismatch)");
  const std::uint32_t inputCrc = crcOf(input);
  UpsResult result;
  if (input.size() == header.sourceSize && inputCrc == header.sourceCrc) {
    result.reversed = false;
  } else if (input.size() == header.targetSize && inputCrc == header.targetCrc) {
    result.reversed = true;  // the target given: the patch takes it back to the source
  } else {
    throw PatchError("UPS: this is not the ROM the patch was made for (CRC mismatch)");
  }
  const std::uint64_t outSize = result.reversed ? header.sourceSize : header.targetSize;
  const std::uint32_t outCrc = result.reversed ? header.sourceCrc : header.targetCrc;
  result.bytes = input;
  result.bytes.resize(std::size_t(outSize), 0);
  ByteReader body = bodyReader(patch);
  readNumber(body);
  readNumber(body);
  applyHunks(body, input, result.bytes, std::max(header.sourceSize, header.targetSize));
  if (crcOf(result.bytes) != outCrc)
    throw PatchError("UPS: result does not match (target CRC mismatch)");
  return result;
}

Bytes createUps(const Bytes& source, const Bytes& target) {
  Bytes patch{'U', 'P', 'S', '1'};
  writeBpsNumber(patch, source.size());
  writeBpsNumber(patch, target.size());
  const std::size_t largest = std::max(source.size(), target.size());
  const auto xorAt = [&](std::size_t i) -> std::uint8_t {
    const std::uint8_t a = i < source.size() ? source[i] : 0;
    const std::uint8_t b = i < target.size() ? target[i] : 0;
    return a ^ b;
  };
  std::size_t position = 0;  // the first byte no hunk has covered yet
  for (std::size_t i = 0; i < largest;) {
    if (xorAt(i) == 0) {
      ++i;
      continue;
    }
    writeBpsNumber(patch, i - position);
    for (; i < largest && xorAt(i) != 0; ++i) patch.push_back(xorAt(i));
    patch.push_back(0);
    position = ++i;
  }
  appendLittleEndian32(patch, crcOf(source));
  appendLittleEndian32(patch, crcOf(target));
  appendLittleEndian32(patch, crc32(patch.data(), patch.size()));
  return patch;
}

}  // namespace tbp
