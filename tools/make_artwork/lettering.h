#pragma once

#include <QPainterPath>
#include <QString>

class QPainter;

// The lettering of the TEAM Bexulo mark: a bold geometric sans drawn as strokes of even
// weight, so that the artwork needs no installed font and looks the same on every machine.
namespace artwork {

struct Lettering {
  double height = 20;      // cap height in pixels
  double weight = 0.17;    // stroke width as a fraction of the height
  double tracking = 0.16;  // extra space between letters as a fraction of the height
};

// The centre lines of the text, its first letter's top-left corner at the origin. Stroke them
// with a pen of style.weight * style.height (flat caps, miter joins) to get the letters.
// Letters without a drawing are left out; a blank advances like a narrow letter.
QPainterPath textStrokes(const QString& text, const Lettering& style);

// The width the strokes of the text cover.
double textWidth(const QString& text, const Lettering& style);

// Fills the text's letters with the painter's brush, centred on centre.
void drawText(QPainter& painter, const QString& text, const Lettering& style, QPointF centre);

}  // namespace artwork
