#include <algorithm>
#include <exception>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/user_settings.h"
#include "build/audio.h"
#include "build/files.h"
#include "pages/music_tools.h"
#include "pages/pages.h"
#include "pages/track_cell.h"

namespace {

constexpr int kMsuSwitchBit = 12;
// The loop start stays this far before the end, so a loop never starts on the last sample.
constexpr double kLoopEndMargin = 0.05;

// The columns of a song row.
enum Column { kNameColumn, kFileColumn, kChooseColumn, kLoopColumn, kStartColumn, kClearColumn };

const QString kMusicNote = QStringLiteral(
    "Your tracks play through MSU-1 (FXPak Pro, bsnes, snes9x, ...). The patcher saves them "
    "next to the ROM as <name>-<n>.pcm with a <name>.msu file; copy them together. Without "
    "MSU-1 the original NES music plays. Looping songs: the loop start is where the song jumps "
    "back to when it reaches its end. Any length works.");

// Decoding a long file takes a moment: the pointer says so meanwhile.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// True when some song of the port plays an MSU-1 track: a chosen file or a track the ROM
// already maps (a port saved before and opened again).
bool anySongOnTrack(const MainWindow& window) {
  if (!window.musicChoices.empty()) return true;
  for (const tbp::MsuSong& song : window.portImage.msuSongs())
    if (window.portImage.msuTrack(song.index) >= 0) return true;
  return false;
}

// Asks for an audio file for the song, checks that it decodes and maps the song to its own
// MSU-1 track. A file that cannot be used changes nothing, and the message names it.
void chooseAudio(MainWindow& window, int song) {
  const QString path = window.prompts().openFile(
      QStringLiteral("Choose audio"),
      QStringLiteral("Audio (*.wav *.mp3 *.ogg *.flac);;All files (*)"),
      tbp::lastFolder(tbp::FileKind::Audio));
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Audio, path);
  double seconds = 0;
  try {
    const WaitCursor busy;
    const tbp::DecodedAudio audio =
        tbp::decodeAudio(tbp::readFile(path.toUtf8().toStdString(), tbp::FileRole::Audio));
    seconds = durationSeconds(audio);
    describeAudio(window, song, path, audio);
  } catch (const std::exception& error) {
    // The reader's messages carry the path already; the decoder's get the file's name.
    const QString message = QString::fromUtf8(error.what());
    const QString name = QFileInfo(path).fileName();
    window.prompts().warning(
        QStringLiteral("Can't use that file"),
        message.contains(name) ? message : QStringLiteral("%1: %2").arg(name, message));
    return;
  }
  window.editPort(QStringLiteral("Choose audio"), [&] {
    const bool loop = window.portImage.msuLoop(song);
    window.musicChoices[song] = MusicChoice{path, seconds, loop, 0};
    window.portImage.setMsuTrack(song, song);
    window.portImage.setMsuLoop(song, loop);
    window.portImage.setSwitch(kMsuSwitchBit, true);
  });
  stopLoopSearch(window, song);  // it looks in the file the song had
  window.refreshPages();
  window.rebuildMusicList();
}

// The song plays its NES music again, also when its track came with the ROM.
void clearChoice(MainWindow& window, int song) {
  window.editPort(QStringLiteral("Clear music"), [&] {
    window.musicChoices.erase(song);
    window.portImage.setMsuTrack(song, -1);
    if (!anySongOnTrack(window)) window.portImage.setSwitch(kMsuSwitchBit, false);
  });
  stopLoopSearch(window, song);
  window.refreshPages();
  window.rebuildMusicList();
}

void setLoop(MainWindow& window, int song, bool on, QDoubleSpinBox* start) {
  const auto choice = window.musicChoices.find(song);
  if (choice == window.musicChoices.end()) return;
  window.editPort(QStringLiteral("Loop"), [&] {
    choice->second.loop = on;
    window.portImage.setMsuLoop(song, on);
  });
  start->setEnabled(on);
}

