#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "build/audio.h"
#include "support/port_files.h"
#include "support/wav_writer.h"
#include "support/window_harness.h"

namespace {

enum Column { kFile = 1, kChoose, kLoop, kStart, kClear };

// The widget in the song's row of the Music page.
template <typename Widget>
Widget* cell(const MainWindow& window, int song, Column column) {
  const auto songs = window.portImage.msuSongs();
  const auto row =
      std::find_if(songs.begin(), songs.end(), [&](auto& entry) { return entry.index == song; });
  return qobject_cast<Widget*>(
      window.musicGrid->itemAtPosition(int(row - songs.begin()), column)->widget());
}

// The window showing the fixture port from <workDir>/Game.sfc: songs 1, 2, 3, 5, 10, 11, 31
// and 32, the first five looping; switch bit 12 off.
struct Music {
  WindowHarness harness;
  MainWindow& window = *harness.window;
  Music() {
    const tbp::Bytes port = tbp::testkit::makePortImage(tbp::testkit::makeNesRom());
    window.openPortFile(harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(port)));
  }
  // An 8-bit WAV of a tone.
  QString wav(const QString& name, int frames, std::uint32_t rate = 4000,
              std::uint16_t channels = 1) {
    const tbp::testkit::WavLayout layout{tbp::testkit::WavEncoding::Pcm8, channels, rate, false};
    const auto tone = tbp::testkit::sineTones(rate, channels, std::size_t(frames), 440, 0.5);
    return harness.writeFile(name, asQByteArray(tbp::testkit::makeWav(layout, tone)));
  }
  void choose(int song, const QString& path) {
    harness.prompts->paths = {path};
    cell<QPushButton>(window, song, kChoose)->click();
  }
  bool msuSwitch() const { return window.portImage.flags() >> 12 & 1; }
  QString path(const QString& name) const { return harness.workDir.filePath(name); }
  // Song 3 loops from 0.5 s, song 10 plays once.
  void chooseTwo() {
    choose(3, wav(QStringLiteral("three.wav"), 16000, 22050, 2));
    choose(10, wav(QStringLiteral("ten.wav"), 4000));
    cell<QDoubleSpinBox>(window, 3, kStart)->setValue(0.5);
    cell<QCheckBox>(window, 10, kLoop)->setChecked(false);
  }
  // Saves the ROM or the patch as Out.sfc or Out.bps.
  void save(bool patch) {
    harness.prompts->paths = {path(patch ? QStringLiteral("Out.bps") : QStringLiteral("Out.sfc"))};
    patch ? window.savePatch() : window.saveRom();
  }
  bool trackIs(int song, const QString& audio, double loopStart) const {
    const QString track = path(QStringLiteral("Out-%1.pcm").arg(song));
    return QFile::exists(track) &&
           readBack(track) == tbp::makeMsuTrack(readBack(path(audio)), loopStart);
  }
};

// A key on the focused widget; then the event loop runs, as it does between keystrokes.
void press(Qt::Key key) {
  QTest::keyClick(QApplication::focusWidget(), key);
  QCoreApplication::processEvents();
}

}  // namespace

class MusicPageTest : public QObject {
  Q_OBJECT

 private slots:
  void loopStartRangeFollowsTheDuration_data() {
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("maximum");
    QTest::newRow("90 s") << 720000 << "a.wav  (90.0 s)" << 89.95;
    QTest::newRow("1.5 s") << 12000 << "a.wav  (1.5 s)" << 1.45;
    QTest::newRow("0.05 s") << 400 << "a.wav  (0.1 s)" << 0.0;
    QTest::newRow("0.025 s") << 200 << "a.wav  (0.0 s)" << 0.0;
  }

  void loopStartRangeFollowsTheDuration() {
    QFETCH(int, frames);
    QFETCH(QString, label);
    QFETCH(double, maximum);
    Music music;
    music.choose(3, music.wav(QStringLiteral("a.wav"), frames, 8000, 2));
    QCOMPARE(cell<QLabel>(music.window, 3, kFile)->text(), label);
    QCOMPARE(cell<QDoubleSpinBox>(music.window, 3, kStart)->maximum(), maximum);
    QVERIFY(cell<QDoubleSpinBox>(music.window, 3, kStart)->isEnabled());
    QCOMPARE(cell<QDoubleSpinBox>(music.window, 5, kStart)->maximum(), 0.0);
  }

