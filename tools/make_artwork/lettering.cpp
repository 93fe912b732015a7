#include "lettering.h"

#include <functional>
#include <map>

#include <QPainter>
#include <QPen>

namespace artwork {

namespace {

// Draws one letter's centre lines in a unit box (u to the right, v down, both 0 to 1); the
// caller maps the box onto the letter's place inside the stroke width.
using Glyph = std::function<void(QPainterPath&, const std::function<QPointF(double, double)>&)>;

struct Letter {
  double width;  // advance width as a fraction of the cap height, strokes included
  Glyph draw;
};

void polyline(QPainterPath& path, const std::function<QPointF(double, double)>& at,
              std::initializer_list<std::pair<double, double>> points) {
  bool first = true;
  for (const auto& [u, v] : points) {
    if (first)
      path.moveTo(at(u, v));
    else
      path.lineTo(at(u, v));
    first = false;
  }
}

const std::map<QChar, Letter>& letters() {
  using At = std::function<QPointF(double, double)>;
  static const std::map<QChar, Letter> table = {
      {'A',
       {0.80,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 1}, {0.5, 0}, {1, 1}});
          polyline(p, at, {{0.19, 0.62}, {0.81, 0.62}});
        }}},
      {'B',
       {0.66,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0.56, 0.47}, {0, 0.47}, {0, 0}, {0.56, 0}});
          p.cubicTo(at(0.92, 0), at(0.92, 0.47), at(0.56, 0.47));
          polyline(p, at, {{0.56, 0.47}, {0.6, 0.47}});
          p.cubicTo(at(1, 0.47), at(1, 1), at(0.6, 1));
          p.lineTo(at(0, 1));
          p.lineTo(at(0, 0.47));
        }}},
      {'C',
       {0.74,
        [](QPainterPath& p, const At& at) {
          const QRectF box(at(0, 0), at(1, 1));
          p.arcMoveTo(box, 48);
          p.arcTo(box, 48, 264);
        }}},
      {'E',
       {0.60,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{1, 0}, {0, 0}, {0, 1}, {1, 1}});
          polyline(p, at, {{0, 0.5}, {0.86, 0.5}});
        }}},
      {'H',
       {0.74,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 0}, {0, 1}});
          polyline(p, at, {{1, 0}, {1, 1}});
          polyline(p, at, {{0, 0.5}, {1, 0.5}});
        }}},
      {'L',
       {0.52,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 0}, {0, 1}, {1, 1}});
        }}},
      {'M',
       {0.92,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 1}, {0, 0}, {0.5, 0.62}, {1, 0}, {1, 1}});
        }}},
      {'N',
       {0.76,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 1}, {0, 0}, {1, 1}, {1, 0}});
        }}},
      {'O',
       {0.86, [](QPainterPath& p, const At& at) { p.addEllipse(QRectF(at(0, 0), at(1, 1))); }}},
      {'P',
       {0.66,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 1}, {0, 0}, {0.56, 0}});
          p.cubicTo(at(0.96, 0), at(0.96, 0.54), at(0.56, 0.54));
          p.lineTo(at(0, 0.54));
        }}},
      {'R',
       {0.68,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 1}, {0, 0}, {0.54, 0}});
          p.cubicTo(at(0.94, 0), at(0.94, 0.54), at(0.54, 0.54));
          p.lineTo(at(0, 0.54));
          polyline(p, at, {{0.46, 0.54}, {1, 1}});
        }}},
      {'S',
       {0.66,
        [](QPainterPath& p, const At& at) {
          p.moveTo(at(0.98, 0.12));
          p.cubicTo(at(0.78, -0.04), at(0.02, -0.06), at(0.02, 0.25));
          p.cubicTo(at(0.02, 0.52), at(0.98, 0.44), at(0.98, 0.74));
          p.cubicTo(at(0.98, 1.06), at(0.2, 1.04), at(0.0, 0.86));
        }}},
      {'T',
       {0.76,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 0}, {1, 0}});
          polyline(p, at, {{0.5, 0}, {0.5, 1}});
        }}},
      {'U',
       {0.72,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 0}, {0, 0.6}});
          p.cubicTo(at(0, 1.13), at(1, 1.13), at(1, 0.6));
          p.lineTo(at(1, 0));
        }}},
      {'X',
       {0.78,
        [](QPainterPath& p, const At& at) {
          polyline(p, at, {{0, 0}, {1, 1}});
          polyline(p, at, {{1, 0}, {0, 1}});
        }}},
  };
  return table;
}

constexpr double kBlankWidth = 0.34;

}  // namespace

QPainterPath textStrokes(const QString& text, const Lettering& style) {
  QPainterPath path;
  const double h = style.height;
  const double half = style.weight * h / 2;
  double x = 0;
  for (const QChar c : text) {
    const auto found = letters().find(c);
    if (found == letters().end()) {
      if (c == ' ') x += (kBlankWidth + style.tracking) * h;
      continue;
    }
    const double w = found->second.width * h;
    const double left = x;
    // The centre lines run inside the letter box by half a stroke on every side.
    const auto at = [&](double u, double v) {
      return QPointF(left + half + u * (w - 2 * half), half + v * (h - 2 * half));
    };
    found->second.draw(path, at);
    x += w + style.tracking * h;
  }
  return path;
}

double textWidth(const QString& text, const Lettering& style) {
  double x = 0;
  double last = 0;
  for (const QChar c : text) {
    const auto found = letters().find(c);
    const double w = found == letters().end() ? (c == ' ' ? kBlankWidth : 0) : found->second.width;
    if (w == 0) continue;
    last = w * style.height;
    x += last + style.tracking * style.height;
  }
  return x > 0 ? x - style.tracking * style.height : 0;
}

void drawText(QPainter& painter, const QString& text, const Lettering& style, QPointF centre) {
  const QPointF origin(centre.x() - textWidth(text, style) / 2, centre.y() - style.height / 2);
  QPen pen(painter.brush(), style.weight * style.height, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  pen.setMiterLimit(1.6);
  painter.save();
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.translate(origin);
  painter.drawPath(textStrokes(text, style));
  painter.restore();
}

}  // namespace artwork
