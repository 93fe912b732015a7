// The fixture builders and the port image reader are written independently of each other: a
// fixture port read back through PortImage must show exactly what the builder says it wrote.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "build/files.h"
#include "build/game_database.h"
#include "build/nes_rom.h"
#include "formats/checksums.h"
#include "formats/json.h"
#include "formats/patches.h"
#include "port/game_genie.h"
#include "port/port_image.h"
#include "support/database_builder.h"
#include "support/game_genie_encoder.h"
#include "support/glyph_shapes.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

namespace {

using tbp::Bytes;
using tbp::PortImage;
using namespace tbp::testkit;

const Bytes& defaultNes() {
  static const Bytes nes = makeNesRom();
  return nes;
}

TEST(FixturePort, ReadsBackAsAPortInEverySense) {
  const PortFixture fixture = makePortFixture(defaultNes());
  const PortImage port(fixture.image);
  const PortPlaces& p = fixture.places;
  EXPECT_TRUE(port.isPort());
  EXPECT_TRUE(port.checksumValid());
  const tbp::SnesHeader header = port.header();
  EXPECT_TRUE(header.valid);
  EXPECT_FALSE(header.hiRom);
  EXPECT_EQ(header.title, "BEXULO PORT");
  EXPECT_EQ(tbp::describeMapMode(header), "LoROM, FastROM");
  EXPECT_EQ(tbp::describeCartridge(header), "ROM + RAM + battery");
  EXPECT_EQ(port.contentSize(), p.contentEnd);
  EXPECT_EQ(port.flags(), p.switchWord);
  EXPECT_EQ(port.paletteSlot(), 2);
  EXPECT_EQ(port.portName(), "ZV1 Bexulo engine 1.4");
  EXPECT_EQ(port.manifestText(), p.manifest);
  for (int b = 0; b < 12; ++b) EXPECT_EQ(port.buttonAction(b), kDefaultButtonMap[b]);
}

TEST(FixturePort, LayoutV1ListsEveryTable) {
  const PortFixture fixture = makePortFixture(defaultNes());
  const PortImage port(fixture.image);
  const PortPlaces& p = fixture.places;
  const tbp::PortLayout& layout = port.layout();
  EXPECT_EQ(layout.layoutVersion, 1);
  EXPECT_EQ(layout.layoutName, "this ROM (layout v1)");
  EXPECT_EQ(layout.fonts, p.fonts);
  EXPECT_EQ(layout.fontTable, p.fontTable);
  EXPECT_EQ(layout.symbolsA, p.symbolsA);
  EXPECT_EQ(layout.symbolsAHints, p.symbolsAHints);
  EXPECT_EQ(layout.symbolsB, p.symbolsB);
  EXPECT_EQ(layout.symbolsBHints, p.symbolsBHints);
  EXPECT_EQ(layout.splashTable, p.splashTable);
  EXPECT_EQ(layout.splashSound, p.splashSound);
  EXPECT_EQ(layout.config, p.config);
  EXPECT_EQ(layout.paletteLuts, p.paletteLuts);
  EXPECT_EQ(layout.msuTracks, p.msuTracks);
  EXPECT_EQ(layout.msuLoops, p.msuLoops);
  EXPECT_TRUE(port.supportsSwitch(9));
  EXPECT_FALSE(port.supportsSwitch(26)) << "splash 3 is not offered by default";
}

TEST(FixturePort, TablesReadBack) {
  const PortImage port(makePortImage(defaultNes()));
  ASSERT_TRUE(port.hasFonts());
  EXPECT_EQ(port.fontCount(), 4);
  EXPECT_EQ(port.fontName(0), "Standard");
  EXPECT_EQ(port.fontName(3), "Inverse");
  const Glyph g = styledLetterGlyph('g', 2);
  EXPECT_EQ(port.glyph(2, 'g' - 32), Bytes(g.begin(), g.end()));
  const Glyph s = symbolGlyph(1, 77);
  EXPECT_EQ(port.glyph(tbp::symbolPageB, 77), Bytes(s.begin(), s.end()));
  EXPECT_EQ(port.symbolHint(tbp::symbolPageA, 17), 2);
  EXPECT_THROW(port.glyphOffset(4, 0), std::out_of_range);
  EXPECT_TRUE(port.hasConfig());
  EXPECT_EQ(port.turboCycle(), 4);
  EXPECT_EQ(port.chordHold(), 30);
  EXPECT_EQ(port.chip(), 0);
  EXPECT_TRUE(port.hasSplashSounds());
  EXPECT_TRUE(port.splashSoundPresent(0));
  EXPECT_TRUE(port.splashSoundPresent(1));
  EXPECT_FALSE(port.splashSoundPresent(2));
  ASSERT_TRUE(port.hasMsu1());
  const std::vector<tbp::MsuSong> songs = port.msuSongs();
  ASSERT_EQ(songs.size(), 8u);
  EXPECT_EQ(songs[4].index, 0x0A);
  EXPECT_EQ(songs[4].name, "Boss Battle");
  EXPECT_EQ(port.msuTrack(0x0A), -1) << "the NES song plays until the user maps it";
  EXPECT_TRUE(port.msuLoop(0x0A));
  EXPECT_FALSE(port.msuLoop(0x0B));
}

TEST(FixturePort, VariantsReadAsTheirFeatureIsAbsent) {
  PortOptions noFonts;
  noFonts.fontCount = 0;
  EXPECT_FALSE(PortImage(makePortImage(defaultNes(), noFonts)).hasFonts());
  PortOptions noMsu;
  noMsu.msu1 = false;
  EXPECT_FALSE(PortImage(makePortImage(defaultNes(), noMsu)).hasMsu1());
  PortOptions noConfig;
  noConfig.config = false;
  EXPECT_FALSE(PortImage(makePortImage(defaultNes(), noConfig)).hasConfig());
  PortOptions noSounds;
  noSounds.splashSounds = false;
  EXPECT_FALSE(PortImage(makePortImage(defaultNes(), noSounds)).hasSplashSounds());
  PortOptions noPageB;
  noPageB.symbolPageB = false;
  EXPECT_THROW(PortImage(makePortImage(defaultNes(), noPageB)).glyphOffset(tbp::symbolPageB, 0),
               std::runtime_error);
  for (ManifestKind kind :
       {ManifestKind::ForeignLayout, ManifestKind::Broken, ManifestKind::Missing}) {
    PortOptions o;
    o.manifest = kind;
    const PortImage port(makePortImage(defaultNes(), o));
    EXPECT_TRUE(port.isPort());
    EXPECT_EQ(port.layout().layoutName, "unknown");
    EXPECT_EQ(port.layout().fonts, 0u);
    EXPECT_FALSE(port.hasFonts());
    EXPECT_TRUE(port.supportsSwitch(26)) << "without a switch list every switch is offered";
  }
}

TEST(FixturePort, OlderBuildIsRecognisedByItsName) {
  PortOptions older;
  older.manifest = ManifestKind::OlderBuild;
  older.fontCount = 12;
  const PortFixture fixture = makePortFixture(defaultNes(), older);
  const PortImage port(fixture.image);
  EXPECT_EQ(port.layout().layoutVersion, 1);
  EXPECT_EQ(port.layout().layoutName, "RO1 (older build: layout v1 assumed)");
  EXPECT_EQ(port.fontCount(), 12);
  EXPECT_EQ(port.fontName(11), "Upside Down");
  EXPECT_EQ(port.layout().msuTracks, fixture.places.msuTracks);
  EXPECT_TRUE(port.hasMsu1());
  EXPECT_TRUE(port.hasConfig());
  EXPECT_TRUE(port.checksumValid());
}

TEST(FixturePort, ChipsReadBack) {
  for (int chip = 0; chip <= 4; ++chip) {
    PortOptions o;
    o.chip = chip;
    const PortImage port(makePortImage(defaultNes(), o));
    EXPECT_EQ(port.chip(), chip);
    EXPECT_EQ(port.flags() & 1, chip == 0 ? 1u : 0u);
  }
}

TEST(FixturePort, EmbeddedNesIsFound) {
  for (NesHeaderKind kind : {NesHeaderKind::Ines, NesHeaderKind::Trainer, NesHeaderKind::Nes20}) {
    NesRomOptions nesOptions;
    nesOptions.header = kind;
    nesOptions.mapper = 257 * (kind == NesHeaderKind::Nes20);
    const Bytes nes = makeNesRom(nesOptions);
    const PortFixture fixture = makePortFixture(nes);
    const PortImage port(fixture.image);
    EXPECT_EQ(port.nesDigestText(), tbp::sha256Hex(nes.data(), nes.size()));
    EXPECT_EQ(port.findEmbeddedNes(), static_cast<std::int64_t>(fixture.places.embeddedNes));
    EXPECT_EQ(port.embeddedNes(), nes);
  }
  PortOptions noCopy;
  noCopy.embedNes = false;
  EXPECT_EQ(PortImage(makePortImage(defaultNes(), noCopy)).findEmbeddedNes(), -1);
  noCopy.storeNesDigest = false;
  EXPECT_EQ(PortImage(makePortImage(defaultNes(), noCopy)).nesDigestText(), "");
}

TEST(FixtureGameGenie, EncoderAgreesWithTheDecoder) {
  EXPECT_EQ(encodeGameGenie(0x91D9, 0xAD), "SXIOPO");
  for (unsigned address = 0x8000; address <= 0xFFFF; address += 0x1357) {
    for (int compare : {-1, 0x00, 0x5A, 0xFF}) {
      const std::uint8_t value = static_cast<std::uint8_t>(address * 7);
      const tbp::GameGenieCode code = tbp::decodeGameGenie(
          encodeGameGenie(static_cast<std::uint16_t>(address), value, compare));
      ASSERT_TRUE(code.ok) << code.error;
      EXPECT_EQ(code.address, address);
      EXPECT_EQ(code.value, value);
      EXPECT_EQ(code.compare, compare);
    }
  }
}

TEST(FixtureGameGenie, FindsEveryBankCopy) {
  NesRomOptions nesOptions;
  nesOptions.prgBanks = 4;
  const Bytes nes = makeNesRom(nesOptions);
  const PortFixture fixture = makePortFixture(nes);
  const std::uint8_t* program = nes.data() + kInesHeaderSize;
  const std::size_t fixed = 3 * kPrgBankSize;
  const std::size_t hooked = fixture.places.changedOffsets.front();
  const std::size_t plain = 0x2345;
  const auto& changed = fixture.places.changedOffsets;
  ASSERT_EQ(std::count(changed.begin(), changed.end(), plain), 0);
  const std::uint8_t newValue = static_cast<std::uint8_t>(program[fixed + plain] ^ 0x5A);
  PortImage port(fixture.image);
  const std::vector<std::string> codes{
      encodeGameGenie(static_cast<std::uint16_t>(0xC000 + plain), newValue),
      encodeGameGenie(static_cast<std::uint16_t>(0xC000 + hooked), 0x12),
      encodeGameGenie(static_cast<std::uint16_t>(0x8000 + plain), newValue,
                      program[plain])};  // bank 0 only
  const std::vector<tbp::GameGenieResult> results = tbp::applyGameGenie(port, nes, codes);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].patched, 2) << results[0].report;
  EXPECT_EQ(results[1].patched, 1) << results[1].report;
  EXPECT_EQ(results[1].skipped, 1) << "the engine hooked that byte in one copy";
  EXPECT_EQ(results[2].patched, 1) << results[2].report;
  for (std::size_t copy : fixture.places.bankCopies[3])
    EXPECT_EQ(port.bytes()[copy + plain], newValue);
  EXPECT_EQ(port.bytes()[fixture.places.embeddedNes + 16 + fixed + plain], program[fixed + plain])
      << "the embedded NES file is left alone";
  EXPECT_TRUE(port.checksumValid());
}