  void choosingMapsTheSongAndReplacingResetsTheLoop() {
    Music music;
    music.choose(11, music.wav(QStringLiteral("a.wav"), 8000));
    QCOMPARE(music.window.portImage.msuTrack(11), 11);
    QVERIFY(!music.window.portImage.msuLoop(11));  // the port's own flag for the song
    QVERIFY(music.msuSwitch());
    QVERIFY(!cell<QDoubleSpinBox>(music.window, 11, kStart)->isEnabled());
    music.window.renderInfoPage();
    QVERIFY(music.window.infoBrowser->toPlainText().contains(
        QStringLiteral("8 songs, 1 replaced in the ROM, 1 picked on the Music tab")));

    auto* loop = cell<QCheckBox>(music.window, 11, kLoop);
    loop->setChecked(true);  // takes effect at once, without a rebuild
    QVERIFY(music.window.portImage.msuLoop(11));
    QVERIFY(cell<QDoubleSpinBox>(music.window, 11, kStart)->isEnabled());
    cell<QDoubleSpinBox>(music.window, 11, kStart)->setValue(1.25);
    QCOMPARE(cell<QCheckBox>(music.window, 11, kLoop), loop);

    const QString second = music.wav(QStringLiteral("b.wav"), 20000);
    music.choose(11, second);
    const MusicChoice& choice = music.window.musicChoices.at(11);
    QCOMPARE(choice.path, second);
    QCOMPARE(choice.seconds, 5.0);
    QCOMPARE(choice.loopStart, 0.0);
  }

  void unusableFileChangesNothing() {
    Music music;
    const tbp::Bytes before = music.window.portImage.bytes();
    music.choose(3, music.harness.writeFile(QStringLiteral("notes.txt"), "not audio"));
    QCOMPARE(music.harness.prompts->boxes.size(), 1);
    QCOMPARE(music.harness.prompts->boxes[0].title, QStringLiteral("Can't use that file"));
    QCOMPARE(music.harness.prompts->boxes[0].text,
             QStringLiteral("unknown audio format (WAV, MP3, OGG or FLAC)"));
    QVERIFY(music.window.musicChoices.empty());
    QCOMPARE(music.window.portImage.bytes(), before);
  }

  void clearingTheLastChoiceSwitchesMsuOff() {
    Music music;
    music.choose(3, music.wav(QStringLiteral("a.wav"), 4000));
    music.choose(10, music.wav(QStringLiteral("b.wav"), 4000));
    for (const int song : {3, 10}) {
      cell<QPushButton>(music.window, song, kClear)->click();
      QCOMPARE(music.window.portImage.msuTrack(song), -1);
      QCOMPARE(music.msuSwitch(), song == 3);
    }
    QVERIFY(music.window.musicChoices.empty());
  }

  // The choices stay with the port they were made for.
  void anotherPortDropsTheChoices() {
    Music music;
    music.choose(3, music.wav(QStringLiteral("a.wav"), 4000));
    tbp::testkit::PortOptions noMsu;
    noMsu.msu1 = false;
    music.window.openPortFile(music.harness.writeFile(
        "old.sfc", asQByteArray(tbp::testkit::makePortImage(tbp::testkit::makeNesRom(), noMsu))));
    QVERIFY(music.window.musicChoices.empty());
    QCOMPARE(music.window.musicIntro->text(),
             QStringLiteral("This ROM has no MSU-1 support (built before it was added)."));
    QCOMPARE(music.window.musicGrid->count(), 0);
    QVERIFY(!music.window.tabs->isTabEnabled(5));
  }

