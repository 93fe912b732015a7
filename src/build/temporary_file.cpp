#include "build/temporary_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tbp {
namespace {

constexpr std::size_t kKeptNameBytes = 24;
constexpr std::size_t kRandomLetters = 16;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string randomLetters(std::size_t count) {
  std::uint8_t noise[kRandomLetters];
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::getrandom(noise + got, count - got, 0);
    if (n > 0)
      got += std::size_t(n);
    else if (errno != EINTR)
      break;
  }
  if (got < count) {  // no kernel randomness: the device fallback is still unpredictable enough
    std::random_device device;
    for (; got < count; ++got) noise[got] = std::uint8_t(device());
  }
  std::string letters;
  const std::size_t alphabetSize = sizeof kAlphabet - 1;
  for (std::size_t i = 0; i < count; ++i) letters += kAlphabet[noise[i] % alphabetSize];
  return letters;
}

// The first bytes of name, never cutting a UTF-8 sequence, so the hidden file still shows
// which file it belongs to.
std::string keptPart(const std::string& name) {
  if (name.size() <= kKeptNameBytes) return name;
  std::size_t end = kKeptNameBytes;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t wrote = ::write(fd, data + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

std::string temporarySiblingName(const std::string& target, const std::string& suffix) {
  const std::size_t slash = target.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  return directory + "." + keptPart(name) + "." + randomLetters(kRandomLetters) + suffix;
}

void syncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

TemporaryFile::TemporaryFile(const std::string& target) : target_(target) {
  // O_EXCL with O_NOFOLLOW: the name is new, and whatever someone put there meanwhile (a file,
  // a link) makes the attempt fail instead of being opened or followed.
  for (int attempt = 0; attempt < kSiblingNameAttempts && fd_ < 0; ++attempt) {
    path_ = temporarySiblingName(target, ".tmp");
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) throw FileError("cannot write " + target);
  struct stat info {};
  ::fstat(fd_, &info);
  device_ = info.st_dev;
  inode_ = info.st_ino;
  owned_ = true;
}

TemporaryFile::~TemporaryFile() { discard(); }

void TemporaryFile::write(const std::uint8_t* data, std::size_t size) {
  if (fd_ < 0 || !writeAll(fd_, data, size))
    throw FileError("write failed (disk full?): " + target_);
}

void TemporaryFile::writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < size) {
    const ssize_t wrote = ::pwrite(fd_, data + done, size - done, off_t(offset + done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  if (done < size || fd_ < 0) throw FileError("write failed (disk full?): " + target_);
}

void TemporaryFile::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < size) {
    const ssize_t got = ::pread(fd_, out + done, size - done, off_t(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  if (done < size || fd_ < 0) throw FileError("read failed: " + target_);
}

void TemporaryFile::truncate(std::uint64_t size) {
  if (fd_ < 0 || ::ftruncate(fd_, off_t(size)) != 0)
    throw FileError("write failed (disk full?): " + target_);
}

void TemporaryFile::finish() {
  const int fd = fd_;
  fd_ = -1;
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  const bool closed = fd >= 0 && ::close(fd) == 0;
  if (!synced || !closed) throw FileError("write failed (disk full?): " + target_);
}

void TemporaryFile::moveOntoTarget() {
  if (::rename(path_.c_str(), target_.c_str()) != 0) {
    const int error = errno;  // before anything else can change it
    throw std::runtime_error("cannot replace " + target_ + ": " + std::strerror(error));
  }
  owned_ = false;
}

bool TemporaryFile::isAt(const std::string& path) const {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

void TemporaryFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (owned_ && isAt(path_)) ::unlink(path_.c_str());
  owned_ = false;
}

}  // namespace tbp
