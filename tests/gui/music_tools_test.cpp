// The Music page's tools for track makers: the waveform picks the loop start, "Find loop"
// loops from the core's suggestion, "Listen" says why it cannot play here, the matched
// loudness is kept in the settings, and the window writes what bexulo-cli writes for the same
// choices.
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

#include "build/audio.h"
#include "build/loop_search.h"
#include "pages/music_tools.h"
#include "pages/seam_player.h"
#include "pages/waveform_view.h"
#include "support/demo_games.h"
#include "support/looping_song.h"
#include "support/port_files.h"
#include "support/wav_writer.h"
#include "support/window_harness.h"

namespace {

enum Column { kFile = 1, kChoose, kLoop, kStart };

// The fixture port's first song (index 1, row 0) loops; its song 11 (row 5) does not.
struct Music {
  WindowHarness harness;
  MainWindow& window = *harness.window;
  Music() {
    const tbp::Bytes port = tbp::testkit::makePortImage(tbp::testkit::makeNesRom());
    window.openPortFile(harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(port)));
  }
  template <typename Widget>
  Widget* cell(int row, int column) const {
    QLayoutItem* item = window.musicGrid->itemAtPosition(row, column);
    return item ? qobject_cast<Widget*>(item->widget()) : nullptr;
  }
  QString song(const QString& name, const tbp::testkit::LoopingSong& song) {
    const tbp::testkit::WavLayout layout{tbp::testkit::WavEncoding::Pcm16, 2, song.sampleRate};
    return harness.writeFile(name, asQByteArray(tbp::testkit::makeWav(layout, song.samples)));
  }
  void choose(int row, const QString& path) {
    harness.prompts->paths = {path};
    cell<QPushButton>(row, kChoose)->click();
  }
  // A track tool of the row, found by its name under the file's name; null without a file.
  template <typename Widget>
  Widget* tool(int row, const char* name) const {
    auto* file = cell<QLabel>(row, kFile);
    return file ? file->findChild<Widget*>(QLatin1String(name)) : nullptr;
  }
  // Clicks "Find loop" and waits until the search's result has been taken.
  void findLoop(int row) {
    tool<QToolButton>(row, "findLoop")->click();
    QTRY_VERIFY(!musicTools(window).workers.busy());
  }
};

}  // namespace

class MusicToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() { QSettings().clear(); }

  void aClickInTheWaveformSetsTheLoopStart() {
    Music music;
    music.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&music.window));
    music.window.tabs->setCurrentIndex(5);
    QVERIFY(!music.tool<WaveformView>(5, "waveform"));  // no file, no waveform
    music.choose(5, music.song(QStringLiteral("a.wav"),
                               tbp::testkit::makeLoopingSong(8000, 1, 2, 2)));
    auto* wave = music.tool<WaveformView>(5, "waveform");
    QVERIFY(wave && wave->width() > 20);
    QVERIFY(!music.cell<QCheckBox>(5, kLoop)->isChecked());
    const int x = wave->width() * 3 / 5;
    QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(x, wave->height() / 2));
    const MusicChoice& choice = music.window.musicChoices.at(11);
    QVERIFY(choice.loop);
    QVERIFY(music.cell<QCheckBox>(5, kLoop)->isChecked());
    QCOMPARE(choice.loopStart, std::round(wave->secondsAt(x) * 100) / 100);
    QVERIFY(choice.loopStart > 2.5 && choice.loopStart < 3.5);
    // A click past the last allowed start picks the last allowed start.
    QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(wave->width() - 1, 4));
    QCOMPARE(music.window.musicChoices.at(11).loopStart, 4.95);
  }

  void findLoopLoopsFromTheSuggestion() {
    Music music;
    const tbp::testkit::LoopingSong song = tbp::testkit::makeLoopingSong(22050, 1.7, 3.9, 3);
    music.choose(5, music.song(QStringLiteral("looping.wav"), song));
    music.findLoop(5);
    const MusicChoice& choice = music.window.musicChoices.at(11);
    QVERIFY(choice.loop);
    const double seconds = choice.loopStart;
    QVERIFY2(std::fabs(seconds - song.seamlessStarts()[0]) < 0.01 ||
                 std::fabs(seconds - song.seamlessStarts()[1]) < 0.01,
             qPrintable(QString::number(seconds)));
    QVERIFY(music.harness.prompts->boxes.isEmpty());
    // Noise has no loop: the user is told so and nothing changes.
    const tbp::testkit::WavLayout layout{tbp::testkit::WavEncoding::Pcm16, 2, 22050};
    music.choose(0, music.harness.writeFile(
                        QStringLiteral("notes.wav"),
                        asQByteArray(tbp::testkit::makeWav(
                            layout, tbp::testkit::randomNotes(22050, 10, 4)))));
    music.findLoop(0);
    QCOMPARE(music.harness.prompts->boxes.size(), 1);
    QCOMPARE(music.harness.prompts->boxes[0].title, QStringLiteral("No seamless loop"));
    QCOMPARE(music.window.musicChoices.at(1).loopStart, 0.0);
  }

  // The search runs on a worker thread: its result loops the row it was made for in one
  // undoable step, and is dropped when the song has another file by then or the search was
  // stopped by a second click. A window closed mid-search waits for it.
  void findLoopLeavesTheWindowFree() {
    Music music;
    const tbp::testkit::LoopingSong song = tbp::testkit::makeLoopingSong(22050, 1.7, 3.9, 3);
    const QString looping = music.song(QStringLiteral("looping.wav"), song);
    music.choose(0, looping);
    music.choose(5, looping);
    MusicTools& tools = musicTools(music.window);
    const int steps = music.window.undoStack->count();
    music.tool<QToolButton>(5, "findLoop")->click();
    music.tool<QToolButton>(0, "findLoop")->click();
    QCOMPARE(music.tool<QToolButton>(0, "findLoop")->text(), QStringLiteral("Searching..."));
    music.choose(5, music.song(QStringLiteral("other.wav"), song));
    QCOMPARE(music.tool<QToolButton>(5, "findLoop")->text(), QStringLiteral("Find loop"));
    QTRY_VERIFY(!tools.workers.busy());
    QCOMPARE(music.tool<QToolButton>(0, "findLoop")->text(), QStringLiteral("Find loop"));
    const double found = music.window.musicChoices.at(1).loopStart;
    QVERIFY2(std::fabs(found - song.seamlessStarts()[0]) < 0.01 ||
                 std::fabs(found - song.seamlessStarts()[1]) < 0.01,
             qPrintable(QString::number(found)));
    QCOMPARE(music.window.musicChoices.at(11).loopStart, 0.0);
    QVERIFY(!music.window.musicChoices.at(11).loop);
    QCOMPARE(music.window.undoStack->count(), steps + 2);  // the new file, the loop start
    music.window.undoStack->undo();
    QCOMPARE(music.window.musicChoices.at(1).loopStart, 0.0);

    music.tool<QToolButton>(5, "findLoop")->click();
    music.tool<QToolButton>(5, "findLoop")->click();
    QCOMPARE(music.tool<QToolButton>(5, "findLoop")->text(), QStringLiteral("Find loop"));
    QTRY_VERIFY(!tools.workers.busy());
    QCOMPARE(music.window.musicChoices.at(11).loopStart, 0.0);
    music.tool<QToolButton>(5, "findLoop")->click();  // still running when the window goes
  }

  // A long file name with its loudness and the track tools fit an 800 pixel wide window: the
  // list never scrolls sideways, and the waveform takes the room there is.
  void rowsFitANarrowWindow() {
    Music music;
    music.window.resize(800, 600);
    music.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&music.window));
    music.window.tabs->setCurrentIndex(5);
    musicTools(music.window).matchBox->setChecked(true);
    music.choose(0, music.song(QStringLiteral("A rather long name for the title theme, as "
                                              "composers give them (final mix 3).wav"),
                               tbp::testkit::makeLoopingSong(8000, 1, 2, 2)));
    QTest::qWait(50);
    QVERIFY(music.window.width() <= 800);
    auto* scroll = qobject_cast<QScrollArea*>(music.window.musicList->parentWidget()->parentWidget());
    QVERIFY(scroll);
    QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);
    QVERIFY(music.tool<WaveformView>(0, "waveform")->width() > 100);
  }

  void listenSaysWhyItCannotPlay() {
    if (SeamPlayer::unavailableReason().isEmpty()) QSKIP("this machine has an audio output");
    Music music;
    QVERIFY(!music.tool<QToolButton>(0, "listen"));  // no file, no tools
    music.choose(0, music.song(QStringLiteral("a.wav"),
                               tbp::testkit::makeLoopingSong(8000, 1, 2, 2)));
    auto* listen = music.tool<QToolButton>(0, "listen");
    QCOMPARE(listen->text(), QStringLiteral("Listen"));
    QVERIFY(!listen->isEnabled());
    QCOMPARE(listen->toolTip(), SeamPlayer::unavailableReason());
  }

  void matchedLoudnessIsKeptAndShown() {
    {
      Music music;
      QVERIFY(!musicTools(music.window).matchBox->isChecked());
      music.choose(0, music.song(QStringLiteral("a.wav"),
                                 tbp::testkit::makeLoopingSong(8000, 1, 2, 2)));
      QCOMPARE(music.cell<QLabel>(0, kFile)->text(), QStringLiteral("a.wav  (5.0 s)"));
      musicTools(music.window).matchBox->setChecked(true);
      musicTools(music.window).targetBox->setValue(-16);
      const QString text = music.cell<QLabel>(0, kFile)->text();
      const double loudness = musicTools(music.window).details.at(1).loudness;
      QVERIFY2(text.startsWith(QStringLiteral("a.wav  (5.0 s)\n%1 LUFS, gain ")
                                   .arg(QString::number(loudness, 'f', 1))),
               qPrintable(text));
      QVERIFY(loudness < -5 && loudness > -20);
    }
    Music again;
    QVERIFY(musicTools(again.window).matchBox->isChecked());
    QCOMPARE(musicTools(again.window).targetBox->value(), -16.0);
    QCOMPARE(QSettings().value(QStringLiteral("music/loudnessTarget")).toDouble(), -16.0);
  }

  // Matched loudness, a trimmed looping track from the suggestion and a faded one: the same
  // tracks as bexulo-cli build --loudness -20 --trim --fade 5 with @auto and @off.
  void sameTracksAsTheCommandLine() {
    WindowHarness harness(
        [](const QString& dir) { tbp::testkit::writeDemoDatabase(dir.toStdString()); });
    MainWindow& window = *harness.window;
    const QString dump = harness.workDir.filePath(
        QStringLiteral("demo/") + QString::fromStdString(tbp::testkit::demoGames()[0].dumpName));
    window.openNesFile(dump);
    const std::vector<tbp::MsuSong> songs = window.portImage.msuSongs();
    QVERIFY(songs.size() >= 2);
    std::vector<double> quiet(2 * 48000 / 2, 0.0);  // half a second of silence first
    const auto looping = tbp::testkit::makeLoopingSong(48000, 1.1, 3.3, 3).samples;
    quiet.insert(quiet.end(), looping.begin(), looping.end());
    const QString audio = harness.writeFile(
        QStringLiteral("song.wav"),
        asQByteArray(tbp::testkit::makeWav({tbp::testkit::WavEncoding::Pcm16, 2, 48000}, quiet)));
    musicTools(window).matchBox->setChecked(true);
    musicTools(window).targetBox->setValue(-20);
    const auto cell = [&](int row, int column) {
      return window.musicGrid->itemAtPosition(row, column)->widget();
    };
    for (int row = 0; row < 2; ++row) {
      harness.prompts->paths = {audio};
      qobject_cast<QPushButton*>(cell(row, kChoose))->click();
      const auto tool = [&](const char* name) {
        return cell(row, kFile)->findChild<QToolButton*>(QLatin1String(name));
      };
      QMenu* menu = tool("shape")->menu();
      menu->actions()[0]->trigger();                          // trim leading silence
      if (row == 1) qobject_cast<QCheckBox*>(cell(row, kLoop))->setChecked(false);
      if (row == 1) menu->actions()[4]->trigger();            // fade out over 5 s
      if (row == 0) tool("findLoop")->click();
    }
    QTRY_VERIFY(!musicTools(window).workers.busy());
    QVERIFY(window.musicChoices.at(songs[0].index).loop);
    const QString windowRom = harness.workDir.filePath(QStringLiteral("w/Port.sfc"));
    const QString cliRom = harness.workDir.filePath(QStringLiteral("c/Port.sfc"));
    QDir(harness.workDir.path()).mkpath(QStringLiteral("w"));
    QDir(harness.workDir.path()).mkpath(QStringLiteral("c"));
    harness.prompts->paths = {windowRom};
    window.saveRom();
    QVERIFY(harness.prompts->boxes.isEmpty());
    QProcess cli;
    cli.start(QStringLiteral(TBP_CLI_PATH),
              {QStringLiteral("build"), dump, QStringLiteral("-o"), cliRom,
               QStringLiteral("--games"), harness.workDir.filePath(QStringLiteral("games")),
               "--msu", QStringLiteral("%1=%2@auto").arg(songs[0].index).arg(audio), "--msu",
               QStringLiteral("%1=%2@off").arg(songs[1].index).arg(audio), "--loudness", "-20",
               "--trim", "--fade", "5"});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    for (const auto& song : {songs[0], songs[1]}) {
      const QString name = QStringLiteral("/Port-%1.pcm").arg(song.index);
      const tbp::Bytes track = readBack(harness.workDir.filePath(QStringLiteral("w") + name));
      QVERIFY(track.size() > 8);
      QVERIFY2(track == readBack(harness.workDir.filePath(QStringLiteral("c") + name)),
               qPrintable(name));
    }
    QVERIFY(readBack(windowRom) == readBack(cliRom));
  }
};

QTEST_MAIN(MusicToolsTest)
#include "music_tools_test.moc"
