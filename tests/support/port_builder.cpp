#include "support/port_builder.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "formats/checksums.h"
#include "support/port_parts.h"
#include "support/random.h"

namespace tbp::testkit {
namespace {

using detail::putByte;
using detail::putBytes;
using detail::putDword;
using detail::putText;
using detail::putWord;

constexpr std::size_t kBank = 0x4000;    // an NES program bank
constexpr std::size_t kWindow = 0x1000;  // copies sit on 4 KB boundaries
constexpr std::size_t kDefaultSize = 0x100000;
constexpr std::size_t kEngineBank2 = 0x8000;
constexpr std::size_t kSymbolTable = 0xE000;
constexpr std::size_t kManifestAt = 0x14100;
constexpr std::size_t kManifestEnd = 0x15000;
constexpr std::size_t kSplashSamples[2] = {0x15000, 0x15800};
constexpr std::size_t kGraphicsAt = 0x18000;
// The older "RO1" build keeps its MSU-1 tables here; nothing else may use these bytes.
constexpr std::size_t kOlderMsuTracks = 0x57E00;
constexpr std::size_t kOlderMsuEnd = 0x57E80;

// Offsets inside the fixed NES bank that the engine rewrites in its patched copy: hooks on the
// reset path, the NMI handler and the IRQ handler (a JSL into the engine, four bytes each).
constexpr std::size_t kHookOffsets[3] = {0x0006, 0x0100, 0x01F0};

struct NesParts {
  tbp::Bytes program;
  tbp::Bytes graphics;
};

NesParts splitNes(const tbp::Bytes& nes) {
  if (nes.size() < 16 || nes[0] != 'N' || nes[1] != 'E' || nes[2] != 'S' || nes[3] != 0x1A)
    throw std::invalid_argument("makePortImage needs an NES file with an iNES header");
  const std::size_t start = 16 + ((nes[6] & 4) ? 512 : 0);
  const std::size_t prg = nes[4] * kBank;
  const std::size_t chr = nes[5] * std::size_t{0x2000};
  if (prg == 0 || nes.size() < start + prg + chr)
    throw std::invalid_argument("makePortImage: the NES file is shorter than its header says");
  const auto begin = nes.begin() + static_cast<long>(start);
  return {tbp::Bytes(begin, begin + static_cast<long>(prg)),
          tbp::Bytes(begin + static_cast<long>(prg), begin + static_cast<long>(prg + chr))};
}

std::size_t alignUp(std::size_t value, std::size_t step) {
  return (value + step - 1) / step * step;
}

std::string defaultPortName(const PortOptions& o) {
  if (!o.portName.empty()) return o.portName;
  return o.manifest == ManifestKind::OlderBuild ? "RO1 Bexulo engine 0.9" : "ZV1 Bexulo engine 1.4";
}

void validate(const PortOptions& o) {
  const int maxFonts = o.manifest == ManifestKind::OlderBuild ? 12 : 16;
  if (o.fontCount < 0 || o.fontCount > maxFonts) throw std::invalid_argument("fontCount");
  if (o.chip < 0 || o.chip > 4) throw std::invalid_argument("chip must be 0..4");
  if (o.paletteSlot < 0 || o.paletteSlot > 7) throw std::invalid_argument("paletteSlot 0..7");
  if (o.title.size() > 21) throw std::invalid_argument("an SNES title has at most 21 characters");
  if (o.symbolPageB && !o.symbolPages) throw std::invalid_argument("symbolPageB needs symbolPages");
}

// Table places of a port whose manifest lists them ("tables", layout 1 and the variants that
// keep the same bytes but describe them differently).
void placeTables(const PortOptions& o, PortPlaces& p) {
  if (o.fontCount > 0) {
    p.fonts = 0x10000;
    p.fontTable = 0x13000;
  }
  if (o.symbolPages) {
    p.symbolsA = 0x13100;
    p.symbolsAHints = 0x13900;
  }
  if (o.symbolPageB) {
    p.symbolsB = 0x13500;
    p.symbolsBHints = 0x13980;
  }
  if (o.paletteLuts) {
    p.splashTable = 0x13A00;
    p.paletteLuts = 0x13C00;
  }
  if (o.splashSounds) p.splashSound = 0x13A40;
  if (o.config) p.config = 0x13A60;
  if (o.msu1) {
    p.msuTracks = 0x14000;
    p.msuLoops = 0x14040;
  }
}

// The fixed places of the older build; a table the options leave out stays zero-filled there.
void placeOlderTables(const PortOptions& o, PortPlaces& p) {
  p.fonts = 0x10000;
  p.fontTable = 0x12800;
  p.symbolsA = o.symbolPages ? 0x12900 : 0;
  p.symbolsAHints = o.symbolPages ? 0x12D00 : 0;
  p.symbolsB = o.symbolPageB ? 0x12400 : 0;
  p.symbolsBHints = o.symbolPageB ? 0x12D80 : 0;
  p.splashTable = o.paletteLuts ? 0x12E00 : 0;
  p.splashSound = o.splashSounds ? 0x12E60 : 0;
  p.config = o.config ? 0x13B00 : 0;
  p.paletteLuts = o.paletteLuts ? 0x13C00 : 0;
  if (o.msu1) {
    p.msuTracks = kOlderMsuTracks;
    p.msuLoops = kOlderMsuTracks + 0x40;
  }
}

// Places the program bank copies, the graphics and the embedded NES file after the tables and
// returns the end of the content. The older build's MSU-1 tables are stepped over.
std::size_t placeNesData(const PortOptions& o, const NesParts& nes, std::size_t nesSize,
                         PortPlaces& p) {
  std::size_t cursor = kGraphicsAt;
  auto take = [&](std::size_t size, std::size_t align) {
    std::size_t at = alignUp(cursor, align);
    if (o.manifest == ManifestKind::OlderBuild && o.msu1 && at < kOlderMsuEnd &&
        at + size > kOlderMsuTracks)
      at = alignUp(kOlderMsuEnd, align);
    cursor = at + size;
    return at;
  };
  p.graphics = nes.graphics.empty() ? 0 : take(nes.graphics.size() * 2, 0x10);
  const std::size_t banks = nes.program.size() / kBank;
  p.bankCopies.assign(banks, {});
  if (o.bankCopies) {
    for (std::size_t b = 0; b < banks; ++b) p.bankCopies[b].push_back(take(kBank, kBank));
    // The engine's patched copy of the fixed bank sits on a 4 KB boundary that is not a 16 KB one.
    cursor = alignUp(cursor, kBank) + kWindow;
    p.changedCopy = take(kBank, kWindow);
    p.bankCopies[banks - 1].push_back(p.changedCopy);
  }
  if (o.embedNes) {
    // 16-byte aligned but off the 4 KB grid, as a base patch appends it.
    cursor = alignUp(cursor, kWindow) + 0x10;
    p.embeddedNes = take(nesSize, 0x10);
    p.embeddedNesSize = nesSize;
  }
  return std::max(cursor, kSplashSamples[1] + 0x400);
}

// Interleaves each 2bpp NES tile into the first two planes of a 4bpp SNES tile.
tbp::Bytes toSnesTiles(const tbp::Bytes& chr) {
  tbp::Bytes out(chr.size() * 2, 0);
  for (std::size_t tile = 0; tile * 16 < chr.size(); ++tile)
    for (std::size_t row = 0; row < 8; ++row) {
      out[tile * 32 + row * 2] = chr[tile * 16 + row];
      out[tile * 32 + row * 2 + 1] = chr[tile * 16 + 8 + row];
    }
  return out;
}

void writeEngine(tbp::Bytes& image, const PortOptions& o) {
  Random random(o.seed, 0xE61);
  auto fill = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) image[i] = static_cast<std::uint8_t>(random.next());
  };
  fill(0, kZuvuBlock);
  fill(kNesDigest + 32, kLoRomHeader - 3);  // up to the extended header's last bytes
  fill(kEngineBank2, 0x10000);
  // 65816 vectors at the end of the first bank: every handler inside the engine bank.
  for (std::size_t v = 0x7FE4; v < 0x8000; v += 2)
    putWord(image, v, static_cast<std::uint16_t>(0x8000 + (v - 0x7FE0) * 0x10));
  putDword(image, 0x7FE0, 0);
  // The engine's symbol table: 32 entries of a 5-letter name and a 24-bit address.
  for (std::size_t i = 0; i < 32; ++i) {
    char name[6];
    std::snprintf(name, sizeof name, "SYM%02zu", i);
    putText(image, kSymbolTable + i * 8, name);
    detail::putLong(image, kSymbolTable + i * 8 + 5,
                    static_cast<std::uint32_t>(0x808000 + i * 0x40));
  }
}

