// The config block, the ROM size and the coprocessor cartridge header.
#include <algorithm>
#include <array>
#include <stdexcept>

#include "port/byte_access.h"
#include "port/image_places.h"
#include "port/port_image.h"

namespace tbp {

namespace {

constexpr std::size_t megabyte = 0x100000;
constexpr std::size_t maxLoRomSize = 0x400000;
constexpr std::size_t romUnitShift = 15;
constexpr std::size_t freeSpaceAlign = 4096;

// Config block fields.
constexpr std::size_t configMinimum = 16;
constexpr std::size_t configTurbo = 4;
constexpr std::size_t configChord = 5;
constexpr std::size_t configRomSize = 14;
constexpr std::size_t configChip = 15;
constexpr std::uint8_t chipSlowFlag = 0x80;
constexpr std::uint8_t chipTypeMask = 0x7F;

constexpr int noChip = 0;
constexpr int sa1 = 4;
constexpr int defaultTurbo = 2;
constexpr int defaultChord = 30;

// Header values of the boards the tool writes.
constexpr std::uint8_t loRomSlow = 0x20;
constexpr std::uint8_t loRomFast = 0x30;
constexpr std::uint8_t loRomSa1 = 0x23;
constexpr std::uint8_t cartSuperFx = 0x15;
constexpr std::uint8_t cartSa1 = 0x32;
constexpr std::uint8_t cartRomRamBattery = 0x02;
constexpr std::uint8_t expansionSuperFx = 0x05;
constexpr std::uint8_t expansionNone = 0xFF;

struct ChipInfo {
  const char* name;
  double clockMhz;
  std::size_t romReach;
};

constexpr std::array<ChipInfo, 5> chips = {{
    {"None", 0.0, 4 * megabyte},
    {"SuperFX (GSU-1)", 10.7, 1 * megabyte},
    {"SuperFX 2 (GSU-2)", 21.4, 2 * megabyte},
    {"SuperFX 2 Rev 1 (GSU-2-SP1)", 21.4, 2 * megabyte},
    {"SA-1", 10.7, 4 * megabyte},
}};

bool knownChip(int type) { return type >= 0 && type < static_cast<int>(chips.size()); }

bool isSuperFx(int type) { return type >= 1 && type <= 3; }

bool isSuperFxBoard(std::uint8_t mapMode, std::uint8_t cartType) {
  return mapMode == loRomSlow &&
         (cartType == 0x13 || cartType == 0x14 || cartType == 0x15 || cartType == 0x1A);
}

bool isSa1Board(std::uint8_t mapMode, std::uint8_t cartType) {
  return mapMode == loRomSa1 && (cartType == 0x32 || cartType == 0x34 || cartType == 0x35);
}

// The smallest k >= 1 with 2^k KB >= size.
std::uint8_t romSizeCode(std::size_t size) {
  const std::size_t kilobytes = size / 1024;
  std::uint8_t code = 1;
  while ((std::size_t{1} << code) < kilobytes) {
    ++code;
  }
  return code;
}

std::size_t roundUp(std::size_t value, std::size_t unit) {
  return value % unit == 0 ? value : value + (unit - value % unit);
}

// Gives the port the cartridge header of a SuperFX or SA-1 board. The chip byte remembers
// whether FastROM was off before any chip was set, so that removing the chip restores it.
void installChip(PortImage& port, int type) {
  const std::size_t reach = chipRomReach(type);
  const std::size_t chipByte = port.layout().config + configChip;
  // The engine's config block must stay inside what the chip can reach, too.
  if (port.contentSize() > reach || port.layout().config > reach - configMinimum) {
    throw std::runtime_error(chipName(type) + ": the game needs more than the chip's ROM reach");
  }
  if (port.bytes().size() > reach) {
    port.setRomSize(reach);
  }
  Bytes& image = port.bytes();
  const bool slow =
      port.chip() != noChip ? (image[chipByte] & chipSlowFlag) != 0 : (port.flags() & 1u) == 0;
  port.setSwitch(0, false);
  const bool superFx = type != sa1;
  image[place::mapMode] = superFx ? loRomSlow : loRomSa1;
  image[place::cartType] = superFx ? cartSuperFx : cartSa1;
  image[place::expansionRam] = superFx ? expansionSuperFx : expansionNone;
  image[chipByte] = static_cast<std::uint8_t>((slow ? chipSlowFlag : 0) | type);
}

// Back to a plain LoROM board with battery RAM; FastROM comes back on exactly when it was on
// before the chip was set.
void removeChip(PortImage& port) {
  Bytes& image = port.bytes();
  const std::size_t chipByte = port.layout().config + configChip;
  const bool wasSlow = (image[chipByte] & chipSlowFlag) != 0;
  image[place::cartType] = cartRomRamBattery;
  image[place::expansionRam] = expansionNone;
  image[place::mapMode] = wasSlow ? loRomSlow : loRomFast;
  image[chipByte] = 0;
  port.setSwitch(0, !wasSlow);
}

}  // namespace

std::string chipName(int type) { return knownChip(type) ? chips[type].name : "None"; }

double chipClockMhz(int type) { return knownChip(type) ? chips[type].clockMhz : 0.0; }

std::size_t chipRomReach(int type) { return knownChip(type) ? chips[type].romReach : 2 * megabyte; }

bool PortImage::hasConfig() const {
  const std::size_t offset = layout().config;
  return offset != 0 && detail::fits(bytes_, offset, configMinimum) && bytes_[offset] == 'C' &&
         bytes_[offset + 1] == 'F' && bytes_[offset + 2] == 'G' && bytes_[offset + 3] == '1';
}

int PortImage::chip() const {
  if (bytes_.size() < place::firstBank) {
    return noChip;
  }
  const std::uint8_t mapMode = bytes_[place::mapMode];
  const std::uint8_t cartType = bytes_[place::cartType];
  if (isSuperFxBoard(mapMode, cartType)) {
    if (!hasConfig()) {
      return 2;
    }
    const int stored = bytes_[layout().config + configChip] & chipTypeMask;
    return isSuperFx(stored) ? stored : 2;
  }
  return isSa1Board(mapMode, cartType) ? sa1 : noChip;
}

void PortImage::setRomSize(std::size_t size) {
  if (size < place::firstBank || snesRomSize(size) != size) {
    throw std::runtime_error("not a valid SNES ROM size (use min, 2m or 4m)");
  }
  const std::size_t content = contentSize();
  if (content > size) {
    throw std::runtime_error("that size would cut off content");
  }
  if (size > maxLoRomSize) {
    throw std::runtime_error("LoROM tops out at 4 MB");
  }
  const int current = chip();
  if (isSuperFx(current) && size > chipRomReach(current)) {
    throw std::runtime_error(chipName(current) + " reaches " +
                             std::to_string(chipRomReach(current) / megabyte) +
                             " MB of ROM at most");
  }
  bytes_.resize(size, 0xFF);
  bytes_[place::romSizeCode] = romSizeCode(size);
  if (hasConfig()) {
    bytes_[layout().config + configRomSize] = static_cast<std::uint8_t>(size >> romUnitShift);
  }
  if (isPort()) {
    const std::size_t freeStart = roundUp(content, freeSpaceAlign);
    if (freeStart < size) {
      detail::writeU32(bytes_, place::freeSpaceStart, static_cast<std::uint32_t>(freeStart));
      detail::writeU32(bytes_, place::freeSpaceLength,
                       static_cast<std::uint32_t>(size - freeStart));
    }
  }
  fixChecksum();
}

void PortImage::setChip(int type) {
  if (!knownChip(type)) {
    throw std::runtime_error("unknown chip");
  }
  if (!isPort() || !hasConfig()) {
    throw std::runtime_error("this port's config block is unknown: the chip can't be set");
  }
  if (type == noChip) {
    removeChip(*this);
  } else {
    installChip(*this, type);
  }
  fixChecksum();
}

int PortImage::turboCycle() const {
  return hasConfig() ? bytes_[layout().config + configTurbo] : defaultTurbo;
}

void PortImage::setTurboCycle(int frames) {
  if (hasConfig()) {
    bytes_[layout().config + configTurbo] = static_cast<std::uint8_t>(std::clamp(frames, 2, 60));
  }
}

int PortImage::chordHold() const {
  return hasConfig() ? bytes_[layout().config + configChord] : defaultChord;
}

void PortImage::setChordHold(int frames) {
  if (hasConfig()) {
    bytes_[layout().config + configChord] = static_cast<std::uint8_t>(std::clamp(frames, 1, 255));
  }
}

}  // namespace tbp
