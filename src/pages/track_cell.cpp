#include "pages/track_cell.h"

#include <algorithm>

#include <QPainter>
#include <QStringList>
#include <QStyle>

namespace {

constexpr int kStripGap = 3;  // between the text and the strip
// The least text shown of a file name before the elision mark.
const QString kShortestText = QStringLiteral("Mmmmmm\u2026");

}  // namespace

TrackCell::TrackCell(const QString& text, QWidget* strip) : strip_(strip) {
  setTextFormat(Qt::PlainText);
  setText(text);
  strip_->setParent(this);
}

int TrackCell::textHeight() const {
  return fontMetrics().lineSpacing() * int(text().count(QLatin1Char('\n')) + 1);
}

QSize TrackCell::sizeHint() const {
  int widest = 0;
  for (const QString& line : text().split(QLatin1Char('\n')))
    widest = std::max(widest, fontMetrics().horizontalAdvance(line));
  return {std::max(widest, strip_->sizeHint().width()),
          textHeight() + kStripGap + strip_->sizeHint().height()};
}

QSize TrackCell::minimumSizeHint() const {
  return {std::max(fontMetrics().horizontalAdvance(kShortestText),
                   strip_->minimumSizeHint().width()),
          textHeight() + kStripGap + strip_->sizeHint().height()};
}

void TrackCell::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  strip_->setGeometry(0, textHeight() + kStripGap, width(), strip_->sizeHint().height());
}

// Draws the lines itself, so that a long one ends in an elision mark instead of widening the
// row.
void TrackCell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int lineHeight = fontMetrics().lineSpacing();
  int top = 0;
  for (const QString& line : text().split(QLatin1Char('\n'))) {
    const QString shown = fontMetrics().elidedText(line, Qt::ElideMiddle, width());
    style()->drawItemText(&painter, QRect(0, top, width(), lineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shown,
                          foregroundRole());
    top += lineHeight;
  }
}
