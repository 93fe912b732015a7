#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "support/game_genie_encoder.h"
#include "support/port_files.h"
#include "support/tab_walk.h"
#include "support/window_harness.h"

using tbp::testkit::ManifestKind;
using tbp::testkit::PortFixture;
using tbp::testkit::PortOptions;

namespace {

constexpr std::size_t kSwitchWord = tbp::testkit::kSwitchWord;
constexpr std::size_t kMapMode = 0x7FD5;

PortFixture openFixture(WindowHarness& harness, const PortOptions& options = {}) {
  PortFixture fixture = tbp::testkit::makePortFixture(tbp::testkit::makeNesRom(), options);
  harness.window->openPortFile(
      harness.writeFile(QStringLiteral("port.sfc"), asQByteArray(fixture.image)));
  return fixture;
}

QString tip(int bit) {
  for (const tbp::SwitchInfo& row : tbp::switchTable())
    if (row.bit == bit) return QString::fromUtf8(row.tooltip);
  return {};
}

}  // namespace

class SwitchesPageTest : public QObject {
  Q_OBJECT

 private slots:
  void switchBoxesWriteTheirBitAndFastRomTheHeader() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    tbp::Bytes expected = openFixture(harness).image;
    for (const int bit : {9, 20, 12, 0}) {
      window.switchBoxes.at(bit)->click();
      expected[kSwitchWord + bit / 8] ^= std::uint8_t(1u << (bit % 8));
    }
    expected[kMapMode] = 0x20;  // FastROM off: the header's FastROM bit goes with it
    QCOMPARE(window.paletteCombo->currentText(), QStringLiteral("Slot 2"));
    window.paletteCombo->setCurrentIndex(3);  // bits 15..17: 2 becomes 3, so bit 15 is set
    expected[kSwitchWord + 1] |= 0x80;
    QCOMPARE(window.portImage.bytes(), expected);
    QVERIFY(harness.prompts->boxes.isEmpty());
  }

  void fastRomIsRefusedWhileAChipIsSet() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    PortOptions options;
    options.chip = 1;
    const tbp::Bytes before = openFixture(harness, options).image;
    QCheckBox* fastRom = window.switchBoxes.at(0);
    QVERIFY(!fastRom->isEnabled());
    fastRom->setChecked(true);
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Not possible"));
    QCOMPARE(harness.prompts->boxes[0].text,
             QStringLiteral("FastROM can't be on with a SuperFX chip (SlowROM boards)"));
    QVERIFY(!fastRom->isChecked());
    QCOMPARE(window.portImage.bytes(), before);
  }

  void chipChoices_data() {
    QTest::addColumn<bool>("config");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("chip");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("status");
    const QString header = QStringLiteral(
        ": cartridge header written, FastROM off, %1 MB max. For FXPak Pro / emulators.");
    QTest::newRow("GSU-1") << true << 1 << 1 << ""
                           << "SuperFX (GSU-1)" + header.arg(1);
    QTest::newRow("SA-1") << true << 4 << 4 << ""
                          << "SA-1" + header.arg(4);
    QTest::newRow("no config block")
        << false << 4 << 0 << "this port's config block is unknown: the chip can't be set"
        << "Loaded: 1048576 bytes";
  }

  void chipChoices() {
    QFETCH(bool, config);
    QFETCH(int, item);
    QFETCH(int, chip);
    QFETCH(QString, box);
    QFETCH(QString, status);
    WindowHarness harness;
    MainWindow& window = *harness.window;
    PortOptions options;
    options.config = config;
    openFixture(harness, options);
    QCOMPARE(window.chipCombo->isEnabled(), config);
    window.chipCombo->setCurrentIndex(item);
    QCOMPARE(window.portImage.chip(), chip);
    QCOMPARE(window.chipCombo->currentIndex(), chip);
    QCOMPARE(window.statusBar()->currentMessage(), status);
    QCOMPARE(harness.prompts->boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) QCOMPARE(harness.prompts->boxes[0].text, box);
    QCOMPARE(window.switchBoxes.at(0)->isEnabled(), chip == 0);
    QCOMPARE(window.switchBoxes.at(0)->isChecked(), chip == 0);
    // Removing the chip again brings FastROM back, without a status message.
    window.chipCombo->setCurrentIndex(0);
    QVERIFY(window.switchBoxes.at(0)->isChecked() && window.portImage.bytes()[kMapMode] == 0x30);
    QCOMPARE(window.statusBar()->currentMessage(), status);
  }

  void offeredSwitchesAndRomNotes() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    QCOMPARE(window.switchBoxes.size(), std::size_t(18));  // 15 here, 3 on Splash & Sound
    // The fixture offers every switch but 30 and splash 3 (26); notes for soft_reset and
    // sprite_limit.
    openFixture(harness);
    for (const auto& [bit, box] : window.switchBoxes)
      QCOMPARE(box->isHidden(), bit == 30 || bit == 26);
    QCOMPARE(window.switchBoxes.at(9)->toolTip(),
             tip(9) + "\n\nROM notes: Returns to the title screen, not to the file select.");
    QCOMPARE(window.switchBoxes.at(19)->toolTip(),
             tip(19) + "\n\nROM notes: The boss relies on flicker to blink when hit.");
    QCOMPARE(window.switchBoxes.at(20)->toolTip(), tip(20));

    PortOptions options;
    options.manifest = ManifestKind::Broken;
    options.offeredSwitches = {};
    openFixture(harness, options);
    for (const auto& [bit, box] : window.switchBoxes) {
      QVERIFY(!box->isHidden());
      QCOMPARE(box->toolTip(), tip(bit));
    }
  }

  void gameGenieCheckRunsOnce500msAfterTheLastKey() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    const PortFixture fixture = openFixture(harness);
    const std::string code = tbp::testkit::encodeGameGenie(0xE345, 0xEA);
    QVERIFY(window.codeTimer->isSingleShot());
    QCOMPARE(window.codeTimer->interval(), 500);
    QSignalSpy checks(window.codeTimer, &QTimer::timeout);
    QTest::keyClicks(window.codeBox, QString::fromStdString(code) + " <B>");
    QVERIFY(window.codeTimer->isActive());
    QVERIFY(window.codeResult->text().isEmpty());
    QTRY_VERIFY(!window.codeResult->text().isEmpty());
    QTest::qWait(600);
    QCOMPARE(checks.size(), 1);
    QCOMPARE(window.codeResult->text(),
             QStringLiteral("\u2714 %1: $E345 = $EA: %2 byte(s) patched<br>"
                            "\u2716 &lt;B&gt;: a Game Genie code has 6 or 8 letters")
                 .arg(QString::fromStdString(code))
                 .arg(fixture.places.bankCopies.back().size()));
    QCOMPARE(window.portImage.bytes(), fixture.image);

    // Saving writes the code into every copy of the fixed bank; the window keeps its image.
    tbp::Bytes expected = fixture.image;
    for (const std::size_t copy : fixture.places.bankCopies.back()) expected[copy + 0x2345] = 0xEA;
    tbp::PortImage saved(expected);
    saved.fixChecksum();
    QCOMPARE(window.finalImage().bytes(), saved.bytes());
    QCOMPARE(window.portImage.bytes(), fixture.image);

    window.codeBox->setPlainText(QStringLiteral(" ;, "));
    QTRY_VERIFY(window.codeResult->text().isEmpty());
  }

  void codesWithoutAnyNesRomSaySo() {
    WindowHarness harness;
    PortOptions options;
    options.embedNes = false;
    openFixture(harness, options);
    harness.window->codeBox->setPlainText(QStringLiteral("SXIOPO"));
    harness.window->checkCodes();
    QCOMPARE(harness.window->codeResult->text(),
             QStringLiteral("No NES ROM to match the codes against (open the NES ROM)."));
  }

  void refreshRestoresTheGuardWhenAPageThrows() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    // Too short for the button map: the Controls page's part of the refresh throws.
    window.portImage = tbp::PortImage(tbp::Bytes(0x7C10, 0));
    for (const bool before : {false, true}) {
      window.refreshing = before;
      QVERIFY_THROWS_EXCEPTION(std::out_of_range, window.refreshPages());
      QCOMPARE(window.refreshing, before);
    }
  }

  void tabVisitsTheGroupsInReadingOrder() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    openFixture(harness);
    window.tabs->setCurrentIndex(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QList<QWidget*> expected;
    for (const int bit : {9, 20, 29, 21, 31, 27, 14, 12}) expected << window.switchBoxes.at(bit);
    expected << window.referenceButton << window.codeBox;
    for (const int bit : {19, 11, 1, 8, 10, 0}) expected << window.switchBoxes.at(bit);
    expected << window.paletteCombo << window.chipCombo;
    QCOMPARE(tabWalk(expected.first(), expected.size()), expected);
  }
};

QTEST_MAIN(SwitchesPageTest)
#include "switches_page_test.moc"
