#pragma once

#include <cstddef>
#include <string>

#include "formats/bytes.h"

namespace tbp {

// The apply-patch rule: a file longer than 3 bytes that starts with "BPS1" is a BPS patch; every
// other file goes to the IPS engine (which names an unknown file "not an IPS patch").
bool isBpsPatch(const Bytes& patch);

// A file starting with "UPS1" is a UPS patch, applied either way round.
enum class PatchKind { Bps, Ups, UpsReversed, Ips };

struct PatchedRom {
  Bytes bytes;
  PatchKind kind = PatchKind::Ips;
  // Whether the ROM was the patch's source, so that the result was built from it.
  bool fromSource() const { return kind == PatchKind::Bps || kind == PatchKind::Ups; }
};
// Applies a BPS, UPS or IPS patch to rom by the rules above. Throws the engine's PatchError.
PatchedRom applyAnyPatch(Bytes rom, const Bytes& patch);

enum class PatchFormat { Bps, Ups, Ips };
// ".bps", ".ups", ".ips".
std::string patchExtension(PatchFormat format);
// A patch from source to target in the format, applied back to source before it is returned:
// "internal error: the patch did not round-trip" when that does not give target. Throws the
// engine's refusal (IPS cannot reach past 16 MB).
Bytes createProvenPatch(PatchFormat format, const Bytes& source, const Bytes& target,
                        const std::string& metadata);

// The extension proposed for a patched ROM: ".sfc" for a port or anything of 256 KB or more,
// ".bin" for smaller results.
std::string patchedRomExtension(bool isPort, std::size_t size);

}  // namespace tbp
