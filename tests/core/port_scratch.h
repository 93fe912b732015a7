#pragma once

// Small hand-made port images for the edge cases that need exactly one odd byte. Realistic
// ports come from the test kit's port builder.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/bytes.h"

namespace tbp::scratch {

inline constexpr std::size_t manifestAt = 0x7000;

inline void put16(Bytes& image, std::size_t at, std::uint16_t value) {
  image.at(at) = static_cast<std::uint8_t>(value);
  image.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

inline void put32(Bytes& image, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    image.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

inline std::uint32_t get32(const Bytes& image, std::size_t at) {
  return static_cast<std::uint32_t>(image.at(at)) |
         static_cast<std::uint32_t>(image.at(at + 1)) << 8 |
         static_cast<std::uint32_t>(image.at(at + 2)) << 16 |
         static_cast<std::uint32_t>(image.at(at + 3)) << 24;
}

// An image of `size` bytes of 0xFF with "ZUVU" at 0x7C00, a zero switch word and, when
// `manifest` is not empty, that text (NUL-terminated) at 0x7000 with the pointer to it.
inline Bytes port(std::size_t size, const std::string& manifest = {}) {
  Bytes image(size, 0xFF);
  image.at(0x7C00) = 'Z';
  image.at(0x7C01) = 'U';
  image.at(0x7C02) = 'V';
  image.at(0x7C03) = 'U';
  put32(image, 0x7C14, 0);
  put32(image, 0x7C26, 0);
  if (!manifest.empty()) {
    for (std::size_t i = 0; i < manifest.size(); ++i) {
      image.at(manifestAt + i) = static_cast<std::uint8_t>(manifest[i]);
    }
    image.at(manifestAt + manifest.size()) = 0;
    put32(image, 0x7C26, static_cast<std::uint32_t>(manifestAt));
  }
  return image;
}

// A manifest text of layout 1 with a config block at `config` (0: none) and other members.
inline std::string layoutV1(const std::string& tableMembers, const std::string& rootMembers = {}) {
  std::string text = "{\"port\": \"ZV1 test\", \"tables\": {\"layout\": 1";
  if (!tableMembers.empty()) text += ", " + tableMembers;
  text += "}";
  if (!rootMembers.empty()) text += ", " + rootMembers;
  return text + "}";
}

}  // namespace tbp::scratch
