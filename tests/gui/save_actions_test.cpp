#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include "app/main_window.h"
#include "formats/checksums.h"
#include "formats/patches.h"
#include "support/port_files.h"
#include "support/window_harness.h"

using tbp::testkit::PortOptions;

namespace {

// A window showing a port opened from <workDir>/<name>.
void openPort(WindowHarness& harness, const tbp::Bytes& port, const QString& name) {
  harness.window->openPortFile(harness.writeFile(name, asQByteArray(port)));
  QVERIFY(harness.window->portImage.isPort());
}

}  // namespace

class SaveActionsTest : public QObject {
  Q_OBJECT

 private slots:
  void saveRomWritesTheFinalImage() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    openPort(harness, files.port, QStringLiteral("TEAM BEXULO - Game.sfc"));
    const QString target = harness.workDir.filePath(QStringLiteral("saved.sfc"));
    harness.prompts->paths = {target};
    harness.window->saveRom();

    QVERIFY(harness.prompts->boxes.isEmpty());
    const auto& dialog = harness.prompts->dialogs.last();
    QCOMPARE(dialog.kind, QStringLiteral("save"));
    QCOMPARE(dialog.caption, QStringLiteral("Save SNES ROM"));
    QCOMPARE(dialog.filter, QStringLiteral("SNES ROM (*.sfc)"));
    QCOMPARE(dialog.startPath, harness.workDir.filePath(QStringLiteral("TEAM Bexulo - Game.sfc")));
    const tbp::Bytes saved = readBack(target);
    QCOMPARE(saved, harness.window->finalImage().bytes());
    QCOMPARE(saved.size(), files.port.size());
    QCOMPARE(harness.window->statusBar()->currentMessage(),
             QStringLiteral("Saved %1 (%2 KB)").arg(target).arg(files.port.size() / 1024));
  }

  void cancelledSaveWritesNothing() {
    WindowHarness harness;
    openPort(harness, makePortFiles().port, QStringLiteral("p.sfc"));
    harness.window->saveRom();
    harness.window->savePatch();
    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(harness.window->statusBar()->currentMessage().left(7), QStringLiteral("Loaded:"));
  }

  void smallestSizeChangesOnlyTheSavedCopy() {
    WindowHarness harness;
    PortOptions options;
    options.romSize = 2 * 1024 * 1024;
    const PortFiles files = makePortFiles(options);
    openPort(harness, files.port, QStringLiteral("p.sfc"));
    const QString labelBefore = harness.window->sizeLabel->text();
    harness.window->sizeSmallest->setChecked(true);
    const QString target = harness.workDir.filePath(QStringLiteral("small.sfc"));
    harness.prompts->paths = {target};
    harness.window->saveRom();

    const tbp::Bytes saved = readBack(target);
    QCOMPARE(saved.size(), tbp::snesRomSize(harness.window->portImage.contentSize()));
    QVERIFY(saved.size() < files.port.size());
    QCOMPARE(harness.window->portImage.bytes(), files.port);
    QCOMPARE(harness.window->sizeLabel->text(), labelBefore);
  }

  void refusedSizeIsReportedAndNothingIsWritten() {
    WindowHarness harness;
    PortOptions options;
    options.chip = 1;  // GSU-1 cannot reach 2 MB
    openPort(harness, makePortFiles(options).port, QStringLiteral("p.sfc"));
    harness.window->size2Mb->setEnabled(true);
    harness.window->size2Mb->setChecked(true);
    const QString target = harness.workDir.filePath(QStringLiteral("big.sfc"));
    harness.prompts->paths = {target};
    harness.window->saveRom();
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Error"));
    QVERIFY(!QFile::exists(target));
  }

  void patchFromTheEmbeddedNesRoundTrips() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    openPort(harness, files.port, QStringLiteral("Game.sfc"));
    const QString target = harness.workDir.filePath(QStringLiteral("Game.bps"));
    harness.prompts->paths = {target};
    harness.window->savePatch();

    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(harness.prompts->dialogs.size(), 1);
    QCOMPARE(harness.prompts->dialogs[0].caption, QStringLiteral("Create BPS patch"));
    QCOMPARE(harness.prompts->dialogs[0].filter, QStringLiteral("BPS patch (*.bps)"));
    QCOMPARE(harness.prompts->dialogs[0].startPath, target);
    const tbp::Bytes patch = readBack(target);
    QCOMPARE(tbp::applyBps(files.nes, patch), harness.window->finalImage().bytes());
    QCOMPARE(tbp::readBpsHeader(patch).metadata, std::string("TEAM Bexulo Patcher: port"));
    QCOMPARE(harness.window->statusBar()->currentMessage(),
             QStringLiteral("Patch saved: %1 (%2 KB)").arg(target).arg(patch.size() / 1024));
  }

  void patchWithoutNesCopyAsksForTheNesRom() {
    WindowHarness harness;
    PortOptions options;
    options.embedNes = false;
    const PortFiles files = makePortFiles(options);
    openPort(harness, files.port, QStringLiteral("Game.sfc"));
    const QString nesPath = harness.writeFile(QStringLiteral("mine.nes"), asQByteArray(files.nes));
    const QString target = harness.workDir.filePath(QStringLiteral("out.bps"));
    harness.prompts->paths = {nesPath, target};
    harness.window->savePatch();

    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(harness.prompts->dialogs[0].caption,
             QStringLiteral("The NES ROM this port was made from"));
    QCOMPARE(harness.window->nesFileBytes, files.nes);
    QCOMPARE(harness.window->nesFilePath, nesPath);
    QCOMPARE(harness.window->nesFileName, QStringLiteral("mine.nes"));
    // The NES file now names the default output.
    QCOMPARE(harness.prompts->dialogs[1].startPath,
             harness.workDir.filePath(QStringLiteral("mine.bps")));
    QCOMPARE(tbp::applyBps(files.nes, readBack(target)), harness.window->finalImage().bytes());
  }

  void wrongNesRomIsRefused() {
    WindowHarness harness;
    PortOptions options;
    options.embedNes = false;
    const PortFiles files = makePortFiles(options);
    openPort(harness, files.port, QStringLiteral("Game.sfc"));
    tbp::Bytes other = files.nes;
    other.back() ^= 0xFF;
    const QString nesPath = harness.writeFile(QStringLiteral("other.nes"), asQByteArray(other));
    harness.prompts->paths = {nesPath, harness.workDir.filePath(QStringLiteral("x.bps"))};
    harness.window->savePatch();

    QCOMPARE(harness.prompts->boxes.size(), 1);
    const auto& box = harness.prompts->boxes[0];
    QCOMPARE(box.kind, QStringLiteral("warning"));
    QCOMPARE(box.title, QStringLiteral("Wrong NES ROM"));
    const QString expected =
        QString::fromStdString(tbp::sha256Hex(files.nes.data(), files.nes.size()));
    const QString actual = QString::fromStdString(tbp::sha256Hex(other.data(), other.size()));
    QCOMPARE(box.text, QStringLiteral("This port was made from the NES ROM with SHA-256\n%1\n\n"
                                      "That file is\n%2")
                           .arg(expected, actual));
    QCOMPARE(harness.prompts->dialogs.size(), 1);
    QVERIFY(harness.window->nesFileBytes.empty());
    QVERIFY(!QFile::exists(harness.workDir.filePath(QStringLiteral("x.bps"))));
  }
};

QTEST_MAIN(SaveActionsTest)
#include "save_actions_test.moc"
