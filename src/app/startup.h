#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class MainWindow;

namespace tbp {

// The start-up decisions of main, kept apart so that they can be checked without starting the
// program. An environment value counts as set only when it is non-empty.

// The splash opens unless TBP_SHOT is set (an automation run) or TBP_NOSPLASH is set.
bool shouldOpenSplash(const QByteArray& shot, const QByteArray& noSplash);

// The automation run needs both the ROM to open (TBP_LOAD) and the file prefix (TBP_SHOT).
bool shouldRunAutomation(const QByteArray& load, const QByteArray& shot);

// The same decisions on the process environment (TBP_SHOT, TBP_NOSPLASH, TBP_LOAD), read
// the way main reads them.
bool splashWantedByEnvironment();
bool automationWantedByEnvironment();

// Where the main window goes on a screen with the given available area.
struct WindowPlacement {
  bool maximised = false;  // true: the window takes the whole area and is maximised
  QRect geometry;          // the window's geometry in either case
};

// A screen area at least 960 x 720 pixels gets the window centred; a smaller one gets it
// maximised, since a 900 x 680 window would not fit with its frame.
WindowPlacement placeWindow(const QRect& available, const QSize& windowSize);

}  // namespace tbp
