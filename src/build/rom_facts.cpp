#include "build/rom_facts.h"

#include <exception>
#include <utility>

#include "build/files.h"
#include "formats/checksums.h"
#include "formats/json.h"

namespace tbp {
namespace {

constexpr int kLargestSizeExponent = 15;

// 2 to the power of a size byte, in KB; a byte above 15 names no real size and gives 0.
std::uint64_t sizeClassKb(std::uint8_t exponent) {
  return exponent > kLargestSizeExponent ? 0 : std::uint64_t(1) << exponent;
}

// The "spec" string of the manifest text, or empty when there is none or the text does not parse.
std::string manifestSpec(const PortImage& image) {
  try {
    const JsonValue root = parseJson(image.manifestText());
    const JsonValue& spec = root.get("spec");
    if (spec.kind() == JsonKind::String) return spec.text();
  } catch (const std::exception&) {
    // A manifest that does not parse has no spec to show.
  }
  return std::string();
}

void sortSwitches(const PortImage& image, ManifestFacts& facts) {
  for (const SwitchInfo& info : switchTable()) {
    if (!image.supportsSwitch(info.bit)) continue;
    if ((facts.flags >> info.bit) & 1U)
      facts.switchesOn.push_back(info);
    else
      facts.switchesOff.push_back(info);
  }
}

}  // namespace

Digests digestsOf(const Bytes& data) {
  return {data.size(), crc16(data.data(), data.size()), crc32(data.data(), data.size()),
          sha256Hex(data.data(), data.size())};
}

SnesImageFacts snesImageFacts(const PortImage& image) {
  return snesImageFacts(image, digestsOf(image.bytes()));
}

SnesImageFacts snesImageFacts(const PortImage& image, Digests digests) {
  SnesImageFacts facts;
  facts.digests = std::move(digests);
  facts.header = image.header();
  if (!facts.header.valid) return facts;
  facts.mapMode = describeMapMode(facts.header);
  facts.cartridge = describeCartridge(facts.header);
  facts.region = describeRegion(facts.header);
  facts.romSizeClassKb = sizeClassKb(facts.header.romSizeCode);
  facts.sramKb = facts.header.ramSizeCode == 0 ? 0 : sizeClassKb(facts.header.ramSizeCode);
  facts.checksumValid = image.checksumValid();
  return facts;
}

ManifestFacts manifestFacts(const PortImage& image, const PortImage& saved) {
  ManifestFacts facts;
  facts.portName = image.portName();
  facts.spec = manifestSpec(image);
  facts.layoutName = image.layout().layoutName;
  facts.switchesListed = image.layout().switches.size();
  facts.flags = image.flags();
  sortSwitches(image, facts);
  facts.paletteSlot = image.paletteSlot();
  facts.chip = image.chip();
  for (int font = 0; font < image.fontCount(); ++font)
    facts.fontNames.push_back(image.fontName(font));
  for (int slot = 0; slot < PortImage::kSplashSoundSlots; ++slot)
    if (image.splashSoundPresent(slot)) facts.splashSounds.push_back(slot + 1);
  facts.hasMsu1 = image.hasMsu1();
  facts.songs = image.msuSongs();
  for (const MsuSong& song : facts.songs)
    if (image.msuTrack(song.index) != -1) ++facts.songsReplaced;
  facts.contentEnd = saved.contentSize();
  facts.smallestSize = snesRomSize(facts.contentEnd);
  return facts;
}

SourceNesFacts sourceNesFacts(const PortImage& image, const GameEntry* knownGame,
                              const GameDatabase* database) {
  SourceNesFacts facts;
  facts.expectedSha256 = image.nesDigestText();
  facts.game = knownGame;
  if (!facts.game && database && !facts.expectedSha256.empty())
    for (const GameEntry& entry : database->games)
      if (entry.nesSha256 == facts.expectedSha256) facts.game = &entry;
  facts.embeddedOffset = image.findEmbeddedNes();
  if (facts.embeddedOffset >= 0) facts.embeddedSize = image.embeddedNesSize();
  return facts;
}

BasePatchFacts basePatchFacts(const GameDatabase& database, const GameEntry& entry) {
  BasePatchFacts facts;
  try {
    const Bytes patch = readFile(database.basePatchPath(entry), FileRole::Patch);
    facts.fileSize = patch.size();
    facts.header = readBpsHeader(patch);
    facts.readable = true;
  } catch (const std::exception& error) {
    facts.error = error.what();
  }
  return facts;
}

}  // namespace tbp
