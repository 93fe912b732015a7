#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "app/main_window.h"
#include "build/nes_rom.h"
#include "formats/checksums.h"
#include "info/info_format.h"
#include "support/database_builder.h"
#include "support/port_files.h"
#include "support/window_harness.h"

using tbp::testkit::GameFixture;

namespace {

tbp::InesHeader headerOf(std::initializer_list<std::uint8_t> bytes4to15) {
  tbp::Bytes file = {'N', 'E', 'S', 0x1A};
  file.insert(file.end(), bytes4to15);
  file.resize(64, 0);
  return tbp::parseInesHeader(file);
}

QString sha256(const tbp::Bytes& data) {
  return QString::fromStdString(tbp::sha256Hex(data.data(), data.size()));
}

GameFixture demoGame() {
  GameFixture game;
  game.id = "demo";
  game.title = "Demo <Quest> & Co";
  game.port = "Demo Quest SNES";
  game.file = "Demo Quest (USA).nes";
  game.notes = "Use the 1.1 dump.";
  game.aliases = {"DQ", "Quest of Demo"};
  game.nes = tbp::testkit::makeNesRom();
  game.image = tbp::testkit::makePortImage(game.nes);
  return game;
}

GameFixture bareGame() {
  tbp::testkit::NesRomOptions options;
  options.seed = 5;
  GameFixture game;
  game.id = "bare";
  game.title = "Bare Game";
  game.port = "Bare";
  game.nes = tbp::testkit::makeNesRom(options);
  game.image = tbp::testkit::makePortImage(game.nes);
  game.header = tbp::Bytes{};
  game.listPayload = false;
  return game;
}

struct InfoHarness {
  std::vector<GameFixture> games = {demoGame(), bareGame()};
  WindowHarness harness{[this](const QString& dir) {
    tbp::testkit::writeGameDatabase((dir + QStringLiteral("/games")).toStdString(), games);
  }};
  MainWindow& window() { return *harness.window; }
  QString text() { return harness.window->infoBrowser->toPlainText(); }
  // The plain text of the page from one heading up to the next one given.
  QString between(const QString& from, const QString& to) {
    const QString all = text();
    const qsizetype start = all.indexOf(from);
    const qsizetype end = to.isEmpty() ? all.size() : all.indexOf(to, start + 1);
    return start < 0 || end < 0 ? QString() : all.mid(start, end - start);
  }
};

}  // namespace

class InfoPageTest : public QObject {
  Q_OBJECT

 private slots:
  void sizeText_data() {
    QTest::addColumn<qulonglong>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("32 KB") << 32768ULL << "32 KB (32,768 bytes)";
    QTest::newRow("odd") << 40976ULL << "40,976 bytes";
    QTest::newRow("zero") << 0ULL << "0 KB (0 bytes)";
    QTest::newRow("one") << 1ULL << "1 bytes";
    QTest::newRow("4 MB") << 4194304ULL << "4096 KB (4,194,304 bytes)";
  }

  void sizeText() {
    QFETCH(qulonglong, size);
    QFETCH(QString, text);
    QCOMPARE(tbp::info::sizeText(size), text);
  }

  void hexText() {
    QCOMPARE(tbp::info::hexText(0xAB, 4), QStringLiteral("00AB"));
    QCOMPARE(tbp::info::hexText(0xCBF43926, 8), QStringLiteral("CBF43926"));
    QCOMPARE(tbp::info::hexText(0x123456, 2), QStringLiteral("123456"));
  }

  void inesHeaderDescriptions_data() {
    QTest::addColumn<tbp::InesHeader>("header");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << tbp::InesHeader{} << "none (headerless)";
    QTest::newRow("CHR RAM, horizontal")
        << headerOf({2, 0, 0, 0})
        << "iNES, mapper 0, PRG 32 KB, CHR RAM (no CHR-ROM), horizontal "
           "mirroring";
    QTest::newRow("vertical, battery, trainer")
        << headerOf({8, 16, 0x17, 0x10})
        << "iNES, mapper 17, PRG 128 KB, CHR 128 KB, vertical "
           "mirroring, battery, 512-byte trainer";
    QTest::newRow("NES 2.0 four-screen") << headerOf({1, 1, 0x48, 0x08, 0x01})
                                         << "NES 2.0, mapper 260, PRG 16 KB, CHR 8 KB, "
                                            "four-screen";
    QTest::newRow("ripper tag")
        << headerOf({2, 1, 0x01, 'D', 'i', 's', 'k', 'D', 'u', 'd', 'e', '!'})
        << "iNES, mapper 0, PRG 32 KB, CHR 8 KB, vertical mirroring<br><span "
           "style='color:#b07000'>bytes 7-15 hold a ripper tag (old header): ignored, as "
           "emulators do</span>";
  }

