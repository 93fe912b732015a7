#include "cli/staged_files.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "build/files.h"

namespace tbp::cli {
namespace {

std::string stagingName(const std::string& path) { return path + ".part"; }

// The writer's message names the file it was given; the user asked for path.
std::string naming(std::string message, const std::string& staged, const std::string& path) {
  const std::size_t at = message.find(staged);
  if (at != std::string::npos) message.replace(at, staged.size(), path);
  return message;
}

}  // namespace

StagedFiles::~StagedFiles() {
  for (const std::string& path : paths_) std::remove(stagingName(path).c_str());
}

void StagedFiles::stage(const std::string& path, const Bytes& data) {
  const std::string staged = stagingName(path);
  try {
    writeFileSafely(staged, data);
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(naming(error.what(), staged, path));
  }
  paths_.push_back(path);
}

void StagedFiles::commit() {
  while (!paths_.empty()) {
    const std::string path = paths_.front();
    std::error_code error;
    std::filesystem::rename(stagingName(path), path, error);
    if (error) throw std::runtime_error("cannot replace " + path + ": " + error.message());
    paths_.erase(paths_.begin());
  }
}

}  // namespace tbp::cli
