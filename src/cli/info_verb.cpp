#include <algorithm>
#include <cctype>
#include <iostream>

#include "build/files.h"
#include "build/paths.h"
#include "build/port_verdict.h"
#include "build/snes_header_report.h"
#include "cli/info_report.h"
#include "cli/verbs.h"

namespace tbp::cli {
namespace {

// A copier adds 512 bytes in front of a ROM whose size is a whole number of 32 KB banks.
constexpr std::size_t kCopierHeaderSize = 512;
constexpr std::size_t kBankSize = 32768;

bool hasNesExtension(const std::string& path) {
  std::string name = fileNameOf(path);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".nes") == 0;
}

void gatherPort(InfoReport& report) {
  report.kind = FileKind::Port;
  const GameDatabase* database = report.database.loaded ? &report.database.database : nullptr;
  // As when the window opens a port: the embedded NES copy names the game when the database
  // knows it exactly, else the port's recorded digest may.
  const Bytes embedded = report.image.embeddedNes();
  const GameEntry* game = database && !embedded.empty() ? database->findExact(embedded) : nullptr;
  report.snes = snesImageFacts(report.image);
  report.manifest = manifestFacts(report.image, report.image);
  report.source = sourceNesFacts(report.image, game, database);
}

void gatherNesRom(InfoReport& report, const Bytes& file) {
  report.kind = FileKind::NesRom;
  report.ines = parseInesHeader(file);
  if (!report.database.loaded) return;
  report.identified = identifyNesRom(report.database.database, file);
  if (!report.identified.game)
    report.unknownReport =
        describeUnknownRom(fileNameOf(report.path), report.database.database, file);
}

}  // namespace

void runInfo(const Arguments& arguments) {
  InfoReport report;
  report.path = arguments.positionals[0];
  Bytes file = readFile(report.path, FileRole::Rom);
  report.file = digestsOf(file);
  if (hasInesMagic(file)) {
    report.database = findDatabase(arguments);
    gatherNesRom(report, file);
  } else {
    report.headerReport = snesHeaderReport(file);
    Bytes image = file;
    report.copierHeader = image.size() % kBankSize == kCopierHeaderSize;
    if (report.copierHeader) image.erase(image.begin(), image.begin() + kCopierHeaderSize);
    report.image = PortImage(std::move(image));
    if (report.image.isPort()) {
      report.database = findDatabase(arguments);
      gatherPort(report);
    } else if (hasNesExtension(report.path)) {
      report.database = findDatabase(arguments);
      gatherNesRom(report, file);
    } else {
      report.verdict = notAPortVerdict(report.image.bytes());
    }
  }
  if (arguments.has("--json"))
    writeInfoJson(std::cout, report);
  else
    writeInfoText(std::cout, report);
}

}  // namespace tbp::cli
