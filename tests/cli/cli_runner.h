#pragma once

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "build/files.h"
#include "formats/bytes.h"
#include "support/database_builder.h"
#include "support/demo_games.h"

namespace clitest {

namespace fs = std::filesystem;

// What one run of the real executable did.
struct Run {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs bexulo-cli with the arguments in the directory dir, its output captured in files (so
// that neither stream can block the other).
inline Run runCli(const std::vector<std::string>& arguments, const fs::path& dir) {
  const fs::path out = dir / ".stdout";
  const fs::path err = dir / ".stderr";
  std::vector<char*> argv{const_cast<char*>(TBP_CLI_PATH)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    execv(TBP_CLI_PATH, argv.data());
    _exit(127);
  }
  int raw = 0;
  waitpid(child, &raw, 0);
  Run run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = slurp(out);
  run.err = slurp(err);
  fs::remove(out);
  fs::remove(err);
  return run;
}

// Runs bexulo-cli in dir with standard output and error on a terminal (a pseudo-terminal), and
// returns everything it printed there.
inline std::string runCliOnTerminal(const std::vector<std::string>& arguments,
                                    const fs::path& dir) {
  std::vector<char*> argv{const_cast<char*>(TBP_CLI_PATH)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    execv(TBP_CLI_PATH, argv.data());
    _exit(127);
  }
  std::string output;
  char buffer[4096];
  ssize_t got = 0;
  // Reading fails with EIO once the child has closed its side.
  while ((got = read(terminal, buffer, sizeof buffer)) > 0) output.append(buffer, std::size_t(got));
  close(terminal);
  waitpid(child, nullptr, 0);
  return output;
}

// A fresh directory under the system's temporary directory, removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "bexulo_cli_XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const fs::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // The names of the files in the directory, sorted.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;
};

// The demo games written once per test program: games/ with the database and base patches and
// the dumps a user would open, as the build lays them out beside the programs.
struct DemoSetup {
  ScratchDir dir;
  std::vector<tbp::testkit::DemoGame> games = tbp::testkit::demoGames();
  std::string gamesDir;

  DemoSetup() {
    tbp::testkit::writeDemoDatabase(dir.path().string());
    gamesDir = dir.file("games");
  }
  std::string dump(std::size_t game) const { return dir.file("demo/" + games[game].dumpName); }
};

inline const DemoSetup& demo() {
  static const DemoSetup setup;
  return setup;
}

}  // namespace clitest
