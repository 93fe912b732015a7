#include <algorithm>
#include <cstring>
#include <utility>

#include "formats/byte_reader.h"
#include "formats/patches.h"

namespace tbp {

namespace {

constexpr std::size_t kIpsMagicSize = 5;

// Grows out with zero bytes so that [offset, offset + count) exists. Offsets are 24-bit and
// counts 16-bit, so the sum stays small.
void ensureSize(Bytes& out, std::size_t offset, std::size_t count) {
  if (out.size() < offset + count) out.resize(offset + count, 0x00);
}

// The "EOF" marker, optionally followed by a 24-bit size that may shorten the output.
void applyEnd(ByteReader& reader, Bytes& out) {
  reader.take(3);
  std::uint64_t size = 0;
  if (reader.readBigEndian(3, size) && size < out.size()) {
    out.resize(static_cast<std::size_t>(size));
  }
}

void applyRecord(ByteReader& reader, Bytes& out) {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  if (reader.remaining() < 5) throw PatchError("IPS: truncated record");
  reader.readBigEndian(3, offset);
  reader.readBigEndian(2, length);
  const auto start = static_cast<std::size_t>(offset);
  if (length > 0) {
    const std::uint8_t* data = reader.take(static_cast<std::size_t>(length));
    if (data == nullptr) throw PatchError("IPS: truncated data");
    ensureSize(out, start, length);
    std::memcpy(out.data() + start, data, length);
    return;
  }
  std::uint64_t count = 0;
  std::uint8_t fill = 0;
  if (reader.remaining() < 3) throw PatchError("IPS: truncated RLE");
  reader.readBigEndian(2, count);
  reader.readByte(fill);
  ensureSize(out, start, count);
  std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(start), count, fill);
}

}  // namespace

Bytes applyIps(Bytes source, const Bytes& patch) {
  if (patch.size() <= 7 || std::memcmp(patch.data(), "PATCH", kIpsMagicSize) != 0) {
    throw PatchError("not an IPS patch");
  }
  Bytes out = std::move(source);  // patched in place: a caller that is done with it moves it in
  ByteReader reader(patch.data() + kIpsMagicSize, patch.size() - kIpsMagicSize);
  for (;;) {
    // A record whose offset bytes spell "EOF" cannot be expressed: they read as the end.
    if (reader.lookingAt("EOF", 3)) {
      applyEnd(reader, out);
      return out;
    }
    applyRecord(reader, out);
    if (reader.remaining() < 3) throw PatchError("IPS: truncated (no EOF)");
  }
}

}  // namespace tbp
