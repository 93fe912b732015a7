#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "build/game_database.h"
#include "formats/bytes.h"
#include "formats/patches.h"
#include "port/port_image.h"

// What the program reports about a ROM: computed here once, rendered as HTML by the information
// page and as plain text or JSON by the command-line tool.
namespace tbp {

struct Digests {
  std::uint64_t size = 0;
  std::uint16_t crc16 = 0;
  std::uint32_t crc32 = 0;
  std::string sha256;
};
Digests digestsOf(const Bytes& data);

// An SNES image: its digests and, when it has one, its internal header.
struct SnesImageFacts {
  Digests digests;
  SnesHeader header;
  std::string mapMode;               // describeMapMode
  std::string cartridge;             // describeCartridge
  std::string region;                // describeRegion
  std::uint64_t romSizeClassKb = 0;  // 2^ROM size byte, 0 when the byte names no real size
  std::uint64_t sramKb = 0;          // 2^RAM size byte, 0 for none
  bool checksumValid = false;
};
SnesImageFacts snesImageFacts(const PortImage& image);
// The same, with the image's digests already known (from digestsOf of its bytes).
SnesImageFacts snesImageFacts(const PortImage& image, Digests digests);

// What a port's manifest and settings say. `image` is the port as it is; `saved` the image as
// it would be written (its content end is the one reported).
struct ManifestFacts {
  std::string portName;
  std::string spec;  // empty when absent or when the manifest text does not parse
  std::string layoutName;
  std::size_t switchesListed = 0;
  std::uint32_t flags = 0;
  std::vector<SwitchInfo> switchesOn;   // set and offered, in table order
  std::vector<SwitchInfo> switchesOff;  // offered but clear, in table order
  int paletteSlot = 0;
  int chip = 0;
  std::vector<std::string> fontNames;
  std::vector<int> splashSounds;  // slots with a sound, named from 1 as the Splash & Sound page
  bool hasMsu1 = false;
  std::vector<MsuSong> songs;
  int songsReplaced = 0;  // songs whose track byte points at an MSU-1 track
  std::size_t contentEnd = 0;
  std::size_t smallestSize = 0;  // snesRomSize of contentEnd
};
ManifestFacts manifestFacts(const PortImage& image, const PortImage& saved);

// The NES ROM a port was built from, as far as the port and the database tell.
struct SourceNesFacts {
  std::string expectedSha256;        // recorded in the port; empty when none
  const GameEntry* game = nullptr;   // the known game, else the database's match of the digest
  std::int64_t embeddedOffset = -1;  // the embedded copy, -1 when none
  std::size_t embeddedSize = 0;
};
// `knownGame` wins when set; otherwise the last database entry whose SHA-256 is the recorded
// digest (database may be null).
SourceNesFacts sourceNesFacts(const PortImage& image, const GameEntry* knownGame,
                              const GameDatabase* database);

// A game's base patch as read from disk now: its size and BPS header, or the error that
// stopped reading it.
struct BasePatchFacts {
  bool readable = false;
  std::uint64_t fileSize = 0;
  BpsHeader header;
  std::string error;
};
BasePatchFacts basePatchFacts(const GameDatabase& database, const GameEntry& entry);

}  // namespace tbp
