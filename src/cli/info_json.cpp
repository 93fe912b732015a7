#include "build/text_forms.h"
#include "cli/info_report.h"
#include "formats/json_writer.h"

namespace tbp::cli {
namespace {

void digestMembers(JsonWriter& json, const Digests& digests) {
  json.key("size").number(std::int64_t(digests.size));
  json.key("crc16").string(hexText(digests.crc16, 4));
  json.key("crc32").string(hexText(digests.crc32, 8));
  json.key("sha256").string(digests.sha256);
}

void coded(JsonWriter& json, const std::string& name, std::uint8_t byte,
           const std::string& meaning) {
  json.key(name).beginObject();
  json.key("value").number(byte);
  json.key("text").string(meaning);
  json.endObject();
}

void snesHeader(JsonWriter& json, const SnesImageFacts& facts) {
  json.key("snes_header");
  const SnesHeader& header = facts.header;
  if (!header.valid) return json.null();
  json.beginObject();
  json.key("title").string(header.title);
  json.key("hirom").boolean(header.hiRom);
  coded(json, "map_mode", header.mapMode, facts.mapMode);
  coded(json, "cartridge", header.cartType, facts.cartridge);
  json.key("rom_size_code").number(header.romSizeCode);
  json.key("rom_size_class_kb").number(std::int64_t(facts.romSizeClassKb));
  json.key("sram_kb").number(std::int64_t(facts.sramKb));
  coded(json, "region", header.region, facts.region);
  json.key("version").number(header.version);
  json.key("checksum").string(hexText(header.checksum, 4));
  json.key("complement").string(hexText(header.complement, 4));
  json.key("checksum_valid").boolean(facts.checksumValid);
  json.endObject();
}

void checked(JsonWriter& json, const std::string& name, std::uint16_t stored, std::uint16_t right) {
  json.key(name).beginObject();
  json.key("value").string(hexText(stored, 4));
  json.key("valid").boolean(stored == right);
  json.key("right").string(hexText(right, 4));
  json.endObject();
}

void headerReport(JsonWriter& json, const SnesHeaderReport& report) {
  json.key("header_report");
  if (!report.found) return json.null();
  json.beginObject();
  json.key("copier_header").boolean(report.copierHeader);
  json.key("mapping").string(mappingName(report.chosen.mapping));
  json.key("offset").number(std::int64_t(report.chosen.offset));
  json.key("candidates").beginArray();
  for (const HeaderCandidate& candidate : report.candidates) {
    json.beginObject();
    json.key("mapping").string(mappingName(candidate.mapping));
    json.key("offset").number(std::int64_t(candidate.offset));
    json.key("score").number(candidate.score);
    json.endObject();
  }
  json.endArray();
  const SnesHeader& header = report.header;
  json.key("title").string(header.title);
  coded(json, "map_mode", header.mapMode, report.mapMode);
  coded(json, "chip", header.cartType, report.cartridge);
  json.key("rom_size_declared_kb").number(std::int64_t(report.declaredRomKb));
  json.key("rom_size_file_bytes").number(std::int64_t(report.imageSize));
  json.key("rom_size_fits").boolean(report.romSizeFits);
  json.key("ram_size_kb").number(std::int64_t(report.declaredRamKb));
  coded(json, "region", header.region, report.region);
  json.key("version").number(header.version);
  checked(json, "checksum", header.checksum, report.rightChecksum);
  checked(json, "complement", header.complement, report.rightComplement);
  json.endObject();
}

void switchKeys(JsonWriter& json, const std::string& name, const std::vector<SwitchInfo>& list) {
  json.key(name).beginArray();
  for (const SwitchInfo& info : list) json.string(info.key);
  json.endArray();
}

void msu1(JsonWriter& json, const InfoReport& report) {
  json.key("msu1");
  if (!report.manifest.hasMsu1) return json.null();
  json.beginObject();
  json.key("replaced").number(report.manifest.songsReplaced);
  json.key("songs").beginArray();
  for (const MsuSong& song : report.manifest.songs) {
    json.beginObject();
    json.key("index").number(song.index);
    json.key("name").string(song.name);
    const int track = report.image.msuTrack(song.index);
    json.key("track");
    track < 0 ? json.null() : json.number(track);
    json.key("loops").boolean(report.image.msuLoop(song.index));
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

void manifest(JsonWriter& json, const InfoReport& report) {
  const ManifestFacts& facts = report.manifest;
  json.key("manifest").beginObject();
  json.key("port").string(facts.portName);
  json.key("spec").string(facts.spec);
  json.key("layout").string(facts.layoutName);
  json.key("switches_listed").number(std::int64_t(facts.switchesListed));
  json.key("flags").string(hexText(facts.flags, 8));
  switchKeys(json, "switches_on", facts.switchesOn);
  switchKeys(json, "switches_off", facts.switchesOff);
  json.key("palette_slot").number(facts.paletteSlot);
  json.key("chip").beginObject();
  json.key("type").number(facts.chip);
  json.key("name").string(chipName(facts.chip));
  json.endObject();
  json.key("fonts").beginArray();
  for (const std::string& name : facts.fontNames) json.string(name);
  json.endArray();
  json.key("splash_sounds").beginArray();
  for (const int slot : facts.splashSounds) json.number(slot);
  json.endArray();
  msu1(json, report);
  json.key("content_end").number(std::int64_t(facts.contentEnd));
  json.key("smallest_size").number(std::int64_t(facts.smallestSize));
  json.endObject();
}

void game(JsonWriter& json, const GameEntry* entry) {
  json.key("game");
  if (!entry) return json.null();
  json.beginObject();
  json.key("id").string(entry->id);
  json.key("title").string(entry->title);
  json.key("port").string(entry->port);
  json.key("file").string(entry->file);
  json.endObject();
}

void sourceNes(JsonWriter& json, const SourceNesFacts& facts) {
  json.key("source_nes").beginObject();
  json.key("expected_sha256").string(facts.expectedSha256);
  game(json, facts.game);
  json.key("embedded");
  if (facts.embeddedOffset < 0) {
    json.null();
  } else {
    json.beginObject();
    json.key("offset").number(facts.embeddedOffset);
    json.key("size").number(std::int64_t(facts.embeddedSize));
    json.endObject();
  }
  json.endObject();
}

void database(JsonWriter& json, const DatabaseLookup& lookup) {
  json.key("database").beginObject();
  json.key("loaded").boolean(lookup.loaded);
  json.key("path").string(lookup.path);
  json.key("problem").string(lookup.problem);
  json.key("games").number(std::int64_t(lookup.database.games.size()));
  json.endObject();
}

void inesHeader(JsonWriter& json, const InesHeader& header) {
  json.key("ines_header");
  if (!header.present) return json.null();
  json.beginObject();
  json.key("format").string(header.nes2 ? "NES 2.0" : "iNES");
  json.key("mapper").number(header.mapper);
  json.key("prg_kb").number(header.prgKb);
  json.key("chr_kb").number(header.chrKb);
  json.key("mirroring")
      .string(header.fourScreen ? "four-screen"
              : header.vertical ? "vertical"
                                : "horizontal");
  json.key("battery").boolean(header.battery);
  json.key("trainer").boolean(header.trainer);
  json.key("ripper_tag").boolean(header.ripperTag);
  json.key("text").string(describeInesHeader(header));
  json.endObject();
}

void nesRom(JsonWriter& json, const InfoReport& report) {
  inesHeader(json, report.ines);
  database(json, report.database);
  json.key("match");
  if (!report.identified.game) {
    json.null();
  } else {
    json.beginObject();
    json.key("exact").boolean(report.identified.note.empty());
    json.key("note").string(report.identified.note);
    json.endObject();
  }
  game(json, report.identified.game);
  json.key("report").string(report.unknownReport);
}

const char* kindName(FileKind kind) {
  switch (kind) {
    case FileKind::Port:
      return "port";
    case FileKind::NesRom:
      return "nes";
    case FileKind::Other:
      break;
  }
  return "other";
}

}  // namespace

void writeInfoJson(std::ostream& out, const InfoReport& report) {
  JsonWriter json(out);
  json.beginObject();
  json.key("kind").string(kindName(report.kind));
  json.key("file").string(report.path);
  digestMembers(json, report.file);
  if (report.kind == FileKind::Port) {
    json.key("copier_header").boolean(report.copierHeader);
    json.key("image").beginObject();
    digestMembers(json, report.snes.digests);
    json.endObject();
    snesHeader(json, report.snes);
    headerReport(json, report.headerReport);
    manifest(json, report);
    sourceNes(json, report.source);
    database(json, report.database);
  } else if (report.kind == FileKind::NesRom) {
    nesRom(json, report);
  } else {
    json.key("verdict").string(report.verdict);
    if (report.headerReport.plausible) headerReport(json, report.headerReport);
  }
  json.endObject();
}

}  // namespace tbp::cli
