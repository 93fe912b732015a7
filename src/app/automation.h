#pragma once

#include <QString>

class MainWindow;

namespace tbp {

// The unattended run: opens the ROM at romPath (an NES ROM when its name ends with ".nes" in
// any case, else a port file) and, once a port is shown, saves pictures of the window, every
// tab and the information page, plus the default output names, under the file prefix.
// Nothing is written unless a port was loaded. Failures to write a file are skipped.
void runAutomation(MainWindow& window, const QString& romPath, const QString& prefix);

}  // namespace tbp
