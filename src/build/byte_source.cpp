#include "build/byte_source.h"

#include <algorithm>
#include <cstring>

namespace tbp {

std::size_t MemorySource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t copied = std::min<std::uint64_t>(count, bytes_.size() - offset);
  if (copied > 0) std::memcpy(out, bytes_.data() + offset, copied);
  return copied;
}

Bytes readRange(ByteSource& source, std::uint64_t offset, std::size_t count) {
  const std::uint64_t available = offset < source.size() ? source.size() - offset : 0;
  Bytes bytes(static_cast<std::size_t>(std::min<std::uint64_t>(count, available)));
  bytes.resize(source.readAt(offset, bytes.data(), bytes.size()));
  return bytes;
}

}  // namespace tbp
