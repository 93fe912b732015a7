#include "build/port_verdict.h"

#include <array>
#include <cstddef>

#include "build/nes_rom.h"
#include "build/text_forms.h"
#include "formats/checksums.h"

namespace tbp {

namespace {

constexpr std::size_t kTitleLength = 21;
// Where an SNES internal title can sit: LoROM, HiROM, and both again behind a copier header.
constexpr std::array<std::size_t, 4> kTitleOffsets = {0x7FC0, 0xFFC0, 0x81C0, 0x101C0};

// The title at offset without its surrounding blanks, or an empty string when the field does not
// fit or holds a byte outside printable ASCII.
std::string titleAt(const Bytes& image, std::size_t offset) {
  if (offset > image.size() || image.size() - offset < kTitleLength) return std::string();
  std::string title;
  for (std::size_t i = 0; i < kTitleLength; ++i) {
    const std::uint8_t byte = image[offset + i];
    if (byte < 0x20 || byte > 0x7E) return std::string();
    title += static_cast<char>(byte);
  }
  const std::size_t first = title.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return title.substr(first, title.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string notAPortVerdict(const Bytes& image) {
  if (hasInesMagic(image))
    return "This is an NES ROM. Use \"Open NES ROM...\" to build the port from it.";
  for (const std::size_t offset : kTitleOffsets) {
    const std::string title = titleAt(image, offset);
    if (!title.empty())
      return "It's \"" + title +
             "\" (from its SNES header), not a TEAM Bexulo port (no ZUVU manifest).";
  }
  return "It isn't a TEAM Bexulo SNES port (no ZUVU manifest).";
}

std::string notAPortReport(const Bytes& image) {
  const std::uint8_t* data = image.data();
  const std::size_t size = image.size();
  return notAPortVerdict(image) + "\n\n" + std::to_string(size) + " bytes, CRC16 " +
         hexText(crc16(data, size), 4) + ", CRC32 " + hexText(crc32(data, size), 8) + "\nSHA-256 " +
         sha256Hex(data, size);
}

}  // namespace tbp
