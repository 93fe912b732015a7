#include <cstdio>
#include <memory>
#include <unistd.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/about.h"
#include "branding/banner_view.h"
#include "branding/shine_icon.h"
#include "branding/splash.h"
#include "branding/stamp_sound.h"

namespace {

QByteArray resourceBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A player that records its arguments, one per line, into <dir>/<name>.log.
void writeStubPlayer(const QString& dir, const QString& name) {
  const QString path = dir + QLatin1Char('/') + name;
  QFile stub(path);
  QVERIFY(stub.open(QIODevice::WriteOnly));
  stub.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.log\"\n");
  stub.close();
  QVERIFY(stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// Sends everything written to standard error into a file while it lives.
class StderrCapture {
 public:
  explicit StderrCapture(const QString& path) : saved(dup(STDERR_FILENO)) {
    std::fflush(stderr);
    FILE* file = std::fopen(path.toLocal8Bit().constData(), "w");
    dup2(fileno(file), STDERR_FILENO);
    std::fclose(file);
  }
  ~StderrCapture() {
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

 private:
  int saved;
};

}  // namespace

class BrandingTest : public QObject {
  Q_OBJECT

  QTemporaryDir scratch;
  QString noPlayers;

 private slots:
  // No test may start a real audio player, and the sound's copy goes to the scratch folder.
  void initTestCase() {
    QVERIFY(scratch.isValid());
    noPlayers = scratch.filePath(QStringLiteral("empty-bin"));
    QVERIFY(QDir().mkpath(noPlayers));
    qputenv("PATH", noPlayers.toLocal8Bit());
    qputenv("TMPDIR", scratch.path().toLocal8Bit());
  }

  void bannerFit_data() {
    QTest::addColumn<int>("availableHeight");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("scaled");
    QTest::newRow("splash, 1050 high") << 1050 << 0.45 << 1.0 << QSize(360, 340) << false;
    QTest::newRow("splash, 690 high") << 690 << 0.45 << 1.0 << QSize(328, 310) << true;
    QTest::newRow("about, 1080 high") << 1080 << 0.35 << 0.5 << QSize(180, 170) << true;
    QTest::newRow("about, 486 high") << 486 << 0.35 << 0.5 << QSize(180, 170) << true;
    QTest::newRow("about, 485 high") << 485 << 0.35 << 0.5 << QSize(178, 169) << true;
    QTest::newRow("41 high is shrunk") << 92 << 0.45 << 1.0 << QSize(43, 41) << true;
    QTest::newRow("40 high stays natural") << 89 << 0.45 << 1.0 << QSize(360, 340) << false;
  }

  void bannerFit() {
    QFETCH(int, availableHeight);
    QFETCH(double, fraction);
    QFETCH(double, scale);
    QFETCH(QSize, size);
    QFETCH(bool, scaled);
    const tbp::BannerFit fit = tbp::fitBanner(QSize(360, 340), availableHeight, fraction, scale);
    QCOMPARE(fit.size, size);
    QCOMPARE(fit.scaled, scaled);
  }

  void devicePixelsRoundHalfAwayFromZero() {
    QCOMPARE(tbp::devicePixels(QSize(180, 170), 1.25), QSize(225, 213));
    QCOMPARE(tbp::devicePixels(QSize(328, 310), 2.0), QSize(656, 620));
    QCOMPARE(tbp::devicePixels(QSize(285, 270), 1.5), QSize(428, 405));
  }

  // The offscreen screen is 600 pixels high: the splash banner shrinks, the About one does not
  // depend on it.
  void bannerWidgetsOnThisScreen() {
    QWidget window;
    const int height = window.screen()->availableGeometry().height();
    const BannerView about(&window, 0.35, 0.5);
    QCOMPARE(about.frameCount(), 60);
    QCOMPARE(about.currentFrame(), 59);
    QCOMPARE(about.size(), QSize(180, 170));
    const BannerView splash(&window, 0.45, 1.0);
    QCOMPARE(splash.sizeHint(), tbp::fitBanner(QSize(360, 340), height, 0.45, 1.0).size);
    QCOMPARE(splash.size(), splash.sizeHint());
  }

  // Only the frame on show is decoded before the first paint; the others follow in the next
  // turns of the event loop. What is painted is the frame scaled to the banner as a whole.
  void bannerDecodesItsFramesAfterTheFirstPaint() {
    QWidget window;
    BannerView banner(&window, 0.35, 0.5);
    QCOMPARE(banner.decodedFrames(), 0);
    const QImage shown =
        banner.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(banner.decodedFrames(), 1);
    QImage expected(shown.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    {
      QPainter painter(&expected);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawPixmap(expected.rect(),
                         QPixmap(QStringLiteral(":/banner/60.png"))
                             .scaled(QSize(180, 170), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    QCOMPARE(shown, expected);
    QTRY_COMPARE_WITH_TIMEOUT(banner.decodedFrames(), 60, 5000);
  }

  void aboutBoxPlaysItsBanner() {
    QWidget window;
    const std::unique_ptr<QDialog> dialog(tbp::buildAboutDialog(&window));
    auto* banner = dialog->findChild<BannerView*>(QStringLiteral("aboutBanner"));
    QVERIFY(banner);
    QCOMPARE(banner->size(), QSize(180, 170));
    QPushButton* play = nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (button->text() == QStringLiteral("▶  Play")) play = button;
    QVERIFY(play);
    QCOMPARE(play->toolTip(),
             QStringLiteral("Play the TEAM Bexulo banner and its stamp sound again."));
    QVERIFY(!banner->isPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(banner->isPlaying(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!banner->isPlaying(), 5000);
    QCOMPARE(banner->currentFrame(), 59);
    QTest::mouseClick(play, Qt::LeftButton);
    QVERIFY(banner->isPlaying());
    QCOMPARE(banner->currentFrame(), 0);
  }

  // Each line names the frame the wall clock selects at that moment, so frame numbers grow
  // with the time, and a play never logs more lines than there are frames.
  void bannerLogFollowsTheClock() {
    const QString logPath = scratch.filePath(QStringLiteral("banner.log"));
    qputenv("TBP_BANNERLOG", QByteArray());
    {
      BannerView banner(nullptr, 0.35, 0.5);
      QSignalSpy finished(&banner, &BannerView::finished);
      const StderrCapture capture(logPath);
      banner.play(false);
      QVERIFY(finished.wait(5000));
      QCOMPARE(finished.count(), 1);
    }
    qunsetenv("TBP_BANNERLOG");
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QVERIFY(lines.size() <= 60);
    const QRegularExpression pattern(QStringLiteral("^banner frame (\\d+) at (\\d+) ms$"));
    int lastFrame = 1;
    for (const QString& line : lines) {
      const auto match = pattern.match(line);
      QVERIFY2(match.hasMatch(), qPrintable(line));
      const int frame = match.captured(1).toInt();
      const int elapsed = match.captured(2).toInt();
      QVERIFY(frame > lastFrame && frame <= 60);
      QCOMPARE(frame, elapsed * 30 / 1000 + 1);
      lastFrame = frame;
    }
  }

  void playerChoice_data() {
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QStringList>("command");
    QTest::newRow("all three") << QStringList{"aplay", "pw-play", "paplay"}
                               << QStringList{"paplay", "S"};
    QTest::newRow("no paplay") << QStringList{"aplay", "pw-play"} << QStringList{"pw-play", "S"};
    QTest::newRow("aplay only") << QStringList{"aplay"} << QStringList{"aplay", "-q", "S"};
    QTest::newRow("none") << QStringList{} << QStringList{};
  }

  void playerChoice() {
    QFETCH(QStringList, installed);
    QFETCH(QStringList, command);
    QTemporaryDir bin;
    for (const QString& name : installed) writeStubPlayer(bin.path(), name);
    qputenv("PATH", bin.path().toLocal8Bit());
    const auto player = tbp::findStampPlayer(QStringLiteral("S"));
    qputenv("PATH", noPlayers.toLocal8Bit());
    QCOMPARE(player ? QStringList{player->program} + player->arguments : QStringList{}, command);
  }

  // paplay is missing: pw-play gets the copy's path as its only argument, and the copy holds
  // the sound. The copy is made once: a later play uses it even when TMPDIR changed.
  void stampPlaysThroughTheFirstPlayerFound() {
    QTemporaryDir bin;
    writeStubPlayer(bin.path(), QStringLiteral("pw-play"));
    writeStubPlayer(bin.path(), QStringLiteral("aplay"));
    qputenv("PATH", bin.path().toLocal8Bit());
    tbp::playStamp();
    qputenv("TMPDIR", bin.path().toLocal8Bit());
    const QString log = bin.filePath(QStringLiteral("pw-play.log"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log) && QFileInfo(log).size() > 0, 5000);
    QFile::remove(log);
    tbp::playStamp();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log) && QFileInfo(log).size() > 0, 5000);
    qputenv("PATH", noPlayers.toLocal8Bit());
    qputenv("TMPDIR", scratch.path().toLocal8Bit());

    const QString copy = scratch.filePath(QStringLiteral("tbp_stamp.wav"));
    QFile recorded(log);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(recorded.readAll()), copy + '\n');
    QVERIFY(!QFile::exists(bin.filePath(QStringLiteral("aplay.log"))));
    QVERIFY(!QFile::exists(bin.filePath(QStringLiteral("tbp_stamp.wav"))));
    QCOMPARE(resourceBytes(copy), resourceBytes(QStringLiteral(":/banner/stamp.wav")));
  }

  void splashPosition_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<bool>("hasScreen");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("centred") << QRect(100, 50, 900, 680) << true << QPoint(369, 219);
    QTest::newRow("odd frame") << QRect(0, 0, 901, 681) << true << QPoint(270, 170);
    QTest::newRow("clamped left, top") << QRect(-800, -600, 900, 680) << true << QPoint(0, 0);
    QTest::newRow("clamped right, bottom")
        << QRect(1500, 900, 900, 680) << true << QPoint(1919 - 360, 1079 - 340);
    QTest::newRow("no screen") << QRect(-800, -600, 900, 680) << false << QPoint(-530, -430);
  }

  void splashPosition() {
    QFETCH(QRect, frame);
    QFETCH(bool, hasScreen);
    QFETCH(QPoint, position);
    const auto area = hasScreen ? std::optional<QRect>(QRect(0, 0, 1920, 1080)) : std::nullopt;
    QCOMPARE(tbp::splashPosition(frame, QSize(360, 340), area), position);
  }

  void splashClosesAfterTheBanner() {
    QWidget window;
    window.resize(900, 680);
    window.show();
    const QPointer<Splash> splash = tbp::showSplash(window);
    QVERIFY(splash->isVisible());
    QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(splash->size(), splash->banner()->size());
    QTRY_VERIFY_WITH_TIMEOUT(splash->banner()->isPlaying(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 5000);
  }

  void splashClosesOnAClick() {
    QWidget window;
    window.show();
    const QPointer<Splash> splash = tbp::showSplash(window);
    QTest::mouseClick(splash, Qt::RightButton);
    QTRY_VERIFY(splash.isNull());
  }

  void windowIconHasEverySize() {
    const QList<QSize> sizes = tbp::makeWindowIcon().availableSizes();
    QCOMPARE(sizes.size(), 10);
    for (const int edge : {16, 20, 24, 32, 40, 48, 64, 96, 128, 256})
      QVERIFY2(sizes.contains(QSize(edge, edge)), qPrintable(QString::number(edge)));
  }

  void shineRunsThroughEveryShippedFrame() {
    QWidget window;
    const ShineIcon shine(&window);
    QCOMPARE(shine.frameCount(), 20);
    QVERIFY(shine.isRunning());
    QCOMPARE(shine.nextStepMs(), 2000);
    QCOMPARE(window.windowIcon().availableSizes().size(), 10);
  }

  // The glint frames are read on first use, not when the window is built: frames that appear
  // only after the construction are still found.
  void shineReadsItsFramesOnFirstUse() {
    const QString pattern = copyShineFrames(0);
    QWidget window;
    const ShineIcon shine(&window, pattern);
    for (int number = 1; number <= 4; ++number) {
      const QString name = QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
      QVERIFY(QFile::copy(QStringLiteral(":/icons/shine/bexulo_shine_%1.ico").arg(name),
                          pattern.arg(name)));
    }
    QCOMPARE(shine.frameCount(), 4);
    QVERIFY(shine.isRunning());
  }

  void shineRestsTheRemainderOfItsPeriod() {
    const QString pattern = copyShineFrames(10);
    QWidget window;
    window.show();
    ShineIcon shine(&window, pattern);
    QCOMPARE(shine.frameCount(), 10);
    for (int frame = 0; frame < 10; ++frame) {
      shine.tick();
      QCOMPARE(shine.frameShown(), frame);
      QCOMPARE(shine.nextStepMs(), 35);
      QCOMPARE(window.windowIcon().availableSizes().size(), 7);
    }
    shine.tick();
    QCOMPARE(shine.frameShown(), -1);
    QCOMPARE(shine.nextStepMs(), 5000 - 10 * 35);
    // Back to the plain icon with its ten sizes; the glint frames have seven.
    QCOMPARE(window.windowIcon().availableSizes().size(), 10);
  }

  void noGlintInTheBackground_data() {
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("minimised");
    QTest::newRow("hidden") << false << false;
    QTest::newRow("minimised") << true << true;
  }

  void noGlintInTheBackground() {
    QFETCH(bool, shown);
    QFETCH(bool, minimised);
    QWidget window;
    if (shown) window.show();
    if (minimised) window.setWindowState(Qt::WindowMinimized);
    ShineIcon shine(&window, copyShineFrames(10));
    shine.tick();
    QCOMPARE(shine.frameShown(), -1);
    QCOMPARE(shine.nextStepMs(), 5000);
    window.setWindowState(Qt::WindowNoState);
    window.show();
    shine.tick();
    QCOMPARE(shine.frameShown(), 0);
  }

  void oneUnreadableFrameStopsTheShine() {
    const QString pattern = copyShineFrames(8);
    QFile broken(pattern.arg(5, 2, 10, QLatin1Char('0')));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not an icon");
    broken.close();
    QWidget window;
    const ShineIcon shine(&window, pattern);
    QCOMPARE(shine.frameCount(), 0);
    QVERIFY(!shine.isRunning());
    QVERIFY(!window.windowIcon().isNull());
  }

 private:
  // The first count shipped glint frames in a folder of their own; returns the file pattern.
  QString copyShineFrames(int count) {
    static int folder = 0;
    const QString dir = scratch.filePath(QStringLiteral("shine%1").arg(++folder));
    QDir().mkpath(dir);
    const QString pattern = dir + QStringLiteral("/frame_%1.ico");
    for (int number = 1; number <= count; ++number) {
      const QString name = QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
      QFile::copy(QStringLiteral(":/icons/shine/bexulo_shine_%1.ico").arg(name), pattern.arg(name));
    }
    return pattern;
  }
};

QTEST_MAIN(BrandingTest)
#include "branding_test.moc"
