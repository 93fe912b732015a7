#include "port/game_genie.h"

#include <cstdio>
#include <gtest/gtest.h>

#include "formats/checksums.h"
#include "port_scratch.h"
#include "support/game_genie_encoder.h"

namespace tbp {
namespace {

constexpr std::size_t bank = 16384;

TEST(GameGenieDecode, KnownAnswers) {
  struct Row {
    const char* text;
    const char* code;
    unsigned address;
    unsigned value;
    int compare;
  };
  const Row table[] = {
      {"SXIOPO", "SXIOPO", 0x91D9, 0xAD, -1},       {"sxio-po", "SXIOPO", 0x91D9, 0xAD, -1},
      {" Sx-Io-Po ", "SXIOPO", 0x91D9, 0xAD, -1},   {"SXIOPOAP", "SXIOPOAP", 0x91D9, 0xA5, 0x18},
      {"AAAAAA", "AAAAAA", 0x8000, 0x00, -1},       {"NNNNNNNN", "NNNNNNNN", 0xFFFF, 0xFF, 0xFF},
      {"AAAAAAAA", "AAAAAAAA", 0x8000, 0x00, 0x00},
  };
  for (const Row& row : table) {
    const GameGenieCode c = decodeGameGenie(row.text);
    EXPECT_TRUE(c.ok) << row.text;
    EXPECT_EQ(c.error, "");
    EXPECT_EQ(c.code, row.code);
    EXPECT_EQ(c.address, row.address) << row.text;
    EXPECT_EQ(c.value, row.value) << row.text;
    EXPECT_EQ(c.compare, row.compare) << row.text;
  }
}

TEST(GameGenieDecode, EncodedFieldsRoundTrip) {
  for (unsigned address = 0x8000; address <= 0xFFFF; address += 0x0FED) {
    for (const unsigned value : {0x00u, 0x5Au, 0xA5u, 0xFFu}) {
      for (const int compare : {-1, 0x00, 0x3C, 0xFF}) {
        const GameGenieCode c = decodeGameGenie(testkit::encodeGameGenie(address, value, compare));
        ASSERT_TRUE(c.ok);
        EXPECT_EQ(c.address, address);
        EXPECT_EQ(c.value, value);
        EXPECT_EQ(c.compare, compare);
      }
    }
  }
}

TEST(GameGenieDecode, Errors) {
  const std::pair<const char*, const char*> table[] = {
      {"SXIOPOA", "a Game Genie code has 6 or 8 letters"},
      {"SXIO", "a Game Genie code has 6 or 8 letters"},
      {"", "a Game Genie code has 6 or 8 letters"},
      {"SXIOPOAPZ", "a Game Genie code has 6 or 8 letters"},
      {"SXIOPB", "not a Game Genie letter: B"},
      {"sxiopb", "not a Game Genie letter: B"},
      {"1XIOPO", "not a Game Genie letter: 1"},
  };
  for (const auto& [text, error] : table) {
    const GameGenieCode c = decodeGameGenie(text);
    EXPECT_FALSE(c.ok) << text;
    EXPECT_EQ(c.error, error) << text;
  }
}

TEST(GameGenieSplit, SeparatorsAndHyphens) {
  EXPECT_EQ(splitGameGenieCodes("SXIOPO, AAAAAA;NNNNNN\tSXIO-PO\n\n ;,"),
            (std::vector<std::string>{"SXIOPO", "AAAAAA", "NNNNNN", "SXIO-PO"}));
  EXPECT_EQ(splitGameGenieCodes("SXIO PO"), (std::vector<std::string>{"SXIO", "PO"}));
  EXPECT_TRUE(splitGameGenieCodes(" ,; \r\n").empty());
}

// A deterministic NES program of `banks` 16 KB banks that looks like code (few 0xFF bytes).
Bytes program(std::size_t banks, std::uint32_t seed = 3) {
  Bytes data(banks * bank);
  std::uint32_t x = seed;
  for (std::uint8_t& b : data) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>((x >> 24) % 0xF0);
  }
  return data;
}

Bytes inesFile(const Bytes& prg, std::size_t chrBanks = 1) {
  Bytes nes = {'N',
               'E',
               'S',
               0x1A,
               static_cast<std::uint8_t>(prg.size() / bank),
               static_cast<std::uint8_t>(chrBanks)};
  nes.resize(16, 0);
  nes.insert(nes.end(), prg.begin(), prg.end());
  for (std::size_t i = 0; i < chrBanks * 8192; ++i) nes.push_back(static_cast<std::uint8_t>(i));
  return nes;
}

void place(Bytes& image, std::size_t at, const std::uint8_t* data, std::size_t length) {
  std::copy(data, data + length, image.begin() + static_cast<std::ptrdiff_t>(at));
}

// A 1 MB port holding a 32 KB program: bank 0 at 0x20000, the fixed bank 1 at 0x30000 and,
// with bytes 0x0456 and 0x0457 changed by the engine, at 0x41000. The NES file is embedded at
// 0x4FFF0, so its program starts on a 4 KB boundary (0x50000) and must be left out.
struct GeniePort {
  Bytes prg = program(2);
  Bytes nes = inesFile(prg);
  PortImage port;
  GeniePort() {
    Bytes image = scratch::port(0x100000);
    place(image, 0x20000, prg.data(), bank);
    place(image, 0x30000, prg.data() + bank, bank);
    place(image, 0x41000, prg.data() + bank, bank);
    image[0x41456] ^= 0x5A;
    image[0x41457] ^= 0x5A;
    place(image, 0x4FFF0, nes.data(), nes.size());
    const std::string digest = sha256Hex(nes.data(), nes.size());
    for (std::size_t i = 0; i < 32; ++i) {
      image[0x7C50 + i] =
          static_cast<std::uint8_t>(std::stoi(digest.substr(2 * i, 2), nullptr, 16));
    }
    port = PortImage(image);
  }
  std::uint8_t nesByte(unsigned address) const {
    const std::size_t b = address >= 0xC000 ? 1 : 0;
    return prg[b * bank + (address & 0x3FFF)];
  }
};

std::string hex2(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", v);
  return text;
}

TEST(GameGenieApply, FixedBankCodesPatchEveryCopyOfTheLastBank) {
  GeniePort g;
  ASSERT_EQ(g.port.findEmbeddedNes(), 0x4FFF0);
  const Bytes before = g.port.bytes();
  const auto results = applyGameGenie(g.port, g.nes, {testkit::encodeGameGenie(0xC123, 0x42)});
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].patched, 2);
  EXPECT_EQ(results[0].skipped, 0);
  EXPECT_EQ(results[0].report, "$C123 = $42: 2 byte(s) patched");
  const Bytes& after = g.port.bytes();
  EXPECT_EQ(after[0x30123], 0x42);
  EXPECT_EQ(after[0x41123], 0x42);
  EXPECT_EQ(after[0x20123], before[0x20123]);  // bank 0 is not eligible
  EXPECT_EQ(after[0x54123], before[0x54123]);  // the embedded NES file stays as it was
  EXPECT_TRUE(g.port.checksumValid());
  EXPECT_EQ(g.port.embeddedNes(), g.nes);
  // Nothing else changed apart from the checksum.
  std::size_t changed = 0;
  for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i] ? 1 : 0;
  EXPECT_LE(changed, 2u + 4u);
}

