#include "build/game_database.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "formats/checksums.h"

namespace fs = std::filesystem;
using tbp::Bytes;
using tbp::GameDatabase;
using tbp::loadGameDatabase;

namespace {

// A fresh directory per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tbp_db_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string write(const std::string& relative, const std::string& text) const {
    const fs::path file = fs::path(path_) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
  }

 private:
  std::string path_;
};

// Loads one games.json holding the given text.
GameDatabase loadText(const std::string& text) {
  TempDir dir;
  return loadGameDatabase(dir.write("games.json", text));
}

// Loads a database of one element whose "nes" object is the given JSON text.
tbp::GameEntry loadNes(const std::string& nes) {
  const GameDatabase db = loadText(R"({"games":[{"nes":)" + nes + "}]}");
  EXPECT_EQ(db.games.size(), 1u);
  return db.games.at(0);
}

std::string hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// The message of the exception the load throws, and its type through the predicate.
template <typename Error>
std::string loadFailure(const std::string& text) {
  try {
    loadText(text);
  } catch (const Error& error) {
    return error.what();
  }
  return "no exception";
}

}  // namespace

TEST(GameDatabaseLoad, ReadsEveryField) {
  const GameDatabase db = loadText(R"({"games":[{
    "id":"quest","title":"Demo Quest","port":"Demo Quest SNES","file":"Demo Quest (USA).nes",
    "base_patch":"quest.bps","notes":"Plays with \u00e9 accents","aliases":["DQ","Quest"],
    "unknown":true,
    "nes":{"size":40976,"crc32":"0xDEADBEEF","crc16":"BEEF",
           "sha256":"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff",
           "header":"4E45531A020100000000000000000000",
           "payload":{"crc32":"12345678","sha256":"ab"}}}]})");
  ASSERT_EQ(db.games.size(), 1u);
  const tbp::GameEntry& e = db.games[0];
  EXPECT_EQ(e.id, "quest");
  EXPECT_EQ(e.title, "Demo Quest");
  EXPECT_EQ(e.port, "Demo Quest SNES");
  EXPECT_EQ(e.file, "Demo Quest (USA).nes");
  EXPECT_EQ(e.basePatch, "quest.bps");
  EXPECT_EQ(e.notes, "Plays with \xC3\xA9 accents");
  EXPECT_EQ(e.aliases, (std::vector<std::string>{"DQ", "Quest"}));
  EXPECT_EQ(e.nesSize, 40976u);
  EXPECT_EQ(e.nesCrc32, 0xDEADBEEFu);
  EXPECT_EQ(e.nesCrc16, 0xBEEFu);
  EXPECT_EQ(e.nesSha256, "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
  EXPECT_EQ(e.nesHeader, (Bytes{0x4E, 0x45, 0x53, 0x1A, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(e.payloadCrc32, 0x12345678u);
  EXPECT_EQ(e.payloadSha256, "ab");
}

TEST(GameDatabaseLoad, HexTextReadsLikeStrtoulBase16) {
  const struct {
    const char* json;
    std::uint32_t crc32;
  } rows[] = {
      {R"("0x1A2B3C4D")", 0x1A2B3C4D},
      {R"("1A2B3C4D")", 0x1A2B3C4D},
      {R"("1a2b3c4d")", 0x1A2B3C4D},
      {R"("0X1a2B3c4D")", 0x1A2B3C4D},
      {R"("  1a2b3c4d")", 0x1A2B3C4D},
      {R"("1a2b3c4dzz9")", 0x1A2B3C4D},
      {R"("abc def")", 0xABC},
      {R"("123456789")", 0x23456789},  // low 32 bits
      {R"("0x")", 0},
      {"305419896", 0},  // a number stores 0
      {"null", 0},
      {R"(["1"])", 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(loadNes(std::string(R"({"crc32":)") + row.json + "}").nesCrc32, row.crc32)
        << row.json;
  }
  EXPECT_EQ(loadNes(R"({"crc16":"0x12345"})").nesCrc16, 0x2345u);
  EXPECT_EQ(loadNes(R"({"payload":{"crc32":"fFfFfFfF"}})").payloadCrc32, 0xFFFFFFFFu);
  EXPECT_EQ(loadNes("{}").nesCrc32, 0u);
}

TEST(GameDatabaseLoad, HeaderIsCutIntoHexPairs) {
  const struct {
    const char* text;
    Bytes bytes;
  } rows[] = {
      {"4E45531A0", {0x4E, 0x45, 0x53, 0x1A}},  // the ninth digit is ignored
      {"4e45", {0x4E, 0x45}},
      {"A", {}},
      {"", {}},
      {"0x10", {0x00, 0x10}},  // "0x" alone reads as 0
      {"1g2h", {0x01, 0x02}},  // each piece stops at its first non-hex digit
  };
  for (const auto& row : rows) {
    EXPECT_EQ(loadNes(std::string(R"({"header":")") + row.text + "\"}").nesHeader, row.bytes)
        << row.text;
  }
  EXPECT_TRUE(loadNes(R"({"header":12})").nesHeader.empty());
}

TEST(GameDatabaseLoad, BadHexTextFailsTheWholeLoad) {
  const char* invalid[] = {
      R"({"games":[{"nes":{"header":"ZZ00"}}]})",
      R"({"games":[{"nes":{"header":"001Aqq"}}]})",
      R"({"games":[{"nes":{"crc32":"xyz"}}]})",
      R"({"games":[{"nes":{"crc32":""}}]})",
      R"({"games":[{},{"nes":{"payload":{"crc32":"g"}}}]})",
      R"({"games":[{"nes":{"crc16":" "}}]})",
  };
  for (const char* text : invalid) {
    EXPECT_EQ(loadFailure<std::invalid_argument>(text), "stoul") << text;
  }
  EXPECT_EQ(loadFailure<std::out_of_range>(R"({"games":[{"nes":{"crc32":"1FFFFFFFFFFFFFFFF"}}]})"),
            "stoul");
}

TEST(GameDatabaseLoad, WrongTypesTakeTheirDefaults) {
  const GameDatabase db = loadText(R"({"games":[
    {"title":5,"file":null,"aliases":["A",7,"B"],"nes":{"size":"40976","sha256":1}},
    "not an object",
    {"aliases":"solo","nes":[1,2]},
    {"nes":{"size":1234.99}},
    {"nes":{"size":-5}},
    {"nes":{"size":1e30}}]})");
  ASSERT_EQ(db.games.size(), 6u);
  EXPECT_EQ(db.games[0].title, "");
  EXPECT_EQ(db.games[0].file, "");
  EXPECT_EQ(db.games[0].aliases, (std::vector<std::string>{"A", "", "B"}));
  EXPECT_EQ(db.games[0].nesSize, 0u);
  EXPECT_EQ(db.games[0].nesSha256, "");
  EXPECT_EQ(db.games[1].title, "");
  EXPECT_EQ(db.games[1].nesCrc32, 0u);
  EXPECT_TRUE(db.games[2].aliases.empty());
  EXPECT_EQ(db.games[3].nesSize, 1234u);  // truncated toward zero
  EXPECT_EQ(db.games[4].nesSize, 0u);     // outside the unsigned range: the default
  EXPECT_EQ(db.games[5].nesSize, 0u);
}

TEST(GameDatabaseLoad, RootsWithoutAGamesArrayGiveAnEmptyDatabase) {
  const char* roots[] = {R"([{"games":[{"title":"x"}]}])",
                         R"({"games":{"0":{"title":"x"}}})",
                         R"({"game":[{"title":"x"}]})",
                         "42",
                         R"("games")",
                         R"({"games":null})"};
  for (const char* text : roots) {
    EXPECT_TRUE(loadText(text).games.empty()) << text;
  }
  EXPECT_EQ(loadText(R"({"games":[{},{}]})").games.size(), 2u);
}

TEST(GameDatabaseLoad, FileAndJsonErrorsPassThrough) {
  TempDir dir;
  const std::string missing = dir.path() + "/nowhere/games.json";
  try {
    loadGameDatabase(missing);
    FAIL() << "a missing file loaded";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "cannot open " + missing);
  }
  const std::string directory = dir.path() + "/folder.json";
  fs::create_directories(directory);  // opens, but cannot be read as a file
  try {
    loadGameDatabase(directory);
    FAIL() << "a directory loaded";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "read failed: " + directory);
  }
  EXPECT_EQ(loadFailure<std::runtime_error>(R"({"games":[]} x)"), "json: trailing data");
  EXPECT_EQ(loadFailure<std::runtime_error>("{\"games\":[]} \t\r\n"), "no exception");
  EXPECT_EQ(loadFailure<std::runtime_error>(R"({"games":[)").rfind("json: ", 0), 0u);
}

