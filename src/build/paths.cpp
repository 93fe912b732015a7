#include "build/paths.h"

#include <filesystem>
#include <system_error>

namespace tbp {

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string completeBaseName(const std::string& path) {
  const std::string name = fileNameOf(path);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string absoluteDirectory(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) absolute = path;
  std::string directory = absolute.lexically_normal().parent_path().string();
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

std::string joinPath(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

bool sameFile(const std::string& first, const std::string& second) {
  std::error_code error;
  return std::filesystem::equivalent(first, second, error) && !error;
}

}  // namespace tbp
