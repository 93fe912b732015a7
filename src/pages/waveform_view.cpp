#include "pages/waveform_view.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
  setToolTip(tr("Click to loop from here"));
}

void WaveformView::setSummary(const tbp::PeakSummary& summary) {
  summary_ = summary;
  update();
}

void WaveformView::setLoopStart(double seconds) {
  loopStart_ = seconds;
  update();
}

double WaveformView::secondsAt(int x) const {
  if (width() <= 0) return 0;
  const double share = std::clamp(double(x) / double(width()), 0.0, 1.0);
  return share * summary_.seconds();
}

int WaveformView::xOf(double seconds) const {
  const double total = summary_.seconds();
  return total > 0 ? int(std::lround(seconds / total * width())) : 0;
}

void WaveformView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, palette().base());
  const double middle = area.height() / 2.0;
  const std::size_t bins = summary_.bins();
  const int columns = area.width();
  if (bins > 0 && columns > 0) {
    painter.setPen(palette().highlight().color());
    // Each column shows the lowest and highest value of the bins it covers.
    for (int x = 0; x < columns; ++x) {
      const std::size_t first = bins * std::size_t(x) / std::size_t(columns);
      const std::size_t last = std::max(first + 1, bins * std::size_t(x + 1) / std::size_t(columns));
      float low = 0, high = 0;
      for (std::size_t bin = first; bin < last && bin < bins; ++bin) {
        low = std::min(low, summary_.low[bin]);
        high = std::max(high, summary_.high[bin]);
      }
      const double top = middle - std::min(1.0f, high) * (middle - 1);
      const double bottom = middle - std::max(-1.0f, low) * (middle - 1);
      painter.drawLine(QPointF(x + 0.5, top), QPointF(x + 0.5, std::max(bottom, top + 1)));
    }
  }
  if (loopStart_ >= 0 && bins > 0) {
    const int marker = xOf(loopStart_);
    QColor shade = palette().window().color();
    shade.setAlpha(150);
    painter.fillRect(QRect(0, 0, marker, area.height()), shade);
    painter.setPen(QPen(QColor(220, 60, 40), 2));
    painter.drawLine(marker, 0, marker, area.height());
  }
  painter.setPen(palette().mid().color());
  painter.drawRect(area.adjusted(0, 0, -1, -1));
}

void WaveformView::pick(int x) {
  if (!isEnabled() || summary_.bins() == 0) return;
  const double seconds = std::clamp(secondsAt(x), 0.0, std::max(0.0, latest_));
  emit loopStartPicked(seconds);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pick(int(event->position().x()));
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) pick(int(event->position().x()));
}
