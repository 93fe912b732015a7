#include <exception>
#include <functional>

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>

#include "app/main_window.h"
#include "app/prompts.h"
#include "build/port_verdict.h"
#include "pages/pages.h"
#include "pages/refreshing_scope.h"

namespace {

// Tabs whose use depends on what the port carries.
void enableContentTabs(QTabWidget& tabs, const tbp::PortImage& image) {
  for (int index = 0; index < tabs.count(); ++index) {
    const QString text = tabs.tabText(index);
    if (text.startsWith(QStringLiteral("Fonts")))
      tabs.setTabEnabled(index, image.hasFonts());
    else if (text == QStringLiteral("Music"))
      tabs.setTabEnabled(index, image.hasMsu1());
  }
}

// Runs a step of the display; returns "Error: <message>" (or "Error") when it fails.
QString failureOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& error) {
    return QStringLiteral("Error: ") + QString::fromUtf8(error.what());
  } catch (...) {
    return QStringLiteral("Error");
  }
  return {};
}

}  // namespace

// The port display: adopts a port as the current one and redraws the window from it, or
// explains why the file is not a port and changes nothing.
//
// The information page is rendered last, once every page shows the new port: it builds the
// image as it would be saved from the Output page's size choice, which the refresh first checks
// against the new port's chip, and it counts the Music choices, which a new port empties.
void MainWindow::showPort(const tbp::PortImage& image, const QString& source) {
  if (!image.isPort()) {
    prompts().warning(QStringLiteral("Not a port"),
                      QString::fromStdString(tbp::notAPortReport(image.bytes())));
    return;
  }
  portImage = image;       // 1.
  foreignRomName.clear();
  showSwitchNotes(*this);  // 2.
  {
    const RefreshingScope guard(refreshing);  // 3. and 6.
    fillFontCombo(*this);                     // 4.
    presetCombo->setCurrentIndex(0);          // 5.
  }
  // 7. The port name comes from the file and the source line from a file name: both escaped.
  headerLabel->setText(QStringLiteral("<b>%1</b> &mdash; %2")
                           .arg(QString::fromStdString(portImage.portName()).toHtmlEscaped(),
                                source.toHtmlEscaped()));
  sourceLine = source;                  // 8.
  tabs->setCurrentWidget(outputPage);   // 10.
  musicChoices.clear();                 // 11. Audio choices never carry over to another port.
  setPortEnabled(true);                 // 12.
  showSupportedSwitches(*this);         // 13.
  enableContentTabs(*tabs, portImage);  // 14.
  enableTimings(*this);                 // 15.
  refreshPages();                       // 16.
  // 17. A port whose first listed glyph set cannot be read still opens, saying why. The editor
  // shows the grid's selection of the new set: the glyph a stroke would write.
  const QString fontError = failureOf([this] {
    showFont();
    showPickedGlyph(*this);
  });
  rebuildMusicList();  // 18.
  // The codes in the box stay; their results are checked again against this port.
  const QString codeError = failureOf([this] { checkCodes(); });
  undoStack->clear();  // a new port starts a new history, unmodified
  updateWindowTitle();
  // 9. A failing render keeps the page's previous content; its message stays beside the load
  // result instead of being replaced by it at once.
  const QString renderError = failureOf([this] { renderInfoPage(); });
  QString loaded = QStringLiteral("Loaded: %1 bytes").arg(portImage.bytes().size());  // 19.
  for (const QString& error : {fontError, codeError, renderError})
    if (!error.isEmpty()) loaded += QStringLiteral(". ") + error;
  statusBar()->showMessage(loaded);
}
