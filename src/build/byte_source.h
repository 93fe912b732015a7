#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/bytes.h"

namespace tbp {

// Bytes read at any offset, a block at a time: a file's bytes in memory, or an open file, so
// that a decoder reads a large input in blocks instead of holding all of it.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The length of the input in bytes.
  virtual std::uint64_t size() const = 0;
  // Copies up to `count` bytes from `offset` to out and returns how many it copied: fewer
  // only at the end of the input. Throws std::runtime_error when the input cannot be read.
  virtual std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) = 0;
};

// A whole file already in memory.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const Bytes& bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

 private:
  const Bytes& bytes_;
};

// The bytes from offset to offset + count (fewer at the end) as a buffer of their own.
Bytes readRange(ByteSource& source, std::uint64_t offset, std::size_t count);

}  // namespace tbp
