#pragma once

#include <string>

#include "build/game_database.h"
#include "cli/arguments.h"

namespace tbp::cli {

// The game database a verb works with, and how it was found.
struct DatabaseLookup {
  bool loaded = false;
  std::string path;     // the games.json read, or tried
  std::string problem;  // why none is loaded: not found, or the load error
  GameDatabase database;
};

// The games.json in the folder given with --games (its failure to load is thrown), else the
// first of the places the window looks: games/ beside the program, then games/ in the working
// directory. Only verbs that need the database call this, so the others start without reading
// it.
DatabaseLookup findDatabase(const Arguments& arguments);

// The loaded database, or throws why there is none.
const GameDatabase& requireDatabase(const DatabaseLookup& lookup);

}  // namespace tbp::cli
