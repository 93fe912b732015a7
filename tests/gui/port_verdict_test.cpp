#include "build/port_verdict.h"

#include <QTest>

namespace {

tbp::Bytes filled(std::size_t size, std::uint8_t value) { return tbp::Bytes(size, value); }

void put(tbp::Bytes& image, std::size_t offset, const QByteArray& text) {
  for (int i = 0; i < text.size(); ++i) image[offset + i] = static_cast<std::uint8_t>(text[i]);
}

const QString kGeneric = QStringLiteral("It isn't a TEAM Bexulo SNES port (no ZUVU manifest).");

QString titled(const QString& title) {
  return QStringLiteral(
             "It's \"%1\" (from its SNES header), not a TEAM Bexulo port (no ZUVU manifest).")
      .arg(title);
}

}  // namespace

class PortVerdictTest : public QObject {
  Q_OBJECT

 private slots:
  void verdict_data() {
    QTest::addColumn<tbp::Bytes>("image");
    QTest::addColumn<QString>("verdict");

    tbp::Bytes nes = filled(16, 0);
    put(nes, 0, QByteArray("NES\x1A", 4));
    QTest::newRow("headered NES ROM")
        << nes
        << QStringLiteral("This is an NES ROM. Use \"Open NES ROM...\" to build the port from it.");
    QTest::newRow("NES magic but 15 bytes")
        << tbp::Bytes(nes.begin(), nes.begin() + 15) << kGeneric;

    tbp::Bytes loRom = filled(0x8000, 0);
    put(loRom, 0x7FC0, "ABCDEFGHIJ           ");
    QTest::newRow("LoROM title, blanks trimmed") << loRom << titled("ABCDEFGHIJ");

    tbp::Bytes nesLooking = loRom;
    put(nesLooking, 0, QByteArray("NES\x1A", 4));
    QTest::newRow("NES magic wins over a title")
        << nesLooking
        << QStringLiteral("This is an NES ROM. Use \"Open NES ROM...\" to build the port from it.");

    tbp::Bytes zeroInTitle = filled(0x10000, 0x20);
    put(zeroInTitle, 0x7FC0, QByteArray("BAD\0TITLE            ", 21));
    put(zeroInTitle, 0xFFC0, "HIROM GAME           ");
    QTest::newRow("title with 0x00 rejected, next offset") << zeroInTitle << titled("HIROM GAME");

    tbp::Bytes blanks = filled(0x10000, 0x20);
    put(blanks, 0xFFC0, QByteArray(21, '\x7F'));
    QTest::newRow("all-blank titles, 0x7F byte") << blanks << kGeneric;

    tbp::Bytes copier = filled(0x81C0 + 21, 0);
    put(copier, 0x81C0, "  COPIED GAME        ");
    QTest::newRow("copier-shifted LoROM title, exact fit") << copier << titled("COPIED GAME");
    QTest::newRow("one byte short of the title field")
        << tbp::Bytes(copier.begin(), copier.end() - 1) << kGeneric;

    tbp::Bytes percent = filled(0x8000, 0);
    put(percent, 0x7FC0, "100%2 GAME %1        ");
    QTest::newRow("title with percent signs") << percent << titled("100%2 GAME %1");

    QTest::newRow("16 bytes of nothing") << filled(16, 0x41) << kGeneric;
    QTest::newRow("empty file") << tbp::Bytes{} << kGeneric;
  }

  void verdict() {
    QFETCH(tbp::Bytes, image);
    QFETCH(QString, verdict);
    QCOMPARE(QString::fromStdString(tbp::notAPortVerdict(image)), verdict);
  }

  void reportCarriesSizeAndDigests() {
    const QByteArray check = "123456789";
    const tbp::Bytes image(check.begin(), check.end());
    QCOMPARE(QString::fromStdString(tbp::notAPortReport(image)),
             kGeneric + QStringLiteral("\n\n9 bytes, CRC16 BB3D, CRC32 CBF43926\nSHA-256 "
                                       "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448"
                                       "eb225"));
  }

  void reportKeepsPercentSignsOfTheTitle() {
    tbp::Bytes image = filled(0x8000, 0);
    put(image, 0x7FC0, "%2%3%4%5             ");
    const QString report = QString::fromStdString(tbp::notAPortReport(image));
    QVERIFY2(report.startsWith(titled("%2%3%4%5") + QStringLiteral("\n\n32768 bytes, CRC16 ")),
             qPrintable(report));
  }
};

QTEST_MAIN(PortVerdictTest)
#include "port_verdict_test.moc"
