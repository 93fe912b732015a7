#pragma once

#include <ostream>
#include <string>

#include "build/nes_rom.h"
#include "build/rom_facts.h"
#include "build/snes_header_report.h"
#include "cli/database.h"
#include "port/port_image.h"

namespace tbp::cli {

enum class FileKind { Port, NesRom, Other };

// Everything `info` reports about one file, gathered once and rendered as text or JSON.
struct InfoReport {
  std::string path;
  FileKind kind = FileKind::Other;
  Digests file;  // the file as read

  // A port (after a copier header, if any, was removed).
  bool copierHeader = false;
  PortImage image;
  SnesImageFacts snes;
  ManifestFacts manifest;
  SourceNesFacts source;

  // An NES ROM.
  InesHeader ines;
  NesRom identified;          // no game when unrecognised or without a database
  std::string unknownReport;  // what it resembles, when the database knows no match

  // Anything else: why it is not a port.
  std::string verdict;

  // The internal header of a port or of any other SNES ROM, found as header checkers find it.
  SnesHeaderReport headerReport;

  DatabaseLookup database;  // looked up for ports and NES ROMs only
};

void writeInfoText(std::ostream& out, const InfoReport& report);
void writeInfoJson(std::ostream& out, const InfoReport& report);

}  // namespace tbp::cli
