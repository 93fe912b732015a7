#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

// The window showing the fixture port: slots 1 and 2 on and with a sound, slot 3 off and silent.
struct Splash {
  WindowHarness harness;
  MainWindow& window = *harness.window;
  tbp::testkit::PortFixture port;
  explicit Splash(bool soundTable = true) {
    tbp::testkit::PortOptions options;
    options.splashSounds = soundTable;
    port = tbp::testkit::makePortFixture(tbp::testkit::makeNesRom(), options);
    window.openPortFile(harness.writeFile(QStringLiteral("p.sfc"), asQByteArray(port.image)));
  }
  // Per slot: its box ticked, its sound label and its "Remove sound" button enabled.
  QStringList shownSlots() const {
    QStringList texts;
    for (std::size_t slot = 0; slot < 3; ++slot)
      texts << QStringLiteral("%1 %2 %3")
                   .arg(window.switchBoxes.at(24 + int(slot))->isChecked())
                   .arg(window.splashSoundLabels[slot]->text())
                   .arg(window.splashRemoveButtons[slot]->isEnabled());
    return texts;
  }
};

}  // namespace

class SplashPageTest : public QObject {
  Q_OBJECT

 private slots:
  void editsWriteTheirBytes_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("remove");  // else the slot's box is toggled
    QTest::addColumn<QStringList>("shown");
    const QString on = QStringLiteral("1 with sound 1"), silent = QStringLiteral("0 no sound 0");
    QTest::newRow("slot 1 off") << 0 << false << QStringList{"0 with sound 1", on, silent};
    QTest::newRow("slot 3 on") << 2 << false << QStringList{on, on, "1 no sound 0"};
    QTest::newRow("slot 2 sound") << 1 << true << QStringList{on, "1 no sound 0", silent};
  }

  void editsWriteTheirBytes() {
    QFETCH(int, slot);
    QFETCH(bool, remove);
    QFETCH(QStringList, shown);
    Splash splash;
    QCOMPARE(splash.window.switchBoxes.at(25)->text(),
             QStringLiteral("Splash 2 (TEAM BEXULO banner)"));
    tbp::Bytes expected = splash.window.portImage.bytes();
    if (remove) {
      std::fill_n(expected.begin() + std::ptrdiff_t(splash.port.places.splashSound + 8), 8, 0);
      splash.window.splashRemoveButtons[std::size_t(slot)]->click();
    } else {
      expected[tbp::testkit::kSwitchWord + 3] ^= std::uint8_t(1 << slot);  // bits 24..26
      splash.window.switchBoxes.at(24 + slot)->click();
    }
    QCOMPARE(splash.window.portImage.bytes(), expected);
    QCOMPARE(splash.shownSlots(), shown);
  }

  void portWithoutSoundTableHasNothingToRemove() {
    Splash splash(false);
    QCOMPARE(splash.shownSlots(), (QStringList{"1 no sound 0", "1 no sound 0", "0 no sound 0"}));
  }
};

QTEST_MAIN(SplashPageTest)
#include "splash_page_test.moc"
