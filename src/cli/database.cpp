#include "cli/database.h"

#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tbp::cli {
namespace {

const char* const kNotFound = "games.json was not found next to the program.";

// The directory of the running executable, as the window's application directory.
std::string programDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : self.parent_path().string();
}

std::string workingDirectory() {
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  return error ? std::string(".") : here.string();
}

}  // namespace

DatabaseLookup findDatabase(const Arguments& arguments) {
  DatabaseLookup lookup;
  if (arguments.has("--games")) {
    lookup.path = arguments.value("--games") + "/games.json";
    try {
      lookup.database = loadGameDatabase(lookup.path);
    } catch (const std::exception& error) {
      // The reader's own messages name the file; the JSON reader's and the entries' get the
      // window's wording, which does.
      const std::string message = error.what();
      if (message.find(lookup.path) != std::string::npos) throw;
      throw std::runtime_error(lookup.path + " could not be read: " + message);
    }
    lookup.loaded = true;
    return lookup;
  }
  const auto located = locateGameDatabase(programDirectory(), workingDirectory());
  if (!located) {
    lookup.problem = kNotFound;
    return lookup;
  }
  lookup.path = *located;
  try {
    lookup.database = loadGameDatabase(lookup.path);
    lookup.loaded = true;
  } catch (const std::exception& error) {
    lookup.problem = lookup.path + " could not be read: " + error.what();
  }
  return lookup;
}

const GameDatabase& requireDatabase(const DatabaseLookup& lookup) {
  if (!lookup.loaded) throw std::runtime_error(lookup.problem);
  return lookup.database;
}

}  // namespace tbp::cli
