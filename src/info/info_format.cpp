#include "info/info_format.h"

#include "build/text_forms.h"

namespace tbp::info {

QString sizeText(std::uint64_t size) { return QString::fromStdString(tbp::sizeText(size)); }

QString hexText(std::uint64_t value, int digits) {
  return QString::fromStdString(tbp::hexText(value, digits));
}

QString describeInesHeader(const InesHeader& header) {
  QString text = QString::fromStdString(tbp::describeInesHeader(header));
  if (header.ripperTag)
    text += QStringLiteral("<br><span style='color:#b07000'>") +
            QString::fromUtf8(kRipperTagRemark) + QStringLiteral("</span>");
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