std::uint32_t switchWord(const PortOptions& o) {
  std::uint32_t word = (1u << 3) | (1u << 22);  // engine-owned bits the tool must preserve
  for (int bit : o.switchesOn) word |= 1u << (bit & 31);
  word &= ~1u;
  if (o.fastRom && o.chip == 0) word |= 1u;
  word = (word & ~(7u << 15)) | static_cast<std::uint32_t>(o.paletteSlot) << 15;
  return word;
}

tbp::Bytes digestBytes(const tbp::Bytes& nes) {
  const std::string hex = tbp::sha256Hex(nes.data(), nes.size());
  tbp::Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

void writeZuvuBlock(tbp::Bytes& image, const PortOptions& o, const tbp::Bytes& nes, PortPlaces& p) {
  putText(image, kZuvuBlock, "ZUVU");
  putBytes(image, kZuvuBlock + 4, {1, 4, 0, 0});  // engine version, kept by the tool
  putBytes(image, kButtonMap,
           tbp::Bytes(std::begin(kDefaultButtonMap), std::end(kDefaultButtonMap)));
  p.switchWord = switchWord(o);
  putDword(image, kSwitchWord, p.switchWord);
  const std::size_t freeStart = std::min(alignUp(p.contentEnd, kWindow), p.imageSize);
  putDword(image, kFreeSpaceStart, static_cast<std::uint32_t>(freeStart));
  putDword(image, kFreeSpaceLength, static_cast<std::uint32_t>(p.imageSize - freeStart));
  putDword(image, kSymbolTablePointer, static_cast<std::uint32_t>(p.symbolTable));
  putWord(image, kSymbolTablePointer + 4, 32);
  putDword(image, kManifestPointer, static_cast<std::uint32_t>(p.manifestText));
  for (std::size_t i = kManifestPointer + 4; i < kNesDigest; ++i) image[i] = 0;
  const tbp::Bytes digest = o.storeNesDigest ? digestBytes(nes) : tbp::Bytes(32, 0xFF);
  putBytes(image, kNesDigest, digest);
}

void writeHeader(tbp::Bytes& image, const PortOptions& o, std::size_t size) {
  std::string title = o.title;
  title.resize(21, ' ');
  putText(image, kLoRomHeader, title);
  std::uint8_t mapMode = o.fastRom ? 0x30 : 0x20;
  std::uint8_t cartType = 0x02;
  std::uint8_t expansionRam = 0xFF;
  if (o.chip == 4) {
    mapMode = 0x23, cartType = 0x32;
  } else if (o.chip != 0) {
    mapMode = 0x20, cartType = 0x15, expansionRam = 0x05;
  }
  int code = 1;
  while ((std::size_t{1024} << code) < size) ++code;
  putByte(image, 0x7FBD, expansionRam);
  putBytes(image, kLoRomHeader + 0x15,
           {mapMode, cartType, static_cast<std::uint8_t>(code), 0x03, 0x01, 0x33, 0x00});
}

void writeNesData(tbp::Bytes& image, const NesParts& parts, const tbp::Bytes& nes, PortPlaces& p) {
  if (p.graphics != 0) putBytes(image, p.graphics, toSnesTiles(parts.graphics));
  for (std::size_t b = 0; b < p.bankCopies.size(); ++b)
    for (std::size_t copy : p.bankCopies[b])
      putBytes(image, copy,
               tbp::Bytes(parts.program.begin() + static_cast<long>(b * kBank),
                          parts.program.begin() + static_cast<long>((b + 1) * kBank)));
  if (p.changedCopy != 0) {
    for (std::size_t hook : kHookOffsets) {
      const tbp::Bytes jsl{0x22, static_cast<std::uint8_t>(hook), 0x90, 0x80};
      for (std::size_t i = 0; i < jsl.size(); ++i) {
        const std::size_t at = p.changedCopy + hook + i;
        // A hook byte that happens to equal the NES byte would not be a change at all.
        image[at] = image[at] == jsl[i] ? static_cast<std::uint8_t>(jsl[i] ^ 0x80) : jsl[i];
        p.changedOffsets.push_back(hook + i);
      }
    }
  }
  if (p.embeddedNes != 0) putBytes(image, p.embeddedNes, nes);
}

// Chooses every place and the image size before a byte is written.
PortPlaces planPort(const PortOptions& o, const NesParts& parts, std::size_t nesSize) {
  PortPlaces p;
  if (o.manifest == ManifestKind::OlderBuild)
    placeOlderTables(o, p);
  else
    placeTables(o, p);
  if (o.splashSounds) p.splashSamples = {kSplashSamples[0], kSplashSamples[1], 0};
  p.symbolTable = kSymbolTable;
  std::size_t plannedEnd = placeNesData(o, parts, nesSize, p);
  if (o.manifest == ManifestKind::OlderBuild && o.msu1)
    plannedEnd = std::max(plannedEnd, kOlderMsuEnd);
  std::size_t size = o.romSize;
  if (size == 0) {
    size = kDefaultSize;
    while (size < plannedEnd) size *= 2;
  }
  if (size < plannedEnd) throw std::invalid_argument("romSize is smaller than the content");
  p.imageSize = size;
  return p;
}

void writeManifest(tbp::Bytes& image, const PortOptions& o, PortPlaces& p) {
  if (o.manifest == ManifestKind::Missing) return;
  p.manifestText = kManifestAt;
  p.manifest = detail::manifestText(o, p, defaultPortName(o));
  if (p.manifest.size() >= kManifestEnd - kManifestAt)
    throw std::invalid_argument("the manifest text outgrew its place");
  putText(image, kManifestAt, p.manifest);
  putByte(image, kManifestAt + p.manifest.size(), 0);
}

}  // namespace

