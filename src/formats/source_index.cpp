#include "formats/source_index.h"

#include <cstring>

namespace tbp {

namespace {

constexpr std::uint64_t kGoldenRatio = 0x9E3779B97F4A7C15ull;

}  // namespace

SourceIndex::SourceIndex(const std::uint8_t* data, std::size_t size) {
  const std::size_t keys = size >= kKeySize ? size - kKeySize + 1 : 0;
  int bits = 4;
  while ((std::size_t{1} << bits) < keys * 2) ++bits;
  slots_.resize(std::size_t{1} << bits);
  mask_ = slots_.size() - 1;
  shift_ = 64 - bits;
  // Offsets are inserted in increasing order and an existing key is never replaced, so each
  // key keeps its lowest offset.
  for (std::size_t offset = 0; offset < keys; ++offset) {
    const std::uint64_t key = loadKey(data + offset);
    std::size_t slot = slotOf(key);
    while (slots_[slot].offset != kNotFound && slots_[slot].key != key) slot = (slot + 1) & mask_;
    if (slots_[slot].offset == kNotFound) slots_[slot] = {key, offset};
  }
}

std::size_t SourceIndex::find(const std::uint8_t* p) const {
  const std::uint64_t key = loadKey(p);
  for (std::size_t slot = slotOf(key);; slot = (slot + 1) & mask_) {
    const Slot& entry = slots_[slot];
    if (entry.offset == kNotFound) return kNotFound;
    if (entry.key == key) return entry.offset;
  }
}

std::uint64_t SourceIndex::loadKey(const std::uint8_t* p) {
  std::uint64_t key = 0;
  std::memcpy(&key, p, kKeySize);
  return key;
}

std::size_t SourceIndex::slotOf(std::uint64_t key) const {
  // Folding the high half in first lets every key byte reach the top bits that are kept.
  return static_cast<std::size_t>(((key ^ (key >> 32)) * kGoldenRatio) >> shift_) & mask_;
}

}  // namespace tbp
