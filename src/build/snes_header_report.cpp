// Finds the real internal header of any SNES ROM by scoring each possible place from its own
// fields, as header checkers do, and checks what it declares against the file.
#include "build/snes_header_report.h"

#include <algorithm>

namespace tbp {
namespace {

constexpr std::size_t kComplementInHeader = 0x1C;
constexpr std::size_t kResetVectorInHeader = 0x3C;  // the emulation-mode reset vector
constexpr std::size_t kHeaderWithVectors = 0x40;
// Below this a file's best place holds no header worth reporting (a file of another kind).
constexpr int kPlausibleScore = 6;

struct Layout {
  SnesMapping mapping;
  std::size_t offset;
};
constexpr Layout kLayouts[] = {{SnesMapping::LoRom, 0x7FC0},
                               {SnesMapping::HiRom, 0xFFC0},
                               {SnesMapping::ExHiRom, 0x40FFC0}};

// The low nibble of the map mode each layout declares (with or without FastROM in bit 4).
bool mapModeFits(SnesMapping mapping, std::uint8_t mapMode) {
  if ((mapMode & 0xE0) != 0x20) return false;
  const int type = mapMode & 0x0F;
  switch (mapping) {
    case SnesMapping::LoRom: return type == 0 || type == 2 || type == 3;
    case SnesMapping::HiRom: return type == 1 || type == 0xA;
    case SnesMapping::ExHiRom: return type == 5;
  }
  return false;
}

int scoreAt(const Bytes& image, const Layout& layout) {
  const SnesHeader header = snesHeaderAt(image, layout.offset);
  int score = 0;
  if ((header.checksum ^ header.complement) == 0xFFFF) score += 4;
  if (mapModeFits(layout.mapping, header.mapMode)) score += 3;
  const std::size_t titleEnd = layout.offset + 21;
  if (std::all_of(image.begin() + std::ptrdiff_t(layout.offset),
                  image.begin() + std::ptrdiff_t(titleEnd),
                  [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; }))
    score += 2;
  if (header.romSizeCode >= 0x07 && header.romSizeCode <= 0x0D) score += 1;
  if (header.ramSizeCode <= 0x08) score += 1;
  if (header.region <= 0x14) score += 1;
  if (header.developer == 0x33) score += 1;  // the extended header of later games
  // Code starts in the upper half of a bank on every layout.
  if (layout.offset + kHeaderWithVectors <= image.size()) {
    const std::size_t at = layout.offset + kResetVectorInHeader;
    if ((image[at] | image[at + 1] << 8) >= 0x8000) score += 2;
  }
  return score;
}

std::uint64_t kilobytesOf(std::uint8_t code) { return code >= 1 && code <= 0x10 ? 1ull << code : 0; }

void describe(const Bytes& image, SnesHeaderReport& report) {
  report.header = snesHeaderAt(image, report.chosen.offset);
  report.header.hiRom = report.chosen.mapping != SnesMapping::LoRom;
  report.mapMode = describeMapMode(report.header);
  report.cartridge = describeCartridge(report.header);
  report.region = describeRegion(report.header);
  report.declaredRomKb = kilobytesOf(report.header.romSizeCode);
  report.declaredRamKb = report.header.ramSizeCode == 0 ? 0 : kilobytesOf(report.header.ramSizeCode);
  const std::uint64_t declared = report.declaredRomKb * kKilobyte;
  report.romSizeFits = image.size() <= declared && image.size() * 2 > declared;
  report.rightChecksum = snesChecksum(image, report.chosen.offset + kComplementInHeader);
  report.rightComplement = static_cast<std::uint16_t>(~report.rightChecksum);
  report.checksumValid = report.header.checksum == report.rightChecksum &&
                         report.header.complement == report.rightComplement;
}

}  // namespace

std::string mappingName(SnesMapping mapping) {
  switch (mapping) {
    case SnesMapping::LoRom: return "LoROM";
    case SnesMapping::HiRom: return "HiROM";
    case SnesMapping::ExHiRom: return "ExHiROM";
  }
  return "?";
}

namespace {

// The report on an image without copier header.
SnesHeaderReport reportOnImage(const Bytes& image) {
  SnesHeaderReport report;
  report.imageSize = image.size();
  for (const Layout& layout : kLayouts) {
    if (layout.offset + 0x20 > image.size()) continue;
    report.candidates.push_back({layout.mapping, layout.offset, scoreAt(image, layout)});
    if (!report.found || report.candidates.back().score > report.chosen.score)
      report.chosen = report.candidates.back();
    report.found = true;
  }
  if (report.found) describe(image, report);
  report.plausible = report.found && report.chosen.score >= kPlausibleScore;
  return report;
}

}  // namespace

// Only a file with a copier header is copied (without it): any other file is its own image.
SnesHeaderReport snesHeaderReport(const Bytes& file) {
  if (file.size() % kKilobyte != kCopierHeaderSize) return reportOnImage(file);
  SnesHeaderReport report =
      reportOnImage(Bytes(file.begin() + std::ptrdiff_t(kCopierHeaderSize), file.end()));
  report.copierHeader = true;
  return report;
}

}  // namespace tbp