TEST(GameDatabaseLoad, DirectoryIsEverythingBeforeTheLastSeparator) {
  TempDir dir;
  const std::string nested = dir.write("a/b/games.json", R"({"games":[{"base_patch":"q.bps"}]})");
  const GameDatabase db = loadGameDatabase(nested);
  EXPECT_EQ(db.directory, dir.path() + "/a/b");
  EXPECT_EQ(db.basePatchPath(db.games[0]), dir.path() + "/a/b/q.bps");

  // Relative paths: no separator gives ".", a backslash is a separator kept as it is.
  dir.write("games.json", R"({"games":[{"base_patch":"p.bps"}]})");
  dir.write("sub\\games.json", R"({"games":[{"base_patch":"r.bps"}]})");
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  const GameDatabase bare = loadGameDatabase("games.json");
  const GameDatabase backslashed = loadGameDatabase("sub\\games.json");
  fs::current_path(previous);
  EXPECT_EQ(bare.directory, ".");
  EXPECT_EQ(bare.basePatchPath(bare.games[0]), "./p.bps");
  EXPECT_EQ(backslashed.directory, "sub");
  EXPECT_EQ(backslashed.basePatchPath(backslashed.games[0]), "sub/r.bps");

  GameDatabase windows;
  windows.directory = "C:\\games";
  tbp::GameEntry entry;
  entry.basePatch = "x.bps";
  EXPECT_EQ(windows.basePatchPath(entry), "C:\\games/x.bps");
}

