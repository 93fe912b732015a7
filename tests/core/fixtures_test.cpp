// Tests of the fixture builders themselves: every other suite trusts their output, so a fault
// here would hide faults elsewhere.
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <stdexcept>

#include "formats/checksums.h"
#include "formats/json.h"
#include "support/glyph_shapes.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

namespace {

using tbp::Bytes;
using tbp::testkit::kChrBankSize;
using tbp::testkit::kInesHeaderSize;
using tbp::testkit::kPrgBankSize;
using tbp::testkit::kTrainerSize;
using tbp::testkit::makeNesRom;
using tbp::testkit::NesHeaderKind;
using tbp::testkit::NesRomOptions;

std::uint16_t word(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | b.at(at + 1) << 8);
}

// Counts equal bytes of two 16 KB banks.
std::size_t equalBytes(const std::uint8_t* a, const std::uint8_t* b) {
  std::size_t same = 0;
  for (std::size_t i = 0; i < kPrgBankSize; ++i) same += a[i] == b[i];
  return same;
}

struct HeaderRow {
  const char* name;
  NesRomOptions options;
  Bytes expectedHeader;  // empty: no header expected
};

TEST(NesBuilder, HeaderVariantsHoldTheIntendedBytes) {
  NesRomOptions ines;
  ines.mapper = 0x42;
  ines.prgBanks = 8;
  ines.chrBanks = 4;
  NesRomOptions nes20;  // the NES 2.0 encoding of mapper 257, horizontal mirroring
  nes20.header = NesHeaderKind::Nes20;
  nes20.mapper = 257;
  nes20.verticalMirroring = false;
  NesRomOptions ripper;
  ripper.header = NesHeaderKind::RipperTag;
  ripper.mapper = 3;
  NesRomOptions trainer;
  trainer.header = NesHeaderKind::Trainer;
  trainer.mapper = 1;
  trainer.battery = true;
  NesRomOptions headerless;
  headerless.header = NesHeaderKind::Headerless;

  const HeaderRow rows[] = {
      {"ines", ines, {0x4E, 0x45, 0x53, 0x1A, 8, 4, 0x21, 0x40, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"nes20", nes20, {0x4E, 0x45, 0x53, 0x1A, 2, 1, 0x10, 0x08, 0x01, 0, 0, 0, 0, 0, 0, 0}},
      {"ripper",
       ripper,
       {0x4E, 0x45, 0x53, 0x1A, 2, 1, 0x31, 'D', 'i', 's', 'k', 'D', 'u', 'd', 'e', '!'}},
      {"trainer", trainer, {0x4E, 0x45, 0x53, 0x1A, 2, 1, 0x17, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"headerless", headerless, {}},
  };
  for (const HeaderRow& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes rom = makeNesRom(row.options);
    const std::size_t trainerBytes =
        row.options.header == NesHeaderKind::Trainer ? kTrainerSize : 0;
    const std::size_t expectedSize = row.expectedHeader.size() + trainerBytes +
                                     row.options.prgBanks * kPrgBankSize +
                                     row.options.chrBanks * kChrBankSize;
    ASSERT_EQ(rom.size(), expectedSize);
    EXPECT_EQ(Bytes(rom.begin(), rom.begin() + static_cast<long>(row.expectedHeader.size())),
              row.expectedHeader);
  }
}

TEST(NesBuilder, HeaderVariantsCarryTheSameGameData) {
  NesRomOptions o;
  o.prgBanks = 4;
  o.chrBanks = 2;
  const Bytes ines = makeNesRom(o);
  for (NesHeaderKind kind :
       {NesHeaderKind::Nes20, NesHeaderKind::RipperTag, NesHeaderKind::Headerless}) {
    o.header = kind;
    const Bytes other = makeNesRom(o);
    const std::size_t skip = kind == NesHeaderKind::Headerless ? 0 : kInesHeaderSize;
    ASSERT_EQ(other.size() - skip, ines.size() - kInesHeaderSize);
    EXPECT_TRUE(std::equal(ines.begin() + kInesHeaderSize, ines.end(), other.begin() + skip));
  }
  o.header = NesHeaderKind::Trainer;
  const Bytes trained = makeNesRom(o);
  EXPECT_TRUE(std::equal(ines.begin() + kInesHeaderSize, ines.end(),
                         trained.begin() + kInesHeaderSize + kTrainerSize));
}

TEST(NesBuilder, SeedDecidesTheContent) {
  NesRomOptions a;
  NesRomOptions b;
  b.seed = 2;
  EXPECT_EQ(makeNesRom(a), makeNesRom(a));
  const Bytes first = makeNesRom(a);
  const Bytes second = makeNesRom(b);
  ASSERT_EQ(first.size(), second.size());
  EXPECT_LT(equalBytes(first.data() + kInesHeaderSize, second.data() + kInesHeaderSize),
            kPrgBankSize / 2);
  EXPECT_NE(Bytes(first.end() - kChrBankSize, first.end()),
            Bytes(second.end() - kChrBankSize, second.end()));
}

// The Game Genie matcher finds bank copies by 15/16 similarity and treats banks of mostly 0xFF
// as empty: generated banks must be far from empty and far from one another.
TEST(NesBuilder, ProgramBanksLookLikeDistinctCode) {
  NesRomOptions o;
  o.prgBanks = 8;
  const Bytes rom = makeNesRom(o);
  for (int b = 0; b < o.prgBanks; ++b) {
    const std::uint8_t* bank = rom.data() + kInesHeaderSize + b * kPrgBankSize;
    std::size_t ffSamples = 0;
    std::size_t histogram[256] = {};
    for (std::size_t i = 0; i < kPrgBankSize; i += 16) ffSamples += bank[i] == 0xFF;
    for (std::size_t i = 0; i < kPrgBankSize; ++i) ++histogram[bank[i]];
    EXPECT_LT(ffSamples, 100u) << "bank " << b;
    EXPECT_LT(*std::max_element(std::begin(histogram), std::end(histogram)), kPrgBankSize / 4);
    EXPECT_GT(histogram[0x60], 20u) << "bank " << b << " has no RTS";
    for (int c = 0; c < b; ++c) {
      const std::uint8_t* other = rom.data() + kInesHeaderSize + c * kPrgBankSize;
      EXPECT_LT(equalBytes(bank, other), kPrgBankSize / 4) << b << " vs " << c;
    }
  }
}

TEST(NesBuilder, VectorsOfTheFixedBankPointIntoIt) {
  for (int banks : {1, 2, 16}) {
    NesRomOptions o;
    o.prgBanks = banks;
    const Bytes rom = makeNesRom(o);
    const std::size_t fixed = kInesHeaderSize + (banks - 1) * kPrgBankSize;
    const std::uint16_t nmi = word(rom, fixed + 0x3FFA);
    const std::uint16_t reset = word(rom, fixed + 0x3FFC);
    const std::uint16_t irq = word(rom, fixed + 0x3FFE);
    for (std::uint16_t vector : {nmi, reset, irq}) EXPECT_GE(vector, 0xC000);
    EXPECT_EQ(rom[fixed + (reset - 0xC000)], 0x78) << "reset starts with SEI";
    EXPECT_EQ(rom[fixed + (irq - 0xC000)], 0x40) << "IRQ handler is RTI";
  }
}

TEST(NesBuilder, RefusesWhatTheHeaderCannotHold) {
  NesRomOptions o;
  o.mapper = 256;
  EXPECT_THROW(makeNesRom(o), std::invalid_argument);
  o.header = NesHeaderKind::Nes20;
  EXPECT_NO_THROW(makeNesRom(o));
  o.mapper = 4096;
  EXPECT_THROW(makeNesRom(o), std::invalid_argument);
  NesRomOptions ripper;
  ripper.header = NesHeaderKind::RipperTag;
  ripper.mapper = 16;
  EXPECT_THROW(makeNesRom(ripper), std::invalid_argument);
  NesRomOptions banks;
  banks.prgBanks = 0;
  EXPECT_THROW(makeNesRom(banks), std::invalid_argument);
  banks.prgBanks = 256;
  EXPECT_THROW(makeNesRom(banks), std::invalid_argument);
}

// ---- Glyph shapes -------------------------------------------------------------------------

TEST(GlyphShapes, LettersHaveTheirShapes) {
  using tbp::testkit::Glyph;
  using tbp::testkit::letterGlyph;
  // Known answers: A, the digit 1 and a descender letter, drawn in columns 1..5.
  EXPECT_EQ(letterGlyph('A'), (Glyph{0x38, 0x44, 0x44, 0x7C, 0x44, 0x44, 0x44, 0x00}));
  EXPECT_EQ(letterGlyph('1'), (Glyph{0x10, 0x30, 0x10, 0x10, 0x10, 0x10, 0x38, 0x00}));
  EXPECT_EQ(letterGlyph('y'), (Glyph{0x00, 0x00, 0x44, 0x44, 0x44, 0x3C, 0x04, 0x38}));
  EXPECT_EQ(letterGlyph(' '), Glyph{});
  std::set<Glyph> distinct;
  for (int c = 32; c < 128; ++c) {
    const Glyph g = letterGlyph(static_cast<char>(c));
    distinct.insert(g);
    for (std::uint8_t row : g) EXPECT_EQ(row & 0x83, 0) << "glyph " << c << " leaves its columns";
  }
  EXPECT_EQ(distinct.size(), 96u) << "every character has its own shape";
  EXPECT_THROW(letterGlyph('\x1F'), std::out_of_range);
}

TEST(GlyphShapes, StylesAndSymbolsDiffer) {
  using tbp::testkit::Glyph;
  std::set<Glyph> styles;
  std::set<std::string> names;
  for (int style = 0; style < tbp::testkit::kFontStyles; ++style) {
    styles.insert(tbp::testkit::styledLetterGlyph('R', style));
    const std::string name = tbp::testkit::fontStyleName(style);
    EXPECT_LE(name.size(), 12u);
    names.insert(name);
  }
  EXPECT_EQ(styles.size(), 16u);
  EXPECT_EQ(names.size(), 16u);
  std::set<Glyph> symbols[2];
  for (int page = 0; page < 2; ++page)
    for (int i = 0; i < 128; ++i) symbols[page].insert(tbp::testkit::symbolGlyph(page, i));
  EXPECT_GT(symbols[0].size(), 80u);
  EXPECT_GT(symbols[1].size(), 80u);
  EXPECT_NE(tbp::testkit::symbolGlyph(0, 5), tbp::testkit::symbolGlyph(1, 5));
}

// ---- Port images ---------------------------------------------------------------------------

using tbp::testkit::makePortFixture;
using tbp::testkit::ManifestKind;
using tbp::testkit::PortFixture;
using tbp::testkit::PortOptions;

std::uint32_t dword(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 |
                                    b.at(at + 3) << 24);
}

Bytes slice(const Bytes& b, std::size_t at, std::size_t length) {
  return Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + length));
}

