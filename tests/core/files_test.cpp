#include "build/files.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

tbp::Bytes patternBytes(std::size_t length, std::uint8_t seed) {
  tbp::Bytes data(length);
  for (std::size_t i = 0; i < length; ++i)
    data[i] = static_cast<std::uint8_t>(seed + i * 31 + (i >> 8));
  return data;
}

void putFile(const fs::path& path, const tbp::Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

tbp::Bytes fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return tbp::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string errorOf(void (*action)(const std::string&, const tbp::Bytes&), const std::string& path,
                    const tbp::Bytes& data) {
  try {
    action(path, data);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

std::string writeError(const std::string& path, const tbp::Bytes& data) {
  return errorOf(tbp::writeFileSafely, path, data);
}

std::string readError(const std::string& path) {
  try {
    tbp::readFile(path);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

// Runs body in a child process (so limits, mounts and signal settings stay there) and
// returns the text the child wrote to the pipe.
std::string inChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string result;
    try {
      result = body();
    } catch (const std::exception& error) {
      result = std::string("child threw: ") + error.what();
    }
    const ssize_t written = ::write(fds[1], result.data(), result.size());
    ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[256];
  ssize_t got;
  while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, got);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed: " + text;
  return text;
}

std::vector<std::string> listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "tbp_files_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
};

TEST_F(Files, WriteThenReadRoundTripsAndLeavesNoTemporary) {
  const fs::path path = dir_ / "rom.sfc";
  const tbp::Bytes data = patternBytes(300000, 5);
  tbp::writeFileSafely(path.string(), data);
  EXPECT_EQ(tbp::readFile(path.string()), data);
  EXPECT_EQ(listing(dir_), std::vector<std::string>{"rom.sfc"});
}

// Any name the file system accepts works, however little room it leaves for a temporary
// name; a name cut inside a character (3-byte letters) works too.
TEST_F(Files, LongestNamesAreWritten) {
  const std::string ascii(255, 'n');
  std::string letters;
  while (letters.size() + 3 <= 255) letters += "\xE2\x82\xAC";  // the euro sign, 85 times
  for (const std::string& name : {ascii.substr(0, 250), ascii, letters}) {
    const fs::path path = dir_ / name;
    EXPECT_EQ(writeError(path.string(), {1, 2, 3}), "no error") << name.size();
    EXPECT_EQ(fileBytes(path), (tbp::Bytes{1, 2, 3}));
    EXPECT_EQ(listing(dir_), std::vector<std::string>{name});
    fs::remove(path);
  }
}

TEST_F(Files, OverwriteReplacesTheFileThroughARename) {
  const fs::path path = dir_ / "rom.sfc";
  const tbp::Bytes old = patternBytes(5000, 1);
  putFile(path, old);
  // A second name for the old file: a rename leaves its content alone, an in-place
  // rewrite would not.
  fs::create_hard_link(path, dir_ / "old-link");
  const tbp::Bytes fresh = patternBytes(1234, 2);
  tbp::writeFileSafely(path.string(), fresh);
  EXPECT_EQ(fileBytes(path), fresh);
  EXPECT_EQ(fileBytes(dir_ / "old-link"), old);
  EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

// The names earlier versions used for their temporary files are a user's files now (a
// browser's partial download is "<name>.part"): left exactly as they are.
TEST_F(Files, EmptyBufferAndUserFilesAtOldTemporaryNames) {
  const fs::path path = dir_ / "empty.bin";
  putFile(path.string() + ".tmp", patternBytes(777, 3));
  putFile(path.string() + ".part", patternBytes(555, 4));
  putFile(path, patternBytes(10, 4));
  tbp::writeFileSafely(path.string(), {});
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(fs::file_size(path), 0u);
  EXPECT_TRUE(tbp::readFile(path.string()).empty());
  EXPECT_EQ(fileBytes(path.string() + ".tmp"), patternBytes(777, 3));
  EXPECT_EQ(fileBytes(path.string() + ".part"), patternBytes(555, 4));
  EXPECT_EQ(listing(dir_).size(), 3u);
}

TEST_F(Files, DevicePathIsWrittenDirectly) {
  EXPECT_EQ(writeError("/dev/null", patternBytes(100, 1)), "no error");
  EXPECT_FALSE(fs::exists("/dev/null.tmp"));
  // Written through, not replaced by a regular file.
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(Files, TargetThatCannotBeCreated) {
  const std::string missingDir = (dir_ / "no-such-dir" / "out.sfc").string();
  EXPECT_EQ(writeError(missingDir, {1, 2, 3}), "cannot write " + missingDir);
  // A parent that is a regular file stops root as well as anyone.
  putFile(dir_ / "plain", {9});
  const std::string underFile = (dir_ / "plain" / "out.sfc").string();
  EXPECT_EQ(writeError(underFile, {1, 2, 3}), "cannot write " + underFile);
  EXPECT_EQ(fileBytes(dir_ / "plain"), tbp::Bytes{9});
  // sysfs refuses new files to every user.
  EXPECT_EQ(writeError("/sys/tbp-probe.bin", {1}), "cannot write /sys/tbp-probe.bin");
}

// In a child process: stores old as path inside dir, then makes dir read-only. Root, whom
// permission bits do not stop, gets a read-only tmpfs mounted over dir in a private mount
// namespace; anyone else gets mode 0555. False when root may not mount here.
bool prepareReadOnlyDirectory(const fs::path& dir, const fs::path& path, const tbp::Bytes& old) {
  if (::geteuid() != 0) {
    putFile(path, old);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    return true;
  }
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") != 0) {
    return false;
  }
  putFile(path, old);
  return ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

TEST_F(Files, ReadOnlyDirectoryKeepsTheOldFile) {
  const fs::path roDir = dir_ / "readonly";
  fs::create_directory(roDir);
  const fs::path path = roDir / "game.sfc";
  const tbp::Bytes old = patternBytes(4096, 6);
  const std::string result = inChild([&]() -> std::string {
    if (!prepareReadOnlyDirectory(roDir, path, old)) {
      // Without the right to mount, /proc/self is a directory nobody may create files in.
      const std::string procPath = "/proc/self/tbp-readonly.sfc";
      const std::string message = writeError(procPath, old);
      return message == "cannot write " + procPath ? "refused" : message;
    }
    const std::string message = writeError(path.string(), patternBytes(100, 7));
    if (message != "cannot write " + path.string()) return message;
    if (fileBytes(path) != old) return "old file changed";
    if (fs::exists(path.string() + ".tmp")) return "temporary left";
    return "refused";
  });
  EXPECT_EQ(result, "refused");
}

// The write itself fails: a file-size limit below the data size makes write() return EFBIG
// (SIGXFSZ is ignored so the process survives to see it).
TEST_F(Files, WriteFailureKeepsTheOldFileAndRemovesTheTemporary) {
  const fs::path path = dir_ / "big.sfc";
  const tbp::Bytes old = patternBytes(3000, 8);
  putFile(path, old);
  const std::string message = inChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{65536, 65536};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::string("setrlimit failed");
    return writeError(path.string(), patternBytes(1 << 20, 9));
  });
  EXPECT_EQ(message, "write failed (disk full?): " + path.string());
  EXPECT_EQ(fileBytes(path), old);
  EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

// A failed write leaves nothing behind: the temporary file goes with the failure.
TEST_F(Files, RenameFailureLeavesNoTemporary) {
  const fs::path path = dir_ / "occupied";
  fs::create_directories(path / "child");
  const tbp::Bytes data = patternBytes(999, 10);
  const std::string message = writeError(path.string(), data);
  EXPECT_EQ(message.rfind("cannot replace " + path.string() + ": ", 0), 0u) << message;
  EXPECT_GT(message.size(), ("cannot replace " + path.string() + ": ").size());
  EXPECT_EQ(listing(dir_), std::vector<std::string>{"occupied"});
  EXPECT_TRUE(fs::is_directory(path / "child"));
}

// Even an empty directory at the target is left alone: it is not this program's to remove.
TEST_F(Files, DirectoryInTheWayIsNeverRemoved) {
  const fs::path path = dir_ / "was-a-dir";
  fs::create_directory(path);
  const std::string message = writeError(path.string(), {1, 2});
  EXPECT_EQ(message.rfind("cannot replace " + path.string() + ": ", 0), 0u) << message;
  EXPECT_TRUE(fs::is_directory(path));
  EXPECT_EQ(listing(dir_), std::vector<std::string>{"was-a-dir"});
}

// Whatever stands at a name earlier versions used for their temporary file is the user's: it
// stays, and a link there never makes the write land in the file it points to.
TEST_F(Files, AnythingAtTheOldTemporaryNameIsLeftAlone) {
  const fs::path path = dir_ / "save.sfc";
  const fs::path temporary = path.string() + ".tmp";
  const fs::path victim = dir_ / "someone-elses.bin";
  const tbp::Bytes data = patternBytes(2048, 12);
  const std::vector<std::pair<const char*, std::function<void()>>> rows = {
      {"stale file", [&] { putFile(temporary, patternBytes(5000, 13)); }},
      {"link to a file", [&] { fs::create_symlink(victim, temporary); }},
      {"dangling link", [&] { fs::create_symlink(dir_ / "nowhere", temporary); }},
      {"link to a directory", [&] { fs::create_directory_symlink(dir_, temporary); }},
  };
  for (const auto& [name, plant] : rows) {
    putFile(victim, {7, 7, 7});
    plant();
    EXPECT_EQ(writeError(path.string(), data), "no error") << name;
    EXPECT_EQ(fileBytes(path), data) << name;
    EXPECT_EQ(fileBytes(victim), (tbp::Bytes{7, 7, 7})) << name;
    EXPECT_TRUE(fs::exists(fs::symlink_status(temporary))) << name;
    EXPECT_EQ(listing(dir_).size(), 3u) << name;
    fs::remove(path);
    fs::remove(temporary);
  }
}

// Under /dev/ only device nodes are written in place; an ordinary file there (shared memory)
// is replaced through the temporary file like anywhere else.
TEST_F(Files, OrdinaryFileUnderDevGoesThroughTheTemporary) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const fs::path path = fs::path("/dev/shm") / dir_.filename();
  const tbp::Bytes old = patternBytes(100, 14);
  const fs::path oldName = path.string() + "-old";
  putFile(path, old);
  fs::create_hard_link(path, oldName);
  const tbp::Bytes fresh = patternBytes(300, 15);
  const std::string message = writeError(path.string(), fresh);
  const tbp::Bytes seenThroughOldName = fileBytes(oldName);
  const tbp::Bytes written = fileBytes(path);
  fs::remove(path);
  fs::remove(oldName);
  EXPECT_EQ(message, "no error");
  EXPECT_EQ(written, fresh);
  EXPECT_EQ(seenThroughOldName, old);  // replaced by a rename, not rewritten in place
}

TEST_F(Files, ReadErrors) {
  const std::string missing = (dir_ / "missing.nes").string();
  EXPECT_EQ(readError(missing), "cannot open " + missing);
  EXPECT_EQ(readError(dir_.string()), "read failed: " + dir_.string());
  putFile(dir_ / "empty", {});
  EXPECT_TRUE(tbp::readFile((dir_ / "empty").string()).empty());
}

TEST_F(Files, ReadsNonRegularFilesToTheirEnd) {
  const tbp::Bytes status = tbp::readFile("/proc/self/status");
  const std::string text(status.begin(), status.end());
  EXPECT_NE(text.find("Name:"), std::string::npos);
}

// A FIFO (or any file that is not a regular file) is refused at once: opening it for reading
// would otherwise wait for a writer forever. The child gives up after 10 s.
TEST_F(Files, FifoIsRefusedWithoutWaiting) {
  const fs::path fifo = dir_ / "fifo.nes";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string expected = "cannot open " + fifo.string() + ": not a regular file";
  const std::string result = inChild([&] {
    ::alarm(10);
    std::string checked = "no error";
    try {
      tbp::checkReadableFile(fifo.string(), tbp::FileRole::Audio);
    } catch (const std::runtime_error& error) {
      checked = error.what();
    }
    return readError(fifo.string()) + "|" + checked;
  });
  EXPECT_EQ(result, expected + "|" + expected);
}

// Sizes come from the file system before anything is read: a sparse file just past a role's
// limit is refused at once, naming the file and the limit; one at the limit is read.
TEST_F(Files, EachRoleRefusesFilesPastItsLimit) {
  const std::pair<tbp::FileRole, std::string> rows[] = {
      {tbp::FileRole::NesRom, "an NES ROM (the limit is 16 MB)"},
      {tbp::FileRole::Port, "a port (the limit is 16 MB)"},
      {tbp::FileRole::Rom, "a ROM (the limit is 256 MB)"},
      {tbp::FileRole::Patch, "a patch (the limit is 256 MB)"},
      {tbp::FileRole::Audio, "an audio file (the limit is 1024 MB)"},
      {tbp::FileRole::Json, "a JSON file (the limit is 64 MB)"},
      {tbp::FileRole::Any, "this program (the limit is 1024 MB)"},
  };
  const fs::path path = dir_ / "sparse.bin";
  putFile(path, {});
  for (const auto& [role, limitText] : rows) {
    fs::resize_file(path, tbp::readLimit(role) + 1);
    std::string message = "no error";
    try {
      tbp::readFile(path.string(), role);
    } catch (const std::runtime_error& error) {
      message = error.what();
    }
    EXPECT_EQ(message, path.string() + " is too large for " + limitText);
  }
  // 2.5 GB: far past every limit, and no memory is taken for it.
  fs::resize_file(path, 2560ull << 20);
  EXPECT_EQ(readError(path.string()),
            path.string() + " is too large for this program (the limit is 1024 MB)");
  fs::resize_file(path, tbp::readLimit(tbp::FileRole::NesRom));
  EXPECT_EQ(tbp::readFile(path.string(), tbp::FileRole::NesRom).size(), 16u << 20);
}

// Concurrent writers of one path, as threads and as processes: after every round exactly one
// complete file remains, the old one or one of the new ones, and no temporary file.
TEST_F(Files, ConcurrentWritersLeaveOneCompleteFile) {
  const fs::path path = dir_ / "out.sfc";
  constexpr int kWriters = 6;
  std::vector<tbp::Bytes> versions;
  for (int i = 0; i < kWriters; ++i) versions.push_back(patternBytes(200000 + i * 1000, i));
  const auto check = [&](const char* how, int round) {
    const tbp::Bytes left = fileBytes(path);
    EXPECT_NE(std::find(versions.begin(), versions.end(), left), versions.end())
        << how << " round " << round << ": " << left.size() << " bytes";
    EXPECT_EQ(listing(dir_), std::vector<std::string>{"out.sfc"}) << how;
  };
  for (int round = 0; round < 5; ++round) {
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i)
      threads.emplace_back([&, i] { tbp::writeFileSafely(path.string(), versions[i]); });
    for (std::thread& thread : threads) thread.join();
    check("threads", round);
    std::vector<pid_t> children;
    for (int i = 0; i < kWriters; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::_exit(writeError(path.string(), versions[i]) == "no error" ? 0 : 1);
      }
      children.push_back(pid);
    }
    for (const pid_t pid : children) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    check("processes", round);
  }
}

}  // namespace
