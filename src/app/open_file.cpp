#include "app/open_file.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "app/main_window.h"

namespace {

// The first local file among the dragged URLs, or an empty string.
QString draggedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return QString();
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return QString();
}

// Opens path once control is back in the event loop: a message box about the file must not
// run inside the drop or before the window is shown.
void openSoon(MainWindow& window, const QString& path) {
  QTimer::singleShot(0, &window, [&window, path] { window.openFile(path); });
}

}  // namespace

namespace tbp {

QString fileFromArguments(const QStringList& arguments) {
  bool optionsEnded = false;
  for (qsizetype index = 1; index < arguments.size(); ++index) {
    const QString& argument = arguments.at(index);
    if (!optionsEnded && argument == QStringLiteral("--")) {
      optionsEnded = true;
      continue;
    }
    if (argument.isEmpty()) continue;
    if (optionsEnded || !argument.startsWith(QLatin1Char('-'))) return argument;
  }
  return QString();
}

void openFileFromArguments(MainWindow& window, const QStringList& arguments) {
  const QString path = fileFromArguments(arguments);
  if (!path.isEmpty()) openSoon(window, path);
}

}  // namespace tbp

void MainWindow::openFile(const QString& path) {
  const auto has = [&path](const char* suffix) {
    return path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
  };
  if (has(".nes"))
    openNesFile(path);
  else if (has(".bps") || has(".ips"))
    applyPatchFrom(path);  // the apply-patch wizard, with the patch already chosen
  else
    openPortFile(path);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!draggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = draggedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  openSoon(*this, path);
}
