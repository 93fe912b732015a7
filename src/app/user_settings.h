#pragma once

#include <QString>
#include <QStringList>

// What the window remembers between runs, in the user's settings file: the folder last used for
// each kind of file, the recently opened files, and the window's size and position.
namespace tbp {

enum class FileKind { NesRom, Port, Patch, Audio, Settings };

// The folder a dialog for this kind of file last opened or saved in; empty the first time or
// when that folder is gone.
QString lastFolder(FileKind kind);
void rememberFolder(FileKind kind, const QString& chosenFile);
// Where a save dialog starts: the proposal's file name in the kind's last folder, or the
// proposal itself when there is no last folder (or no proposal, then the last folder alone).
QString saveStartPath(FileKind kind, const QString& proposal);

// Most recent first, at most kRecentFiles.
constexpr int kRecentFiles = 8;
QStringList recentFiles();
void setRecentFiles(const QStringList& files);

QByteArray windowGeometry();
void setWindowGeometry(const QByteArray& geometry);

// Forgets everything above (the tests start each window from nothing).
void clearUserSettings();

}  // namespace tbp
