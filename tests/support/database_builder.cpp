#include "support/database_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "formats/checksums.h"
#include "formats/patches.h"

namespace tbp::testkit {
namespace {

bool hasInesMagic(const tbp::Bytes& nes) {
  return nes.size() >= 16 && nes[0] == 0x4E && nes[1] == 0x45 && nes[2] == 0x53 && nes[3] == 0x1A;
}

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      out += "\\u00" + hex(static_cast<unsigned char>(c), 2);
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string patchName(const GameFixture& game) {
  return game.basePatch.empty() ? game.id + ".bps" : game.basePatch;
}

std::string nesObject(const GameFixture& game) {
  const tbp::Bytes& nes = game.nes;
  tbp::Bytes header = game.header.value_or(
      hasInesMagic(nes) ? tbp::Bytes(nes.begin(), nes.begin() + 16) : tbp::Bytes{});
  std::string headerHex;
  for (std::uint8_t b : header) headerHex += hex(b, 2);
  const std::string in = "\n      ";
  std::string out =
      "{" + in + "\"size\": " + std::to_string(nes.size()) + "," + in +
      "\"crc32\": " + jsonString(hex(tbp::crc32(nes.data(), nes.size()), 8)) + "," + in +
      "\"crc16\": " + jsonString(hex(tbp::crc16(nes.data(), nes.size()), 4)) + "," + in +
      "\"sha256\": " + jsonString(game.listSha256 ? tbp::sha256Hex(nes.data(), nes.size()) : "") + "," +
      in + "\"header\": " + jsonString(headerHex);
  if (game.listPayload) {
    // The game data without the 16-byte header, the form dump lists use.
    const std::size_t skip = hasInesMagic(nes) ? 16 : 0;
    const std::uint8_t* payload = nes.data() + skip;
    const std::size_t length = nes.size() - skip;
    out += "," + in + "\"payload\": {\"crc32\": " + jsonString(hex(tbp::crc32(payload, length), 8)) +
           ", \"sha256\": " + jsonString(game.listSha256 ? tbp::sha256Hex(payload, length) : "") + "}";
  }
  return out + "\n    }";
}

std::string gameObject(const GameFixture& game) {
  const std::string in = "\n    ";
  std::string aliases = "[";
  for (std::size_t i = 0; i < game.aliases.size(); ++i)
    aliases += (i ? ", " : "") + jsonString(game.aliases[i]);
  aliases += "]";
  return "{" + in + "\"id\": " + jsonString(game.id) + "," + in + "\"title\": " + jsonString(game.title) +
         "," + in + "\"port\": " + jsonString(game.port) + "," + in + "\"file\": " + jsonString(game.file) +
         "," + in + "\"aliases\": " + aliases + "," + in + "\"notes\": " + jsonString(game.notes) +
         "," + in + "\"base_patch\": " + jsonString(patchName(game)) + "," + in +
         "\"nes\": " + nesObject(game) + "\n  }";
}

}  // namespace

std::string gameDatabaseJson(const std::vector<GameFixture>& games) {
  std::string out = "{\n  \"format\": 1,\n  \"games\": [";
  for (std::size_t i = 0; i < games.size(); ++i)
    out += (i ? ",\n  " : "\n  ") + gameObject(games[i]);
  return out + (games.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void writeFixtureFile(const std::string& path, const tbp::Bytes& data) {
  const std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string writeGameDatabase(const std::string& dir, const std::vector<GameFixture>& games) {
  for (const GameFixture& game : games)
    writeFixtureFile(dir + "/" + patchName(game), tbp::createBps(game.nes, game.image, game.port));
  const std::string json = gameDatabaseJson(games);
  const std::string path = dir + "/games.json";
  writeFixtureFile(path, tbp::Bytes(json.begin(), json.end()));
  return path;
}

}  // namespace tbp::testkit
