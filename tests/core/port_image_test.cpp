#include "port/port_image.h"

#include <gtest/gtest.h>

#include "formats/checksums.h"
#include "port_scratch.h"

namespace tbp {
namespace {

using scratch::put16;

constexpr std::size_t KB = 1024;
constexpr std::size_t MB = 1024 * KB;

TEST(PortImage, IsPortNeedsTheMagicInsideAFullFirstBank) {
  EXPECT_TRUE(PortImage(scratch::port(0x8000)).isPort());
  Bytes shortImage = scratch::port(0x8000);
  shortImage.pop_back();
  EXPECT_FALSE(PortImage(shortImage).isPort());
  Bytes foreign = scratch::port(0x8000);
  foreign[0x7C03] = 'X';
  EXPECT_FALSE(PortImage(foreign).isPort());
  EXPECT_FALSE(PortImage().isPort());
}

TEST(PortImage, DefaultImageIsEmptyAndHarmless) {
  PortImage empty;
  EXPECT_TRUE(empty.bytes().empty());
  EXPECT_FALSE(empty.header().valid);
  EXPECT_EQ(empty.contentSize(), 0u);
  EXPECT_EQ(empty.nesDigestText(), "");
  EXPECT_EQ(empty.findEmbeddedNes(), -1);
  empty.fixChecksum();
  EXPECT_TRUE(empty.bytes().empty());
}

// A header whose complement/checksum pair XORs to 0xFFFF at `base`.
void writeHeader(Bytes& image, std::size_t base, const std::string& title, std::uint8_t mapMode) {
  for (std::size_t i = 0; i < 21; ++i) {
    image[base + i] = i < title.size() ? static_cast<std::uint8_t>(title[i]) : ' ';
  }
  const std::uint8_t fields[7] = {mapMode, 0x02, 0x0A, 0x03, 0x01, 0x33, 0x04};
  for (std::size_t i = 0; i < 7; ++i) image[base + 0x15 + i] = fields[i];
  put16(image, base + 0x1C, 0x1234 ^ 0xFFFF);
  put16(image, base + 0x1E, 0x1234);
}

TEST(PortImage, HeaderLocationPrefersTheLoRomPair) {
  Bytes both(0x10000, 0x00);
  writeHeader(both, 0x7FC0, "LOROM", 0x20);
  writeHeader(both, 0xFFC0, "HIROM", 0x21);
  SnesHeader lo = PortImage(both).header();
  EXPECT_TRUE(lo.valid);
  EXPECT_FALSE(lo.hiRom);
  EXPECT_EQ(lo.title, "LOROM");

  Bytes hiOnly(0x10000, 0x00);
  writeHeader(hiOnly, 0xFFC0, "HIROM", 0x21);
  SnesHeader hi = PortImage(hiOnly).header();
  EXPECT_TRUE(hi.hiRom);
  EXPECT_EQ(hi.title, "HIROM");
  EXPECT_EQ(hi.mapMode, 0x21);

  // One byte short of the HiROM header: never HiROM, the LoROM place is used.
  Bytes shortHi(0xFFDF, 0x00);
  writeHeader(shortHi, 0xFFC0 - 0x8000, "X", 0x20);
  SnesHeader fallback = PortImage(shortHi).header();
  EXPECT_TRUE(fallback.valid);
  EXPECT_FALSE(fallback.hiRom);
}

TEST(PortImage, HeaderFieldsAreCopiedRaw) {
  Bytes image(0x8000, 0x00);
  writeHeader(image, 0x7FC0, "ABC", 0x30);
  SnesHeader h = PortImage(image).header();
  EXPECT_EQ(h.title, "ABC");  // three letters and 18 spaces
  EXPECT_EQ(h.mapMode, 0x30);
  EXPECT_EQ(h.cartType, 0x02);
  EXPECT_EQ(h.romSizeCode, 0x0A);
  EXPECT_EQ(h.ramSizeCode, 0x03);
  EXPECT_EQ(h.region, 0x01);
  EXPECT_EQ(h.developer, 0x33);
  EXPECT_EQ(h.version, 0x04);
  EXPECT_EQ(h.complement, 0x1234 ^ 0xFFFF);
  EXPECT_EQ(h.checksum, 0x1234);
}

TEST(PortImage, TitleShowsControlBytesAsDotsAndKeepsInnerSpaces) {
  Bytes image(0x8000, 0x00);
  writeHeader(image, 0x7FC0, "A B", 0x20);
  image[0x7FC0 + 3] = 0x01;
  image[0x7FC0 + 4] = 0x7F;
  image[0x7FC0 + 5] = 0xC0;
  EXPECT_EQ(PortImage(image).header().title, "A B...");
}

TEST(PortImage, ShortImageHasNoHeader) {
  SnesHeader h = PortImage(Bytes(0x7FDF, 0x20)).header();
  EXPECT_FALSE(h.valid);
  EXPECT_EQ(h.title, "");
  EXPECT_EQ(h.mapMode, 0);
  EXPECT_EQ(h.checksum, 0);
  EXPECT_TRUE(PortImage(Bytes(0x7FE0, 0x20)).header().valid);
}

TEST(SnesRomSize, KnownAnswers) {
  const std::pair<std::size_t, std::size_t> table[] = {
      {0, 32 * KB},
      {1, 32 * KB},
      {0x8000, 32 * KB},
      {0x8001, 64 * KB},
      {96 * KB, 96 * KB},
      {160 * KB, 160 * KB},
      {224 * KB, 256 * KB},
      {200 * KB, 256 * KB},
      {1 * MB, 1 * MB},
      {1 * MB + 1, 1 * MB + 32 * KB},
      {5 * MB / 2, 5 * MB / 2},
      {11 * MB / 4, 3 * MB},
      {3 * MB, 3 * MB},
      {0x2C0000, 3 * MB},
      {4 * MB - 1, 4 * MB},
      {6 * MB, 6 * MB},
  };
  for (const auto& [input, expected] : table) {
    EXPECT_EQ(snesRomSize(input), expected) << "input " << input;
  }
}

TEST(Describe, MapModes) {
  const std::pair<std::pair<int, int>, const char*> table[] = {
      {{0x20, 0x02}, "LoROM, SlowROM"},           {{0x30, 0x02}, "LoROM, FastROM"},
      {{0x20, 0x15}, "LoROM (SuperFX), SlowROM"}, {{0x30, 0x15}, "LoROM, FastROM"},
      {{0x23, 0x32}, "LoROM (SA-1), SlowROM"},    {{0x21, 0x00}, "HiROM, SlowROM"},
      {{0x32, 0x00}, "LoROM (S-DD1), FastROM"},   {{0x35, 0x00}, "ExHiROM, FastROM"},
      {{0x24, 0x00}, "map $4, SlowROM"},          {{0x2A, 0x00}, "map $10, SlowROM"},
  };
  for (const auto& [input, expected] : table) {
    SnesHeader h;
    h.mapMode = static_cast<std::uint8_t>(input.first);
    h.cartType = static_cast<std::uint8_t>(input.second);
    EXPECT_EQ(describeMapMode(h), expected);
  }
}

TEST(Describe, Cartridges) {
  const std::pair<int, const char*> table[] = {
      {0x00, "ROM only"},
      {0x01, "ROM + RAM"},
      {0x02, "ROM + RAM + battery"},
      {0x03, "ROM + DSP"},
      {0x13, "ROM + SuperFX (GSU)"},
      {0x14, "ROM + SuperFX (GSU) + RAM"},
      {0x15, "ROM + SuperFX (GSU) + RAM + battery"},
      {0x1A, "ROM + SuperFX (GSU)"},
      {0x26, "ROM + OBC1 + battery"},
      {0x32, "ROM + RAM + battery"},
      {0x34, "ROM + SA-1 + RAM"},
      {0x35, "ROM + SA-1 + RAM + battery"},
      {0x43, "ROM + S-DD1"},
      {0x55, "ROM + S-RTC + RAM + battery"},
      {0x63, "ROM + ?"},
      {0xD7, "ROM + ?"},
      {0xE3, "ROM + other"},
      {0xF9, "ROM + custom"},
  };
  for (const auto& [cart, expected] : table) {
    SnesHeader h;
    h.cartType = static_cast<std::uint8_t>(cart);
    EXPECT_EQ(describeCartridge(h), expected) << "cart " << cart;
  }
}

TEST(Describe, Regions) {
  const std::pair<int, const char*> table[] = {
      {0, "Japan"},      {1, "USA / Canada"}, {2, "Europe"},         {3, "Sweden"},
      {4, "Finland"},    {5, "Denmark"},      {6, "France"},         {7, "Netherlands"},
      {8, "Spain"},      {9, "Germany"},      {10, "Italy"},         {11, "China"},
      {12, "Indonesia"}, {13, "Korea"},       {14, "International"}, {15, "Canada"},
      {16, "Brazil"},    {17, "Australia"},   {18, "region $18"},    {255, "region $255"},
  };
  for (const auto& [region, expected] : table) {
    SnesHeader h;
    h.region = static_cast<std::uint8_t>(region);
    EXPECT_EQ(describeRegion(h), expected);
  }
}

TEST(PortImage, ContentSizeStopsAtTheTrailingFreeSpace) {
  Bytes image(0x10000, 0xFF);
  EXPECT_EQ(PortImage(image).contentSize(), 0u);
  image[0x1234] = 0x00;
  EXPECT_EQ(PortImage(image).contentSize(), 0x1235u);
  image.back() = 0xFE;
  EXPECT_EQ(PortImage(image).contentSize(), 0x10000u);
}

// The checksum of an all-zero image with a few marked bytes: after the FF FF 00 00 placeholder
// the sum is 0x1FE plus each marked byte times its weight.
std::uint16_t checksumOf(std::size_t size, const std::vector<std::pair<std::size_t, int>>& marks) {
  Bytes image(size, 0x00);
  for (const auto& [at, value] : marks) image[at] = static_cast<std::uint8_t>(value);
  PortImage port(image);
  port.fixChecksum();
  const Bytes& b = port.bytes();
  const auto checksum = static_cast<std::uint16_t>(b[0x7FDE] | b[0x7FDF] << 8);
  const auto complement = static_cast<std::uint16_t>(b[0x7FDC] | b[0x7FDD] << 8);
  EXPECT_EQ(checksum ^ complement, 0xFFFF);
  return checksum;
}

TEST(PortImage, ChecksumWeightsTheTailToFillThePowerOfTwo) {
  // 3 MB: the first 2 MB once, the last 1 MB twice.
  EXPECT_EQ(checksumOf(3 * MB, {{0x100000, 0x10}, {0x280000, 0x01}}), 0x1FE + 0x10 + 2);
  // 2.5 MB: the last 512 KB four times.
  EXPECT_EQ(checksumOf(5 * MB / 2, {{0x1FFFFF, 0x10}, {0x200000, 0x01}}), 0x1FE + 0x10 + 4);
  // Power of two: every byte once.
  EXPECT_EQ(checksumOf(1 * MB, {{0x8000, 0x10}, {0xFFFFF, 0x03}}), 0x1FE + 0x10 + 3);
  // 96 KB: the last 32 KB twice.
  EXPECT_EQ(checksumOf(96 * KB, {{0x10000, 0x07}}), 0x1FE + 14);
  // The sum keeps only its low 16 bits.
  EXPECT_EQ(checksumOf(1 * MB, {{0x9000, 0xFF}, {0x9001, 0xFF}}), (0x1FE + 0x1FE) & 0xFFFF);
}

TEST(PortImage, ChecksumIsAlwaysWrittenAtTheLoRomHeader) {
  Bytes image(0x10000, 0x00);
  writeHeader(image, 0xFFC0, "HIROM", 0x21);
  PortImage port(image);
  port.fixChecksum();
  EXPECT_EQ(port.bytes()[0xFFDE], 0x34);  // HiROM header untouched
  EXPECT_TRUE(port.checksumValid());
}

TEST(PortImage, ChecksumValidOnlyAfterFixing) {
  Bytes image(0x40000, 0x00);
  for (std::size_t i = 0; i < image.size(); i += 97) image[i] = static_cast<std::uint8_t>(i);
  PortImage port(image);
  EXPECT_FALSE(port.checksumValid());
  port.fixChecksum();
  EXPECT_TRUE(port.checksumValid());
  port.bytes()[0x20000] ^= 1;
  EXPECT_FALSE(port.checksumValid());
}

TEST(PortImage, ShortImageChecksumIsLeftAlone) {
  Bytes image(0x7FFF, 0x00);
  PortImage port(image);
  port.fixChecksum();
  EXPECT_EQ(port.bytes(), image);
}

// An iNES file with `prg` program and `chr` graphics banks of varied bytes.
Bytes nesFile(int prg, int chr, bool trainer = false) {
  Bytes nes = {'N',
               'E',
               'S',
               0x1A,
               static_cast<std::uint8_t>(prg),
               static_cast<std::uint8_t>(chr),
               static_cast<std::uint8_t>(trainer ? 0x04 : 0x00)};
  nes.resize(16, 0);
  const std::size_t body = (static_cast<std::size_t>(prg) * 2 + chr) * 8192 + (trainer ? 512 : 0);
  for (std::size_t i = 0; i < body; ++i) nes.push_back(static_cast<std::uint8_t>(i * 7 + i / 251));
  return nes;
}

void storeDigest(Bytes& image, const Bytes& nes) {
  const std::string hex = sha256Hex(nes.data(), nes.size());
  for (std::size_t i = 0; i < 32; ++i) {
    image[0x7C50 + i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  }
}

TEST(PortImage, DigestTextIsEmptyForBlankDigests) {
  Bytes image = scratch::port(0x8000);
  EXPECT_EQ(PortImage(image).nesDigestText(), "");  // all 0xFF
  std::fill(image.begin() + 0x7C50, image.begin() + 0x7C70, 0x00);
  EXPECT_EQ(PortImage(image).nesDigestText(), "");
  image[0x7C50] = 0xFF;  // a mix of 0x00 and 0xFF still counts as none
  EXPECT_EQ(PortImage(image).nesDigestText(), "");
  image[0x7C6F] = 0xA5;
  EXPECT_EQ(PortImage(image).nesDigestText(),
            "ff000000000000000000000000000000000000000000000000000000000000a5");
  image[0x7C00] = 'X';
  EXPECT_EQ(PortImage(image).nesDigestText(), "");
}

TEST(PortImage, FindsTheEmbeddedNesFileByItsDigest) {
  const Bytes nes = nesFile(1, 1, true);
  Bytes image = scratch::port(0x20000);
  // A decoy signature with the same header but other bytes comes first.
  Bytes decoy = nes;
  decoy[100] ^= 0xFF;
  std::copy(decoy.begin(), decoy.end(), image.begin() + 0x8010);
  const std::size_t at = 0x8010 + 0x7000;
  std::copy(nes.begin(), nes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  storeDigest(image, nes);
  PortImage port(image);
  EXPECT_EQ(port.nesDigestText(), sha256Hex(nes.data(), nes.size()));
  EXPECT_EQ(port.findEmbeddedNes(), static_cast<std::int64_t>(at));
  EXPECT_EQ(port.embeddedNesSize(), nes.size());
  EXPECT_EQ(port.embeddedNes(), nes);
}

TEST(PortImage, EmbeddedScanNeedsAlignmentAndSkipsOverlongSignatures) {
  const Bytes nes = nesFile(1, 0);
  Bytes image = scratch::port(0x10000 + nes.size());
  storeDigest(image, nes);
  // A signature near the end whose declared size runs past the image end comes first...
  const std::size_t overlong = 0x8000;
  image[overlong] = 'N';
  image[overlong + 1] = 'E';
  image[overlong + 2] = 'S';
  image[overlong + 3] = 0x1A;
  image[overlong + 4] = 200;
  // ...then the real file at the last aligned place that holds it.
  const std::size_t at = image.size() - nes.size();
  std::copy(nes.begin(), nes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  EXPECT_EQ(PortImage(image).findEmbeddedNes(), static_cast<std::int64_t>(at));

  // The same file one byte off the 16-byte grid is not found.
  Bytes shifted = scratch::port(0x10000 + nes.size() + 1);
  storeDigest(shifted, nes);
  std::copy(nes.begin(), nes.end(), shifted.begin() + static_cast<std::ptrdiff_t>(at + 1));
  PortImage off(shifted);
  EXPECT_EQ(off.findEmbeddedNes(), -1);
  EXPECT_EQ(off.embeddedNesSize(), 0u);
  EXPECT_TRUE(off.embeddedNes().empty());
}

TEST(PortImage, SignatureFloodEndsTheScanEarly) {
  // Every 16 bytes a signature of a 16 KB file: hashing them all would take gigabytes. The
  // real file lies at the end, past the scan's hashing allowance.
  const Bytes nes = nesFile(1, 0);
  Bytes image = scratch::port(0x200000);
  storeDigest(image, nes);
  for (std::size_t o = 0x8000; o + 16 <= image.size(); o += 16) {
    const std::uint8_t header[6] = {'N', 'E', 'S', 0x1A, 1, 0};
    std::copy(std::begin(header), std::end(header), image.begin() + static_cast<std::ptrdiff_t>(o));
  }
  const std::size_t at = image.size() - nes.size() - 16;
  std::copy(nes.begin(), nes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  EXPECT_EQ(PortImage(image).findEmbeddedNes(), -1);
  // With only a few decoys before it, the same file is found.
  Bytes few = scratch::port(0x200000);
  storeDigest(few, nes);
  for (std::size_t o = 0x8000; o < 0x9000; o += 16) {
    const std::uint8_t header[6] = {'N', 'E', 'S', 0x1A, 1, 0};
    std::copy(std::begin(header), std::end(header), few.begin() + static_cast<std::ptrdiff_t>(o));
  }
  std::copy(nes.begin(), nes.end(), few.begin() + static_cast<std::ptrdiff_t>(at));
  EXPECT_EQ(PortImage(few).findEmbeddedNes(), static_cast<std::int64_t>(at));
}

TEST(PortImage, NoDigestMeansNoEmbeddedCopy) {
  const Bytes nes = nesFile(1, 0);
  Bytes image = scratch::port(0x10000);
  std::copy(nes.begin(), nes.end(), image.begin() + 0x8000);
  EXPECT_EQ(PortImage(image).findEmbeddedNes(), -1);  // digest bytes all 0xFF
}

TEST(PortImage, CopiesAreIndependentValues) {
  PortImage a(scratch::port(0x8000));
  PortImage b = a;
  b.bytes()[0x10] = 0x42;
  EXPECT_EQ(a.bytes()[0x10], 0xFF);
}

}  // namespace
}  // namespace tbp
