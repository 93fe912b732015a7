#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "build/game_database.h"
#include "formats/bytes.h"

namespace tbp {

// The iNES / NES 2.0 header decoded from the first 16 bytes of an NES file. Every member is
// zero or false when the file has no header. Sizes come from bytes 4 and 5 alone (NES 2.0's
// extended size byte is not decoded).
struct InesHeader {
  bool present = false;
  bool nes2 = false;
  bool ripperTag = false;  // an old header whose bytes 7-15 carry a dumping tool's text
  std::int32_t mapper = 0;
  std::int32_t prgKb = 0;
  std::int32_t chrKb = 0;
  bool vertical = false;
  bool battery = false;
  bool trainer = false;
  bool fourScreen = false;
  std::uint64_t expectedSize = 0;  // the file size the header announces
};

// The outcome of identification: the recognised game and the exact NES file its base patch
// expects, or no game at all.
struct NesRom {
  const GameEntry* game = nullptr;
  Bytes rom;
  std::string note;  // empty after an exact match; says how the header was repaired otherwise
};

// At least 16 bytes starting with "NES" 0x1A.
bool hasInesMagic(const Bytes& file);

InesHeader parseInesHeader(const Bytes& file);

// Exact match first, then the same game data under the expected header. Never throws.
NesRom identifyNesRom(const GameDatabase& database, const Bytes& file);

// The normalised form of a file or game name: no directory, no extension, nothing inside
// brackets, only lower-case letters and digits.
std::string nameKey(const std::string& text);

// Whether a file name (without its directory) names the entry's game.
bool nameMatches(const GameEntry& entry, const std::string& fileName);

// The entries the file resembles (by name, cartridge type and size), best first.
std::vector<const GameEntry*> suggestGames(const GameDatabase& database, const Bytes& file,
                                           const std::string& fileName);

// The plain-text report shown when a file matches no game: what the file is, what it most
// resembles and which exact dump to look for.
std::string describeUnknownRom(const std::string& fileName, const GameDatabase& database,
                               const Bytes& file);

}  // namespace tbp
