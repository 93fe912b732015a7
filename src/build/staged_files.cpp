#include "build/staged_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tbp {
namespace {

bool exists(const std::string& path, struct stat& info) {
  return ::lstat(path.c_str(), &info) == 0;
}

[[noreturn]] void failReplace(const std::string& path, int error) {
  throw std::runtime_error("cannot replace " + path + ": " + std::strerror(error));
}

// Moves the file at path to a fresh hidden name beside it, never over an existing file.
// Returns the new name, or an empty name with errno set.
std::string moveAside(const std::string& path) {
  for (int attempt = 0; attempt < kSiblingNameAttempts; ++attempt) {
    const std::string aside = temporarySiblingName(path, ".old");
    int result = ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE);
    // A file system without the no-replace flag: the random name is new all the same.
    if (result != 0 && errno == EINVAL) result = ::rename(path.c_str(), aside.c_str());
    if (result == 0) return aside;
    if (errno != EEXIST) return std::string();
  }
  return std::string();
}

// A second name for the file at path, under a fresh hidden name beside it: a hard link, so the
// file itself stays where it is; where the file system has no hard links, the file is moved
// there instead. Returns the new name.
std::string keepAside(const std::string& path) {
  for (int attempt = 0; attempt < kSiblingNameAttempts; ++attempt) {
    const std::string aside = temporarySiblingName(path, ".old");
    if (::link(path.c_str(), aside.c_str()) == 0) return aside;
    if (errno != EEXIST) break;
  }
  const std::string aside = moveAside(path);
  if (aside.empty()) failReplace(path, errno);
  return aside;
}

}  // namespace

StagedFiles::~StagedFiles() {
  // A commit that never ran (or failed) leaves its temporary files to their destructors.
  if (!markerAside_.empty()) ::rename(markerAside_.c_str(), marker_.c_str());
}

void StagedFiles::step(const std::string& name) {
  if (beforeStep) beforeStep(name);
}

void StagedFiles::setMarker(const std::string& path) { marker_ = path; }

void StagedFiles::stage(const std::string& path, const Bytes& data) {
  stageInBlocks(path, [&](TemporaryFile& file) { file.write(data.data(), data.size()); });
}

void StagedFiles::stageInBlocks(const std::string& path,
                                const std::function<void(TemporaryFile&)>& produce) {
  step("stage " + path);
  auto file = std::make_unique<TemporaryFile>(path);
  produce(*file);
  file->finish();
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto same = std::find_if(files_.begin(), files_.end(),
                                 [&](const Staged& s) { return s.file->target() == path; });
  if (same != files_.end())
    same->file = std::move(file);
  else
    files_.push_back(Staged{std::move(file), std::string(), false});
}

void StagedFiles::commit() {
  const std::lock_guard<std::mutex> lock(mutex_);
  // A directory in the way stops the save before anything changes.
  step("check");
  for (const Staged& staged : files_) {
    struct stat info {};
    if (exists(staged.file->target(), info) && S_ISDIR(info.st_mode))
      failReplace(staged.file->target(), EISDIR);
  }
  try {
    takeMarkerAway();
    for (Staged& staged : files_) replace(staged);
    step("marker");
    putMarker();
  } catch (...) {
    rollBack();
    throw;
  }
  finishCommit();
}

void StagedFiles::takeMarkerAway() {
  const bool markerIsStaged = std::any_of(
      files_.begin(), files_.end(), [&](const Staged& s) { return s.file->target() == marker_; });
  if (markerIsStaged) marker_.clear();  // the set's own file: it is replaced like the others
  if (marker_.empty()) return;
  step("marker away");
  struct stat info {};
  if (!exists(marker_, info) || S_ISDIR(info.st_mode)) return;
  markerAside_ = moveAside(marker_);
  if (markerAside_.empty()) failReplace(marker_, errno);
}

// The old marker comes back under its name with its content; without one, a new empty marker
// is created, unless a file of that name appeared meanwhile.
void StagedFiles::putMarker() {
  if (marker_.empty()) return;
  if (!markerAside_.empty()) {
    if (::rename(markerAside_.c_str(), marker_.c_str()) != 0) failReplace(marker_, errno);
    markerAside_.clear();
    return;
  }
  const int fd =
      ::open(marker_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) ::close(fd);
}

void StagedFiles::replace(Staged& staged) {
  const std::string& target = staged.file->target();
  step("replace " + target);
  struct stat info {};
  if (exists(target, info)) staged.oldCopy = keepAside(target);
  step("rename " + target);
  staged.file->moveOntoTarget();
  staged.committed = true;
}

// Puts back every file replaced so far, newest first: the old file's second name is renamed
// over the new one in one step. A file that did not exist before is removed again, but only
// while it is still the one this save wrote.
void StagedFiles::rollBack() {
  for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
    const std::string& target = it->file->target();
    if (!it->oldCopy.empty()) {
      // When the target was never replaced, both names are links of one file (a rename would
      // do nothing): only the second name goes.
      struct stat old {
      }, now{};
      const bool sameFile = exists(it->oldCopy, old) && exists(target, now) &&
                            old.st_dev == now.st_dev && old.st_ino == now.st_ino;
      sameFile ? ::unlink(it->oldCopy.c_str()) : ::rename(it->oldCopy.c_str(), target.c_str());
    } else if (it->committed && it->file->isAt(target)) {
      ::unlink(target.c_str());
    }
    it->oldCopy.clear();
    it->committed = false;
  }
  if (!markerAside_.empty() && ::rename(markerAside_.c_str(), marker_.c_str()) == 0)
    markerAside_.clear();
}

// The replaced files' second names go; the directories' entries are made durable.
void StagedFiles::finishCommit() {
  std::vector<std::string> synced;
  for (Staged& staged : files_) {
    if (!staged.oldCopy.empty()) ::unlink(staged.oldCopy.c_str());
    const std::string& target = staged.file->target();
    const std::string directory = target.substr(0, target.find_last_of('/') + 1);
    if (std::find(synced.begin(), synced.end(), directory) == synced.end()) {
      syncDirectoryOf(target);
      synced.push_back(directory);
    }
  }
  files_.clear();
}

}  // namespace tbp
