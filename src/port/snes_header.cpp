// Text descriptions of the SNES header fields and the valid SNES ROM sizes.
#include <array>
#include <bit>
#include <limits>

#include "port/port_image.h"

namespace tbp {

namespace {

constexpr std::size_t romUnit = 0x8000;

std::string mapTypeName(int type) {
  switch (type) {
    case 0:
      return "LoROM";
    case 1:
      return "HiROM";
    case 2:
      return "LoROM (S-DD1)";
    case 3:
      return "LoROM (SA-1)";
    case 5:
      return "ExHiROM";
    default:
      return "map $" + std::to_string(type);
  }
}

std::string coprocessorFamily(int family) {
  static const std::array<const char*, 16> names = {
      "DSP", "SuperFX (GSU)", "OBC1",  "SA-1", "S-DD1", "S-RTC", "?", "?", "?", "?", "?", "?", "?",
      "?",   "other",         "custom"};
  return names[static_cast<std::size_t>(family & 0x0F)];
}

}  // namespace

std::size_t snesRomSize(std::size_t size) {
  // No ROM comes near this; answering "no valid size" keeps the arithmetic below exact.
  if (size > std::numeric_limits<std::size_t>::max() / 4) {
    return std::numeric_limits<std::size_t>::max();
  }
  std::size_t rounded = romUnit;
  if (size > romUnit) {
    const std::size_t units = size / romUnit + (size % romUnit != 0 ? 1 : 0);
    rounded = units * romUnit;
  }
  const std::size_t p = std::bit_floor(rounded);
  if (rounded == p) {
    return p;
  }
  const std::size_t q = std::max<std::size_t>(2, std::bit_ceil(rounded - p));
  return p + q;
}

std::string describeMapMode(const SnesHeader& header) {
  std::string text = mapTypeName(header.mapMode & 0x0F);
  if (header.mapMode == 0x20 && (header.cartType >> 4) == 1) {
    text += " (SuperFX)";
  }
  text += (header.mapMode & 0x10) != 0 ? ", FastROM" : ", SlowROM";
  return text;
}

std::string describeCartridge(const SnesHeader& header) {
  const int low = header.cartType & 0x0F;
  const std::string chip = " + " + coprocessorFamily(header.cartType >> 4);
  std::string text = "ROM";
  switch (low) {
    case 0:
      return text + " only";
    case 1:
      return text + " + RAM";
    case 2:
      return text + " + RAM + battery";
    case 4:
      return text + chip + " + RAM";
    case 5:
      return text + chip + " + RAM + battery";
    case 6:
      return text + chip + " + battery";
    default:
      return text + chip;
  }
}

std::string describeRegion(const SnesHeader& header) {
  static const std::array<const char*, 18> names = {
      "Japan",     "USA / Canada", "Europe",        "Sweden",  "Finland", "Denmark",
      "France",    "Netherlands",  "Spain",         "Germany", "Italy",   "China",
      "Indonesia", "Korea",        "International", "Canada",  "Brazil",  "Australia"};
  if (header.region < names.size()) {
    return names[header.region];
  }
  return "region $" + std::to_string(header.region);
}

}  // namespace tbp