TEST(GameGenieApply, SwitchableBankCodesPatchOnlyTheFirstBank) {
  GeniePort g;
  const Bytes before = g.port.bytes();
  const auto results = applyGameGenie(g.port, g.nes, {testkit::encodeGameGenie(0x8123, 0x99)});
  EXPECT_EQ(results[0].report, "$8123 = $99: 1 byte(s) patched");
  EXPECT_EQ(g.port.bytes()[0x20123], 0x99);
  EXPECT_EQ(g.port.bytes()[0x30123], before[0x30123]);
  EXPECT_EQ(g.port.bytes()[0x41123], before[0x41123]);
}

TEST(GameGenieApply, CopiesChangedByThePortAreSkipped) {
  GeniePort g;
  auto results = applyGameGenie(g.port, g.nes, {testkit::encodeGameGenie(0xC456, 0x01)});
  EXPECT_EQ(results[0].patched, 1);
  EXPECT_EQ(results[0].skipped, 1);
  EXPECT_EQ(results[0].report,
            "$C456 = $01: 1 byte(s) patched, some copies skipped (port code there)");
  EXPECT_EQ(g.port.bytes()[0x30456], 0x01);
  EXPECT_NE(g.port.bytes()[0x41456], 0x01);

  // Bank 0 has one copy; when the engine changed the target there, nothing is applied.
  GeniePort only;
  only.port.bytes()[0x20789] ^= 0xFF;
  const Bytes before = only.port.bytes();
  results = applyGameGenie(only.port, only.nes, {testkit::encodeGameGenie(0x8789, 0x01)});
  EXPECT_EQ(results[0].patched, 0);
  EXPECT_EQ(results[0].skipped, 1);
  EXPECT_EQ(results[0].report, "$8789: the port changed that spot - not applied");
  EXPECT_EQ(only.port.bytes()[0x20789], before[0x20789]);
}

