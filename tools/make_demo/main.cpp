// Writes the demo game database beside the patcher: games/games.json with the base patches of
// the demo games, and their NES dumps under demo/. Everything is generated; no ROM data ships.
#include <exception>
#include <iostream>

#include "support/demo_games.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_demo <output directory>\n";
    return 2;
  }
  try {
    const std::string path = tbp::testkit::writeDemoDatabase(argv[1]);
    std::cout << "demo database written to " << path << "\n";
  } catch (const std::exception& error) {
    std::cerr << "make_demo: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
