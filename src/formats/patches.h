#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "formats/bytes.h"

namespace tbp {

// Every failure of the patch engine, carrying the message the user sees.
struct PatchError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct BpsHeader {
  std::uint64_t sourceSize = 0;
  std::uint64_t targetSize = 0;
  std::uint32_t sourceCrc = 0;
  std::uint32_t targetCrc = 0;
  std::string metadata;
};

BpsHeader readBpsHeader(const Bytes& patch);
Bytes applyBps(const Bytes& source, const Bytes& patch);
Bytes applyIps(const Bytes& source, const Bytes& patch);
Bytes createBps(const Bytes& source, const Bytes& target, const std::string& metadata);
// Appends the BPS variable-length encoding of value.
void writeBpsNumber(Bytes& out, std::uint64_t value);

}  // namespace tbp
