#pragma once

class MainWindow;
class QMenu;
class QString;

// "Export settings..." and "Import settings...": the port's settings as a settings document.
// Adds both actions to menu; they are usable while a port is shown.
void addSettingsActions(MainWindow& window, QMenu* menu);

// Asks where to save and writes the current port's settings, with the window's own choices
// (ROM size, Game Genie codes, MSU-1 audio), as a settings document.
void exportSettings(MainWindow& window);
// Asks for a settings document and applies what the current port supports; what it skipped is
// listed in a box.
void importSettings(MainWindow& window);
// Applies the settings document at path as importSettings does once it is chosen.
void importSettingsFrom(MainWindow& window, const QString& path);
