#pragma once

#include <cstddef>

// Fixed places in a port image (file offsets, LoROM).
namespace tbp::place {

inline constexpr std::size_t firstBank = 0x8000;
inline constexpr std::size_t manifestBlock = 0x7C00;
inline constexpr std::size_t buttonMap = 0x7C08;
inline constexpr int buttonCount = 12;
inline constexpr std::size_t switchWord = 0x7C14;
inline constexpr std::size_t freeSpaceStart = 0x7C18;
inline constexpr std::size_t freeSpaceLength = 0x7C1C;
inline constexpr std::size_t manifestPointer = 0x7C26;
inline constexpr std::size_t nesDigest = 0x7C50;
inline constexpr std::size_t nesDigestSize = 32;
inline constexpr std::size_t expansionRam = 0x7FBD;
inline constexpr std::size_t loRomHeader = 0x7FC0;
inline constexpr std::size_t hiRomHeader = 0xFFC0;
inline constexpr std::size_t headerSize = 0x20;
inline constexpr std::size_t mapMode = 0x7FD5;
inline constexpr std::size_t cartType = 0x7FD6;
inline constexpr std::size_t romSizeCode = 0x7FD7;
inline constexpr std::size_t checksumComplement = 0x7FDC;
inline constexpr std::size_t checksum = 0x7FDE;

}  // namespace tbp::place
