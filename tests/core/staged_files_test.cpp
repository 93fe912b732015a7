#include "build/staged_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Contents = std::map<std::string, std::string>;  // file name -> content

struct PlantedFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

tbp::Bytes bytesOf(const std::string& text) { return tbp::Bytes(text.begin(), text.end()); }

class StagedFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "tbp_staged_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  // Every entry of the directory, hidden ones included, with its content ("<dir>" for one).
  Contents contents() const {
    Contents found;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      std::ifstream in(entry.path(), std::ios::binary);
      found[entry.path().filename()] =
          entry.is_directory() ? "<dir>" : std::string(std::istreambuf_iterator<char>(in), {});
    }
    return found;
  }

  void put(const Contents& files) {
    for (const auto& [name, text] : files) std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  // Saves `files` as one set with the marker Game.msu; beforeStep as given.
  void save(const Contents& files, const std::function<void(const std::string&)>& hook = {}) {
    tbp::StagedFiles staged;
    staged.beforeStep = hook;
    staged.setMarker(path("Game.msu"));
    for (const auto& [name, text] : files) staged.stage(path(name), bytesOf(text));
    staged.commit();
  }

  fs::path dir_;
};

const Contents kOld = {{"Game.sfc", "old rom"},
                       {"Game-1.pcm", "old 1"},
                       {"Game-2.pcm", "old 2"},
                       {"Game.msu", "the user's marker"}};
const Contents kNew = {{"Game.sfc", "new rom"},
                       {"Game-1.pcm", "new 1"},
                       {"Game-2.pcm", "new 2"},
                       {"Game-3.pcm", "new 3"}};

// Whether the files present belong to one save: either all old or all new.
bool oneSave(const Contents& seen) {
  bool allOld = true, allNew = true;
  for (const auto& [name, text] : seen) {
    if (name == "Game.msu" || name[0] == '.') continue;  // the marker; staged files
    allOld = allOld && kOld.count(name) && kOld.at(name) == text;
    allNew = allNew && kNew.count(name) && kNew.at(name) == text;
  }
  return allOld || allNew;
}

TEST_F(StagedFilesTest, CommitReplacesTheSetAndKeepsTheMarker) {
  put(kOld);
  save(kNew);
  Contents expected = kNew;
  expected["Game.msu"] = "the user's marker";
  EXPECT_EQ(contents(), expected);
  // Without a marker before, an empty one is made.
  fs::remove(path("Game.msu"));
  save(kNew);
  expected["Game.msu"] = "";
  EXPECT_EQ(contents(), expected);
}

// A failure planted before each step of the save (staging a file, the check, taking the marker
// away, each replacement, putting the marker back) leaves the old set exactly as it was, or
// nothing when there was none, and no temporary file. Before every step, whenever the marker
// is present the set is of one save: a process killed there leaves no mixed set.
TEST_F(StagedFilesTest, FailureAtEveryStepLeavesTheOldSet) {
  std::vector<std::string> steps;
  put(kOld);
  save(kNew, [&](const std::string& step) { steps.push_back(step); });
  // stage x4, check, marker away, (replace, rename) x4, marker
  ASSERT_EQ(steps.size(), 4u + 1 + 1 + 2 * 4 + 1);
  for (const bool withOldSet : {true, false}) {
    for (const std::string& failing : steps) {
      fs::remove_all(dir_);
      fs::create_directory(dir_);
      if (withOldSet) put(kOld);
      const Contents before = contents();
      EXPECT_THROW(save(kNew,
                        [&](const std::string& step) {
                          const Contents now = contents();
                          if (now.count("Game.msu")) {
                            EXPECT_TRUE(oneSave(now)) << step;
                          }
                          if (step == failing) throw PlantedFailure(step);
                        }),
                   PlantedFailure)
          << failing;
      EXPECT_EQ(contents(), before) << failing;
    }
  }
}

// A directory in place of the third track stops the save before anything changes.
TEST_F(StagedFilesTest, DirectoryInTheWayStopsTheWholeSet) {
  put(kOld);
  fs::create_directory(dir_ / "Game-3.pcm");
  const Contents before = contents();
  try {
    save(kNew);
    ADD_FAILURE() << "saved over a directory";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              "cannot replace " + path("Game-3.pcm") + ": Is a directory");
  }
  EXPECT_EQ(contents(), before);
}

// Tracks are staged from several threads at once, as the window converts them.
TEST_F(StagedFilesTest, StagingFromThreads) {
  tbp::StagedFiles staged;
  staged.setMarker(path("Game.msu"));
  Contents expected{{"Game.msu", ""}};
  std::vector<std::thread> threads;
  for (int track = 1; track <= 8; ++track) {
    const std::string name = "Game-" + std::to_string(track) + ".pcm";
    expected[name] = std::string(size_t(5000 * track), char('a' + track));
    threads.emplace_back([&, name] { staged.stage(path(name), bytesOf(expected.at(name))); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(contents().size(), 8u);  // staged, hidden, none in place yet
  staged.commit();
  EXPECT_EQ(contents(), expected);
}

}  // namespace
