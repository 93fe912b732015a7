#pragma once

#include <QLabel>

// The file column of a song with a chosen file: the file's name and duration (and its loudness)
// on top, each line elided to the room there is, and under them a strip with the waveform and
// the track tools. The row then needs no more width than a narrow window has; text() keeps the
// whole text, and the tooltip says where the file lives.
class TrackCell : public QLabel {
 public:
  // Takes the strip as its child.
  TrackCell(const QString& text, QWidget* strip);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int textHeight() const;

  QWidget* strip_;
};
