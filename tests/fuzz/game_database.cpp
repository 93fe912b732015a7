// loadGameDatabase on a fuzzed games.json: only the file, JSON and "stoul" errors may come out,
// a document the JSON reader refuses is refused with the reader's own message, and a loaded
// database holds one entry per element of "games" with the fields the elements give.
#include "build/game_database.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "formats/json.h"
#include "support/fuzz_contract.h"

namespace {

using tbp::JsonKind;
using tbp::JsonValue;
using tbp::fuzz::require;
namespace fs = std::filesystem;

// One scratch directory per process, in memory where the system has it. Its name lives as
// long as the exit handler that removes it.
const fs::path& scratchFile() {
  static const fs::path* const file = [] {
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path dir = base / ("tbp-fuzz-games-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::atexit([] { fs::remove_all(scratchFile().parent_path()); });
    return new fs::path(dir / "games.json");
  }();
  return *file;
}

std::string stringOr(const JsonValue& value) {
  return value.kind() == JsonKind::String ? value.text() : std::string();
}

void checkEntries(const tbp::GameDatabase& database, const JsonValue& root) {
  const JsonValue& games = root.get("games");
  const std::size_t expected = games.kind() == JsonKind::Array ? games.items().size() : 0;
  require(database.games.size() == expected, "not one entry per element of games");
  for (std::size_t i = 0; i < expected; ++i) {
    const JsonValue& element = games.items()[i];
    const tbp::GameEntry& entry = database.games[i];
    require(entry.title == stringOr(element.get("title")), "title");
    require(entry.file == stringOr(element.get("file")), "file");
    require(entry.nesSha256 == stringOr(element.get("nes").get("sha256")), "sha256");
    const JsonValue& aliases = element.get("aliases");
    require(entry.aliases.size() == aliases.items().size(), "aliases");
    const JsonValue& header = element.get("nes").get("header");
    require(entry.nesHeader.size() == stringOr(header).size() / 2, "header length");
    require(database.basePatchPath(entry) == database.directory + "/" + entry.basePatch,
            "base patch path");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::string jsonError;
  JsonValue root;
  try {
    root = tbp::parseJson(text);
  } catch (const std::exception& e) {
    jsonError = e.what();
  }
  try {
    const tbp::GameDatabase database = tbp::loadGameDatabase(scratchFile().string());
    require(jsonError.empty(), "loaded a document the reader refuses: " + jsonError);
    require(database.directory == scratchFile().parent_path().string(), "directory");
    checkEntries(database, root);
  } catch (const std::invalid_argument& e) {
    require(jsonError.empty() ? e.what() == std::string("stoul") : e.what() == jsonError,
            std::string("invalid argument: ") + e.what());
  } catch (const std::out_of_range& e) {
    require(jsonError.empty() ? e.what() == std::string("stoul") : e.what() == jsonError,
            std::string("out of range: ") + e.what());
  } catch (const std::runtime_error& e) {
    require(e.what() == jsonError, std::string("load failed with: ") + e.what());
  }
  return 0;
}
