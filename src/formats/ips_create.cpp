// IPS creation: one record per stretch of changed bytes, as few records as the format allows.
#include <algorithm>

#include "formats/patches.h"

namespace tbp {
namespace {

constexpr std::size_t kReach = 0x1000000;       // 24-bit offsets
constexpr std::size_t kLongestRecord = 0xFFFF;  // 16-bit lengths
constexpr std::size_t kEofOffset = 0x454F46;    // "EOF": an offset that reads as the end marker
constexpr std::size_t kRecordHeader = 5;

void appendBigEndian(Bytes& out, std::size_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(std::uint8_t(value >> (8 * i)));
}

void appendRecord(Bytes& patch, const Bytes& target, std::size_t start, std::size_t length) {
  appendBigEndian(patch, start, 3);
  appendBigEndian(patch, length, 2);
  patch.insert(patch.end(), target.begin() + std::ptrdiff_t(start),
               target.begin() + std::ptrdiff_t(start + length));
}

// Whether target[i] has to be written: it differs from the source, or lies past the source's
// end (the output grows with zero bytes, so the last byte must be written to reach the size).
bool changed(const Bytes& source, const Bytes& target, std::size_t i) {
  return i >= source.size() ? (target[i] != 0 || i + 1 == target.size()) : target[i] != source[i];
}

}  // namespace

Bytes createIps(const Bytes& source, const Bytes& target) {
  if (target.size() > kReach) throw PatchError("IPS: the target is over 16 MB, beyond IPS");
  Bytes patch{'P', 'A', 'T', 'C', 'H'};
  for (std::size_t i = 0; i < target.size();) {
    if (!changed(source, target, i)) {
      ++i;
      continue;
    }
    // A record may not start at the offset that spells "EOF": it starts one byte earlier.
    std::size_t start = i == kEofOffset ? i - 1 : i;
    std::size_t end = i + 1;
    // Short unchanged gaps cost less inside a record than a new record header.
    for (std::size_t gap = 0; end < target.size() && end - start < kLongestRecord; ++end) {
      gap = changed(source, target, end) ? 0 : gap + 1;
      if (gap > kRecordHeader) {
        end -= gap - 1;
        break;
      }
    }
    while (end > start + 1 && !changed(source, target, end - 1)) --end;
    appendRecord(patch, target, start, end - start);
    i = end;
  }
  patch.insert(patch.end(), {'E', 'O', 'F'});
  if (target.size() < source.size()) appendBigEndian(patch, target.size(), 3);
  return patch;
}

}  // namespace tbp
