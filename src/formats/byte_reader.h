#pragma once

#include <cstddef>
#include <cstdint>

namespace tbp {

// A cursor over a byte range whose every read is checked against the bytes remaining.
// The caller decides what a short read means (each format has its own message), so the
// reads report failure instead of throwing.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ >= size_; }

  // The next count bytes, or nullptr (position unchanged) when fewer remain.
  const std::uint8_t* take(std::size_t count) {
    if (count > remaining()) return nullptr;
    const std::uint8_t* start = data_ + pos_;
    pos_ += count;
    return start;
  }

  bool readByte(std::uint8_t& out) {
    const std::uint8_t* p = take(1);
    if (p == nullptr) return false;
    out = *p;
    return true;
  }

  // Big-endian unsigned value of `width` bytes (at most 8).
  bool readBigEndian(std::size_t width, std::uint64_t& out) {
    const std::uint8_t* p = take(width);
    if (p == nullptr) return false;
    out = 0;
    for (std::size_t i = 0; i < width; ++i) out = (out << 8) | p[i];
    return true;
  }

  // True when the next bytes equal the count bytes at text; nothing is consumed.
  bool lookingAt(const char* text, std::size_t count) const {
    if (count > remaining()) return false;
    for (std::size_t i = 0; i < count; ++i) {
      if (data_[pos_ + i] != static_cast<std::uint8_t>(text[i])) return false;
    }
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace tbp
