// The settings document: read from a port, written, read back and applied to a fresh port.
#include "build/port_settings.h"

#include <gtest/gtest.h>

#include "port/button_map.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

using tbp::Bytes;
using tbp::PortImage;
using tbp::PortSettings;

namespace {

constexpr int kMsuBit = 12;

PortImage freshPort(const tbp::testkit::PortOptions& options = {}) {
  return PortImage(tbp::testkit::makePortImage(tbp::testkit::makeNesRom(), options));
}

// A port changed on every page the way a user changes it.
PortImage configured() {
  PortImage port = freshPort();
  port.setSwitch(20, true);  // freeze
  port.setSwitch(9, false);  // soft reset
  port.setPaletteSlot(5);
  for (int button = 0; button < tbp::snesButtonCount; ++button)
    port.setButtonAction(button, tbp::buttonPresets()[3].map[std::size_t(button)]);
  port.setButtonAction(10, 12);  // a byte that names no action is kept as it is
  port.setTurboCycle(7);
  port.setChordHold(90);
  port.clearSplashSound(1);
  port.setGlyph(0, 33, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
  port.setGlyph(tbp::symbolPageB, 127, Bytes{0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0});
  port.setSymbolHint(tbp::symbolPageA, 4, 6);
  port.setMsuTrack(0x0A, 0x0A);
  port.setMsuLoop(0x0A, false);
  port.setSwitch(kMsuBit, true);
  return port;
}

std::string fault(const std::string& json) {
  try {
    tbp::parseSettingsJson(json);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "accepted";
}

}  // namespace

TEST(PortSettings, ExportedFromAConfiguredPortGivesTheSameBytesOnAFreshPort) {
  const PortImage original = freshPort();
  const PortImage port = configured();
  const std::string json = tbp::writeSettingsJson(tbp::readPortSettings(port, &original));
  PortImage fresh = original;
  EXPECT_TRUE(tbp::applyPortSettings(fresh, tbp::parseSettingsJson(json)).empty());
  EXPECT_TRUE(fresh.bytes() == port.bytes());
  // Without the original every glyph and hint is listed, and the result is the same.
  PortImage again = original;
  const PortSettings all = tbp::readPortSettings(port, nullptr);
  EXPECT_TRUE(tbp::applyPortSettings(again, tbp::parseSettingsJson(tbp::writeSettingsJson(all)))
                  .empty());
  EXPECT_TRUE(again.bytes() == port.bytes());
}

TEST(PortSettings, ListsOnlyWhatDiffersFromThePortsOwn) {
  const PortImage original = freshPort();
  const PortSettings settings = tbp::readPortSettings(configured(), &original);
  ASSERT_EQ(settings.glyphs.size(), 2u);
  EXPECT_EQ(settings.glyphs[0].font, 0);
  EXPECT_EQ(settings.glyphs[0].glyph, 33);
  EXPECT_EQ(settings.glyphs[1].font, tbp::symbolPageB);
  ASSERT_EQ(settings.hints.size(), 1u);
  EXPECT_EQ(settings.hints[0].hint, 6);
  EXPECT_EQ(settings.splashSoundsRemoved, std::vector<int>{2});
  ASSERT_EQ(settings.msu.size(), 1u);
  EXPECT_EQ(settings.msu[0].song, 0x0A);
  EXPECT_FALSE(settings.msu[0].loop);
  // Four fonts of 96 glyphs and two symbol pages of 128 without the original.
  EXPECT_EQ(tbp::readPortSettings(configured(), nullptr).glyphs.size(), 4u * 96 + 2 * 128);
  EXPECT_TRUE(tbp::readPortSettings(original, &original).glyphs.empty());
}

TEST(PortSettings, AnotherGamesPortTakesWhatItSupportsAndListsTheRest) {
  const PortImage original = freshPort();
  const PortSettings settings = tbp::readPortSettings(configured(), &original);
  tbp::testkit::PortOptions bare;
  bare.config = false;
  bare.symbolPageB = false;
  bare.splashSounds = false;
  bare.msu1 = false;
  bare.offeredSwitches = {0, 9, 19, 24, 25};
  PortImage other = freshPort(bare);
  const std::vector<std::string> skipped = tbp::applyPortSettings(other, settings);
  const auto mentions = [&](const std::string& text) {
    for (const std::string& line : skipped)
      if (line.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(mentions("switch freeze"));
  EXPECT_TRUE(mentions("turbo and chord"));
  EXPECT_TRUE(mentions("splash sound 2"));
  EXPECT_TRUE(mentions("glyph 127 of symbols B"));
  EXPECT_TRUE(mentions("MSU-1 song 10"));
  EXPECT_FALSE(mentions("soft_reset"));
  // What it does offer is applied.
  EXPECT_EQ(other.paletteSlot(), 5);
  EXPECT_FALSE(other.flags() >> 9 & 1u);
  EXPECT_EQ(other.buttonAction(11), 255);
  EXPECT_TRUE(other.glyph(0, 33) == (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(PortSettings, FileChoicesSurviveTheRoundTrip) {
  PortSettings settings;
  settings.size = tbp::RomSizeChoice::TwoMegabytes;
  settings.chip = 4;
  settings.gameGenieCodes = {"SXIOPO", "AAEAULPA"};
  settings.msu = {{3, "music/title.flac", true, 1.25}, {5, "", false, 0}};
  const PortSettings back = tbp::parseSettingsJson(tbp::writeSettingsJson(settings));
  EXPECT_EQ(back.size, tbp::RomSizeChoice::TwoMegabytes);
  EXPECT_EQ(back.chip, 4);
  EXPECT_EQ(back.gameGenieCodes, settings.gameGenieCodes);
  ASSERT_EQ(back.msu.size(), 2u);
  EXPECT_EQ(back.msu[0].file, "music/title.flac");
  EXPECT_DOUBLE_EQ(back.msu[0].loopStart, 1.25);
  EXPECT_TRUE(back.msu[1].file.empty());
}

TEST(PortSettings, RefusesUnknownKeysAndBadValuesNamingThem) {
  const std::string head = R"({"version": 1, )";
  const struct {
    std::string json;
    std::string message;
  } cases[] = {
      {head + R"("colour": 1})", "settings: unknown key 'colour'"},
      {head + R"("switches": {"turbo_mode": true}})", "unknown key 'switches.turbo_mode'"},
      {head + R"("buttons": {"Z": "NES A"}})", "unknown key 'buttons.Z'"},
      {head + R"("buttons": {"A": "Jump"}})", "buttons.A has no action 'Jump'"},
      {head + R"("glyphs": [{"font": "font 0", "glyph": 1, "rows": "00", "x": 1}]})",
       "unknown key 'glyphs[0].x'"},
      {head + R"("glyphs": [{"font": "font 0", "glyph": 1, "rows": "0011"}]})",
       "glyphs[0].rows must be 16 hexadecimal digits"},
      {head + R"("msu1": [{"song": 3, "loop": true, "volume": 2}]})",
       "unknown key 'msu1[0].volume'"},
      {head + R"("turbo": 61})", "turbo must be a whole number from 2 to 60"},
      {head + R"("palette": 2.5})", "palette must be a whole number from 0 to 7"},
      {head + R"("chip": "dsp"})", "chip has no choice 'dsp'"},
      {R"({"version": 2})", "not a version 1 settings document"},
      {R"({"palette": 1})", "not a version 1 settings document"},
      {R"([1])", "must be an object"},
  };
  for (const auto& [json, message] : cases)
    EXPECT_NE(fault(json).find(message), std::string::npos) << json << " gave " << fault(json);
}
