// The header report on LoROM, HiROM and ExHiROM images built here, with and without a copier
// header, against checksums summed independently over the mirrored image.
#include "build/snes_header_report.h"

#include <gtest/gtest.h>

using tbp::Bytes;
using tbp::SnesMapping;

namespace {

struct Layout {
  SnesMapping mapping;
  std::size_t size;
  std::size_t header;
  std::uint8_t mapMode;
  std::uint8_t romCode;
};

// Filler below 0x20 so that no other place looks like a header.
Bytes image(const Layout& layout, const std::string& title) {
  Bytes bytes(layout.size);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t((i * 7 + i / 4099) % 0x20);
  const std::size_t h = layout.header;
  for (std::size_t i = 0; i < 21; ++i) bytes[h + i] = i < title.size() ? title[i] : ' ';
  const std::uint8_t fields[] = {layout.mapMode, 0x02, layout.romCode, 0x03, 0x01, 0x33, 0x02};
  std::copy(std::begin(fields), std::end(fields), bytes.begin() + std::ptrdiff_t(h + 0x15));
  bytes[h + 0x3C] = 0x00;  // reset vector $8000
  bytes[h + 0x3D] = 0x80;
  return bytes;
}

// The SNES rule spelled out: the image mirrored up to the next power of two, summed whole, with
// the checksum bytes counted as FF FF 00 00.
std::uint16_t mirroredSum(Bytes bytes, std::size_t header) {
  bytes[header + 0x1C] = 0xFF, bytes[header + 0x1D] = 0xFF;
  bytes[header + 0x1E] = 0x00, bytes[header + 0x1F] = 0x00;
  std::size_t power = 1;
  while (power * 2 <= bytes.size()) power *= 2;
  const Bytes tail(bytes.begin() + std::ptrdiff_t(power), bytes.end());
  while (bytes.size() < 2 * power && !tail.empty()) bytes.insert(bytes.end(), tail.begin(), tail.end());
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : bytes) sum += byte;
  return std::uint16_t(sum);
}

void storeChecksum(Bytes& bytes, std::size_t header, std::uint16_t checksum) {
  bytes[header + 0x1C] = std::uint8_t(~checksum), bytes[header + 0x1D] = std::uint8_t(~checksum >> 8);
  bytes[header + 0x1E] = std::uint8_t(checksum), bytes[header + 0x1F] = std::uint8_t(checksum >> 8);
}

const Layout kLayouts[] = {
    {SnesMapping::LoRom, 0x100000, 0x7FC0, 0x20, 0x0A},
    {SnesMapping::HiRom, 0x200000, 0xFFC0, 0x31, 0x0B},
    {SnesMapping::ExHiRom, 0x600000, 0x40FFC0, 0x35, 0x0D},
};

}  // namespace

TEST(SnesHeaderReport, FindsTheRealHeaderOfEachLayoutWithAndWithoutCopierHeader) {
  for (const Layout& layout : kLayouts) {
    Bytes rom = image(layout, "HEADER TEST");
    const std::uint16_t right = mirroredSum(rom, layout.header);
    storeChecksum(rom, layout.header, right);
    for (const bool copier : {false, true}) {
      Bytes file = rom;
      if (copier) file.insert(file.begin(), 512, 0x00);
      const tbp::SnesHeaderReport report = tbp::snesHeaderReport(file);
      const std::string label = tbp::mappingName(layout.mapping) + (copier ? " + copier" : "");
      ASSERT_TRUE(report.found) << label;
      EXPECT_EQ(report.copierHeader, copier) << label;
      EXPECT_EQ(report.chosen.mapping, layout.mapping) << label;
      EXPECT_EQ(report.chosen.offset, layout.header) << label;
      EXPECT_EQ(report.header.title, "HEADER TEST") << label;
      EXPECT_EQ(report.imageSize, layout.size) << label;
      EXPECT_TRUE(report.romSizeFits) << label;
      EXPECT_EQ(report.declaredRamKb, 8u) << label;
      EXPECT_EQ(report.region, "USA / Canada") << label;
      EXPECT_EQ(report.rightChecksum, right) << label;
      EXPECT_TRUE(report.checksumValid) << label;
    }
  }
}

TEST(SnesHeaderReport, NamesAWrongChecksumAndASizeThatDoesNotFit) {
  const Layout lo = kLayouts[0];
  Bytes rom = image(lo, "WRONG");
  rom[lo.header + 0x17] = 0x09;  // 512 KB declared for a 1 MB file
  const std::uint16_t right = mirroredSum(rom, lo.header);
  storeChecksum(rom, lo.header, std::uint16_t(right + 1));
  const tbp::SnesHeaderReport report = tbp::snesHeaderReport(rom);
  EXPECT_EQ(report.chosen.mapping, SnesMapping::LoRom);
  EXPECT_FALSE(report.checksumValid);
  EXPECT_EQ(report.header.checksum, std::uint16_t(right + 1));
  EXPECT_EQ(report.rightChecksum, right);
  EXPECT_EQ(report.rightComplement, std::uint16_t(~right));
  EXPECT_EQ(report.declaredRomKb, 512u);
  EXPECT_FALSE(report.romSizeFits);
  // Even with a broken checksum the header's other fields keep LoROM ahead of HiROM.
  ASSERT_EQ(report.candidates.size(), 2u);
  EXPECT_GT(report.candidates[0].score, report.candidates[1].score);
}

TEST(SnesHeaderReport, ShortFilesHaveNoCandidateAndOtherFilesNoPlausibleHeader) {
  EXPECT_FALSE(tbp::snesHeaderReport(Bytes(0x7FDF, 0)).found);
  const tbp::SnesHeaderReport zeros = tbp::snesHeaderReport(Bytes(0x8000, 0));
  EXPECT_EQ(zeros.candidates.size(), 1u);
  EXPECT_FALSE(zeros.plausible);
  EXPECT_TRUE(tbp::snesHeaderReport(image(kLayouts[0], "GAME")).plausible);
}