TEST(GameGenieApply, CompareBytes) {
  GeniePort g;
  const std::uint8_t present = g.nesByte(0xC200);
  const auto results =
      applyGameGenie(g.port, g.nes,
                     {testkit::encodeGameGenie(0xC200, 0x77, present),
                      testkit::encodeGameGenie(0x8200, 0x77, g.nesByte(0x8200) ^ 1)});
  EXPECT_EQ(results[0].report, "$C200 = $77 (if $" + hex2(present) + "): 2 byte(s) patched");
  EXPECT_EQ(results[0].compare, present);
  EXPECT_EQ(results[1].report, "$8200: nothing matched (compare byte)");
  EXPECT_EQ(results[1].patched, 0);
  EXPECT_EQ(results[1].skipped, 0);
}

TEST(GameGenieApply, LaterCodeForTheSameAddressWins) {
  GeniePort g;
  const std::string first = testkit::encodeGameGenie(0xC300, 0x11);
  const std::string second =
      testkit::encodeGameGenie(0xC300, 0x22, g.nesByte(0xC300));  // sees the snapshot
  const auto results = applyGameGenie(g.port, g.nes, {first, second, first});
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].report, "$C300 = $11: 2 byte(s) patched");
  EXPECT_EQ(results[1].report, "$C300 = $22 (if $" + hex2(g.nesByte(0xC300)) +
                                   "): 2 byte(s) patched - replaces " + first +
                                   " (same address: the later code wins)");
  // The third code repeats the first: it replaces the second, never its own twin.
  EXPECT_EQ(results[2].report, "$C300 = $11: 2 byte(s) patched - replaces " + second +
                                   " (same address: the later code wins)");
  EXPECT_EQ(g.port.bytes()[0x30300], 0x11);

  GeniePort twice;
  const auto same = applyGameGenie(twice.port, twice.nes, {first, "sxio-po", first});
  EXPECT_EQ(same[2].report, "$C300 = $11: 2 byte(s) patched");
}

TEST(GameGenieApply, BadCodesAreReportedAndOthersStillApply) {
  GeniePort g;
  const auto results = applyGameGenie(
      g.port, g.nes, {"SXIOPOA", testkit::encodeGameGenie(0xC010, 0x10), "SXIOPB", "SXIO", "PO"});
  ASSERT_EQ(results.size(), 5u);
  EXPECT_EQ(results[0].report, "a Game Genie code has 6 or 8 letters");
  EXPECT_FALSE(results[0].ok);
  EXPECT_EQ(results[1].report, "$C010 = $10: 2 byte(s) patched");
  EXPECT_EQ(results[2].report, "not a Game Genie letter: B");
  EXPECT_EQ(results[3].report, "a Game Genie code has 6 or 8 letters");
  EXPECT_EQ(results[4].report, "a Game Genie code has 6 or 8 letters");
  EXPECT_EQ(g.port.bytes()[0x30010], 0x10);
}

TEST(GameGenieApply, SixteenKilobyteProgramUsesItsOneBankForBothHalves) {
  const Bytes prg = program(1, 9);
  Bytes image = scratch::port(0x40000);
  place(image, 0x10000, prg.data(), bank);
  PortImage port(image);
  const auto results = applyGameGenie(
      port, inesFile(prg, 0),
      {testkit::encodeGameGenie(0xC123, 0x01), testkit::encodeGameGenie(0x8124, 0x02)});
  EXPECT_EQ(results[0].report, "$C123 = $01: 1 byte(s) patched");
  EXPECT_EQ(results[1].report, "$8124 = $02: 1 byte(s) patched");
  EXPECT_EQ(port.bytes()[0x10123], 0x01);
  EXPECT_EQ(port.bytes()[0x10124], 0x02);
}