TEST(GameDatabaseLocate, TakesTheFirstExistingCandidate) {
  TempDir dir;
  const std::string program = dir.path() + "/app/bin";
  const std::string working = dir.path() + "/work";
  fs::create_directories(program);
  fs::create_directories(working);
  EXPECT_FALSE(tbp::locateGameDatabase(program, working).has_value());

  const std::string inWorking = dir.write("work/games/games.json", "{}");
  EXPECT_EQ(tbp::locateGameDatabase(program, working), inWorking);
  const std::string inResources = dir.write("app/Resources/games/games.json", "{}");
  EXPECT_EQ(tbp::locateGameDatabase(program, working), program + "/../Resources/games/games.json");
  EXPECT_TRUE(fs::exists(inResources));
  dir.write("app/bin/lib/games/games.json", "{}");
  EXPECT_EQ(tbp::locateGameDatabase(program, working), program + "/lib/games/games.json");
  // A directory of that name is no database file.
  fs::create_directories(program + "/games/games.json");
  EXPECT_EQ(tbp::locateGameDatabase(program, working), program + "/lib/games/games.json");
  fs::remove(program + "/games/games.json");
  dir.write("app/bin/games/games.json", "{");
  EXPECT_EQ(tbp::locateGameDatabase(program, working), program + "/games/games.json");
}

