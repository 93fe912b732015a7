// Every port image operation on random and damaged images: only the documented results and
// exceptions may come out, and the sanitizers watch every byte access.
#include <gtest/gtest.h>
#include <stdexcept>

#include "port/game_genie.h"
#include "port/port_image.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"
#include "support/port_refusals.h"
#include "support/random.h"

namespace tbp {
namespace {

using testkit::Random;

// Runs one operation; an exception must be a range error or a listed refusal, and an edit
// that throws must leave the image as it was.
template <typename Operation>
void guarded(PortImage& port, const char* name, Operation operation) {
  const Bytes before = port.bytes();
  try {
    operation();
  } catch (const std::out_of_range&) {
    EXPECT_EQ(port.bytes(), before) << name;
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(testkit::portRefusals().count(e.what())) << name << ": " << e.what();
    EXPECT_EQ(port.bytes(), before) << name;
  }
}

// Readers of the header, the embedded NES file, the manifest block and the config block.
void readImageAndManifest(const PortImage& port) {
  (void)port.isPort();
  const SnesHeader h = port.header();
  (void)describeMapMode(h);
  (void)describeCartridge(h);
  (void)describeRegion(h);
  EXPECT_LE(port.contentSize(), port.bytes().size());
  (void)port.checksumValid();
  const std::string digest = port.nesDigestText();
  EXPECT_TRUE(digest.empty() || digest.size() == 64);
  const std::int64_t nesAt = port.findEmbeddedNes();
  EXPECT_TRUE(nesAt == -1 ||
              (nesAt >= 0x8000 && static_cast<std::size_t>(nesAt) < port.bytes().size()));
  EXPECT_EQ(port.embeddedNes().size(), port.embeddedNesSize());
  (void)port.manifestText();
  (void)port.portName();
  const PortLayout& l = port.layout();
  EXPECT_GE(l.layoutVersion, 0);
  EXPECT_LE(l.layoutVersion, 255);
  (void)port.supportsSwitch(9);
  (void)port.flags();
  EXPECT_LE(port.paletteSlot(), 7);
  EXPECT_LE(port.chip(), 4);
  (void)port.hasConfig();
  (void)port.turboCycle();
  (void)port.chordHold();
}

// Readers of the fonts, symbols, splash sounds and MSU-1 tables.
void readTables(const PortImage& port) {
  EXPECT_LE(port.fontCount(), 16);
  for (int f = -1; f <= 16; ++f) (void)port.fontName(f);
  for (const int font : {0, 1, 15, symbolPageA, symbolPageB}) {
    for (const int glyph : {0, 95, 127}) {
      try {
        EXPECT_EQ(port.glyph(font, glyph).size(), 8u);
      } catch (const std::out_of_range&) {
      } catch (const std::runtime_error& e) {
        EXPECT_TRUE(testkit::portRefusals().count(e.what())) << e.what();
      }
    }
    EXPECT_LE(port.symbolHint(font, 5), 7);
  }
  for (int slot = -1; slot <= 3; ++slot) (void)port.splashSoundPresent(slot);
  (void)port.hasSplashSounds();
  (void)port.hasMsu1();
  for (const MsuSong& song : port.msuSongs()) {
    EXPECT_GE(song.index, 0);
    EXPECT_LE(song.index, 63);
  }
  for (const int song : {-1, 0, 63, 64}) {
    EXPECT_LE(port.msuTrack(song), 253);
    (void)port.msuLoop(song);
  }
  try {
    (void)port.buttonAction(11);
  } catch (const std::out_of_range&) {
  }
}

// Readers: no exception besides the glyph errors, and no change to the image.
void readEverything(const PortImage& port) {
  const Bytes before = port.bytes();
  readImageAndManifest(port);
  readTables(port);
  EXPECT_EQ(port.bytes(), before);
}

void editEverything(PortImage& port, Random& random) {
  guarded(port, "setSwitch", [&] { port.setSwitch(random.below(32), random.below(2)); });
  guarded(port, "setSwitch 0", [&] { port.setSwitch(0, true); });
  guarded(port, "setPaletteSlot", [&] { port.setPaletteSlot(random.below(9)); });
  guarded(port, "setButtonAction", [&] { port.setButtonAction(random.below(13), 7); });
  guarded(port, "setTurboCycle", [&] { port.setTurboCycle(static_cast<int>(random.below(100))); });
  guarded(port, "setChordHold", [&] { port.setChordHold(static_cast<int>(random.below(300))); });
  guarded(port, "setGlyph",
          [&] { port.setGlyph(static_cast<int>(random.below(3)), 33, Bytes(8, 1)); });
  guarded(port, "setGlyph A", [&] { port.setGlyph(symbolPageA, 127, Bytes(8, 1)); });
  guarded(port, "setSymbolHint", [&] { port.setSymbolHint(symbolPageB, 127, 13); });
  guarded(port, "clearSplashSound",
          [&] { port.clearSplashSound(static_cast<int>(random.below(4))); });
  guarded(port, "setMsuTrack", [&] { port.setMsuTrack(static_cast<int>(random.below(65)), 3); });
  guarded(port, "setMsuLoop", [&] { port.setMsuLoop(static_cast<int>(random.below(65)), true); });
  guarded(port, "setChip", [&] { port.setChip(static_cast<int>(random.below(6))); });
  guarded(port, "setChip 0", [&] { port.setChip(0); });
  guarded(port, "fixChecksum", [&] { port.fixChecksum(); });
  // Mostly small sizes keep the run short; now and then the largest.
  const std::size_t sizes[] = {0x8000, 0x18000, 0x40000, 0x60000, 0x80000, 0x300000};
  const std::size_t size = random.below(32) == 0 ? 0x400000 : sizes[random.below(std::size(sizes))];
  guarded(port, "setRomSize", [&] { port.setRomSize(size); });
}

void exercise(const Bytes& image, Random& random, const Bytes& nes = {}) {
  PortImage port(image);
  readEverything(port);
  editEverything(port, random);
  readEverything(port);
  const auto results = applyGameGenie(port, nes, {"SXIOPO", "AAAAAAAA", "SXIOPB", "NNNN"});
  EXPECT_EQ(results.size(), 4u);
}

void putText(Bytes& image, std::size_t at, const std::string& text, bool nul = true) {
  for (std::size_t i = 0; i < text.size() && at + i < image.size(); ++i) {
    image[at + i] = static_cast<std::uint8_t>(text[i]);
  }
  if (nul && at + text.size() < image.size()) image[at + text.size()] = 0;
}

void put32(Bytes& image, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) image.at(at + i) = static_cast<std::uint8_t>(value >> 8 * i);
}

// A 256 KB port: every table of a real one, small enough for thousands of runs.
testkit::PortOptions smallPort() {
  testkit::PortOptions options;
  options.romSize = 0x40000;
  return options;
}

struct Fixture {
  Bytes nes = testkit::makeNesRom({.prgBanks = 2,
                                   .chrBanks = 1,
                                   .mapper = 0,
                                   .header = testkit::NesHeaderKind::Ines,
                                   .seed = 5,
                                   .verticalMirroring = true,
                                   .battery = false,
                                   .ripperTag = "DiskDude!"});
  testkit::PortFixture port = testkit::makePortFixture(nes, smallPort());
};

const Fixture& fixture() {
  static const Fixture f;
  return f;
}

TEST(PortFuzz, RandomImages) {
  Random random(11);
  const std::size_t sizes[] = {0,      1,      0x7C00, 0x7C17, 0x7C18, 0x7C2A,
                               0x7FDF, 0x7FE0, 0x7FFF, 0x8000, 0x8001, 0x10000};
  for (int round = 0; round < 300; ++round) {
    Bytes image(sizes[random.below(std::size(sizes))]);
    for (std::uint8_t& b : image) b = static_cast<std::uint8_t>(random.next());
    if (image.size() >= 0x7C30 && random.below(4) != 0) {
      putText(image, 0x7C00, "ZUVU", false);
      put32(image, 0x7C26, random.below(image.size() + 16));
    }
    exercise(image, random);
  }
}

TEST(PortFuzz, TruncatedInsideEveryTable) {
  const Fixture& f = fixture();
  const testkit::PortPlaces& p = f.port.places;
  const std::pair<std::size_t, std::size_t> tables[] = {{p.fonts, 0x3000},
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
                                                        {p.manifestText, p.manifest.size()},
                                                        {p.embeddedNes, p.embeddedNesSize}};
  Random random(12);
  for (const auto& [at, bytes] : tables) {
    ASSERT_NE(at, 0u);
    for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, bytes / 2, bytes - 1}) {
      Bytes image(f.port.image.begin(),
                  f.port.image.begin() + static_cast<std::ptrdiff_t>(at + cut));
      exercise(image, random, f.nes);
      // The same cut after the layout was parsed from the whole image.
      PortImage parsed(f.port.image);
      (void)parsed.layout();
      parsed.bytes().resize(at + cut);
      readEverything(parsed);
      editEverything(parsed, random);
      readEverything(parsed);
    }
  }
}

