// NES ROM identification, suggestions and the unknown-ROM report on fuzzed files, against a
// database built from the input: entries that match the file exactly, that match its game data
// under another header, and that only resemble it (name, cartridge type, size). Identification
// never throws and picks the first qualifying entry; the report keeps its fixed shape.
#include "build/nes_rom.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "formats/checksums.h"
#include "support/fuzz_contract.h"

namespace {

using tbp::Bytes;
using tbp::GameEntry;
using tbp::fuzz::require;

constexpr std::size_t kHeaderSize = 16;

std::string sha256Of(const Bytes& data) { return tbp::sha256Hex(data.data(), data.size()); }
std::uint32_t crcOf(const Bytes& data) { return tbp::crc32(data.data(), data.size()); }

Bytes payloadOf(const Bytes& file) {
  return tbp::hasInesMagic(file) ? Bytes(file.begin() + kHeaderSize, file.end()) : file;
}

// Which entries the database gets, one bit each, from the input's first byte.
enum EntryBits : unsigned {
  kExact = 1,         // the file itself: size and CRC32
  kExactDigest = 2,   // ... and its SHA-256 (upper case when kUpperCase is set too)
  kRepair = 4,        // the game data under the input's header
  kRepairDigest = 8,  // ... with the payload's SHA-256
  kLookAlikes = 16,   // entries named after the file, with its cartridge header
  kUpperCase = 32,    // digests in upper case, which never match
  kEmptyKey = 64,     // titles that have no name key
};

// Entries named after the file name, without its line feeds: the report's lines then stay
// the report's own.
tbp::GameDatabase databaseFor(unsigned bits, const Bytes& file, const Bytes& header,
                              std::string name) {
  name.erase(std::remove(name.begin(), name.end(), '\n'), name.end());
  tbp::GameDatabase database;
  const auto digest = [&](const Bytes& data) {
    std::string text = sha256Of(data);
    if (bits & kUpperCase) std::transform(text.begin(), text.end(), text.begin(), ::toupper);
    return text;
  };
  if (bits & kLookAlikes) {
    for (const std::string& title :
         {name, name + " 2", std::string(bits & kEmptyKey ? "()" : "G")}) {
      GameEntry entry;
      entry.title = title;
      entry.file = name + ".nes";
      entry.aliases = {"", name.substr(0, name.size() / 2)};
      entry.nesSize = file.size() + (title.size() % 2) * kHeaderSize;
      // The file's own header makes the entry the same cartridge type.
      entry.nesHeader =
          tbp::hasInesMagic(file) ? Bytes(file.begin(), file.begin() + kHeaderSize) : header;
      entry.payloadCrc32 = static_cast<std::uint32_t>(title.size());
      database.games.push_back(entry);
    }
  }
  if (bits & kRepair) {
    GameEntry entry;
    entry.title = "repair";
    const Bytes payload = payloadOf(file);
    entry.nesHeader = header;
    entry.nesSize = payload.size() + kHeaderSize;
    entry.payloadCrc32 = crcOf(payload);
    if (bits & kRepairDigest) entry.payloadSha256 = digest(payload);
    database.games.push_back(entry);
  }
  if (bits & kExact) {
    GameEntry entry;
    entry.title = "exact";
    entry.nesSize = file.size();
    entry.nesCrc32 = crcOf(file);
    if (bits & kExactDigest) entry.nesSha256 = digest(file);
    database.games.push_back(entry);
  }
  return database;
}

bool exactMatch(const GameEntry& entry, const Bytes& file) {
  return entry.nesSize == file.size() && entry.nesCrc32 == crcOf(file) &&
         (entry.nesSha256.empty() || entry.nesSha256 == sha256Of(file));
}

bool repairMatch(const GameEntry& entry, const Bytes& payload) {
  return entry.nesHeader.size() == kHeaderSize && entry.payloadCrc32 == crcOf(payload) &&
         entry.nesSize == payload.size() + kHeaderSize &&
         (entry.payloadSha256.empty() || entry.payloadSha256 == sha256Of(payload));
}

void checkIdentification(const tbp::GameDatabase& database, const Bytes& file) {
  const tbp::NesRom rom = tbp::identifyNesRom(database, file);
  const Bytes payload = payloadOf(file);
  const GameEntry* exact = nullptr;
  const GameEntry* repair = nullptr;
  for (const GameEntry& entry : database.games) {
    if (!exact && exactMatch(entry, file)) exact = &entry;
    if (!repair && repairMatch(entry, payload)) repair = &entry;
  }
  if (exact) {
    require(rom.game == exact && rom.rom == file && rom.note.empty(), "exact match missed");
  } else if (repair) {
    require(rom.game == repair, "header repair picked another entry");
    Bytes expected = repair->nesHeader;
    expected.insert(expected.end(), payload.begin(), payload.end());
    require(rom.rom == expected, "repaired ROM is not header + payload");
    require(rom.note == (tbp::hasInesMagic(file)
                             ? "same game data with a different iNES header: the expected "
                               "header was used"
                             : "no iNES header: the expected header was added"),
            "repair note: " + rom.note);
  } else {
    require(rom.game == nullptr && rom.rom.empty() && rom.note.empty(), "matched nothing");
  }
}

void checkHeader(const Bytes& file) {
  const tbp::InesHeader header = tbp::parseInesHeader(file);
  require(header.present == tbp::hasInesMagic(file), "header presence");
  if (!header.present) {
    require(header.mapper == 0 && header.prgKb == 0 && header.chrKb == 0 &&
                header.expectedSize == 0 && !header.nes2 && !header.trainer,
            "fields of a missing header");
    return;
  }
  require(header.nes2 == ((file[7] & 0x0C) == 0x08), "NES 2.0 mark");
  require(header.mapper >= 0 && header.mapper <= (header.nes2 ? 4095 : 255) &&
              (header.mapper & 0x0F) == file[6] >> 4,
          "mapper out of range");
  require(header.vertical == ((file[6] & 1) != 0) && header.battery == ((file[6] & 2) != 0) &&
              header.trainer == ((file[6] & 4) != 0) && header.fourScreen == ((file[6] & 8) != 0),
          "flags of byte 6");
  require(header.prgKb == file[4] * 16 && header.chrKb == file[5] * 8, "bank sizes");
  require(header.expectedSize ==
              16u + (header.trainer ? 512u : 0u) + file[4] * 16384u + file[5] * 8192u,
          "expected size");
}

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++n;
  }
  return n;
}