PortFixture makePortFixture(const tbp::Bytes& nes, const PortOptions& o) {
  validate(o);
  const NesParts parts = splitNes(nes);
  PortFixture fixture;
  fixture.places = planPort(o, parts, nes.size());
  PortPlaces& p = fixture.places;
  tbp::Bytes& image = fixture.image;
  image.assign(p.imageSize, 0xFF);
  std::fill(image.begin() + 0x10000, image.begin() + static_cast<long>(kGraphicsAt), 0);
  writeEngine(image, o);
  detail::writeFonts(image, o, p);
  detail::writeSymbols(image, p);
  detail::writeSplash(image, o, p);
  detail::writePalettes(image, p);
  detail::writeConfig(image, o, p);
  detail::writeMsuTables(image, o, p);
  writeNesData(image, parts, nes, p);
  writeManifest(image, o, p);
  // The content ends where the trailing run of free space begins: a last NES byte of 0xFF
  // already counts as free space, exactly as the tool measures it.
  const auto lastUsed =
      std::find_if(image.rbegin(), image.rend(), [](std::uint8_t b) { return b != 0xFF; });
  p.contentEnd = static_cast<std::size_t>(image.rend() - lastUsed);
  writeZuvuBlock(image, o, nes, p);
  writeHeader(image, o, p.imageSize);
  writeSnesChecksum(image);
  return fixture;
}

tbp::Bytes makePortImage(const tbp::Bytes& nes, const PortOptions& options) {
  return makePortFixture(nes, options).image;
}

void writeSnesChecksum(tbp::Bytes& image) {
  if (image.size() < 0x8000) return;
  putBytes(image, 0x7FDC, {0xFF, 0xFF, 0x00, 0x00});
  std::size_t base = 1;
  while (base * 2 <= image.size()) base *= 2;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < base; ++i) sum += image[i];
  const std::size_t rest = image.size() - base;
  if (rest > 0) {
    std::uint32_t tail = 0;
    for (std::size_t i = base; i < image.size(); ++i) tail += image[i];
    sum += tail * static_cast<std::uint32_t>(base / rest);
  }
  putWord(image, 0x7FDC, static_cast<std::uint16_t>(~sum & 0xFFFF));
  putWord(image, 0x7FDE, static_cast<std::uint16_t>(sum & 0xFFFF));
}

}  // namespace tbp::testkit