// The loop start only matters when the track is written, so the port image is not touched.
// Typing a value is one step.
void setLoopStart(MainWindow& window, int song, double seconds) {
  const auto choice = window.musicChoices.find(song);
  if (choice == window.musicChoices.end()) return;
  window.editPort(
      QStringLiteral("Loop start"), [&] { choice->second.loopStart = seconds; },
      QStringLiteral("loop start %1").arg(song));
}

// romTrack: the MSU-1 track the ROM already plays for the song, or -1. A chosen file's label
// holds the track tools under its text.
QLabel* fileLabel(MainWindow& window, int song, const MusicChoice* choice, int romTrack,
                  QCheckBox* loop, QDoubleSpinBox* start) {
  if (!choice && romTrack >= 0) {
    auto* label = new QLabel(QStringLiteral("MSU-1 track %1, in this ROM").arg(romTrack));
    label->setToolTip(
        QStringLiteral("The ROM plays this song from the track file ending in -%1.pcm beside it. "
                       "Saving does not write that file again: choose an audio file to replace "
                       "it, or Clear to play the NES music.")
            .arg(romTrack));
    return label;
  }
  if (!choice)
    return new QLabel(QStringLiteral("<span style='color:gray'>original NES music</span>"));
  // A file name is shown as it is, never read as markup.
  const QString loudness = loudnessText(window, song, *choice);
  auto* label = new TrackCell(
      QStringLiteral("%1  (%2 s)")
          .arg(QFileInfo(choice->path).fileName(), QString::number(choice->seconds, 'f', 1)) +
          (loudness.isEmpty() ? QString() : QStringLiteral("\n") + loudness),
      trackToolStrip(window, song, loop, start));
  // The tooltip tells where the file lives.
  label->setToolTip(QDir::toNativeSeparators(choice->path));
  return label;
}

QDoubleSpinBox* loopStartBox(const MusicChoice* choice) {
  auto* box = new QDoubleSpinBox;
  box->setDecimals(2);
  box->setSuffix(QStringLiteral(" s"));
  box->setRange(0, choice ? std::max(0.0, choice->seconds - kLoopEndMargin) : 0.0);
  if (choice) box->setValue(choice->loopStart);
  box->setEnabled(choice && choice->loop);
  return box;
}

// One song's row. Every value is set before the handlers are connected, so building the row
// runs none of them; the handlers find their data through the bound song index.
void addSongRow(MainWindow& window, int row, const tbp::MsuSong& song) {
  const int index = song.index;
  const auto found = window.musicChoices.find(index);
  const MusicChoice* choice = found == window.musicChoices.end() ? nullptr : &found->second;
  const int romTrack = window.portImage.msuTrack(index);

  auto* name =
      new QLabel(QStringLiteral("%1  <span style='color:gray'>$%2</span>")
                     .arg(QString::fromStdString(song.name).toHtmlEscaped(),
                          QStringLiteral("%1").arg(index, 2, 16, QLatin1Char('0')).toUpper()));
  name->setTextFormat(Qt::RichText);
  auto* choose = new QPushButton(QStringLiteral("Choose..."));
  auto* loop = new QCheckBox(QStringLiteral("Loop from"));
  loop->setChecked(choice ? choice->loop : window.portImage.msuLoop(index));
  loop->setEnabled(choice != nullptr);
  QDoubleSpinBox* start = loopStartBox(choice);
  auto* clear = new QPushButton(QStringLiteral("Clear"));
  clear->setEnabled(choice != nullptr || romTrack >= 0);

  QGridLayout& grid = *window.musicGrid;
  grid.addWidget(name, row, kNameColumn);
  grid.addWidget(fileLabel(window, index, choice, romTrack, loop, start), row, kFileColumn);
  grid.addWidget(choose, row, kChooseColumn);
  grid.addWidget(loop, row, kLoopColumn);
  grid.addWidget(start, row, kStartColumn);
  grid.addWidget(clear, row, kClearColumn);

  QObject::connect(choose, &QPushButton::clicked, &window, [&window, index] {
    runPageHandler(window, [&] { chooseAudio(window, index); });
  });
  QObject::connect(loop, &QCheckBox::toggled, &window,
                   [&window, index, start](bool on) { setLoop(window, index, on, start); });
  QObject::connect(start, &QDoubleSpinBox::valueChanged, &window,
                   [&window, index](double seconds) { setLoopStart(window, index, seconds); });
  QObject::connect(clear, &QPushButton::clicked, &window, [&window, index] {
    runPageHandler(window, [&] { clearChoice(window, index); });
  });
}

