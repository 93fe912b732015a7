#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "app/main_window.h"
#include "support/port_files.h"
#include "support/window_harness.h"

using tbp::testkit::PortOptions;

class PortDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void openingAPortShowsItAndEnablesThePages() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    const PortFiles files = makePortFiles();
    const QString path = harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(files.port));
    harness.prompts->paths = {path};
    window.openPort();

    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(window.portImage.bytes(), files.port);
    QCOMPARE(window.headerLabel->text(),
             QStringLiteral("<b>ZV1 Bexulo engine 1.4</b> &mdash; Game.sfc"));
    QCOMPARE(window.sourceLine, QStringLiteral("Game.sfc"));
    QCOMPARE(window.portFilePath, path);
    QCOMPARE(window.tabs->currentWidget(), window.outputPage);
    for (int index = 0; index < window.tabs->count(); ++index) {
      QVERIFY(window.tabs->isTabEnabled(index));
      QVERIFY(window.tabs->widget(index)->isEnabled());
    }
    QVERIFY(window.bpsButton->isEnabled());
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Loaded: %1 bytes").arg(files.port.size()));
  }

  void embeddedNesCopyBecomesTheNesRom() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    const PortFiles files = makePortFiles();
    window.nesFilePath = QStringLiteral("/old/game.nes");
    window.openPortFile(harness.writeFile(QStringLiteral("p.sfc"), asQByteArray(files.port)));
    QCOMPARE(window.nesFileBytes, files.nes);
    QCOMPARE(window.nesRomBytes, files.nes);
    QCOMPARE(window.nesFileName, QStringLiteral("the copy embedded in the port"));
    QCOMPARE(window.nesNote, QStringLiteral("taken from the port itself, so a BPS can be made "
                                            "without the NES ROM file"));
    QVERIFY(window.nesFilePath.isEmpty());
    QVERIFY(window.currentGame == nullptr);
    QCOMPARE(window.codeNes(), files.nes);
  }

  void portWithoutNesCopyLeavesTheNesStateEmpty() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    PortOptions options;
    options.embedNes = false;
    const PortFiles files = makePortFiles(options);
    window.openPortFile(harness.writeFile(QStringLiteral("p.sfc"), asQByteArray(files.port)));
    QVERIFY(window.portImage.isPort());
    QVERIFY(window.nesFileBytes.empty());
    QVERIFY(window.nesFileName.isEmpty());
    QVERIFY(window.codeNes().empty());
  }

  void fontsAndMusicTabsFollowThePort() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    PortOptions options;
    options.fontCount = 0;
    options.msu1 = false;
    window.openPortFile(
        harness.writeFile(QStringLiteral("bare.sfc"), asQByteArray(makePortFiles(options).port)));
    QVERIFY(window.portImage.isPort());
    for (int index = 0; index < window.tabs->count(); ++index) {
      const QString text = window.tabs->tabText(index);
      const bool expected = text != QStringLiteral("Fonts && Symbols") && text != "Music";
      QVERIFY2(window.tabs->isTabEnabled(index) == expected, qPrintable(text));
    }
    // A later port with fonts and MSU-1 support enables both again.
    window.openPortFile(
        harness.writeFile(QStringLiteral("full.sfc"), asQByteArray(makePortFiles().port)));
    for (int index = 0; index < window.tabs->count(); ++index)
      QVERIFY(window.tabs->isTabEnabled(index));
  }

  void copierHeaderIsRemovedFromAPort() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    const QByteArray withCopier = QByteArray(512, '\x55') + asQByteArray(files.port);
    harness.window->openPortFile(harness.writeFile(QStringLiteral("c.smc"), withCopier));
    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(harness.window->portImage.bytes(), files.port);
  }

  void infoPageNamesTheLoadedPort() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    window.openPortFile(
        harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(makePortFiles().port)));
    const QString text = window.infoBrowser->toPlainText();
    QVERIFY(text.contains(QStringLiteral("Selected ROM: ZV1 Bexulo engine 1.4")));
    QVERIFY(text.contains(QStringLiteral("Opened from")));
    QVERIFY(text.contains(QStringLiteral("Game.sfc")));
    QVERIFY(!text.contains(QStringLiteral("Nothing loaded yet")));
  }

  void failingInfoPageStaysVisibleBesideTheLoad() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    PortOptions options;
    options.romSize = 0x400000;
    PortFiles files = makePortFiles(options);
    files.port[0x300000] = 0;  // content beyond 2 MB
    window.size2Mb->setChecked(true);
    window.openPortFile(harness.writeFile(QStringLiteral("big.sfc"), asQByteArray(files.port)));
    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(window.portImage.bytes(), files.port);
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Loaded: 4194304 bytes. Error: that size would cut off content"));
  }

  void outputPageSizeChoicesFollowTheChip_data() {
    QTest::addColumn<int>("chip");
    QTest::addColumn<bool>("twoMb");
    QTest::addColumn<bool>("fourMb");
    QTest::newRow("none") << 0 << true << true;
    QTest::newRow("GSU-1") << 1 << false << false;
    QTest::newRow("GSU-2") << 2 << true << false;
    QTest::newRow("SA-1") << 4 << true << false;
  }

  void outputPageSizeChoicesFollowTheChip() {
    QFETCH(int, chip);
    QFETCH(bool, twoMb);
    QFETCH(bool, fourMb);
    WindowHarness harness;
    MainWindow& window = *harness.window;
    window.size4Mb->setChecked(true);
    // The choice falls back once per port shown, while the pages write nothing.
    QList<bool> fallbacksWhileRefreshing;
    connect(window.sizeAsItIs, &QRadioButton::toggled, this, [&](bool on) {
      if (on) fallbacksWhileRefreshing << window.refreshing;
    });
    PortOptions options;
    options.chip = chip;
    const PortFiles files = makePortFiles(options);
    window.openPortFile(harness.writeFile(QStringLiteral("p.sfc"), asQByteArray(files.port)));
    // The 4 MB choice left over is checked against the new chip before anything builds the
    // image to save, so the port opens without an error.
    QVERIFY(harness.prompts->boxes.isEmpty());
    QVERIFY(window.tabs->isTabEnabled(1));
    QCOMPARE(window.portImage.chip(), chip);
    QCOMPARE(window.size2Mb->isEnabled(), twoMb);
    QCOMPARE(window.size4Mb->isEnabled(), fourMb);
    QVERIFY(window.sizeSmallest->isEnabled() && window.sizeAsItIs->isEnabled());
    QCOMPARE(window.size4Mb->isChecked(), fourMb);
    QCOMPARE(window.sizeAsItIs->isChecked(), !fourMb);
    QCOMPARE(fallbacksWhileRefreshing, fourMb ? QList<bool>{} : QList<bool>{true});
    const std::size_t smallest = tbp::snesRomSize(window.portImage.contentSize());
    QCOMPARE(window.sizeLabel->text(), QStringLiteral("Now %1 KB; smallest %2 KB")
                                           .arg(files.port.size() / 1024)
                                           .arg(smallest / 1024));
  }
};

QTEST_MAIN(PortDisplayTest)
#include "port_display_test.moc"
