#include <QWidget>

#include "pages/pages.h"

// The option pages that have no controls yet. Each gets its own file once it has content.

QWidget* buildSplashPage(MainWindow&) { return new QWidget; }

QWidget* buildMusicPage(MainWindow&) { return new QWidget; }
