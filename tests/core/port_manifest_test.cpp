#include <gtest/gtest.h>
#include <set>
#include <stdexcept>

#include "port/port_image.h"
#include "port_scratch.h"

namespace tbp {
namespace {

using scratch::get32;
using scratch::layoutV1;
using scratch::put32;

constexpr std::size_t MB = 1024 * 1024;

TEST(Manifest, TextRunsToTheNulOrTheImageEnd) {
  Bytes image = scratch::port(0x8000, "{\"port\":\"A\"}");
  EXPECT_EQ(PortImage(image).manifestText(), "{\"port\":\"A\"}");
  // Without its NUL the text stops at the image end.
  const std::string tail = "{\"x\":1}";
  put32(image, 0x7C26, static_cast<std::uint32_t>(image.size() - tail.size()));
  std::copy(tail.begin(), tail.end(), image.end() - static_cast<std::ptrdiff_t>(tail.size()));
  EXPECT_EQ(PortImage(image).manifestText(), tail);
  // Pointer at the last byte, past the end, or zero.
  put32(image, 0x7C26, static_cast<std::uint32_t>(image.size() - 1));
  EXPECT_EQ(PortImage(image).manifestText(), "}");
  put32(image, 0x7C26, static_cast<std::uint32_t>(image.size()));
  EXPECT_EQ(PortImage(image).manifestText(), "");
  put32(image, 0x7C26, 0xFFFFFFFF);
  EXPECT_EQ(PortImage(image).manifestText(), "");
  put32(image, 0x7C26, 0);
  EXPECT_EQ(PortImage(image).manifestText(), "");
}

TEST(Manifest, ForeignImageHasNoManifest) {
  Bytes image = scratch::port(0x8000, "{\"port\":\"A\"}");
  image[0x7C00] = 0;
  PortImage port(image);
  EXPECT_EQ(port.manifestText(), "");
  EXPECT_EQ(port.portName(), "");
  EXPECT_EQ(port.layout().layoutVersion, 0);
}

TEST(Manifest, PortNameIsAPlainTextScan) {
  const std::pair<const char*, const char*> table[] = {
      {"{\"port\": \"ZV1 engine\"}", "ZV1 engine"},
      {"{\"port\"  :   \"RO1-x\", \"port\": \"second\"}", "RO1-x"},
      {"{\"spec\": \"a\", \"port\":\"\"}", ""},
      {"{\"port\": 5, \"name\": \"later\"}", "name"},  // the next quoted text
      {"{\"port\" \"no colon\"}", ""},
      {"{\"port\": \"unterminated", ""},
      {"{\"report\": \"x\"}", ""},
      {"{\"port\":", ""},
      {"not json \"port\":\"still found\"", "still found"},
  };
  for (const auto& [text, name] : table) {
    EXPECT_EQ(PortImage(scratch::port(0x8000, text)).portName(), name) << text;
  }
}

TEST(Manifest, LayoutV1ReadsTablesAndSwitches) {
  const std::string text = layoutV1("\"fonts\": 65536", "\"switches\": [0, 9, 12]");
  PortImage port(scratch::port(1 * MB, text));
  const PortLayout& l = port.layout();
  EXPECT_EQ(l.layoutVersion, 1);
  EXPECT_EQ(l.layoutName, "this ROM (layout v1)");
  EXPECT_EQ(l.fonts, 0x10000u);
  EXPECT_EQ(l.fontTable, 0u);
  EXPECT_EQ(l.switches, (std::vector<int>{0, 9, 12}));
  EXPECT_TRUE(port.supportsSwitch(9));
  EXPECT_TRUE(port.supportsSwitch(12));
  EXPECT_FALSE(port.supportsSwitch(20));
}

TEST(Manifest, EveryTableKeyLandsInItsField) {
  const std::string text = layoutV1(
      "\"fonts\": 65536, \"font_table\": 90000, \"symbols_a\": 90256, \"symbols_a_hints\": 91280, "
      "\"symbols_b\": 91408, \"symbols_b_hints\": 92432, \"splash_table\": 92560, "
      "\"splash_sound\": 92608, \"config\": 92632, \"palette_luts\": 92664, "
      "\"msu_tracks\": 93688, \"msu_loops\": 93752");
  const PortImage port(scratch::port(1 * MB, text));
  const PortLayout& l = port.layout();
  EXPECT_EQ(l.fonts, 65536u);
  EXPECT_EQ(l.fontTable, 90000u);
  EXPECT_EQ(l.symbolsA, 90256u);
  EXPECT_EQ(l.symbolsAHints, 91280u);
  EXPECT_EQ(l.symbolsB, 91408u);
  EXPECT_EQ(l.symbolsBHints, 92432u);
  EXPECT_EQ(l.splashTable, 92560u);
  EXPECT_EQ(l.splashSound, 92608u);
  EXPECT_EQ(l.config, 92632u);
  EXPECT_EQ(l.paletteLuts, 92664u);
  EXPECT_EQ(l.msuTracks, 93688u);
  EXPECT_EQ(l.msuLoops, 93752u);
  EXPECT_TRUE(l.switches.empty());
}

TEST(Manifest, LayoutVersionsOtherThanOne) {
  const std::pair<const char*, int> table[] = {
      {"2", 2},    {"255", 255}, {"0", 0},   {"256", 0}, {"-1", 0},    {"\"1\"", 0},
      {"true", 0}, {"null", 0},  {"1.9", 1}, {"2.5", 2}, {"1e300", 0},
  };
  for (const auto& [value, version] : table) {
    const std::string text = std::string("{\"tables\": {\"layout\": ") + value +
                             ", \"fonts\": 65536}, \"switches\": [9]}";
    PortImage port(scratch::port(1 * MB, text));
    const PortLayout& l = port.layout();
    EXPECT_EQ(l.layoutVersion, version) << value;
    if (version != 1) {
      EXPECT_EQ(l.layoutName, "unknown") << value;
      EXPECT_EQ(l.fonts, 0u) << value;
      EXPECT_TRUE(l.switches.empty()) << value;
      EXPECT_TRUE(port.supportsSwitch(20)) << value;
    } else {
      EXPECT_EQ(l.fonts, 65536u) << value;
    }
  }
}

TEST(Manifest, TablesMustFitBeforeTheImageEnd) {
  const std::size_t size = 0x20000;
  const auto configAt = [&](const std::string& value) {
    return PortImage(scratch::port(size, layoutV1("\"config\": " + value))).layout().config;
  };
  EXPECT_EQ(configAt(std::to_string(size - 32)), size - 32);  // exactly 32 bytes left
  EXPECT_EQ(configAt(std::to_string(size - 31)), 0u);         // one byte short
  EXPECT_EQ(configAt(std::to_string(size)), 0u);
  EXPECT_EQ(configAt("0"), 0u);
  EXPECT_EQ(configAt("-32"), 0u);
  EXPECT_EQ(configAt("1e308"), 0u);
  EXPECT_EQ(configAt("18446744073709551616"), 0u);
  EXPECT_EQ(configAt("\"4096\""), 0u);
  EXPECT_EQ(configAt("4096.75"), 4096u);
  const auto fontsAt = [&](std::size_t value) {
    return PortImage(scratch::port(size, layoutV1("\"fonts\": " + std::to_string(value))))
        .layout()
        .fonts;
  };
  EXPECT_EQ(fontsAt(size - 0x3000), size - 0x3000);
  EXPECT_EQ(fontsAt(size - 0x2FFF), 0u);
}

TEST(Manifest, SwitchListKeepsOnlyBitNumbers) {
  const std::string text = layoutV1("", "\"switches\": [31, 32, -1, \"x\", 5.7, 31, null]");
  PortImage port(scratch::port(0x20000, text));
  EXPECT_EQ(port.layout().switches, (std::vector<int>{31, 5, 31}));
  EXPECT_TRUE(port.supportsSwitch(5));
  EXPECT_FALSE(port.supportsSwitch(6));
  EXPECT_FALSE(port.supportsSwitch(32));
}

TEST(Manifest, SwitchListThatIsNotAnArrayOffersAll) {
  PortImage port(scratch::port(0x20000, layoutV1("", "\"switches\": {\"0\": 1}")));
  EXPECT_TRUE(port.layout().switches.empty());
  EXPECT_TRUE(port.supportsSwitch(17));
}

TEST(Manifest, MalformedTextsParseAsNothing) {
  const char* texts[] = {
      "{}{}",
      "{\"tables\": {\"layout\": 1, \"fonts\": 65536}} x",
      "{\"tables\": {\"layout\": 1, \"fonts\": 65536}",
      "",
      "[1, 2]",
      "\"tables\"",
  };
  for (const char* text : texts) {
    Bytes image = scratch::port(0x20000, text);
    if (std::string(text).empty()) put32(image, 0x7C26, 0x7000);  // pointer to a bare NUL
    image[0x7000 + std::string(text).size()] = 0;
    const PortImage port(image);
    const PortLayout& l = port.layout();
    EXPECT_EQ(l.layoutVersion, 0) << text;
    EXPECT_EQ(l.layoutName, "unknown") << text;
    EXPECT_EQ(l.fonts, 0u) << text;
  }
}

TEST(Manifest, OlderBuildsUseFixedPlaces) {
  const std::string text = "{\"port\": \"RO1 older engine\", \"switches\": [9]}";
  PortImage shortPort(scratch::port(0x13FFF, text));
  EXPECT_EQ(shortPort.layout().layoutVersion, 0);
  EXPECT_EQ(shortPort.layout().layoutName, "unknown");
  EXPECT_EQ(shortPort.layout().fonts, 0u);
  EXPECT_TRUE(shortPort.supportsSwitch(20));

  PortImage exact(scratch::port(0x14000, text));
  const PortLayout& e = exact.layout();
  EXPECT_EQ(e.layoutVersion, 1);
  EXPECT_EQ(e.layoutName, "RO1 (older build: layout v1 assumed)");
  EXPECT_EQ(e.fonts, 0x10000u);
  EXPECT_EQ(e.fontTable, 0x12800u);
  EXPECT_EQ(e.symbolsA, 0x12900u);
  EXPECT_EQ(e.symbolsAHints, 0x12D00u);
  EXPECT_EQ(e.symbolsB, 0x12400u);
  EXPECT_EQ(e.symbolsBHints, 0x12D80u);
  EXPECT_EQ(e.splashTable, 0x12E00u);
  EXPECT_EQ(e.splashSound, 0x12E60u);
  EXPECT_EQ(e.config, 0x13B00u);
  EXPECT_EQ(e.paletteLuts, 0x13C00u);
  EXPECT_EQ(e.msuTracks, 0u);
  EXPECT_EQ(e.switches, std::vector<int>{9});
  EXPECT_FALSE(exact.supportsSwitch(20));

  EXPECT_EQ(PortImage(scratch::port(0x57E7F, text)).layout().msuTracks, 0u);
  const PortImage bigPort(scratch::port(0x57E80, text));
  const PortLayout& big = bigPort.layout();
  EXPECT_EQ(big.msuTracks, 0x57E00u);
  EXPECT_EQ(big.msuLoops, 0x57E40u);
  const PortImage largePort(scratch::port(0x60000, text));
  const PortLayout& large = largePort.layout();
  EXPECT_EQ(large.layoutVersion, 1);
  EXPECT_EQ(large.msuLoops, 0x57E40u);

  // Another engine name without "tables" stays unknown.
  EXPECT_EQ(PortImage(scratch::port(0x60000, "{\"port\": \"ZV1\"}")).layout().layoutVersion, 0);
  EXPECT_EQ(PortImage(scratch::port(0x60000, "{\"port\": \"xRO1\"}")).layout().layoutVersion, 0);
}

TEST(Manifest, LayoutIsParsedOnceAndTravelsWithCopies) {
  PortImage port(scratch::port(1 * MB, layoutV1("\"fonts\": 65536")));
  EXPECT_EQ(port.layout().fonts, 0x10000u);
  port.bytes()[0x7000] = '!';  // break the text: the cached layout stays
  EXPECT_EQ(port.layout().fonts, 0x10000u);
  PortImage copy = port;
  EXPECT_EQ(copy.layout().fonts, 0x10000u);
  EXPECT_EQ(PortImage(port.bytes()).layout().fonts, 0u);
}

TEST(Switches, TableRowsInDisplayOrder) {
  const std::vector<SwitchInfo>& table = switchTable();
  ASSERT_EQ(table.size(), 18u);
  const int bits[] = {9, 20, 29, 21, 24, 25, 26, 30, 31, 27, 19, 11, 1, 8, 10, 14, 12, 0};
  const char* keys[] = {
      "soft_reset",   "freeze",    "speed_control",    "save_combo",         "splash1",
      "splash2",      "splash3",   "debug_easter_egg", "symbol_viewer",      "library",
      "sprite_limit", "tile_4bpp", "pal_authentic",    "deterministic_boot", "silence",
      "diag_overlay", "msu1",      "fastrom"};
  const char* groups[] = {"Controls", "Controls", "Controls", "Controls", "Splash",   "Splash",
                          "Splash",   "Extras",   "Extras",   "Extras",   "Accuracy", "Accuracy",
                          "Accuracy", "Accuracy", "Accuracy", "Extras",   "Extras",   "System"};
  std::set<int> seen;
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].bit, bits[i]) << i;
    EXPECT_STREQ(table[i].key, keys[i]) << i;
    EXPECT_STREQ(table[i].group, groups[i]) << i;
    seen.insert(table[i].bit);
  }
  EXPECT_EQ(seen.size(), 18u);
  EXPECT_STREQ(table[0].label, "Soft reset (L+R+Select+Start)");
  EXPECT_STREQ(table[2].tooltip,
               "L+R+Start+X = faster, +Y = slower: 1/10, 1/4, 1/2, 3/4, 1x, 1.5x, 2x, MAX.");
  EXPECT_STREQ(table[3].tooltip,
               "Save the game's progress with L+R+X and load it with L+R+Y (not a save state). It "
               "goes into the cartridge's battery save: the .srm file your emulator or FXPak Pro "
               "keeps for the ROM (FXPak: /sd2snes/saves/). Copy the .srm to back up or move "
               "saves.");
  EXPECT_STREQ(table[5].label, "Splash 2 (TEAM BEXULO banner)");
  EXPECT_STREQ(table[16].tooltip,
               "Plays the songs you add on the Music tab through MSU-1 (FXPak Pro, bsnes, snes9x). "
               "Without MSU-1 the NES music plays.");
  EXPECT_STREQ(table[17].label, "FastROM");
  EXPECT_STREQ(table[17].tooltip, "3.58 MHz ROM access (needs 120 ns ROM; every flash cart is).");
}

