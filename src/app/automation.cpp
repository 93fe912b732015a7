#include "app/automation.h"

#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
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
#include <QToolButton>

#include "app/main_window.h"
#include "app/settings_actions.h"
#include "branding/banner_view.h"
#include "pages/music_tools.h"
#include "pages/seam_player.h"
#include "pages/glyph_widgets.h"
#include "reference/engine_reference.h"

namespace tbp {

namespace {

constexpr int kInfoImageWidth = 760;
constexpr int kLongestListenMs = 60000;
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

// The Listen button of the song's row on the Music page, or null when the song has no file.
QToolButton* listenButtonOf(MainWindow& window, int song) {
  const std::vector<tbp::MsuSong> songs = window.portImage.msuSongs();
  for (std::size_t row = 0; row < songs.size(); ++row) {
    if (songs[row].index != song) continue;
    QLayoutItem* item = window.musicGrid->itemAtPosition(int(row), 1);
    return item && item->widget()
               ? item->widget()->findChild<QToolButton*>(QStringLiteral("listen"))
               : nullptr;
  }
  return nullptr;
}

// TBP_LISTEN names a song whose "Listen" the run presses on the Music page; it goes on once
// the seam has played (at most a minute), so that a recording of the audio output can be
// checked. Why nothing plays goes to standard error.
void listenIfAsked(MainWindow& window) {
  bool isNumber = false;
  const int song = qEnvironmentVariable("TBP_LISTEN").toInt(&isNumber);
  if (!isNumber) return;
  for (int index = 0; index < window.tabs->count(); ++index)
    if (window.tabs->tabText(index) == QStringLiteral("Music")) window.tabs->setCurrentIndex(index);
  QApplication::processEvents();
  QToolButton* listen = listenButtonOf(window, song);
  if (!listen || !listen->isEnabled()) {
    qWarning("Listen: %s", listen ? qPrintable(listen->toolTip()) : "the song has no file");
    return;
  }
  SeamPlayer* player = musicTools(window).player;
  QEventLoop playing;
  QObject::connect(player, &SeamPlayer::changed, &playing, [&playing, player] {
    if (player->song() < 0) playing.quit();
  });
  QObject::connect(player, &SeamPlayer::failed, &playing,
                   [](const QString& error) { qWarning("Listen: %s", qPrintable(error)); });
  QTimer::singleShot(kLongestListenMs, &playing, &QEventLoop::quit);
  listen->click();
  playing.exec();
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
  listenIfAsked(window);
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
