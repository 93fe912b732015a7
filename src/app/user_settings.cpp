#include "app/user_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace tbp {
namespace {

const QString kRecentKey = QStringLiteral("recentFiles");
const QString kGeometryKey = QStringLiteral("window/geometry");

// The names main() gives the application, spelled out so that the settings are the same
// wherever they are read, also before the application object is named.
QSettings store() {
  return QSettings(QStringLiteral("TEAM Bexulo"), QStringLiteral("TEAM Bexulo Patcher"));
}

QString folderKey(FileKind kind) {
  switch (kind) {
    case FileKind::NesRom:
      return QStringLiteral("folders/nes");
    case FileKind::Port:
      return QStringLiteral("folders/port");
    case FileKind::Patch:
      return QStringLiteral("folders/patch");
    case FileKind::Audio:
      return QStringLiteral("folders/audio");
    case FileKind::Settings:
      return QStringLiteral("folders/settings");
  }
  return QStringLiteral("folders/other");
}

}  // namespace

QString lastFolder(FileKind kind) {
  const QString folder = store().value(folderKey(kind)).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void rememberFolder(FileKind kind, const QString& chosenFile) {
  if (chosenFile.isEmpty()) return;
  store().setValue(folderKey(kind), QFileInfo(chosenFile).absolutePath());
}

QString saveStartPath(FileKind kind, const QString& proposal) {
  const QString folder = lastFolder(kind);
  if (folder.isEmpty()) return proposal;
  if (proposal.isEmpty()) return folder;
  return QDir(folder).filePath(QFileInfo(proposal).fileName());
}

QStringList recentFiles() { return store().value(kRecentKey).toStringList().mid(0, kRecentFiles); }

void setRecentFiles(const QStringList& files) {
  store().setValue(kRecentKey, files.mid(0, kRecentFiles));
}

QByteArray windowGeometry() { return store().value(kGeometryKey).toByteArray(); }

void setWindowGeometry(const QByteArray& geometry) { store().setValue(kGeometryKey, geometry); }

void clearUserSettings() { store().clear(); }

}  // namespace tbp