TEST(FixtureDatabase, WritesGamesJsonAndWorkingBasePatches) {
  NesRomOptions second;
  second.prgBanks = 8;
  second.chrBanks = 2;
  second.mapper = 1;
  second.seed = 5;
  const Bytes nesA = makeNesRom();
  const Bytes nesB = makeNesRom(second);
  GameFixture a{"alpha",       "Alpha Quest",
                "ZV1 Alpha",   "Alpha Quest (USA).nes",
                "First game.", {"Alpha", "AQ"},
                nesA,          makePortImage(nesA),
                std::nullopt,  "",
                true,          true};
  GameFixture b{
      "beta",          "Beta \"Racer\"",        "ZV1 Beta", "",  "", {}, nesB, makePortImage(nesB),
      Bytes(16, 0x11), "patches/beta-base.bps", false,      true};
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tbp_fixture_db_" + std::to_string(::getpid()));
  const std::string path = writeGameDatabase(dir.string(), {a, b});
  const Bytes json = tbp::readFile(path);
  const tbp::JsonValue root = tbp::parseJson(std::string(json.begin(), json.end()));
  const auto& games = root.get("games").items();
  ASSERT_EQ(games.size(), 2u);
  EXPECT_EQ(games[0].get("id").text(), "alpha");
  EXPECT_EQ(games[0].get("aliases").items()[1].text(), "AQ");
  EXPECT_EQ(games[0].get("base_patch").text(), "alpha.bps");
  const tbp::JsonValue& nes = games[0].get("nes");
  EXPECT_EQ(nes.get("size").number(), static_cast<double>(nesA.size()));
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08X", tbp::crc32(nesA.data(), nesA.size()));
  EXPECT_EQ(nes.get("crc32").text(), crc);
  EXPECT_EQ(nes.get("sha256").text(), tbp::sha256Hex(nesA.data(), nesA.size()));
  EXPECT_EQ(nes.get("header").text(), "4E45531A020101000000000000000000");
  EXPECT_EQ(nes.get("payload").get("sha256").text(),
            tbp::sha256Hex(nesA.data() + 16, nesA.size() - 16));
  EXPECT_EQ(games[1].get("title").text(), "Beta \"Racer\"");
  EXPECT_EQ(games[1].get("nes").get("header").text(), std::string(32, '1'));
  EXPECT_EQ(games[1].get("nes").get("sha256").text(), "");
  // The base patches turn each expected NES file into its port.
  EXPECT_EQ(tbp::applyBps(nesA, tbp::readFile((dir / "alpha.bps").string())), a.image);
  EXPECT_EQ(tbp::applyBps(nesB, tbp::readFile((dir / "patches/beta-base.bps").string())), b.image);
  std::filesystem::remove_all(dir);
}

