// The port image read through a port laid out as the engine's base patches lay one out.
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

#include "formats/checksums.h"
#include "port/game_genie.h"
#include "port/port_image.h"
#include "support/game_genie_encoder.h"
#include "support/glyph_shapes.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

namespace tbp {
namespace {

using testkit::ManifestKind;
using testkit::PortOptions;

Bytes defaultNes() { return testkit::makeNesRom({.prgBanks = 4, .chrBanks = 2}); }

// A port of the default NES ROM with the builder's options changed by `change`.
template <typename Change>
testkit::PortFixture fixtureWith(Change change) {
  PortOptions options;
  change(options);
  return testkit::makePortFixture(defaultNes(), options);
}

TEST(RealisticPort, IsAPortInEverySense) {
  const Bytes nes = defaultNes();
  const testkit::PortFixture f = testkit::makePortFixture(nes);
  PortImage port(f.image);
  EXPECT_TRUE(port.isPort());
  EXPECT_TRUE(port.checksumValid());
  const SnesHeader h = port.header();
  EXPECT_TRUE(h.valid);
  EXPECT_FALSE(h.hiRom);
  EXPECT_EQ(h.title, "BEXULO PORT");
  EXPECT_EQ(describeMapMode(h), "LoROM, FastROM");
  EXPECT_EQ(describeCartridge(h), "ROM + RAM + battery");
  EXPECT_EQ(port.contentSize(), f.places.contentEnd);
  EXPECT_EQ(port.nesDigestText(), sha256Hex(nes.data(), nes.size()));
  EXPECT_EQ(port.findEmbeddedNes(), static_cast<std::int64_t>(f.places.embeddedNes));
  EXPECT_EQ(port.embeddedNesSize(), nes.size());
  EXPECT_EQ(port.embeddedNes(), nes);
  EXPECT_EQ(port.manifestText(), f.places.manifest);
  EXPECT_EQ(port.portName(), "ZV1 Bexulo engine 1.4");
}

TEST(RealisticPort, LayoutMatchesTheBuiltTables) {
  const testkit::PortFixture f = fixtureWith([](PortOptions&) {});
  PortImage port(f.image);
  const PortLayout& l = port.layout();
  const testkit::PortPlaces& p = f.places;
  EXPECT_EQ(l.layoutVersion, 1);
  EXPECT_EQ(l.layoutName, "this ROM (layout v1)");
  EXPECT_EQ(l.fonts, p.fonts);
  EXPECT_EQ(l.fontTable, p.fontTable);
  EXPECT_EQ(l.symbolsA, p.symbolsA);
  EXPECT_EQ(l.symbolsAHints, p.symbolsAHints);
  EXPECT_EQ(l.symbolsB, p.symbolsB);
  EXPECT_EQ(l.symbolsBHints, p.symbolsBHints);
  EXPECT_EQ(l.splashTable, p.splashTable);
  EXPECT_EQ(l.splashSound, p.splashSound);
  EXPECT_EQ(l.config, p.config);
  EXPECT_EQ(l.paletteLuts, p.paletteLuts);
  EXPECT_EQ(l.msuTracks, p.msuTracks);
  EXPECT_EQ(l.msuLoops, p.msuLoops);
  const PortOptions defaults;
  EXPECT_EQ(l.switches, defaults.offeredSwitches);
  EXPECT_TRUE(port.supportsSwitch(9));
  EXPECT_FALSE(port.supportsSwitch(30));
}

TEST(RealisticPort, SwitchWordPaletteAndButtons) {
  const testkit::PortFixture f = fixtureWith([](PortOptions&) {});
  PortImage port(f.image);
  EXPECT_EQ(port.flags(), f.places.switchWord);
  EXPECT_EQ(port.paletteSlot(), 2);
  for (const int bit : {0, 9, 19, 24, 25, 27}) EXPECT_TRUE(port.flags() >> bit & 1) << bit;
  for (int i = 0; i < 12; ++i) EXPECT_EQ(port.buttonAction(i), testkit::kDefaultButtonMap[i]);
  port.setSwitch(0, false);
  EXPECT_EQ(port.header().mapMode, 0x20);
  EXPECT_EQ(port.flags(), f.places.switchWord & ~1u);
  port.setPaletteSlot(5);
  EXPECT_EQ(port.paletteSlot(), 5);
  EXPECT_EQ(port.flags() & ~(7u << 15), f.places.switchWord & ~1u & ~(7u << 15));
}

TEST(RealisticPort, FontsCarryLetterShapesAndNames) {
  const testkit::PortFixture f = fixtureWith([&](PortOptions& o) { o.fontCount = 5; });
  PortImage port(f.image);
  ASSERT_TRUE(port.hasFonts());
  ASSERT_EQ(port.fontCount(), 5);
  for (int font = 0; font < 5; ++font) {
    EXPECT_EQ(port.fontName(font), testkit::fontStyleName(font));
    for (const char c : {'A', 'g', '0', '~'}) {
      const testkit::Glyph shape = testkit::styledLetterGlyph(c, font);
      EXPECT_EQ(port.glyph(font, c - 32), Bytes(shape.begin(), shape.end())) << font << c;
    }
  }
  for (const int page : {0, 1}) {
    const int id = page == 0 ? symbolPageA : symbolPageB;
    const testkit::Glyph shape = testkit::symbolGlyph(page, 77);
    EXPECT_EQ(port.glyph(id, 77), Bytes(shape.begin(), shape.end()));
  }
  EXPECT_THROW(port.glyph(5, 0), std::out_of_range);
}

TEST(RealisticPort, MsuSongsAndSplashSounds) {
  const testkit::PortFixture f = fixtureWith([](PortOptions&) {});
  PortImage port(f.image);
  ASSERT_TRUE(port.hasMsu1());
  const PortOptions defaults;
  const std::vector<MsuSong> songs = port.msuSongs();
  ASSERT_EQ(songs.size(), defaults.msuSongs.size());
  // The manifest keys are hexadecimal texts; the songs come back in key order.
  std::vector<std::pair<std::string, testkit::SongName>> expected;
  for (const testkit::SongName& s : defaults.msuSongs) {
    char key[8];
    std::snprintf(key, sizeof key, "%02X", s.index);
    expected.push_back({key, s});
  }
  std::sort(expected.begin(), expected.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < songs.size(); ++i) {
    EXPECT_EQ(songs[i].index, expected[i].second.index) << i;
    EXPECT_EQ(songs[i].name, expected[i].second.name) << i;
  }
  EXPECT_TRUE(port.hasSplashSounds());
  EXPECT_TRUE(port.splashSoundPresent(0));
  EXPECT_TRUE(port.splashSoundPresent(1));
  EXPECT_FALSE(port.splashSoundPresent(2));
  port.clearSplashSound(1);
  EXPECT_FALSE(port.splashSoundPresent(1));
  EXPECT_TRUE(port.splashSoundPresent(0));
}

TEST(RealisticPort, VariantsLackExactlyTheirFeature) {
  PortImage noFonts(fixtureWith([&](PortOptions& o) { o.fontCount = 0; }).image);
  EXPECT_FALSE(noFonts.hasFonts());
  EXPECT_EQ(noFonts.fontCount(), 0);
  EXPECT_TRUE(noFonts.hasMsu1());

  PortImage noMsu(fixtureWith([&](PortOptions& o) { o.msu1 = false; }).image);
  EXPECT_FALSE(noMsu.hasMsu1());
  EXPECT_TRUE(noMsu.msuSongs().empty());
  EXPECT_EQ(noMsu.msuTrack(1), -1);

  PortImage noConfig(fixtureWith([&](PortOptions& o) { o.config = false; }).image);
  EXPECT_FALSE(noConfig.hasConfig());
  EXPECT_EQ(noConfig.turboCycle(), 2);
  EXPECT_THROW(noConfig.setChip(1), std::runtime_error);

  PortImage noPageB(fixtureWith([&](PortOptions& o) { o.symbolPageB = false; }).image);
  EXPECT_THROW(noPageB.glyph(symbolPageB, 0), std::runtime_error);
  EXPECT_NO_THROW(noPageB.glyph(symbolPageA, 0));

  PortImage noSplash(fixtureWith([&](PortOptions& o) { o.splashSounds = false; }).image);
  EXPECT_FALSE(noSplash.hasSplashSounds());

  PortImage noCopy(fixtureWith([&](PortOptions& o) { o.embedNes = false; }).image);
  EXPECT_EQ(noCopy.findEmbeddedNes(), -1);
  EXPECT_FALSE(noCopy.nesDigestText().empty());

  PortImage noDigest(fixtureWith([&](PortOptions& o) { o.storeNesDigest = false; }).image);
  EXPECT_EQ(noDigest.nesDigestText(), "");
  EXPECT_EQ(noDigest.findEmbeddedNes(), -1);
}

TEST(RealisticPort, ManifestVariants) {
  PortImage older(
      fixtureWith([&](PortOptions& o) { o.manifest = ManifestKind::OlderBuild; }).image);
  EXPECT_EQ(older.layout().layoutName, "RO1 (older build: layout v1 assumed)");
  EXPECT_EQ(older.layout().msuTracks, 0x57E00u);
  EXPECT_TRUE(older.hasFonts());
  EXPECT_TRUE(older.hasMsu1());
  EXPECT_TRUE(older.hasConfig());

  for (const ManifestKind kind :
       {ManifestKind::ForeignLayout, ManifestKind::Broken, ManifestKind::Missing}) {
    PortImage port(fixtureWith([&](PortOptions& o) { o.manifest = kind; }).image);
    EXPECT_TRUE(port.isPort());
    EXPECT_EQ(port.layout().layoutName, "unknown");
    EXPECT_EQ(port.layout().layoutVersion, kind == ManifestKind::ForeignLayout ? 2 : 0);
    EXPECT_TRUE(port.supportsSwitch(30));
    EXPECT_FALSE(port.hasFonts());
    EXPECT_FALSE(port.hasConfig());
    EXPECT_TRUE(port.msuSongs().empty());
    EXPECT_TRUE(port.checksumValid());
  }
}

TEST(RealisticPort, ChipVariantsReadBack) {
  for (int chip = 1; chip <= 4; ++chip) {
    PortImage port(fixtureWith([&](PortOptions& o) { o.chip = chip; }).image);
    EXPECT_EQ(port.chip(), chip);
    EXPECT_EQ(port.flags() & 1, 0u);
    port.setChip(0);
    EXPECT_EQ(port.chip(), 0);
    EXPECT_EQ(port.flags() & 1, 1u) << "FastROM was on before the chip";
    EXPECT_EQ(port.header().mapMode, 0x30);
    EXPECT_TRUE(port.checksumValid());
  }
}

TEST(RealisticPort, SmallestSizeFitsTheContent) {
  const testkit::PortFixture f = fixtureWith([](PortOptions&) {});
  PortImage port(f.image);
  const std::size_t smallest = snesRomSize(port.contentSize());
  port.setRomSize(smallest);
  EXPECT_EQ(port.bytes().size(), smallest);
  EXPECT_EQ(port.contentSize(), f.places.contentEnd);
  EXPECT_EQ(port.findEmbeddedNes(), static_cast<std::int64_t>(f.places.embeddedNes));
  EXPECT_TRUE(port.checksumValid());
  EXPECT_TRUE(port.hasMsu1());
  port.setRomSize(0x400000);
  EXPECT_EQ(port.bytes().size(), 0x400000u);
  EXPECT_TRUE(port.checksumValid());
}

TEST(RealisticPort, GameGenieFindsTheBankCopies) {
  const Bytes nes = defaultNes();
  const testkit::PortFixture f = testkit::makePortFixture(nes);
  const Bytes program = testkit::makeNesProgram({.prgBanks = 4, .chrBanks = 2});
  const std::size_t lastBank = 3;
  const std::size_t hook = f.places.changedOffsets.front();
  const auto address = static_cast<unsigned>(0xC000 + hook);
  const std::size_t freeOffset = 0x2345;
  ASSERT_TRUE(std::find(f.places.changedOffsets.begin(), f.places.changedOffsets.end(),
                        freeOffset) == f.places.changedOffsets.end());

  PortImage port(f.image);
  // A code for the fixed bank where the engine hooked its copy, one beside it, and one for
  // the switchable banks.
  std::vector<std::string> codes;
  codes.push_back(testkit::encodeGameGenie(address, 0xEA));
  codes.push_back(testkit::encodeGameGenie(static_cast<unsigned>(0xC000 + freeOffset), 0xEA));
  codes.push_back(testkit::encodeGameGenie(0x8000 + 0x0100, 0xEA));
  const auto results = applyGameGenie(port, nes, codes);
  ASSERT_EQ(results.size(), 3u);
  const std::size_t fixedCopies = f.places.bankCopies[lastBank].size();
  ASSERT_EQ(fixedCopies, 2u);
  EXPECT_EQ(results[0].patched, 1);
  EXPECT_EQ(results[0].skipped, 1);
  EXPECT_EQ(results[1].patched, 2);
  EXPECT_EQ(results[1].skipped, 0);
  // 0x8100 lies in every switchable bank (0, 1, 2), one copy each.
  EXPECT_EQ(results[2].patched, 3);
  for (const std::size_t copy : f.places.bankCopies[lastBank]) {
    EXPECT_EQ(port.bytes()[copy + freeOffset], 0xEA);
  }
  EXPECT_EQ(port.bytes()[f.places.embeddedNes + 16 + lastBank * 0x4000 + freeOffset],
            program[lastBank * 0x4000 + freeOffset]);
  EXPECT_EQ(port.embeddedNes(), nes);
  EXPECT_TRUE(port.checksumValid());
}

}  // namespace
}  // namespace tbp
