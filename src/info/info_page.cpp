#include "info/info_page.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStatusBar>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "info/info_sections.h"

namespace {

constexpr int kFontGrowthPoints = 3;
constexpr int kFontGrowthPixels = 4;

const QString kIntro = QStringLiteral(
    "<p style='color:gray'><b>For players <i>and</i> romhackers.</b> The options in TEAM Bexulo "
    "Patcher are not just for changing how a game plays. They are also meant to give romhackers "
    "a solid base of tools from the very start (a documented ROM layout and manifest, a utility "
    "library, fonts and symbols, an on-screen overlay, saves, freeze / frame step and speed "
    "control, MSU-1 music, SA-1, SuperFX headers) so that hacking a game, by hand or with AI, "
    "is easier and faster.</p>");

// The browser's default font, a little larger for reading digests.
QFont enlargedFont(const QFont& base) {
  QFont font = base;
  if (font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() + kFontGrowthPoints);
  else
    font.setPixelSize(font.pixelSize() + kFontGrowthPixels);
  return font;
}

// "Copied" stays long enough to be read, then the status bar is free again.
constexpr int kCopiedNoteMs = 3000;

}  // namespace

QWidget* buildInfoPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* browser = new QTextBrowser;
  browser->setOpenLinks(false);
  const QFont font = enlargedFont(browser->font());
  browser->setFont(font);
  browser->document()->setDefaultFont(font);
  window.infoBrowser = browser;

  auto* copyAll = new QPushButton(QStringLiteral("Copy all"));
  copyAll->setToolTip(
      QStringLiteral("Copy this page as plain text (for a bug report or a forum post)."));
  QObject::connect(copyAll, &QPushButton::clicked, browser, [&window, browser] {
    QGuiApplication::clipboard()->setText(browser->toPlainText());
    window.statusBar()->showMessage(QStringLiteral("Copied"), kCopiedNoteMs);
  });

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  buttonRow->addWidget(copyAll);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(browser, 1);
  layout->addLayout(buttonRow);
  return page;
}

QString infoPageHtml(const MainWindow& window) {
  QString html = QStringLiteral("<html><body>") + kIntro;
  if (window.portImage.isPort())
    html += tbp::info::portSections(window);
  else
    html += QStringLiteral(
        "<h3>Selected ROM</h3><p>Nothing loaded yet. Open your NES ROM (or a built port) "
        "above.</p>");
  if (!window.foreignRomName.isEmpty())
    html += tbp::info::headerReportSection(
        QStringLiteral("SNES header report: ") + window.foreignRomName.toHtmlEscaped(),
        window.foreignRomHeader);
  html += tbp::info::supportedGamesHtml(window);
  return html + QStringLiteral("</body></html>");
}

void MainWindow::renderInfoPage() {
  const QString html = infoPageHtml(*this);
  QScrollBar* scroll = infoBrowser->verticalScrollBar();
  const int position = scroll->value();
  infoBrowser->setHtml(html);
  scroll->setValue(position);
}
