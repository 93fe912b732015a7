// The SNES header report on the information page: which header is real and whether what it
// declares holds, for the port and for any other SNES ROM opened.
#include <QStringList>

#include "info/info_format.h"
#include "info/info_sections.h"

namespace tbp::info {
namespace {

QString dollar(std::uint64_t value, int digits) { return QStringLiteral("$") + hexText(value, digits); }

QString checked(std::uint16_t stored, std::uint16_t right) {
  if (stored == right)
    return dollar(stored, 4) + QStringLiteral(" &mdash; <span style='color:green'>valid</span>");
  return dollar(stored, 4) +
         QStringLiteral(" &mdash; <span style='color:red'>WRONG</span>, should be ") +
         dollar(right, 4);
}

QString candidates(const SnesHeaderReport& report) {
  QStringList lines;
  for (const HeaderCandidate& candidate : report.candidates)
    lines << QStringLiteral("%1 at %2: score %3")
                 .arg(QString::fromStdString(mappingName(candidate.mapping)),
                      dollar(candidate.offset, 6), QString::number(candidate.score));
  return lines.join(QStringLiteral("<br>"));
}

QString sizes(const SnesHeaderReport& report) {
  return QStringLiteral("declared %1 KB, file %2 KB &mdash; %3")
      .arg(QString::number(report.declaredRomKb), QString::number(report.imageSize / 1024),
           report.romSizeFits ? QStringLiteral("fits")
                              : QStringLiteral("<span style='color:red'>does not fit</span>"));
}

}  // namespace

QString headerReportSection(const QString& heading, const SnesHeaderReport& report) {
  if (!report.found) return QString();
  const SnesHeader& header = report.header;
  const auto coded = [](std::uint8_t byte, const std::string& meaning) {
    return dollar(byte, 2) + QStringLiteral(" &mdash; ") +
           QString::fromStdString(meaning).toHtmlEscaped();
  };
  return sectionStart(heading) +
         row(QStringLiteral("Copier header"),
             report.copierHeader ? QStringLiteral("yes, 512 bytes") : QStringLiteral("none")) +
         row(QStringLiteral("Real header"),
             QStringLiteral("%1 at %2").arg(QString::fromStdString(mappingName(report.chosen.mapping)),
                                            dollar(report.chosen.offset, 6))) +
         ttRow(QStringLiteral("Candidates"), candidates(report)) +
         ttRow(QStringLiteral("Title"),
               QStringLiteral("\"%1\"").arg(QString::fromStdString(header.title).toHtmlEscaped())) +
         row(QStringLiteral("Map mode"), coded(header.mapMode, report.mapMode)) +
         row(QStringLiteral("Chip"), coded(header.cartType, report.cartridge)) +
         row(QStringLiteral("ROM size"), sizes(report)) +
         row(QStringLiteral("RAM size"), report.declaredRamKb == 0
                                             ? QStringLiteral("none")
                                             : QStringLiteral("%1 KB").arg(report.declaredRamKb)) +
         row(QStringLiteral("Region"), coded(header.region, report.region)) +
         row(QStringLiteral("Version"), QStringLiteral("1.%1").arg(header.version)) +
         ttRow(QStringLiteral("Checksum"), checked(header.checksum, report.rightChecksum)) +
         ttRow(QStringLiteral("Complement"), checked(header.complement, report.rightComplement)) +
         sectionEnd();
}

}  // namespace tbp::info
