#include "app/main_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "app/startup.h"
#include "support/window_harness.h"

namespace {

QPushButton* buttonWithText(QWidget& parent, const QString& text) {
  for (QPushButton* button : parent.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void titleAndReadyStatus() {
    WindowHarness harness;
    QCOMPARE(harness.window->windowTitle(), QStringLiteral("TEAM Bexulo Patcher"));
    QCOMPARE(harness.window->statusBar()->currentMessage(), QStringLiteral("Ready"));
  }

  // The window follows the placement rule on the screen it starts on: centred at 900 x 680 on a
  // large enough screen, else covering the whole available area, maximised.
  void windowIsPlacedOnThePrimaryScreen() {
    WindowHarness harness;
    const QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    const QRect available = screen->availableGeometry();
    const tbp::WindowPlacement placement = tbp::placeWindow(available, QSize(900, 680));
    QCOMPARE(harness.window->isMaximized(), placement.maximised);
    QCOMPARE(harness.window->geometry(), placement.geometry);
    if (placement.maximised)
      QCOMPARE(harness.window->geometry(), available);
    else
      QCOMPARE(harness.window->geometry().center(), available.center());
  }

  void tabTextsInOrder() {
    WindowHarness harness;
    const QStringList expected = {
        "Info", "Switches", "Controls", "Splash && Sound", "Fonts && Symbols", "Music", "Output"};
    QTabWidget* tabs = harness.window->tabs;
    QCOMPARE(tabs->count(), expected.size());
    for (int index = 0; index < tabs->count(); ++index)
      QCOMPARE(tabs->tabText(index), expected[index]);
    QCOMPARE(tabs->widget(0), harness.window->infoPage);
    QCOMPARE(tabs->widget(6), harness.window->outputPage);
    QVERIFY(harness.window->infoPage->isAncestorOf(harness.window->infoBrowser));
  }

  void withoutPortOnlyInfoAndOutputTabsAreEnabled() {
    WindowHarness harness;
    QTabWidget* tabs = harness.window->tabs;
    for (int index = 0; index < tabs->count(); ++index) {
      const bool alwaysOn = index == 0 || index == 6;
      QCOMPARE(tabs->isTabEnabled(index), alwaysOn);
    }
    QVERIFY(harness.window->infoPage->isEnabled());
    QVERIFY(!harness.window->outputPage->isEnabled());
    QVERIFY(!harness.window->saveButton->isEnabled());
    QVERIFY(harness.window->bpsButton->testAttribute(Qt::WA_ForceDisabled));
  }

  void clickingTabsWithoutPortSelectsOnlyInfoAndOutput() {
    WindowHarness harness;
    harness.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(harness.window.get()));
    QTabWidget* tabs = harness.window->tabs;
    auto* bar = tabs->findChild<QTabBar*>();
    QVERIFY(bar);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(6).center());
    QCOMPARE(tabs->currentIndex(), 6);
    for (int index = 1; index <= 5; ++index) {
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
      QCOMPARE(tabs->currentIndex(), 6);
    }
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    QCOMPARE(tabs->currentIndex(), 0);
  }

  void loadedPortEnablesEveryTabAndTheBpsButton() {
    WindowHarness harness;
    harness.window->setPortEnabled(true);
    QTabWidget* tabs = harness.window->tabs;
    for (int index = 0; index < tabs->count(); ++index) {
      QVERIFY(tabs->isTabEnabled(index));
      QVERIFY(tabs->widget(index)->isEnabled());
    }
    QVERIFY(harness.window->bpsButton->isEnabled());
    QVERIFY(harness.window->saveButton->isEnabled());
  }

  void frontButtonsCarryTheirTooltips() {
    WindowHarness harness;
    const QList<QPair<QString, QString>> expected = {
        {"Open NES ROM...",
         "Pick your NES ROM: the patcher recognises the game and builds the SNES port from it."},
        {"Open SNES port...",
         "Open an already-built TEAM Bexulo SNES port (.sfc) to change its settings."},
        {"Apply patch file...", "Apply any BPS or IPS patch to a ROM and save the result."},
        {"Create BPS patch (against the NES ROM)...",
         "A patch anyone can apply to their own copy of the NES ROM to get exactly this "
         "configuration."},
    };
    for (const auto& [text, toolTip] : expected) {
      QPushButton* button = buttonWithText(*harness.window, text);
      QVERIFY2(button, qPrintable(text));
      QCOMPARE(button->toolTip(), toolTip);
    }
  }

