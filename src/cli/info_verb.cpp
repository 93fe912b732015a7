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
  // Without a copier header the image is the file, whose digests are known already.
  report.snes = report.copierHeader ? snesImageFacts(report.image)
                                    : snesImageFacts(report.image, report.file);
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

// The file is looked at where it lies: it is moved into the port image, and copied only when a
// copier header must come off while the whole file is still needed (a headed .nes file).
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
    report.copierHeader = hasPortCopierHeader(file.size());
    if (report.copierHeader)
      report.image = PortImage(Bytes(file.begin() + kCopierHeaderSize, file.end()));
    else
      report.image = PortImage(std::move(file));
    const Bytes& whole = report.copierHeader ? file : report.image.bytes();
    if (report.image.isPort()) {
      report.database = findDatabase(arguments);
      gatherPort(report);
    } else if (hasNesExtension(report.path)) {
      report.database = findDatabase(arguments);
      gatherNesRom(report, whole);
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
