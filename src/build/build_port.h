#pragma once

#include "build/game_database.h"
#include "build/nes_rom.h"
#include "formats/bytes.h"

namespace tbp {

// The default build of a recognised game's port: its base patch applied to nes.rom. Throws the
// file reader's errors for the base patch and the patch engine's PatchError unchanged; a NesRom
// without a game is refused with std::invalid_argument.
Bytes buildPort(const GameDatabase& database, const NesRom& nes);

}  // namespace tbp
