#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include "app/main_window.h"
#include "pages/glyph_widgets.h"
#include "support/glyph_shapes.h"
#include "support/port_files.h"
#include "support/tab_walk.h"
#include "support/window_harness.h"

using tbp::testkit::PortOptions;

namespace {

constexpr int kA = tbp::symbolPageA;
constexpr int kB = tbp::symbolPageB;

// A window showing the fixture port built with options.
struct FontsWindow {
  WindowHarness harness;
  tbp::testkit::PortFixture port;
  MainWindow& window;

  explicit FontsWindow(const PortOptions& options = {})
      : port(tbp::testkit::makePortFixture(tbp::testkit::makeNesRom(), options)),
        window(*harness.window) {
    window.openPortFile(harness.writeFile(QStringLiteral("p.sfc"), asQByteArray(port.image)));
  }
  // Picks a glyph the way a user does: the set from the combo, then a click on its cell.
  void pick(int item, int glyph) {
    window.fontCombo->setCurrentIndex(item);
    QTest::mouseClick(window.glyphPage, Qt::LeftButton, {},
                      window.glyphPage->cellRect(glyph).center());
  }
};

QString itemText(int data) {
  if (data == kA) return QStringLiteral("Symbols (codes 0-127)");
  if (data == kB) return QStringLiteral("Symbols 2 (codes 128-255)");
  return QStringLiteral("Font %1: %2").arg(data).arg(tbp::testkit::fontStyleName(data).c_str());
}

}  // namespace

class FontsPageTest : public QObject {
  Q_OBJECT

 private slots:
  void comboListsSymbolPagesAroundTheFonts_data() {
    QTest::addColumn<int>("fonts");
    QTest::addColumn<QList<int>>("items");
    QTest::newRow("3 fonts") << 3 << QList{kA, 0, 1, 2, kB};
    QTest::newRow("8 fonts") << 8 << QList{kA, 0, 1, 2, 3, 4, 5, 6, 7, kB};
    QTest::newRow("10 fonts") << 10 << QList{kA, 0, 1, 2, 3, 4, 5, 6, 7, kB, 8, 9};
    QTest::newRow("none") << 0 << QList<int>{};
  }
  void comboListsSymbolPagesAroundTheFonts() {
    QFETCH(int, fonts);
    QFETCH(QList<int>, items);
    PortOptions options;
    options.fontCount = fonts;
    FontsWindow fixture(options);
    QComboBox& combo = *fixture.window.fontCombo;
    QCOMPARE(combo.count(), items.size());
    for (int i = 0; i < items.size(); ++i) {
      QCOMPARE(combo.itemData(i).toInt(), items[i]);
      QCOMPARE(combo.itemText(i), itemText(items[i]));
    }
    QCOMPARE(combo.currentIndex(), fonts ? 0 : -1);
    QCOMPARE(fixture.window.glyphPage->sizeHint().height(), fonts ? 241 : 1);
  }

