#include <sys/stat.h>

#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "app/main_window.h"
#include "build/nes_rom.h"
#include "formats/patches.h"
#include "support/database_builder.h"
#include "support/port_files.h"
#include "support/window_harness.h"

using tbp::testkit::GameFixture;
using tbp::testkit::NesHeaderKind;
using tbp::testkit::NesRomOptions;

namespace {

const QString kHeaderOfDemo =
    QStringLiteral("<b>ZV1 Bexulo engine 1.4</b> &mdash; to be built from your Demo Quest ROM");

GameFixture demoGame() {
  GameFixture game;
  game.id = "demo";
  game.title = "Demo Quest";
  game.port = "Demo Quest SNES";
  game.file = "Demo Quest (USA).nes";
  game.nes = tbp::testkit::makeNesRom();
  game.image = tbp::testkit::makePortImage(game.nes);
  return game;
}

// A window whose working directory holds games/games.json with the demo game.
struct DemoHarness {
  GameFixture game = demoGame();
  WindowHarness harness{[this](const QString& dir) {
    tbp::testkit::writeGameDatabase((dir + QStringLiteral("/games")).toStdString(), {game});
  }};
  MainWindow& window() { return *harness.window; }
  FakePrompts& prompts() { return *harness.prompts; }
  QString write(const QString& name, const tbp::Bytes& bytes) {
    return harness.writeFile(name, asQByteArray(bytes));
  }
};

}  // namespace

class OpenNesTest : public QObject {
  Q_OBJECT

 private slots:
  void headerCountsTheGames() {
    DemoHarness demo;
    QVERIFY(demo.window().databaseLoaded);
    QCOMPARE(demo.window().headerLabel->text(),
             QStringLiteral("1 game(s) in the database. Open a NES ROM to begin."));
  }

  void exactNesRomBuildsAndShowsThePort() {
    DemoHarness demo;
    MainWindow& window = demo.window();
    window.portFilePath = QStringLiteral("/old/port.sfc");
    const QString path = demo.write(QStringLiteral("roms/My Copy.nes"), demo.game.nes);
    demo.prompts().paths = {path};
    window.openNes();

    QVERIFY(demo.prompts().boxes.isEmpty());
    QCOMPARE(window.portImage.bytes(), demo.game.image);
    QCOMPARE(window.headerLabel->text(), kHeaderOfDemo);
    QCOMPARE(window.nesFileBytes, demo.game.nes);
    QCOMPARE(window.nesRomBytes, demo.game.nes);
    QVERIFY(window.currentGame == &window.database.games.at(0));
    QCOMPARE(window.nesFileName, QStringLiteral("My Copy.nes"));
    QCOMPARE(window.nesFilePath, path);
    QVERIFY(window.nesNote.isEmpty());
    QVERIFY(window.portFilePath.isEmpty());
    QCOMPARE(window.tabs->currentWidget(), window.outputPage);
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Loaded: %1 bytes").arg(demo.game.image.size()));
    QCOMPARE(window.suggestOutputPath(QStringLiteral("TEAM Bexulo - "), ".sfc"),
             demo.harness.workDir.filePath(QStringLiteral("roms/TEAM Bexulo - My Copy.sfc")));
  }

  void headerlessNesRomIsRepairedAndTheNoteShown() {
    DemoHarness demo;
    MainWindow& window = demo.window();
    NesRomOptions options;
    options.header = NesHeaderKind::Headerless;
    const tbp::Bytes headerless = tbp::testkit::makeNesRom(options);
    window.openNesFile(demo.write(QStringLiteral("bare.nes"), headerless));

    QVERIFY(demo.prompts().boxes.isEmpty());
    QCOMPARE(window.portImage.bytes(), demo.game.image);
    QCOMPARE(window.nesFileBytes, headerless);
    QCOMPARE(window.nesRomBytes, demo.game.nes);
    QVERIFY(!window.nesNote.isEmpty());
    QCOMPARE(window.statusBar()->currentMessage(), window.nesNote);
  }

  void unknownNesRomGetsTheWrongRomReport() {
    DemoHarness demo;
    MainWindow& window = demo.window();
    NesRomOptions options;
    options.seed = 99;
    const tbp::Bytes other = tbp::testkit::makeNesRom(options);
    window.openNesFile(demo.write(QStringLiteral("Other Game.nes"), other));

    QCOMPARE(demo.prompts().boxes.size(), 1);
    const auto& box = demo.prompts().boxes[0];
    QCOMPARE(box.kind, QStringLiteral("wrongRom"));
    QCOMPARE(box.title, QStringLiteral("Wrong ROM"));
    QCOMPARE(box.text, QStringLiteral("This isn't the NES ROM the patch was made from."));
    QCOMPARE(box.details, QString::fromStdString(
                              tbp::describeUnknownRom("Other Game.nes", window.database, other)));
    QVERIFY(!window.portImage.isPort());
    QVERIFY(window.nesFileBytes.empty());
  }