  // Tab walks a row from left to right, skipping what is disabled; the focus stays on the row
  // when the list is rebuilt.
  void keyboardAlone() {
    Music music;
    music.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&music.window));
    music.window.tabs->setCurrentIndex(5);
    music.harness.prompts->paths = {music.wav(QStringLiteral("a.wav"), 8000)};
    cell<QPushButton>(music.window, 3, kChoose)->setFocus();
    const QList<QPair<Qt::Key, Column>> steps = {
        {Qt::Key_Space, kChoose}, {Qt::Key_Tab, kLoop},  {Qt::Key_Tab, kStart},
        {Qt::Key_Up, kStart},     {Qt::Key_Tab, kClear}, {Qt::Key_Space, kChoose}};
    for (const auto& [key, column] : steps) {
      press(key);
      QCOMPARE(QApplication::focusWidget(), cell<QWidget>(music.window, 3, column));
      if (key == Qt::Key_Up) QVERIFY(music.window.musicChoices.at(3).loopStart > 0);
    }
    QVERIFY(music.window.musicChoices.empty());
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), cell<QWidget>(music.window, 5, kChoose));
  }

  // Songs 3 and 10 chosen, saved as Out.sfc or Out.bps beside an Out.msu that may exist.
  void savingWritesTheMarkerAndTheTracks_data() {
    QTest::addColumn<bool>("patch");
    QTest::addColumn<int>("threads");      // 0: one per core
    QTest::addColumn<int>("cancelAfter");  // progress updates before Cancel; -1: never
    QTest::addColumn<bool>("broken");      // song 3's file is no audio by the time of saving
    QTest::addColumn<QList<int>>("written");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("ROM") << false << 1 << -1 << false << QList<int>{3, 10}
                         << "Saved %1 (%2 KB) + 2 MSU-1 track(s)"
                         << "";
    QTest::newRow("patch") << true << 0 << -1 << false << QList<int>{3, 10}
                           << "Patch saved: %1 (%2 KB) + 2 MSU-1 track(s) beside it"
                           << "";
    QTest::newRow("cancel") << false << 1 << 2 << false << QList<int>{3}
                            << "Saved %1 (%2 KB) + 1 of 2 MSU-1 track(s) (cancelled)"
                            << "";
    // A failing track fails the whole save: neither the patch nor any track appears, and the
    // user's marker stays as it was.
    QTest::newRow("failing") << true << 0 << -1 << true << QList<int>{}
                             << "Converting three.wav ..."
                             << "three.wav: unknown audio format (WAV, MP3, OGG or FLAC)";
  }

  void savingWritesTheMarkerAndTheTracks() {
    QFETCH(bool, patch);
    QFETCH(int, threads);
    QFETCH(int, cancelAfter);
    QFETCH(bool, broken);
    QFETCH(QList<int>, written);
    QFETCH(QString, status);
    QFETCH(QString, error);
    Music music;
    if (patch) music.harness.writeFile(QStringLiteral("Out.msu"), "kept");
    QStringList messages;
    QObject::connect(music.window.statusBar(), &QStatusBar::messageChanged,
                     [&](const QString& text) { messages << text; });
    music.window.trackThreads = threads;
    music.harness.prompts->cancelAfterUpdates = cancelAfter;
    music.chooseTwo();
    if (broken) music.harness.writeFile(QStringLiteral("three.wav"), "no longer audio");
    music.save(patch);

    const QString saved = music.path(patch ? QStringLiteral("Out.bps") : QStringLiteral("Out.sfc"));
    QCOMPARE(
        music.window.statusBar()->currentMessage(),
        status.replace("%1", saved).replace("%2", QString::number(readBack(saved).size() / 1024)));
    QCOMPARE(music.harness.prompts->boxes.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty()) QCOMPARE(music.harness.prompts->boxes[0].text, error);
    QCOMPARE(QFile::exists(saved), error.isEmpty());
    QVERIFY(QFile::exists(music.path(QStringLiteral("Out.msu"))));
    QCOMPARE(readBack(music.path(QStringLiteral("Out.msu"))).size(), patch ? 4u : 0u);
    QCOMPARE(music.trackIs(3, QStringLiteral("three.wav"), 0.5), written.contains(3));
    QCOMPARE(music.trackIs(10, QStringLiteral("ten.wav"), -1), written.contains(10));
    if (QTest::currentDataTag() != QStringLiteral("ROM")) return;
    // One worker: the messages and the progress follow the song order.
    QCOMPARE(messages.mid(0, 2), (QStringList{QStringLiteral("Converting three.wav ..."),
                                              QStringLiteral("Converting ten.wav ...")}));
    QCOMPARE(music.harness.prompts->progressTitles, QStringList{"Saving MSU-1 tracks"});
    QCOMPARE(music.harness.prompts->progressUpdates,
             (QStringList{"Converting track 1 of 2: three.wav | 0",
                          "Converting track 2 of 2: ten.wav | 1",
                          "Converting track 2 of 2: ten.wav | 2"}));
  }
};

QTEST_MAIN(MusicPageTest)
#include "music_page_test.moc"
