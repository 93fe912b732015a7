// applyUps on fuzzed patches and inputs, and createUps / createIps on fuzzed file pairs: only the
// format's messages may come out, a result always carries the size and CRC32 the patch declares,
// and a created patch always gives its target back (and, for UPS, its source).
#include <string>

#include "formats/checksums.h"
#include "formats/patches.h"
#include "support/fuzz_contract.h"

namespace {

using tbp::Bytes;
using tbp::fuzz::require;

void applyFuzzed(const Bytes& input, const Bytes& patch) {
  try {
    const tbp::UpsResult result = tbp::applyUps(input, patch);
    const tbp::UpsHeader header = tbp::readUpsHeader(patch);
    const std::uint64_t size = result.reversed ? header.sourceSize : header.targetSize;
    const std::uint32_t crc = result.reversed ? header.sourceCrc : header.targetCrc;
    require(result.bytes.size() == size, "applyUps gave another size than declared");
    require(tbp::crc32(result.bytes.data(), result.bytes.size()) == crc,
            "applyUps gave another CRC32 than declared");
  } catch (const tbp::PatchError& e) {
    require(tbp::fuzz::oneOf(e.what(),
                             {"not a UPS patch", "UPS: truncated number", "UPS: number out of range",
                              "UPS: file over 64 MB (not a ROM patch)",
                              "UPS: the patch file is damaged (patch CRC mismatch)",
                              "UPS: this is not the ROM the patch was made for (CRC mismatch)",
                              "UPS: hunk past the end", "UPS: truncated hunk",
                              "UPS: result does not match (target CRC mismatch)"}),
            std::string("applyUps said \"") + e.what() + "\"");
  }
}

void createFuzzed(const Bytes& source, const Bytes& target) {
  const Bytes ups = tbp::createUps(source, target);
  require(tbp::applyUps(source, ups).bytes == target, "a created UPS patch missed its target");
  require(tbp::applyUps(target, ups).bytes == source, "a created UPS patch missed its source");
  require(tbp::applyIps(source, tbp::createIps(source, target)) == target,
          "a created IPS patch missed its target");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tbp::fuzz::FuzzInput input(data, size);
  const bool create = (input.byte() & 1) != 0;
  const Bytes first = input.bytes(input.number(2));
  const Bytes second = input.rest();
  if (create)
    createFuzzed(first, second);
  else
    applyFuzzed(first, second);
  return 0;
}