std::string text(const Bytes& b, std::size_t at, std::size_t length) {
  return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + length));
}

// The SNES checksum written out the long way: each byte weighted by how often the rule counts it.
std::uint16_t expectedChecksum(const Bytes& image) {
  std::size_t p = 1;
  while (p * 2 <= image.size()) p *= 2;
  const std::uint64_t tailWeight = image.size() > p ? p / (image.size() - p) : 0;
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < image.size(); ++i) {
    std::uint64_t byte = image[i];
    if (i == 0x7FDC || i == 0x7FDD) byte = 0xFF;
    if (i == 0x7FDE || i == 0x7FDF) byte = 0x00;
    sum += byte * (i < p ? 1 : tailWeight);
  }
  return static_cast<std::uint16_t>(sum);
}

const Bytes& defaultNes() {
  static const Bytes nes = makeNesRom();
  return nes;
}

TEST(PortBuilder, ChecksumFollowsTheWeightingRule) {
  struct Row {
    std::size_t size;
    std::uint8_t sizeCode;
  };
  for (Row row : {Row{0x100000, 10}, Row{0x300000, 12}, Row{0x280000, 12}, Row{0x200000, 11}}) {
    SCOPED_TRACE(row.size);
    PortOptions o;
    o.romSize = row.size;
    const Bytes image = makePortFixture(defaultNes(), o).image;
    ASSERT_EQ(image.size(), row.size);
    const std::uint16_t checksum = word(image, 0x7FDE);
    EXPECT_EQ(checksum, expectedChecksum(image));
    EXPECT_EQ(word(image, 0x7FDC), static_cast<std::uint16_t>(~checksum));
    EXPECT_EQ(image[0x7FD7], row.sizeCode);
  }
}

