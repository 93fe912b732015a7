#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "formats/bytes.h"

namespace tbp::testkit {

// How the port's manifest text looks.
enum class ManifestKind {
  LayoutV1,       // "tables" with "layout": 1 and the offset of every table present
  OlderBuild,     // an "RO1" build: no "tables", the tables at the fixed places of that build
  ForeignLayout,  // "tables" with "layout": 2, which the tool does not know
  Broken,         // a manifest text that is not valid JSON (cut off in the middle)
  Missing         // manifest pointer 0: no text at all
};

// One NES song the manifest names for MSU-1 replacement.
struct SongName {
  int index;
  std::string name;
  bool loops = true;  // jingles play once
};

struct PortOptions {
  ManifestKind manifest = ManifestKind::LayoutV1;
  std::string portName;  // empty: "ZV1 Bexulo engine 1.4" (or "RO1 ..." for OlderBuild)
  std::string title = "BEXULO PORT";  // SNES header title, at most 21 characters
  int fontCount = 4;                  // 0..16 (OlderBuild 0..12); 0 leaves out both font tables
  bool symbolPages = true;            // symbol page A and its hints
  bool symbolPageB = true;            // symbol page B and its hints (needs symbolPages)
  bool splashSounds = true;           // the splash sound table (slots 1 and 2 hold a sound)
  bool msu1 = true;                   // "msu1" in the manifest and the track and loop tables
  bool config = true;                 // the "CFG1" config block
  bool paletteLuts = true;            // palette tables and splash table
  int chip = 0;                       // coprocessor header 0..4, as the tool would set it
  bool fastRom = true;                // FastROM switch and header bit (cleared under a chip)
  int paletteSlot = 2;                // bits 15..17 of the switch word
  bool embedNes = true;               // the NES file inside the image
  bool storeNesDigest = true;         // its SHA-256 at 0x7C50 (else 0xFF bytes)
  bool bankCopies = true;             // copies of the NES program banks
  std::size_t romSize = 0;            // 0: 1 MB, or the next power of two holding the content
  std::vector<int> switchesOn{9, 19, 24, 25, 27};
  std::vector<int> offeredSwitches{0, 1, 8, 9, 10, 11, 12, 14, 19, 20, 21, 24, 25, 27, 29, 31};
  std::vector<SongName> msuSongs{{0x01, "Title"},         {0x02, "Overworld"},
                                 {0x03, "Underground"},   {0x05, "Castle"},
                                 {0x0A, "Boss Battle"},   {0x0B, "Victory", false},
                                 {0x1F, "Ending", false}, {0x20, "Game Over", false}};
  std::uint32_t seed = 7;  // engine bytes, sound samples and other filler
};

// Where the builder put everything (file offsets; 0 = not present), for tests to assert against.
struct PortPlaces {
  std::size_t imageSize = 0;
  std::size_t contentEnd = 0;  // one past the last byte that is not free space
  std::size_t manifestText = 0;
  std::string manifest;  // the text itself (without its NUL)
  std::uint32_t switchWord = 0;
  std::size_t fonts = 0;
  std::size_t fontTable = 0;
  std::size_t symbolsA = 0;
  std::size_t symbolsAHints = 0;
  std::size_t symbolsB = 0;
  std::size_t symbolsBHints = 0;
  std::size_t splashTable = 0;
  std::size_t splashSound = 0;
  std::vector<std::size_t> splashSamples;  // sample offset per slot (0 = none)
  std::size_t config = 0;
  std::size_t paletteLuts = 0;
  std::size_t msuTracks = 0;
  std::size_t msuLoops = 0;
  std::size_t symbolTable = 0;  // the engine's symbol table (pointer at 0x7C20)
  std::size_t graphics = 0;     // NES graphics converted to SNES 4bpp tiles
  std::size_t embeddedNes = 0;
  std::size_t embeddedNesSize = 0;
  std::vector<std::vector<std::size_t>> bankCopies;  // per NES program bank, ascending
  std::size_t changedCopy = 0;              // the copy of the fixed bank the engine patched
  std::vector<std::size_t> changedOffsets;  // offsets inside that bank where the copy differs
};

struct PortFixture {
  tbp::Bytes image;
  PortPlaces places;
};

// Fixed places of the ZUVU block and the header (file offsets).
inline constexpr std::size_t kZuvuBlock = 0x7C00;
inline constexpr std::size_t kButtonMap = 0x7C08;
inline constexpr std::size_t kSwitchWord = 0x7C14;
inline constexpr std::size_t kFreeSpaceStart = 0x7C18;
inline constexpr std::size_t kFreeSpaceLength = 0x7C1C;
inline constexpr std::size_t kSymbolTablePointer = 0x7C20;
inline constexpr std::size_t kManifestPointer = 0x7C26;
inline constexpr std::size_t kNesDigest = 0x7C50;
inline constexpr std::size_t kLoRomHeader = 0x7FC0;

// The button map a default port carries (B, Y, Select, Start, Up, Down, Left, Right, A, X, L, R).
inline constexpr std::uint8_t kDefaultButtonMap[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xFF, 0xFF};

// An SNES LoROM port of the given NES file (which must carry an iNES header), laid out as a
// real port: engine, ZUVU block, manifest, data tables, copies of the NES program banks, the
// embedded NES file and free space of 0xFF, with a correct SNES checksum.
// Throws std::invalid_argument for options that cannot be built.
PortFixture makePortFixture(const tbp::Bytes& nes, const PortOptions& options = {});
tbp::Bytes makePortImage(const tbp::Bytes& nes, const PortOptions& options = {});

// The SNES checksum rule: the first power-of-two part once, the rest repeated to fill it; the
// complement and checksum at 0x7FDC are written as FFFF 0000 before summing.
void writeSnesChecksum(tbp::Bytes& image);

}  // namespace tbp::testkit
