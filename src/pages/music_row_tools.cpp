#include <exception>

#include <QActionGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QStyle>
#include <QStatusBar>
#include <QToolButton>

#include "app/main_window.h"
#include "app/status_errors.h"
#include "pages/music_tools.h"
#include "pages/pages.h"
#include "pages/seam_player.h"
#include "pages/waveform_view.h"

namespace {

// The fade lengths the shaping menu offers; 0 is no fade.
constexpr double kFadeChoices[] = {0, 2, 5, 10};

MusicChoice* choiceOf(MainWindow& window, int song) {
  const auto found = window.musicChoices.find(song);
  return found == window.musicChoices.end() ? nullptr : &found->second;
}

WaveformView* waveform(const TrackDetails& details, const MusicChoice& choice, QCheckBox* loop,
                       QDoubleSpinBox* start) {
  auto* view = new WaveformView;
  view->setObjectName(QStringLiteral("waveform"));
  view->setSummary(details.peaks);
  view->setLatestLoopStart(start->maximum());
  view->setLoopStart(choice.loop ? choice.loopStart : -1);
  QObject::connect(view, &WaveformView::loopStartPicked, view,
                   [loop, start](double seconds) {
                     loop->setChecked(true);
                     start->setValue(seconds);
                   });
  QObject::connect(start, &QDoubleSpinBox::valueChanged, view, [view, loop](double seconds) {
    if (loop->isChecked()) view->setLoopStart(seconds);
  });
  QObject::connect(loop, &QCheckBox::toggled, view,
                   [view, start](bool on) { view->setLoopStart(on ? start->value() : -1); });
  return view;
}

// "Find loop", or "Searching..." while a search looks in the song's file: a click then stops it.
void showSearchState(QToolButton* find, bool searching) {
  find->setText(searching ? QStringLiteral("Searching...") : QStringLiteral("Find loop"));
  find->setToolTip(searching ? QStringLiteral("Looking for the loop start; click to stop")
                             : QStringLiteral("Look for the loop start where the jump from the "
                                              "end is seamless"));
}

QToolButton* findLoopButton(MainWindow& window, int song, const MusicChoice* chosen) {
  MusicTools& tools = musicTools(window);
  auto* find = new QToolButton;
  find->setEnabled(chosen != nullptr);
  showSearchState(find, chosen && tools.searching(song, *chosen));
  QObject::connect(&tools, &MusicTools::searchesChanged, find, [&window, &tools, find, song] {
    const MusicChoice* choice = choiceOf(window, song);
    showSearchState(find, choice && tools.searching(song, *choice));
  });
  QObject::connect(find, &QToolButton::clicked, &window, [&window, song] {
    runPageHandler(window, [&] { toggleLoopSearch(window, song); });
  });
  return find;
}

// The play and stop symbols of the style, with the button's text for the tooltip-less reader.
void showListenState(QToolButton* listen, bool playing) {
  listen->setText(playing ? QStringLiteral("Stop") : QStringLiteral("Listen"));
  listen->setIcon(listen->style()->standardIcon(playing ? QStyle::SP_MediaStop
                                                        : QStyle::SP_MediaPlay));
}

QToolButton* listenButton(MainWindow& window, int song, bool chosen) {
  SeamPlayer* player = musicTools(window).player;
  auto* listen = new QToolButton;
  listen->setToolButtonStyle(Qt::ToolButtonIconOnly);  // the text names it for screen readers
  showListenState(listen, player->song() == song);
  const QString unavailable = SeamPlayer::unavailableReason();
  listen->setEnabled(chosen && unavailable.isEmpty());
  listen->setAccessibleName(QStringLiteral("Listen"));
  listen->setToolTip(unavailable.isEmpty()
                         ? QStringLiteral("Play the last 3 seconds and the jump to the loop start, "
                                          "as the console will")
                         : unavailable);
  QObject::connect(player, &SeamPlayer::changed, listen,
                   [listen, player, song] { showListenState(listen, player->song() == song); });
  QObject::connect(listen, &QToolButton::clicked, &window, [&window, player, song] {
    const MusicChoice* choice = choiceOf(window, song);
    if (player->song() == song || !choice) return player->stop();
    player->play(song, choice->path, choice->loop ? choice->loopStart : -1.0,
                 trackShaping(window, song, *choice));
  });
  return listen;
}

// "Trim leading silence" and the fade-out lengths, which apply when the song does not loop.
QToolButton* shapeButton(MainWindow& window, int song, const TrackDetails* details) {
  auto* button = new QToolButton;
  button->setText(QStringLiteral("Shape"));
  button->setToolTip(QStringLiteral("Trim the silence before the music, or fade out the end"));
  button->setPopupMode(QToolButton::InstantPopup);
  button->setEnabled(details != nullptr);
  auto* menu = new QMenu(button);
  QAction* trim = menu->addAction(QStringLiteral("Trim leading silence"));
  trim->setCheckable(true);
  trim->setChecked(details && details->trimSilence);
  menu->addSeparator();
  auto* fades = new QActionGroup(menu);
  for (const double seconds : kFadeChoices) {
    QAction* fade = menu->addAction(seconds == 0 ? QStringLiteral("No fade out")
                                                 : QStringLiteral("Fade out over %1 s").arg(seconds));
    fade->setCheckable(true);
    fade->setChecked(details && details->fadeSeconds == seconds);
    fade->setData(seconds);
    fades->addAction(fade);
  }
  button->setMenu(menu);
  // The handlers find the details anew: the list may have been rebuilt since.
  const auto current = [&window, song]() -> TrackDetails* {
    const MusicChoice* choice = choiceOf(window, song);
    return choice ? musicTools(window).detailsOf(song, *choice) : nullptr;
  };
  QObject::connect(menu, &QMenu::aboutToShow, menu, [&window, song, fades] {
    const MusicChoice* choice = choiceOf(window, song);
    fades->setEnabled(choice && !choice->loop);  // a looping song never ends
  });
  QObject::connect(trim, &QAction::toggled, menu, [current](bool on) {
    if (TrackDetails* details = current()) details->trimSilence = on;
  });
  QObject::connect(fades, &QActionGroup::triggered, menu, [current](QAction* fade) {
    if (TrackDetails* details = current()) details->fadeSeconds = fade->data().toDouble();
  });
  return button;
}

}  // namespace