TEST(PortBuilder, ChecksumRepeatsTheTailOfA3MbImage) {
  // Build the 3 MB case by hand to pin the weighting: a single 1 in the last megabyte counts twice.
  Bytes image(0x300000, 0);
  image[0x2FFFFF] = 1;
  tbp::testkit::writeSnesChecksum(image);
  EXPECT_EQ(word(image, 0x7FDE), 0x1FE + 2);
  EXPECT_EQ(word(image, 0x7FDC), static_cast<std::uint16_t>(~(0x1FE + 2)));
  Bytes tail25(0x280000, 0);
  tail25[0x27FFFF] = 1;
  tbp::testkit::writeSnesChecksum(tail25);
  EXPECT_EQ(word(tail25, 0x7FDE), 0x1FE + 4);
}

TEST(PortBuilder, ZuvuBlockAndHeader) {
  const PortFixture port = makePortFixture(defaultNes());
  const Bytes& image = port.image;
  EXPECT_EQ(text(image, 0x7C00, 4), "ZUVU");
  EXPECT_EQ(slice(image, 0x7C08, 12), Bytes(std::begin(tbp::testkit::kDefaultButtonMap),
                                            std::end(tbp::testkit::kDefaultButtonMap)));
  const std::uint32_t switches = dword(image, 0x7C14);
  EXPECT_EQ(switches, port.places.switchWord);
  for (int bit : {0, 3, 9, 19, 22, 24, 25, 27}) EXPECT_TRUE(switches >> bit & 1) << bit;
  for (int bit : {1, 12, 20, 26}) EXPECT_FALSE(switches >> bit & 1) << bit;
  EXPECT_EQ(switches >> 15 & 7, 2u) << "palette slot";
  EXPECT_EQ(dword(image, 0x7C26), port.places.manifestText);
  EXPECT_EQ(text(image, 0x7FC0, 21), "BEXULO PORT          ");
  EXPECT_EQ(image[0x7FD5], 0x30) << "FastROM LoROM";
  EXPECT_EQ(image[0x7FD6], 0x02);
  EXPECT_EQ(image[0x7FBD], 0xFF);
  // The free-space record starts at the first 4 KB boundary after the content.
  const std::size_t freeStart = (port.places.contentEnd + 0xFFF) / 0x1000 * 0x1000;
  EXPECT_EQ(dword(image, 0x7C18), freeStart);
  EXPECT_EQ(dword(image, 0x7C1C), image.size() - freeStart);
  for (std::size_t i = port.places.contentEnd; i < image.size(); ++i)
    ASSERT_EQ(image[i], 0xFF) << "free space at " << i;
}

