#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include "app/main_window.h"
#include "formats/patches.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

// An IPS patch with one record that writes bytes at offset.
QByteArray ipsPatch(std::uint32_t offset, const QByteArray& bytes) {
  QByteArray patch("PATCH");
  patch += char(offset >> 16);
  patch += char(offset >> 8);
  patch += char(offset);
  patch += char(bytes.size() >> 8);
  patch += char(bytes.size());
  patch += bytes;
  return patch + QByteArray("EOF");
}

const QString kRomCaption = QStringLiteral("1/3  Pick the ROM to patch");
const QString kPatchCaption = QStringLiteral("2/3  Pick the patch");
const QString kSaveCaption = QStringLiteral("3/3  Save the patched ROM");

}  // namespace

class ApplyPatchTest : public QObject {
  Q_OBJECT

 private slots:
  void cancellingAnyStepWritesNothing() {
    WindowHarness harness;
    harness.window->applyPatchFile();
    QCOMPARE(harness.prompts->dialogs.size(), 1);
    QCOMPARE(harness.prompts->dialogs[0].caption, kRomCaption);
    QCOMPARE(harness.prompts->dialogs[0].filter,
             QStringLiteral("ROMs (*.nes *.sfc *.smc);;All files (*)"));

    harness.prompts->dialogs.clear();
    harness.prompts->paths = {harness.writeFile(QStringLiteral("rom.bin"), "abc")};
    harness.window->applyPatchFile();
    QCOMPARE(harness.prompts->dialogs.size(), 2);
    QCOMPARE(harness.prompts->dialogs[1].caption, kPatchCaption);
    QCOMPARE(harness.prompts->dialogs[1].filter,
             QStringLiteral("Patches (*.bps *.ips *.ups);;All files (*)"));
    QVERIFY(harness.prompts->boxes.isEmpty());
  }

  void ipsResultIsSavedAsABinaryWithoutQuestion() {
    WindowHarness harness;
    const QString rom = harness.writeFile(QStringLiteral("roms/Game.nes"), QByteArray(40976, 'N'));
    const QString patch =
        harness.writeFile(QStringLiteral("patches/Fix.v2.ips"), ipsPatch(3, "XYZ"));
    const QString target = harness.workDir.filePath(QStringLiteral("out.bin"));
    harness.prompts->paths = {rom, patch, target};
    harness.window->applyPatchFile();

    QVERIFY(harness.prompts->boxes.isEmpty());
    QCOMPARE(harness.prompts->dialogs[2].caption, kSaveCaption);
    QCOMPARE(harness.prompts->dialogs[2].filter, QString());
    QCOMPARE(harness.prompts->dialogs[2].startPath,
             harness.workDir.filePath(QStringLiteral("roms/Fix.v2.bin")));
    QByteArray expected(40976, 'N');
    expected.replace(3, 3, "XYZ");
    QCOMPARE(readBack(target), tbp::Bytes(expected.begin(), expected.end()));
    QCOMPARE(harness.window->statusBar()->currentMessage(),
             QStringLiteral("Patched: %1 (40976 bytes)").arg(target));
  }

  void largeResultWithoutManifestIsProposedAsSfc() {
    WindowHarness harness;
    const QString rom = harness.writeFile(QStringLiteral("Big.sfc"), QByteArray(0x40000, '\0'));
    const QString patch = harness.writeFile(QStringLiteral("Hack.ips"), ipsPatch(0, "A"));
    harness.prompts->paths = {rom, patch};
    harness.window->applyPatchFile();
    QCOMPARE(harness.prompts->dialogs[2].startPath,
             harness.workDir.filePath(QStringLiteral("Hack.sfc")));
    QVERIFY(harness.prompts->boxes.isEmpty());
  }

  void bpsPortResultCanBeOpened() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    const QString rom = harness.writeFile(QStringLiteral("a/Game.nes"), asQByteArray(files.nes));
    const tbp::Bytes bps = tbp::createBps(files.nes, files.port, "test");
    const QString patch = harness.writeFile(QStringLiteral("b/Port Update.bps"), asQByteArray(bps));
    const QString target = harness.workDir.filePath(QStringLiteral("a/Port Update.sfc"));
    harness.prompts->paths = {rom, patch, target};
    harness.prompts->answers = {true};
    harness.window->applyPatchFile();

