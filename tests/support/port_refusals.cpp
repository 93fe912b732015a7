#include "support/port_refusals.h"

namespace tbp::testkit {

const std::set<std::string>& portRefusals() {
  static const std::set<std::string> messages = {
      "FastROM can't be on with a SuperFX chip (SlowROM boards)",
      "not a valid SNES ROM size (use min, 2m or 4m)",
      "that size would cut off content",
      "LoROM tops out at 4 MB",
      "SuperFX (GSU-1) reaches 1 MB of ROM at most",
      "SuperFX 2 (GSU-2) reaches 2 MB of ROM at most",
      "SuperFX 2 Rev 1 (GSU-2-SP1) reaches 2 MB of ROM at most",
      "unknown chip",
      "this port's config block is unknown: the chip can't be set",
      "SuperFX (GSU-1): the game needs more than the chip's ROM reach",
      "SuperFX 2 (GSU-2): the game needs more than the chip's ROM reach",
      "SuperFX 2 Rev 1 (GSU-2-SP1): the game needs more than the chip's ROM reach",
      "SA-1: the game needs more than the chip's ROM reach",
      "splash sound slot must be 1-3",
      "this port has no symbol page A",
      "this port has no symbol page B",
  };
  return messages;
}

}  // namespace tbp::testkit
