#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/bytes.h"

namespace tbp {

// One game of games.json: how to recognise its NES ROM and which base patch builds its port.
struct GameEntry {
  std::string id;
  std::string title;
  std::string port;
  std::string file;
  std::string basePatch;  // key "base_patch", relative to GameDatabase::directory
  std::string notes;
  std::vector<std::string> aliases;
  std::uint64_t nesSize = 0;       // nes.size, header included
  std::uint32_t nesCrc32 = 0;      // nes.crc32
  std::uint16_t nesCrc16 = 0;      // nes.crc16
  std::string nesSha256;           // nes.sha256, lower-case hex or empty
  Bytes nesHeader;                 // nes.header, normally 16 bytes
  std::uint32_t payloadCrc32 = 0;  // nes.payload.crc32, without the 16-byte header
  std::string payloadSha256;       // nes.payload.sha256
};

struct GameDatabase {
  std::string directory;  // where games.json was loaded from; "." when the path had no separator
  std::vector<GameEntry> games;

  // The first entry whose size, CRC32 and (when listed) SHA-256 equal those of the whole file.
  const GameEntry* findExact(const Bytes& file) const;
  // directory + "/" + entry.basePatch
  std::string basePatchPath(const GameEntry& entry) const;
};

// The first existing file among programDir + "/games/games.json", + "/lib/games/games.json",
// + "/../Resources/games/games.json" and workingDir + "/games/games.json".
std::optional<std::string> locateGameDatabase(const std::string& programDir,
                                              const std::string& workingDir);

// Loads games.json (UTF-8 path). Throws with the file, JSON or "stoul" message on failure.
GameDatabase loadGameDatabase(const std::string& path);

}  // namespace tbp
