#include <sstream>
#include <vector>

#include "build/text_forms.h"
#include "cli/info_report.h"

namespace tbp::cli {
namespace {

constexpr std::size_t kLabelWidth = 21;
constexpr std::size_t kKeyWidth = 20;

// One "label  value" line; further lines of the value line up under its first.
void row(std::ostream& out, const std::string& label, const std::string& value) {
  std::string padded = "  " + label;
  padded.resize(std::max(padded.size() + 1, kLabelWidth), ' ');
  std::istringstream lines(value);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    out << (first ? padded : std::string(padded.size(), ' ')) << line << "\n";
    first = false;
  }
  if (first) out << padded << "\n";
}

// "$" and the value in upper-case hex.
std::string dollarHex(std::uint64_t value, int digits) {
  std::string text = "$";
  text += hexText(value, digits);
  return text;
}

void digestRows(std::ostream& out, const Digests& digests, const std::string& prefix = "") {
  row(out, prefix + "CRC16", hexText(digests.crc16, 4));
  row(out, prefix + "CRC32", hexText(digests.crc32, 8));
  row(out, prefix + "SHA-256", digests.sha256);
}

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

std::string keyList(const std::vector<SwitchInfo>& switches) {
  std::vector<std::string> keys;
  for (const SwitchInfo& info : switches) {
    std::string key = info.key;
    key.resize(std::max(key.size() + 1, kKeyWidth), ' ');
    keys.push_back(key + info.label);
  }
  return keys.empty() ? "none" : joined(keys, "\n");
}

void snesSection(std::ostream& out, const SnesImageFacts& facts) {
  out << "SNES image\n";
  row(out, "Size", sizeText(facts.digests.size));
  digestRows(out, facts.digests);
  const SnesHeader& header = facts.header;
  if (!header.valid) return;
  const auto coded = [](std::uint8_t byte, const std::string& meaning) {
    return dollarHex(byte, 2) + " - " + meaning;
  };
  row(out, "Header title", "\"" + header.title + "\"");
  row(out, "Map mode", coded(header.mapMode, facts.mapMode));
  row(out, "Cartridge", coded(header.cartType, facts.cartridge));
  row(out, "ROM size byte",
      coded(header.romSizeCode, std::to_string(facts.romSizeClassKb) + " KB class"));
  row(out, "SRAM", facts.sramKb == 0 ? "none" : std::to_string(facts.sramKb) + " KB");
  row(out, "Region", coded(header.region, facts.region));
  row(out, "Version", "1." + std::to_string(header.version));
  row(out, "Checksum",
      dollarHex(header.checksum, 4) + " / complement " + dollarHex(header.complement, 4) + " - " +
          (facts.checksumValid ? "correct" : "WRONG"));
}

std::string candidateScores(const SnesHeaderReport& report) {
  std::vector<std::string> scores;
  for (const HeaderCandidate& candidate : report.candidates)
    scores.push_back(mappingName(candidate.mapping) + " at " + dollarHex(candidate.offset, 6) +
                     ": score " + std::to_string(candidate.score));
  return joined(scores, "\n");
}

std::string checkedValue(std::uint16_t stored, std::uint16_t right) {
  return dollarHex(stored, 4) + (stored == right ? " - valid" : " - WRONG, should be " + dollarHex(right, 4));
}

void headerReportSection(std::ostream& out, const SnesHeaderReport& report) {
  if (!report.found) return;
  out << "\nSNES header report\n";
  row(out, "Copier header", report.copierHeader ? "yes, 512 bytes" : "none");
  row(out, "Real header", mappingName(report.chosen.mapping) + " at " +
                              dollarHex(report.chosen.offset, 6));
  row(out, "Candidates", candidateScores(report));
  const SnesHeader& header = report.header;
  row(out, "Title", "\"" + header.title + "\"");
  row(out, "Map mode", dollarHex(header.mapMode, 2) + " - " + report.mapMode);
  row(out, "Chip", dollarHex(header.cartType, 2) + " - " + report.cartridge);
  const std::uint64_t fileKb = report.imageSize / kKilobyte;
  row(out, "ROM size", "declared " + std::to_string(report.declaredRomKb) + " KB, file " +
                           std::to_string(fileKb) + " KB" +
                           (report.romSizeFits ? " - fits" : " - does NOT fit"));
  row(out, "RAM size", report.declaredRamKb == 0 ? "none"
                                                 : std::to_string(report.declaredRamKb) + " KB");
  row(out, "Region", dollarHex(header.region, 2) + " - " + report.region);
  row(out, "Version", "1." + std::to_string(header.version));
  row(out, "Checksum", checkedValue(header.checksum, report.rightChecksum));
  row(out, "Complement", checkedValue(header.complement, report.rightComplement));
}

std::string songList(const InfoReport& report) {
  const ManifestFacts& facts = report.manifest;
  std::string text = std::to_string(facts.songs.size()) + " songs, " +
                     std::to_string(facts.songsReplaced) + " replaced in the ROM";
  for (const MsuSong& song : facts.songs) {
    const int track = report.image.msuTrack(song.index);
    text += '\n';
    text += std::to_string(song.index) + " (" + dollarHex(song.index, 2) + ") " + song.name +
            (track < 0 ? "" : ": MSU-1 track " + std::to_string(track)) +
            (report.image.msuLoop(song.index) ? ", loops" : "");
  }
  return text;
}

void manifestSection(std::ostream& out, const InfoReport& report) {
  const ManifestFacts& facts = report.manifest;
  out << "\nTEAM Bexulo manifest\n";
  if (!facts.spec.empty()) row(out, "Spec", facts.spec);
  row(out, "Table layout",
      facts.layoutName + (facts.switchesListed == 0
                              ? ""
                              : ", " + std::to_string(facts.switchesListed) + " switches listed"));
  row(out, "Flags", dollarHex(facts.flags, 8));
  row(out, "Switches on", keyList(facts.switchesOn));
  row(out, "Switches off", keyList(facts.switchesOff));
  row(out, "Palette slot", std::to_string(facts.paletteSlot));
  row(out, "Chip", chipDescription(facts.chip));
  row(out, "Fonts", std::to_string(facts.fontNames.size()) + ": " + joined(facts.fontNames, ", "));
  std::vector<std::string> sounds;
  for (const int slot : facts.splashSounds) sounds.push_back("splash " + std::to_string(slot));
  row(out, "Splash sounds", sounds.empty() ? "none" : joined(sounds, ", "));
  if (facts.hasMsu1) row(out, "MSU-1", songList(report));
  row(out, "Content ends",
      dollarHex(facts.contentEnd, 6) + " (smallest valid size " +
          std::to_string(facts.smallestSize / kKilobyte) + " KB)");
}

void sourceSection(std::ostream& out, const SourceNesFacts& facts) {
  out << "\nSource NES ROM\n";
  if (facts.game) row(out, "Game", facts.game->title);
  if (!facts.expectedSha256.empty()) row(out, "Expected SHA-256", facts.expectedSha256);
  row(out, "Embedded copy",
      facts.embeddedOffset < 0
          ? "not in this image"
          : "at file $" + hexText(std::uint64_t(facts.embeddedOffset), 6) + ", " +
                sizeText(facts.embeddedSize) + " (it matches the SHA-256 above)");
}

void writePort(std::ostream& out, const InfoReport& report) {
  out << "Port " << report.manifest.portName << "\n";
  row(out, "File", report.path);
  if (report.copierHeader) row(out, "Copier header", "512 bytes, left out below");
  out << "\n";
  snesSection(out, report.snes);
  headerReportSection(out, report.headerReport);
  manifestSection(out, report);
  sourceSection(out, report.source);
}

void writeDatabase(std::ostream& out, const InfoReport& report) {
  out << "\nGame database\n";
  if (!report.database.loaded) {
    row(out, "games.json", report.database.problem);
    return;
  }
  row(out, "games.json",
      report.database.path + ", " + std::to_string(report.database.database.games.size()) +
          " game(s)");
  const GameEntry* game = report.identified.game;
  if (!game) {
    row(out, "Match", "none");
    out << "\n" << report.unknownReport;
    return;
  }
  row(out, "Game", game->title);
  row(out, "Port", game->port);
  row(out, "Match", report.identified.note.empty() ? "exact" : report.identified.note);
}

void writeNesRom(std::ostream& out, const InfoReport& report) {
  out << "NES ROM\n";
  row(out, "File", report.path);
  row(out, "Size", sizeText(report.file.size));
  digestRows(out, report.file);
  row(out, "iNES header",
      describeInesHeader(report.ines) +
          (report.ines.ripperTag ? std::string("\n") + kRipperTagRemark : ""));
  writeDatabase(out, report);
}

}  // namespace

void writeInfoText(std::ostream& out, const InfoReport& report) {
  switch (report.kind) {
    case FileKind::Port:
      writePort(out, report);
      return;
    case FileKind::NesRom:
      writeNesRom(out, report);
      return;
    case FileKind::Other:
      out << report.verdict << "\n";
      row(out, "File", report.path);
      row(out, "Size", sizeText(report.file.size));
      digestRows(out, report.file);
      if (report.headerReport.plausible) headerReportSection(out, report.headerReport);
      return;
  }
}

}  // namespace tbp::cli
