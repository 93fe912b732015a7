#include <QString>
#include <QStringList>

#include "app/main_window.h"
#include "build/nes_rom.h"
#include "formats/checksums.h"
#include "formats/json.h"
#include "info/info_format.h"
#include "info/info_sections.h"

namespace tbp::info {

namespace {

constexpr std::uint64_t kKilobyte = 1024;
constexpr std::uint64_t kMegabyte = 1024 * 1024;
constexpr int kLargestSizeExponent = 15;
constexpr int kPaletteSlotShift = 15;
constexpr std::uint32_t kPaletteSlotMask = 7;
constexpr int kSplashSlots = 3;

QString escaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// 2 to the power of a size byte, in KB; a byte above 15 names no real size and gives 0.
std::uint64_t sizeClassKb(std::uint8_t exponent) {
  return exponent > kLargestSizeExponent ? 0 : std::uint64_t(1) << exponent;
}

QString digestRows(const Bytes& data, const QString& prefix) {
  return ttRow(prefix + QStringLiteral("CRC16"), hexText(crc16(data.data(), data.size()), 4)) +
         ttRow(prefix + QStringLiteral("CRC32"), hexText(crc32(data.data(), data.size()), 8)) +
         ttRow(prefix + QStringLiteral("SHA-256"),
               QString::fromStdString(sha256Hex(data.data(), data.size())));
}

QString headerRows(const PortImage& image) {
  const SnesHeader header = image.header();
  if (!header.valid) return QString();
  const auto coded = [](std::uint8_t byte, const std::string& meaning) {
    return QStringLiteral("$") + hexText(byte, 2) + QStringLiteral(" &mdash; ") + escaped(meaning);
  };
  const QString checksum =
      QStringLiteral("$%1 / complement $%2 &mdash; %3")
          .arg(hexText(header.checksum, 4), hexText(header.complement, 4),
               image.checksumValid() ? QStringLiteral("<span style='color:green'>correct</span>")
                                     : QStringLiteral("<span style='color:red'>WRONG</span>"));
  const QString sram = header.ramSizeCode == 0
                           ? QStringLiteral("none")
                           : QStringLiteral("%1 KB").arg(sizeClassKb(header.ramSizeCode));
  return ttRow(QStringLiteral("Header title"),
               QStringLiteral("\"%1\"").arg(escaped(header.title))) +
         row(QStringLiteral("Map mode"), coded(header.mapMode, describeMapMode(header))) +
         row(QStringLiteral("Cartridge"), coded(header.cartType, describeCartridge(header))) +
         row(QStringLiteral("ROM size byte"),
             QStringLiteral("$%1 &mdash; %2 KB class")
                 .arg(hexText(header.romSizeCode, 2),
                      QString::number(sizeClassKb(header.romSizeCode)))) +
         row(QStringLiteral("SRAM"), sram) +
         row(QStringLiteral("Region"), coded(header.region, describeRegion(header))) +
         row(QStringLiteral("Version"), QStringLiteral("1.%1").arg(header.version)) +
         ttRow(QStringLiteral("Checksum"), checksum);
}

// The "spec" string of the manifest text, or empty when there is none or the text does not parse.
QString manifestSpec(const PortImage& image) {
  try {
    const JsonValue root = parseJson(image.manifestText());
    const JsonValue& spec = root.get("spec");
    if (spec.kind() == JsonKind::String) return escaped(spec.text());
  } catch (const std::exception&) {
    // A manifest that does not parse only drops this row.
  }
  return QString();
}

QString switchesOn(const PortImage& image) {
  QStringList labels;
  const std::uint32_t flags = image.flags();
  for (const SwitchInfo& info : switchTable())
    if ((flags >> info.bit) & 1U && image.supportsSwitch(info.bit))
      labels << QString::fromUtf8(info.label).toHtmlEscaped();
  return labels.isEmpty() ? QStringLiteral("none") : labels.join(QStringLiteral("<br>"));
}

QString chipText(int chip) {
  QString text = escaped(chipName(chip));
  if (chip == 0) return text;
  return text + QStringLiteral(" \u2014 %1 MHz").arg(chipClockMhz(chip), 0, 'f', 1) +
         QStringLiteral(" (coprocessor header: FXPak Pro / emulators only, %1 MB max)")
             .arg(chipRomReach(chip) / kMegabyte);
}

QString fontsText(const PortImage& image) {
  QStringList names;
  for (int font = 0; font < image.fontCount(); ++font) names << escaped(image.fontName(font));
  return QStringLiteral("%1: %2").arg(QString::number(image.fontCount()), names.join(", "));
}

// The sound table counts slots from 0; the page names them from 1, as the Splash & Sound page.
QString splashSounds(const PortImage& image) {
  QStringList present;
  for (int slot = 0; slot < kSplashSlots; ++slot)
    if (image.splashSoundPresent(slot)) present << QStringLiteral("splash %1").arg(slot + 1);
  return present.isEmpty() ? QStringLiteral("none") : present.join(QStringLiteral(", "));
}

QString msuText(const PortImage& image, std::size_t picked) {
  const std::vector<MsuSong> songs = image.msuSongs();
  int replaced = 0;
  for (const MsuSong& song : songs)
    if (image.msuTrack(song.index) != -1) ++replaced;
  return QStringLiteral("%1 songs, %2 replaced in the ROM, %3 picked on the Music tab")
      .arg(QString::number(songs.size()), QString::number(replaced), QString::number(picked));
}

// The game the port names: the window's own, else the last database entry with the port's
// recorded NES digest.
const GameEntry* expectedGame(const MainWindow& window, const std::string& expected) {
  if (window.currentGame || !window.databaseLoaded || expected.empty()) return window.currentGame;
  const GameEntry* found = nullptr;
  for (const GameEntry& entry : window.database.games)
    if (entry.nesSha256 == expected) found = &entry;
  return found;
}

}  // namespace

QString portSections(const MainWindow& window) {
  const QString name = escaped(window.portImage.portName());
  return sectionStart(QStringLiteral("Selected ROM: ") + name) +
         row(QStringLiteral("Opened from"), window.sourceLine.toHtmlEscaped()) + sectionEnd() +
         snesImageSection(window) + manifestSection(window) + sourceNesSection(window);
}

QString snesImageSection(const MainWindow& window) {
  const PortImage image = window.finalImage();
  return sectionStart(QStringLiteral("SNES image (as it would be saved now)")) +
         row(QStringLiteral("Size"), sizeText(image.bytes().size())) +
         digestRows(image.bytes(), QString()) + headerRows(image) + sectionEnd();
}

QString manifestSection(const MainWindow& window) {
  const PortImage& image = window.portImage;
  QString html = sectionStart(QStringLiteral("TEAM Bexulo manifest"));
  const QString spec = manifestSpec(image);
  if (!spec.isEmpty()) html += row(QStringLiteral("Spec"), spec);
  QString layout = escaped(image.layout().layoutName);
  if (!image.layout().switches.empty())
    layout += QStringLiteral(", %1 switches listed").arg(image.layout().switches.size());
  html += row(QStringLiteral("Table layout"), layout);
  html += ttRow(QStringLiteral("Flags"), QStringLiteral("$") + hexText(image.flags(), 8));
  html += row(QStringLiteral("Switches on"), switchesOn(image));
  html += row(QStringLiteral("Palette slot"),
              QString::number((image.flags() >> kPaletteSlotShift) & kPaletteSlotMask));
  html += row(QStringLiteral("Chip"), chipText(image.chip()));
  html += row(QStringLiteral("Fonts"), fontsText(image));
  html += row(QStringLiteral("Splash sounds"), splashSounds(image));
  if (image.hasMsu1())
    html += row(QStringLiteral("MSU-1"), msuText(image, window.musicChoices.size()));
  const std::size_t contentEnd = window.finalImage().contentSize();
  html +=
      row(QStringLiteral("Content ends"),
          QStringLiteral("$%1 (smallest valid size %2 KB)")
              .arg(hexText(contentEnd, 6), QString::number(snesRomSize(contentEnd) / kKilobyte)));
  return html + sectionEnd();
}

QString sourceNesSection(const MainWindow& window) {
  const PortImage& image = window.portImage;
  const std::string expected = image.nesDigestText();
  QString html = sectionStart(QStringLiteral("Source NES ROM"));
  if (const GameEntry* game = expectedGame(window, expected))
    html += row(QStringLiteral("Game"), escaped(game->title));
  if (!expected.empty())
    html += ttRow(QStringLiteral("Expected SHA-256"), QString::fromStdString(expected));
  const std::int64_t embedded = image.findEmbeddedNes();
  html += row(QStringLiteral("Embedded copy"),
              embedded < 0 ? QStringLiteral("not in this image")
                           : QStringLiteral("at file $%1, %2 (it matches the SHA-256 above)")
                                 .arg(hexText(std::uint64_t(embedded), 6),
                                      sizeText(image.embeddedNesSize())));
  if (!window.nesFileBytes.empty()) {
    html += row(QStringLiteral("NES ROM in use"), window.nesFileName.toHtmlEscaped());
    html += digestRows(window.nesFileBytes, QStringLiteral("Its "));
    html +=
        row(QStringLiteral("Its header"), describeInesHeader(parseInesHeader(window.nesFileBytes)));
    html += row(QStringLiteral("Match"), window.nesNote.isEmpty() ? QStringLiteral("exact")
                                                                  : window.nesNote.toHtmlEscaped());
  }
  return html + sectionEnd();
}

}  // namespace tbp::info