// A plain LoROM port with map mode byte `mapMode` and cartridge type 0x02.
PortImage loRomPort(std::uint8_t mapMode) {
  Bytes image = scratch::port(0x20000);
  image[0x7FD5] = mapMode;
  image[0x7FD6] = 0x02;
  return PortImage(image);
}

TEST(Switches, SetAndClearKeepOtherBits) {
  PortImage port = loRomPort(0x20);
  put32(port.bytes(), 0x7C14, 0x10FC6004);  // untouched bits 2, 13, 14, 28 and more
  port.setSwitch(9, true);
  EXPECT_EQ(port.flags(), 0x10FC6204u);
  port.setSwitch(14, false);
  EXPECT_EQ(port.flags(), 0x10FC2204u);
  port.setSwitch(31, true);
  EXPECT_EQ(port.flags(), 0x90FC2204u);
  port.setSwitch(41, false);  // bit 41 is bit 9
  EXPECT_EQ(port.flags(), 0x90FC2004u);
  EXPECT_EQ(port.bytes()[0x7FD5], 0x20);  // only bit 0 touches the header
}

TEST(Switches, FastRomMovesThePlainLoRomHeaderBit) {
  PortImage plain = loRomPort(0x20);
  plain.setSwitch(0, true);
  EXPECT_EQ(plain.flags() & 1, 1u);
  EXPECT_EQ(plain.bytes()[0x7FD5], 0x30);
  plain.setSwitch(0, false);
  EXPECT_EQ(plain.bytes()[0x7FD5], 0x20);

  PortImage exHi = loRomPort(0x35);
  exHi.setSwitch(0, true);
  EXPECT_EQ(exHi.flags() & 1, 1u);
  EXPECT_EQ(exHi.bytes()[0x7FD5], 0x35);
  exHi.setSwitch(0, false);
  EXPECT_EQ(exHi.bytes()[0x7FD5], 0x35);
}

