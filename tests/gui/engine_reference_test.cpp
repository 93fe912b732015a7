#include "reference/engine_reference.h"

#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "app/automation.h"
#include "reference/functions_table.h"
#include "support/port_files.h"
#include "support/window_harness.h"

namespace {

struct Browser {
  std::unique_ptr<QDialog> dialog;
  QTableWidget* table = nullptr;

  explicit Browser(const QString& manifest)
      : dialog(tbp::createEngineReference(nullptr, manifest)),
        table(dialog->findChild<QTableWidget*>(QStringLiteral("functions"))) {}

  QString header() const { return dialog->findChild<QLabel*>(QStringLiteral("header"))->text(); }
  QString cell(int row, int column) const {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
  }
  QStringList visibleIds() const {
    QStringList ids;
    for (int row = 0; row < table->rowCount(); ++row)
      if (!table->isRowHidden(row)) ids << cell(row, 0);
    return ids;
  }
};

// The ids at the head of every entry of a copied text, in the order they were copied.
QStringList copiedIds(const QString& copied) {
  QStringList ids;
  const QRegularExpression entry(QStringLiteral("^(\\d+)  "), QRegularExpression::MultilineOption);
  for (const QRegularExpressionMatch& match : entry.globalMatch(copied)) ids << match.captured(1);
  return ids;
}

// Once the browser runs its own event loop: notes its header text and closes it. Gives up
// after about five seconds, so a browser that never opens leaves nothing behind.
void closeBrowserOnceItRuns(const std::shared_ptr<QString>& header, int triesLeft = 500) {
  QTimer::singleShot(10, [header, triesLeft] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || QThread::currentThread()->loopLevel() == 0) {
      if (triesLeft > 0) closeBrowserOnceItRuns(header, triesLeft - 1);
      return;
    }
    *header = dialog->findChild<QLabel*>(QStringLiteral("header"))->text();
    dialog->accept();
  });
}

}  // namespace

class EngineReferenceTest : public QObject {
  Q_OBJECT

 private slots:
  void idsLimitTheVersionNotes() {
    const Browser browser(
        "{\"library\": {\"lib_ver\": 2, \"ids\": {\"0-63\": \"x\", \"70\": \"y\"}}}");
    QCOMPARE(browser.table->rowCount(), 64);
    QVERIFY(browser.header().contains(QStringLiteral("Library version 2: 64 functions.")));
    QCOMPARE(browser.cell(0, 2), QStringLiteral("INFO"));
    QCOMPARE(browser.cell(0, 3), QStringLiteral("—"));
    QCOMPARE(browser.cell(63, 0), QStringLiteral("63"));
  }