TEST(GameGenieApply, HeaderlessProgramAndTrainer) {
  const Bytes prg = program(2, 5);
  Bytes image = scratch::port(0x40000);
  place(image, 0x18000, prg.data() + bank, bank);
  PortImage headerless(image);
  EXPECT_EQ(applyGameGenie(headerless, prg, {testkit::encodeGameGenie(0xC001, 0x33)})[0].report,
            "$C001 = $33: 1 byte(s) patched");
  // With a trainer the program starts 512 bytes later.
  Bytes trained = inesFile(prg, 0);
  trained[6] = 0x04;
  trained.insert(trained.begin() + 16, 512, 0xEA);
  PortImage withTrainer(image);
  EXPECT_EQ(
      applyGameGenie(withTrainer, trained, {testkit::encodeGameGenie(0xC001, 0x33)})[0].report,
      "$C001 = $33: 1 byte(s) patched");
}

TEST(GameGenieApply, ProgramCutByTheFileEndKeepsWholeBanksOnly) {
  const Bytes prg = program(2, 5);
  Bytes nes = inesFile(prg, 0);
  nes.resize(16 + bank + 100);  // header claims 2 banks, the file holds 1 and a bit
  Bytes image = scratch::port(0x40000);
  place(image, 0x10000, prg.data(), bank);
  PortImage port(image);
  const auto results = applyGameGenie(
      port, nes, {testkit::encodeGameGenie(0x8005, 0x44), testkit::encodeGameGenie(0xC006, 0x45)});
  // One whole bank: it is the last bank and the program is short, so both halves map to it.
  EXPECT_EQ(results[0].report, "$8005 = $44: 1 byte(s) patched");
  EXPECT_EQ(results[1].report, "$C006 = $45: 1 byte(s) patched");
}

TEST(GameGenieApply, TooSmallNesDataReportsEveryCode) {
  Bytes headerOnly = {'N', 'E', 'S', 0x1A, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Bytes shortTrainer = headerOnly;
  shortTrainer[6] = 0x04;
  shortTrainer.resize(16 + 512, 0xEA);  // 528 bytes: the trainer and no program
  Bytes zeroBanks = headerOnly;
  zeroBanks[4] = 0;
  zeroBanks.resize(16 + 8192, 0x00);
  for (const Bytes& nes : {headerOnly, shortTrainer, zeroBanks, Bytes{}}) {
    GeniePort g;
    const Bytes before = g.port.bytes();
    const auto results = applyGameGenie(g.port, nes, {"SXIOPO", "SXIOPOA"});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].report, "the NES ROM is too small");
    EXPECT_TRUE(results[0].ok);
    EXPECT_EQ(results[0].address, 0x91D9);
    EXPECT_EQ(results[1].report, "the NES ROM is too small");
    EXPECT_FALSE(results[1].ok);
    EXPECT_EQ(g.port.bytes(), before);
  }
}

TEST(GameGenieApply, EmptyBanksHaveNoCopies) {
  Bytes prg = program(2, 4);
  std::fill(prg.begin(), prg.begin() + bank, 0xFF);
  for (std::size_t i = 0; i < 60; ++i) prg[i * 256] = 0x00;  // 60 of 1024 samples differ
  Bytes image = scratch::port(0x40000);
  PortImage port(image);
  const auto results =
      applyGameGenie(port, inesFile(prg), {testkit::encodeGameGenie(0x8001, 0x00)});
  EXPECT_EQ(results[0].report, "$8001: nothing matched");
  EXPECT_EQ(results[0].skipped, 0);
  EXPECT_TRUE(port.checksumValid());
}

