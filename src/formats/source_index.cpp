#include "formats/source_index.h"

#include <cstring>

namespace tbp {

namespace {

constexpr std::uint64_t kGoldenRatio = 0x9E3779B97F4A7C15ull;
constexpr int kMinSlotBits = 8;           // keeps the filter at least 16 words, its shift below 64
constexpr int kFilterBitsPerKeyLog2 = 3;  // eight filter bits per key
constexpr std::size_t kBuildPrefetchDistance = 16;

int bitsFor(std::size_t count) {
  int bits = kMinSlotBits;
  while (bits < 62 && (std::size_t{1} << bits) < count) ++bits;
  return bits;
}

}  // namespace

SourceIndex::SourceIndex(const std::uint8_t* data, std::size_t size) {
  const std::size_t keys = size >= kKeySize ? size - kKeySize + 1 : 0;
  const int slotBits = bitsFor(keys * 2);
  const int filterWordBits = slotBits - 1 + kFilterBitsPerKeyLog2 - 6;
  slots_.resize(std::size_t{1} << slotBits);
  mask_ = slots_.size() - 1;
  slotShift_ = 64 - slotBits;
  filter_.assign(std::size_t{1} << filterWordBits, 0);
  filterShift_ = 64 - filterWordBits;
  // Offsets are inserted in increasing order and an existing key is never replaced, so each
  // key keeps its lowest offset.
  for (std::size_t offset = 0; offset < keys; ++offset) {
    if (keys - offset > kBuildPrefetchDistance) {
      __builtin_prefetch(&slots_[slotOf(hashOf(loadKey(data + offset + kBuildPrefetchDistance)))]);
    }
    insert(loadKey(data + offset), offset);
  }
}

void SourceIndex::insert(std::uint64_t key, std::size_t offset) {
  const std::uint64_t hash = hashOf(key);
  filter_[filterWordOf(hash)] |= filterBitsOf(hash);
  std::size_t slot = slotOf(hash);
  while (slots_[slot].offset != kNotFound && slots_[slot].key != key) slot = (slot + 1) & mask_;
  if (slots_[slot].offset == kNotFound) slots_[slot] = {key, offset};
}

std::size_t SourceIndex::find(const std::uint8_t* p) const {
  const std::uint64_t key = loadKey(p);
  const std::uint64_t hash = hashOf(key);
  if (!mayContain(hash)) return kNotFound;
  for (std::size_t slot = slotOf(hash);; slot = (slot + 1) & mask_) {
    const Slot& entry = slots_[slot];
    if (entry.offset == kNotFound) return kNotFound;
    if (entry.key == key) return entry.offset;
  }
}

void SourceIndex::prefetchFilter(const std::uint8_t* key) const {
  __builtin_prefetch(&filter_[filterWordOf(hashOf(loadKey(key)))]);
}

void SourceIndex::prefetchSlot(const std::uint8_t* key) const {
  const std::uint64_t hash = hashOf(loadKey(key));
  if (mayContain(hash)) __builtin_prefetch(&slots_[slotOf(hash)]);
}

std::uint64_t SourceIndex::loadKey(const std::uint8_t* p) {
  std::uint64_t key = 0;
  std::memcpy(&key, p, kKeySize);
  return key;
}

// Folding the high half in first lets every key byte reach the top bits that are kept.
std::uint64_t SourceIndex::hashOf(std::uint64_t key) { return (key ^ (key >> 32)) * kGoldenRatio; }

}  // namespace tbp
