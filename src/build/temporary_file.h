#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace tbp {

// A failure to read or write a file (as opposed to bad content in it): its message names the
// file already, so callers pass it on as it is.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A new file of this process's own beside a target file, to be renamed onto it once complete.
// Its name is hidden, short (it fits the file system's name limit whatever the target's name)
// and unguessable, and it is created exclusively and never through a link, so it can neither
// collide with a user's file nor be redirected by one. Unless it was moved onto its target,
// the file is removed on destruction, and only while it is still the file this object made.
class TemporaryFile {
 public:
  // Throws "cannot write " + target when no file can be created beside target.
  explicit TemporaryFile(const std::string& target);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  const std::string& target() const { return target_; }

  // Appends bytes. Throws "write failed (disk full?): " + target.
  void write(const std::uint8_t* data, std::size_t size);
  // Rewrites bytes already written, reads them back and cuts the file to a size, for a pass
  // over a file made in blocks. The writes throw FileError("write failed (disk full?): " +
  // target); readAt reads exactly `size` bytes from within the file, or throws
  // FileError("read failed: " + target).
  void writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size);
  void readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size);
  void truncate(std::uint64_t size);
  // Flushes the data to the disk and closes the file, so that a rename cannot make a partial
  // file the target's content. Throws "write failed (disk full?): " + target.
  void finish();
  // Renames the finished file onto the target in one step (an existing target is replaced, a
  // reader sees the old or the new file, never neither). Throws "cannot replace " + target +
  // ": " + the system's reason; the temporary file stays this object's to remove.
  void moveOntoTarget();
  // Whether the file at path is the one this object made (same device and inode).
  bool isAt(const std::string& path) const;
  // Removes the file now if it is still this object's.
  void discard();

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
  bool owned_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// How many fresh names are tried before a name clash is taken for a fault: with 16 random
// letters, a clash means something other than chance is at work.
inline constexpr int kSiblingNameAttempts = 64;

// A fresh random name for a hidden file beside target: "." + at most the first 24 bytes of the
// target's name (cut at a character boundary) + "." + 16 random letters and digits + suffix.
std::string temporarySiblingName(const std::string& target, const std::string& suffix);

// Makes the directory entries of path's directory durable (after a rename). Failures are
// ignored: they cannot undo a completed rename.
void syncDirectoryOf(const std::string& path);

}  // namespace tbp