    QCOMPARE(harness.prompts->dialogs[2].startPath, target);
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].kind, QStringLiteral("question"));
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Open it?"));
    QCOMPARE(harness.prompts->boxes[0].text,
             QStringLiteral("The result is a TEAM Bexulo port. Open it to change its settings?"));
    MainWindow& window = *harness.window;
    QCOMPARE(readBack(target), files.port);
    QCOMPARE(window.portImage.bytes(), files.port);
    QCOMPARE(window.portFilePath, target);
    QCOMPARE(window.sourceLine, QStringLiteral("Port Update.sfc"));
    QCOMPARE(window.nesFileBytes, files.nes);
    QVERIFY(window.nesRomBytes.empty());
    QCOMPARE(window.nesFileName, QStringLiteral("Game.nes"));
    QCOMPARE(window.nesFilePath, rom);
    QVERIFY(window.nesNote.isEmpty());
  }

  void answeringNoKeepsThePreviousState() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    const QString rom = harness.writeFile(QStringLiteral("Game.nes"), asQByteArray(files.nes));
    const QString patch = harness.writeFile(
        QStringLiteral("P.bps"), asQByteArray(tbp::createBps(files.nes, files.port, "")));
    const QString target = harness.workDir.filePath(QStringLiteral("P.sfc"));
    harness.prompts->paths = {rom, patch, target};
    harness.prompts->answers = {false};
    harness.window->applyPatchFile();
    QVERIFY(!harness.window->portImage.isPort());
    QVERIFY(harness.window->nesFileBytes.empty());
    QCOMPARE(harness.window->statusBar()->currentMessage(),
             QStringLiteral("Patched: %1 (%2 bytes)").arg(target).arg(files.port.size()));
  }

  void patchErrorsEndTheWizard() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    tbp::Bytes otherNes = files.nes;
    otherNes[100] ^= 1;
    const QString rom = harness.writeFile(QStringLiteral("Other.nes"), asQByteArray(otherNes));
    const QString patch = harness.writeFile(
        QStringLiteral("P.bps"), asQByteArray(tbp::createBps(files.nes, files.port, "")));
    harness.prompts->paths = {rom, patch, harness.workDir.filePath(QStringLiteral("never.sfc"))};
    harness.window->applyPatchFile();
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].kind, QStringLiteral("critical"));
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Patch failed"));
    QCOMPARE(harness.prompts->boxes[0].text,
             QStringLiteral("BPS: this is not the ROM the patch was made for (source CRC "
                            "mismatch)"));
    QCOMPARE(harness.prompts->dialogs.size(), 2);
    QVERIFY(!QFile::exists(harness.workDir.filePath(QStringLiteral("never.sfc"))));
  }

  void shortBpsMagicGoesToTheIpsEngine() {
    WindowHarness harness;
    const QString rom = harness.writeFile(QStringLiteral("r.bin"), "abc");
    const QString patch = harness.writeFile(QStringLiteral("p.bps"), "BPS");
    harness.prompts->paths = {rom, patch};
    harness.window->applyPatchFile();
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Patch failed"));
    QCOMPARE(harness.prompts->boxes[0].text, QStringLiteral("not an IPS patch"));
  }

  // A UPS patch turns its source into its target and its target back into its source; any
  // other ROM is refused by the patch's CRCs and nothing is written.
  void upsAppliesBothWaysAndRefusesOtherRoms() {
    WindowHarness harness;
    const tbp::Bytes source(40976, 'S');
    tbp::Bytes target = source;
    target[100] = 'T';
    target.resize(50000, 'U');
    const QString patch = harness.writeFile(QStringLiteral("Hack.ups"),
                                            asQByteArray(tbp::createUps(source, target)));
    const QString sourceFile = harness.writeFile(QStringLiteral("source.nes"), asQByteArray(source));
    const QString targetFile = harness.writeFile(QStringLiteral("target.bin"), asQByteArray(target));
    const QString forward = harness.workDir.filePath(QStringLiteral("forward.bin"));
    const QString backward = harness.workDir.filePath(QStringLiteral("backward.bin"));
    harness.prompts->paths = {sourceFile, patch, forward, targetFile, patch, backward};
    harness.window->applyPatchFile();
    harness.window->applyPatchFile();
    QVERIFY(harness.prompts->boxes.isEmpty());
    QVERIFY(readBack(forward) == target);
    QVERIFY(readBack(backward) == source);

    tbp::Bytes other = source;
    other[7] = 'X';
    harness.prompts->paths = {harness.writeFile(QStringLiteral("other.nes"), asQByteArray(other)),
                              patch, harness.workDir.filePath(QStringLiteral("never.bin"))};
    harness.window->applyPatchFile();
    QCOMPARE(harness.prompts->boxes.size(), 1);
    QCOMPARE(harness.prompts->boxes[0].title, QStringLiteral("Patch failed"));
    QCOMPARE(harness.prompts->boxes[0].text,
             QStringLiteral("UPS: this is not the ROM the patch was made for (CRC mismatch)"));
    QVERIFY(!QFile::exists(harness.workDir.filePath(QStringLiteral("never.bin"))));
  }
};

QTEST_MAIN(ApplyPatchTest)
#include "apply_patch_test.moc"
