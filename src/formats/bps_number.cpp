#include "formats/bps_number.h"

#include <limits>

#include "formats/patches.h"

namespace tbp {

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

[[noreturn]] void outOfRange() { throw PatchError("BPS: number out of range"); }

}  // namespace

// value = sum over the bytes of (low 7 bits) * shift, plus each shift after the first: the
// BPS offset that gives every value exactly one encoding. Every step is checked, so an
// over-long encoding is refused rather than wrapped around.
std::uint64_t readBpsNumber(ByteReader& reader) {
  std::uint64_t value = 0;
  std::uint64_t shift = 1;
  for (;;) {
    std::uint8_t byte = 0;
    if (!reader.readByte(byte)) throw PatchError("BPS: truncated number");
    const std::uint64_t group = byte & 0x7Fu;
    if (group != 0 && (group > kMax / shift || group * shift > kMax - value)) outOfRange();
    value += group * shift;
    if (byte & 0x80u) return value;
    if (shift > (kMax >> 7)) outOfRange();
    shift <<= 7;
    if (shift > kMax - value) outOfRange();
    value += shift;
  }
}

BpsOffset readBpsOffset(ByteReader& reader) {
  const std::uint64_t raw = readBpsNumber(reader);
  return {(raw & 1u) != 0, raw >> 1};
}

void writeBpsNumber(Bytes& out, std::uint64_t value) {
  for (;;) {
    const std::uint8_t group = static_cast<std::uint8_t>(value & 0x7Fu);
    value >>= 7;
    if (value == 0) {
      out.push_back(group | 0x80u);
      return;
    }
    out.push_back(group);
    value -= 1;
  }
}

}  // namespace tbp
