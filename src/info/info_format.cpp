#include "info/info_format.h"

#include <QLocale>

namespace tbp::info {

namespace {
constexpr std::uint64_t kKilobyte = 1024;
}  // namespace

QString sizeText(std::uint64_t size) {
  const QLocale english(QLocale::English);
  const QString bytes = english.toString(qulonglong(size));
  if (size % kKilobyte == 0)
    return QStringLiteral("%1 KB (%2 bytes)").arg(QString::number(size / kKilobyte), bytes);
  return bytes + QStringLiteral(" bytes");
}

QString hexText(std::uint64_t value, int digits) {
  return QString::number(qulonglong(value), 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString describeInesHeader(const InesHeader& header) {
  if (!header.present) return QStringLiteral("none (headerless)");
  const QString chr = header.chrKb == 0 ? QStringLiteral("RAM (no CHR-ROM)")
                                        : QStringLiteral("%1 KB").arg(header.chrKb);
  QString text = QStringLiteral("%1, mapper %2, PRG %3 KB, CHR %4")
                     .arg(header.nes2 ? QStringLiteral("NES 2.0") : QStringLiteral("iNES"),
                          QString::number(header.mapper), QString::number(header.prgKb), chr);
  if (header.fourScreen)
    text += QStringLiteral(", four-screen");
  else
    text += header.vertical ? QStringLiteral(", vertical mirroring")
                            : QStringLiteral(", horizontal mirroring");
  if (header.battery) text += QStringLiteral(", battery");
  if (header.trainer) text += QStringLiteral(", 512-byte trainer");
  if (header.ripperTag)
    text += QStringLiteral(
        "<br><span style='color:#b07000'>bytes 7-15 hold a ripper tag (old header): ignored, as "
        "emulators do</span>");
  return text;
}

QString sectionStart(const QString& heading) {
  return QStringLiteral("<h3 style='margin-bottom:2px'>") + heading +
         QStringLiteral("</h3><table cellspacing=0 cellpadding=2>");
}

QString sectionEnd() { return QStringLiteral("</table>"); }

QString row(const QString& label, const QString& value) {
  return QStringLiteral(
             "<tr><td style='color:gray; padding-right:14px; white-space:nowrap' valign=top>") +
         label + QStringLiteral("</td><td>") + value + QStringLiteral("</td></tr>");
}

QString ttRow(const QString& label, const QString& value) {
  return row(label, QStringLiteral("<tt>") + value + QStringLiteral("</tt>"));
}

}  // namespace tbp::info
