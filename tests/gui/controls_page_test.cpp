#include <algorithm>
#include <array>

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTest>

#include "app/main_window.h"
#include "support/port_files.h"
#include "support/tab_walk.h"
#include "support/window_harness.h"

using tbp::testkit::PortFixture;
using tbp::testkit::PortOptions;

namespace {

constexpr std::size_t kButtonMap = tbp::testkit::kButtonMap;
using ButtonMap = std::array<std::uint8_t, 12>;

PortFixture openFixture(WindowHarness& harness, const PortOptions& options = {},
                        std::uint8_t selectByte = 2) {
  PortFixture fixture = tbp::testkit::makePortFixture(tbp::testkit::makeNesRom(), options);
  fixture.image[kButtonMap + 2] = selectByte;
  harness.window->openPortFile(
      harness.writeFile(QStringLiteral("port.sfc"), asQByteArray(fixture.image)));
  return fixture;
}

}  // namespace

class ControlsPageTest : public QObject {
  Q_OBJECT

 private slots:
  void presetsWriteTheirTwelveBytes_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<ButtonMap>("map");
    QTest::newRow("standard") << 1 << ButtonMap{0, 1, 2, 3, 4, 5, 6, 7, 9, 8, 9, 8};
    QTest::newRow("NES layout") << 2 << ButtonMap{1, 1, 2, 3, 4, 5, 6, 7, 0, 0, 9, 8};
    QTest::newRow("turbo on L/R") << 3 << ButtonMap{0, 1, 2, 3, 4, 5, 6, 7, 1, 0, 9, 8};
    QTest::newRow("no turbo") << 4 << ButtonMap{0, 1, 2, 3, 4, 5, 6, 7, 1, 0, 255, 255};
  }

  void presetsWriteTheirTwelveBytes() {
    QFETCH(int, item);
    QFETCH(ButtonMap, map);
    WindowHarness harness;
    MainWindow& window = *harness.window;
    tbp::Bytes expected = openFixture(harness).image;
    window.presetCombo->setCurrentIndex(item);
    std::copy(map.begin(), map.end(), expected.begin() + kButtonMap);
    QCOMPARE(window.portImage.bytes(), expected);
    for (std::size_t button = 0; button < map.size(); ++button)
      QCOMPARE(window.buttonCombos[button]->currentData().toInt(), int(map[button]));
    QCOMPARE(window.presetCombo->currentIndex(), item);
    // "(as in this ROM)" writes nothing; opening a port shows it again.
    window.presetCombo->setCurrentIndex(0);
    QCOMPARE(window.portImage.bytes(), expected);
    window.presetCombo->setCurrentIndex(item);
    openFixture(harness);
    QCOMPARE(window.presetCombo->currentIndex(), 0);
  }

  void unknownMapByteShowsNothingUntilPicked() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    tbp::Bytes expected = openFixture(harness, {}, 12).image;
    QCOMPARE(window.buttonCombos[2]->currentText(), QStringLiteral("(nothing)"));
    QCOMPARE(window.portImage.bytes(), expected);
    window.buttonCombos[2]->setCurrentIndex(9);
    window.buttonCombos[0]->setCurrentIndex(10);
    expected[kButtonMap + 2] = 9;
    expected[kButtonMap] = 0xFF;
    QCOMPARE(window.portImage.bytes(), expected);
  }

  void timingsWriteTheConfigBlock() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    const PortFixture fixture = openFixture(harness);
    tbp::Bytes expected = fixture.image;
    window.turboSpin->setValue(7);
    window.chordSpin->setValue(200);
    expected[fixture.places.config + 4] = 7;
    expected[fixture.places.config + 5] = 200;
    QCOMPARE(window.portImage.bytes(), expected);
    QCOMPARE(window.turboRateLabel->text(), QStringLiteral("= 8.6 presses per second"));

    PortOptions options;
    options.config = false;
    openFixture(harness, options);
    QVERIFY(!window.turboSpin->isEnabled() && !window.chordSpin->isEnabled());
    QCOMPARE(window.turboSpin->value(), 2);
    QCOMPARE(window.chordSpin->value(), 30);
    QCOMPARE(window.turboRateLabel->text(), QStringLiteral("= 30.0 presses per second"));
  }

  void tabFollowsThePresetTheBlocksAndTheTimings() {
    WindowHarness harness;
    MainWindow& window = *harness.window;
    openFixture(harness);
    window.tabs->setCurrentIndex(2);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QList<QWidget*> expected{window.presetCombo};
    for (QComboBox* combo : window.buttonCombos) expected << combo;
    expected << window.turboSpin << window.chordSpin;
    QCOMPARE(tabWalk(expected.first(), expected.size()), expected);
  }
};

QTEST_MAIN(ControlsPageTest)
#include "controls_page_test.moc"
