#include <cstring>

#include "formats/bps_format.h"
#include "formats/bps_number.h"
#include "formats/checksums.h"
#include "formats/little_endian.h"
#include "formats/patches.h"

namespace tbp {

namespace {

using bps::kFooterSize;

// A reader over the part of the patch between the magic and the footer.
ByteReader bodyReader(const Bytes& patch) {
  return ByteReader(patch.data() + 4, patch.size() - 4 - kFooterSize);
}

// Reads the three header numbers and the metadata; the reader ends at the first action.
BpsHeader readHeaderFields(ByteReader& reader) {
  BpsHeader header;
  header.sourceSize = readBpsNumber(reader);
  header.targetSize = readBpsNumber(reader);
  const std::uint64_t metadataSize = readBpsNumber(reader);
  const std::uint8_t* metadata =
      metadataSize > reader.remaining() ? nullptr : reader.take(metadataSize);
  if (metadata == nullptr) throw PatchError("BPS: bad metadata size");
  header.metadata.assign(reinterpret_cast<const char*>(metadata), metadataSize);
  return header;
}

// The output grows inside a buffer reserved at the declared target size; only written bytes
// are touched, so a short patch that declares a large target costs no more than it writes.
// Each action checks its bounds before touching memory.
class Applier {
 public:
  Applier(const Bytes& source, const BpsHeader& header)
      : source_(source), targetSize_(static_cast<std::size_t>(header.targetSize)) {
    target_.reserve(targetSize_);
  }

  void run(ByteReader& actions) {
    while (!actions.atEnd()) step(actions);
  }

  Bytes finish(const BpsHeader& header) {
    if (target_.size() != header.targetSize ||
        crc32(target_.data(), target_.size()) != header.targetCrc) {
      throw PatchError("BPS: result does not match (target CRC mismatch)");
    }
    return std::move(target_);
  }

 private:
  void step(ByteReader& actions) {
    const std::uint64_t word = readBpsNumber(actions);
    const std::uint64_t count = (word >> 2) + 1;
    if (count > targetSize_ - target_.size()) {
      throw PatchError("BPS: writes past the target size");
    }
    const std::size_t n = static_cast<std::size_t>(count);
    switch (word & 3u) {
      case bps::SourceRead:
        return sourceRead(n);
      case bps::TargetRead:
        return targetRead(actions, n);
      case bps::SourceCopy:
        return sourceCopy(readBpsOffset(actions), n);
      default:
        return targetCopy(readBpsOffset(actions), n);
    }
  }

  void sourceRead(std::size_t n) {
    const std::size_t at = target_.size();
    if (source_.size() < at + n) throw PatchError("BPS: SourceRead past the source");
    append(source_.data() + at, n);
  }

  void targetRead(ByteReader& actions, std::size_t n) {
    const std::uint8_t* literal = actions.take(n);
    if (literal == nullptr) throw PatchError("BPS: truncated TargetRead");
    append(literal, n);
  }

  void sourceCopy(BpsOffset offset, std::size_t n) {
    std::size_t start = 0;
    if (!moveWithin(sourceRel_, offset, source_.size(), start) || n > source_.size() - start) {
      throw PatchError("BPS: SourceCopy outside the source");
    }
    append(source_.data() + start, n);
    sourceRel_ = start + n;
  }

  // The copy may overlap the bytes it writes (a repeating pattern). Since the start lies
  // below the current length and both advance together, every byte read is already written.
  void targetCopy(BpsOffset offset, std::size_t n) {
    std::size_t start = 0;
    const std::size_t length = target_.size();
    if (!moveWithin(targetRel_, offset, length, start) || start == length) {
      throw PatchError("BPS: TargetCopy outside the target");
    }
    targetRel_ = start + n;
    target_.resize(length + n);  // within the reserved room: the data stays in place
    std::uint8_t* out = target_.data();
    if (n <= length - start) {
      std::memcpy(out + length, out + start, n);
    } else {
      for (std::size_t i = 0; i < n; ++i) out[length + i] = out[start + i];
    }
  }

  // base + offset when the result lies in [0, limit]; false otherwise.
  static bool moveWithin(std::size_t base, BpsOffset offset, std::size_t limit,
                         std::size_t& result) {
    if (offset.negative) {
      if (offset.magnitude > base) return false;
      result = base - static_cast<std::size_t>(offset.magnitude);
      return true;
    }
    if (offset.magnitude > limit - base) return false;
    result = base + static_cast<std::size_t>(offset.magnitude);
    return true;
  }

  void append(const std::uint8_t* from, std::size_t n) {
    target_.insert(target_.end(), from, from + n);
  }

  const Bytes& source_;
  const std::size_t targetSize_;
  Bytes target_;
  std::size_t sourceRel_ = 0;
  std::size_t targetRel_ = 0;
};

}  // namespace

BpsHeader readBpsHeader(const Bytes& patch) {
  if (patch.size() < bps::kMinimumFileSize || std::memcmp(patch.data(), "BPS1", 4) != 0) {
    throw PatchError("not a BPS patch");
  }
  ByteReader reader = bodyReader(patch);
  BpsHeader header = readHeaderFields(reader);
  header.sourceCrc = loadLittleEndian32(patch.data() + patch.size() - 12);
  header.targetCrc = loadLittleEndian32(patch.data() + patch.size() - 8);
  if (header.targetSize > bps::kMaxTargetSize) {
    throw PatchError("BPS: target over 64 MB (not a ROM patch)");
  }
  return header;
}

Bytes applyBps(const Bytes& source, const Bytes& patch) {
  const BpsHeader header = readBpsHeader(patch);
  const std::size_t checked = patch.size() - 4;
  if (crc32(patch.data(), checked) != loadLittleEndian32(patch.data() + checked)) {
    throw PatchError("BPS: the patch file is damaged (patch CRC mismatch)");
  }
  if (source.size() != header.sourceSize) {
    throw PatchError("BPS: wrong source size (expected " + std::to_string(header.sourceSize) +
                     " bytes, got " + std::to_string(source.size()) + ")");
  }
  if (crc32(source.data(), source.size()) != header.sourceCrc) {
    throw PatchError("BPS: this is not the ROM the patch was made for (source CRC mismatch)");
  }
  ByteReader actions = bodyReader(patch);
  readHeaderFields(actions);
  Applier applier(source, header);
  applier.run(actions);
  return applier.finish(header);
}

}  // namespace tbp
