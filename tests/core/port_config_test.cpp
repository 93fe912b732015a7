#include <gtest/gtest.h>
#include <stdexcept>

#include "port/port_image.h"
#include "port_scratch.h"

namespace tbp {
namespace {

using scratch::get32;
using scratch::put32;

constexpr std::size_t KB = 1024;
constexpr std::size_t MB = 1024 * KB;
constexpr std::size_t configAt = 0x10000;

// A layout-1 port of `size` bytes whose content ends at `contentEnd`, with a config block
// (turbo 10, chord 30, chip byte 0) and the FastROM switch and header bit as given.
PortImage configPort(std::size_t size, std::size_t contentEnd, bool fastRom = true,
                     bool config = true) {
  Bytes image = scratch::port(
      size, scratch::layoutV1(config ? "\"config\": " + std::to_string(configAt) : ""));
  const std::uint8_t block[16] = {'C', 'F', 'G', '1', 10, 30, 3, 4, 5, 6, 7, 8, 9, 1, 0, 0};
  std::copy(std::begin(block), std::end(block), image.begin() + configAt);
  image[0x7FD5] = fastRom ? 0x30 : 0x20;
  image[0x7FD6] = 0x02;
  image[0x7FD7] = 0x0A;
  image[0x7FBD] = 0xFF;
  put32(image, 0x7C14, fastRom ? 0x0201 : 0x0200);
  put32(image, 0x7C18, 0x11111111);
  put32(image, 0x7C1C, 0x22222222);
  image.at(contentEnd - 1) = 0x00;
  return PortImage(image);
}

std::uint8_t chipByte(const PortImage& port) { return port.bytes()[configAt + 15]; }

// Runs `edit` and expects it to be refused with `message`, changing nothing.
template <typename Edit>
void expectRefused(PortImage& port, Edit edit, const std::string& message) {
  const Bytes before = port.bytes();
  try {
    edit(port);
    ADD_FAILURE() << "accepted; expected: " << message;
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(e.what(), message);
  }
  EXPECT_EQ(port.bytes(), before) << message;
}

TEST(ChipInfo, NamesClocksAndReach) {
  struct Row {
    int type;
    const char* name;
    double mhz;
    std::size_t reach;
  };
  const Row table[] = {
      {0, "None", 0.0, 4 * MB},
      {1, "SuperFX (GSU-1)", 10.7, 1 * MB},
      {2, "SuperFX 2 (GSU-2)", 21.4, 2 * MB},
      {3, "SuperFX 2 Rev 1 (GSU-2-SP1)", 21.4, 2 * MB},
      {4, "SA-1", 10.7, 4 * MB},
      {5, "None", 0.0, 2 * MB},
      {-1, "None", 0.0, 2 * MB},
  };
  for (const Row& row : table) {
    EXPECT_EQ(chipName(row.type), row.name);
    EXPECT_DOUBLE_EQ(chipClockMhz(row.type), row.mhz);
    EXPECT_EQ(chipRomReach(row.type), row.reach);
  }
}

TEST(RomSize, RefusalsChangeNothing) {
  PortImage port = configPort(1 * MB, 0x90000);
  const auto resize = [](std::size_t size) { return [size](PortImage& p) { p.setRomSize(size); }; };
  const std::string invalid = "not a valid SNES ROM size (use min, 2m or 4m)";
  expectRefused(port, resize(0x2C0000), invalid);
  expectRefused(port, resize(0x7000), invalid);
  expectRefused(port, resize(0), invalid);
  expectRefused(port, resize(0x300001), invalid);
  expectRefused(port, resize(0x80000), "that size would cut off content");
  expectRefused(port, resize(0x500000), "LoROM tops out at 4 MB");
  expectRefused(port, resize(8 * MB), "LoROM tops out at 4 MB");
}

// Where two refusals apply, the earlier check speaks: the size's validity, then content that
// would be cut off, then the LoROM limit, then the chip's reach.
TEST(RomSize, RefusalsComeInCheckOrder) {
  const auto resize = [](std::size_t size) { return [size](PortImage& p) { p.setRomSize(size); }; };
  PortImage huge = configPort(6 * MB, 0x580000);
  expectRefused(huge, resize(0x2C0000), "not a valid SNES ROM size (use min, 2m or 4m)");
  expectRefused(huge, resize(5 * MB), "that size would cut off content");
  PortImage gsu = configPort(1 * MB, 0x40000);
  gsu.setChip(1);
  expectRefused(gsu, resize(0x20000), "that size would cut off content");
  expectRefused(gsu, resize(6 * MB), "LoROM tops out at 4 MB");
  expectRefused(gsu, resize(2 * MB), "SuperFX (GSU-1) reaches 1 MB of ROM at most");
  PortImage gsu2 = configPort(1 * MB, 0x40000);
  gsu2.setChip(3);
  expectRefused(gsu2, resize(3 * MB), "SuperFX 2 Rev 1 (GSU-2-SP1) reaches 2 MB of ROM at most");
  gsu2.setRomSize(2 * MB);
  EXPECT_EQ(gsu2.bytes().size(), 2 * MB);
}

TEST(RomSize, AcceptsMixedSizesAndWritesHeaderAndConfig) {
  struct Row {
    std::size_t size;
    std::uint8_t code;
  };
  const Row table[] = {{0x300000, 12}, {0x280000, 12}, {2 * MB, 11},
                       {4 * MB, 12},   {1 * MB, 10},   {0xA0000, 10}};
  for (const Row& row : table) {
    PortImage port = configPort(1 * MB, 0x90000);
    port.setRomSize(row.size);
    EXPECT_EQ(port.bytes().size(), row.size);
    EXPECT_EQ(port.bytes()[0x7FD7], row.code) << row.size;
    EXPECT_EQ(port.bytes()[configAt + 14], static_cast<std::uint8_t>(row.size >> 15));
    EXPECT_TRUE(port.checksumValid());
    EXPECT_EQ(port.contentSize(), 0x90000u);
    EXPECT_EQ(port.bytes().back(), 0xFF);
  }
  PortImage tiny = configPort(0x20000, 0x10010);
  tiny.setRomSize(0x18000);
  EXPECT_EQ(tiny.bytes()[0x7FD7], 7);  // 96 KB needs 2^7 KB
}

TEST(RomSize, FreeSpaceRecordFollowsTheContentEnd) {
  PortImage two = configPort(2 * MB, 0x1F1234);
  two.setRomSize(2 * MB);
  EXPECT_EQ(get32(two.bytes(), 0x7C18), 0x1F2000u);
  EXPECT_EQ(get32(two.bytes(), 0x7C1C), 0xE000u);
  two.setRomSize(4 * MB);
  EXPECT_EQ(get32(two.bytes(), 0x7C18), 0x1F2000u);
  EXPECT_EQ(get32(two.bytes(), 0x7C1C), 0x20E000u);

  // Content that ends on a 4 KB boundary equal to the size leaves the record alone.
  PortImage full = configPort(2 * MB, 2 * MB);
  full.setRomSize(2 * MB);
  EXPECT_EQ(get32(full.bytes(), 0x7C18), 0x11111111u);
  EXPECT_EQ(get32(full.bytes(), 0x7C1C), 0x22222222u);
  // Content on a 4 KB boundary below the size starts the free space right there.
  PortImage aligned = configPort(1 * MB, 0x80000);
  aligned.setRomSize(1 * MB);
  EXPECT_EQ(get32(aligned.bytes(), 0x7C18), 0x80000u);
  EXPECT_EQ(get32(aligned.bytes(), 0x7C1C), 0x80000u);
}

TEST(RomSize, ImagesThatAreNoPortOnlyGetHeaderAndChecksum) {
  Bytes image(0x20000, 0xFF);
  image[0x100] = 0;
  PortImage plain(image);
  plain.setRomSize(0x8000);
  EXPECT_EQ(plain.bytes().size(), 0x8000u);
  EXPECT_EQ(plain.bytes()[0x7FD7], 5);
  EXPECT_EQ(get32(plain.bytes(), 0x7C18), 0xFFFFFFFFu);
  EXPECT_TRUE(plain.checksumValid());
}

TEST(Chip, ReadFromTheHeaderBoard) {
  struct Row {
    std::uint8_t map, cart, stored;
    bool config;
    int chip;
  };
  const Row table[] = {
      {0x20, 0x15, 0x01, true, 1},  {0x20, 0x15, 0x83, true, 3},  {0x20, 0x13, 0x02, true, 2},
      {0x20, 0x14, 0x00, true, 2},  {0x20, 0x1A, 0x09, true, 2},  {0x20, 0x15, 0x04, true, 2},
      {0x20, 0x15, 0x01, false, 2}, {0x30, 0x15, 0x01, true, 0},  {0x20, 0x16, 0x01, true, 0},
      {0x23, 0x32, 0x00, true, 4},  {0x23, 0x34, 0x00, false, 4}, {0x23, 0x35, 0x00, true, 4},
      {0x23, 0x33, 0x00, true, 0},  {0x20, 0x02, 0x00, true, 0},
  };
  for (const Row& row : table) {
    PortImage port = configPort(1 * MB, 0x20000, false, row.config);
    port.bytes()[0x7FD5] = row.map;
    port.bytes()[0x7FD6] = row.cart;
    port.bytes()[configAt + 15] = row.stored;
    EXPECT_EQ(port.chip(), row.chip) << int(row.map) << " " << int(row.cart);
  }
  EXPECT_EQ(PortImage(Bytes(0x7FFF, 0x20)).chip(), 0);
}

TEST(Chip, RefusalsChangeNothing) {
  PortImage port = configPort(2 * MB, 0x180000);
  const auto set = [](int type) { return [type](PortImage& p) { p.setChip(type); }; };
  expectRefused(port, set(5), "unknown chip");
  expectRefused(port, set(-1), "unknown chip");
  expectRefused(port, set(1), "SuperFX (GSU-1): the game needs more than the chip's ROM reach");
  PortImage big = configPort(4 * MB, 0x280000);
  expectRefused(big, set(2), "SuperFX 2 (GSU-2): the game needs more than the chip's ROM reach");
  expectRefused(big, set(3),
                "SuperFX 2 Rev 1 (GSU-2-SP1): the game needs more than the chip's ROM reach");
  const std::string noConfig = "this port's config block is unknown: the chip can't be set";
  PortImage bare = configPort(1 * MB, 0x20000, true, false);
  expectRefused(bare, set(2), noConfig);
  expectRefused(bare, set(0), noConfig);
  PortImage badMagic = configPort(1 * MB, 0x20000);
  badMagic.bytes()[configAt + 3] = '2';
  expectRefused(badMagic, set(4), noConfig);
  Bytes foreign = configPort(1 * MB, 0x20000).bytes();
  foreign[0x7C00] = 'X';
  PortImage notPort(foreign);
  expectRefused(notPort, set(1), noConfig);
}

TEST(Chip, SuperFxOnAFastRomPortAndBack) {
  PortImage port = configPort(1 * MB, 0x40000, true);
  port.setChip(2);
  EXPECT_EQ(port.chip(), 2);
  EXPECT_EQ(port.bytes()[0x7FD5], 0x20);
  EXPECT_EQ(port.bytes()[0x7FD6], 0x15);
  EXPECT_EQ(port.bytes()[0x7FBD], 0x05);
  EXPECT_EQ(chipByte(port), 0x02);
  EXPECT_EQ(port.flags(), 0x0200u);  // FastROM off, other bits kept
  EXPECT_TRUE(port.checksumValid());
  port.setChip(0);
  EXPECT_EQ(port.chip(), 0);
  EXPECT_EQ(port.bytes()[0x7FD5], 0x30);
  EXPECT_EQ(port.bytes()[0x7FD6], 0x02);
  EXPECT_EQ(port.bytes()[0x7FBD], 0xFF);
  EXPECT_EQ(chipByte(port), 0x00);
  EXPECT_EQ(port.flags(), 0x0201u);
  EXPECT_TRUE(port.checksumValid());
}

TEST(Chip, SuperFxOnASlowRomPortAndBack) {
  PortImage port = configPort(1 * MB, 0x40000, false);
  port.setChip(3);
  EXPECT_EQ(port.chip(), 3);
  EXPECT_EQ(chipByte(port), 0x83);
  EXPECT_EQ(port.flags() & 1, 0u);
  port.setChip(0);
  EXPECT_EQ(port.bytes()[0x7FD5], 0x20);
  EXPECT_EQ(port.flags() & 1, 0u);
  EXPECT_EQ(chipByte(port), 0x00);
}

TEST(Chip, SwitchingChipsKeepsTheRememberedFastRomState) {
  for (const bool fast : {true, false}) {
    PortImage port = configPort(1 * MB, 0x40000, fast);
    port.setChip(2);
    port.setChip(4);
    EXPECT_EQ(port.chip(), 4);
    EXPECT_EQ(port.bytes()[0x7FD5], 0x23);
    EXPECT_EQ(port.bytes()[0x7FD6], 0x32);
    EXPECT_EQ(port.bytes()[0x7FBD], 0xFF);
    EXPECT_EQ(chipByte(port), fast ? 0x04 : 0x84);
    port.setChip(1);
    EXPECT_EQ(chipByte(port), fast ? 0x01 : 0x81);
    port.setChip(0);
    EXPECT_EQ(port.bytes()[0x7FD5], fast ? 0x30 : 0x20);
    EXPECT_EQ(port.flags() & 1, fast ? 1u : 0u);
  }
}

TEST(Chip, GsuOneShrinksALargerPortToItsReach) {
  PortImage port = configPort(2 * MB, 0xC0000, true);
  port.setChip(1);
  EXPECT_EQ(port.bytes().size(), 1 * MB);
  EXPECT_EQ(port.bytes()[0x7FD7], 10);
  EXPECT_EQ(port.bytes()[configAt + 14], 0x20);
  EXPECT_EQ(get32(port.bytes(), 0x7C18), 0xC0000u);
  EXPECT_EQ(get32(port.bytes(), 0x7C1C), 0x40000u);
  EXPECT_TRUE(port.checksumValid());
  // Under GSU-1 the ROM may not grow past 1 MB again.
  expectRefused(
      port, [](PortImage& p) { p.setRomSize(2 * MB); },
      "SuperFX (GSU-1) reaches 1 MB of ROM at most");
  port.setChip(4);  // SA-1 reaches 4 MB
  port.setRomSize(4 * MB);
  EXPECT_EQ(port.bytes().size(), 4 * MB);
}

TEST(Chip, RemovingAChipNeverSetTurnsFastRomOn) {
  PortImage port = configPort(1 * MB, 0x40000, false);
  port.setChip(0);
  EXPECT_EQ(port.bytes()[0x7FD5], 0x30);
  EXPECT_EQ(port.bytes()[0x7FD6], 0x02);
  EXPECT_EQ(port.flags() & 1, 1u);
  EXPECT_TRUE(port.checksumValid());
}

TEST(Chip, ConfigBlockBeyondTheReachIsRefused) {
  // The only content past 1 MB is the config block's tail of 0xFF bytes would be cut off.
  Bytes image = scratch::port(2 * MB, scratch::layoutV1("\"config\": " + std::to_string(0xFFFF8)));
  const std::uint8_t block[4] = {'C', 'F', 'G', '1'};
  std::copy(std::begin(block), std::end(block), image.begin() + 0xFFFF8);
  PortImage port(image);
  ASSERT_TRUE(port.hasConfig());
  expectRefused(
      port, [](PortImage& p) { p.setChip(1); },
      "SuperFX (GSU-1): the game needs more than the chip's ROM reach");
}

TEST(Config, TurboAndChordAreClamped) {
  PortImage port = configPort(1 * MB, 0x20000);
  EXPECT_TRUE(port.hasConfig());
  EXPECT_EQ(port.turboCycle(), 10);
  EXPECT_EQ(port.chordHold(), 30);
  const std::pair<int, int> turbo[] = {{1, 2}, {2, 2}, {17, 17}, {60, 60}, {100, 60}, {-5, 2}};
  for (const auto& [in, stored] : turbo) {
    port.setTurboCycle(in);
    EXPECT_EQ(port.bytes()[configAt + 4], stored);
    EXPECT_EQ(port.turboCycle(), stored);
  }
  const std::pair<int, int> chord[] = {{0, 1}, {-3, 1}, {1, 1}, {45, 45}, {255, 255}, {300, 255}};
  for (const auto& [in, stored] : chord) {
    port.setChordHold(in);
    EXPECT_EQ(port.bytes()[configAt + 5], stored);
    EXPECT_EQ(port.chordHold(), stored);
  }
  EXPECT_EQ(port.bytes()[configAt + 6], 3);  // engine bytes preserved
  EXPECT_EQ(port.bytes()[configAt + 13], 1);
}

TEST(Config, MissingBlockGivesDefaultsAndIgnoresWrites) {
  PortImage bare = configPort(1 * MB, 0x20000, true, false);
  EXPECT_FALSE(bare.hasConfig());
  EXPECT_EQ(bare.turboCycle(), 2);
  EXPECT_EQ(bare.chordHold(), 30);
  const Bytes before = bare.bytes();
  bare.setTurboCycle(20);
  bare.setChordHold(9);
  EXPECT_EQ(bare.bytes(), before);
  // A block that ends past the image end is not a block.
  Bytes image =
      scratch::port(0x20000, scratch::layoutV1("\"config\": " + std::to_string(0x20000 - 32)));
  image[0x20000 - 32] = 'C';
  image[0x20000 - 31] = 'F';
  image[0x20000 - 30] = 'G';
  image[0x20000 - 29] = '1';
  PortImage tail(image);
  EXPECT_TRUE(tail.hasConfig());
  tail.bytes().resize(0x20000 - 17);
  EXPECT_FALSE(tail.hasConfig());
  EXPECT_EQ(tail.turboCycle(), 2);
}

}  // namespace
}  // namespace tbp
