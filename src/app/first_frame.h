#pragma once

class QWidget;

namespace tbp {

// With TBP_FIRSTFRAME set (to anything non-empty), the program quits as soon as window's first
// frame has been painted, so that a benchmark can time whole runs from start to first frame.
// Without it, nothing happens.
void quitAfterFirstFrameIfAsked(QWidget& window);

}  // namespace tbp