  void emptyManifestShowsVersionOneWhole() {
    const Browser browser{QString()};
    QCOMPARE(browser.table->rowCount(), 64);
    QVERIFY(browser.header().contains(QStringLiteral("Library version 1: 64 functions.")));
    auto* tabs = browser.dialog->findChild<QTabWidget*>();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(1), QStringLiteral("Engine reference"));
  }

  // lib_ver 250 reads as 99, for which there are no notes: the port's own signatures are shown.
  void portWithoutNotesShowsItsSignatures() {
    const Browser browser(
        "{\"library\": {\"lib_ver\": 250, \"ids\": {\"12\": \"ZED last <one>\", \"2-4\": \"RANGE\","
        " \"7\": 5}, \"slot\": \"$00:FF80\", \"args\": \"r0-r3\", \"return\": \"Return with "
        "RTL.\"}}");
    QVERIFY(browser.header().contains(
        QStringLiteral("Library version 99 (this patcher has no detailed notes for it: the ROM's "
                       "own one-line signatures are shown).")));
    QVERIFY(browser.header().contains(
        QStringLiteral("lib_call: $00:FF80. Arguments r0-r3, results . Return with RTL.")));
    QCOMPARE(browser.visibleIds(), (QStringList{"2", "7", "12"}));
    QCOMPARE(browser.cell(0, 2), QStringLiteral("RANGE"));
    QCOMPARE(browser.cell(0, 5), QString());
    QCOMPARE(browser.cell(1, 2), QString());
    QCOMPARE(browser.cell(2, 2), QStringLiteral("ZED"));
    QCOMPARE(browser.cell(2, 5), QStringLiteral("last <one>"));
    QCOMPARE(browser.cell(2, 1), QString());
  }

  void filterSearchesEveryColumnButTheId_data() {
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("empty") << "" << QStringList{"1", "8", "70"};
    QTest::newRow("group in lower case") << "mode 7" << QStringList{"1"};
    QTest::newRow("returns column") << "R0 = 7" << QStringList{"8"};
    QTest::newRow("id alone is not searched") << "70" << QStringList{};
    QTest::newRow("number in a description") << "8" << QStringList{"70"};
  }
  void filterSearchesEveryColumnButTheId() {
    QFETCH(QString, search);
    QFETCH(QStringList, ids);
    const std::unique_ptr<QWidget> tab(
        tbp::buildFunctionsTab({{1, "Mode 7", "M7_BEGIN", "a0 = map", "—", "starts Mode 7"},
                                {8, "Math", "MUL16", "a0 = x", "r0 = 7", "multiplies"},
                                {70, "MSU-1", "MSU_PLAY", "a0 = track", "—", "plays track 8"}}));
    auto* table = tab->findChild<QTableWidget*>();
    QTest::keyClicks(tab->findChild<QLineEdit*>(QStringLiteral("search")), search);
    QStringList visible;
    for (int row = 0; row < table->rowCount(); ++row)
      if (!table->isRowHidden(row)) visible << table->item(row, 0)->text();
    QCOMPARE(visible, ids);
  }

  void copyIgnoresSortingAndFilter() {
    const Browser browser("{\"library\": {\"lib_ver\": 5}}");
    browser.table->sortByColumn(2, Qt::DescendingOrder);
    QTest::keyClicks(browser.dialog->findChild<QLineEdit*>(QStringLiteral("search")),
                     QStringLiteral("SA-1"));
    QGuiApplication::clipboard()->clear();
    for (QPushButton* button : browser.dialog->findChildren<QPushButton*>())
      if (button->text() == QStringLiteral("Copy all as text")) button->click();
    const QString copied = QGuiApplication::clipboard()->text();
    QStringList expected;
    for (int id = 0; id < 91; ++id) expected << QString::number(id);
    QCOMPARE(copiedIds(copied.section(QStringLiteral("Calling the engine"), 0, 0)), expected);
    QVERIFY(copied.endsWith(tbp::buildReferenceText().text));
    QVERIFY(!tbp::buildReferenceText().text.isEmpty());
  }

  void libTabSelectsTheReference() {
    qputenv("TBP_LIBTAB", "1");
    const Browser browser{QString()};
    qunsetenv("TBP_LIBTAB");
    QCOMPARE(browser.dialog->findChild<QTabWidget*>()->currentIndex(), 1);
  }

  void switchesButtonOpensTheBrowserForThePort() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    harness.window->openPortFile(
        harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(files.port)));
    const auto header = std::make_shared<QString>();
    closeBrowserOnceItRuns(header);
    harness.window->referenceButton->click();
    QVERIFY(header->contains(QStringLiteral("Library version 2: 64 functions.")));
    QVERIFY(harness.window->findChildren<QDialog*>().isEmpty());
  }

  void automationSavesTheBrowserPicture() {
    WindowHarness harness;
    const PortFiles files = makePortFiles();
    const QString rom = harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(files.port));
    const QString shot = harness.workDir.filePath(QStringLiteral("library.png"));
    qputenv("TBP_LIBSHOT", shot.toLocal8Bit());
    tbp::runAutomation(*harness.window, rom, harness.workDir.filePath(QStringLiteral("run")));
    qunsetenv("TBP_LIBSHOT");
    QVERIFY(!QImage(shot).isNull());
    QVERIFY(harness.window->findChildren<QDialog*>().isEmpty());
  }
};

QTEST_MAIN(EngineReferenceTest)
#include "engine_reference_test.moc"
