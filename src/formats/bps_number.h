#pragma once

#include <cstdint>

#include "formats/byte_reader.h"

namespace tbp {

// Reads one BPS variable-length number. Throws PatchError "BPS: truncated number" when the
// reader ends inside it and "BPS: number out of range" when its value does not fit in 64 bits.
std::uint64_t readBpsNumber(ByteReader& reader);

// A signed relative offset as BPS stores it: bit 0 is the sign (1 = negative), the rest the
// magnitude. Kept apart so each caller can bound it against its own buffer.
struct BpsOffset {
  bool negative = false;
  std::uint64_t magnitude = 0;
};
BpsOffset readBpsOffset(ByteReader& reader);

}  // namespace tbp
