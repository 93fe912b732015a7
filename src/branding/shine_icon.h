#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace tbp {

// The program's icon: one PNG per size from 16 to 256 pixels, each registered for its own
// size. Sizes whose file is missing are left out.
QIcon makeWindowIcon();

}  // namespace tbp

// Runs a short glint across the target widget's window icon every five seconds by swapping the
// icon through the glint frames. No glint starts while the target is hidden or minimised. When
// any frame cannot be read the icon simply stays plain. The frames are read on first use (the
// first glint, two seconds after start), not while the window is being built.
class ShineIcon : public QObject {
  Q_OBJECT

 public:
  // framePattern holds %1 for the frame number (two digits, from 01).
  explicit ShineIcon(QWidget* parent, const QString& framePattern =
                                          QStringLiteral(":/icons/shine/bexulo_shine_%1.ico"));

  int frameCount() const;
  // The glint frame on the icon, or -1 between glints.
  int frameShown() const { return index; }
  // How long until the next step, in milliseconds; meaningful while running.
  int nextStepMs() const { return timer.interval(); }
  bool isRunning() const;
  // One step of the animation; normally run by the timer.
  void tick();

 private:
  // Reads the frames once; stops the animation when any cannot be read.
  void loadFrames() const;

  QString pattern;
  const int period = 5000;  // from the start of one glint to the start of the next
  const int step = 35;      // how long each frame shows
  QWidget* target;
  QIcon base;
  mutable bool loaded = false;
  mutable QList<QIcon> frames;
  mutable QTimer timer;
  int index = -1;
};
