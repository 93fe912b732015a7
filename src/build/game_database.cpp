#include "build/game_database.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>

#include "build/files.h"
#include "formats/checksums.h"
#include "formats/json.h"

namespace tbp {
namespace {

// games.json lists its hex fields the way strtoul reads them in base 16; std::stoul is that
// conversion and fails with std::invalid_argument / std::out_of_range whose what() is "stoul".
std::uint64_t hexValue(const std::string& text) { return std::stoul(text, nullptr, 16); }

std::string stringOf(const JsonValue& value) {
  return value.kind() == JsonKind::String ? value.text() : std::string();
}

// A missing or non-string hex field converts the text "0".
std::uint64_t hexOf(const JsonValue& value) {
  return hexValue(value.kind() == JsonKind::String ? value.text() : std::string("0"));
}

// Truncation toward zero; a number the unsigned 64-bit range cannot hold (negative, too large,
// not finite) stores the default 0 instead of an undefined conversion.
std::uint64_t sizeOf(const JsonValue& value) {
  if (value.kind() != JsonKind::Number) return 0;
  const double truncated = std::trunc(value.number());
  constexpr double kTwoTo64 = 18446744073709551616.0;
  if (!(truncated >= 0.0) || truncated >= kTwoTo64) return 0;
  return static_cast<std::uint64_t>(truncated);
}

// Hex digit pairs without separators; a trailing single digit is ignored.
Bytes headerOf(const JsonValue& value) {
  Bytes header;
  if (value.kind() != JsonKind::String) return header;
  const std::string& text = value.text();
  for (std::size_t at = 0; text.size() - at >= 2; at += 2) {
    header.push_back(static_cast<std::uint8_t>(hexValue(text.substr(at, 2)) & 0xFF));
  }
  return header;
}

std::vector<std::string> aliasesOf(const JsonValue& value) {
  std::vector<std::string> aliases;
  for (const JsonValue& item : value.items()) aliases.push_back(stringOf(item));
  return aliases;
}

// Every key lookup yields null when absent (also on a non-object), so each field falls back to
// its default without an error.
GameEntry entryOf(const JsonValue& element) {
  GameEntry entry;
  entry.id = stringOf(element.get("id"));
  entry.title = stringOf(element.get("title"));
  entry.port = stringOf(element.get("port"));
  entry.basePatch = stringOf(element.get("base_patch"));
  entry.notes = stringOf(element.get("notes"));
  entry.file = stringOf(element.get("file"));
  entry.aliases = aliasesOf(element.get("aliases"));
  const JsonValue& nes = element.get("nes");
  entry.nesSize = sizeOf(nes.get("size"));
  entry.nesCrc32 = static_cast<std::uint32_t>(hexOf(nes.get("crc32")));
  entry.nesSha256 = stringOf(nes.get("sha256"));
  entry.nesCrc16 = static_cast<std::uint16_t>(hexOf(nes.get("crc16")));
  entry.nesHeader = headerOf(nes.get("header"));
  const JsonValue& payload = nes.get("payload");
  entry.payloadCrc32 = static_cast<std::uint32_t>(hexOf(payload.get("crc32")));
  entry.payloadSha256 = stringOf(payload.get("sha256"));
  return entry;
}

std::string directoryOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

bool fileExists(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(std::filesystem::path(path), error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

const GameEntry* GameDatabase::findExact(const Bytes& file) const {
  if (games.empty()) return nullptr;
  const std::uint32_t crc = crc32(file.data(), file.size());
  std::string sha;  // computed once, on the first entry that needs it
  for (const GameEntry& entry : games) {
    if (entry.nesSize != file.size() || entry.nesCrc32 != crc) continue;
    if (entry.nesSha256.empty()) return &entry;
    if (sha.empty()) sha = sha256Hex(file.data(), file.size());
    if (entry.nesSha256 == sha) return &entry;
  }
  return nullptr;
}

std::string GameDatabase::basePatchPath(const GameEntry& entry) const {
  return directory + "/" + entry.basePatch;
}

std::optional<std::string> locateGameDatabase(const std::string& programDir,
                                              const std::string& workingDir) {
  const std::string candidates[] = {
      programDir + "/games/games.json",
      programDir + "/lib/games/games.json",
      programDir + "/../Resources/games/games.json",
      workingDir + "/games/games.json",
  };
  for (const std::string& candidate : candidates) {
    if (fileExists(candidate)) return candidate;
  }
  return std::nullopt;
}

GameDatabase loadGameDatabase(const std::string& path) {
  const Bytes bytes = readFile(path, FileRole::Json);
  const JsonValue root = parseJson(std::string(bytes.begin(), bytes.end()));
  GameDatabase database;
  database.directory = directoryOf(path);
  for (const JsonValue& element : root.get("games").items()) {
    database.games.push_back(entryOf(element));
  }
  return database;
}

}  // namespace tbp
