// Replays inputs through a fuzz harness without libFuzzer: every file named on the command
// line, and every file inside a named directory (in name order, hidden files left out), is fed
// to the harness once. The sanitizer test build runs the seeds and the reproducers this way.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_contract.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputsUnder(const fs::path& path) {
  std::vector<fs::path> files;
  if (!fs::is_directory(path)) return {path};
  for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
    if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const fs::path& file : inputsUnder(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
      std::printf("%s\n", file.c_str());
      std::fflush(stdout);
      LLVMFuzzerTestOneInput(data.data(), data.size());
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  // A harness without a single seed would test nothing.
  return replayed > 0 ? 0 : 1;
}