TEST(PortFuzz, ManifestPointerAndTextDamage) {
  const Fixture& f = fixture();
  const std::size_t size = f.port.image.size();
  Random random(13);
  const std::uint32_t pointers[] = {0,
                                    1,
                                    0x7C26,
                                    static_cast<std::uint32_t>(size - 1),
                                    static_cast<std::uint32_t>(size),
                                    0x7FFFFFFF,
                                    0xFFFFFFFF};
  for (const std::uint32_t pointer : pointers) {
    Bytes image = f.port.image;
    put32(image, 0x7C26, pointer);
    exercise(image, random, f.nes);
  }
  // A manifest without its NUL, running to the image end.
  Bytes tail = f.port.image;
  put32(tail, 0x7C26, static_cast<std::uint32_t>(size - f.port.places.manifest.size()));
  putText(tail, size - f.port.places.manifest.size(), f.port.places.manifest, false);
  PortImage tailPort(tail);
  EXPECT_EQ(tailPort.layout().layoutVersion, 1);
  exercise(tail, random, f.nes);
}

TEST(PortFuzz, TableOffsetsAtTheImageEndAndHugeNumbers) {
  const Fixture& f = fixture();
  const std::size_t size = f.port.image.size();
  const char* keys[] = {"fonts",     "font_table",      "symbols_a",    "symbols_a_hints",
                        "symbols_b", "symbols_b_hints", "splash_table", "splash_sound",
                        "config",    "palette_luts",    "msu_tracks",   "msu_loops"};
  const std::size_t needs[] = {0x3000, 256, 1024, 128, 1024, 128, 48, 24, 32, 1024, 64, 64};
  Random random(14);
  for (int variant = 0; variant < 6; ++variant) {
    std::string text =
        "{\"port\": \"ZV1\", \"msu1\": {\"songs\": {\"01\": \"a\"}}, "
        "\"switches\": [1e308, -1e308, 31, 0], \"tables\": {\"layout\": 1";
    for (std::size_t i = 0; i < std::size(keys); ++i) {
      std::string value;
      switch (variant) {
        case 0:
          value = std::to_string(size - needs[i]);
          break;  // fits exactly
        case 1:
          value = std::to_string(size - needs[i] + 1);
          break;  // one byte short
        case 2:
          value = std::to_string(size - 1);
          break;
        case 3:
          value = "1e300";
          break;
        case 4:
          value = "-4294967296";
          break;
        default:
          value = "18446744073709551617";
          break;
      }
      text += std::string(", \"") + keys[i] + "\": " + value;
    }
    text += "}}";
    Bytes image = f.port.image;
    putText(image, f.port.places.manifestText, text);
    PortImage port(image);
    if (variant == 0) {
      EXPECT_EQ(port.layout().config, size - 32);
    } else {
      EXPECT_EQ(port.layout().config, 0u) << variant;
    }
    exercise(image, random, f.nes);
  }
}

