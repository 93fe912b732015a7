#include "app/automation.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "branding/banner_view.h"
#include "pages/glyph_widgets.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

QStringList filesIn(const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

}  // namespace

class AutomationTest : public QObject {
  Q_OBJECT

 private slots:
  void portRunWritesEveryPicture() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    const QString rom =
        harness.writeFile(QStringLiteral("roms/Game.sfc"), asQByteArray(files.port));
    QVERIFY(QDir(harness.workDir.path()).mkpath(QStringLiteral("shots")));
    const QString prefix = harness.workDir.filePath(QStringLiteral("shots/game"));
    tbp::runAutomation(*harness.window, rom, prefix);

    QVERIFY(harness.prompts->boxes.isEmpty());
    QStringList expected = {"game_0.png",    "game_1.png",      "game_2.png",    "game_3.png",
                            "game_4.png",    "game_5.png",      "game_6.png",    "game_banner.png",
                            "game_info.png", "game_loaded.png", "game_names.txt"};
    expected.sort();
    QCOMPARE(filesIn(harness.workDir.filePath(QStringLiteral("shots"))), expected);
    for (const QString& name : expected) {
      if (!name.endsWith(QStringLiteral(".png"))) continue;
      const QImage image(harness.workDir.filePath(QStringLiteral("shots/") + name));
      QVERIFY2(!image.isNull(), qPrintable(name));
    }
    QCOMPARE(QImage(prefix + QStringLiteral("_info.png")).width(), 760);
    // The banner at About-box size shows its last frame: the stamped mark, no stamp over it.
    const QImage banner(prefix + QStringLiteral("_banner.png"));
    QCOMPARE(banner.size(), QSize(180, 170));
    QCOMPARE(banner, QImage(QStringLiteral(":/banner/60.png"))
                         .scaled(banner.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(banner.format()));
    QVERIFY(harness.window->findChildren<BannerView*>().isEmpty());
    QCOMPARE(harness.window->tabs->currentIndex(), harness.window->tabs->count() - 1);

    QFile names(prefix + QStringLiteral("_names.txt"));
    QVERIFY(names.open(QIODevice::ReadOnly));
    const QString romDir = harness.workDir.filePath(QStringLiteral("roms"));
    QCOMPARE(QString::fromUtf8(names.readAll()), romDir +
                                                     QStringLiteral("/TEAM Bexulo - Game.sfc\n") +
                                                     romDir + QStringLiteral("/Game.bps\n"));
  }

  void withoutAPortNothingIsWritten() {
    WindowHarness harness;
    const QString notPort = harness.writeFile(QStringLiteral("text.sfc"), "hello");
    const QString prefix = harness.workDir.filePath(QStringLiteral("shot"));
    const QStringList before = filesIn(harness.workDir.path());
    tbp::runAutomation(*harness.window, notPort, prefix);
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Not a port"));
    tbp::runAutomation(*harness.window, harness.workDir.filePath(QStringLiteral("none.sfc")),
                       prefix);
    QCOMPARE(harness.prompts->boxes.size(), 2);
    QCOMPARE(harness.prompts->boxes[1].title, QStringLiteral("Error"));
    QCOMPARE(filesIn(harness.workDir.path()), before);
  }

  void nesSuffixInAnyCaseOpensAnNesRom() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    // A port under an .NES name is still handed to the NES ROM path, which needs the database.
    const QString rom = harness.writeFile(QStringLiteral("GAME.NES"), asQByteArray(files.port));
    const QString prefix = harness.workDir.filePath(QStringLiteral("shot"));
    tbp::runAutomation(*harness.window, rom, prefix);
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].text,
             QStringLiteral("games.json was not found next to the program."));
    QVERIFY(!QFile::exists(prefix + QStringLiteral("_loaded.png")));
  }

  void missingShotDirectoryMeansNoFiles() {
    WindowHarness harness;
    const QString rom =
        harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(makePortFiles().port));
    const QStringList before = filesIn(harness.workDir.path());
    tbp::runAutomation(*harness.window, rom,
                       harness.workDir.filePath(QStringLiteral("missing/game")));
    QVERIFY(harness.window->portImage.isPort());
    QVERIFY(!QDir(harness.workDir.filePath(QStringLiteral("missing"))).exists());
    QCOMPARE(filesIn(harness.workDir.path()), before);
  }

  // Item 9 is the second symbol page once a port has 8 fonts; fewer fonts leave no set chosen.
  void fontsTabShowsGlyph36OfItem9_data() {
    QTest::addColumn<int>("fonts");
    QTest::addColumn<QString>("title");
    QTest::newRow("16 fonts") << 16 << "Symbol 164 (text code $01 $A4)";
    QTest::newRow("4 fonts") << 4 << "Pick a glyph";
  }
  void fontsTabShowsGlyph36OfItem9() {
    QFETCH(int, fonts);
    QFETCH(QString, title);
    WindowHarness harness;
    tbp::testkit::PortOptions options;
    options.fontCount = fonts;
    const tbp::Bytes port = makePortFiles(options).port;
    tbp::runAutomation(*harness.window,
                       harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(port)),
                       harness.workDir.filePath(QStringLiteral("shot")));
    MainWindow& window = *harness.window;
    QCOMPARE(window.glyphTitle->text(), title);
    QCOMPARE(window.glyphEditor->glyph(),
             fonts > 8 ? window.portImage.glyph(tbp::symbolPageB, 36) : tbp::Bytes(8, 0));
    QCOMPARE(window.portImage.bytes(), port);
  }

  void gameGenieCodesFromTheEnvironmentAreCheckedBeforeThePictures() {
    WindowHarness harness;
    const QString rom =
        harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(makePortFiles().port));
    qputenv("TBP_GG", "SXIOPO <B>");
    tbp::runAutomation(*harness.window, rom, harness.workDir.filePath(QStringLiteral("shot")));
    qunsetenv("TBP_GG");
    const MainWindow& window = *harness.window;
    QCOMPARE(window.codeBox->toPlainText(), QStringLiteral("SXIOPO <B>"));
    const QStringList lines = window.codeResult->text().split(QStringLiteral("<br>"));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].startsWith(QStringLiteral("\u2714 SXIOPO: $91D9 = $AD: ")));
    QCOMPARE(lines[1], QStringLiteral("\u2716 &lt;B&gt;: a Game Genie code has 6 or 8 letters"));
    QVERIFY(!window.codeTimer->isActive());
  }
};

QTEST_MAIN(AutomationTest)
#include "automation_test.moc"
