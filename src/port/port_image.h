#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/bytes.h"

namespace tbp {

// The internal SNES cartridge header, decoded. The numeric fields are copied raw from the
// header; `valid` is false when the image is too short to hold a header at all.
struct SnesHeader {
  bool valid = false;
  bool hiRom = false;
  std::string title;
  std::uint8_t mapMode = 0;
  std::uint8_t cartType = 0;
  std::uint8_t romSizeCode = 0;
  std::uint8_t ramSizeCode = 0;
  std::uint8_t region = 0;
  std::uint8_t developer = 0;
  std::uint8_t version = 0;
  std::uint16_t complement = 0;
  std::uint16_t checksum = 0;
};

// The parsed manifest: where the port keeps its data tables (file offsets, 0 = the port has
// no such table) and which switch bits it offers (empty = all).
struct PortLayout {
  int layoutVersion = 0;
  std::string layoutName = "unknown";
  std::size_t fonts = 0;
  std::size_t fontTable = 0;
  std::size_t symbolsA = 0;
  std::size_t symbolsAHints = 0;
  std::size_t symbolsB = 0;
  std::size_t symbolsBHints = 0;
  std::size_t splashTable = 0;
  std::size_t splashSound = 0;
  std::size_t config = 0;
  std::size_t paletteLuts = 0;
  std::size_t msuTracks = 0;
  std::size_t msuLoops = 0;
  std::vector<int> switches;
};

// One engine switch of the switch word.
struct SwitchInfo {
  int bit;
  const char* key;
  const char* label;
  const char* group;
  const char* tooltip;
};

// The known switches, in display order.
const std::vector<SwitchInfo>& switchTable();

// An NES song the port's manifest names for MSU-1 replacement.
struct MsuSong {
  int index = 0;
  std::string name;
};

// Font ids of the two symbol pages (fonts are 0..15).
inline constexpr int symbolPageA = 1000;
inline constexpr int symbolPageB = 1001;

// Glyphs in a font or symbol page: 128 for the symbol pages, 96 for a font.
int glyphsPerFont(int fontId);

// Coprocessor types: 0 none, 1 GSU-1, 2 GSU-2, 3 GSU-2-SP1, 4 SA-1.
inline constexpr int kChipNone = 0;
inline constexpr int kChipGsu1 = 1;
inline constexpr int kChipTypes = 5;
std::string chipName(int type);
double chipClockMhz(int type);
std::size_t chipRomReach(int type);

// The smallest valid SNES ROM size not below `size`.
std::size_t snesRomSize(std::size_t size);

// The header fields at base, taken as they are; `valid` false when they run past the end.
SnesHeader snesHeaderAt(const Bytes& image, std::size_t base);
// The checksum an SNES image should carry in the header whose complement is at complementPlace.
std::uint16_t snesChecksum(const Bytes& image, std::size_t complementPlace);

std::string describeMapMode(const SnesHeader& header);
std::string describeCartridge(const SnesHeader& header);
std::string describeRegion(const SnesHeader& header);

// The SNES image of a port, with its manifest parsed on first use and then cached.
// A plain value: copying copies the bytes and the cached layout. Every read and write is
// range-checked against the image length.
class PortImage {
 public:
  PortImage() = default;
  explicit PortImage(Bytes image) : bytes_(std::move(image)) {}

  Bytes& bytes() { return bytes_; }
  const Bytes& bytes() const { return bytes_; }

  // Image and SNES header.
  bool isPort() const;
  SnesHeader header() const;
  std::size_t contentSize() const;
  void fixChecksum();
  bool checksumValid() const;

  // The NES ROM file the port was built from, when a copy is embedded.
  std::string nesDigestText() const;
  std::int64_t findEmbeddedNes() const;
  std::size_t embeddedNesSize() const;
  Bytes embeddedNes() const;

  // Manifest and switches.
  std::string manifestText() const;
  std::string portName() const;
  const PortLayout& layout() const;
  bool supportsSwitch(int bit) const;
  std::uint32_t flags() const;
  void setSwitch(int bit, bool on);
  int paletteSlot() const;
  void setPaletteSlot(int slot);
  std::uint8_t buttonAction(int button) const;
  void setButtonAction(int button, std::uint8_t action);

  // ROM size, config block and coprocessor header.
  int chip() const;
  void setChip(int type);
  void setRomSize(std::size_t size);
  bool hasConfig() const;
  int turboCycle() const;
  void setTurboCycle(int frames);
  int chordHold() const;
  void setChordHold(int frames);

  // Fonts and symbols.
  bool hasFonts() const;
  int fontCount() const;
  std::string fontName(int font) const;
  std::size_t glyphOffset(int font, int glyph) const;
  Bytes glyph(int font, int glyph) const;
  void setGlyph(int font, int glyph, const Bytes& rows);
  int symbolHint(int page, int symbol) const;
  void setSymbolHint(int page, int symbol, int value);

  // Splash sounds, in slots 0 to kSplashSoundSlots - 1.
  static constexpr int kSplashSoundSlots = 3;
  bool hasSplashSounds() const;
  bool splashSoundPresent(int slot) const;
  void clearSplashSound(int slot);

  // MSU-1 tables.
  bool hasMsu1() const;
  std::vector<MsuSong> msuSongs() const;
  int msuTrack(int song) const;
  void setMsuTrack(int song, int track);
  bool msuLoop(int song) const;
  void setMsuLoop(int song, bool on);

 private:
  // The manifest text inside the image, without a copy (empty if none).
  std::string_view manifestView() const;
  std::uint16_t expectedChecksum() const;

  Bytes bytes_;
  mutable bool parsed_ = false;
  mutable PortLayout layout_;
};

}  // namespace tbp
