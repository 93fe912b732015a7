// Every PortImage reader on a fuzzed image, then a fuzzed sequence of setters. The input builds
// the image: its size, the manifest block, the SNES header, a manifest text and the bytes from
// 0x8000 on. Readers never throw (the glyph and button reads only with their range errors) and
// answer within their bounds; a setter succeeds with the effect it names, or refuses with a
// specified message (or a range error) and leaves the image as it was.
#include "port/port_image.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "formats/checksums.h"
#include "support/fuzz_contract.h"
#include "support/port_refusals.h"

namespace {

using tbp::Bytes;
using tbp::PortImage;
using tbp::fuzz::FuzzInput;
using tbp::fuzz::require;

// Around the size limits of the rules: the first bank, the older build's tables at 0x14000 and
// its MSU-1 tables beyond 0x57E7F. Small images keep the runs fast.
constexpr std::size_t kSizes[] = {0x4000,  0x7FFF,  0x8000,  0xC000,
                                  0x13FFF, 0x14000, 0x20000, 0x58000};
constexpr std::size_t kBlockAt = 0x7C00;
constexpr std::size_t kBlockSize = 0x70;
constexpr std::size_t kHeaderAt = 0x7FC0;
constexpr std::size_t kTextAt = 0x7000;
constexpr std::size_t kLongestText = kBlockAt - kTextAt - 1;
constexpr std::size_t kContentAt = 0x8000;
constexpr std::size_t kMostOperations = 24;

enum Flags : unsigned { kSizeBits = 7, kMagic = 8, kPointToText = 16 };

void place(Bytes& image, std::size_t at, const Bytes& data) {
  if (at >= image.size()) return;
  const std::size_t n = std::min(data.size(), image.size() - at);
  std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n),
            image.begin() + static_cast<std::ptrdiff_t>(at));
}

Bytes imageFrom(FuzzInput& input, unsigned flags, const Bytes& block, const Bytes& header,
                const std::string& text) {
  Bytes image(kSizes[flags & kSizeBits], 0xFF);
  place(image, kBlockAt, block);
  place(image, kHeaderAt, header);
  place(image, kTextAt, Bytes(text.begin(), text.end()));
  place(image, kTextAt + text.size(), {0});
  if (flags & kMagic) place(image, kBlockAt, {'Z', 'U', 'V', 'U'});
  if (flags & kPointToText) place(image, kBlockAt + 0x26, {0x00, 0x70, 0x00, 0x00});
  place(image, kContentAt, input.rest());
  return image;
}

