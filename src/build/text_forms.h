#pragma once

#include <cstdint>
#include <string>

#include "build/nes_rom.h"
#include "formats/bytes.h"

// The text forms of sizes, numbers and headers that the information page and the command-line
// tool both print, so that the two always agree.
namespace tbp {

// "40 KB (40,960 bytes)" for a whole number of kilobytes, else "40,976 bytes".
std::string sizeText(std::uint64_t size);
// value in upper-case hexadecimal, zero-padded to digits (never cut).
std::string hexText(std::uint64_t value, int digits);

// The cartridge an iNES header describes ("iNES, mapper 0, PRG 32 KB, CHR 8 KB, vertical
// mirroring"), or "none (headerless)". A ripper tag is not mentioned here: see
// kRipperTagRemark.
std::string describeInesHeader(const InesHeader& header);
inline constexpr const char* kRipperTagRemark =
    "bytes 7-15 hold a ripper tag (old header): ignored, as emulators do";

// Header bytes as two-digit upper-case hex separated by blanks, and as characters with every
// byte outside 0x20..0x7E shown as ".".
std::string headerHexText(const Bytes& header);
std::string headerCharacters(const Bytes& header);

// "None", or the chip's name, clock and the reach of its coprocessor header.
std::string chipDescription(int chip);

}  // namespace tbp