TEST(Switches, FastRomIsRefusedUnderACoprocessor) {
  for (const auto& [mapMode, cartType] : {std::pair{0x20, 0x15}, std::pair{0x23, 0x32}}) {
    PortImage port = loRomPort(static_cast<std::uint8_t>(mapMode));
    port.bytes()[0x7FD6] = static_cast<std::uint8_t>(cartType);
    const Bytes before = port.bytes();
    try {
      port.setSwitch(0, true);
      ADD_FAILURE() << "FastROM was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "FastROM can't be on with a SuperFX chip (SlowROM boards)");
    }
    EXPECT_EQ(port.bytes(), before);
    port.setSwitch(0, false);  // turning it off is always allowed and leaves the board alone
    EXPECT_EQ(port.bytes()[0x7FD5], mapMode);
  }
}

TEST(Switches, ShortImagesReadZeroAndRefuseWrites) {
  PortImage tiny(Bytes(0x7C17, 0xAA));
  EXPECT_EQ(tiny.flags(), 0u);
  EXPECT_EQ(tiny.paletteSlot(), 0);
  const Bytes before = tiny.bytes();
  EXPECT_THROW(tiny.setSwitch(9, true), std::out_of_range);
  EXPECT_THROW(tiny.setPaletteSlot(3), std::out_of_range);
  EXPECT_EQ(tiny.bytes(), before);
  PortImage exact(Bytes(0x7C18, 0x00));
  exact.setSwitch(0, true);  // no header to follow below 0x8000 bytes
  EXPECT_EQ(exact.flags(), 1u);
}