  void pickShowsTheGlyphWithoutWriting_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("glyph");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("hint");  // -1: the hint combo is disabled
    QTest::newRow("symbol A") << 0 << 9 << "Symbol 9 (text code $01 $09)" << 1;
    QTest::newRow("symbol B") << 5 << 5 << "Symbol 133 (text code $01 $85)" << 7;
    QTest::newRow("font") << 2 << 33 << "Character 'A' (ASCII $41)" << -1;
  }
  void pickShowsTheGlyphWithoutWriting() {
    QFETCH(int, item);
    QFETCH(int, glyph);
    QFETCH(int, hint);
    QFETCH(QString, title);
    FontsWindow fixture;
    MainWindow& window = fixture.window;
    fixture.pick(item, glyph);
    const int set = window.fontCombo->itemData(item).toInt();
    QCOMPARE(window.glyphEditor->glyph(), window.portImage.glyph(set, glyph));
    QCOMPARE(window.glyphTitle->text(), title);
    QCOMPARE(window.paletteHintCombo->isEnabled(), hint >= 0);
    QCOMPARE(window.paletteHintCombo->currentIndex(), qMax(hint, 0));
    QCOMPARE(window.portImage.bytes(), fixture.port.image);
  }

  void editsAndHintsWriteThePort() {
    FontsWindow fixture;
    MainWindow& window = fixture.window;
    tbp::Bytes expected = fixture.port.image;
    fixture.pick(2, 33);  // 'A' of font 1
    QTest::mouseClick(window.glyphEditor, Qt::LeftButton, {}, QPoint(210, 210));
    expected[fixture.port.places.fonts + 768 + 33 * 8 + 7] ^= 0x01;
    QCOMPARE(window.portImage.bytes(), expected);
    QCOMPARE(window.glyphPage->selected(), 33);
    // Space toggles the same pixel back: the keyboard cursor followed the click.
    QTest::keyClick(window.glyphEditor, Qt::Key_Space);
    expected[fixture.port.places.fonts + 768 + 33 * 8 + 7] ^= 0x01;
    QCOMPARE(window.portImage.bytes(), expected);
    // Fonts have no hint; symbol 9's hint byte is replaced whole, its flag bit 0x40 too.
    window.paletteHintCombo->setCurrentIndex(3);
    QCOMPARE(window.portImage.bytes(), expected);
    fixture.pick(0, 9);
    window.paletteHintCombo->setCurrentIndex(5);
    expected[fixture.port.places.symbolsAHints + 9] = 5;
    QCOMPARE(window.portImage.bytes(), expected);
    // Another port shows its own hint for the selected symbol.
    expected[fixture.port.places.symbolsAHints + 9] = 6;
    window.openPortFile(fixture.harness.writeFile(QStringLiteral("q.sfc"), asQByteArray(expected)));
    QCOMPARE(window.paletteHintCombo->currentIndex(), 6);
    QCOMPARE(window.portImage.bytes(), expected);
  }

  void keyboardAloneReachesAndEditsAGlyph() {
    FontsWindow fixture;
    MainWindow& window = fixture.window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.tabs->setCurrentIndex(4);  // "Fonts && Symbols"
    const QList<QWidget*> order = {window.fontCombo, window.glyphPage, window.glyphEditor,
                                   window.paletteHintCombo};
    QCOMPARE(tabWalk(window.fontCombo, order.size()), order);
    QTest::keyClick(window.glyphPage, Qt::Key_Down);  // symbol 16
    QCOMPARE(window.glyphEditor->glyph(), window.portImage.glyph(kA, 16));
    QTest::keyClick(window.glyphEditor, Qt::Key_Space);  // the top left pixel
    const int before = fixture.port.image[fixture.port.places.symbolsA + 16 * 8];
    QCOMPARE(int(window.portImage.glyph(kA, 16)[0]), before ^ 0x80);
  }

  void unreadableSetsAreReportedNotWritten_data() {
    QTest::addColumn<int>("fonts");
    QTest::addColumn<bool>("loaded");  // else the missing page is named in the status bar
    QTest::newRow("no fonts") << 0 << true;
    QTest::newRow("no symbol pages") << 2 << false;
  }
  void unreadableSetsAreReportedNotWritten() {
    QFETCH(int, fonts);
    QFETCH(bool, loaded);
    PortOptions options;
    options.fontCount = fonts;
    options.symbolPages = options.symbolPageB = false;
    FontsWindow fixture(options);
    MainWindow& window = fixture.window;
    QVERIFY(fixture.harness.prompts->boxes.isEmpty());
    QCOMPARE(window.statusBar()->currentMessage(),
             QStringLiteral("Loaded: %1 bytes").arg(fixture.port.image.size()) +
                 (loaded ? "" : ". Error: this port has no symbol page A"));
    emit window.glyphPage->picked(3);
    emit window.glyphEditor->edited();
    window.paletteHintCombo->setCurrentIndex(4);
    QCOMPARE(window.portImage.bytes(), fixture.port.image);
    QCOMPARE(window.glyphPage->sizeHint().height(), 1);
  }
};

QTEST_MAIN(FontsPageTest)
#include "fonts_page_test.moc"