  void inesHeaderDescriptions() {
    QFETCH(tbp::InesHeader, header);
    QFETCH(QString, text);
    QCOMPARE(tbp::info::describeInesHeader(header), text);
  }

  void portBuiltFromAnNesRom() {
    InfoHarness info;
    MainWindow& window = info.window();
    const GameFixture& game = info.games[0];
    window.openNesFile(info.harness.writeFile(QStringLiteral("My.nes"), asQByteArray(game.nes)));
    QVERIFY(window.portImage.isPort());
    const tbp::Bytes saved = window.finalImage().bytes();

    const QString selected = info.between("Selected ROM: ", "SNES image");
    QVERIFY(selected.startsWith(QStringLiteral("Selected ROM: ZV1 Bexulo engine 1.4")));
    QVERIFY(selected.contains(QStringLiteral("to be built from your Demo <Quest> & Co ROM")));

    const QString image = info.between("SNES image (as it would be saved now)", "TEAM Bexulo");
    QVERIFY(image.contains(QStringLiteral("1024 KB (1,048,576 bytes)")));
    QVERIFY(image.contains(tbp::info::hexText(tbp::crc32(saved.data(), saved.size()), 8)));
    QVERIFY(image.contains(sha256(saved)));
    QVERIFY(image.contains(QStringLiteral("\"BEXULO PORT\"")));
    QVERIFY(image.contains(QStringLiteral("correct")));

    const QString manifest = info.between("TEAM Bexulo manifest", "Source NES ROM");
    QVERIFY(
        manifest.contains(QStringLiteral("$") + tbp::info::hexText(window.portImage.flags(), 8)));
    QVERIFY(manifest.contains(QStringLiteral("Palette slot")));
    QVERIFY(manifest.contains(QStringLiteral("8 songs, ")));
    QVERIFY(manifest.contains(QStringLiteral("Content ends")));

    const QString source = info.between("Source NES ROM", "Supported games");
    QVERIFY(source.contains(QStringLiteral("Demo <Quest> & Co")));
    QVERIFY(source.contains(sha256(game.nes)));
    QVERIFY(source.contains(QStringLiteral("(it matches the SHA-256 above)")));
    QVERIFY(source.contains(QStringLiteral("My.nes")));
    QVERIFY(source.contains(QRegularExpression(QStringLiteral("Match\\s+exact"))));
  }

  void splashSoundsNameTheirSlots_data() {
    QTest::addColumn<QList<bool>>("sounds");
    QTest::addColumn<QString>("row");
    QTest::newRow("first two") << QList<bool>{true, true, false} << "splash 1, splash 2";
    QTest::newRow("first and third") << QList<bool>{true, false, true} << "splash 1, splash 3";
    QTest::newRow("none") << QList<bool>{false, false, false} << "none";
  }

  void splashSoundsNameTheirSlots() {
    QFETCH(QList<bool>, sounds);
    QFETCH(QString, row);
    InfoHarness info;
    tbp::testkit::PortFixture port = tbp::testkit::makePortFixture(info.games[0].nes);
    // Each slot holds the first slot's sound (a sample offset and its fields) or nothing.
    const auto slot = [&](int index) {
      return port.image.begin() + std::ptrdiff_t(port.places.splashSound + 8 * std::size_t(index));
    };
    const tbp::Bytes sound(slot(0), slot(1));
    for (int index = 0; index < 3; ++index)
      std::copy_n(sounds[index] ? sound.begin() : tbp::Bytes(8).begin(), 8, slot(index));
    info.window().openPortFile(
        info.harness.writeFile(QStringLiteral("p.sfc"), asQByteArray(port.image)));
    QVERIFY(info.text().contains(QStringLiteral("Splash sounds\n%1\n").arg(row)));
  }

  void supportedGamesListEveryEntry() {
    InfoHarness info;
    const QString all = info.text();
    QVERIFY(all.contains(QStringLiteral("2 game(s). Use exactly this NES dump")));
    const QString demo = info.between("Demo <Quest> & Co", "Bare Game");
    for (const char* label : {"Port", "File name", "Also known as", "Size", "CRC16", "CRC32",
                              "SHA-256", "CRC32 w/o header", "SHA-256 w/o header", "iNES header",
                              "Cartridge", "Base patch", "Notes"})
      QVERIFY2(demo.contains(QLatin1String(label)), label);
    QVERIFY(demo.contains(QStringLiteral("DQ, Quest of Demo")));
    QVERIFY(demo.contains(QStringLiteral("4E 45 53 1A")));
    QVERIFY(demo.contains(QStringLiteral("|NES.")));
    const tbp::Bytes& image = info.games[0].image;
    QVERIFY(demo.contains(QStringLiteral("demo.bps, ")));
    QVERIFY(demo.contains(QStringLiteral("\u2192 1024 KB (1,048,576 bytes), default build CRC32 ") +
                          tbp::info::hexText(tbp::crc32(image.data(), image.size()), 8)));

    const QString bare = info.between("Bare Game", QString());
    for (const char* label : {"File name", "Also known as", "w/o header", "iNES header", "Notes"})
      QVERIFY2(!bare.contains(QLatin1String(label)), label);
    for (const char* label : {"Port", "Size", "CRC16", "CRC32", "SHA-256", "Base patch"})
      QVERIFY2(bare.contains(QLatin1String(label)), label);
  }

