#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "formats/bps_format.h"
#include "formats/checksums.h"
#include "formats/little_endian.h"
#include "formats/patches.h"
#include "formats/source_index.h"

namespace tbp {

namespace {

constexpr std::size_t kMinSourceRead = 4;
constexpr std::size_t kMinRun = 16;
// How far ahead the index slot is prefetched (its filter word twice as far): enough positions
// to cover a memory access.
constexpr std::size_t kPrefetchDistance = 16;

// Number of equal bytes at a and b, up to limit, compared eight bytes at a time.
std::size_t matchLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
  std::size_t n = 0;
  while (limit - n >= 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little) {
        return n + static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
      }
      while (a[n] == b[n]) ++n;
      return n;
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// Number of bytes from p on that equal value, up to limit.
std::size_t runLength(const std::uint8_t* p, std::uint8_t value, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && p[n] == value) ++n;
  return n;
}

void writeSignedOffset(Bytes& out, std::size_t to, std::size_t from) {
  if (to >= from) {
    writeBpsNumber(out, static_cast<std::uint64_t>(to - from) << 1);
  } else {
    writeBpsNumber(out, (static_cast<std::uint64_t>(from - to) << 1) | 1u);
  }
}

void writeAction(Bytes& out, bps::Command command, std::size_t length) {
  writeBpsNumber(out, (static_cast<std::uint64_t>(length - 1) << 2) | command);
}

// Walks the target once, choosing at each position the first of: a SourceRead of at least
// 4 bytes, a run of at least 16 repeated bytes (an overlapping TargetCopy), a match of at
// least 8 bytes found through the source index (SourceCopy), or one literal byte.
template <typename Index>
class Encoder {
 public:
  Encoder(const Bytes& source, const Bytes& target, Bytes& out)
      : source_(source), target_(target), out_(out), index_(source.data(), source.size()) {}

  void run() {
    while (p_ < target_.size()) {
      prefetchAhead();
      if (!trySourceRead() && !tryRun() && !trySourceCopy()) ++p_;
    }
    flushLiterals();
  }

 private:
  void prefetchAhead() {
    const std::size_t ahead = target_.size() - p_;
    if (ahead >= 2 * kPrefetchDistance + Index::kKeySize) {
      index_.prefetchFilter(target_.data() + p_ + 2 * kPrefetchDistance);
    }
    if (ahead >= kPrefetchDistance + Index::kKeySize) {
      index_.prefetchSlot(target_.data() + p_ + kPrefetchDistance);
    }
  }

  bool trySourceRead() {
    if (p_ >= source_.size() || target_[p_] != source_[p_]) return false;
    const std::size_t limit = std::min(source_.size(), target_.size()) - p_;
    const std::size_t k = matchLength(target_.data() + p_, source_.data() + p_, limit);
    if (k < kMinSourceRead) return false;
    flushLiterals();
    writeAction(out_, bps::SourceRead, k);
    advance(k);
    return true;
  }

  bool tryRun() {
    if (p_ == 0 || target_[p_] != target_[p_ - 1]) return false;
    const std::size_t r = runLength(target_.data() + p_, target_[p_ - 1], target_.size() - p_);
    if (r < kMinRun) return false;
    flushLiterals();
    writeAction(out_, bps::TargetCopy, r);
    writeSignedOffset(out_, p_ - 1, targetRel_);
    targetRel_ = p_ - 1 + r;
    advance(r);
    return true;
  }

  bool trySourceCopy() {
    if (target_.size() - p_ < Index::kKeySize) return false;
    const std::size_t s = index_.find(target_.data() + p_);
    if (s == Index::kNotFound) return false;
    const std::size_t limit = std::min(target_.size() - p_, source_.size() - s);
    const std::size_t k = matchLength(target_.data() + p_, source_.data() + s, limit);
    flushLiterals();
    writeAction(out_, bps::SourceCopy, k);
    writeSignedOffset(out_, s, sourceRel_);
    sourceRel_ = s + k;
    advance(k);
    return true;
  }

  // Positions skipped without an action become pending literals.
  void advance(std::size_t count) {
    p_ += count;
    literalStart_ = p_;
  }

  void flushLiterals() {
    if (literalStart_ == p_) return;
    writeAction(out_, bps::TargetRead, p_ - literalStart_);
    out_.insert(out_.end(), target_.begin() + static_cast<std::ptrdiff_t>(literalStart_),
                target_.begin() + static_cast<std::ptrdiff_t>(p_));
    literalStart_ = p_;
  }

  const Bytes& source_;
  const Bytes& target_;
  Bytes& out_;
  Index index_;
  std::size_t p_ = 0;
  std::size_t literalStart_ = 0;
  std::size_t sourceRel_ = 0;
  std::size_t targetRel_ = 0;
};

}  // namespace

Bytes createBps(const Bytes& source, const Bytes& target, const std::string& metadata) {
  Bytes out = {'B', 'P', 'S', '1'};
  writeBpsNumber(out, source.size());
  writeBpsNumber(out, target.size());
  writeBpsNumber(out, metadata.size());
  out.insert(out.end(), metadata.begin(), metadata.end());
  // Offsets of up to 32 bits fit the compact index, which holds every source of a ROM's size.
  if (source.size() <= std::numeric_limits<std::uint32_t>::max()) {
    Encoder<SourceIndex>(source, target, out).run();
  } else {
    Encoder<LargeSourceIndex>(source, target, out).run();
  }
  appendLittleEndian32(out, crc32(source.data(), source.size()));
  appendLittleEndian32(out, crc32(target.data(), target.size()));
  appendLittleEndian32(out, crc32(out.data(), out.size()));
  return out;
}

}  // namespace tbp
