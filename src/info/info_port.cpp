#include <QString>
#include <QStringList>

#include "app/main_window.h"
#include "app/qt_text.h"
#include "build/nes_rom.h"
#include "build/rom_facts.h"
#include "build/text_forms.h"
#include "info/info_format.h"
#include "info/info_sections.h"

namespace tbp::info {

namespace {


QString digestRows(const Digests& digests, const QString& prefix) {
  return ttRow(prefix + QStringLiteral("CRC16"), hexText(digests.crc16, 4)) +
         ttRow(prefix + QStringLiteral("CRC32"), hexText(digests.crc32, 8)) +
         ttRow(prefix + QStringLiteral("SHA-256"), QString::fromStdString(digests.sha256));
}

QString headerRows(const SnesImageFacts& facts) {
  const SnesHeader& header = facts.header;
  if (!header.valid) return QString();
  const auto coded = [](std::uint8_t byte, const std::string& meaning) {
    return QStringLiteral("$") + hexText(byte, 2) + QStringLiteral(" &mdash; ") + escaped(meaning);
  };
  const QString checksum =
      QStringLiteral("$%1 / complement $%2 &mdash; %3")
          .arg(hexText(header.checksum, 4), hexText(header.complement, 4),
               facts.checksumValid ? QStringLiteral("<span style='color:green'>correct</span>")
                                   : QStringLiteral("<span style='color:red'>WRONG</span>"));
  const QString sram =
      facts.sramKb == 0 ? QStringLiteral("none") : QStringLiteral("%1 KB").arg(facts.sramKb);
  return ttRow(QStringLiteral("Header title"),
               QStringLiteral("\"%1\"").arg(escaped(header.title))) +
         row(QStringLiteral("Map mode"), coded(header.mapMode, facts.mapMode)) +
         row(QStringLiteral("Cartridge"), coded(header.cartType, facts.cartridge)) +
         row(QStringLiteral("ROM size byte"),
             QStringLiteral("$%1 &mdash; %2 KB class")
                 .arg(hexText(header.romSizeCode, 2), QString::number(facts.romSizeClassKb))) +
         row(QStringLiteral("SRAM"), sram) +
         row(QStringLiteral("Region"), coded(header.region, facts.region)) +
         row(QStringLiteral("Version"), QStringLiteral("1.%1").arg(header.version)) +
         ttRow(QStringLiteral("Checksum"), checksum);
}

QString switchesOn(const ManifestFacts& facts) {
  QStringList labels;
  for (const SwitchInfo& info : facts.switchesOn)
    labels << QString::fromUtf8(info.label).toHtmlEscaped();
  return labels.isEmpty() ? QStringLiteral("none") : labels.join(QStringLiteral("<br>"));
}

QString fontsText(const ManifestFacts& facts) {
  QStringList names;
  for (const std::string& name : facts.fontNames) names << escaped(name);
  return QStringLiteral("%1: %2").arg(QString::number(names.size()), names.join(", "));
}

QString splashSounds(const ManifestFacts& facts) {
  QStringList present;
  for (const int slot : facts.splashSounds) present << QStringLiteral("splash %1").arg(slot);
  return present.isEmpty() ? QStringLiteral("none") : present.join(QStringLiteral(", "));
}

QString msuText(const ManifestFacts& facts, std::size_t picked) {
  return QStringLiteral("%1 songs, %2 replaced in the ROM, %3 picked on the Music tab")
      .arg(QString::number(facts.songs.size()), QString::number(facts.songsReplaced),
           QString::number(picked));
}

}  // namespace

QString portSections(const MainWindow& window) {
  const QString name = escaped(window.portImage.portName());
  return sectionStart(QStringLiteral("Selected ROM: ") + name) +
         row(QStringLiteral("Opened from"), window.sourceLine.toHtmlEscaped()) + sectionEnd() +
         snesImageSection(window) +
         headerReportSection(QStringLiteral("SNES header report"),
                             snesHeaderReport(window.finalImage().bytes())) +
         manifestSection(window) + sourceNesSection(window);
}

QString snesImageSection(const MainWindow& window) {
  const SnesImageFacts facts = snesImageFacts(window.finalImage());
  return sectionStart(QStringLiteral("SNES image (as it would be saved now)")) +
         row(QStringLiteral("Size"), sizeText(facts.digests.size)) +
         digestRows(facts.digests, QString()) + headerRows(facts) + sectionEnd();
}

QString manifestSection(const MainWindow& window) {
  const ManifestFacts facts = manifestFacts(window.portImage, window.finalImage());
  QString html = sectionStart(QStringLiteral("TEAM Bexulo manifest"));
  if (!facts.spec.empty()) html += row(QStringLiteral("Spec"), escaped(facts.spec));
  QString layout = escaped(facts.layoutName);
  if (facts.switchesListed > 0)
    layout += QStringLiteral(", %1 switches listed").arg(facts.switchesListed);
  html += row(QStringLiteral("Table layout"), layout);
  html += ttRow(QStringLiteral("Flags"), QStringLiteral("$") + hexText(facts.flags, 8));
  html += row(QStringLiteral("Switches on"), switchesOn(facts));
  html += row(QStringLiteral("Palette slot"), QString::number(facts.paletteSlot));
  html += row(QStringLiteral("Chip"), escaped(chipDescription(facts.chip)));
  html += row(QStringLiteral("Fonts"), fontsText(facts));
  html += row(QStringLiteral("Splash sounds"), splashSounds(facts));
  if (facts.hasMsu1)
    html += row(QStringLiteral("MSU-1"), msuText(facts, window.musicChoices.size()));
  html +=
      row(QStringLiteral("Content ends"),
          QStringLiteral("$%1 (smallest valid size %2 KB)")
              .arg(hexText(facts.contentEnd, 6), QString::number(facts.smallestSize / kKilobyte)));
  return html + sectionEnd();
}

QString sourceNesSection(const MainWindow& window) {
  const SourceNesFacts facts = sourceNesFacts(window.portImage, window.currentGame,
                                              window.databaseLoaded ? &window.database : nullptr);
  QString html = sectionStart(QStringLiteral("Source NES ROM"));
  if (facts.game) html += row(QStringLiteral("Game"), escaped(facts.game->title));
  if (!facts.expectedSha256.empty())
    html += ttRow(QStringLiteral("Expected SHA-256"), QString::fromStdString(facts.expectedSha256));
  html += row(QStringLiteral("Embedded copy"),
              facts.embeddedOffset < 0
                  ? QStringLiteral("not in this image")
                  : QStringLiteral("at file $%1, %2 (it matches the SHA-256 above)")
                        .arg(hexText(std::uint64_t(facts.embeddedOffset), 6),
                             sizeText(facts.embeddedSize)));
  if (!window.nesFileBytes.empty()) {
    html += row(QStringLiteral("NES ROM in use"), window.nesFileName.toHtmlEscaped());
    html += digestRows(digestsOf(window.nesFileBytes), QStringLiteral("Its "));
    html += row(QStringLiteral("Its header"),
                info::describeInesHeader(parseInesHeader(window.nesFileBytes)));
    html += row(QStringLiteral("Match"), window.nesNote.isEmpty() ? QStringLiteral("exact")
                                                                  : window.nesNote.toHtmlEscaped());
  }
  return html + sectionEnd();
}

}  // namespace tbp::info