TEST(GameDatabaseLocate, OnlyTheFirstCandidateIsReadEvenWhenItFails) {
  TempDir dir;
  const std::string program = dir.path() + "/bin";
  dir.write("bin/games/games.json", "{\"games\": [ broken");
  dir.write("bin/lib/games/games.json", R"({"games":[{"title":"good"}]})");
  const auto found = tbp::locateGameDatabase(program, dir.path());
  ASSERT_TRUE(found.has_value());
  EXPECT_THROW(loadGameDatabase(*found), std::runtime_error);
}

TEST(GameDatabaseFindExact, MatchesSizeCrcAndLowerCaseDigest) {
  const Bytes file{'N', 'E', 'S', 0x1A, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const std::string crc = hex8(tbp::crc32(file.data(), file.size()));
  const std::string sha = tbp::sha256Hex(file.data(), file.size());
  std::string upper = sha;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string size = std::to_string(file.size());
  auto element = [&](const std::string& id, const std::string& sizeText,
                     const std::string& digest) {
    return R"({"id":")" + id + R"(","nes":{"size":)" + sizeText + R"(,"crc32":")" + crc +
           R"(","sha256":")" + digest + R"("}})";
  };
  const GameDatabase db = loadText(
      R"({"games":[)" + element("wrong-size", "21", "") + "," + element("upper", size, upper) +
      "," + element("other-digest", size, std::string(64, '0')) + "," +
      element("first", size, sha) + "," + element("second", size, "") + "]}");
  const tbp::GameEntry* found = db.findExact(file);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id, "first");

  Bytes changed = file;
  changed.back() ^= 1;
  EXPECT_EQ(db.findExact(changed), nullptr);
  EXPECT_EQ(GameDatabase{}.findExact(file), nullptr);
}

TEST(GameDatabaseFindExact, DuplicatesWithoutDigestReturnTheFirst) {
  const Bytes file(40, 0xA5);
  const std::string crc = hex8(tbp::crc32(file.data(), file.size()));
  const GameDatabase db =
      loadText(R"({"games":[{"id":"one","nes":{"size":40,"crc32":")" + crc +
               R"("}},{"id":"two","nes":{"size":40,"crc32":")" + crc + R"("}}]})");
  ASSERT_NE(db.findExact(file), nullptr);
  EXPECT_EQ(db.findExact(file), &db.games[0]);
  const Bytes shorter(file.begin(), file.end() - 1);
  EXPECT_EQ(db.findExact(shorter), nullptr);
}

TEST(GameDatabaseLoad, MutatedFilesLoadOrFailWithAMessage) {
  const std::string valid = R"({"games":[{"id":"q","title":"Quest","aliases":["A",1],
    "nes":{"size":40976,"crc32":"0x1A2B3C4D","crc16":"beef","header":"4E45531A0201",
           "payload":{"crc32":"12","sha256":"ab"}}},{"nes":{"size":-1e300}}]})";
  TempDir dir;
  const std::string path = dir.path() + "/games.json";
  std::mt19937 random(11);
  const std::string alphabet = "{}[]\",:0x1Aaz \\u-.e9";
  int loaded = 0;
  int refused = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string text = valid;
    for (int edits = 1 + random() % 3; edits > 0; --edits) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text[at] = alphabet[random() % alphabet.size()];
          break;
        case 1:
          text.erase(at, 1 + random() % 4);
          break;
        default:
          text.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
      }
      if (text.empty()) text = "{";
    }
    dir.write("games.json", text);
    try {
      const GameDatabase db = loadGameDatabase(path);
      EXPECT_LE(db.games.size(), 2u);
      ++loaded;
      continue;
    } catch (const std::invalid_argument& error) {
      EXPECT_TRUE(std::string(error.what()) == "stoul" || std::string(error.what()) == "stod")
          << error.what();
    } catch (const std::out_of_range& error) {
      EXPECT_TRUE(std::string(error.what()) == "stoul" || std::string(error.what()) == "stod")
          << error.what();
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()).rfind("json: ", 0), 0u) << error.what();
    }
    ++refused;
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}
