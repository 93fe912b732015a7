#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tbp {

// Maps every 8-byte window of a buffer (read as one 64-bit key) to the lowest offset where it
// occurs, in at most 8 bytes per buffer byte.
//
// A slot holds only an offset (plus one, so that 0 marks an empty slot) and, in the bits the
// offset leaves free, a few bits of the key's hash as a tag; the key itself is read back from
// the buffer when the tag matches. Open addressing with linear probing over a table of 1.5
// slots per window (at most two thirds full), built in one pass over the buffer. A filter of
// eight bits per window (two bits set per key in one 64-bit word) sits in front of the table:
// it is small enough to answer about 95% of misses, the common case when a target holds new
// data, without touching the table.
//
// Slot is std::uint32_t for buffers of up to 4 GB and std::uint64_t beyond.
template <typename Slot>
class BasicSourceIndex {
 public:
  static constexpr std::size_t kKeySize = 8;
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  // data must outlive the index: keys are read back from it.
  BasicSourceIndex(const std::uint8_t* data, std::size_t size);

  // The lowest offset whose 8 bytes equal the 8 bytes at key, or kNotFound.
  std::size_t find(const std::uint8_t* key) const;

  // Lookups of a long stretch overlap when the creator announces them in two stages: first
  // the filter word for a key some positions ahead, then, nearer, the table slot for a key
  // whose filter word (by then in the cache) says it may be present.
  void prefetchFilter(const std::uint8_t* key) const;
  void prefetchSlot(const std::uint8_t* key) const;

 private:
  static std::uint64_t loadKey(const std::uint8_t* p);
  static std::uint64_t hashOf(std::uint64_t key);
  // The top bits of the hash spread over n places without a power-of-two size.
  static std::size_t placeOf(std::uint64_t hash, std::size_t n) {
    return static_cast<std::size_t>((static_cast<unsigned __int128>(hash) * n) >> 64);
  }
  // The tag bits of the hash, in their place above the offset.
  Slot tagOf(std::uint64_t hash) const {
    return static_cast<Slot>((hash & tagMask_) << offsetBits_);
  }
  // Two bits from the middle of the hash, apart from the tag and the top bits.
  static std::uint64_t filterBitsOf(std::uint64_t hash) {
    return (std::uint64_t{1} << ((hash >> 24) & 63)) | (std::uint64_t{1} << ((hash >> 30) & 63));
  }
  bool mayContain(std::uint64_t hash) const {
    const std::uint64_t bits = filterBitsOf(hash);
    return (filter_[placeOf(hash, filter_.size())] & bits) == bits;
  }
  void insert(std::uint64_t hash, std::size_t offset);

  const std::uint8_t* data_;
  std::vector<Slot> slots_;
  std::vector<std::uint64_t> filter_;
  int offsetBits_ = 0;  // the low bits of a slot: offset + 1
  Slot offsetMask_ = 0;
  std::uint64_t tagMask_ = 0;  // the hash bits kept as the tag
};

extern template class BasicSourceIndex<std::uint32_t>;
extern template class BasicSourceIndex<std::uint64_t>;

using SourceIndex = BasicSourceIndex<std::uint32_t>;
using LargeSourceIndex = BasicSourceIndex<std::uint64_t>;

}  // namespace tbp
