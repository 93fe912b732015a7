#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/status_errors.h"
#include "build/port_verdict.h"
#include "pages/pages.h"

// The port display: adopts a port as the current one and redraws the window from it, or
// explains why the file is not a port and changes nothing.
void MainWindow::showPort(const tbp::PortImage& image, const QString& source) {
  if (!image.isPort()) {
    prompts().warning(QStringLiteral("Not a port"),
                      QString::fromStdString(tbp::notAPortReport(image.bytes())));
    return;
  }
  portImage = image;
  // The port name comes from the file and the source line from a file name: both are escaped.
  headerLabel->setText(QStringLiteral("<b>%1</b> &mdash; %2")
                           .arg(QString::fromStdString(portImage.portName()).toHtmlEscaped(),
                                source.toHtmlEscaped()));
  sourceLine = source;
  // The ROM size choice left from the previous port may not suit this one's chip; it is checked
  // before the information page builds the image as it would be saved. A failing render must
  // not leave the port half shown: the page keeps its previous content and tells why when its
  // tab is selected.
  refreshOutputPage(*this);
  tbp::runReportingErrors(*statusBar(), [this] { renderInfoPage(); });
  tabs->setCurrentWidget(outputPage);
  setPortEnabled(true);
  for (int index = 0; index < tabs->count(); ++index) {
    const QString text = tabs->tabText(index);
    if (text.startsWith(QStringLiteral("Fonts")))
      tabs->setTabEnabled(index, portImage.hasFonts());
    else if (text == QStringLiteral("Music"))
      tabs->setTabEnabled(index, portImage.hasMsu1());
  }
  refreshPages();
  statusBar()->showMessage(QStringLiteral("Loaded: %1 bytes").arg(portImage.bytes().size()));
}
