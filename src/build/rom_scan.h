#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "build/game_database.h"

namespace tbp {

// How a file of a scanned folder compares with the game database.
enum class ScanMatch { Exact, Headerless, HeaderRepaired, NearMiss, Unknown, Unreadable };

struct ScanResult {
  std::string path;  // relative to the scanned folder, with "/"
  std::size_t size = 0;
  ScanMatch match = ScanMatch::Unknown;
  const GameEntry* game = nullptr;  // the game, or for a near miss the game it most resembles
  std::string report;               // the near-miss report, or why the file could not be read
};

// "exact", "headerless", "header repaired", "near miss", "unknown", "unreadable".
std::string scanMatchName(ScanMatch match);

// Every NES ROM under folder (a file with an iNES header, or named *.nes), recursively, without
// following any link, each read once and identified on `threads` worker threads (0: one per
// processor). Sorted by path. Throws "cannot open " + folder when it is no folder.
std::vector<ScanResult> scanFolder(const std::string& folder, const GameDatabase& database,
                                   unsigned threads = 0);

}  // namespace tbp
