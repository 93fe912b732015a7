#pragma once

#include <cstdint>

#include <QByteArray>

namespace artwork {

// Little-endian fields of the ICO and WAV files the tool writes.
inline void put16(QByteArray& out, int value) {
  out.append(char(value & 0xFF));
  out.append(char((value >> 8) & 0xFF));
}

inline void put32(QByteArray& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.append(char((value >> shift) & 0xFF));
}

}  // namespace artwork
