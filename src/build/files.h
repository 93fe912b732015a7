#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "build/byte_source.h"
#include "formats/bytes.h"

namespace tbp {

// What a file is read as. Each role has a size limit, checked from the file system before a
// byte is read, so that a huge (or sparse) file is refused at once instead of filling memory.
enum class FileRole { Any, NesRom, Port, Rom, Patch, Audio, Json };

// The largest file accepted for a role, in bytes: NES ROM 16 MB, port 16 MB, any other ROM
// (the ROM a patch applies to or is made from) 256 MB, patch 256 MB, audio 1024 MB, JSON
// 64 MB, and 1024 MB for a file read without a role.
std::uint64_t readLimit(FileRole role);

// The whole file at path (UTF-8). Only a regular file is read; anything else is refused
// without waiting for it. Throws "cannot open " + path, "cannot open " + path + ": not a
// regular file" (a FIFO, a device, a socket), path + " is too large for <role> (the limit is
// <n> MB)" or "read failed: " + path (also for a directory).
Bytes readFile(const std::string& path, FileRole role = FileRole::Any);

// A file read in blocks where it lies, for inputs too large to hold whole (audio): opened with
// readFile's checks and errors (only a regular file within the role's limit, refused without
// waiting for it), then read at any offset up to the size it had when opened. A read error
// throws FileError("read failed: " + path).
class FileSource : public ByteSource {
 public:
  FileSource(const std::string& path, FileRole role);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t size() const override { return size_; }
  std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Throws what readFile would throw before reading (missing, unreadable, not a regular file,
// too large), without reading: a quick check of an input used much later.
void checkReadableFile(const std::string& path, FileRole role);

// Replaces the file at path with data through a new, uniquely named hidden sibling and a
// rename, so that an existing file is never left half-written and concurrent writers leave
// exactly one complete file. A device node under /dev/ is written in place. Throws with the
// path the caller gave; on failure nothing new is left behind.
void writeFileSafely(const std::string& path, const Bytes& data);

class TemporaryFile;

// The same, for a file made in blocks: produce writes the content into the temporary file
// (and may rewrite it), which replaces the file at path only when produce returns. Whatever
// produce throws leaves nothing behind. Not for device nodes.
void writeFileInBlocks(const std::string& path, const std::function<void(TemporaryFile&)>& produce);

}  // namespace tbp
