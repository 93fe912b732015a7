// "Export settings..." and "Import settings...": a configured port's document rebuilds the same
// bytes in a fresh port of the game, and bexulo-cli build --settings writes the same ROM.
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "app/main_window.h"
#include "app/settings_actions.h"
#include "support/demo_games.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

struct DemoWindow {
  WindowHarness harness{
      [](const QString& dir) { tbp::testkit::writeDemoDatabase(dir.toStdString()); }};
  QString path(const QString& relative) const { return harness.workDir.filePath(relative); }
  QString dump(std::size_t game) const {
    return path(QStringLiteral("demo/") +
                QString::fromStdString(tbp::testkit::demoGames()[game].dumpName));
  }
};

// Choices on every page, made through the window's own controls where the page offers one.
void configure(MainWindow& window) {
  window.switchBoxes.at(20)->setChecked(true);
  window.paletteCombo->setCurrentIndex(4);
  window.presetCombo->setCurrentIndex(2);
  window.buttonCombos[10]->setCurrentIndex(window.buttonCombos[10]->findData(8));
  window.turboSpin->setValue(9);
  window.chordSpin->setValue(45);
  window.splashRemoveButtons[0]->click();
  window.portImage.setGlyph(1, 20, tbp::Bytes{0x18, 0x3C, 0x7E, 0xFF, 0xFF, 0x7E, 0x3C, 0x18});
  window.portImage.setSymbolHint(tbp::symbolPageA, 9, 5);
  window.size2Mb->setChecked(true);
}

QString runBuild(const DemoWindow& demo, std::size_t game, const QString& out,
                 const QStringList& settings) {
  QProcess cli;
  cli.start(QStringLiteral(TBP_CLI_PATH),
            QStringList{QStringLiteral("build"), demo.dump(game), QStringLiteral("-o"), out,
                        QStringLiteral("--games"), demo.path(QStringLiteral("games"))} +
                settings);
  if (!cli.waitForFinished(120000)) return QStringLiteral("did not finish");
  return QString::number(cli.exitCode()) + QString::fromUtf8(cli.readAllStandardError());
}

}  // namespace

class SettingsFileTest : public QObject {
  Q_OBJECT

 private slots:
  void exportImportAndTheToolGiveTheSameBytes() {
    DemoWindow demo;
    MainWindow& window = *demo.harness.window;
    FakePrompts& prompts = *demo.harness.prompts;
    QVERIFY(!window.exportSettingsAction->isEnabled());
    window.openNesFile(demo.dump(0));
    QVERIFY(window.exportSettingsAction->isEnabled());
    configure(window);
    const tbp::Bytes configured = window.portImage.bytes();
    const QString document = demo.path(QStringLiteral("quest.json"));
    const QString windowRom = demo.path(QStringLiteral("window.sfc"));
    prompts.paths = {document, windowRom};
    exportSettings(window);
    window.saveRom();
    QCOMPARE(prompts.dialogs.at(0).caption, QStringLiteral("Export settings"));

    window.openNesFile(demo.dump(0));  // a fresh port of the same game
    QVERIFY(window.portImage.bytes() != configured);
    window.sizeAsItIs->setChecked(true);
    prompts.paths = {document};
    importSettings(window);
    QVERIFY(prompts.boxes.isEmpty());
    QVERIFY(window.portImage.bytes() == configured);
    QVERIFY(window.size2Mb->isChecked());
    QCOMPARE(window.turboSpin->value(), 9);

    const QString cliRom = demo.path(QStringLiteral("cli.sfc"));
    QCOMPARE(runBuild(demo, 0, cliRom, {QStringLiteral("--settings"), document}), QStringLiteral("0"));
    QVERIFY(readBack(cliRom) == readBack(windowRom));
  }

  void importListsWhatThePortSkipsAndRefusesUnknownKeys() {
    DemoWindow demo;
    MainWindow& window = *demo.harness.window;
    FakePrompts& prompts = *demo.harness.prompts;
    window.openNesFile(demo.dump(1));
    const QString skips = demo.harness.writeFile(
        QStringLiteral("skips.json"),
        R"({"version": 1, "turbo": 12, "msu1": [{"song": 63, "loop": false}]})");
    const QString unknown =
        demo.harness.writeFile(QStringLiteral("unknown.json"), R"({"version": 1, "tempo": 3})");
    prompts.paths = {skips, unknown};
    importSettings(window);
    QCOMPARE(window.portImage.turboCycle(), 12);
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes.at(0).title, QStringLiteral("Some settings were skipped"));
    QVERIFY(prompts.boxes.at(0).text.contains(
        QStringLiteral("MSU-1 song 63: this port has no such song")));
    const tbp::Bytes before = window.portImage.bytes();
    importSettings(window);
    QCOMPARE(prompts.boxes.size(), 2);
    QCOMPARE(prompts.boxes.at(1).text, QStringLiteral("settings: unknown key 'tempo'"));
    QVERIFY(window.portImage.bytes() == before);
  }
};

QTEST_MAIN(SettingsFileTest)
#include "settings_file_test.moc"
