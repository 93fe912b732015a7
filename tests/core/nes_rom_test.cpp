#include "build/nes_rom.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "formats/checksums.h"
#include "support/nes_builder.h"

using tbp::Bytes;
using tbp::GameDatabase;
using tbp::GameEntry;
using tbp::testkit::makeInesHeader;
using tbp::testkit::makeNesRom;
using tbp::testkit::NesHeaderKind;
using tbp::testkit::NesRomOptions;

namespace {

Bytes header(std::initializer_list<std::uint8_t> bytes6To15, std::uint8_t prg = 2,
             std::uint8_t chr = 1) {
  Bytes file{0x4E, 0x45, 0x53, 0x1A, prg, chr};
  file.insert(file.end(), bytes6To15);
  file.resize(16, 0);
  return file;
}

Bytes payloadOf(const Bytes& file) { return Bytes(file.begin() + 16, file.end()); }

// An entry that expects exactly this NES file, listing every digest the way games.json does.
GameEntry entryFor(const std::string& title, const Bytes& expected) {
  GameEntry entry;
  entry.title = title;
  entry.file = title + " (USA).nes";
  entry.nesSize = expected.size();
  entry.nesCrc32 = tbp::crc32(expected.data(), expected.size());
  entry.nesCrc16 = tbp::crc16(expected.data(), expected.size());
  entry.nesSha256 = tbp::sha256Hex(expected.data(), expected.size());
  entry.nesHeader.assign(expected.begin(), expected.begin() + 16);
  const Bytes payload = payloadOf(expected);
  entry.payloadCrc32 = tbp::crc32(payload.data(), payload.size());
  entry.payloadSha256 = tbp::sha256Hex(payload.data(), payload.size());
  return entry;
}

std::vector<std::string> titlesOf(const std::vector<const GameEntry*>& entries) {
  std::vector<std::string> titles;
  for (const GameEntry* entry : entries) titles.push_back(entry->title);
  return titles;
}

}  // namespace

TEST(InesHeader, DecodesKnownHeaders) {
  const struct {
    const char* name;
    Bytes file;
    bool nes2, ripper;
    int mapper, prgKb, chrKb;
    bool vertical, battery, trainer, fourScreen;
    std::uint64_t expectedSize;
  } rows[] = {
      {"iNES", header({0x13, 0x40}), false, false, 0x41, 32, 8, true, true, false, false, 40976},
      {"ripper tag", header({0x40, 'D', 'i', 's', 'k', 'D', 'u', 'd', 'e', '!'}, 8, 0), false, true,
       4, 128, 0, false, false, false, false, 131088},
      {"NES 2.0", header({0x14, 0x08, 0x01}), true, false, 257, 32, 8, false, false, true, false,
       41488},
      {"both size bits", header({0x28, 0x0C}, 1, 2), false, false, 2, 16, 16, false, false, false,
       true, 32784},
      {"NES 2.0 byte 12", header({0x00, 0x08, 0x0F, 0, 0, 0, 7}), true, false, 0xF00, 32, 8, false,
       false, false, false, 40976},
  };
  for (const auto& row : rows) {
    const tbp::InesHeader h = tbp::parseInesHeader(row.file);
    EXPECT_TRUE(h.present) << row.name;
    EXPECT_EQ(h.nes2, row.nes2) << row.name;
    EXPECT_EQ(h.ripperTag, row.ripper) << row.name;
    EXPECT_EQ(h.mapper, row.mapper) << row.name;
    EXPECT_EQ(h.prgKb, row.prgKb) << row.name;
    EXPECT_EQ(h.chrKb, row.chrKb) << row.name;
    EXPECT_EQ(h.vertical, row.vertical) << row.name;
    EXPECT_EQ(h.battery, row.battery) << row.name;
    EXPECT_EQ(h.trainer, row.trainer) << row.name;
    EXPECT_EQ(h.fourScreen, row.fourScreen) << row.name;
    EXPECT_EQ(h.expectedSize, row.expectedSize) << row.name;
  }
}

