// What a user changes on the option pages is saved in the ROM and shown again when the saved
// ROM is opened, on every demo game.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "app/main_window.h"
#include "support/demo_games.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

// Everything the option pages show for a port.
struct Shown {
  QList<bool> switches;
  QList<bool> visible;
  int palette = -1;
  int chip = -1;
  QList<int> buttons;
  int turbo = 0;
  int chord = 0;
  QStringList splashSounds;
  bool operator==(const Shown&) const = default;
};

Shown shown(const MainWindow& window) {
  Shown seen;
  for (const auto& [bit, box] : window.switchBoxes) {
    seen.switches << box->isChecked();
    seen.visible << !box->isHidden();
  }
  seen.palette = window.paletteCombo->currentIndex();
  seen.chip = window.chipCombo->currentIndex();
  for (const QComboBox* combo : window.buttonCombos) seen.buttons << combo->currentIndex();
  seen.turbo = window.turboSpin->value();
  seen.chord = window.chordSpin->value();
  for (const QLabel* label : window.splashSoundLabels) seen.splashSounds << label->text();
  return seen;
}

// Changes a setting on every page, as a user does with the widgets.
void changeEverything(MainWindow& window) {
  int toggled = 0;
  for (const auto& [bit, box] : window.switchBoxes)
    if (bit != 0 && !box->isHidden() && toggled++ < 3) box->click();
  window.paletteCombo->setCurrentIndex((window.paletteCombo->currentIndex() + 3) % 8);
  window.chipCombo->setCurrentIndex(window.chipCombo->count() - 1);
  QComboBox* first = window.buttonCombos[0];
  first->setCurrentIndex((first->currentIndex() + 1) % first->count());
  window.turboSpin->setValue(window.turboSpin->value() + 1);
  window.chordSpin->setValue(window.chordSpin->value() + 1);
  for (QPushButton* remove : window.splashRemoveButtons)
    if (remove->isEnabled()) {
      remove->click();
      break;
    }
}

}  // namespace

class SettingsRoundTripTest : public QObject {
  Q_OBJECT

 private slots:
  void savedSettingsShowAgain() {
    WindowHarness harness{
        [](const QString& dir) { tbp::testkit::writeDemoDatabase(dir.toStdString()); }};
    MainWindow& window = *harness.window;
    for (const tbp::testkit::DemoGame& game : tbp::testkit::demoGames()) {
      const QString label = QString::fromStdString(game.game.title);
      window.openNesFile(harness.workDir.filePath(QStringLiteral("demo/") +
                                                  QString::fromStdString(game.dumpName)));
      QVERIFY2(window.portImage.isPort(), qPrintable(label));
      const Shown before = shown(window);
      changeEverything(window);
      const Shown changed = shown(window);
      QVERIFY2(changed.switches != before.switches && changed.palette != before.palette &&
                   changed.buttons != before.buttons && changed.turbo != before.turbo,
               qPrintable(label));

      const QString saved = harness.workDir.filePath(QString::fromStdString(game.game.id) + ".sfc");
      harness.prompts->paths = {saved};
      window.saveRom();
      window.openPortFile(saved);
      QVERIFY2(window.portImage.isPort(), qPrintable(label));
      QVERIFY2(shown(window) == changed, qPrintable(label));
      QCOMPARE(window.portImage.bytes(), readBack(saved));
    }
  }
};

QTEST_MAIN(SettingsRoundTripTest)
#include "settings_round_trip_test.moc"
