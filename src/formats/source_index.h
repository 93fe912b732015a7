#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tbp {

// Maps every 8-byte window of a buffer (read as one 64-bit key) to the lowest offset where it
// occurs. Open addressing with linear probing over a power-of-two table at most half full,
// built in one pass over the buffer.
class SourceIndex {
 public:
  static constexpr std::size_t kKeySize = 8;
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  SourceIndex(const std::uint8_t* data, std::size_t size);

  // The lowest offset whose 8 bytes equal the 8 bytes at key, or kNotFound.
  std::size_t find(const std::uint8_t* key) const;

  static std::uint64_t loadKey(const std::uint8_t* p);

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::size_t offset = kNotFound;
  };

  std::size_t slotOf(std::uint64_t key) const;

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  int shift_ = 64;
};

}  // namespace tbp