TEST(PortBuilder, ManifestIsJsonWhoseOffsetsPointAtTheTables) {
  const PortFixture port = makePortFixture(defaultNes());
  const Bytes& image = port.image;
  const auto& p = port.places;
  const std::size_t end =
      std::find(image.begin() + static_cast<long>(p.manifestText), image.end(), 0) - image.begin();
  ASSERT_EQ(text(image, p.manifestText, end - p.manifestText), p.manifest);
  const tbp::JsonValue root = tbp::parseJson(p.manifest);
  EXPECT_EQ(root.get("port").text(), "ZV1 Bexulo engine 1.4");
  const tbp::JsonValue& tables = root.get("tables");
  EXPECT_EQ(tables.get("layout").number(), 1);
  const std::pair<const char*, std::size_t> expected[] = {{"fonts", p.fonts},
                                                          {"font_table", p.fontTable},
                                                          {"symbols_a", p.symbolsA},
                                                          {"symbols_a_hints", p.symbolsAHints},
                                                          {"symbols_b", p.symbolsB},
                                                          {"symbols_b_hints", p.symbolsBHints},
                                                          {"splash_table", p.splashTable},
                                                          {"splash_sound", p.splashSound},
                                                          {"config", p.config},
                                                          {"palette_luts", p.paletteLuts},
                                                          {"msu_tracks", p.msuTracks},
                                                          {"msu_loops", p.msuLoops}};
  for (const auto& [key, offset] : expected) {
    SCOPED_TRACE(key);
    EXPECT_NE(offset, 0u);
    EXPECT_EQ(tables.get(key).number(), static_cast<double>(offset));
  }
  // What lies at those offsets.
  EXPECT_EQ(text(image, p.fontTable, 12), "Standard    ");
  EXPECT_EQ(text(image, p.fontTable + 16, 12), "Bold        ");
  EXPECT_EQ(image[p.fontTable + 4 * 16], 0x00) << "the list ends after four fonts";
  const tbp::testkit::Glyph a = tbp::testkit::letterGlyph('A');
  EXPECT_EQ(slice(image, p.fonts + ('A' - 32) * 8, 8), Bytes(a.begin(), a.end()));
  const tbp::testkit::Glyph boldA = tbp::testkit::styledLetterGlyph('A', 1);
  EXPECT_EQ(slice(image, p.fonts + 768 + ('A' - 32) * 8, 8), Bytes(boldA.begin(), boldA.end()));
  EXPECT_EQ(text(image, p.config, 4), "CFG1");
  EXPECT_EQ(image[p.config + 14], image.size() >> 15);
  EXPECT_EQ(image[p.msuTracks + 0x0A], 0xFE);
  EXPECT_EQ(image[p.msuTracks + 0x0C], 0xFF);
  EXPECT_EQ(image[p.msuLoops + 0x01], 1);
  EXPECT_EQ(image[p.msuLoops + 0x0B], 0);
  // Splash slots 1 and 2 carry sounds, slot 3 is empty.
  EXPECT_EQ(image[p.splashSound] | image[p.splashSound + 1] << 8 | image[p.splashSound + 2] << 16,
            static_cast<int>(p.splashSamples[0]));
  EXPECT_EQ(slice(image, p.splashSound + 16, 8), Bytes(8, 0));
  // Song names and the switch list.
  const auto& songs = root.get("msu1").get("songs").members();
  ASSERT_EQ(songs.size(), 8u);
  EXPECT_EQ(songs[0].first, "01");
  EXPECT_EQ(songs[0].second.text(), "Title");
  EXPECT_EQ(root.get("switches").items().size(), 16u);
  EXPECT_EQ(root.get("library").get("lib_ver").number(), 2);
}

