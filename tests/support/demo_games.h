#pragma once

#include <string>
#include <vector>

#include "formats/bytes.h"
#include "support/database_builder.h"

namespace tbp::testkit {

// A game of the demo database together with the NES dump a user would open for it.
struct DemoGame {
  GameFixture game;      // what games.json lists, with the port its base patch builds
  std::string dumpName;  // file name of the dump under demo/
  tbp::Bytes dump;       // the dump: the expected file itself, or the same game data under
                         // another header or none, which the patcher repairs
};

// The demo games: "Bexulo Demo Quest" (an exact dump), "Bexulo Demo Racer" (a headerless dump)
// and "Bexulo Demo Castle" (a dump whose header carries a ripper's tag).
std::vector<DemoGame> demoGames();

// Writes dir/games/games.json with the base patches and dir/demo/<dump> for every demo game.
// Returns the path of games.json.
std::string writeDemoDatabase(const std::string& dir);

}  // namespace tbp::testkit
