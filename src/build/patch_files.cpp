#include "build/patch_files.h"

#include <stdexcept>
#include <utility>

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

PatchedRom applyAnyPatch(Bytes rom, const Bytes& patch) {
  if (isBpsPatch(patch)) return {applyBps(rom, patch), PatchKind::Bps};
  if (isUpsPatch(patch)) {
    UpsResult result = applyUps(rom, patch);
    return {std::move(result.bytes), result.reversed ? PatchKind::UpsReversed : PatchKind::Ups};
  }
  return {applyIps(std::move(rom), patch), PatchKind::Ips};
}

std::string patchExtension(PatchFormat format) {
  switch (format) {
    case PatchFormat::Ups: return ".ups";
    case PatchFormat::Ips: return ".ips";
    case PatchFormat::Bps: break;
  }
  return ".bps";
}

Bytes createProvenPatch(PatchFormat format, const Bytes& source, const Bytes& target,
                        const std::string& metadata) {
  Bytes patch;
  Bytes result;
  switch (format) {
    case PatchFormat::Bps:
      patch = createBps(source, target, metadata);
      result = applyBps(source, patch);
      break;
    case PatchFormat::Ups:
      patch = createUps(source, target);
      result = applyUps(source, patch).bytes;
      break;
    case PatchFormat::Ips:
      patch = createIps(source, target);
      result = applyIps(source, patch);
      break;
  }
  if (result != target) throw std::runtime_error("internal error: the patch did not round-trip");
  return patch;
}

std::string patchedRomExtension(bool isPort, std::size_t size) {
  return isPort || size >= kSnesProposalSize ? ".sfc" : ".bin";
}

}  // namespace tbp
