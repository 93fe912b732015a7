// Exporting and importing the settings of the current port as a settings document.
#include "app/settings_actions.h"

#include <exception>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/qt_text.h"
#include "app/user_settings.h"
#include "build/audio.h"
#include "build/build_port.h"
#include "build/files.h"
#include "build/port_settings.h"
#include "pages/music_tools.h"
#include "pages/pages.h"

namespace {

const QString kFilter = QStringLiteral("Settings (*.json);;All files (*)");


// The port as its base patch builds it from the current NES ROM, when the window knows both.
std::optional<tbp::PortImage> originalPort(const MainWindow& window) {
  if (!window.currentGame || window.nesRomBytes.empty()) return std::nullopt;
  try {
    return tbp::PortImage(
        tbp::buildPort(window.database, tbp::NesRom{window.currentGame, window.nesRomBytes, {}}));
  } catch (const std::exception&) {
    return std::nullopt;  // without the base patch every glyph and hint is listed
  }
}

tbp::RomSizeChoice chosenSize(const MainWindow& window) {
  if (window.sizeSmallest->isChecked()) return tbp::RomSizeChoice::Smallest;
  if (window.size2Mb->isChecked()) return tbp::RomSizeChoice::TwoMegabytes;
  if (window.size4Mb->isChecked()) return tbp::RomSizeChoice::FourMegabytes;
  return tbp::RomSizeChoice::AsItIs;
}

void chooseSize(MainWindow& window, tbp::RomSizeChoice size) {
  QRadioButton* button = window.sizeAsItIs;
  if (size == tbp::RomSizeChoice::Smallest) button = window.sizeSmallest;
  if (size == tbp::RomSizeChoice::TwoMegabytes) button = window.size2Mb;
  if (size == tbp::RomSizeChoice::FourMegabytes) button = window.size4Mb;
  button->setChecked(true);
}

tbp::PortSettings windowSettings(const MainWindow& window) {
  const std::optional<tbp::PortImage> original = originalPort(window);
  tbp::PortSettings settings =
      tbp::readPortSettings(window.portImage, original ? &*original : nullptr);
  settings.size = chosenSize(window);
  settings.gameGenieCodes = typedCodes(window);
  // The Music page knows the audio behind the songs chosen there; a song a saved port already
  // plays from a track keeps its entry without audio.
  std::erase_if(settings.msu, [&](const tbp::MsuSetting& music) {
    return window.musicChoices.count(music.song) != 0;
  });
  for (const auto& [song, choice] : window.musicChoices)
    settings.msu.push_back({song, utf8(choice.path), choice.loop, choice.loopStart});
  return settings;
}

// The audio of the document's songs, checked as the Music page checks a chosen file; a song
// whose file cannot be used is skipped.
void takeMusic(MainWindow& window, const tbp::PortSettings& settings, const QString& documentPath,
               std::vector<std::string>& skipped) {
  for (const tbp::MsuSetting& music : settings.msu) {
    if (music.file.empty() || window.portImage.msuTrack(music.song) != music.song) continue;
    QString path = QString::fromStdString(music.file);
    if (QFileInfo(path).isRelative())
      path = QFileInfo(documentPath).absoluteDir().absoluteFilePath(path);
    try {
      const tbp::DecodedAudio audio =
          tbp::decodeAudio(tbp::readFile(utf8(path), tbp::FileRole::Audio));
      const double seconds = durationSeconds(audio);
      describeAudio(window, music.song, path, audio);  // its waveform and loudness
      window.musicChoices[music.song] = MusicChoice{path, seconds, music.loop, music.loopStart};
    } catch (const std::exception& error) {
      skipped.push_back("MSU-1 song " + std::to_string(music.song) + ": " + error.what());
    }
  }
}

}  // namespace

void addSettingsActions(MainWindow& window, QMenu* menu) {
  window.exportSettingsAction = menu->addAction(QStringLiteral("Export settings..."), &window,
                                                [&window] { exportSettings(window); });
  window.importSettingsAction = menu->addAction(QStringLiteral("Import settings..."), &window,
                                                [&window] { importSettings(window); });
}

void exportSettings(MainWindow& window) {
  if (!window.portImage.isPort()) return;
  const QString path = window.prompts().saveFile(
      QStringLiteral("Export settings"),
      tbp::saveStartPath(tbp::FileKind::Settings,
                         window.suggestOutputPath(QString(), QStringLiteral(".json"))),
      kFilter);
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Settings, path);
  try {
    const std::string text = tbp::writeSettingsJson(windowSettings(window));
    tbp::writeFileSafely(utf8(path), tbp::Bytes(text.begin(), text.end()));
    window.statusBar()->showMessage(QStringLiteral("Settings exported: %1").arg(path));
  } catch (const std::exception& error) {
    window.prompts().critical(QStringLiteral("Error"), QString::fromUtf8(error.what()));
  }
}

void importSettings(MainWindow& window) {
  if (!window.portImage.isPort()) return;
  const QString path = window.prompts().openFile(QStringLiteral("Import settings"), kFilter,
                                                 tbp::lastFolder(tbp::FileKind::Settings));
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Settings, path);
  importSettingsFrom(window, path);
}

void importSettingsFrom(MainWindow& window, const QString& path) {
  try {
    const tbp::Bytes file = tbp::readFile(utf8(path), tbp::FileRole::Json);
    const tbp::PortSettings settings = tbp::parseSettingsJson(std::string(file.begin(), file.end()));
    // One undoable step: the port's bytes, its music choices and its ROM size.
    std::vector<std::string> skipped;
    window.editPort(QStringLiteral("Import settings"), [&] {
      tbp::PortImage edited = window.portImage;
      skipped = tbp::applyPortSettings(edited, settings);
      window.portImage = edited;
      takeMusic(window, settings, path, skipped);
      if (settings.size) chooseSize(window, *settings.size);
    });
    QStringList codes;
    for (const std::string& code : settings.gameGenieCodes) codes << QString::fromStdString(code);
    if (!codes.isEmpty()) window.codeBox->setPlainText(codes.join(QLatin1Char('\n')));
    window.refreshPages();
    window.rebuildMusicList();
    window.statusBar()->showMessage(QStringLiteral("Settings imported: %1").arg(path));
    if (skipped.empty()) return;
    QStringList lines;
    for (const std::string& line : skipped) lines << QString::fromStdString(line);
    window.prompts().warning(QStringLiteral("Some settings were skipped"),
                             QStringLiteral("This port cannot take these settings:\n\n") +
                                 lines.join(QLatin1Char('\n')));
  } catch (const std::exception& error) {
    window.prompts().critical(QStringLiteral("Error"), QString::fromUtf8(error.what()));
  }
}
