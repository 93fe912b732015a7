#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tbp {

// Maps every 8-byte window of a buffer (read as one 64-bit key) to the lowest offset where it
// occurs. Open addressing with linear probing over a power-of-two table at most half full,
// built in one pass over the buffer. A filter of about eight bits per key (two bits set per key
// in one 64-bit word) sits in front of the table: it is small enough to stay in the cache and
// answers about 95% of misses, the common case when a target holds new data, without
// touching the table.
class SourceIndex {
 public:
  static constexpr std::size_t kKeySize = 8;
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  SourceIndex(const std::uint8_t* data, std::size_t size);

  // The lowest offset whose 8 bytes equal the 8 bytes at key, or kNotFound.
  std::size_t find(const std::uint8_t* key) const;

  // Lookups of a long stretch overlap when the creator announces them in two stages: first
  // the filter word for a key some positions ahead, then, nearer, the table slot for a key
  // whose filter word (by then in the cache) says it may be present.
  void prefetchFilter(const std::uint8_t* key) const;
  void prefetchSlot(const std::uint8_t* key) const;

 private:
  struct Slot {
    std::uint64_t key = 0;
    std::size_t offset = kNotFound;
  };

  static std::uint64_t loadKey(const std::uint8_t* p);
  static std::uint64_t hashOf(std::uint64_t key);
  std::size_t slotOf(std::uint64_t hash) const {
    return static_cast<std::size_t>(hash >> slotShift_);
  }
  std::size_t filterWordOf(std::uint64_t hash) const {
    return static_cast<std::size_t>(hash >> filterShift_);
  }
  // Two bits from the middle of the hash, which depends on every key byte.
  static std::uint64_t filterBitsOf(std::uint64_t hash) {
    return (std::uint64_t{1} << ((hash >> 20) & 63)) | (std::uint64_t{1} << ((hash >> 26) & 63));
  }
  bool mayContain(std::uint64_t hash) const {
    const std::uint64_t bits = filterBitsOf(hash);
    return (filter_[filterWordOf(hash)] & bits) == bits;
  }
  void insert(std::uint64_t key, std::size_t offset);

  std::vector<Slot> slots_;
  std::vector<std::uint64_t> filter_;
  std::size_t mask_ = 0;
  int slotShift_ = 64;
  int filterShift_ = 64;
};

}  // namespace tbp
