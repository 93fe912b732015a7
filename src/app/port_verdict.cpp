#include "app/port_verdict.h"

#include <array>
#include <cstddef>

#include "formats/checksums.h"

namespace tbp {

namespace {

constexpr std::size_t kTitleLength = 21;
// Where an SNES internal title can sit: LoROM, HiROM, and both again behind a copier header.
constexpr std::array<std::size_t, 4> kTitleOffsets = {0x7FC0, 0xFFC0, 0x81C0, 0x101C0};

bool startsWithNesMagic(const Bytes& image) {
  return image.size() >= 16 && image[0] == 0x4E && image[1] == 0x45 && image[2] == 0x53 &&
         image[3] == 0x1A;
}

// The trimmed title at offset, or an empty string when the field does not fit or holds a byte
// outside printable ASCII.
QString titleAt(const Bytes& image, std::size_t offset) {
  if (offset > image.size() || image.size() - offset < kTitleLength) return QString();
  QString title;
  for (std::size_t i = 0; i < kTitleLength; ++i) {
    const std::uint8_t byte = image[offset + i];
    if (byte < 0x20 || byte > 0x7E) return QString();
    title += QLatin1Char(static_cast<char>(byte));
  }
  return title.trimmed();
}

QString upperHex(std::uint32_t value, int digits) {
  return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

}  // namespace

QString notAPortVerdict(const Bytes& image) {
  if (startsWithNesMagic(image))
    return QStringLiteral("This is an NES ROM. Use \"Open NES ROM...\" to build the port from it.");
  for (const std::size_t offset : kTitleOffsets) {
    const QString title = titleAt(image, offset);
    if (!title.isEmpty())
      return QStringLiteral(
                 "It's \"%1\" (from its SNES header), not a TEAM Bexulo port (no ZUVU manifest).")
          .arg(title);
  }
  return QStringLiteral("It isn't a TEAM Bexulo SNES port (no ZUVU manifest).");
}

QString notAPortReport(const Bytes& image) {
  const std::uint8_t* data = image.data();
  const std::size_t size = image.size();
  // One multi-argument substitution, so that a "%" in the verdict's title stays literal.
  return QStringLiteral("%1\n\n%2 bytes, CRC16 %3, CRC32 %4\nSHA-256 %5")
      .arg(notAPortVerdict(image), QString::number(size), upperHex(crc16(data, size), 4),
           upperHex(crc32(data, size), 8), QString::fromStdString(sha256Hex(data, size)));
}

}  // namespace tbp
