#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/bytes.h"

namespace tbp::testkit {

// One game of a generated games.json: its identity, the exact NES file the database expects
// and the port its base patch builds.
struct GameFixture {
  std::string id;
  std::string title;
  std::string port;
  std::string file;
  std::string notes;
  std::vector<std::string> aliases;
  tbp::Bytes nes;                    // the expected NES file, header included
  tbp::Bytes image;                  // the port image the base patch turns it into
  std::optional<tbp::Bytes> header;  // nes.header to list; default: the file's first 16 bytes
  std::string basePatch;             // file name of the base patch; default id + ".bps"
  bool listSha256 = true;            // nes.sha256 and nes.payload.sha256
  bool listPayload = true;           // nes.payload (CRC32 and SHA-256 without the header)
};

// The games.json text for these games (the base patch names as they would be written).
std::string gameDatabaseJson(const std::vector<GameFixture>& games);

// Writes dir/games.json and, for every game, dir/<base patch> made with createBps from the NES
// file to the port image. Creates dir when missing. Returns the path of games.json.
// Throws std::runtime_error when a file cannot be written.
std::string writeGameDatabase(const std::string& dir, const std::vector<GameFixture>& games);

// Writes bytes to path, creating the parent directories (for fixture files of any kind).
void writeFixtureFile(const std::string& path, const tbp::Bytes& data);

}  // namespace tbp::testkit
