#pragma once

#include <QString>

class MainWindow;
class QWidget;

// The "Info" page: a read-only HTML report on the loaded port and the supported games, with a
// button that copies it as plain text. The window keeps the browser as infoBrowser.
QWidget* buildInfoPage(MainWindow& window);

// The page's HTML for the window's current state. Rebuilt from scratch on every render.
QString infoPageHtml(const MainWindow& window);
