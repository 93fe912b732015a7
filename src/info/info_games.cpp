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

constexpr std::size_t kInesHeaderSize = 16;


// The 16 header bytes in hex, then as printable characters between bars.
QString headerBytesText(const Bytes& header) {
  return QString::fromStdString(headerHexText(header)) + QStringLiteral("&nbsp;&nbsp;|") +
         escaped(headerCharacters(header)) + QStringLiteral("|");
}

// The base patch is read from disk on every render, so a patch added or removed while the
// program runs shows at once; a missing or damaged one shows its error in red.
QString basePatchText(const GameDatabase& database, const GameEntry& entry) {
  const BasePatchFacts patch = basePatchFacts(database, entry);
  if (!patch.readable)
    return QStringLiteral("<span style='color:red'>") + escaped(entry.basePatch) +
           QStringLiteral(": ") + QString::fromUtf8(patch.error).toHtmlEscaped() +
           QStringLiteral("</span>");
  return QStringLiteral("%1, %2 &rarr; %3, default build CRC32 <tt>%4</tt>")
      .arg(escaped(entry.basePatch), sizeText(patch.fileSize), sizeText(patch.header.targetSize),
           hexText(patch.header.targetCrc, 8));
}

QString gameSection(const GameDatabase& database, const GameEntry& entry) {
  QString html =
      sectionStart(escaped(entry.title)) + row(QStringLiteral("Port"), escaped(entry.port));
  if (!entry.file.empty()) html += row(QStringLiteral("File name"), escaped(entry.file));
  if (!entry.aliases.empty()) {
    QStringList aliases;
    for (const std::string& alias : entry.aliases) aliases << escaped(alias);
    html += row(QStringLiteral("Also known as"), aliases.join(QStringLiteral(", ")));
  }
  html += row(QStringLiteral("Size"), sizeText(entry.nesSize));
  html += ttRow(QStringLiteral("CRC16"), hexText(entry.nesCrc16, 4));
  html += ttRow(QStringLiteral("CRC32"), hexText(entry.nesCrc32, 8));
  html += ttRow(QStringLiteral("SHA-256"), escaped(entry.nesSha256));
  if (entry.payloadCrc32 != 0) {
    html += ttRow(QStringLiteral("CRC32 w/o header"),
                  hexText(entry.payloadCrc32, 8) +
                      QStringLiteral(" <span style='color:gray'>(No-Intro style)</span>"));
    html += ttRow(QStringLiteral("SHA-256 w/o header"), escaped(entry.payloadSha256));
  }
  if (entry.nesHeader.size() == kInesHeaderSize) {
    html += ttRow(QStringLiteral("iNES header"), headerBytesText(entry.nesHeader));
    html += row(QStringLiteral("Cartridge"),
                info::describeInesHeader(parseInesHeader(entry.nesHeader)));
  }
  html += row(QStringLiteral("Base patch"), basePatchText(database, entry));
  if (!entry.notes.empty()) html += row(QStringLiteral("Notes"), escaped(entry.notes));
  return html + sectionEnd();
}

}  // namespace

QString supportedGamesHtml(const MainWindow& window) {
  QString html = QStringLiteral("<hr><h2>Supported games</h2>");
  if (!window.databaseLoaded)
    return html + QStringLiteral("<p>games.json was not found next to the program.</p>");
  html += QStringLiteral(
              "<p>%1 game(s). Use exactly this NES dump (the same game data under another iNES "
              "header, or with none, works too).</p>")
              .arg(window.database.games.size());
  for (const GameEntry& entry : window.database.games) html += gameSection(window.database, entry);
  return html;
}

}  // namespace tbp::info
