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
Bytes applyIps(Bytes source, const Bytes& patch);
Bytes createBps(const Bytes& source, const Bytes& target, const std::string& metadata);
// Appends the BPS variable-length encoding of value.
void writeBpsNumber(Bytes& out, std::uint64_t value);

// IPS records from source to target, with the truncation size when the target is shorter.
// Throws PatchError when the target is beyond IPS's 16 MB reach.
Bytes createIps(const Bytes& source, const Bytes& target);

// A UPS patch: sizes and CRCs of both files, and XOR hunks that turn either into the other.
struct UpsHeader {
  std::uint64_t sourceSize = 0;
  std::uint64_t targetSize = 0;
  std::uint32_t sourceCrc = 0;
  std::uint32_t targetCrc = 0;
};
struct UpsResult {
  Bytes bytes;
  bool reversed = false;  // the input was the patch's target and the result is its source
};
// Starts with "UPS1".
bool isUpsPatch(const Bytes& patch);
UpsHeader readUpsHeader(const Bytes& patch);
// Applies the patch to its source, or backwards to its target; any other input is refused.
UpsResult applyUps(const Bytes& input, const Bytes& patch);
Bytes createUps(const Bytes& source, const Bytes& target);

}  // namespace tbp
