#pragma once

#include <cstdint>

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QSize>

// The TEAM Bexulo mark as a rubber stamp prints it: a double rounded frame around "TEAM",
// "BEXULO" and "PATCHER", with the uneven coverage of real ink.
namespace artwork {

// The mark's shape, drawn opaque black on transparent, filling size.
QImage markShape(QSize size);

// Ink coverage: keeps the shape's alpha where the rubber met the paper well, lightens it in
// patches and drops small specks, the way an inked stamp prints. strength 0 leaves the shape.
void inkTexture(QImage& shape, std::uint32_t seed, double strength);

// The shape recoloured with color, keeping its alpha.
QImage tinted(const QImage& shape, const QColor& color);

// A five-pointed star around centre.
QPainterPath star(QPointF centre, double outerRadius);

}  // namespace artwork