TEST(InesHeader, FilesWithoutTheMagicDecodeAsAllZero) {
  Bytes noEof = header({0x13, 0x40});
  noEof[3] = 0x00;
  Bytes short15 = header({0x13, 0x40});
  short15.pop_back();
  for (const Bytes& file : {noEof, short15, Bytes{}}) {
    const tbp::InesHeader h = tbp::parseInesHeader(file);
    EXPECT_FALSE(h.present || h.nes2 || h.ripperTag || h.vertical || h.battery || h.trainer ||
                 h.fourScreen);
    EXPECT_EQ(h.mapper + h.prgKb + h.chrKb, 0);
    EXPECT_EQ(h.expectedSize, 0u);
  }
  EXPECT_TRUE(tbp::parseInesHeader(header({})).present);
}

TEST(InesHeader, AgreesWithTheBuilderVariants) {
  const struct {
    NesHeaderKind kind;
    unsigned mapper;
  } rows[] = {{NesHeaderKind::Ines, 66},
              {NesHeaderKind::Nes20, 257},
              {NesHeaderKind::RipperTag, 3},
              {NesHeaderKind::Trainer, 4}};
  for (const auto& row : rows) {
    NesRomOptions options;
    options.header = row.kind;
    options.mapper = row.mapper;
    options.prgBanks = 4;
    const Bytes file = makeNesRom(options);
    const tbp::InesHeader h = tbp::parseInesHeader(file);
    EXPECT_EQ(h.mapper, static_cast<int>(row.mapper));
    EXPECT_EQ(h.expectedSize, file.size());
    EXPECT_EQ(h.nes2, row.kind == NesHeaderKind::Nes20);
    EXPECT_EQ(h.ripperTag, row.kind == NesHeaderKind::RipperTag);
    EXPECT_EQ(h.trainer, row.kind == NesHeaderKind::Trainer);
    EXPECT_EQ(h.prgKb, 64);
  }
}

TEST(Identify, ExactMatchKeepsTheFileUnchanged) {
  const Bytes file = makeNesRom();
  GameDatabase db;
  db.games = {entryFor("Other", makeNesRom({.seed = 9})), entryFor("Quest", file)};
  const tbp::NesRom nes = tbp::identifyNesRom(db, file);
  EXPECT_EQ(nes.game, &db.games[1]);
  EXPECT_EQ(nes.rom, file);
  EXPECT_EQ(nes.note, "");
}

TEST(Identify, RepairsMissingAndForeignHeaders) {
  const Bytes expected = makeNesRom({.mapper = 1});
  GameDatabase db;
  db.games = {entryFor("Quest", expected)};
  const std::string replaced =
      "same game data with a different iNES header: the expected header was used";
  const struct {
    const char* name;
    Bytes file;
    std::string note;
  } rows[] = {
      {"headerless", makeNesRom({.mapper = 1, .header = NesHeaderKind::Headerless}),
       "no iNES header: the expected header was added"},
      {"ripper tag", makeNesRom({.mapper = 1, .header = NesHeaderKind::RipperTag}), replaced},
      {"NES 2.0 mapper 257", makeNesRom({.mapper = 257, .header = NesHeaderKind::Nes20}), replaced},
      {"other flags", makeNesRom({.mapper = 1, .verticalMirroring = false, .battery = true}),
       replaced},
  };
  for (const auto& row : rows) {
    ASSERT_NE(row.file, expected) << row.name;
    const tbp::NesRom nes = tbp::identifyNesRom(db, row.file);
    EXPECT_EQ(nes.game, &db.games[0]) << row.name;
    EXPECT_EQ(nes.rom, expected) << row.name;
    EXPECT_EQ(nes.note, row.note) << row.name;
  }
}

TEST(Identify, TrainerStaysPartOfThePayload) {
  const Bytes expected = makeNesRom({.header = NesHeaderKind::Trainer});
  GameDatabase db;
  db.games = {entryFor("Quest", expected)};
  Bytes reheadered = expected;
  reheadered[6] ^= 0x02;  // another battery flag; the trainer flag and the trainer stay
  const Bytes headerless = payloadOf(expected);
  ASSERT_EQ(headerless.size(), expected.size() - 16);
  for (const Bytes& dump : {reheadered, headerless}) {
    const tbp::NesRom nes = tbp::identifyNesRom(db, dump);
    EXPECT_EQ(nes.game, &db.games[0]);
    EXPECT_EQ(nes.rom, expected);
  }
}

