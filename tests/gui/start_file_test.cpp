#include <QTest>

#include "app/main_window.h"
#include "formats/patches.h"
#include "support/port_files.h"
#include "support/window_harness.h"

// A file from the command line, the desktop or a drop goes the way its kind asks.
class StartFileTest : public QObject {
  Q_OBJECT

 private slots:
  // Each kind of file goes its own way: a patch skips the wizard's question for the patch.
  void startFileByKind_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("portShown");
    const QStringList wizard = {"1/3  Pick the ROM to patch", "3/3  Save the patched ROM"};
    // Without a database the NES ROM path stops with its error; the BPS result is a port, so
    // the wizard offers to open it (and is told no).
    QTest::newRow("NES ROM, capitals") << "GAME.NES"
                                       << "port" << QStringList{} << "Error" << false;
    QTest::newRow("port") << "Game.sfc"
                          << "port" << QStringList{} << QString() << true;
    QTest::newRow("BPS patch") << "fix.bps"
                               << "bps" << wizard << "Open it?" << false;
    QTest::newRow("IPS patch, capitals") << "FIX.IPS"
                                         << "ips" << wizard << QString() << false;
  }

  void startFileByKind() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QStringList, captions);
    QFETCH(QString, box);
    QFETCH(bool, portShown);
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    QByteArray content = asQByteArray(files.port);
    if (kind == QStringLiteral("bps"))
      content = asQByteArray(tbp::createBps(files.nes, files.port, std::string()));
    if (kind == QStringLiteral("ips")) content = QByteArray("PATCH\0\0\x10\0\x01\x42", 11) + "EOF";
    const QString path = harness.writeFile(name, content);
    const QString rom = harness.writeFile(QStringLiteral("game.nes"), asQByteArray(files.nes));
    harness.prompts->paths = {rom, harness.workDir.filePath(QStringLiteral("out.sfc"))};

    harness.window->openFile(path);

    QStringList asked;
    for (const auto& dialog : harness.prompts->dialogs) asked.append(dialog.caption);
    QCOMPARE(asked, captions);
    QCOMPARE(harness.window->portImage.isPort(), portShown);
    QStringList titles;
    for (const auto& shown : harness.prompts->boxes) titles.append(shown.title);
    QCOMPARE(titles, box.isEmpty() ? QStringList{} : QStringList{box});
    QCOMPARE(QFile::exists(harness.workDir.filePath(QStringLiteral("out.sfc"))),
             !captions.isEmpty());
  }
};

QTEST_MAIN(StartFileTest)
#include "start_file_test.moc"
