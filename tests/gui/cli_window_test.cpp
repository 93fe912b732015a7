// The window and bexulo-cli build write the same files for the same choices, on every demo game.
#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "app/main_window.h"
#include "support/demo_games.h"
#include "support/game_genie_encoder.h"
#include "support/port_files.h"
#include "support/wav_writer.h"
#include "support/window_harness.h"

namespace {

// One set of choices: what the user does in the window, and the same as bexulo-cli settings.
struct Choices {
  QString name;
  std::function<void(MainWindow&)> inWindow;
  QStringList settings;
};

void tick(MainWindow& window, int bit, bool on) { window.switchBoxes.at(bit)->setChecked(on); }

void chooseChip(MainWindow& window, int chip) {
  window.chipCombo->setCurrentIndex(window.chipCombo->findData(chip));
}

QList<Choices> choices() {
  const QString code = QString::fromStdString(tbp::testkit::encodeGameGenie(0x8123, 0x42));
  const QString fixedBankCode = QString::fromStdString(tbp::testkit::encodeGameGenie(0xC456, 0x17));
  return {
      {QStringLiteral("as it is"), [](MainWindow&) {}, {}},
      {QStringLiteral("switches, palette, smallest"),
       [](MainWindow& w) {
         tick(w, 20, true);
         tick(w, 9, false);
         w.paletteCombo->setCurrentIndex(5);
         w.sizeSmallest->setChecked(true);
       },
       {"--set", "freeze=on", "--set", "soft_reset=off", "--palette", "5", "--size", "smallest"}},
      {QStringLiteral("SA-1, codes, 2 MB"),
       [=](MainWindow& w) {
         chooseChip(w, 4);
         w.codeBox->setPlainText(code + QStringLiteral("\n") + fixedBankCode);
         w.size2Mb->setChecked(true);
       },
       {"--chip", "sa1", "--gg", code + " " + fixedBankCode, "--size", "2mb"}},
      {QStringLiteral("SuperFX, then a switch"),
       [](MainWindow& w) {
         chooseChip(w, 2);
         tick(w, 14, true);
       },
       {"--chip", "gsu2", "--set", "diag_overlay=on"}},
      {QStringLiteral("4 MB, silence"),
       [](MainWindow& w) {
         tick(w, 10, true);
         w.size4Mb->setChecked(true);
       },
       {"--set", "silence=on", "--size", "4mb"}},
      {QStringLiteral("preset, a button, timings, a splash sound"),
       [](MainWindow& w) {
         w.presetCombo->setCurrentIndex(4);
         w.buttonCombos[8]->setCurrentIndex(w.buttonCombos[8]->findData(9));
         w.turboSpin->setValue(11);
         w.chordSpin->setValue(77);
         w.splashRemoveButtons[1]->click();
       },
       {"--preset", "No turbo", "--button", "A=Turbo B", "--turbo", "11", "--chord", "77",
        "--splash-sound", "2=off"}},
  };
}

// Picks audio for the song in the given row of the Music page, as a user does, and sets its loop.
template <typename Prompts>
void chooseOnMusicPage(MainWindow& window, Prompts& prompts, int row, const QString& audio,
                       bool loop, double loopStart) {
  enum Column { kChoose = 2, kLoop, kStart };
  const auto cell = [&](Column column) {
    return window.musicGrid->itemAtPosition(row, column)->widget();
  };
  prompts->paths = {audio};
  qobject_cast<QPushButton*>(cell(kChoose))->click();
  qobject_cast<QCheckBox*>(cell(kLoop))->setChecked(loop);
  if (loop) qobject_cast<QDoubleSpinBox*>(cell(kStart))->setValue(loopStart);
}

// The window with the demo database in its working directory and the demo dumps under demo/.
struct DemoWindow {
  WindowHarness harness{
      [](const QString& dir) { tbp::testkit::writeDemoDatabase(dir.toStdString()); }};
  QString path(const QString& relative) const { return harness.workDir.filePath(relative); }
};

// Runs bexulo-cli build on a dump into out; returns its standard error when it fails.
QString runBuild(const DemoWindow& demo, const QString& dump, const QString& out,
                 const QStringList& settings) {
  QProcess cli;
  cli.start(QStringLiteral(TBP_CLI_PATH),
            QStringList{QStringLiteral("build"), dump, QStringLiteral("-o"), out,
                        QStringLiteral("--games"), demo.path(QStringLiteral("games"))} +
                settings);
  if (!cli.waitForFinished(120000)) return QStringLiteral("did not finish");
  if (cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0) return QString();
  return QString::fromUtf8(cli.readAllStandardError());
}

}  // namespace

class CliWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void sameFilesAsTheWindow() {
    DemoWindow demo;
    MainWindow& window = *demo.harness.window;
    for (const tbp::testkit::DemoGame& game : tbp::testkit::demoGames()) {
      const QString dump =
          demo.path(QStringLiteral("demo/") + QString::fromStdString(game.dumpName));
      tbp::Bytes plain;  // the port as it is, which every other choice must change
      for (const Choices& choice : choices()) {
        const QString label = QString::fromStdString(game.game.title) + ", " + choice.name;
        window.openNesFile(dump);
        QVERIFY2(window.portImage.isPort(), qPrintable(label));
        choice.inWindow(window);
        const QString windowRom = demo.path(QStringLiteral("window.sfc"));
        const QString windowPatch = demo.path(QStringLiteral("window.bps"));
        demo.harness.prompts->paths = {windowRom, windowPatch};
        window.saveRom();
        window.savePatch();
        QVERIFY2(demo.harness.prompts->boxes.isEmpty(), qPrintable(label));

        const QString cliRom = demo.path(QStringLiteral("cli.sfc"));
        const QString cliPatch = demo.path(QStringLiteral("cli.bps"));
        QCOMPARE(runBuild(demo, dump, cliRom, choice.settings), QString());
        QCOMPARE(runBuild(demo, dump, cliPatch, choice.settings + QStringList{"--bps"}), QString());
        QVERIFY2(readBack(cliRom) == readBack(windowRom), qPrintable(label));
        QVERIFY2(readBack(cliPatch) == readBack(windowPatch), qPrintable(label));
        const tbp::Bytes rom = readBack(windowRom);
        QVERIFY2(!rom.empty() && (plain.empty() || rom != plain), qPrintable(label));
        if (plain.empty()) plain = rom;
        window.sizeAsItIs->setChecked(true);
        window.codeBox->clear();
      }
    }
  }

  // Two chosen songs (one looping from 0.05 s, one without a loop) give the same marker and
  // tracks beside the ROM and beside the patch.
  void sameTracksAsTheWindow() {
    DemoWindow demo;
    MainWindow& window = *demo.harness.window;
    const tbp::testkit::WavLayout layout{tbp::testkit::WavEncoding::Pcm16, 2, 48000};
    const QString audio =
        demo.harness.writeFile(QStringLiteral("song.wav"),
                               asQByteArray(tbp::testkit::makeWav(
                                   layout, tbp::testkit::sineTones(48000, 2, 4800, 440, 0.5))));
    int gamesWithMusic = 0;
    for (const tbp::testkit::DemoGame& game : tbp::testkit::demoGames()) {
      const QString dump =
          demo.path(QStringLiteral("demo/") + QString::fromStdString(game.dumpName));
      window.openNesFile(dump);
      const std::vector<tbp::MsuSong> songs = window.portImage.msuSongs();
      if (!window.portImage.hasMsu1() || songs.size() < 2) continue;
      ++gamesWithMusic;
      const int first = songs[0].index;
      const int second = songs[1].index;
      chooseOnMusicPage(window, demo.harness.prompts, 0, audio, true, 0.05);
      chooseOnMusicPage(window, demo.harness.prompts, 1, audio, false, 0);
      const QStringList settings = {"--msu", QStringLiteral("%1=%2@0.05").arg(first).arg(audio),
                                    "--msu", QStringLiteral("%1=%2@off").arg(second).arg(audio)};
      for (const QString& suffix : {QStringLiteral(".sfc"), QStringLiteral(".bps")}) {
        const QString label = QString::fromStdString(game.game.title) + suffix;
        const QString ownDir = QString::fromStdString(game.game.id) + suffix.mid(1);
        QVERIFY(QDir(demo.path(QString())).mkpath(ownDir + QStringLiteral("/w")));
        QVERIFY(QDir(demo.path(QString())).mkpath(ownDir + QStringLiteral("/c")));
        const QString windowFile = demo.path(ownDir + QStringLiteral("/w/Port") + suffix);
        const QString cliFile = demo.path(ownDir + QStringLiteral("/c/Port") + suffix);
        demo.harness.prompts->paths = {windowFile};
        if (suffix == QStringLiteral(".sfc"))
          window.saveRom();
        else
          window.savePatch();
        QVERIFY2(demo.harness.prompts->boxes.isEmpty(), qPrintable(label));
        QStringList cliSettings = settings;
        if (suffix == QStringLiteral(".bps")) cliSettings << QStringLiteral("--bps");
        QCOMPARE(runBuild(demo, dump, cliFile, cliSettings), QString());
        const QStringList windowFiles =
            QDir(demo.path(ownDir + QStringLiteral("/w"))).entryList(QDir::Files);
        QCOMPARE(QDir(demo.path(ownDir + QStringLiteral("/c"))).entryList(QDir::Files),
                 windowFiles);
        QCOMPARE(windowFiles.size(), 4);  // the ROM or patch, the marker and two tracks
        for (const QString& name : windowFiles)
          QVERIFY2(readBack(demo.path(ownDir + QStringLiteral("/w/") + name)) ==
                       readBack(demo.path(ownDir + QStringLiteral("/c/") + name)),
                   qPrintable(label + QStringLiteral(": ") + name));
      }
    }
    QVERIFY(gamesWithMusic > 0);
  }
};

QTEST_MAIN(CliWindowTest)
#include "cli_window_test.moc"
