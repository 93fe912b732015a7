#include "port/image_delta.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>

namespace tbp {
namespace {

// Unchanged bytes between two changed ones up to this count are carried inside one run: a run
// costs more bookkeeping than a few bytes.
constexpr std::size_t kJoinGap = 8;

// Appends the byte at offset to the side's last run when it continues it, else starts a run.
void appendByte(ImageSide& side, std::size_t offset, std::uint8_t value) {
  if (!side.runs.empty()) {
    ByteRun& last = side.runs.back();
    if (last.offset + last.bytes.size() == offset) {
      last.bytes.push_back(value);
      return;
    }
  }
  side.runs.push_back({offset, Bytes{value}});
}

// The per-byte view of a delta: offset to the values before and after.
using ByteMap = std::map<std::size_t, std::pair<std::uint8_t, std::uint8_t>>;

// Enters each changed byte of a delta. A byte already present keeps its first value and takes
// the new one, so entering an earlier delta and then a later one gives the pair across both.
void addRuns(ByteMap& bytes, const ImageSide& before, const ImageSide& after) {
  for (std::size_t run = 0; run < before.runs.size() && run < after.runs.size(); ++run) {
    const ByteRun& old = before.runs[run];
    const ByteRun& now = after.runs[run];
    for (std::size_t index = 0; index < old.bytes.size() && index < now.bytes.size(); ++index) {
      const auto [entry, added] =
          bytes.try_emplace(old.offset + index, old.bytes[index], now.bytes[index]);
      if (!added) entry->second.second = now.bytes[index];
    }
  }
}

}  // namespace

ImageDelta diffImages(const Bytes& before, const Bytes& after) {
  ImageDelta delta;
  delta.before.size = before.size();
  delta.after.size = after.size();
  const std::size_t common = std::min(before.size(), after.size());
  std::size_t lastChange = 0;
  bool anyChange = false;
  for (std::size_t offset = 0; offset < common; ++offset) {
    if (before[offset] == after[offset]) continue;
    // Carry the unchanged bytes of a short gap so the runs stay joined.
    const std::size_t from =
        anyChange && offset - lastChange <= kJoinGap ? lastChange + 1 : offset;
    for (std::size_t at = from; at <= offset; ++at) {
      appendByte(delta.before, at, before[at]);
      appendByte(delta.after, at, after[at]);
    }
    lastChange = offset;
    anyChange = true;
  }
  if (before.size() != after.size()) {
    delta.before.runs.push_back({common, Bytes(before.begin() + common, before.end())});
    delta.after.runs.push_back({common, Bytes(after.begin() + common, after.end())});
  }
  return delta;
}

void applySide(Bytes& image, const ImageSide& side) {
  image.resize(side.size);
  for (const ByteRun& run : side.runs) {
    if (run.offset > image.size() || run.bytes.size() > image.size() - run.offset) continue;
    std::copy(run.bytes.begin(), run.bytes.end(), image.begin() + std::ptrdiff_t(run.offset));
  }
}

bool mergeDeltas(ImageDelta& earlier, const ImageDelta& later) {
  const std::size_t size = earlier.before.size;
  if (earlier.after.size != size || later.before.size != size || later.after.size != size)
    return false;
  // Offset to (value before the earlier edit, value after the later one).
  ByteMap bytes;
  addRuns(bytes, earlier.before, earlier.after);
  addRuns(bytes, later.before, later.after);
  ImageDelta merged;
  merged.before.size = merged.after.size = size;
  for (const auto& [offset, values] : bytes) {
    appendByte(merged.before, offset, values.first);
    appendByte(merged.after, offset, values.second);
  }
  earlier = std::move(merged);
  return true;
}

}  // namespace tbp