TEST(PortBuilder, NesDigestAndEmbeddedCopy) {
  NesRomOptions nesOptions;
  nesOptions.header = NesHeaderKind::Trainer;
  const Bytes nes = makeNesRom(nesOptions);
  const PortFixture port = makePortFixture(nes);
  const std::string digest = tbp::sha256Hex(nes.data(), nes.size());
  std::string stored;
  for (std::size_t i = 0; i < 32; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", port.image[0x7C50 + i]);
    stored += hex;
  }
  EXPECT_EQ(stored, digest);
  ASSERT_NE(port.places.embeddedNes, 0u);
  EXPECT_EQ(port.places.embeddedNes % 16, 0u);
  EXPECT_GE(port.places.embeddedNes, 0x8000u);
  EXPECT_EQ(slice(port.image, port.places.embeddedNes, nes.size()), nes);
  // The signature scan of the tool meets exactly one iNES magic: the embedded file.
  std::size_t signatures = 0;
  for (std::size_t o = 0x8000; o + 16 <= port.image.size(); o += 16)
    signatures += text(port.image, o, 4) == "NES\x1A";
  EXPECT_EQ(signatures, 1u);
}

// The Game Genie matcher written independently: windows on 4 KB steps that agree with a bank in
// 15/16 of 1024 samples and of all bytes, outside the embedded NES file.
std::vector<std::size_t> findCopies(const Bytes& image, const std::uint8_t* bank, std::size_t nesAt,
                                    std::size_t nesSize) {
  std::vector<std::size_t> copies;
  for (std::size_t w = 0; w + kPrgBankSize <= image.size(); w += 0x1000) {
    if (nesSize != 0 && w < nesAt + nesSize && nesAt < w + kPrgBankSize) continue;
    std::size_t samples = 0;
    for (std::size_t i = 0; i < kPrgBankSize; i += 16) samples += image[w + i] == bank[i];
    if (samples >= 960 && equalBytes(image.data() + w, bank) >= 15360) copies.push_back(w);
  }
  return copies;
}

