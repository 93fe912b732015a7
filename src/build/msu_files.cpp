#include "build/msu_files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "build/paths.h"

namespace tbp {
namespace {

std::string msuBase(const std::string& savedPath) {
  return joinPath(absoluteDirectory(savedPath), completeBaseName(savedPath));
}

}  // namespace

std::string msuMarkerPath(const std::string& savedPath) { return msuBase(savedPath) + ".msu"; }

std::string msuTrackPath(const std::string& savedPath, int song) {
  return msuBase(savedPath) + "-" + std::to_string(song) + ".pcm";
}

void createMsuMarker(const std::string& savedPath) {
  const std::string marker = msuMarkerPath(savedPath);
  std::error_code error;
  if (std::filesystem::exists(marker, error) || error) return;
  std::ofstream create(marker, std::ios::binary);
}

}  // namespace tbp
