#include "build/build_port.h"

#include <stdexcept>

#include "build/files.h"
#include "formats/patches.h"

namespace tbp {

Bytes buildPort(const GameDatabase& database, const NesRom& nes) {
  if (nes.game == nullptr) throw std::invalid_argument("no game was recognised for this NES ROM");
  // The patch engine checks the patch, the source size and CRC32 (so only the exact expected
  // dump builds), every copy against the bounds and finally the target CRC32.
  const Bytes patch = readFile(database.basePatchPath(*nes.game), FileRole::Patch);
  return applyBps(nes.rom, patch);
}

}  // namespace tbp