TEST(Identify, RepairNeedsEveryPayloadCondition) {
  const Bytes expected = makeNesRom();
  const Bytes headerless = payloadOf(expected);
  const GameEntry good = entryFor("Quest", expected);
  const struct {
    const char* name;
    void (*spoil)(GameEntry&);
  } rows[] = {
      {"header of 15 bytes", [](GameEntry& e) { e.nesHeader.pop_back(); }},
      {"header of 17 bytes", [](GameEntry& e) { e.nesHeader.push_back(0); }},
      {"payload CRC", [](GameEntry& e) { e.payloadCrc32 ^= 1; }},
      {"size", [](GameEntry& e) { e.nesSize += 1; }},
      {"size below 16", [](GameEntry& e) { e.nesSize = 3; }},
      {"payload digest", [](GameEntry& e) { e.payloadSha256[0] ^= 1; }},
      {"upper-case payload digest",
       [](GameEntry& e) {
         for (char& c : e.payloadSha256) c = static_cast<char>(std::toupper(c));
       }},
  };
  for (const auto& row : rows) {
    GameDatabase db;
    db.games = {good};
    row.spoil(db.games[0]);
    const tbp::NesRom nes = tbp::identifyNesRom(db, headerless);
    EXPECT_EQ(nes.game, nullptr) << row.name;
    EXPECT_TRUE(nes.rom.empty() && nes.note.empty()) << row.name;
  }
  GameDatabase db;
  db.games = {good};
  db.games[0].payloadSha256.clear();  // no digest listed: size and CRC decide
  EXPECT_EQ(tbp::identifyNesRom(db, headerless).game, &db.games[0]);
}

TEST(Identify, ExactMatchWinsOverAnEarlierRepair) {
  const Bytes expected = makeNesRom();
  Bytes retagged = makeNesRom({.header = NesHeaderKind::RipperTag});
  GameDatabase db;
  db.games = {entryFor("Repairable", expected), entryFor("Exact", retagged)};
  db.games[1].nesHeader = Bytes(16, 0);  // not a header anybody could repair to
  const tbp::NesRom nes = tbp::identifyNesRom(db, retagged);
  EXPECT_EQ(nes.game, &db.games[1]);
  EXPECT_EQ(nes.rom, retagged);
  EXPECT_EQ(nes.note, "");
}

TEST(Identify, MagicDecidesWhatThePayloadIs) {
  // Exactly 16 bytes with the magic: the payload is empty (CRC32 0, size 16).
  const Bytes bare = header({0x10});
  GameEntry empty;
  empty.title = "Empty";
  empty.nesSize = 16;
  empty.nesCrc32 = 1;  // no exact match
  empty.nesHeader = header({});
  GameDatabase db;
  db.games = {empty};
  tbp::NesRom nes = tbp::identifyNesRom(db, bare);
  EXPECT_EQ(nes.game, &db.games[0]);
  EXPECT_EQ(nes.rom, header({}));

  // "NES" without 0x1A is no header: the whole file is the payload.
  Bytes almost = makeNesRom();
  almost[3] = 0x1B;
  GameEntry whole;
  whole.nesSize = almost.size() + 16;
  whole.payloadCrc32 = tbp::crc32(almost.data(), almost.size());
  whole.nesHeader = header({});
  db.games = {whole};
  nes = tbp::identifyNesRom(db, almost);
  ASSERT_EQ(nes.game, &db.games[0]);
  EXPECT_EQ(nes.rom.size(), almost.size() + 16);
  EXPECT_TRUE(std::equal(almost.begin(), almost.end(), nes.rom.begin() + 16));
  EXPECT_EQ(nes.note, "no iNES header: the expected header was added");
}

TEST(Identify, NeverThrowsOnArbitraryInput) {
  const Bytes expected = makeNesRom({.prgBanks = 1, .chrBanks = 0});
  GameDatabase db;
  db.games = {entryFor("Quest", expected), GameEntry{}};
  db.games[1].nesHeader = header({});  // repairs a bare 16-byte header only
  db.games[1].nesSize = 16;
  db.games[1].nesCrc32 = 1;
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes file;
    if (round % 2 == 0) {
      file.resize(random() % 64);
      for (auto& b : file) b = static_cast<std::uint8_t>(random());
      if (file.size() >= 4 && round % 4 == 0) std::copy_n("NES\x1A", 4, file.begin());
    } else {
      file = expected;
      file.resize(random() % (expected.size() + 32));
      for (int flips = random() % 4; flips > 0 && !file.empty(); --flips)
        file[random() % file.size()] ^= 0x5A;
    }
    const tbp::NesRom nes = tbp::identifyNesRom(db, file);
    // Only the real dump, or an empty payload under the magic, can be recognised.
    if (nes.game == &db.games[0]) {
      EXPECT_EQ(nes.rom, expected);
    } else if (nes.game != nullptr) {
      EXPECT_EQ(nes.rom, db.games[1].nesHeader);
    }
    const std::string report = tbp::describeUnknownRom("x.nes", db, file);
    EXPECT_EQ(report.rfind("This file doesn't match", 0), 0u);
  }
}