QWidget* trackToolStrip(MainWindow& window, int song, QCheckBox* loop, QDoubleSpinBox* start) {
  MusicTools& tools = musicTools(window);
  if (!tools.player) {
    tools.player = new SeamPlayer(&tools);
    // A file that cannot be converted any more (moved, changed) says so as a page error does.
    QObject::connect(tools.player, &SeamPlayer::failed, &window, [&window](const QString& error) {
      window.statusBar()->showMessage(QStringLiteral("Error: %1").arg(error),
                                      tbp::kErrorMessageTimeoutMs);
    });
  }
  const MusicChoice* choice = choiceOf(window, song);
  const TrackDetails* details = choice ? tools.detailsOf(song, *choice) : nullptr;
  auto* strip = new QWidget;
  auto* layout = new QHBoxLayout(strip);
  layout->setContentsMargins(0, 0, 0, 0);
  // Without details (a file chosen before an undo replaced them) the tools stay at the right.
  if (details)
    layout->addWidget(waveform(*details, *choice, loop, start), 1);
  else
    layout->addStretch(1);
  const std::pair<QToolButton*, const char*> buttons[] = {
      {findLoopButton(window, song, choice), "findLoop"},
      {listenButton(window, song, choice != nullptr), "listen"},
      {shapeButton(window, song, details), "shape"}};
  for (const auto& [button, name] : buttons) {
    button->setObjectName(QString::fromLatin1(name));
    layout->addWidget(button);
  }
  return strip;
}
