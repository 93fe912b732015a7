#pragma once

#include <QString>
#include <QStringList>

class MainWindow;

namespace tbp {

// The file named on the command line: the first argument after the program's name that is not
// an option, or an empty string. Qt has already taken its own options out.
QString fileFromArguments(const QStringList& arguments);

// Opens that file in the window once the event loop runs, so that the window is on screen
// before any message box about the file.
void openFileFromArguments(MainWindow& window, const QStringList& arguments);

}  // namespace tbp
