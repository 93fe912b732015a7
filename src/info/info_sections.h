#pragma once

#include <QString>

#include "build/snes_header_report.h"

class MainWindow;

// The parts of the information page, each built from the window's state.
namespace tbp::info {

// The loaded port: where it came from, the image as it would be saved, its manifest and its
// source NES ROM. Throws when the final image or a port accessor fails.
QString portSections(const MainWindow& window);
// What the image as saved would be: size, digests and the SNES header.
QString snesImageSection(const MainWindow& window);
// The report on an SNES ROM's internal header under the heading; empty when it has none.
QString headerReportSection(const QString& heading, const SnesHeaderReport& report);
// What the manifest says: layout, switches, chip, fonts, sounds and MSU-1.
QString manifestSection(const MainWindow& window);
// The NES ROM the port expects and the one in use.
QString sourceNesSection(const MainWindow& window);
// Every game of the database with the exact dump its base patch needs.
QString supportedGamesHtml(const MainWindow& window);

}  // namespace tbp::info
