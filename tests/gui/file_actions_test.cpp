#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "app/main_window.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

const QString kNoDatabase = QStringLiteral("games.json was not found next to the program.");

}  // namespace

class FileActionsTest : public QObject {
  Q_OBJECT

 private slots:
  void openNesAsksForTheRomAndStopsWhenCancelled() {
    WindowHarness harness;
    harness.window->openNes();
    QCOMPARE(harness.prompts->dialogs.size(), 1);
    QCOMPARE(harness.prompts->dialogs[0].kind, QStringLiteral("open"));
    QCOMPARE(harness.prompts->dialogs[0].caption, QStringLiteral("Open NES ROM"));
    QCOMPARE(harness.prompts->dialogs[0].filter, QStringLiteral("NES ROMs (*.nes);;All files (*)"));
    QVERIFY(harness.prompts->boxes.isEmpty());
  }

  void openNesWithoutDatabaseFails() {
    WindowHarness harness;
    harness.prompts->paths = {harness.writeFile(QStringLiteral("game.nes"), "NES\x1A rest")};
    harness.window->openNes();
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].kind, QStringLiteral("critical"));
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Error"));
    QCOMPARE(harness.prompts->boxes[0].text, kNoDatabase);
    QVERIFY(harness.window->nesFileBytes.empty());
    QVERIFY(!harness.window->portImage.isPort());
  }

  void unreadableFilesReportTheReadError() {
    WindowHarness harness;
    const QString missing = harness.workDir.filePath(QStringLiteral("missing.sfc"));
    harness.window->openPortFile(missing);
    harness.window->openNesFile(missing);
    QCOMPARE(harness.prompts->boxes.size(), 2);
    for (const auto& box : harness.prompts->boxes) {
      QCOMPARE(box.kind, QStringLiteral("critical"));
      QCOMPARE(box.title, QStringLiteral("Error"));
      QCOMPARE(box.text, QStringLiteral("cannot open ") + missing);
    }
  }

  void openPortAsksWithItsOwnCaption() {
    WindowHarness harness;
    harness.window->openPort();
    QCOMPARE(harness.prompts->dialogs.size(), 1);
    QCOMPARE(harness.prompts->dialogs[0].caption, QStringLiteral("Open SNES port"));
    QCOMPARE(harness.prompts->dialogs[0].filter,
             QStringLiteral("SNES ROMs (*.sfc *.smc);;All files (*)"));
    QVERIFY(harness.prompts->boxes.isEmpty());
  }

  void nonPortFileIsReportedAndKeepsThePortOnScreen() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    const PortFiles files = makePortFiles();
    const QString portPath =
        harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(files.port));
    window.openPortFile(portPath);
    const QString headerBefore = window.headerLabel->text();
    const QString savePathBefore = window.suggestOutputPath(QString(), QStringLiteral(".bps"));
    harness.prompts->paths = {harness.writeFile(QStringLiteral("text.sfc"), "123456789")};
    window.openPort();

    QCOMPARE(harness.prompts->boxes.size(), 1);
    const auto& box = harness.prompts->boxes[0];
    QCOMPARE(box.kind, QStringLiteral("warning"));
    QCOMPARE(box.title, QStringLiteral("Not a port"));
    QVERIFY(box.text.startsWith(
        QStringLiteral("It isn't a TEAM Bexulo SNES port (no ZUVU manifest).\n\n9 bytes, ")));
    QCOMPARE(window.portImage.bytes(), files.port);
    QCOMPARE(window.nesFileBytes, files.nes);
    QCOMPARE(window.nesRomBytes, files.nes);
    QCOMPARE(window.nesFileName, QStringLiteral("the copy embedded in the port"));
    QCOMPARE(window.portFilePath, portPath);
    QCOMPARE(window.suggestOutputPath(QString(), QStringLiteral(".bps")), savePathBefore);
    QCOMPARE(window.headerLabel->text(), headerBefore);
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Loaded: %1 bytes").arg(files.port.size()));
  }

  void copierHeaderIsRemovedOnlyAtFiveTwelve() {
    WindowHarness harness;
    // An NES ROM behind a 512-byte copier header: only with the header removed is the NES
    // magic at the start, which the verdict reports.
    QByteArray withCopier(512, '\0');
    withCopier += QByteArray("NES\x1A", 4) + QByteArray(32768 - 4, '\0');
    harness.window->openPortFile(harness.writeFile(QStringLiteral("a.smc"), withCopier));
    QByteArray notCopier = withCopier + QByteArray(512, '\0');
    harness.window->openPortFile(harness.writeFile(QStringLiteral("b.smc"), notCopier));
    QCOMPARE(harness.prompts->boxes.size(), 2);
    QVERIFY(harness.prompts->boxes[0].text.startsWith(QStringLiteral("This is an NES ROM.")));
    QVERIFY(harness.prompts->boxes[0].text.contains(QStringLiteral("\n\n32768 bytes, ")));
    QVERIFY(harness.prompts->boxes[1].text.startsWith(QStringLiteral("It isn't")));
    QVERIFY(harness.prompts->boxes[1].text.contains(QStringLiteral("\n\n33792 bytes, ")));
  }

  void suggestedOutputPaths() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    const QString sfcPrefix = QStringLiteral("TEAM Bexulo - ");
    QCOMPARE(window.suggestOutputPath(sfcPrefix, ".sfc"), QString());

    window.nesFilePath = QStringLiteral("/roms/Some Game (USA).nes");
    QCOMPARE(window.suggestOutputPath(sfcPrefix, ".sfc"),
             QStringLiteral("/roms/TEAM Bexulo - Some Game (USA).sfc"));
    QCOMPARE(window.suggestOutputPath(QString(), ".bps"),
             QStringLiteral("/roms/Some Game (USA).bps"));

    window.nesFilePath.clear();
    window.portFilePath = QStringLiteral("/out/TEAM BEXULO - X.v2.sfc");
    QCOMPARE(window.suggestOutputPath(sfcPrefix, ".sfc"),
             QStringLiteral("/out/TEAM Bexulo - X.v2.sfc"));
    QCOMPARE(window.suggestOutputPath(QString(), ".bps"), QStringLiteral("/out/X.v2.bps"));

    tbp::GameEntry game;
    window.currentGame = &game;
    QCOMPARE(window.suggestOutputPath(QString(), ".bps"), QStringLiteral("/out/X.v2.bps"));
    game.file = "Game (Europe).nes";
    QCOMPARE(window.suggestOutputPath(sfcPrefix, ".sfc"),
             QStringLiteral("/out/TEAM Bexulo - Game (Europe).sfc"));
    window.currentGame = nullptr;
  }
};

QTEST_MAIN(FileActionsTest)
#include "file_actions_test.moc"