  void linkLabelOpensTheSiteInTheBrowser() {
    WindowHarness harness;
    auto* link = harness.window->findChild<QLabel*>(QStringLiteral("siteLink"));
    QVERIFY(link);
    const QString address = QStringLiteral("https://teambexulo.github.io/patcher/");
    QVERIFY(link->text().contains(QStringLiteral("href=\"%1\"").arg(address)));
    QVERIFY(link->text().contains(QStringLiteral(">%1</a>").arg(address)));
    QVERIFY(link->openExternalLinks());
    QVERIFY(link->textInteractionFlags() & Qt::LinksAccessibleByKeyboard);
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(link->toolTip(),
             QStringLiteral("Open %1 in your browser: releases, downloads and the web patcher.")
                 .arg(address));
  }

  // File beside Help, with the front buttons' actions, the two saves (enabled with a port) and
  // the standard shortcuts; Edit holds undo and redo.
  void menusHoldTheActionsWithTheirShortcuts() {
    WindowHarness harness;
    const QList<QAction*> menus = harness.window->menuBar()->actions();
    QStringList titles;
    for (QAction* menu : menus) titles << menu->text();
    QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Help"}));
    QStringList items;
    for (QAction* item : menus[0]->menu()->actions())
      if (!item->isSeparator())
        items << item->text() + QLatin1Char('|') + item->shortcut().toString() +
                     QLatin1Char('|') + QString::number(item->isEnabled());
    QCOMPARE(items, (QStringList{"Open NES ROM...|Ctrl+O|1", "Open SNES port...||1",
                                 "Apply patch file...||1", "Open recent||0",
                                 "Save SNES ROM...|Ctrl+S|0", "Create BPS patch...||0",
                                 "Export settings...||0", "Import settings...||0",
                                 "Quit|Ctrl+Q|1"}));
    const QList<QAction*> edit = menus[1]->menu()->actions();
    QCOMPARE(edit.size(), 2);
    QCOMPARE(edit[0]->shortcut(), QKeySequence(QKeySequence::Undo));
    QCOMPARE(edit[1]->shortcut(), QKeySequence(QKeySequence::Redo));
    const QList<QAction*> help = menus[2]->menu()->actions();
    QCOMPARE(help.size(), 1);
    QCOMPARE(help[0]->text(), QStringLiteral("About"));
  }

  void headerWithoutDatabase() {
    WindowHarness harness;
    QVERIFY(!harness.window->databaseLoaded);
    QVERIFY(harness.window->databaseError.isEmpty());
    QCOMPARE(harness.window->headerLabel->text(),
             QStringLiteral("No games.json found next to the program: you can still open a built "
                            "SNES port."));
  }