TEST(PortFuzz, DeeplyNestedManifestIsNoCrash) {
  const Fixture& f = fixture();
  Bytes image = f.port.image;
  const std::size_t depth = 3000;  // fits the manifest's place in the fixture
  const std::string text = std::string(depth, '[') + std::string(depth, ']');
  put32(image, 0x7C26, 0x20000);
  putText(image, 0x20000, text);
  Random random(15);
  exercise(image, random, f.nes);
}

TEST(PortFuzz, MutatedPorts) {
  const Fixture& f = fixture();
  const testkit::PortPlaces& p = f.port.places;
  // Hot spots: the ZUVU block, the header, the manifest text and the start of each table.
  const std::size_t spots[] = {0x7C00,        0x7C14,         0x7C26,      0x7C50,
                               0x7FD5,        p.manifestText, p.fontTable, p.symbolsAHints,
                               p.splashSound, p.config,       p.msuTracks, p.embeddedNes};
  Random random(16);
  for (int round = 0; round < 200; ++round) {
    Bytes image = f.port.image;
    const int edits = 1 + static_cast<int>(random.below(8));
    for (int e = 0; e < edits; ++e) {
      const std::size_t spot = spots[random.below(std::size(spots))];
      const std::size_t at = spot + random.below(round % 2 == 0 ? 48 : 300);
      if (at < image.size()) image[at] = static_cast<std::uint8_t>(random.next());
    }
    if (random.below(8) == 0) image.resize(random.below(image.size()));
    exercise(image, random, f.nes);
  }
}

}  // namespace
}  // namespace tbp
