#pragma once

#include <cstddef>
#include <string>

#include "formats/bytes.h"

namespace tbp {

// The apply-patch rule: a file longer than 3 bytes that starts with "BPS1" is a BPS patch; every
// other file goes to the IPS engine (which names an unknown file "not an IPS patch").
bool isBpsPatch(const Bytes& patch);

struct PatchedRom {
  Bytes bytes;
  bool byBps = false;  // the patch was applied as BPS
};
// Applies a BPS or IPS patch to rom by the rule above. Throws the engine's PatchError.
PatchedRom applyAnyPatch(const Bytes& rom, const Bytes& patch);

// The extension proposed for a patched ROM: ".sfc" for a port or anything of 256 KB or more,
// ".bin" for smaller results.
std::string patchedRomExtension(bool isPort, std::size_t size);

}  // namespace tbp
