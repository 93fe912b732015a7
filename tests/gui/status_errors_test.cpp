#include "app/status_errors.h"

#include <stdexcept>

#include <QStatusBar>
#include <QTest>

class StatusErrorsTest : public QObject {
  Q_OBJECT

 private slots:
  void failuresBecomeStatusMessages() {
    QStatusBar bar;
    bar.showMessage(QStringLiteral("Ready"));
    QVERIFY(tbp::runReportingErrors(bar, [] {}));
    QCOMPARE(bar.currentMessage(), QStringLiteral("Ready"));

    QVERIFY(!tbp::runReportingErrors(bar, [] { throw std::out_of_range("glyph index"); }));
    QCOMPARE(bar.currentMessage(), QStringLiteral("Error: glyph index"));

    QVERIFY(!tbp::runReportingErrors(bar, [] { throw std::runtime_error("caf\xC3\xA9"); }));
    QCOMPARE(bar.currentMessage(), QStringLiteral("Error: caf\u00E9"));

    QVERIFY(!tbp::runReportingErrors(bar, [] { throw 42; }));
    QCOMPARE(bar.currentMessage(), QStringLiteral("Error"));
  }
};

QTEST_MAIN(StatusErrorsTest)
#include "status_errors_test.moc"
