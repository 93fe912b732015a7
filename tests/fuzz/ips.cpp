// applyIps on fuzzed patches and sources: only the specified messages may come out, and a
// result must equal what the record rules give, computed here the plain way.
#include <optional>
#include <string>

#include "formats/patches.h"
#include "support/fuzz_contract.h"

namespace {

using tbp::Bytes;
using tbp::fuzz::require;

std::size_t bigEndian(const Bytes& patch, std::size_t at, std::size_t bytes) {
  std::size_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | patch[at + i];
  return value;
}

// The records applied one by one; the message of the first defect, or the output.
struct Expected {
  std::optional<Bytes> output;
  std::string message;
};

Expected applyPlainly(const Bytes& source, const Bytes& patch) {
  if (patch.size() <= 7 || std::string(patch.begin(), patch.begin() + 5) != "PATCH") {
    return {std::nullopt, "not an IPS patch"};
  }
  Bytes out = source;
  std::size_t at = 5;
  for (;;) {
    if (patch[at] == 'E' && patch[at + 1] == 'O' && patch[at + 2] == 'F') {
      if (patch.size() - at >= 6 && bigEndian(patch, at + 3, 3) < out.size()) {
        out.resize(bigEndian(patch, at + 3, 3));
      }
      return {out, {}};
    }
    if (patch.size() - at < 5) return {std::nullopt, "IPS: truncated record"};
    const std::size_t offset = bigEndian(patch, at, 3);
    const std::size_t length = bigEndian(patch, at + 3, 2);
    at += 5;
    if (length > 0) {
      if (patch.size() - at < length) return {std::nullopt, "IPS: truncated data"};
      if (out.size() < offset + length) out.resize(offset + length, 0);
      std::copy(patch.begin() + at, patch.begin() + at + length, out.begin() + offset);
      at += length;
    } else {
      if (patch.size() - at < 3) return {std::nullopt, "IPS: truncated RLE"};
      const std::size_t count = bigEndian(patch, at, 2);
      if (out.size() < offset + count) out.resize(offset + count, 0);
      std::fill_n(out.begin() + offset, count, patch[at + 2]);
      at += 3;
    }
    if (patch.size() - at < 3) return {std::nullopt, "IPS: truncated (no EOF)"};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tbp::fuzz::FuzzInput input(data, size);
  const Bytes source = input.bytes(input.number(2));
  const Bytes patch = input.rest();
  const Expected expected = applyPlainly(source, patch);
  try {
    const Bytes output = tbp::applyIps(source, patch);
    require(expected.output.has_value(), "applyIps passed a patch with: " + expected.message);
    require(output == *expected.output, "applyIps gave another result");
  } catch (const tbp::PatchError& e) {
    require(e.what() == expected.message,
            std::string("applyIps said \"") + e.what() + "\", not \"" + expected.message + "\"");
  }
  return 0;
}
