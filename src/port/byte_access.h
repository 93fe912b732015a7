#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "formats/bytes.h"

// Range-checked little-endian access to an image. Every offset reaching these helpers may come
// from the image itself, so each access compares against the bytes remaining, never a sum that
// could overflow.
namespace tbp::detail {

// True when `count` bytes lie at `offset` inside `data`.
inline bool fits(const Bytes& data, std::size_t offset, std::size_t count) {
  return offset <= data.size() && count <= data.size() - offset;
}

inline void requireFits(const Bytes& data, std::size_t offset, std::size_t count) {
  if (!fits(data, offset, count)) {
    throw std::out_of_range("image offset out of range");
  }
}

inline std::uint8_t readU8(const Bytes& data, std::size_t offset) {
  requireFits(data, offset, 1);
  return data[offset];
}

inline std::uint16_t readU16(const Bytes& data, std::size_t offset) {
  requireFits(data, offset, 2);
  return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}

inline std::uint32_t readU24(const Bytes& data, std::size_t offset) {
  requireFits(data, offset, 3);
  return static_cast<std::uint32_t>(data[offset]) |
         static_cast<std::uint32_t>(data[offset + 1]) << 8 |
         static_cast<std::uint32_t>(data[offset + 2]) << 16;
}

inline std::uint32_t readU32(const Bytes& data, std::size_t offset) {
  requireFits(data, offset, 4);
  return readU24(data, offset) | static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

inline void writeU8(Bytes& data, std::size_t offset, std::uint8_t value) {
  requireFits(data, offset, 1);
  data[offset] = value;
}

inline void writeU16(Bytes& data, std::size_t offset, std::uint16_t value) {
  requireFits(data, offset, 2);
  data[offset] = static_cast<std::uint8_t>(value);
  data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void writeU32(Bytes& data, std::size_t offset, std::uint32_t value) {
  requireFits(data, offset, 4);
  for (std::size_t i = 0; i < 4; ++i) {
    data[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace tbp::detail