TEST(Switches, PaletteSlotLivesInBits15To17) {
  PortImage port = loRomPort(0x20);
  put32(port.bytes(), 0x7C14, 0xFFFFFFFF);
  EXPECT_EQ(port.paletteSlot(), 7);
  port.setPaletteSlot(2);
  EXPECT_EQ(port.flags(), 0xFFFD7FFFu);
  EXPECT_EQ(port.paletteSlot(), 2);
  port.setPaletteSlot(9);  // 9 & 7
  EXPECT_EQ(port.paletteSlot(), 1);
  EXPECT_EQ(get32(port.bytes(), 0x7C14), 0xFFFCFFFFu);
}

TEST(Switches, ButtonMapBytes) {
  PortImage port = loRomPort(0x20);
  for (int i = 0; i < 12; ++i) port.setButtonAction(i, static_cast<std::uint8_t>(i * 3));
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(port.buttonAction(i), i * 3);
    EXPECT_EQ(port.bytes()[0x7C08 + static_cast<std::size_t>(i)], i * 3);
  }
  EXPECT_EQ(port.bytes()[0x7C14], 0x00);  // the switch word right after is untouched
  EXPECT_THROW(port.buttonAction(12), std::out_of_range);
  EXPECT_THROW(port.buttonAction(-1), std::out_of_range);
  EXPECT_THROW(port.setButtonAction(12, 0), std::out_of_range);
  EXPECT_THROW(PortImage(Bytes(0x7C10, 0)).buttonAction(8), std::out_of_range);
  EXPECT_EQ(PortImage(Bytes(0x7C10, 4)).buttonAction(7), 4);
}

}  // namespace
}  // namespace tbp
