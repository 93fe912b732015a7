#include "formats/source_index.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace tbp {

namespace {

constexpr int kMaxTagBits = 16;  // one false key comparison in 65536 is rare enough
constexpr std::size_t kWindowsPerFilterWord = 8;  // eight filter bits per window
constexpr std::size_t kBuildPrefetchDistance = 16;

}  // namespace

template <typename Slot>
BasicSourceIndex<Slot>::BasicSourceIndex(const std::uint8_t* data, std::size_t size) : data_(data) {
  const std::size_t keys = size >= kKeySize ? size - kKeySize + 1 : 0;
  // A slot holds offset + 1 (at most keys) in its low bits and the tag above.
  offsetBits_ = std::max(1, static_cast<int>(std::bit_width(keys)));
  const int tagBits = std::min(kMaxTagBits, static_cast<int>(sizeof(Slot)) * 8 - offsetBits_);
  offsetMask_ = static_cast<Slot>((std::uint64_t{1} << offsetBits_) - 1);
  tagMask_ = (std::uint64_t{1} << tagBits) - 1;
  slots_.assign(keys + keys / 2 + 1, 0);
  filter_.assign(keys / kWindowsPerFilterWord + 1, 0);

  // Offsets are inserted in increasing order and an existing key is never replaced, so each
  // key keeps its lowest offset. The hashes of the next few windows are computed ahead so
  // that their slots can be fetched while the current one is inserted.
  std::array<std::uint64_t, kBuildPrefetchDistance> ahead{};
  const std::size_t primed = std::min(keys, kBuildPrefetchDistance);
  for (std::size_t offset = 0; offset < primed; ++offset) {
    ahead[offset] = hashOf(loadKey(data + offset));
  }
  for (std::size_t offset = 0; offset < keys; ++offset) {
    const std::uint64_t hash = ahead[offset % kBuildPrefetchDistance];
    if (keys - offset > kBuildPrefetchDistance) {
      const std::uint64_t next = hashOf(loadKey(data + offset + kBuildPrefetchDistance));
      ahead[offset % kBuildPrefetchDistance] = next;
      __builtin_prefetch(&slots_[placeOf(next, slots_.size())]);
    }
    insert(hash, offset);
  }
}

template <typename Slot>
void BasicSourceIndex<Slot>::insert(std::uint64_t hash, std::size_t offset) {
  filter_[placeOf(hash, filter_.size())] |= filterBitsOf(hash);
  const std::uint64_t key = loadKey(data_ + offset);
  const Slot tag = tagOf(hash);
  const Slot tagBits = static_cast<Slot>(~offsetMask_);
  for (std::size_t s = placeOf(hash, slots_.size());; s = s + 1 == slots_.size() ? 0 : s + 1) {
    const Slot entry = slots_[s];
    if (entry == 0) {
      slots_[s] = static_cast<Slot>(tag | static_cast<Slot>(offset + 1));
      return;
    }
    if ((entry & tagBits) == tag && loadKey(data_ + (entry & offsetMask_) - 1) == key) return;
  }
}

template <typename Slot>
std::size_t BasicSourceIndex<Slot>::find(const std::uint8_t* p) const {
  const std::uint64_t key = loadKey(p);
  const std::uint64_t hash = hashOf(key);
  if (!mayContain(hash)) return kNotFound;
  const Slot tag = tagOf(hash);
  const Slot tagBits = static_cast<Slot>(~offsetMask_);
  for (std::size_t s = placeOf(hash, slots_.size());; s = s + 1 == slots_.size() ? 0 : s + 1) {
    const Slot entry = slots_[s];
    if (entry == 0) return kNotFound;
    if ((entry & tagBits) == tag) {
      const std::size_t offset = (entry & offsetMask_) - 1;
      if (loadKey(data_ + offset) == key) return offset;
    }
  }
}

template <typename Slot>
void BasicSourceIndex<Slot>::prefetchFilter(const std::uint8_t* key) const {
  __builtin_prefetch(&filter_[placeOf(hashOf(loadKey(key)), filter_.size())]);
}

template <typename Slot>
void BasicSourceIndex<Slot>::prefetchSlot(const std::uint8_t* key) const {
  const std::uint64_t hash = hashOf(loadKey(key));
  if (mayContain(hash)) __builtin_prefetch(&slots_[placeOf(hash, slots_.size())]);
}

template <typename Slot>
std::uint64_t BasicSourceIndex<Slot>::loadKey(const std::uint8_t* p) {
  std::uint64_t key = 0;
  std::memcpy(&key, p, kKeySize);
  return key;
}

// A full 64-bit mix (two multiply and shift rounds): the top bits choose the slot and the
// filter word, the low bits give the tag and the middle bits the filter bits, so every part
// must depend on every key byte.
template <typename Slot>
std::uint64_t BasicSourceIndex<Slot>::hashOf(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xFF51AFD7ED558CCDull;
  key ^= key >> 33;
  key *= 0xC4CEB9FE1A85EC53ull;
  key ^= key >> 33;
  return key;
}

template class BasicSourceIndex<std::uint32_t>;
template class BasicSourceIndex<std::uint64_t>;

}  // namespace tbp