TEST(PortBuilder, ProgramBankCopiesAreWhereStated) {
  for (int banks : {1, 2, 8}) {
    SCOPED_TRACE(banks);
    NesRomOptions nesOptions;
    nesOptions.prgBanks = banks;
    const Bytes nes = makeNesRom(nesOptions);
    const PortFixture port = makePortFixture(nes);
    const auto& p = port.places;
    ASSERT_EQ(p.bankCopies.size(), static_cast<std::size_t>(banks));
    EXPECT_EQ(p.bankCopies.back().size(), 2u) << "the fixed bank is there twice";
    for (int b = 0; b < banks; ++b) {
      const std::uint8_t* bank = nes.data() + kInesHeaderSize + b * kPrgBankSize;
      EXPECT_EQ(findCopies(port.image, bank, p.embeddedNes, p.embeddedNesSize), p.bankCopies[b]);
      for (std::size_t copy : p.bankCopies[b]) EXPECT_EQ(copy % 0x1000, 0u);
    }
    // The patched copy differs from the bank exactly at the stated offsets.
    const std::uint8_t* fixed = nes.data() + kInesHeaderSize + (banks - 1) * kPrgBankSize;
    std::vector<std::size_t> differences;
    for (std::size_t i = 0; i < kPrgBankSize; ++i)
      if (port.image[p.changedCopy + i] != fixed[i]) differences.push_back(i);
    EXPECT_EQ(differences, p.changedOffsets);
    EXPECT_GE(differences.size(), 8u);
    EXPECT_NE(p.changedCopy % kPrgBankSize, 0u) << "one copy off the 16 KB grid";
  }
}

TEST(PortBuilder, VariantsLeaveOutWhatTheyShould) {
  struct Row {
    const char* name;
    PortOptions options;
  };
  PortOptions noFonts;
  noFonts.fontCount = 0;
  PortOptions noMsu;
  noMsu.msu1 = false;
  PortOptions noConfig;
  noConfig.config = false;
  PortOptions older;
  older.manifest = ManifestKind::OlderBuild;
  PortOptions foreign;
  foreign.manifest = ManifestKind::ForeignLayout;
  PortOptions noSwitchList;
  noSwitchList.offeredSwitches.clear();
  for (const Row& row :
       {Row{"noFonts", noFonts}, Row{"noMsu", noMsu}, Row{"noConfig", noConfig},
        Row{"older", older}, Row{"foreign", foreign}, Row{"noSwitchList", noSwitchList}}) {
    SCOPED_TRACE(row.name);
    const PortFixture port = makePortFixture(defaultNes(), row.options);
    const tbp::JsonValue root = tbp::parseJson(port.places.manifest);
    const tbp::JsonValue& tables = root.get("tables");
    const bool hasTables = row.options.manifest != ManifestKind::OlderBuild;
    EXPECT_EQ(tables.kind() == tbp::JsonKind::Object, hasTables);
    if (row.options.manifest == ManifestKind::ForeignLayout) {
      EXPECT_EQ(tables.get("layout").number(), 2);
    }
    EXPECT_EQ(tables.get("fonts").isNull(), row.options.fontCount == 0 || !hasTables);
    EXPECT_EQ(tables.get("config").isNull(), !row.options.config || !hasTables);
    EXPECT_EQ(root.get("msu1").isNull(), !row.options.msu1);
    EXPECT_EQ(root.get("switches").isNull(), row.options.offeredSwitches.empty());
    if (port.places.config != 0) {
      EXPECT_EQ(text(port.image, port.places.config, 4), "CFG1");
    }
    EXPECT_EQ(word(port.image, 0x7FDE), expectedChecksum(port.image));
  }
}