  void missingBasePatchShowsItsErrorOnTheNextRender() {
    InfoHarness info;
    const QString patchPath = info.harness.workDir.filePath(QStringLiteral("games/bare.bps"));
    QVERIFY(QFile::remove(patchPath));
    info.window().renderInfoPage();
    const QString bare = info.between("Bare Game", QString());
    QVERIFY2(bare.contains(QStringLiteral("bare.bps: cannot open ")), qPrintable(bare));
  }

  void switchChangeShowsOnTheNextSelection() {
    InfoHarness info;
    MainWindow& window = info.window();
    window.openNesFile(
        info.harness.writeFile(QStringLiteral("g.nes"), asQByteArray(info.games[0].nes)));
    const std::uint32_t before = window.portImage.flags();
    window.portImage.setSwitch(1, !(before >> 1 & 1));
    QVERIFY(window.portImage.flags() != before);
    window.tabs->setCurrentWidget(window.infoPage);
    QVERIFY(info.text().contains(QStringLiteral("$") +
                                 tbp::info::hexText(window.portImage.flags(), 8)));
    QVERIFY(info.text().contains(sha256(window.finalImage().bytes())));
  }

  void renderFailureOnTabChangeGoesToTheStatusBar() {
    InfoHarness info;
    MainWindow& window = info.window();
    tbp::testkit::PortOptions options;
    options.chip = 1;  // GSU-1: 2 MB is beyond its reach
    window.openPortFile(info.harness.writeFile(
        QStringLiteral("gsu.sfc"),
        asQByteArray(tbp::testkit::makePortImage(info.games[0].nes, options))));
    QVERIFY(window.portImage.isPort());
    const QString before = window.infoBrowser->toHtml();
    window.size2Mb->setEnabled(true);
    window.size2Mb->setChecked(true);
    window.tabs->setCurrentWidget(window.infoPage);
    QVERIFY2(window.statusBar()->currentMessage().startsWith(QStringLiteral("Error: ")),
             qPrintable(window.statusBar()->currentMessage()));
    QCOMPARE(window.infoBrowser->toHtml(), before);
  }

  // Another game's HiROM image behind a copier header: refused as a port, but its header is
  // reported, with the checksum it should carry; a port shown afterwards replaces the report.
  void anySnesRomGetsAHeaderReport() {
    InfoHarness info;
    MainWindow& window = info.window();
    tbp::Bytes rom(512 + 0x40000, 0x00);
    const char title[] = "ANOTHER GAME         ";
    const std::size_t header = 512 + 0xFFC0;
    std::copy(title, title + 21, rom.begin() + std::ptrdiff_t(header));
    const std::uint8_t fields[] = {0x21, 0x00, 0x08, 0x00, 0x00, 0x01, 0x03, 0xAA, 0xAA, 0x55, 0x55};
    std::copy(std::begin(fields), std::end(fields), rom.begin() + std::ptrdiff_t(header + 0x15));
    window.openPortFile(info.harness.writeFile(QStringLiteral("other.smc"), asQByteArray(rom)));
    QCOMPARE(info.harness.prompts->boxes.size(), 1);
    QCOMPARE(info.harness.prompts->boxes.at(0).title, QStringLiteral("Not a port"));
    const QString report = info.between(QStringLiteral("SNES header report: other.smc"),
                                        QStringLiteral("Supported games"));
    QVERIFY2(report.contains(QStringLiteral("yes, 512 bytes")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("HiROM at $00FFC0")));
    QVERIFY(report.contains(QStringLiteral("\"ANOTHER GAME\"")));
    QVERIFY(report.contains(QStringLiteral("declared 256 KB, file 256 KB")));
    QVERIFY(report.contains(QStringLiteral("$5555")));
    QVERIFY(report.contains(QStringLiteral("WRONG, should be $")));
    window.openPortFile(info.harness.writeFile(QStringLiteral("port.sfc"),
                                               asQByteArray(info.games[0].image)));
    QVERIFY(!info.text().contains(QStringLiteral("SNES header report: other.smc")));
    QVERIFY(info.text().contains(QStringLiteral("LoROM at $007FC0")));
  }
};

QTEST_MAIN(InfoPageTest)
#include "info_page_test.moc"