// Empties the grid. The widgets go later, so the handler that asked for the rebuild can finish
// on its own button; until then they are hidden and out of the keyboard's way.
void clearGrid(QGridLayout& grid) {
  for (int row = 0; row < grid.rowCount(); ++row) grid.setRowStretch(row, 0);
  while (QLayoutItem* item = grid.takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->deleteLater();
    }
    delete item;
  }
}

// Where the keyboard focus is in the grid: the cell, and the name of the track tool inside it
// when the focus is on one.
struct FocusPlace {
  int row = -1;
  int column = -1;
  QString tool;
};

FocusPlace focusedPlace(QGridLayout& grid) {
  QWidget* focused = QApplication::focusWidget();
  for (QWidget* widget = focused; widget; widget = widget->parentWidget()) {
    const int item = grid.indexOf(widget);
    if (item < 0) continue;
    FocusPlace place;
    int rowSpan = 0, columnSpan = 0;
    grid.getItemPosition(item, &place.row, &place.column, &rowSpan, &columnSpan);
    if (widget != focused) place.tool = focused->objectName();
    return place;
  }
  return {};
}

// After a rebuild the keyboard stays where it was: on the same control of the same song, or on
// its "Choose..." button when that control is now disabled (a "Clear" that was just used).
void restoreFocus(QGridLayout& grid, const FocusPlace& place) {
  if (place.row < 0) return;
  for (const int column : {place.column, int(kChooseColumn)}) {
    QLayoutItem* item = grid.itemAtPosition(place.row, column);
    QWidget* widget = item ? item->widget() : nullptr;
    if (widget && !place.tool.isEmpty() && column == place.column)
      widget = widget->findChild<QWidget*>(place.tool);
    if (widget && widget->isEnabled() && widget->focusPolicy() != Qt::NoFocus) {
      widget->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

}  // namespace

double durationSeconds(const tbp::DecodedAudio& audio) {
  if (audio.sampleRate == 0 || audio.channels <= 0) return 0;
  return double(audio.samples.size()) / audio.channels / audio.sampleRate;
}

QWidget* buildMusicPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  window.musicIntro = new QLabel;
  window.musicIntro->setWordWrap(true);
  layout->addWidget(window.musicIntro);
  layout->addWidget(buildLoudnessBar(window));

  window.musicList = new QWidget;
  window.musicGrid = new QGridLayout(window.musicList);
  auto* scroll = new QScrollArea;
  scroll->setWidgetResizable(true);
  // The keyboard moves through the rows themselves; the area scrolls to the focused one.
  scroll->setFocusPolicy(Qt::NoFocus);
  scroll->setWidget(window.musicList);
  layout->addWidget(scroll, 1);

  auto* note = new QLabel(kMusicNote);
  note->setTextFormat(Qt::PlainText);
  note->setWordWrap(true);
  note->setStyleSheet(QStringLiteral("color: gray"));
  layout->addWidget(note);
  return page;
}

void MainWindow::rebuildMusicList() {
  const FocusPlace focus = focusedPlace(*musicGrid);
  clearGrid(*musicGrid);
  const std::vector<tbp::MsuSong> songs = portImage.msuSongs();
  if (songs.empty()) {
    musicIntro->setText(
        QStringLiteral("This ROM has no MSU-1 support (built before it was added)."));
    return;
  }
  musicIntro->setText(QStringLiteral("Replace any of the %1 songs with your own audio (WAV, MP3, "
                                     "OGG or FLAC). Sound effects stay as they are.")
                          .arg(songs.size()));
  for (std::size_t row = 0; row < songs.size(); ++row) addSongRow(*this, int(row), songs[row]);
  musicGrid->setColumnStretch(kFileColumn, 1);
  musicGrid->setRowStretch(int(songs.size()), 1);
  restoreFocus(*musicGrid, focus);
}
