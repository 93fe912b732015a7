#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/bytes.h"
#include "port/port_image.h"

namespace tbp {

// One NES Game Genie code, decoded.
struct GameGenieCode {
  std::string code;  // separators removed, upper case
  bool ok = false;
  std::string error;  // empty when ok
  std::uint16_t address = 0;
  std::uint8_t value = 0;
  int compare = -1;  // byte that must be present, -1 for none
};

// What applying one code did to the port.
struct GameGenieResult : GameGenieCode {
  int patched = 0;  // bytes written
  int skipped = 0;  // copies where the port had changed the byte
  std::string report;
};

// Splits at whitespace, commas and semicolons; hyphens stay inside a piece.
std::vector<std::string> splitGameGenieCodes(const std::string& text);

GameGenieCode decodeGameGenie(const std::string& text);

// Writes the codes into every copy of the NES program in the image and fixes the checksum.
// Never throws: bad codes and unusable NES data are reported per code.
std::vector<GameGenieResult> applyGameGenie(PortImage& image, const Bytes& nes,
                                            const std::vector<std::string>& codes);

}  // namespace tbp
