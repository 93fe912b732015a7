#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tbp {

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR.
std::uint16_t crc16(const std::uint8_t* data, std::size_t length);

// CRC-32 of IEEE 802.3 / zlib. Pass the previous result to continue a running value:
// crc32(b, crc32(a)) is the CRC32 of a followed by b.
std::uint32_t crc32(const std::uint8_t* data, std::size_t length, std::uint32_t previous = 0);

// SHA-256 as 64 lower-case hexadecimal digits.
std::string sha256Hex(const std::uint8_t* data, std::size_t length);

}  // namespace tbp
