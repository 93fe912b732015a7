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
void refreshSwitchBoxes(MainWindow& window);
void refreshSplashPage(MainWindow& window);
void refreshOutputPage(MainWindow& window);