TEST(FixtureNes, HeaderVariantsDecodeAsIntended) {
  struct Row {
    const char* name;
    NesRomOptions options;
    bool present, nes2, ripperTag, trainer;
    std::int32_t mapper;
  };
  NesRomOptions ines;
  ines.mapper = 0x42;
  ines.prgBanks = 8;
  ines.chrBanks = 4;
  NesRomOptions nes20;
  nes20.header = NesHeaderKind::Nes20;
  nes20.mapper = 257;
  NesRomOptions ripper;
  ripper.header = NesHeaderKind::RipperTag;
  ripper.mapper = 4;
  NesRomOptions trainer;
  trainer.header = NesHeaderKind::Trainer;
  trainer.mapper = 1;
  NesRomOptions headerless;
  headerless.header = NesHeaderKind::Headerless;
  const Row rows[] = {{"ines", ines, true, false, false, false, 0x42},
                      {"nes20", nes20, true, true, false, false, 257},
                      {"ripper", ripper, true, false, true, false, 4},
                      {"trainer", trainer, true, false, false, true, 1},
                      {"headerless", headerless, false, false, false, false, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes rom = makeNesRom(row.options);
    const tbp::InesHeader header = tbp::parseInesHeader(rom);
    EXPECT_EQ(header.present, row.present);
    EXPECT_EQ(header.nes2, row.nes2);
    EXPECT_EQ(header.ripperTag, row.ripperTag);
    EXPECT_EQ(header.trainer, row.trainer);
    EXPECT_EQ(header.mapper, row.mapper);
    if (row.present) {
      EXPECT_EQ(header.prgKb, row.options.prgBanks * 16);
      EXPECT_EQ(header.chrKb, row.options.chrBanks * 8);
      EXPECT_EQ(header.vertical, row.options.verticalMirroring);
      EXPECT_EQ(header.expectedSize, rom.size()) << "the header announces the file's own size";
    }
  }
}

TEST(FixtureDatabase, LoadsThroughTheDatabaseReader) {
  NesRomOptions other;
  other.seed = 9;
  const Bytes nesA = makeNesRom();
  const Bytes nesB = makeNesRom(other);
  GameFixture a{"a",          "Alpha",      "ZV1 Alpha", "Alpha.nes",
                "Notes",      {"A1", "A2"}, nesA,        makePortImage(nesA),
                std::nullopt, "",           true,        true};
  GameFixture b{"b",          "Beta",       "ZV1 Beta", "",   "", {}, nesB, makePortImage(nesB),
                std::nullopt, "b/base.bps", false,      false};
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tbp_fixture_load_" + std::to_string(::getpid()));
  const tbp::GameDatabase db = tbp::loadGameDatabase(writeGameDatabase(dir.string(), {a, b}));
  ASSERT_EQ(db.games.size(), 2u);
  const tbp::GameEntry& alpha = db.games[0];
  EXPECT_EQ(alpha.title, "Alpha");
  EXPECT_EQ(alpha.aliases, (std::vector<std::string>{"A1", "A2"}));
  EXPECT_EQ(alpha.nesSize, nesA.size());
  EXPECT_EQ(alpha.nesCrc32, tbp::crc32(nesA.data(), nesA.size()));
  EXPECT_EQ(alpha.nesCrc16, tbp::crc16(nesA.data(), nesA.size()));
  EXPECT_EQ(alpha.nesHeader, Bytes(nesA.begin(), nesA.begin() + 16));
  EXPECT_EQ(alpha.payloadCrc32, tbp::crc32(nesA.data() + 16, nesA.size() - 16));
  EXPECT_EQ(db.basePatchPath(db.games[1]), dir.string() + "/b/base.bps");
  EXPECT_EQ(db.games[1].nesSha256, "");
  EXPECT_EQ(db.games[1].payloadCrc32, 0u);
  EXPECT_EQ(db.findExact(nesA), &db.games[0]);
  EXPECT_EQ(db.findExact(nesB), &db.games[1]);
  std::filesystem::remove_all(dir);
}

TEST(FixturePort, ChecksumHoldsAtEverySize) {
  for (std::size_t size : {0x100000u, 0x180000u, 0x200000u, 0x280000u, 0x300000u, 0x400000u}) {
    PortOptions o;
    o.romSize = size;
    const PortFixture fixture = makePortFixture(defaultNes(), o);
    const PortImage port(fixture.image);
    EXPECT_TRUE(port.checksumValid()) << std::hex << size;
    EXPECT_EQ(port.contentSize(), fixture.places.contentEnd) << "the content does not move";
  }
}

// A 16 KB program is mirrored at 0x8000 and 0xC000: both address ranges reach its single bank,
// which the port holds twice.
TEST(FixtureGameGenie, SingleBankProgramsAnswerBothRanges) {
  NesRomOptions small;
  small.prgBanks = 1;
  const Bytes nes = makeNesRom(small);
  const PortFixture fixture = makePortFixture(nes);
  const std::size_t offset = 0x1234;
  const std::uint8_t nesByte = nes[kInesHeaderSize + offset];
  for (std::uint16_t base : {0x8000, 0xC000}) {
    PortImage port(fixture.image);
    const auto results = tbp::applyGameGenie(
        port, nes,
        {encodeGameGenie(static_cast<std::uint16_t>(base + offset), nesByte ^ 0xFF, nesByte)});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].patched, 2) << results[0].report;
    for (std::size_t copy : fixture.places.bankCopies[0])
      EXPECT_EQ(port.bytes()[copy + offset], nesByte ^ 0xFF);
  }
}

}  // namespace
