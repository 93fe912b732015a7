#pragma once

#include <string>
#include <vector>

#include "formats/bytes.h"
#include "port/game_genie.h"
#include "port/port_image.h"

namespace tbp {

// The ROM size a save writes: the four choices of the Output page.
enum class RomSizeChoice { Smallest, AsItIs, TwoMegabytes, FourMegabytes };

// The image a save writes: a copy of port with the Game Genie codes written into its copies of
// the NES program (when there are codes and NES bytes to match them against), the chosen ROM
// size set and the checksum fixed. port itself never changes. Throws the size refusals of
// PortImage::setRomSize. When codeReports is given, it receives what each code did.
PortImage makeFinalImage(const PortImage& port, const std::vector<std::string>& codes,
                         const Bytes& codeNes, RomSizeChoice size,
                         std::vector<GameGenieResult>* codeReports = nullptr);

}  // namespace tbp