  void missingBasePatchIsAnError() {
    DemoHarness demo;
    QVERIFY(QFile::remove(demo.harness.workDir.filePath(QStringLiteral("games/demo.bps"))));
    demo.window().openNesFile(demo.write(QStringLiteral("g.nes"), demo.game.nes));
    QCOMPARE(demo.prompts().boxes.size(), 1);
    QCOMPARE(demo.prompts().boxes[0].title, QStringLiteral("Error"));
    QVERIFY(demo.prompts().boxes[0].text.startsWith(QStringLiteral("cannot open ")));
    QVERIFY(demo.window().nesFileBytes.empty());
    QVERIFY(!demo.window().portImage.isPort());
  }

  // A FIFO or an oversized file is refused at once with a message naming it; the window never
  // waits inside open() for a FIFO's writer.
  void hostileFilesAreRefusedAtOnce() {
    DemoHarness demo;
    const QString fifo = demo.harness.workDir.filePath(QStringLiteral("fifo.nes"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString big = demo.write(QStringLiteral("big.nes"), {});
    QVERIFY(QFile::resize(big, 16 * 1024 * 1024 + 1));
    demo.window().openNesFile(fifo);
    demo.window().openPortFile(big);
    QCOMPARE(demo.prompts().boxes.size(), 2);
    QCOMPARE(demo.prompts().boxes[0].text,
             QStringLiteral("cannot open %1: not a regular file").arg(fifo));
    QCOMPARE(demo.prompts().boxes[1].text,
             QStringLiteral("%1 is too large for a port (the limit is 16 MB)").arg(big));
    QVERIFY(!demo.window().portImage.isPort());
  }

  void nesRomThatBuildsNoPortKeepsThePortOnScreen() {
    GameFixture junk = demoGame();
    junk.id = "junk";
    junk.title = "Junk";
    junk.nes = tbp::testkit::makeNesRom({.seed = 2});
    junk.image = tbp::Bytes(0x8000, 0x11);
    const GameFixture demo = demoGame();
    WindowHarness harness{[&](const QString& dir) {
      tbp::testkit::writeGameDatabase((dir + QStringLiteral("/games")).toStdString(), {demo, junk});
    }};
    MainWindow& window = *harness.window;
    const QString demoPath = harness.writeFile(QStringLiteral("demo.nes"), asQByteArray(demo.nes));
    window.openNesFile(demoPath);
    window.openNesFile(harness.writeFile(QStringLiteral("junk.nes"), asQByteArray(junk.nes)));

    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Not a port"));
    QCOMPARE(window.portImage.bytes(), demo.image);
    QCOMPARE(window.nesFileBytes, demo.nes);
    QVERIFY(window.currentGame == &window.database.games.at(0));
    QCOMPARE(window.nesFilePath, demoPath);
    QCOMPARE(window.headerLabel->text(), kHeaderOfDemo);
  }

  void portWithKnownNesCopyFindsItsGame() {
    DemoHarness demo;
    MainWindow& window = demo.window();
    window.openPortFile(demo.write(QStringLiteral("out/TEAM Bexulo - x.sfc"), demo.game.image));
    QVERIFY(window.currentGame == &window.database.games.at(0));
    QCOMPARE(
        window.suggestOutputPath(QStringLiteral("TEAM Bexulo - "), ".sfc"),
        demo.harness.workDir.filePath(QStringLiteral("out/TEAM Bexulo - Demo Quest (USA).sfc")));

    const QString target = demo.harness.workDir.filePath(QStringLiteral("out/p.bps"));
    demo.prompts().paths = {target};
    window.savePatch();
    QVERIFY(demo.prompts().boxes.isEmpty());
    QCOMPARE(tbp::readBpsHeader(readBack(target)).metadata,
             std::string("TEAM Bexulo Patcher: Demo Quest SNES"));
  }

  void headerlessNesRomIsAcceptedForAPatch() {
    DemoHarness demo;
    MainWindow& window = demo.window();
    tbp::testkit::PortOptions portOptions;
    portOptions.embedNes = false;
    window.openPortFile(demo.write(QStringLiteral("p.sfc"),
                                   tbp::testkit::makePortImage(demo.game.nes, portOptions)));
    QVERIFY(window.nesFileBytes.empty());
    NesRomOptions options;
    options.header = NesHeaderKind::Headerless;
    const tbp::Bytes headerless = tbp::testkit::makeNesRom(options);
    const QString nesPath = demo.write(QStringLiteral("bare.nes"), headerless);
    const QString target = demo.harness.workDir.filePath(QStringLiteral("bare.bps"));
    demo.prompts().paths = {nesPath, target};
    window.savePatch();

    QVERIFY(demo.prompts().boxes.isEmpty());
    QCOMPARE(window.nesFileBytes, headerless);
    QVERIFY(window.currentGame == &window.database.games.at(0));
    // The patch is made against the file exactly as the user has it.
    QCOMPARE(tbp::applyBps(headerless, readBack(target)), window.finalImage().bytes());
  }
};

QTEST_MAIN(OpenNesTest)
#include "open_nes_test.moc"
