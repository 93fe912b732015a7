#pragma once

#include <string>
#include <vector>

#include "formats/bytes.h"

namespace tbp::cli {

// Files that appear together or not at all: each is written safely under a ".part" name first;
// commit() renames them all into place, and whatever was not committed is removed on
// destruction. So a failure halfway (a track that does not convert) leaves nothing behind.
class StagedFiles {
 public:
  StagedFiles() = default;
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;
  ~StagedFiles();

  // Writes data for path; write errors name path, not the staging name.
  void stage(const std::string& path, const Bytes& data);
  // Moves every staged file to its path, in staging order. Throws "cannot replace " + path.
  void commit();

 private:
  std::vector<std::string> paths_;
};

}  // namespace tbp::cli
