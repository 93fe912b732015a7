#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "build/temporary_file.h"
#include "formats/bytes.h"

namespace tbp {

// Files that appear together or not at all, such as a ROM with its MSU-1 tracks and marker.
// Each file is first written completely under a hidden temporary name beside it (stage); commit
// then moves them all into place. If anything fails, every file already replaced is put back,
// so the old set stays (or no set, when there was none); whatever was not committed is removed
// on destruction. The set's marker (the ".msu" file players look for) is taken away before the
// first file is replaced and put back (with its old content, or new and empty) only after the
// last, so that wherever the marker is present its set is complete and of one save, even when
// the process is killed half-way.
class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // The marker of the set. A marker that is a directory, or that cannot be created, is left
  // alone: players only need the files themselves.
  void setMarker(const std::string& path);
  // Writes data for path under its temporary name; a later stage of the same path replaces
  // the earlier one. Write errors name path. Several threads may stage at once.
  void stage(const std::string& path, const Bytes& data);
  // The same for a file made in blocks: produce writes it into its temporary file (and may
  // rewrite it there); what produce throws stages nothing.
  void stageInBlocks(const std::string& path, const std::function<void(TemporaryFile&)>& produce);
  // Moves every staged file onto its path, all or none. Throws "cannot replace " + path + ": "
  // + reason after putting the old files back.
  void commit();

  // A test's way to plant a failure: called with the name of each step before it is taken
  // ("stage PATH", "check", "marker away", "replace PATH", "rename PATH", "marker"); whatever
  // it throws fails the save at that step.
  std::function<void(const std::string& step)> beforeStep;

 private:
  struct Staged {
    std::unique_ptr<TemporaryFile> file;
    std::string oldCopy;  // another name of the replaced file while the commit may still fail
    bool committed = false;
  };

  void step(const std::string& name);
  void takeMarkerAway();
  void putMarker();
  void replace(Staged& staged);
  void rollBack();
  void finishCommit();

  std::mutex mutex_;
  std::vector<Staged> files_;
  std::string marker_;
  std::string markerAside_;  // the old marker's temporary name during a commit
};

}  // namespace tbp