TEST(PortBuilder, OlderBuildUsesItsFixedPlaces) {
  PortOptions older;
  older.manifest = ManifestKind::OlderBuild;
  const PortFixture port = makePortFixture(defaultNes(), older);
  const tbp::JsonValue root = tbp::parseJson(port.places.manifest);
  EXPECT_EQ(root.get("port").text().rfind("RO1", 0), 0u);
  EXPECT_EQ(text(port.image, 0x12800, 12), "Standard    ");
  EXPECT_EQ(text(port.image, 0x13B00, 4), "CFG1");
  EXPECT_EQ(port.image[0x57E00 + 0x01], 0xFE);
  const tbp::testkit::Glyph b = tbp::testkit::symbolGlyph(1, 0);
  EXPECT_EQ(slice(port.image, 0x12400, 8), Bytes(b.begin(), b.end()));
  older.fontCount = 13;  // a 13th font would run into symbol page B
  EXPECT_THROW(makePortFixture(defaultNes(), older), std::invalid_argument);
}

TEST(PortBuilder, BrokenAndMissingManifests) {
  PortOptions broken;
  broken.manifest = ManifestKind::Broken;
  const PortFixture port = makePortFixture(defaultNes(), broken);
  EXPECT_THROW(tbp::parseJson(port.places.manifest), std::exception);
  EXPECT_NE(port.places.manifest.find("\"port\": \"ZV1 Bexulo engine 1.4\""), std::string::npos);
  EXPECT_EQ(port.image[port.places.manifestText + port.places.manifest.size()], 0);
  PortOptions missing;
  missing.manifest = ManifestKind::Missing;
  const PortFixture none = makePortFixture(defaultNes(), missing);
  EXPECT_EQ(dword(none.image, 0x7C26), 0u);
  EXPECT_TRUE(none.places.manifest.empty());
}

TEST(PortBuilder, ChipAndSpeedVariants) {
  struct Row {
    int chip;
    bool fastRom;
    std::uint8_t mapMode, cartType, expansionRam, chipByte;
  };
  const Row rows[] = {{0, true, 0x30, 0x02, 0xFF, 0x00}, {0, false, 0x20, 0x02, 0xFF, 0x00},
                      {1, true, 0x20, 0x15, 0x05, 0x01}, {2, false, 0x20, 0x15, 0x05, 0x82},
                      {3, true, 0x20, 0x15, 0x05, 0x03}, {4, true, 0x23, 0x32, 0xFF, 0x04}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.chip * 10 + row.fastRom);
    PortOptions o;
    o.chip = row.chip;
    o.fastRom = row.fastRom;
    const PortFixture port = makePortFixture(defaultNes(), o);
    EXPECT_EQ(port.image[0x7FD5], row.mapMode);
    EXPECT_EQ(port.image[0x7FD6], row.cartType);
    EXPECT_EQ(port.image[0x7FBD], row.expansionRam);
    EXPECT_EQ(port.image[port.places.config + 15], row.chipByte);
    EXPECT_EQ(port.places.switchWord & 1, row.chip == 0 && row.fastRom ? 1u : 0u);
  }
}

TEST(PortBuilder, NoEmbeddedCopyOrDigest) {
  PortOptions o;
  o.embedNes = false;
  const PortFixture noCopy = makePortFixture(defaultNes(), o);
  EXPECT_EQ(noCopy.places.embeddedNes, 0u);
  EXPECT_NE(slice(noCopy.image, 0x7C50, 32), Bytes(32, 0xFF)) << "digest still stored";
  o.storeNesDigest = false;
  const PortFixture bare = makePortFixture(defaultNes(), o);
  EXPECT_EQ(slice(bare.image, 0x7C50, 32), Bytes(32, 0xFF));
  EXPECT_LT(bare.places.contentEnd, noCopy.places.contentEnd + 1);
  PortOptions tooSmall;
  tooSmall.romSize = 0x20000;
  EXPECT_THROW(makePortFixture(defaultNes(), tooSmall), std::invalid_argument);
  NesRomOptions headerless;
  headerless.header = NesHeaderKind::Headerless;
  EXPECT_THROW(makePortFixture(makeNesRom(headerless)), std::invalid_argument);
}

TEST(PortBuilder, LargeProgramsGrowTheImage) {
  NesRomOptions big;
  big.prgBanks = 32;
  big.chrBanks = 32;
  big.mapper = 4;
  const Bytes nes = makeNesRom(big);
  const PortFixture port = makePortFixture(nes);
  EXPECT_EQ(port.image.size(), 0x200000u);
  EXPECT_GE(port.places.contentEnd, 32 * kPrgBankSize + nes.size());
  EXPECT_EQ(port.image[0x7FD7], 11);
}

