#pragma once

#include <QPointF>
#include <QSize>

class QPainter;

namespace artwork {

// Where the rubber stamp is, seen from above: its centre, how high it is over the paper
// (0 pressed, 1 about a hand's height: higher means closer to the eye, so larger, with a
// softer shadow further away), its turn in degrees and a squash factor for the impact.
struct StampPose {
  QPointF centre;
  double height = 0;
  double angle = 0;
  double squash = 1;
  bool visible = true;
};

// Draws the stamp's shadow on the paper and the stamp over it: a wooden block a little larger
// than its rubber (rubberSize) with a lacquered knob on top.
void drawStamp(QPainter& painter, const StampPose& pose, QSize rubberSize);

}  // namespace artwork
