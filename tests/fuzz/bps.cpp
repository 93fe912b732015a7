// readBpsHeader and applyBps on fuzzed patches. The input chooses the source and how far the
// harness helps the patch along: as it is, with its own CRC made right, or with a source
// fitted to its header (size and CRC) so that the actions themselves run. Only the specified
// messages may come out (and the refusal of a number beyond 64 bits, which the encoding cannot
// hold), the first failing check decides the message, and a successful apply
// gives exactly the declared target, which createBps must express again.
#include <string>

#include "formats/checksums.h"
#include "formats/patches.h"
#include "support/fuzz_contract.h"

namespace {

using tbp::Bytes;
using tbp::fuzz::require;

constexpr std::size_t kFooterSize = 12;
constexpr std::size_t kLargestFittedSource = 1u << 20;
constexpr std::size_t kLargestRoundTrip = 1u << 20;

enum Mode { AsItIs, PatchCrcFixed, SourceFitted, kModes };

void putLittleEndian32(Bytes& patch, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) patch[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t littleEndian32(const Bytes& patch, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(patch[at + i]) << (8 * i);
  return value;
}

std::uint32_t crcOf(const std::uint8_t* data, std::size_t size) { return tbp::crc32(data, size); }

void fixPatchCrc(Bytes& patch) {
  if (patch.size() < 4) return;
  putLittleEndian32(patch, patch.size() - 4, crcOf(patch.data(), patch.size() - 4));
}

// The message of the first check before the actions that fails, or empty when all pass.
std::string firstFailingCheck(const Bytes& source, const Bytes& patch) {
  tbp::BpsHeader header;
  try {
    header = tbp::readBpsHeader(patch);
  } catch (const tbp::PatchError& e) {
    return e.what();
  }
  if (crcOf(patch.data(), patch.size() - 4) != littleEndian32(patch, patch.size() - 4)) {
    return "BPS: the patch file is damaged (patch CRC mismatch)";
  }
  if (header.sourceSize != source.size()) {
    return "BPS: wrong source size (expected " + std::to_string(header.sourceSize) +
           " bytes, got " + std::to_string(source.size()) + ")";
  }
  if (crcOf(source.data(), source.size()) != header.sourceCrc) {
    return "BPS: this is not the ROM the patch was made for (source CRC mismatch)";
  }
  return {};
}

void checkHeader(const Bytes& patch) {
  try {
    const tbp::BpsHeader header = tbp::readBpsHeader(patch);
    require(header.targetSize <= 0x4000000, "header accepted a target over 64 MB");
    require(header.metadata.size() + 16 <= patch.size(), "metadata longer than the patch");
    require(header.sourceCrc == littleEndian32(patch, patch.size() - kFooterSize),
            "source CRC not read from the footer");
    require(header.targetCrc == littleEndian32(patch, patch.size() - 8),
            "target CRC not read from the footer");
  } catch (const tbp::PatchError& e) {
    require(tbp::fuzz::oneOf(
                e.what(), {"not a BPS patch", "BPS: truncated number", "BPS: number out of range",
                           "BPS: bad metadata size", "BPS: target over 64 MB (not a ROM patch)"}),
            std::string("readBpsHeader: ") + e.what());
  }
}

void checkRoundTrip(const Bytes& source, const Bytes& target, const std::string& metadata) {
  if (target.size() > kLargestRoundTrip || source.size() > kLargestRoundTrip) return;
  const Bytes patch = tbp::createBps(source, target, metadata);
  require(tbp::applyBps(source, patch) == target, "createBps did not round-trip");
  require(tbp::readBpsHeader(patch).metadata == metadata, "createBps lost the metadata");
}

void checkApply(const Bytes& source, const Bytes& patch) {
  const std::string expected = firstFailingCheck(source, patch);
  try {
    const Bytes target = tbp::applyBps(source, patch);
    require(expected.empty(), "applyBps passed a failing check: " + expected);
    const tbp::BpsHeader header = tbp::readBpsHeader(patch);
    require(target.size() == header.targetSize, "target of another size than declared");
    require(crcOf(target.data(), target.size()) == header.targetCrc, "target CRC differs");
    checkRoundTrip(source, target, header.metadata);
  } catch (const tbp::PatchError& e) {
    const std::string message = e.what();
    if (!expected.empty()) {
      require(message == expected, "applyBps said \"" + message + "\", not \"" + expected + "\"");
      return;
    }
    require(tbp::fuzz::oneOf(message,
                             {"BPS: truncated number", "BPS: number out of range",
                              "BPS: writes past the target size", "BPS: SourceRead past the source",
                              "BPS: truncated TargetRead", "BPS: SourceCopy outside the source",
                              "BPS: TargetCopy outside the target", "BPS: TargetCopy reads ahead",
                              "BPS: result does not match (target CRC mismatch)"}),
            "applyBps: " + message);
  }
}

// A source of the size the header declares, filled from the input, with the header's source
// CRC and the patch CRC set to match; unchanged when the header is unreadable or too large.
void fitSource(Bytes& source, Bytes& patch) {
  tbp::BpsHeader header;
  try {
    header = tbp::readBpsHeader(patch);
  } catch (const tbp::PatchError&) {
    return;
  }
  if (header.sourceSize > kLargestFittedSource) return;
  source.resize(static_cast<std::size_t>(header.sourceSize), 0);
  putLittleEndian32(patch, patch.size() - kFooterSize, crcOf(source.data(), source.size()));
  fixPatchCrc(patch);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tbp::fuzz::FuzzInput input(data, size);
  const int mode = input.byte() % kModes;
  Bytes source = input.bytes(input.number(2));
  Bytes patch = input.rest();
  if (mode == PatchCrcFixed) fixPatchCrc(patch);
  if (mode == SourceFitted) fitSource(source, patch);
  checkHeader(patch);
  checkApply(source, patch);
  return 0;
}
