#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPixmap>
#include <QSize>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace tbp {

// The banner's size on a screen: natural (the frames' own size), shrunk to the smaller of
// natural height * scale and availableHeight * heightFraction, keeping its aspect ratio.
// It is never enlarged, and not shrunk below 41 pixels high either.
struct BannerFit {
  QSize size;
  bool scaled = false;  // true when the frames must be scaled to size
};
BannerFit fitBanner(QSize natural, int availableHeight, double heightFraction, double scale);

// The two banners the program shows: the splash's, and the half-size one of the About box
// (also pictured by the automation run).
struct BannerScale {
  double heightFraction;  // at most this share of the screen's available height
  double scale;           // at most this share of the frames' own size
};
inline constexpr BannerScale kSplashBanner{0.45, 1.0};
inline constexpr BannerScale kAboutBanner{0.35, 0.5};

// size in device pixels on a screen with the given pixel ratio, rounded half away from zero.
QSize devicePixels(QSize size, double ratio);

}  // namespace tbp

// The stamp banner: 60 frames from the resources, played at 30 frames per second of wall-clock
// time. Until it plays it shows its last frame. Only that frame is decoded before the banner
// is first painted: the others are decoded one per turn of the event loop after that paint,
// or when they are due, whichever comes first, so that the window appears at once.
class BannerView : public QWidget {
  Q_OBJECT

 public:
  // Loads and sizes the frames for the parent's screen (the primary screen without a parent).
  BannerView(QWidget* parent, double heightFraction, double scale);

  QSize sizeHint() const override;
  // Restarts from the first frame; withSound starts the stamp sound at the same moment.
  void play(bool withSound);

  int frameCount() const { return int(framePaths.size()); }
  int currentFrame() const { return current; }
  // How many frames have been decoded so far.
  int decodedFrames() const;
  bool isPlaying() const { return timer.isActive(); }

 signals:
  // The last frame has been reached (at once when there are no frames).
  void finished();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void tick();
  // The frame at index, decoded (and scaled to the banner's size) on first use.
  const QPixmap& frame(int index);
  void decodeNextFrame();

  QStringList framePaths;
  QList<QPixmap> frames;  // null until decoded
  bool scaled = false;    // the frames are shown at bannerSize, not at their own size
  double pixelRatio = 1.0;
  int nextToDecode = 0;
  QTimer decoding;  // decodes the frames ahead of their use, one per turn
  QTimer timer;
  QElapsedTimer clock;
  int current = 0;
  QSize bannerSize;
};
