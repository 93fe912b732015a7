#include "app/startup.h"

#include <optional>

#include <QTest>

#include "app/about.h"

namespace {

// Sets (a value, possibly empty) or unsets an environment variable.
void setVariable(const char* name, const std::optional<QByteArray>& value) {
  if (value)
    qputenv(name, *value);
  else
    qunsetenv(name);
}

using Value = std::optional<QByteArray>;
const Value unset = std::nullopt;
const Value empty = QByteArray();

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void splashDecision_data() {
    QTest::addColumn<Value>("shot");
    QTest::addColumn<Value>("noSplash");
    QTest::addColumn<Value>("load");
    QTest::addColumn<bool>("splash");
    QTest::addColumn<bool>("automation");
    const Value shot = QByteArray("/tmp/shots/game");
    const Value yes = QByteArray("1");
    const Value rom = QByteArray("/roms/game.nes");
    // Every combination of unset, empty and set for the three variables.
    int row = 0;
    for (const Value& s : {unset, empty, shot})
      for (const Value& n : {unset, empty, yes})
        for (const Value& l : {unset, empty, rom}) {
          const bool shotSet = s && !s->isEmpty();
          const bool noSplashSet = n && !n->isEmpty();
          const bool loadSet = l && !l->isEmpty();
          QTest::addRow("case %d", row++)
              << s << n << l << (!shotSet && !noSplashSet) << (shotSet && loadSet);
        }
  }

  void splashDecision() {
    QFETCH(Value, shot);
    QFETCH(Value, noSplash);
    QFETCH(Value, load);
    QFETCH(bool, splash);
    QFETCH(bool, automation);
    setVariable("TBP_SHOT", shot);
    setVariable("TBP_NOSPLASH", noSplash);
    setVariable("TBP_LOAD", load);
    QCOMPARE(tbp::splashWantedByEnvironment(), splash);
    QCOMPARE(tbp::automationWantedByEnvironment(), automation);
  }

  void knownAnswers() {
    QVERIFY(tbp::shouldOpenSplash({}, {}));
    QVERIFY(!tbp::shouldOpenSplash("x", {}));
    QVERIFY(!tbp::shouldOpenSplash({}, "1"));
    QVERIFY(!tbp::shouldOpenSplash("x", "1"));
    QVERIFY(tbp::shouldRunAutomation("a.nes", "shot"));
    QVERIFY(!tbp::shouldRunAutomation("a.nes", {}));
    QVERIFY(!tbp::shouldRunAutomation({}, "shot"));
  }

  void placement_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("960x720 centred") << QRect(0, 0, 960, 720) << false << QRect(30, 20, 900, 680);
    QTest::newRow("959 wide") << QRect(0, 0, 959, 720) << true << QRect(0, 0, 959, 720);
    QTest::newRow("719 high") << QRect(0, 0, 960, 719) << true << QRect(0, 0, 960, 719);
    QTest::newRow("800x600") << QRect(0, 0, 800, 600) << true << QRect(0, 0, 800, 600);
    QTest::newRow("1280x800") << QRect(0, 0, 1280, 800) << false << QRect(190, 60, 900, 680);
    QTest::newRow("offset area") << QRect(100, 40, 1920, 1040) << false
                                 << QRect(610, 220, 900, 680);
    QTest::newRow("offset small") << QRect(50, 30, 900, 700) << true << QRect(50, 30, 900, 700);
  }

  void placement() {
    QFETCH(QRect, available);
    QFETCH(bool, maximised);
    QFETCH(QRect, geometry);
    const tbp::WindowPlacement placement = tbp::placeWindow(available, QSize(900, 680));
    QCOMPARE(placement.maximised, maximised);
    QCOMPARE(placement.geometry, geometry);
  }

  void aboutLabelWidth_data() {
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<int>("labelWidth");
    QTest::newRow("500") << 500 << 420;
    QTest::newRow("539") << 539 << 459;
    QTest::newRow("540") << 540 << 460;
    QTest::newRow("1920") << 1920 << 460;
  }

  void aboutLabelWidth() {
    QFETCH(int, screenWidth);
    QFETCH(int, labelWidth);
    QCOMPARE(tbp::aboutLabelMinimumWidth(screenWidth), labelWidth);
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
