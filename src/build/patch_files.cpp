#include "build/patch_files.h"

#include "formats/patches.h"

namespace tbp {
namespace {

// A result this large is an SNES ROM even without a manifest.
constexpr std::size_t kSnesProposalSize = 0x40000;

}  // namespace

bool isBpsPatch(const Bytes& patch) {
  return patch.size() > 3 && patch[0] == 'B' && patch[1] == 'P' && patch[2] == 'S' &&
         patch[3] == '1';
}

PatchedRom applyAnyPatch(const Bytes& rom, const Bytes& patch) {
  if (isBpsPatch(patch)) return {applyBps(rom, patch), true};
  return {applyIps(rom, patch), false};
}

std::string patchedRomExtension(bool isPort, std::size_t size) {
  return isPort || size >= kSnesProposalSize ? ".sfc" : ".bin";
}

}  // namespace tbp