bool isLowerHex(const std::string& text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// The table offsets of a freshly parsed layout, each with the bytes it needs.
void checkLayout(const PortImage& port) {
  const tbp::PortLayout& layout = port.layout();
  require(layout.layoutVersion >= 0 && layout.layoutVersion <= 255, "layout version");
  const std::pair<std::size_t, std::size_t> tables[] = {
      {layout.fonts, 0x3000},      {layout.fontTable, 256},  {layout.symbolsA, 1024},
      {layout.symbolsAHints, 128}, {layout.symbolsB, 1024},  {layout.symbolsBHints, 128},
      {layout.splashTable, 48},    {layout.splashSound, 24}, {layout.config, 32},
      {layout.paletteLuts, 1024},  {layout.msuTracks, 64},   {layout.msuLoops, 64}};
  for (const auto& [offset, bytes] : tables) {
    require(offset == 0 || (offset <= port.bytes().size() && port.bytes().size() - offset >= bytes),
            "a table offset without room for its table");
  }
  for (const int bit : layout.switches) require(bit >= 0 && bit <= 31, "switch bit");
  for (int bit = 0; bit < 32; ++bit) {
    const bool listed =
        std::find(layout.switches.begin(), layout.switches.end(), bit) != layout.switches.end();
    require(port.supportsSwitch(bit) == (layout.switches.empty() || listed), "supportsSwitch");
  }
}

void checkImageReaders(const PortImage& port) {
  const Bytes& bytes = port.bytes();
  require(
      port.isPort() == (bytes.size() >= 0x8000 &&
                        std::equal(bytes.begin() + kBlockAt, bytes.begin() + kBlockAt + 4, "ZUVU")),
      "isPort");
  const tbp::SnesHeader header = port.header();
  require(header.valid == (bytes.size() >= 0x7FE0), "header validity");
  require(!header.hiRom || bytes.size() >= 0xFFE0, "HiROM header in a short image");
  if (header.valid) {
    // The numeric fields are the header's own bytes.
    const std::size_t base = header.hiRom ? 0xFFC0 : kHeaderAt;
    require(header.mapMode == bytes[base + 0x15] && header.romSizeCode == bytes[base + 0x17] &&
                header.version == bytes[base + 0x1B] &&
                header.checksum == (bytes[base + 0x1E] | bytes[base + 0x1F] << 8),
            "header fields");
  }
  require(header.title.size() <= 21 && (header.title.empty() || header.title.back() != ' '),
          "title");
  require(!tbp::describeMapMode(header).empty() && !tbp::describeCartridge(header).empty() &&
              !tbp::describeRegion(header).empty(),
          "empty description");
  const std::size_t content = port.contentSize();
  require(content <= bytes.size() && (content == 0 || bytes[content - 1] != 0xFF) &&
              (content == bytes.size() || (bytes[content] == 0xFF && bytes.back() == 0xFF)),
          "contentSize");
  const std::string digest = port.nesDigestText();
  require(digest.empty() || isLowerHex(digest), "digest text");
  const std::int64_t nes = port.findEmbeddedNes();
  const std::size_t nesSize = port.embeddedNesSize();
  require(nes == -1 || (!digest.empty() && nes >= 0x8000 && nes % 16 == 0 &&
                        static_cast<std::size_t>(nes) + nesSize <= bytes.size()),
          "embedded NES place");
  const Bytes embedded = port.embeddedNes();
  require(embedded.size() == (nes == -1 ? 0 : nesSize), "embedded NES size");
  require(nes == -1 || tbp::sha256Hex(embedded.data(), embedded.size()) == digest,
          "embedded NES digest");
  const std::string text = port.manifestText();
  require(text.find('\0') == std::string::npos && (text.empty() || port.isPort()), "manifest");
  (void)port.portName();
  require(port.paletteSlot() >= 0 && port.paletteSlot() <= 7, "palette slot");
  require(port.chip() >= 0 && port.chip() <= 4, "chip");
  if (!port.hasConfig()) require(port.turboCycle() == 2 && port.chordHold() == 30, "defaults");
  for (int button = 0; button < 12; ++button) {
    try {
      (void)port.buttonAction(button);
      require(bytes.size() > kBlockAt + 8 + button, "button read past the image");
    } catch (const std::out_of_range&) {
      require(bytes.size() <= kBlockAt + 8 + button, "button read refused inside the image");
    }
  }
}

// A glyph of a freshly parsed layout lies inside its validated table; after a resize the
// cached table may lie past the new end, and reading it must then be a range error.
void checkGlyph(const PortImage& port, int font, int glyph, bool fresh) {
  std::size_t offset = 0;
  try {
    offset = port.glyphOffset(font, glyph);
  } catch (const std::out_of_range& e) {
    return require(tbp::fuzz::oneOf(e.what(), {"glyph index", "font id"}), "glyph range error");
  } catch (const std::runtime_error& e) {
    return require(tbp::fuzz::oneOf(e.what(), {"this port has no symbol page A",
                                               "this port has no symbol page B"}),
                   std::string("glyph: ") + e.what());
  }
  const bool inside = offset <= port.bytes().size() && port.bytes().size() - offset >= 8;
  require(inside || !fresh, "glyph offset outside the image");
  try {
    require(port.glyph(font, glyph).size() == 8 && inside, "glyph read outside the image");
  } catch (const std::out_of_range&) {
    require(!inside, "glyph inside the image refused");
  }
}

void checkTableReaders(const PortImage& port, bool fresh) {
  const int fonts = port.fontCount();
  require(fonts >= 0 && fonts <= 16 && (fonts == 0 || port.hasFonts()), "font count");
  for (int f = 0; f < fonts; ++f) {
    const std::string name = port.fontName(f);
    require(name.size() <= 12 && (name.empty() || name.back() != ' '), "font name");
  }
  for (const int font : {-1, 0, fonts - 1, fonts, tbp::symbolPageA, tbp::symbolPageB}) {
    for (const int glyph : {-1, 0, 95, 96, 127, 128}) checkGlyph(port, font, glyph, fresh);
  }
  for (const int page : {tbp::symbolPageA, tbp::symbolPageB}) {
    for (const int symbol : {0, 127}) {
      const int hint = port.symbolHint(page, symbol);
      require(hint >= 0 && hint <= 7, "symbol hint");
    }
  }
  for (int slot = -1; slot <= 3; ++slot) {
    require(!port.splashSoundPresent(slot) || (port.hasSplashSounds() && slot >= 0 && slot <= 2),
            "splash sound present without a table");
  }
  for (const tbp::MsuSong& song : port.msuSongs()) {
    require(port.hasMsu1() && song.index >= 0 && song.index <= 63, "MSU-1 song");
  }
  for (const int song : {-1, 0, 31, 63, 64}) {
    const int track = port.msuTrack(song);
    require(track >= -1 && track <= 253, "MSU-1 track");
    require(port.hasMsu1() || (track == -1 && !port.msuLoop(song)), "MSU-1 without tables");
  }
}

void checkReaders(const PortImage& port, bool fresh) {
  const Bytes before = port.bytes();
  try {
    checkImageReaders(port);
    checkTableReaders(port, fresh);
  } catch (const std::exception& e) {
    tbp::fuzz::fail(std::string("a reader threw: ") + e.what());
  }
  require(port.bytes() == before, "a reader changed the image");
}

// One setter from four input bytes, with the effect it must have when it succeeds.
void runOperation(PortImage& port, std::uint8_t kind, std::uint8_t a, std::uint8_t b,
                  std::uint8_t c) {
  const auto value = [](std::uint8_t x) { return static_cast<int>(x) - 64; };
  switch (kind % 12) {
    case 0:
      port.setSwitch(a % 32, b & 1);
      return require(((port.flags() >> (a % 32)) & 1) == (b & 1u), "setSwitch");
    case 1:
      port.setPaletteSlot(value(a));
      return require(port.paletteSlot() == (value(a) & 7), "setPaletteSlot");
    case 2:
      port.setButtonAction(a % 12, b);
      return require(port.buttonAction(a % 12) == b, "setButtonAction");
    case 3:
      port.setChip(a % 6);
      return require(port.chip() == a % 6 && port.checksumValid(), "setChip");
    case 4: {
      // Valid and invalid sizes around the limits (1 MB and 2 MB chip reach, 4 MB LoROM). Only
      // a few values of `a` pick the large ones, since every later step works on the whole
      // image.
      const std::size_t small[] = {0x7000,  0x8000,  0x18000,
                                   0x28000, 0x2C000, tbp::snesRomSize(port.contentSize())};
      const std::size_t large[] = {0x100000, 0x180000, 0x280000, 0x2C0000, 0x400000, 0x600000};
      const std::size_t size = a < 0xF8 ? small[a % std::size(small)] : large[(a - 0xF8) % 6];
      const std::size_t rounded = tbp::snesRomSize(size);
      require(rounded >= size && rounded % 0x8000 == 0 && tbp::snesRomSize(rounded) == rounded,
              "snesRomSize");
      port.setRomSize(size);
      return require(port.bytes().size() == size && port.checksumValid(), "setRomSize");
    }
    case 5:
      port.setTurboCycle(value(a));
      return require(!port.hasConfig() || port.turboCycle() == std::clamp(value(a), 2, 60),
                     "setTurboCycle");
    case 6:
      port.setChordHold(value(a) * 4);
      return require(!port.hasConfig() || port.chordHold() == std::clamp(value(a) * 4, 1, 255),
                     "setChordHold");
    case 7: {
      const int fonts[] = {0, 1, 15, 16, -1, tbp::symbolPageA, tbp::symbolPageB};
      const int font = fonts[a % std::size(fonts)];
      const Bytes rows(b % 10, c);
      const int glyph = value(b) + 64 - 8;
      port.setGlyph(font, glyph, rows);
      const Bytes written = port.glyph(font, glyph);
      return require(std::equal(written.begin(), written.begin() + std::min<int>(rows.size(), 8),
                                rows.begin()),
                     "setGlyph");
    }
    case 8: {
      const int page = a & 1 ? tbp::symbolPageA : tbp::symbolPageB;
      const std::size_t hints =
          page == tbp::symbolPageA ? port.layout().symbolsAHints : port.layout().symbolsBHints;
      const bool held = hints != 0 && value(b) >= 0 && value(b) < 128 &&
                        hints + static_cast<std::size_t>(value(b)) < port.bytes().size();
      port.setSymbolHint(page, value(b), c);
      return require(!held || port.symbolHint(page, value(b)) == (c & 7), "setSymbolHint");
    }
    case 9:
      port.clearSplashSound(a % 5 - 1);
      return require(!port.splashSoundPresent(a % 5 - 1), "clearSplashSound");
    case 10: {
      const int song = a % 66 - 1;
      const int before = port.msuTrack(song);
      port.setMsuTrack(song, value(b));
      const int after = port.msuTrack(song);
      return require(!port.hasMsu1() || song < 0 || song > 63 || value(b) < 0
                         ? after == -1 || after == before
                         : after == value(b) || after == before,
                     "setMsuTrack");
    }
    default:
      port.setMsuLoop(a % 66 - 1, b & 1);
      return require(port.msuLoop(a % 66 - 1) ==
                         (port.hasMsu1() && a % 66 - 1 >= 0 && a % 66 - 1 <= 63 && (b & 1)),
                     "setMsuLoop");
  }
}

void guarded(PortImage& port, std::uint8_t kind, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  const Bytes before = port.bytes();
  try {
    runOperation(port, kind, a, b, c);
  } catch (const std::out_of_range&) {
    require(port.bytes() == before, "a range error after a change");
  } catch (const std::runtime_error& e) {
    require(tbp::testkit::portRefusals().count(e.what()) == 1,
            std::string("refused with: ") + e.what());
    require(port.bytes() == before, "a refusal after a change");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const unsigned flags = input.byte();
  const Bytes block = input.bytes(kBlockSize);
  const Bytes header = input.bytes(0x20);
  const Bytes operations = input.bytes(4 * std::min<std::size_t>(input.byte(), kMostOperations));
  std::string text = input.text();
  text.resize(std::min(text.size(), kLongestText));
  PortImage port(imageFrom(input, flags, block, header, text));
  checkReaders(port, true);
  checkLayout(port);
  for (std::size_t at = 0; at + 4 <= operations.size(); at += 4) {
    guarded(port, operations[at], operations[at + 1], operations[at + 2], operations[at + 3]);
  }
  checkReaders(port, false);
  return 0;
}
