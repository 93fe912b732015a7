#include "build/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tbp {

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

// Closes a descriptor once, on every path out of a function.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool readAll(int fd, Bytes& out) {
  for (;;) {
    const std::size_t used = out.size();
    out.resize(used + kReadChunk);
    const ssize_t got = ::read(fd, out.data() + used, kReadChunk);
    if (got < 0 && errno == EINTR) {
      out.resize(used);
      continue;
    }
    out.resize(used + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got < 0) return false;
    if (got == 0) return true;
  }
}

bool writeAll(int fd, const Bytes& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

// A device node under /dev/ (a terminal, /dev/null, a disk) is written in place: it cannot be
// replaced by a rename, and the temporary sibling could not be created there anyway. Anything
// else under /dev/, such as a file in /dev/shm, is an ordinary file and goes the safe way.
bool isDevicePath(const std::string& path) {
  struct stat info {};
  return path.rfind("/dev/", 0) == 0 && ::stat(path.c_str(), &info) == 0 &&
         (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode));
}

// The device is opened as it is. The temporary name is taken afresh: whatever stands there
// (a stale file from an earlier failed run, or a link that someone else planted to make the
// write land in another file) is removed, and the new file is created exclusively and never
// through a link, so the data cannot end up anywhere but in a file of our own.
int openTarget(const std::string& target, bool useTemporary) {
  if (!useTemporary) return ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  ::unlink(target.c_str());
  return ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// Makes the rename itself durable: the directory entry is flushed too. A failure here does
// not undo a completed replacement, so it is not reported.
void syncParentDirectory(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
}

[[noreturn]] void failWrite(const std::string& path, const std::string& temporary) {
  if (!temporary.empty()) ::unlink(temporary.c_str());
  throw std::runtime_error("write failed (disk full?): " + path);
}

// Writes, flushes to the disk and closes; on any failure the temporary file is removed.
void writeTarget(const std::string& path, const std::string& target, bool useTemporary,
                 const Bytes& data) {
  FileDescriptor fd(openTarget(target, useTemporary));
  if (!fd.valid()) throw std::runtime_error("cannot write " + path);
  const std::string temporary = useTemporary ? target : std::string();
  if (!writeAll(fd.get(), data)) {
    fd.close();
    failWrite(path, temporary);
  }
  // The data must reach the disk before the rename makes it the file's content; otherwise
  // a power loss could leave an empty or partial file under the final name.
  if (useTemporary && ::fsync(fd.get()) != 0) {
    fd.close();
    failWrite(path, temporary);
  }
  if (!fd.close()) failWrite(path, temporary);
}

}  // namespace

Bytes readFile(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) throw std::runtime_error("cannot open " + path);
  Bytes data;
  struct stat info {};
  if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    data.reserve(static_cast<std::size_t>(info.st_size) + kReadChunk);
  }
  if (!readAll(fd.get(), data)) throw std::runtime_error("read failed: " + path);
  return data;
}

void writeFileSafely(const std::string& path, const Bytes& data) {
  const bool useTemporary = !isDevicePath(path);
  const std::string target = useTemporary ? path + ".tmp" : path;
  writeTarget(path, target, useTemporary, data);
  if (!useTemporary) return;
  if (::rename(target.c_str(), path.c_str()) != 0) {
    // Something stands in the way: remove it and try once more. unlink removes a file or a
    // link but never a directory, which may hold the user's data. The complete data stays in
    // the temporary file if the second rename fails too.
    ::unlink(path.c_str());
    if (::rename(target.c_str(), path.c_str()) != 0) {
      const int renameError = errno;  // before anything else can change it
      throw std::runtime_error("cannot replace " + path + ": " + std::strerror(renameError));
    }
  }
  syncParentDirectory(path);
}

}  // namespace tbp
