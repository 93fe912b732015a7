#include "formats/checksums.h"

namespace tbp {

std::uint16_t crc16(const std::uint8_t* data, std::size_t length) {
  std::uint16_t value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    value ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001) : value >> 1;
    }
  }
  return value;
}

}  // namespace tbp