TEST(NameKey, NormalisesFileNames) {
  const struct {
    const char* text;
    const char* key;
  } rows[] = {
      {"Some Game (USA) (Rev 1) [!].nes", "somegame"},
      {"/home/u/roms\\Game (Europe).nes", "game"},
      {"Game 2.nes", "game2"},
      {"G.nes", "g"},
      {".hidden", "hidden"},
      {"a.b.c", "ab"},
      {"dir.v2/Plain", "plain"},
      {"Game)) ]X[", "gamex"},
      {"[unclosed (x.nes", ""},
      {"Outer (a [b) c] d", "outerd"},
      {"\xC3\x9C"
       "ber-Game_3!",
       "bergame3"},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(tbp::nameKey(row.text), row.key) << row.text;
}

TEST(NameMatch, ComparesKeysBothWays) {
  GameEntry entry;
  entry.title = "Game";
  const struct {
    const char* fileName;
    bool matches;
  } rows[] = {
      {"Game (Europe).nes", true}, {"Game 2.nes", true},     {"G.nes", true}, {"gAmE.NES", true},
      {"Other.nes", false},        {"(USA) [!].nes", false}, {"", false},     {"ame.nes", true},
      {"Gam3.nes", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(tbp::nameMatches(entry, row.fileName), row.matches) << row.fileName;
  }
  GameEntry named;
  named.title = "(Unused)";
  named.aliases = {"", "[Beta]", "Kaiju Story"};
  named.file = "Monster Tale (Japan).nes";
  EXPECT_TRUE(tbp::nameMatches(named, "Kaiju Story (J).nes"));
  EXPECT_TRUE(tbp::nameMatches(named, "monstertale.nes"));
  EXPECT_FALSE(tbp::nameMatches(named, "Beta.nes"));
  EXPECT_FALSE(tbp::nameMatches(GameEntry{}, "anything.nes"));
}

TEST(Suggestions, RankByScoreAndKeepDatabaseOrder) {
  // The file: iNES, mapper 1, 32 KB PRG, 8 KB CHR, named after "Quest".
  const Bytes file = makeNesRom({.mapper = 1});
  const Bytes sameCart = makeInesHeader({.mapper = 1});
  const Bytes otherMapper = makeInesHeader({.mapper = 2});
  const Bytes otherChr = makeInesHeader({.chrBanks = 2, .mapper = 1});
  auto entry = [](const std::string& title, const Bytes& head, std::uint64_t size) {
    GameEntry e;
    e.title = title;
    e.nesHeader = head;
    e.nesSize = size;
    return e;
  };
  const std::uint64_t other = file.size() + 1;
  GameDatabase db;
  db.games = {
      entry("Alpha 3", sameCart, other),             // cartridge: 3
      entry("Beta 1", otherChr, file.size()),        // size alone: dropped
      entry("Quest 10", otherMapper, other),         // name: 10
      entry("Delta 4", sameCart, file.size()),       // cartridge and size: 4
      entry("Eta 0", otherMapper, other),            // nothing: dropped
      entry("Quest 13", sameCart, other),            // name and cartridge: 13
      entry("Gamma 3", sameCart, other),             // 3, after Alpha
      entry("Quest 11", Bytes{}, file.size() + 16),  // name and size with a header added: 11
      entry("Quest 14", sameCart, file.size()),      // everything: 14
  };
  const auto ranked = tbp::suggestGames(db, file, "Quest (USA).nes");
  EXPECT_EQ(titlesOf(ranked),
            (std::vector<std::string>{"Quest 14", "Quest 13", "Quest 11", "Quest 10", "Delta 4",
                                      "Alpha 3", "Gamma 3"}));
  // Without a header the cartridge type is unknown: only names count, sizes add one.
  const Bytes headerless = makeNesRom({.mapper = 1, .header = NesHeaderKind::Headerless});
  EXPECT_EQ(titlesOf(tbp::suggestGames(db, headerless, "quest.nes")),
            (std::vector<std::string>{"Quest 14", "Quest 10", "Quest 13", "Quest 11"}));
  EXPECT_TRUE(tbp::suggestGames(db, headerless, "zzz.nes").empty());
}

TEST(Suggestions, EqualScoresKeepDatabaseOrderInLongLists) {
  // Enough entries that an unstable sort would reorder equal scores.
  const Bytes file = makeNesRom({.mapper = 1});
  GameDatabase db;
  std::vector<std::string> expected4, expected3;
  for (int i = 0; i < 40; ++i) {
    GameEntry entry;
    entry.title = "Game " + std::to_string(i);
    entry.nesHeader = makeInesHeader({.mapper = 1});
    const bool sized = i % 3 == 0;
    entry.nesSize = sized ? file.size() : file.size() + 1;
    (sized ? expected4 : expected3).push_back(entry.title);
    db.games.push_back(entry);
  }
  std::vector<std::string> expected = expected4;
  expected.insert(expected.end(), expected3.begin(), expected3.end());
  EXPECT_EQ(titlesOf(tbp::suggestGames(db, file, "zzz.nes")), expected);
}

TEST(Suggestions, CompareTheDecodedMappers) {
  // The entry expects an iNES header for mapper 1; the file's header must be decoded by its own
  // rules before the mappers are compared.
  GameEntry alpha;
  alpha.title = "Alpha";
  alpha.nesHeader = makeInesHeader({.mapper = 1});
  GameDatabase db;
  db.games = {alpha};
  const struct {
    const char* name;
    Bytes file;
    bool sameCartridge;
  } rows[] = {
      {"iNES mapper 1", makeNesRom({.mapper = 1}), true},
      {"ripper tag over byte 7", makeNesRom({.mapper = 1, .header = NesHeaderKind::RipperTag}),
       true},
      {"NES 2.0 mapper 1", makeNesRom({.mapper = 1, .header = NesHeaderKind::Nes20}), true},
      {"NES 2.0 mapper 257", makeNesRom({.mapper = 257, .header = NesHeaderKind::Nes20}), false},
      {"iNES mapper 17", makeNesRom({.mapper = 17}), false},
  };
  for (const auto& row : rows) {
    db.games[0].nesSize = row.file.size() + 1;  // no size point: a cartridge match alone is 3
    EXPECT_EQ(tbp::suggestGames(db, row.file, "zzz.nes").size(), row.sameCartridge ? 1u : 0u)
        << row.name;
  }
}

TEST(Report, NamedLaterCandidatesCarryNoCartridgeRemark) {
  const Bytes file = makeNesRom({.header = NesHeaderKind::Headerless});
  GameEntry first;
  first.title = "Quest";
  first.nesSize = file.size();
  GameEntry second = first;
  second.title = "Quest II";
  second.nesSize = 99;
  GameDatabase db;
  db.games = {second, first};
  const std::string report = tbp::describeUnknownRom("Quest.nes", db, file);
  const std::string tail =
      ", but not the dump the patch was made from (a different revision, a hack, or a bad dump).\n"
      "Look for this file:\n";
  const std::size_t looks = report.find("\nIt looks like Quest" + tail);
  const std::size_t maybe = report.find("\nOr maybe Quest II" + tail);
  EXPECT_NE(looks, std::string::npos) << report;
  EXPECT_NE(maybe, std::string::npos) << report;
  EXPECT_LT(looks, maybe);
  EXPECT_EQ(report.find("same cartridge"), std::string::npos);
  EXPECT_NE(report.find("  no iNES header\n"), std::string::npos);
}

TEST(Report, DescribesTheFileAndTheFirstThreeCandidates) {
  Bytes file = header({0x11});
  for (std::uint8_t i = 0; i < 32; ++i) file.push_back(i);
  GameEntry quest;
  quest.title = "Quest";
  quest.file = "Quest (USA).nes";
  quest.nesSize = 40976;
  quest.nesCrc16 = 0xABC;
  quest.nesCrc32 = 0x12ABCD;
  quest.nesSha256 = std::string(64, 'a');
  quest.nesHeader = header({0x10});
  quest.payloadCrc32 = 0xC0FFEE;
  quest.payloadSha256 = std::string(64, 'b');
  GameEntry other;
  other.title = "Other One";
  other.nesSize = 48;
  other.nesHeader = header({0x10});
  GameEntry third = other;
  third.title = "Third";
  third.nesSize = 7;
  GameEntry fourth = third;
  fourth.title = "Fourth";
  fourth.payloadCrc32 = 0xBEEF;      // a listed header-less CRC32 brings its lines
  other.payloadSha256 = "unlisted";  // a digest without that CRC32 does not
  GameDatabase db;
  db.games = {fourth, other, quest, third};
  db.games[0].nesSize = 8;

  const std::string yourFile =
      "This file doesn't match any ROM the patcher knows.\n\nYour file:\n"
      "  48 bytes\n"
      "  CRC16  61C1\n"
      "  CRC32  1FDF5C6B\n"
      "  SHA-256  526c9c4887c14415fda841865554f7ea12cdc8073659d2b8fbacf93ca202bfd7\n"
      "  iNES header: mapper 1, PRG 32 KB, CHR 8 KB\n";
  const std::string notTheDump =
      ", but not the dump the patch was made from (a different revision, a hack, or a bad dump).\n"
      "Look for this file:\n";
  const std::string questLines =
      "  name   Quest (USA).nes\n"
      "  size   40976 bytes\n"
      "  CRC16  0ABC\n"
      "  CRC32  0012ABCD\n"
      "  SHA-256  " +
      std::string(64, 'a') +
      "\n"
      "Without its 16-byte header (how No-Intro lists it; any header is accepted):\n"
      "  CRC32  00C0FFEE\n"
      "  SHA-256  " +
      std::string(64, 'b') + "\n";
  const std::string blankDigests = "  CRC16  0000\n  CRC32  00000000\n  SHA-256  \n";
  const std::string fourthPayload =
      "Without its 16-byte header (how No-Intro lists it; any header is accepted):\n"
      "  CRC32  0000BEEF\n  SHA-256  \n";
  EXPECT_EQ(tbp::describeUnknownRom("Quest (USA) [b1].nes", db, file),
            yourFile + "\nIt looks like Quest" + notTheDump + questLines +
                "\nOr maybe Other One (same cartridge type and size)" + notTheDump +
                "  size   48 bytes\n" + blankDigests +
                "\nOr maybe Fourth (same cartridge type and size)" + notTheDump +
                "  size   8 bytes\n" + blankDigests + fourthPayload);
  // Without the name Quest is a mere cartridge match and comes after the bigger score.
  EXPECT_EQ(tbp::describeUnknownRom("unrelated.nes", db, file),
            yourFile + "\nIt might be Other One (same cartridge type and size)" + notTheDump +
                "  size   48 bytes\n" + blankDigests +
                "\nOr maybe Fourth (same cartridge type and size)" + notTheDump +
                "  size   8 bytes\n" + blankDigests + fourthPayload +
                "\nOr maybe Quest (same cartridge type and size)" + notTheDump + questLines);
}

TEST(Report, ListsEverySupportedGameWhenNothingResemblesTheFile) {
  Bytes file;
  for (std::uint8_t i = 0; i < 32; ++i) file.push_back(i);
  const std::string yourFile =
      "This file doesn't match any ROM the patcher knows.\n\nYour file:\n"
      "  32 bytes\n"
      "  CRC16  C36A\n"
      "  CRC32  91267E8A\n"
      "  SHA-256  630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd\n"
      "  no iNES header\n";
  const std::string none = "\nIt doesn't look like any supported game. Supported:\n";
  EXPECT_EQ(tbp::describeUnknownRom("x.nes", GameDatabase{}, file), yourFile + none);
  GameDatabase db;
  db.games.resize(2);
  db.games[0].title = "Quest";
  db.games[0].file = "Quest (USA).nes";
  db.games[0].nesSize = 32;  // a bare size match is not a candidate
  db.games[1].title = "Saga";
  EXPECT_EQ(tbp::describeUnknownRom("x.nes", db, file),
            yourFile + none + "  Quest  (Quest (USA).nes)\n  Saga\n");
}
