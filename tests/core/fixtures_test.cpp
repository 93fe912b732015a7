// Tests of the fixture builders themselves: every other suite trusts their output, so a fault
// here would hide faults elsewhere.
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

#include "support/nes_builder.h"

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

}  // namespace
