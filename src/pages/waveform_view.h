#pragma once

#include <QWidget>

#include "build/peak_summary.h"

// A small picture of a whole audio file drawn from its peak summary, with the loop start
// marked (and the part before it dimmed). A click or a drag with the left button picks the
// loop start under the pointer.
class WaveformView : public QWidget {
  Q_OBJECT

 public:
  explicit WaveformView(QWidget* parent = nullptr);

  void setSummary(const tbp::PeakSummary& summary);
  // Negative: the track does not loop, and no mark is drawn.
  void setLoopStart(double seconds);
  // The loop start may be picked no later than this (the spin box's maximum).
  void setLatestLoopStart(double seconds) { latest_ = seconds; }

  // The time in the file at a horizontal position of the widget.
  double secondsAt(int x) const;

  QSize sizeHint() const override { return {180, 30}; }
  QSize minimumSizeHint() const override { return {80, 24}; }

 signals:
  void loopStartPicked(double seconds);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void pick(int x);
  int xOf(double seconds) const;

  tbp::PeakSummary summary_;
  double loopStart_ = -1;
  double latest_ = 0;
};