TEST(GameGenieApply, CopiesNeedFifteenSixteenthsOfTheBank) {
  const Bytes prg = program(1, 11);
  Bytes image = scratch::port(0x40000);
  place(image, 0x10000, prg.data(), bank);  // an exact copy
  place(image, 0x20000, prg.data(), bank);  // 1024 bytes changed away from the sample grid
  for (std::size_t i = 0; i < 1024; ++i) image[0x20000 + i * 16 + 1] ^= 0xFF;
  place(image, 0x30000, prg.data(), bank);  // 1025 bytes changed: no copy
  for (std::size_t i = 0; i < 1024; ++i) image[0x30000 + i * 16 + 1] ^= 0xFF;
  image[0x30002] ^= 0xFF;
  place(image, 0x38000, prg.data(), bank);  // 65 samples changed: no copy
  for (std::size_t i = 0; i < 65; ++i) image[0x38000 + i * 16 + 32] ^= 0xFF;
  PortImage port(image);
  const auto results =
      applyGameGenie(port, inesFile(prg, 0), {testkit::encodeGameGenie(0x8003, 0xEE)});
  EXPECT_EQ(results[0].report, "$8003 = $EE: 2 byte(s) patched");
  EXPECT_EQ(port.bytes()[0x10003], 0xEE);
  EXPECT_EQ(port.bytes()[0x20003], 0xEE);
  EXPECT_NE(port.bytes()[0x30003], 0xEE);
  EXPECT_NE(port.bytes()[0x38003], 0xEE);
}

// The 15/16 thresholds, one step either side: 960 blank samples make an empty bank, 959 do
// not; a window with 64 of its 1024 samples changed is still a copy, with 65 it is not.
TEST(GameGenieApply, EmptyBankAndSampleThresholdsAreInclusive) {
  for (const auto& [marked, copies] : {std::pair{64, 0}, std::pair{65, 1}}) {
    Bytes prg(bank, 0xFF);
    for (int i = 0; i < marked; ++i) prg[static_cast<std::size_t>(i) * 16] = 0x00;
    Bytes image = scratch::port(0x40000);
    place(image, 0x10000, prg.data(), bank);
    PortImage port(image);
    const auto results =
        applyGameGenie(port, inesFile(prg, 0), {testkit::encodeGameGenie(0x8000, 0x12)});
    EXPECT_EQ(results[0].patched, copies) << marked;
  }
  for (const auto& [changed, copies] : {std::pair{64, 1}, std::pair{65, 0}}) {
    const Bytes prg = program(1, 21);
    Bytes image = scratch::port(0x40000);
    place(image, 0x10000, prg.data(), bank);
    for (int i = 0; i < changed; ++i)
      image[0x10000 + 32 + static_cast<std::size_t>(i) * 16] ^= 0xFF;
    PortImage port(image);
    const auto results =
        applyGameGenie(port, inesFile(prg, 0), {testkit::encodeGameGenie(0x8003, 0xEE)});
    EXPECT_EQ(results[0].patched, copies) << changed;
  }
}

// Two equal switchable banks share every copy, so one code writes the same byte once per bank:
// each write counts, and a code never replaces itself.
TEST(GameGenieApply, EqualBanksWriteTheirSharedCopyOnceEach) {
  Bytes prg = program(3);
  std::copy(prg.begin(), prg.begin() + bank, prg.begin() + bank);
  const Bytes nes = inesFile(prg);
  Bytes image = scratch::port(0x100000);
  place(image, 0x20000, prg.data(), bank);
  PortImage port(image);
  const std::string code = testkit::encodeGameGenie(0x8123, 0x42);
  const auto results = applyGameGenie(port, nes, {code, testkit::encodeGameGenie(0x8123, 0x43)});
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].report, "$8123 = $42: 2 byte(s) patched");
  EXPECT_EQ(results[1].report, "$8123 = $43: 2 byte(s) patched - replaces " + code +
                                   " (same address: the later code wins)");
  EXPECT_EQ(port.bytes()[0x20123], 0x43);
}

TEST(GameGenieApply, AnEmptyListChangesNothing) {
  GeniePort g;
  g.port.bytes()[0x7FDE] ^= 0xFF;  // a stale checksum stays stale
  const Bytes before = g.port.bytes();
  EXPECT_TRUE(applyGameGenie(g.port, g.nes, {}).empty());
  EXPECT_EQ(g.port.bytes(), before);
}

}  // namespace
}  // namespace tbp