  void headerWithLoadedDatabase_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("games");
    QTest::newRow("two games")
        << QByteArray(R"({"games":[{"id":"a","title":"Game A","port":"A","base_patch":"a.bps"},)"
                      R"({"id":"b","title":"Game B","port":"B","base_patch":"b.bps"}]})")
        << 2;
    QTest::newRow("no games array") << QByteArray(R"({"other":1})") << 0;
  }

  void headerWithLoadedDatabase() {
    QFETCH(QByteArray, json);
    QFETCH(int, games);
    WindowHarness harness(&json);
    QVERIFY(harness.window->databaseLoaded);
    QVERIFY(harness.window->databaseError.isEmpty());
    QCOMPARE(int(harness.window->database.games.size()), games);
    QCOMPARE(harness.window->headerLabel->text(),
             QStringLiteral("%1 game(s) in the database. Open a NES ROM to begin.").arg(games));
  }

  void headerWithBrokenDatabase() {
    const QByteArray broken = "{\"games\": [";
    WindowHarness harness(&broken);
    const QString path = QDir::toNativeSeparators(
        QFileInfo(harness.workDir.filePath(QStringLiteral("games/games.json"))).absoluteFilePath());
    QVERIFY(!harness.window->databaseLoaded);
    QVERIFY(harness.window->database.games.empty());
    const QString error = harness.window->databaseError;
    QVERIFY2(error.startsWith(path + QStringLiteral(" could not be read: json: ")),
             qPrintable(error));
    QCOMPARE(harness.window->headerLabel->text(),
             error + QStringLiteral(" You can still open a built SNES port."));
  }

  void headerEscapesMarkupFromTheDatabaseError() {
    const QByteArray broken = "<b>not json</b>";
    WindowHarness harness(&broken);
    QVERIFY(!harness.window->databaseError.isEmpty());
    QVERIFY(!harness.window->headerLabel->text().contains(QStringLiteral("<b>")));
  }

  void slotsKeepTheirMetaObjectOrder() {
    const QMetaObject& meta = MainWindow::staticMetaObject;
    const QList<QByteArray> expected = {"openNes",   "openNesFile", "openPortFile",   "checkCodes",
                                        "codeNes",   "openPort",    "applyPatchFile", "saveRom",
                                        "savePatch", "about"};
    QVERIFY(meta.methodCount() - meta.methodOffset() >= expected.size());
    for (int index = 0; index < expected.size(); ++index) {
      const QMetaMethod method = meta.method(meta.methodOffset() + index);
      QCOMPARE(method.name(), expected[index]);
      QCOMPARE(method.methodType(), QMetaMethod::Slot);
    }
    QCOMPARE(QByteArray(meta.method(meta.methodOffset() + 4).typeName()), QByteArray("tbp::Bytes"));
  }

  void codeNesIsInvokableThroughTheMetaObject() {
    WindowHarness harness;
    QVERIFY(QMetaType::fromName("tbp::Bytes").isValid());
    const auto invoke = [&harness] {
      tbp::Bytes result;
      const bool ok = QMetaObject::invokeMethod(harness.window.get(), "codeNes",
                                                Q_RETURN_ARG(tbp::Bytes, result));
      return ok ? result : tbp::Bytes{0xEE};
    };
    QCOMPARE(invoke(), tbp::Bytes{});
    harness.window->nesFileBytes = {1, 2, 3};
    QCOMPARE(invoke(), (tbp::Bytes{1, 2, 3}));
    harness.window->nesRomBytes = {4, 5};
    QCOMPARE(invoke(), (tbp::Bytes{4, 5}));
  }

  void infoPageWithoutPortOrDatabase() {
    WindowHarness harness;
    const QString text = harness.window->infoBrowser->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("For players and romhackers.")));
    QVERIFY(text.contains(
        QStringLiteral("Nothing loaded yet. Open your NES ROM (or a built port) above.")));
    QVERIFY(text.contains(QStringLiteral("Supported games")));
    QVERIFY(text.contains(QStringLiteral("games.json was not found next to the program.")));
  }

  void infoPageIsRenderedAgainOnEverySelection() {
    WindowHarness harness;
    QTabWidget* tabs = harness.window->tabs;
    QTextBrowser* browser = harness.window->infoBrowser;
    for (int round = 0; round < 3; ++round) {
      tabs->setCurrentIndex(6);
      browser->setPlainText(QStringLiteral("stale"));
      tabs->setCurrentIndex(0);
      QVERIFY2(browser->toPlainText().contains(QStringLiteral("Supported games")),
               qPrintable(QStringLiteral("round %1").arg(round)));
    }
    // Any other tab change leaves the page alone.
    browser->setPlainText(QStringLiteral("stale"));
    tabs->setCurrentIndex(6);
    QCOMPARE(browser->toPlainText(), QStringLiteral("stale"));
  }

  void infoPageKeepsItsScrollPositionOnRender() {
    WindowHarness harness;
    QTextBrowser* browser = harness.window->infoBrowser;
    // A small browser, so that the page has to scroll.
    browser->setFixedSize(300, 80);
    harness.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(harness.window.get()));
    harness.window->renderInfoPage();
    QScrollBar* scroll = browser->verticalScrollBar();
    QVERIFY(scroll->maximum() > 0);
    scroll->setValue(scroll->maximum() / 2);
    const int position = scroll->value();
    QVERIFY(position > 0);
    harness.window->renderInfoPage();
    QCOMPARE(scroll->value(), position);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
