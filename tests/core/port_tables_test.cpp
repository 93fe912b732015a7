#include <gtest/gtest.h>
#include <stdexcept>

#include "port/port_image.h"
#include "port_scratch.h"

namespace tbp {
namespace {

constexpr std::size_t fontsAt = 0x10000;
constexpr std::size_t fontTableAt = 0x13000;
constexpr std::size_t symbolsAAt = 0x13100;
constexpr std::size_t hintsAAt = 0x13500;
constexpr std::size_t symbolsBAt = 0x13580;
constexpr std::size_t hintsBAt = 0x13980;
constexpr std::size_t splashAt = 0x13A00;
constexpr std::size_t tracksAt = 0x13A20;
constexpr std::size_t loopsAt = 0x13A60;

const char* const songsJson =
    "\"msu1\": {\"songs\": {\"1F\": \"Ending\", \"0x20\": \"Game Over\", \"40\": \"Too far\", "
    "\"zz\": \"Not hex\", \" 0x3f\": 7, \"02\": \"Overworld\", \"03junk\": \"Cave\"}}";

std::string tableMembers(bool pageB, bool msu) {
  std::string members = "\"fonts\": " + std::to_string(fontsAt) +
                        ", \"font_table\": " + std::to_string(fontTableAt) +
                        ", \"symbols_a\": " + std::to_string(symbolsAAt) +
                        ", \"symbols_a_hints\": " + std::to_string(hintsAAt) +
                        ", \"splash_sound\": " + std::to_string(splashAt);
  if (pageB) {
    members += ", \"symbols_b\": " + std::to_string(symbolsBAt) +
               ", \"symbols_b_hints\": " + std::to_string(hintsBAt);
  }
  if (msu) {
    members += ", \"msu_tracks\": " + std::to_string(tracksAt) +
               ", \"msu_loops\": " + std::to_string(loopsAt);
  }
  return members;
}

void putName(Bytes& image, int font, const std::string& name) {
  const std::size_t entry = fontTableAt + static_cast<std::size_t>(font) * 16;
  for (std::size_t i = 0; i < 12; ++i) {
    image[entry + i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : ' ';
  }
}

// A port with `fonts` named fonts whose glyph g of font f is filled with f * 16 + g % 16, two
// symbol pages with hint bytes i, three splash slots and the MSU-1 tables.
Bytes tablesImage(int fonts = 3, bool pageB = true, bool msu = true) {
  Bytes image = scratch::port(0x40000, scratch::layoutV1(tableMembers(pageB, msu), songsJson));
  for (int f = 0; f < fonts; ++f) {
    putName(image, f, "Font " + std::string(1, static_cast<char>('A' + f)));
    for (std::size_t g = 0; g < 96; ++g) {
      std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(fontsAt + f * 768 + g * 8), 8,
                  static_cast<std::uint8_t>(f * 16 + g % 16));
    }
  }
  if (fonts < 16) image[fontTableAt + static_cast<std::size_t>(fonts) * 16] = 0x00;
  for (std::size_t i = 0; i < 128; ++i) {
    image[hintsAAt + i] = static_cast<std::uint8_t>(i);
    image[hintsBAt + i] = static_cast<std::uint8_t>(255 - i);
    image[symbolsAAt + i * 8] = static_cast<std::uint8_t>(i);
  }
  const std::uint8_t splash[24] = {0x00, 0x00, 0x01, 0x10, 0x00, 0x40, 0, 0,   // present
                                   0xFF, 0xFF, 0xFF, 0x10, 0x00, 0x40, 0, 0,   // all 0xFF: absent
                                   0x00, 0x00, 0x00, 0x10, 0x00, 0x40, 0, 0};  // all 0x00: absent
  std::copy(std::begin(splash), std::end(splash), image.begin() + splashAt);
  for (std::size_t i = 0; i < 64; ++i) {
    image[tracksAt + i] = 0xFE;
    image[loopsAt + i] = 0x00;
  }
  image[tracksAt + 0x00] = 0xFF;  // an effect
  image[tracksAt + 0x02] = 0x02;
  image[loopsAt + 0x02] = 0x03;
  return image;
}

TEST(Fonts, CountNamesAndEndMarkers) {
  PortImage port(tablesImage(3));
  EXPECT_TRUE(port.hasFonts());
  EXPECT_EQ(port.fontCount(), 3);
  EXPECT_EQ(port.fontName(0), "Font A");
  EXPECT_EQ(port.fontName(2), "Font C");
  EXPECT_EQ(port.fontName(-1), "");
  EXPECT_EQ(port.fontName(16), "");

  Bytes twoFonts = tablesImage(3);
  twoFonts[fontTableAt + 2 * 16] = 0x00;  // third entry begins with 0x00
  EXPECT_EQ(PortImage(twoFonts).fontCount(), 2);
  twoFonts[fontTableAt + 2 * 16] = 0xFF;
  EXPECT_EQ(PortImage(twoFonts).fontCount(), 2);

  Bytes sixteen = tablesImage(16);
  EXPECT_EQ(PortImage(sixteen).fontCount(), 16);

  Bytes badName = tablesImage(3);
  badName[fontTableAt + 5] = 0x7F;
  PortImage bad(badName);
  EXPECT_FALSE(bad.hasFonts());
  EXPECT_EQ(bad.fontCount(), 0);
  EXPECT_THROW(bad.glyphOffset(0, 0), std::out_of_range);
}

TEST(Fonts, NamesKeepInnerSpacesOnly) {
  Bytes image = tablesImage(2);
  putName(image, 1, "  Two  words");
  EXPECT_EQ(PortImage(image).fontName(1), "  Two  words");
  putName(image, 1, "");
  image[fontTableAt + 16] = 'x';
  EXPECT_EQ(PortImage(image).fontName(1), "x");
}

TEST(Fonts, GlyphOffsetsAndTheirErrors) {
  PortImage port(tablesImage(3));
  EXPECT_EQ(port.glyphOffset(0, 0), fontsAt);
  EXPECT_EQ(port.glyphOffset(2, 95), fontsAt + 2 * 768 + 95 * 8);
  EXPECT_EQ(port.glyphOffset(symbolPageA, 127), symbolsAAt + 127 * 8);
  EXPECT_EQ(port.glyphOffset(symbolPageB, 0), symbolsBAt);

  const auto errorOf = [&](int font, int glyph) -> std::string {
    try {
      port.glyphOffset(font, glyph);
    } catch (const std::out_of_range& e) {
      return std::string("range: ") + e.what();
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "none";
  };
  EXPECT_EQ(errorOf(symbolPageA, 128), "range: glyph index");
  EXPECT_EQ(errorOf(symbolPageA, -1), "range: glyph index");
  EXPECT_EQ(errorOf(0, 96), "range: glyph index");
  EXPECT_EQ(errorOf(0, -1), "range: glyph index");
  EXPECT_EQ(errorOf(3, 0), "range: font id");
  EXPECT_EQ(errorOf(-1, 0), "range: font id");
  EXPECT_EQ(errorOf(999, 0), "range: font id");

  PortImage noB(tablesImage(3, false));
  EXPECT_THROW(noB.glyphOffset(symbolPageB, 0), std::runtime_error);
  try {
    noB.glyphOffset(symbolPageB, 0);
  } catch (const std::out_of_range&) {
    ADD_FAILURE() << "a missing page is no range error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "this port has no symbol page B");
  }
  Bytes noPages = scratch::port(0x40000, scratch::layoutV1(""));
  try {
    PortImage(noPages).glyph(symbolPageA, 3);
    ADD_FAILURE() << "page A accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "this port has no symbol page A");
  }
}

TEST(Fonts, GlyphsReadAndWrite) {
  PortImage port(tablesImage(3));
  EXPECT_EQ(port.glyph(1, 17), Bytes(8, 0x11));
  EXPECT_EQ(port.glyph(symbolPageA, 5), (Bytes{5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  const Bytes letter = {0x18, 0x24, 0x42, 0x7E, 0x42, 0x42, 0x42, 0x00};
  port.setGlyph(2, 33, letter);
  EXPECT_EQ(port.glyph(2, 33), letter);
  EXPECT_EQ(port.glyph(2, 32), Bytes(8, 0x20));  // neighbours untouched
  EXPECT_EQ(port.glyph(2, 34), Bytes(8, 0x22));
  port.setGlyph(2, 33, Bytes{1, 2, 3});  // fewer than 8 rows: the rest stays
  EXPECT_EQ(port.glyph(2, 33), (Bytes{1, 2, 3, 0x7E, 0x42, 0x42, 0x42, 0x00}));
  port.setGlyph(symbolPageB, 127, Bytes(12, 0x81));  // at most 8 rows are written
  EXPECT_EQ(port.glyph(symbolPageB, 127), Bytes(8, 0x81));
  EXPECT_EQ(port.bytes()[symbolsBAt + 1024], 0xFF);
  const Bytes before = port.bytes();
  EXPECT_THROW(port.setGlyph(3, 0, letter), std::out_of_range);
  EXPECT_THROW(port.setGlyph(0, 96, letter), std::out_of_range);
  EXPECT_EQ(port.bytes(), before);
  EXPECT_EQ(glyphsPerFont(symbolPageA), 128);
  EXPECT_EQ(glyphsPerFont(symbolPageB), 128);
  EXPECT_EQ(glyphsPerFont(0), 96);
  EXPECT_EQ(glyphsPerFont(15), 96);
  EXPECT_EQ(glyphsPerFont(1002), 96);
}

TEST(Symbols, HintsAreThreeBits) {
  PortImage port(tablesImage());
  EXPECT_EQ(port.symbolHint(symbolPageA, 13), 5);
  EXPECT_EQ(port.symbolHint(symbolPageB, 0), 7);  // 255 & 7
  EXPECT_EQ(port.symbolHint(0, 13), 0);
  EXPECT_EQ(port.symbolHint(symbolPageA, 128), 0);
  EXPECT_EQ(port.symbolHint(symbolPageA, -1), 0);
  port.setSymbolHint(symbolPageA, 4, 13);
  EXPECT_EQ(port.bytes()[hintsAAt + 4], 5);  // the whole byte is replaced
  port.setSymbolHint(symbolPageB, 3, 2);
  EXPECT_EQ(port.bytes()[hintsBAt + 3], 2);
  const Bytes before = port.bytes();
  port.setSymbolHint(symbolPageA, 128, 1);  // would land in the next table
  port.setSymbolHint(7, 0, 1);
  EXPECT_EQ(port.bytes(), before);
  PortImage noB(tablesImage(3, false));
  EXPECT_EQ(noB.symbolHint(symbolPageB, 1), 0);
  const Bytes noBBefore = noB.bytes();
  noB.setSymbolHint(symbolPageB, 1, 3);
  EXPECT_EQ(noB.bytes(), noBBefore);
}

TEST(SplashSounds, PresenceAndClearing) {
  PortImage port(tablesImage());
  EXPECT_TRUE(port.hasSplashSounds());
  EXPECT_TRUE(port.splashSoundPresent(0));   // 00 00 01
  EXPECT_FALSE(port.splashSoundPresent(1));  // FF FF FF
  EXPECT_FALSE(port.splashSoundPresent(2));  // 00 00 00
  EXPECT_FALSE(port.splashSoundPresent(3));
  EXPECT_FALSE(port.splashSoundPresent(-1));
  port.clearSplashSound(0);
  EXPECT_FALSE(port.splashSoundPresent(0));
  EXPECT_EQ(Bytes(port.bytes().begin() + splashAt, port.bytes().begin() + splashAt + 8),
            Bytes(8, 0x00));
  EXPECT_EQ(port.bytes()[splashAt + 8], 0xFF);  // slot 2 untouched
  for (const int slot : {-1, 3}) {
    try {
      port.clearSplashSound(slot);
      ADD_FAILURE() << slot;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "splash sound slot must be 1-3");
    }
  }
  PortImage none(scratch::port(0x40000, scratch::layoutV1("")));
  EXPECT_FALSE(none.hasSplashSounds());
  EXPECT_FALSE(none.splashSoundPresent(0));
  const Bytes before = none.bytes();
  none.clearSplashSound(1);
  EXPECT_EQ(none.bytes(), before);
  EXPECT_THROW(none.clearSplashSound(5), std::runtime_error);
}

TEST(Msu1, TracksAndLoops) {
  PortImage port(tablesImage());
  ASSERT_TRUE(port.hasMsu1());
  EXPECT_EQ(port.msuTrack(0), -1);  // an effect
  EXPECT_EQ(port.msuTrack(1), -1);  // keeps the NES song
  EXPECT_EQ(port.msuTrack(2), 2);
  EXPECT_TRUE(port.msuLoop(2));
  EXPECT_FALSE(port.msuLoop(3));
  port.setMsuTrack(0, 5);
  EXPECT_EQ(port.bytes()[tracksAt], 0xFF);  // effects cannot be mapped
  port.setMsuTrack(1, 5);
  EXPECT_EQ(port.bytes()[tracksAt + 1], 5);
  port.setMsuTrack(1, -1);
  EXPECT_EQ(port.bytes()[tracksAt + 1], 0xFE);
  port.setMsuTrack(1, 253);
  EXPECT_EQ(port.msuTrack(1), 253);
  port.setMsuTrack(1, 254);  // would turn into a marker: ignored
  port.setMsuTrack(1, 255);
  EXPECT_EQ(port.msuTrack(1), 253);
  port.setMsuLoop(63, true);
  EXPECT_EQ(port.bytes()[loopsAt + 63], 1);
  port.setMsuLoop(2, false);
  EXPECT_EQ(port.bytes()[loopsAt + 2], 0);
  const Bytes before = port.bytes();
  port.setMsuTrack(64, 1);
  port.setMsuTrack(-1, 1);
  port.setMsuLoop(64, true);
  EXPECT_EQ(port.bytes(), before);
  EXPECT_EQ(port.msuTrack(64), -1);
  EXPECT_FALSE(port.msuLoop(-1));
}

TEST(Msu1, NeedsBothTablesAndTheManifestKey) {
  PortImage noTables(tablesImage(3, true, false));
  EXPECT_FALSE(noTables.hasMsu1());
  EXPECT_TRUE(noTables.msuSongs().empty());
  Bytes noKey = scratch::port(0x40000, scratch::layoutV1(tableMembers(true, true)));
  PortImage keyless(noKey);
  EXPECT_EQ(keyless.layout().msuTracks, tracksAt);
  EXPECT_FALSE(keyless.hasMsu1());
  EXPECT_EQ(keyless.msuTrack(2), -1);
  const Bytes before = keyless.bytes();
  keyless.setMsuTrack(2, 4);
  keyless.setMsuLoop(2, true);
  EXPECT_EQ(keyless.bytes(), before);
}

TEST(Msu1, SongsInKeyOrder) {
  const std::vector<MsuSong> songs = PortImage(tablesImage()).msuSongs();
  // Key order: " 0x3f", "02", "03junk", "0x20", "1F" ("40" is 64, "zz" no number).
  ASSERT_EQ(songs.size(), 5u);
  const std::pair<int, const char*> expected[] = {
      {0x3F, ""}, {0x02, "Overworld"}, {0x03, "Cave"}, {0x20, "Game Over"}, {0x1F, "Ending"}};
  for (std::size_t i = 0; i < songs.size(); ++i) {
    EXPECT_EQ(songs[i].index, expected[i].first) << i;
    EXPECT_EQ(songs[i].name, expected[i].second) << i;
  }
}

TEST(Msu1, SongKeyOrderComparesBytesUnsigned) {
  // "05\u00e9" is 0x30 0x35 0xC3 0xA9: byte-wise it sorts after "05z" and "05~".
  const std::string members =
      "\"msu1\": {\"songs\": {\"05\u00e9\": \"high\", \"05~\": \"tilde\", \"06\": \"six\", "
      "\"05z\": \"zed\"}}";
  Bytes image = scratch::port(0x40000, scratch::layoutV1(tableMembers(true, true), members));
  const std::vector<MsuSong> songs = PortImage(image).msuSongs();
  ASSERT_EQ(songs.size(), 4u);
  EXPECT_EQ(songs[0].name, "zed");
  EXPECT_EQ(songs[1].name, "tilde");
  EXPECT_EQ(songs[2].name, "high");
  EXPECT_EQ(songs[3].name, "six");
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(songs[i].index, 5);
}

TEST(Msu1, SongKeysThatAreNoSongs) {
  const std::string members =
      "\"msu1\": {\"songs\": {\"0x\": \"zero\", \"00000000000000000000000000001\": \"long\", "
      "\"FFFFFFFFFFFFFFFFFFFFFFFF\": \"huge\", \"-1\": \"neg\", \"\": \"empty\", \"x1\": \"x\"}}";
  Bytes image = scratch::port(0x40000, scratch::layoutV1(tableMembers(true, true), members));
  const std::vector<MsuSong> songs = PortImage(image).msuSongs();
  ASSERT_EQ(songs.size(), 2u);
  EXPECT_EQ(songs[0].index, 0x01);  // leading zeros
  EXPECT_EQ(songs[0].name, "long");
  EXPECT_EQ(songs[1].index, 0x00);  // "0x": the 0 before the x
  EXPECT_EQ(songs[1].name, "zero");
}

TEST(Msu1, BrokenManifestGivesNoSongs) {
  Bytes image = tablesImage();
  PortImage port(image);
  ASSERT_TRUE(port.hasMsu1());  // layout cached from the good text
  const std::string text = port.manifestText();
  port.bytes()[scratch::manifestAt + text.size() - 1] = ',';  // drop the closing brace
  EXPECT_TRUE(port.msuSongs().empty());
}

TEST(Tables, PortWithoutLayoutLacksEveryFeature) {
  PortImage port(scratch::port(0x40000, "{\"port\": \"ZV9\"}"));
  EXPECT_FALSE(port.hasFonts());
  EXPECT_EQ(port.fontCount(), 0);
  EXPECT_EQ(port.fontName(0), "");
  EXPECT_FALSE(port.hasSplashSounds());
  EXPECT_FALSE(port.hasMsu1());
  EXPECT_FALSE(port.hasConfig());
  EXPECT_TRUE(port.msuSongs().empty());
  EXPECT_EQ(port.symbolHint(symbolPageA, 0), 0);
  EXPECT_THROW(port.glyph(0, 0), std::out_of_range);
}

}  // namespace
}  // namespace tbp
