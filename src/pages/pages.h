#pragma once

class MainWindow;
class QWidget;

// The option page builders. Each builds its page, records the controls it updates in the window
// and connects them; the window adds the returned widget as a tab.
QWidget* buildSwitchesPage(MainWindow& window);
QWidget* buildControlsPage(MainWindow& window);
QWidget* buildSplashPage(MainWindow& window);
QWidget* buildFontsPage(MainWindow& window);
QWidget* buildMusicPage(MainWindow& window);
QWidget* buildOutputPage(MainWindow& window);

// Each page's part of MainWindow::refreshPages: reads its controls back from the port image.
void refreshOutputPage(MainWindow& window);
void refreshFontsPage(MainWindow& window);

// Lists the port's fonts and symbol pages in the font combo, the first symbol page current.
void fillFontCombo(MainWindow& window);
