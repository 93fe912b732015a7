#include "app/open_file.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "app/main_window.h"
#include "support/database_builder.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

// A window with a database of one game, and that game's NES ROM and port as files.
struct OpenHarness {
  PortFiles files = makePortFiles();
  WindowHarness harness{[this](const QString& dir) {
    tbp::testkit::GameFixture game;
    game.id = "demo";
    game.title = "Demo Quest";
    game.nes = files.nes;
    game.image = files.port;
    tbp::testkit::writeGameDatabase((dir + QStringLiteral("/games")).toStdString(), {game});
  }};
  MainWindow& window() { return *harness.window; }
  QString write(const QString& name, const tbp::Bytes& bytes) {
    return harness.writeFile(name, asQByteArray(bytes));
  }
};

const QString kBuiltFromNes = QStringLiteral("to be built from your Demo Quest ROM");

}  // namespace

class OpenFileTest : public QObject {
  Q_OBJECT

 private slots:
  void fileFromArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::newRow("none") << QStringList{"bexulo-patcher"} << QString();
    QTest::newRow("one file") << QStringList{"bexulo-patcher", "game.nes"} << "game.nes";
    QTest::newRow("option first") << QStringList{"bexulo-patcher", "--verbose", "port.sfc", "x"}
                                  << "port.sfc";
    QTest::newRow("after --") << QStringList{"bexulo-patcher", "--", "-odd.nes"} << "-odd.nes";
    QTest::newRow("only options") << QStringList{"bexulo-patcher", "-x", "--y"} << QString();
    QTest::newRow("empty skipped") << QStringList{"bexulo-patcher", "", "c.nes"} << "c.nes";
  }

  void fileFromArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QCOMPARE(tbp::fileFromArguments(arguments), file);
  }

  // ".nes" in any case opens as an NES ROM (the port is built); anything else as a port file.
  void argumentOpensByExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("nes");
    QTest::newRow("nes") << "Game.nes" << true;
    QTest::newRow("upper case NES") << "GAME.NES" << true;
    QTest::newRow("sfc") << "Port.sfc" << false;
    QTest::newRow("no extension") << "port" << false;
  }

  void argumentOpensByExtension() {
    QFETCH(QString, name);
    QFETCH(bool, nes);
    OpenHarness open;
    const QString path = open.write(name, nes ? open.files.nes : open.files.port);
    tbp::openFileFromArguments(open.window(), {QStringLiteral("bexulo-patcher"), path});
    QVERIFY(!open.window().portImage.isPort());  // not before the event loop runs
    QTRY_VERIFY(open.window().portImage.isPort());
    QCOMPARE(open.window().portImage.bytes(), open.files.port);
    QCOMPARE(open.window().sourceLine, nes ? kBuiltFromNes : name);
    QCOMPARE(open.window().portFilePath.isEmpty(), nes);
    QVERIFY(open.harness.prompts->boxes.isEmpty());
  }

  void droppedFileOpens() {
    OpenHarness open;
    const QString path = open.write(QStringLiteral("Dropped.nes"), open.files.nes);
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("https://example.org/x.sfc")), QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&open.window(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&open.window(), &drop);
    QVERIFY(drop.isAccepted());
    QTRY_VERIFY(open.window().portImage.isPort());
    QCOMPARE(open.window().sourceLine, kBuiltFromNes);
  }

  void dragWithoutLocalFileIsIgnored() {
    OpenHarness open;
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("https://example.org/x.sfc"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QCoreApplication::sendEvent(&open.window(), &enter);
    QVERIFY(!enter.isAccepted());
    data.setText(QStringLiteral("just text"));
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QCoreApplication::sendEvent(&open.window(), &drop);
    QVERIFY(!drop.isAccepted());
    QTest::qWait(20);
    QVERIFY(!open.window().portImage.isPort());
    QVERIFY(open.harness.prompts->boxes.isEmpty());
  }
};

QTEST_MAIN(OpenFileTest)
#include "open_file_test.moc"
