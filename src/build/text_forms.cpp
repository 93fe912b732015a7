#include "build/text_forms.h"

#include <cstdio>

#include "port/port_image.h"

namespace tbp {
namespace {

// English digit grouping: 1048576 becomes "1,048,576".
std::string grouped(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string text;
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) text += ',';
    text += digits[at];
  }
  return text;
}

}  // namespace

std::string sizeText(std::uint64_t size) {
  if (size % kKilobyte == 0)
    return std::to_string(size / kKilobyte) + " KB (" + grouped(size) + " bytes)";
  return grouped(size) + " bytes";
}

std::string hexText(std::uint64_t value, int digits) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
  return buffer;
}

std::string describeInesHeader(const InesHeader& header) {
  if (!header.present) return "none (headerless)";
  const std::string chr =
      header.chrKb == 0 ? "RAM (no CHR-ROM)" : std::to_string(header.chrKb) + " KB";
  std::string text = std::string(header.nes2 ? "NES 2.0" : "iNES") + ", mapper " +
                     std::to_string(header.mapper) + ", PRG " + std::to_string(header.prgKb) +
                     " KB, CHR " + chr;
  if (header.fourScreen)
    text += ", four-screen";
  else
    text += header.vertical ? ", vertical mirroring" : ", horizontal mirroring";
  if (header.battery) text += ", battery";
  if (header.trainer) text += ", 512-byte trainer";
  return text;
}

std::string headerHexText(const Bytes& header) {
  std::string text;
  for (const std::uint8_t byte : header) {
    if (!text.empty()) text += ' ';
    text += hexText(byte, 2);
  }
  return text;
}

std::string headerCharacters(const Bytes& header) {
  std::string text;
  for (const std::uint8_t byte : header)
    text += byte < 0x20 || byte > 0x7E ? '.' : static_cast<char>(byte);
  return text;
}

std::string chipDescription(int chip) {
  if (chip == 0) return chipName(chip);
  char clock[32];
  std::snprintf(clock, sizeof clock, "%.1f", chipClockMhz(chip));
  return chipName(chip) + " \u2014 " + clock +
         " MHz (coprocessor header: FXPak Pro / emulators only, " +
         std::to_string(chipRomReach(chip) / kMegabyte) + " MB max)";
}

}  // namespace tbp
