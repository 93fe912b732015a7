#pragma once

#include <cstdint>
#include <string>

namespace tbp::testkit {

// The NES Game Genie code that writes value at address (0x8000..0xFFFF): six letters, or eight
// with a compare byte (compare 0..255; -1 for none).
std::string encodeGameGenie(std::uint16_t address, std::uint8_t value, int compare = -1);

}  // namespace tbp::testkit