// Every region the builder places, with its length, for the overlap check below.
std::vector<std::pair<std::size_t, std::size_t>> regions(const tbp::testkit::PortPlaces& p,
                                                         int fontCount) {
  std::vector<std::pair<std::size_t, std::size_t>> r{
      {0x7C00, 0x70},
      {0x7FC0, 0x20},
      {p.fonts, static_cast<std::size_t>(fontCount) * 768},
      {p.fontTable, 256},
      {p.symbolsA, 1024},
      {p.symbolsAHints, 128},
      {p.symbolsB, 1024},
      {p.symbolsBHints, 128},
      {p.splashTable, 48},
      {p.splashSound, 24},
      {p.config, 32},
      {p.paletteLuts, 1024},
      {p.msuTracks, 64},
      {p.msuLoops, 64},
      {p.manifestText, p.manifest.size() + 1},
      {p.symbolTable, 256},
      {p.embeddedNes, p.embeddedNesSize}};
  for (std::size_t sample : p.splashSamples) r.push_back({sample, 0x400});
  for (const auto& copies : p.bankCopies)
    for (std::size_t copy : copies) r.push_back({copy, kPrgBankSize});
  std::erase_if(r, [](const auto& region) { return region.first == 0 || region.second == 0; });
  return r;
}

void expectPlacesApart(const PortFixture& port, int fontCount) {
  const auto r = regions(port.places, fontCount);
  for (std::size_t i = 0; i < r.size(); ++i) {
    EXPECT_LE(r[i].first + r[i].second, port.image.size());
    for (std::size_t j = 0; j < i; ++j)
      EXPECT_TRUE(r[i].first + r[i].second <= r[j].first || r[j].first + r[j].second <= r[i].first)
          << std::hex << r[i].first << " overlaps " << r[j].first;
  }
}

// The older build's MSU-1 tables sit in the middle of the image: a large program steps over them.
TEST(PortBuilder, OlderBuildKeepsItsMsuTablesFree) {
  NesRomOptions big;
  big.prgBanks = 32;
  big.chrBanks = 8;
  PortOptions older;
  older.manifest = ManifestKind::OlderBuild;
  const PortFixture port = makePortFixture(makeNesRom(big), older);
  expectPlacesApart(port, older.fontCount);
  EXPECT_EQ(port.image[0x57E00 + 0x01], 0xFE);
  EXPECT_EQ(port.image[0x57E40 + 0x01], 1);
}

// Random combinations of options: whatever is asked, the places never overlap, stay inside the
// image, and the checksum and free-space record hold.
TEST(PortBuilder, RandomOptionCombinationsKeepTheirPlacesApart) {
  std::uint32_t state = 12345;
  auto next = [&state](std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  };
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    NesRomOptions nesOptions;
    nesOptions.prgBanks = 1 << next(6);
    nesOptions.chrBanks = static_cast<int>(next(9));
    nesOptions.header = next(4) == 0 ? NesHeaderKind::Trainer : NesHeaderKind::Ines;
    nesOptions.seed = round;
    PortOptions o;
    o.manifest = static_cast<ManifestKind>(next(5));
    o.fontCount = static_cast<int>(next(o.manifest == ManifestKind::OlderBuild ? 13 : 17));
    o.symbolPages = next(4) != 0;
    o.symbolPageB = o.symbolPages && next(4) != 0;
    o.splashSounds = next(3) != 0;
    o.msu1 = next(3) != 0;
    o.config = next(3) != 0;
    o.chip = static_cast<int>(next(5));
    o.embedNes = next(3) != 0;
    o.bankCopies = next(5) != 0;
    const PortFixture port = makePortFixture(makeNesRom(nesOptions), o);
    expectPlacesApart(port, o.fontCount);
    EXPECT_EQ(word(port.image, 0x7FDE), expectedChecksum(port.image));
    EXPECT_EQ(dword(port.image, 0x7C18) + dword(port.image, 0x7C1C), port.image.size());
    EXPECT_GE(dword(port.image, 0x7C18), port.places.contentEnd);
  }
}

}  // namespace
