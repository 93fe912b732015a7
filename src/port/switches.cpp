// The switch word, the palette slot and the button map of the manifest block.
#include <stdexcept>

#include "port/byte_access.h"
#include "port/image_places.h"
#include "port/port_image.h"

namespace tbp {

namespace {

constexpr int fastRomBit = 0;
constexpr int paletteShift = 15;
constexpr std::uint32_t paletteMask = 7u << paletteShift;
constexpr std::uint8_t plainLoRom = 0x20;
constexpr std::uint8_t fastRomMapBit = 0x10;

std::size_t buttonPlace(int button) {
  if (button < 0 || button >= place::buttonCount) {
    throw std::out_of_range("button index");
  }
  return place::buttonMap + static_cast<std::size_t>(button);
}

}  // namespace

std::uint32_t PortImage::flags() const {
  if (!detail::fits(bytes_, place::switchWord, 4)) {
    return 0;
  }
  return detail::readU32(bytes_, place::switchWord);
}

void PortImage::setSwitch(int bit, bool on) {
  if (bit == fastRomBit && on && chip() != 0) {
    throw std::runtime_error("FastROM can't be on with a SuperFX chip (SlowROM boards)");
  }
  const std::uint32_t mask = 1u << (static_cast<unsigned>(bit) & 31u);
  const std::uint32_t word = on ? (flags() | mask) : (flags() & ~mask);
  detail::writeU32(bytes_, place::switchWord, word);
  // The header's FastROM bit follows the switch on a plain LoROM board without a coprocessor.
  if (bit == fastRomBit && bytes_.size() >= place::firstBank && chip() == 0) {
    std::uint8_t& mapMode = bytes_[place::mapMode];
    if ((mapMode & ~fastRomMapBit) == plainLoRom) {
      mapMode = on ? (plainLoRom | fastRomMapBit) : plainLoRom;
    }
  }
}

int PortImage::paletteSlot() const {
  return static_cast<int>((flags() & paletteMask) >> paletteShift);
}

void PortImage::setPaletteSlot(int slot) {
  const std::uint32_t bits = (static_cast<std::uint32_t>(slot) & 7u) << paletteShift;
  detail::writeU32(bytes_, place::switchWord, (flags() & ~paletteMask) | bits);
}

std::uint8_t PortImage::buttonAction(int button) const {
  return detail::readU8(bytes_, buttonPlace(button));
}

void PortImage::setButtonAction(int button, std::uint8_t action) {
  detail::writeU8(bytes_, buttonPlace(button), action);
}

}  // namespace tbp