void checkReport(const tbp::GameDatabase& database, const Bytes& file, const std::string& name) {
  const auto suggestions = tbp::suggestGames(database, file, name);
  require(std::set(suggestions.begin(), suggestions.end()).size() == suggestions.size(),
          "an entry suggested twice");
  // Resemblance by name ranks above resemblance by cartridge alone; an entry that shares
  // neither the name nor the bank sizes is no suggestion.
  bool unnamedSeen = false;
  for (const GameEntry* entry : suggestions) {
    require(entry >= database.games.data() && entry < database.games.data() + database.games.size(),
            "a suggestion outside the database");
    const bool named = tbp::nameMatches(*entry, name);
    require(!(named && unnamedSeen), "a named entry after an unnamed one");
    unnamedSeen = unnamedSeen || !named;
    require(named || (tbp::hasInesMagic(file) && entry->nesHeader.size() == kHeaderSize &&
                      entry->nesHeader[4] == file[4] && entry->nesHeader[5] == file[5]),
            "a suggestion that resembles nothing");
  }
  for (const GameEntry& entry : database.games) {
    require(!tbp::nameMatches(entry, name) ||
                std::find(suggestions.begin(), suggestions.end(), &entry) != suggestions.end(),
            "a named entry not suggested");
  }
  const std::string report = tbp::describeUnknownRom(name, database, file);
  const std::string opening =
      "This file doesn't match any ROM the patcher knows.\n\nYour file:\n  " +
      std::to_string(file.size()) + " bytes\n";
  require(report.rfind(opening, 0) == 0, "report opening");
  require(report.find("  SHA-256  " + sha256Of(file) + "\n") != std::string::npos, "file digest");
  require(report.back() == '\n', "report does not end a line");
  const std::size_t shown = std::min<std::size_t>(3, suggestions.size());
  require(count(report, "\nLook for this file:\n") == shown, "number of candidates shown");
  const bool none =
      report.find("\nIt doesn't look like any supported game. Supported:\n") != std::string::npos;
  require((shown == 0) == none, "no-candidate text");
  for (std::size_t i = 0; i < shown; ++i) {
    require(report.find(suggestions[i]->title) != std::string::npos, "a candidate not named");
  }
  if (none) {
    for (const GameEntry& entry : database.games) {
      require(report.find("  " + entry.title + "\n") != std::string::npos ||
                  report.find("  " + entry.title + "  (") != std::string::npos,
              "a supported game not listed");
    }
  }
}

void checkNames(const std::string& name) {
  const std::string key = tbp::nameKey(name);
  for (const char c : key) {
    require((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'), "name key holds " + key);
  }
  require(tbp::nameKey(key) == key, "name key not stable");
  require(tbp::nameKey("games/" + name) == key, "name key keeps a directory");
  GameEntry entry;
  entry.title = name;
  require(tbp::nameMatches(entry, name) == !key.empty(), "a name must match its own title");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tbp::fuzz::FuzzInput input(data, size);
  const unsigned bits = input.byte();
  const std::string name = input.text();
  const Bytes header = input.bytes(kHeaderSize);
  const Bytes file = input.rest();
  const tbp::GameDatabase database = databaseFor(bits, file, header, name);
  checkHeader(file);
  checkIdentification(database, file);
  checkReport(database, file, name);
  checkNames(name);
  return 0;
}
