#include "build/nes_rom.h"

#include <algorithm>
#include <cstdio>

#include "formats/checksums.h"

namespace tbp {
namespace {

constexpr std::size_t kHeaderSize = 16;

// The game data: the file without its header when it has one (a trainer stays part of it).
Bytes payloadOf(const Bytes& file) {
  if (!hasInesMagic(file)) return file;
  return Bytes(file.begin() + kHeaderSize, file.end());
}

// The first entry whose expected file is the entry's own header followed by this payload.
const GameEntry* findByPayload(const GameDatabase& database, const Bytes& payload) {
  const std::uint32_t crc = crc32(payload.data(), payload.size());
  std::string sha;  // computed once, on the first entry that needs it
  for (const GameEntry& entry : database.games) {
    if (entry.nesHeader.size() != kHeaderSize || entry.payloadCrc32 != crc) continue;
    if (entry.nesSize < kHeaderSize || entry.nesSize - kHeaderSize != payload.size()) continue;
    if (entry.payloadSha256.empty()) return &entry;
    if (sha.empty()) sha = sha256Hex(payload.data(), payload.size());
    if (entry.payloadSha256 == sha) return &entry;
  }
  return nullptr;
}

// Same PRG and CHR sizes and the same mapper as the file's own header.
bool sameCartridge(const GameEntry& entry, const Bytes& file, const InesHeader& fileHeader) {
  if (!hasInesMagic(file) || entry.nesHeader.size() != kHeaderSize) return false;
  if (entry.nesHeader[4] != file[4] || entry.nesHeader[5] != file[5]) return false;
  return parseInesHeader(entry.nesHeader).mapper == fileHeader.mapper;
}

int scoreOf(const GameEntry& entry, const Bytes& file, const InesHeader& fileHeader,
            const std::string& fileName) {
  const bool named = nameMatches(entry, fileName);
  int score = named ? 10 : 0;
  if (sameCartridge(entry, file, fileHeader)) score = named ? 13 : 3;
  const bool sizeMatches =
      entry.nesSize == file.size() ||
      (entry.nesSize >= kHeaderSize && entry.nesSize - kHeaderSize == file.size());
  if (sizeMatches) score += 1;
  return score;
}

bool keysMatch(const std::string& key, const std::string& name) {
  const std::string other = nameKey(name);
  if (other.empty()) return false;
  return key.find(other) != std::string::npos || other.find(key) != std::string::npos;
}

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string describeFile(const Bytes& file) {
  std::string text = "  " + std::to_string(file.size()) + " bytes\n";
  text += "  CRC16  " + hex(crc16(file.data(), file.size()), 4);
  text += "\n  CRC32  " + hex(crc32(file.data(), file.size()), 8);
  text += "\n  SHA-256  " + sha256Hex(file.data(), file.size()) + "\n";
  if (!hasInesMagic(file)) return text + "  no iNES header\n";
  const InesHeader header = parseInesHeader(file);
  return text + "  iNES header: mapper " + std::to_string(header.mapper) + ", PRG " +
         std::to_string(header.prgKb) + " KB, CHR " + std::to_string(header.chrKb) + " KB\n";
}

std::string describeSupported(const GameDatabase& database) {
  std::string text = "\nIt doesn't look like any supported game. Supported:\n";
  for (const GameEntry& entry : database.games) {
    text += "  " + entry.title;
    if (!entry.file.empty()) text += "  (" + entry.file + ")";
    text += "\n";
  }
  return text;
}

std::string describeCandidate(const GameEntry& entry, std::size_t index, bool named) {
  std::string text = index > 0 ? "\nOr maybe " : named ? "\nIt looks like " : "\nIt might be ";
  text += entry.title;
  if (!named) text += " (same cartridge type and size)";
  text +=
      ", but not the dump the patch was made from (a different revision, a hack, or a bad "
      "dump).\nLook for this file:\n";
  if (!entry.file.empty()) text += "  name   " + entry.file + "\n";
  text += "  size   " + std::to_string(entry.nesSize) + " bytes\n";
  text += "  CRC16  " + hex(entry.nesCrc16, 4) + "\n  CRC32  " + hex(entry.nesCrc32, 8) +
          "\n  SHA-256  " + entry.nesSha256 + "\n";
  if (entry.payloadCrc32 != 0) {
    text +=
        "Without its 16-byte header (how No-Intro lists it; any header is accepted):\n  CRC32  " +
        hex(entry.payloadCrc32, 8) + "\n  SHA-256  " + entry.payloadSha256 + "\n";
  }
  return text;
}

}  // namespace

bool hasInesMagic(const Bytes& file) {
  return file.size() >= kHeaderSize && file[0] == 0x4E && file[1] == 0x45 && file[2] == 0x53 &&
         file[3] == 0x1A;
}

InesHeader parseInesHeader(const Bytes& file) {
  InesHeader header;
  if (!hasInesMagic(file)) return header;
  header.present = true;
  header.nes2 = (file[7] & 0x0C) == 0x08;
  header.ripperTag =
      !header.nes2 && (file[12] != 0 || file[13] != 0 || file[14] != 0 || file[15] != 0);
  const int low = file[6] >> 4;
  if (header.nes2) {
    header.mapper = ((file[8] & 0x0F) << 8) | (file[7] & 0xF0) | low;
  } else {
    header.mapper = header.ripperTag ? low : (file[7] & 0xF0) | low;
  }
  header.prgKb = file[4] * 16;
  header.chrKb = file[5] * 8;
  header.vertical = (file[6] & 0x01) != 0;
  header.battery = (file[6] & 0x02) != 0;
  header.trainer = (file[6] & 0x04) != 0;
  header.fourScreen = (file[6] & 0x08) != 0;
  header.expectedSize = kHeaderSize + (header.trainer ? 512u : 0u) +
                        std::uint64_t{file[4]} * 16384 + std::uint64_t{file[5]} * 8192;
  return header;
}

NesRom identifyNesRom(const GameDatabase& database, const Bytes& file) {
  NesRom result;
  if (const GameEntry* exact = database.findExact(file)) {
    result.game = exact;
    result.rom = file;
    return result;
  }
  const Bytes payload = payloadOf(file);
  const GameEntry* repaired = findByPayload(database, payload);
  if (repaired == nullptr) return result;
  result.game = repaired;
  result.rom = repaired->nesHeader;
  result.rom.insert(result.rom.end(), payload.begin(), payload.end());
  result.note = hasInesMagic(file)
                    ? "same game data with a different iNES header: the expected header was used"
                    : "no iNES header: the expected header was added";
  return result;
}

std::string nameKey(const std::string& text) {
  std::string name = text;
  const std::size_t separator = name.find_last_of("/\\");
  if (separator != std::string::npos) name = name.substr(separator + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
  std::string key;
  std::size_t depth = 0;  // never above the text's length
  for (const char c : name) {
    if (c == '(' || c == '[') {
      ++depth;
    } else if (c == ')' || c == ']') {
      if (depth > 0) --depth;
    } else if (depth == 0 && ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
      key += c;
    } else if (depth == 0 && c >= 'A' && c <= 'Z') {
      key += static_cast<char>(c - 'A' + 'a');
    }
  }
  return key;
}

bool nameMatches(const GameEntry& entry, const std::string& fileName) {
  const std::string key = nameKey(fileName);
  if (key.empty()) return false;
  for (const std::string& alias : entry.aliases) {
    if (keysMatch(key, alias)) return true;
  }
  if (keysMatch(key, entry.title)) return true;
  return !entry.file.empty() && keysMatch(key, entry.file);
}

std::vector<const GameEntry*> suggestGames(const GameDatabase& database, const Bytes& file,
                                           const std::string& fileName) {
  const InesHeader fileHeader = parseInesHeader(file);
  std::vector<std::pair<int, const GameEntry*>> scored;
  for (const GameEntry& entry : database.games) {
    const int score = scoreOf(entry, file, fileHeader, fileName);
    if (score >= 3) scored.emplace_back(score, &entry);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<const GameEntry*> candidates;
  for (const auto& [score, entry] : scored) candidates.push_back(entry);
  return candidates;
}

std::string describeUnknownRom(const std::string& fileName, const GameDatabase& database,
                               const Bytes& file) {
  std::string text = "This file doesn't match any ROM the patcher knows.\n\nYour file:\n";
  text += describeFile(file);
  const std::vector<const GameEntry*> candidates = suggestGames(database, file, fileName);
  if (candidates.empty()) return text + describeSupported(database);
  for (std::size_t i = 0; i < candidates.size() && i < 3; ++i) {
    text += describeCandidate(*candidates[i], i, nameMatches(*candidates[i], fileName));
  }
  return text;
}

}  // namespace tbp
