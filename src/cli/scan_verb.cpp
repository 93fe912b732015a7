// `scan DIR`: which dumps of a folder the game database supports, and how they match.
#include <iostream>
#include <map>

#include "build/rom_scan.h"
#include "cli/database.h"
#include "cli/verbs.h"
#include "formats/json_writer.h"

namespace tbp::cli {
namespace {

void writeText(const std::vector<ScanResult>& results) {
  std::map<ScanMatch, int> counts;
  for (const ScanResult& result : results) {
    ++counts[result.match];
    std::cout << result.path << ": " << scanMatchName(result.match);
    if (result.game)
      std::cout << (result.match == ScanMatch::NearMiss ? " (resembles " : " (") << result.game->title
                << ")";
    std::cout << "\n";
    if (result.match == ScanMatch::Unreadable) std::cout << "  " << result.report << "\n";
    if (result.match != ScanMatch::NearMiss) continue;
    std::string line;
    for (const char c : result.report + "\n") {
      if (c != '\n') {
        line += c;
        continue;
      }
      if (!line.empty()) std::cout << "  " << line << "\n";
      line.clear();
    }
  }
  std::cout << results.size() << " NES ROM(s)";
  for (const auto& [match, count] : counts) std::cout << ", " << count << " " << scanMatchName(match);
  std::cout << "\n";
}

void writeJson(const std::vector<ScanResult>& results) {
  JsonWriter json(std::cout);
  json.beginArray();
  for (const ScanResult& result : results) {
    json.beginObject();
    json.key("path").string(result.path);
    json.key("size").number(std::int64_t(result.size));
    json.key("match").string(scanMatchName(result.match));
    json.key("game_id");
    if (result.game)
      json.string(result.game->id);
    else
      json.null();
    json.key("game_title");
    if (result.game)
      json.string(result.game->title);
    else
      json.null();
    if (!result.report.empty()) json.key("report").string(result.report);
    json.endObject();
  }
  json.endArray();
}

}  // namespace

void runScan(const Arguments& arguments) {
  const DatabaseLookup lookup = findDatabase(arguments);
  const std::vector<ScanResult> results =
      scanFolder(arguments.positionals[0], requireDatabase(lookup));
  if (arguments.has("--json"))
    writeJson(results);
  else
    writeText(results);
}

}  // namespace tbp::cli
