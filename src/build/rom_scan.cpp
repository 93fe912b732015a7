// Identifies every NES ROM of a folder tree against the game database, many files at once.
#include "build/rom_scan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "build/jobs_in_order.h"
#include "build/nes_rom.h"
#include "build/paths.h"

namespace tbp {
namespace {

namespace fs = std::filesystem;

// No NES cartridge comes near this; bigger files are not read at all.
constexpr std::uintmax_t kLargestRom = 16u << 20;
constexpr std::size_t kInesHeader = 16;

bool namedNes(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension == ".nes";
}

// The files to look at: regular files only, never through a link, so the walk stays inside.
std::vector<fs::path> listFiles(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(folder, error)))
    throw std::runtime_error("cannot open " + folder.string());
  std::vector<fs::path> files;
  fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied,
                                        error);
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    const fs::file_status status = walk->symlink_status(error);
    if (!error && fs::is_regular_file(status)) files.push_back(walk->path());
  }
  return files;
}

// Reads the file in one pass: its first 16 bytes decide whether the rest is wanted.
bool readCandidate(const fs::path& path, Bytes& bytes) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > kLargestRom) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.resize(std::min<std::uintmax_t>(size, kInesHeader));
  file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!hasInesMagic(bytes) && !namedNes(path)) return false;
  bytes.resize(std::size_t(size));
  file.read(reinterpret_cast<char*>(bytes.data() + std::min<std::uintmax_t>(size, kInesHeader)),
            std::streamsize(size - std::min<std::uintmax_t>(size, kInesHeader)));
  return true;
}

void identify(const GameDatabase& database, const Bytes& bytes, ScanResult& result) {
  const NesRom nes = identifyNesRom(database, bytes);
  result.game = nes.game;
  if (nes.game) {
    result.match = nes.note.empty()       ? ScanMatch::Exact
                   : hasInesMagic(bytes) ? ScanMatch::HeaderRepaired
                                         : ScanMatch::Headerless;
    return;
  }
  const std::string name = fileNameOf(result.path);
  const std::vector<const GameEntry*> near = suggestGames(database, bytes, name);
  if (near.empty()) return;
  result.match = ScanMatch::NearMiss;
  result.game = near.front();
  result.report = describeUnknownRom(name, database, bytes);
}

// One file: nothing when it is no NES ROM; otherwise its result.
std::optional<ScanResult> scanFile(const fs::path& folder, const fs::path& path,
                                   const GameDatabase& database) {
  Bytes bytes;
  if (!readCandidate(path, bytes)) {
    if (!namedNes(path)) return std::nullopt;
    return ScanResult{path.lexically_relative(folder).generic_string(), 0, ScanMatch::Unreadable,
                      nullptr, "cannot read this file"};
  }
  ScanResult result;
  result.path = path.lexically_relative(folder).generic_string();
  result.size = bytes.size();
  identify(database, bytes, result);
  return result;
}

}  // namespace

std::string scanMatchName(ScanMatch match) {
  switch (match) {
    case ScanMatch::Exact: return "exact";
    case ScanMatch::Headerless: return "headerless";
    case ScanMatch::HeaderRepaired: return "header repaired";
    case ScanMatch::NearMiss: return "near miss";
    case ScanMatch::Unreadable: return "unreadable";
    case ScanMatch::Unknown: break;
  }
  return "unknown";
}

std::vector<ScanResult> scanFolder(const std::string& folder, const GameDatabase& database,
                                   unsigned threads) {
  const std::vector<fs::path> files = listFiles(folder);
  std::vector<std::optional<ScanResult>> results(files.size());
  runJobsInOrder(files.size(), threads, [&](std::size_t i) {
    try {
      results[i] = scanFile(folder, files[i], database);
    } catch (const std::exception& failure) {  // out of memory on a huge folder, say
      results[i] = ScanResult{files[i].lexically_relative(folder).generic_string(), 0,
                              ScanMatch::Unreadable, nullptr, failure.what()};
    }
  });
  std::vector<ScanResult> found;
  for (std::optional<ScanResult>& result : results)
    if (result) found.push_back(std::move(*result));
  std::sort(found.begin(), found.end(),
            [](const ScanResult& a, const ScanResult& b) { return a.path < b.path; });
  return found;
}

}  // namespace tbp
