#include "build/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "build/temporary_file.h"

namespace tbp {

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

// Closes a descriptor once, on every path out of a function.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Hands the descriptor over to the caller, who closes it.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
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

const char* roleName(FileRole role) {
  switch (role) {
    case FileRole::NesRom:
      return "an NES ROM";
    case FileRole::Port:
      return "a port";
    case FileRole::Rom:
      return "a ROM";
    case FileRole::Patch:
      return "a patch";
    case FileRole::Audio:
      return "an audio file";
    case FileRole::Json:
      return "a JSON file";
    case FileRole::Any:
      break;
  }
  return "this program";
}

std::runtime_error tooLarge(const std::string& path, FileRole role) {
  return std::runtime_error(path + " is too large for " + roleName(role) + " (the limit is " +
                            std::to_string(readLimit(role) / kMegabyte) + " MB)");
}

// Opens without blocking (a FIFO would otherwise wait for a writer forever), then accepts only
// a regular file within the role's limit. Returns the open descriptor and the size on record.
FileDescriptor openForReading(const std::string& path, FileRole role, std::uint64_t& size) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) throw std::runtime_error("cannot open " + path);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) throw std::runtime_error("read failed: " + path);
  // A directory opens but cannot be read: the reader's read error, as ever. Anything else
  // that is not a regular file (a FIFO, a device, a socket) is refused by its kind.
  if (S_ISDIR(info.st_mode)) throw std::runtime_error("read failed: " + path);
  if (!S_ISREG(info.st_mode))
    throw std::runtime_error("cannot open " + path + ": not a regular file");
  size = info.st_size > 0 ? std::uint64_t(info.st_size) : 0;
  if (size > readLimit(role)) throw tooLarge(path, role);
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// Reads the rest of the file through a chunk that stays in the cache, appending to out, but
// never beyond the role's limit (a file may grow while it is read, and a kernel file records 0).
bool readAll(int fd, Bytes& out, std::uint64_t limit, bool& tooLarge) {
  for (;;) {
    std::uint8_t chunk[kReadChunk];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (std::uint64_t(got) > limit - out.size()) {
      tooLarge = true;
      return true;
    }
    out.insert(out.end(), chunk, chunk + got);
  }
}

// Asks for the large pages of the processor in a large buffer that is about to be filled: one
// page fault then maps 2 MiB instead of 4 KiB, and the faults of a file of tens of megabytes
// otherwise cost more than reading it. Only a hint: where the system refuses, nothing changes.
void preferHugePages(void* buffer, std::size_t size) {
  constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
  if (size < 2 * kHugePage) return;
  const auto start = reinterpret_cast<std::uintptr_t>(buffer);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

// A device node under /dev/ (a terminal, /dev/null, a disk) is written in place: it cannot be
// replaced by a rename. Anything else under /dev/, such as a file in /dev/shm, is an ordinary
// file and goes the safe way.
bool isDevicePath(const std::string& path) {
  struct stat info {};
  return path.rfind("/dev/", 0) == 0 && ::stat(path.c_str(), &info) == 0 &&
         (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode));
}

void writeDevice(const std::string& path, const Bytes& data) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) throw std::runtime_error("cannot write " + path);
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t wrote = ::write(fd.get(), data.data() + done, data.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) throw std::runtime_error("write failed (disk full?): " + path);
    done += std::size_t(wrote);
  }
  if (!fd.close()) throw std::runtime_error("write failed (disk full?): " + path);
}

}  // namespace

std::uint64_t readLimit(FileRole role) {
  switch (role) {
    case FileRole::NesRom:
      return 16 * kMegabyte;
    case FileRole::Port:
      return 16 * kMegabyte;
    case FileRole::Rom:
      return 256 * kMegabyte;
    case FileRole::Patch:
      return 256 * kMegabyte;
    case FileRole::Audio:
      return 1024 * kMegabyte;
    case FileRole::Json:
      return 64 * kMegabyte;
    case FileRole::Any:
      break;
  }
  return 1024 * kMegabyte;
}

void checkReadableFile(const std::string& path, FileRole role) {
  std::uint64_t size = 0;
  openForReading(path, role, size);
}

Bytes readFile(const std::string& path, FileRole role) {
  std::uint64_t size = 0;
  const FileDescriptor fd = openForReading(path, role, size);
  // One reservation of the recorded size, filled as the file is read: a buffer sized up front
  // would be zero-filled first, which costs about as much as the reading itself.
  Bytes data;
  data.reserve(static_cast<std::size_t>(size));
  preferHugePages(data.data(), data.capacity());
  bool grewTooLarge = false;
  if (!readAll(fd.get(), data, readLimit(role), grewTooLarge))
    throw std::runtime_error("read failed: " + path);
  if (grewTooLarge) throw tooLarge(path, role);
  return data;
}

FileSource::FileSource(const std::string& path, FileRole role) : path_(path) {
  FileDescriptor fd = openForReading(path, role, size_);
  fd_ = fd.release();
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileSource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  if (offset >= size_) return 0;
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, count - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw FileError("read failed: " + path_);  // an error, or it shrank meanwhile
    done += std::size_t(got);
  }
  return done;
}

void writeFileSafely(const std::string& path, const Bytes& data) {
  if (isDevicePath(path)) return writeDevice(path, data);
  writeFileInBlocks(path, [&data](TemporaryFile& file) { file.write(data.data(), data.size()); });
}

void writeFileInBlocks(const std::string& path, const std::function<void(TemporaryFile&)>& produce) {
  TemporaryFile file(path);
  produce(file);
  file.finish();
  file.moveOntoTarget();
  syncDirectoryOf(path);
}

}  // namespace tbp
