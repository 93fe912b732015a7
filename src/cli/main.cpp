// bexulo-cli: the patcher's core on the command line, for scripts and terminals.
#include <string>
#include <vector>

#include "cli/verbs.h"

int main(int argc, char** argv) {
  std::vector<std::string> words;
  for (int index = 1; index < argc; ++index) words.emplace_back(argv[index]);
  return tbp::cli::runCommandLine(words);
}
