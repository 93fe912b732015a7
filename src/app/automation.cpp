#include "app/automation.h"

#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include "app/main_window.h"
#include "app/settings_actions.h"
#include "branding/banner_view.h"
#include "pages/glyph_widgets.h"
#include "reference/engine_reference.h"

namespace tbp {

namespace {

constexpr int kInfoImageWidth = 760;
constexpr int kInfoImageMargin = 8;

void saveWindowShot(MainWindow& window, const QString& path) { window.grab().save(path); }

// A banner at About-box size, never shown or played: it shows its final frame.
void saveBannerShot(MainWindow& window, const QString& path) {
  const std::unique_ptr<BannerView> banner(
      new BannerView(&window, tbp::kAboutBanner.heightFraction, tbp::kAboutBanner.scale));
  banner->grab().save(path);
}

// Two lines, each ended by a line feed: the default SNES ROM path and the default BPS path.
void writeDefaultNames(const MainWindow& window, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  const QString names =
      window.suggestOutputPath(QStringLiteral("TEAM Bexulo - "), QStringLiteral(".sfc")) +
      QLatin1Char('\n') + window.suggestOutputPath(QString(), QStringLiteral(".bps")) +
      QLatin1Char('\n');
  file.write(names.toUtf8());
}

constexpr int kShownFontItem = 9;
constexpr int kShownGlyph = 36;

// The font page's picture shows a glyph in the editor, as if the user had clicked it: the grid
// highlights it too, so the picture matches what an edit would then change.
void showSampleGlyph(MainWindow& window) {
  window.fontCombo->setCurrentIndex(kShownFontItem);
  window.glyphPage->setSelected(kShownGlyph);
  emit window.glyphPage->picked(kShownGlyph);
}

void saveEveryTab(MainWindow& window, const QString& prefix) {
  for (int index = 0; index < window.tabs->count(); ++index) {
    window.tabs->setCurrentIndex(index);
    if (window.tabs->tabText(index).startsWith(QStringLiteral("Fonts")) &&
        window.portImage.hasFonts())
      showSampleGlyph(window);
    QApplication::processEvents();
    saveWindowShot(window, QStringLiteral("%1_%2.png").arg(prefix, QString::number(index)));
  }
}

// The whole information page at a fixed width on white, independent of the window's size.
void saveInfoPage(const MainWindow& window, const QString& path) {
  const std::unique_ptr<QTextDocument> document(window.infoBrowser->document()->clone());
  document->setTextWidth(kInfoImageWidth);
  const int height = static_cast<int>(document->size().height()) + kInfoImageMargin;
  QImage image(kInfoImageWidth, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  document->drawContents(&painter);
  painter.end();
  image.save(path);
}

// The codes of TBP_GG go into the Switches page's code box and are checked at once, so the
// pictures show their results. The check the edit scheduled is then no longer needed.
void enterGameGenieCodes(MainWindow& window) {
  const QString codes = qEnvironmentVariable("TBP_GG");
  if (codes.isEmpty()) return;
  window.codeBox->setPlainText(codes);
  window.checkCodes();
  window.codeTimer->stop();
}

// TBP_SETTINGS names a settings document applied to the port first (its MSU-1 songs fill the
// Music page); TBP_SIZE gives the window's size as WIDTHxHEIGHT for the pictures.
void applyShotEnvironment(MainWindow& window) {
  const QStringList size = qEnvironmentVariable("TBP_SIZE").split(QLatin1Char('x'));
  if (size.size() == 2 && size[0].toInt() > 0 && size[1].toInt() > 0) {
    window.setWindowState(Qt::WindowNoState);
    window.resize(size[0].toInt(), size[1].toInt());
  }
  const QString settings = qEnvironmentVariable("TBP_SETTINGS");
  if (!settings.isEmpty()) importSettingsFrom(window, settings);
}

}  // namespace

void runAutomation(MainWindow& window, const QString& romPath, const QString& prefix) {
  window.neverAskToSave = true;
  if (romPath.endsWith(QStringLiteral(".nes"), Qt::CaseInsensitive))
    window.openNesFile(romPath);
  else
    window.openPortFile(romPath);
  if (!window.portImage.isPort()) return;
  applyShotEnvironment(window);
  QApplication::processEvents();
  enterGameGenieCodes(window);
  saveWindowShot(window, QStringLiteral("%1_loaded.png").arg(prefix));
  saveBannerShot(window, QStringLiteral("%1_banner.png").arg(prefix));
  if (!qgetenv("TBP_LIBSHOT").isEmpty())
    openEngineReference(&window, QString::fromStdString(window.portImage.manifestText()));
  writeDefaultNames(window, prefix + QStringLiteral("_names.txt"));
  saveEveryTab(window, prefix);
  saveInfoPage(window, QStringLiteral("%1_info.png").arg(prefix));
}

}  // namespace tbp
