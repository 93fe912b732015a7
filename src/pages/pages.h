#pragma once

#include <functional>
#include <string>
#include <vector>

class MainWindow;
class QCheckBox;
class QWidget;

namespace tbp {
struct SwitchInfo;
struct DecodedAudio;
}

// The option page builders. Each builds its page, records the controls it updates in the window
// and connects them; the window adds the returned widget as a tab.
QWidget* buildSwitchesPage(MainWindow& window);
QWidget* buildControlsPage(MainWindow& window);
QWidget* buildSplashPage(MainWindow& window);
QWidget* buildFontsPage(MainWindow& window);
QWidget* buildMusicPage(MainWindow& window);
QWidget* buildOutputPage(MainWindow& window);

// Each page's part of MainWindow::refreshPages: reads its controls back from the port image.
void refreshSwitchesPage(MainWindow& window);
void refreshControlsPage(MainWindow& window);
void refreshSplashPage(MainWindow& window);
void refreshOutputPage(MainWindow& window);
void refreshFontsPage(MainWindow& window);

// The page error wrapper every page handler runs in: an exception is shown in the status bar
// as "Error: <message>" for 10 seconds instead of leaving the slot, and the page stays usable.
void runPageHandler(MainWindow& window, const std::function<void()>& handler);

// A check box for a row of the switch table, entered in switchBoxes under its bit: it writes
// its switch and shows a refusal in a "Not possible" box. The Switches page makes one for every
// row outside the group "Splash"; the Splash & Sound page makes those of the splash switches.
QCheckBox* makeSwitchBox(MainWindow& window, const tbp::SwitchInfo& row);

// What showPort does on the pages for a newly shown port, beside refreshPages.
// The switch tooltips, with the port's ROM notes from its manifest.
void showSwitchNotes(MainWindow& window);
// Each switch box is visible exactly when the port offers its switch.
void showSupportedSwitches(MainWindow& window);
// The turbo and chord-hold spin boxes are usable only with a config block.
void enableTimings(MainWindow& window);

// The length of decoded audio in seconds, as the Music page shows it.
double durationSeconds(const tbp::DecodedAudio& audio);

// The Game Genie codes typed on the Switches page, split into single codes.
std::vector<std::string> typedCodes(const MainWindow& window);

// Lists the port's fonts and symbol pages in the font combo, the first symbol page current.
void fillFontCombo(MainWindow& window);
// Loads the glyph editor, its title and the palette hint with the glyph selected in the grid of
// the shown set: the glyph a stroke writes. Run whenever the set, the port or the image changes.
void showPickedGlyph(MainWindow& window);
