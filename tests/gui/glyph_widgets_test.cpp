#include "pages/glyph_widgets.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace {

tbp::Bytes bytesOf(const QByteArray& data) { return tbp::Bytes(data.begin(), data.end()); }

// Eight glyph rows from hexadecimal digits (blanks ignored), the missing rows blank.
QByteArray glyph(const char* hex) {
  return QByteArray::fromHex(QByteArray(hex).replace(' ', "")).leftJustified(8, '\0');
}

void sendMouse(QWidget& widget, QEvent::Type type, QPointF position, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, position, widget.mapToGlobal(position), button, held, Qt::NoModifier);
  QApplication::sendEvent(&widget, &event);
}

// Plays a script on the widget. Tokens: "p x,y" a left press, "m x,y" a move with the left
// button held, "r x,y" a move with only the right button held, and the keys L R U D and S (Space).
void play(QWidget& widget, const QString& script) {
  const QMap<QChar, Qt::Key> keys = {{'L', Qt::Key_Left},
                                     {'R', Qt::Key_Right},
                                     {'U', Qt::Key_Up},
                                     {'D', Qt::Key_Down},
                                     {'S', Qt::Key_Space}};
  for (const QString& token : script.split(' ', Qt::SkipEmptyParts)) {
    if (keys.contains(token[0])) {
      for (const QChar key : token) QTest::keyClick(&widget, keys[key]);
      continue;
    }
    const QStringList xy = token.mid(1).split(',');
    const QPointF at(xy[0].toDouble(), xy[1].toDouble());
    if (token[0] == 'p')
      sendMouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton);
    else
      sendMouse(widget, QEvent::MouseMove, at, token[0] == 'r' ? Qt::RightButton : Qt::LeftButton);
  }
}

}  // namespace

class GlyphWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void pageHitTestingAndSize_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("picked");
    QTest::addColumn<int>("height");
    QTest::newRow("cell corners") << 96 << "p29.9,29.9 p30,0 p479,179" << QList{0, 1, 95} << 181;
    QTest::newRow("closing line") << 96 << "p480,0 p0,180 p-1,5" << QList<int>{} << 181;
    QTest::newRow("short last row") << 97 << "p30,180 p0,180" << QList{96} << 211;
    QTest::newRow("symbol page") << 128 << "p479,239" << QList{127} << 241;
    QTest::newRow("empty") << 0 << "p0,0" << QList<int>{} << 1;
    QTest::newRow("arrow keys") << 20 << "L U R D D L" << QList{1, 17, 16} << 61;
  }
  void pageHitTestingAndSize() {
    QFETCH(int, count);
    QFETCH(QString, script);
    QFETCH(QList<int>, picked);
    QFETCH(int, height);
    GlyphPage page;
    page.setGlyphs(std::vector<tbp::Bytes>(count, tbp::Bytes(8, 0)));
    page.resize(page.sizeHint());
    QSignalSpy spy(&page, &GlyphPage::picked);
    play(page, script);
    QList<int> emitted;
    for (const QList<QVariant>& arguments : spy) emitted.append(arguments[0].toInt());
    QCOMPARE(emitted, picked);
    QCOMPARE(page.selected(), picked.isEmpty() ? 0 : picked.last());
    QCOMPARE(page.sizeHint(), QSize(481, height));
  }

  // Neither setter emits; the selection survives a new set only while in range.
  void settersKeepOrReset() {
    GlyphPage page;
    QSignalSpy picked(&page, &GlyphPage::picked);
    page.setGlyphs(std::vector<tbp::Bytes>(128));
    page.setSelected(120);
    page.setGlyphs(std::vector<tbp::Bytes>(128));
    QCOMPARE(page.selected(), 120);
    page.setGlyphs(std::vector<tbp::Bytes>(96));
    QCOMPARE(page.selected(), 0);
    GlyphEditor editor;
    QSignalSpy edited(&editor, &GlyphEditor::edited);
    editor.setGlyph(bytesOf("\x01\x02\x03\x04\x05"));
    QCOMPARE(editor.glyph(), bytesOf(glyph("0102030405")));
    editor.setGlyph(bytesOf("12345678AB"));
    QCOMPARE(editor.glyph(), bytesOf("12345678"));
    QCOMPARE(picked.count() + edited.count(), 0);
  }

  void editorStrokesAndKeys_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<int>("edits");
    const QByteArray blank = glyph("");
    QTest::newRow("rounding at 28") << blank << "p27.4,0 p27.5,0" << glyph("C0") << 2;
    QTest::newRow("grid edges") << blank << "p-0.4,223.4 p223.5,0 p-0.5,0 p0,224"
                                << glyph("00000000000000 80") << 1;
    QTest::newRow("draw stroke") << blank << "p14,14 m42,14 m70,42" << glyph("C0 20") << 3;
    QTest::newRow("erase stroke") << glyph("A0") << "p14,14 m42,14 m70,14" << blank << 2;
    QTest::newRow("outside pauses")
        << blank << "p14,14 m14,-20 m300,14 m14,250 m-15,14 m42,14" << glyph("C0") << 2;
    QTest::newRow("right drag") << blank << "p14,14 r42,14" << glyph("80") << 1;
    QTest::newRow("outside press keeps mode")
        << glyph("80") << "p14,14 p300,300 m42,14" << blank << 1;
    QTest::newRow("keys") << blank << "S RRD S SS" << glyph("80 20") << 4;
    QTest::newRow("cursor stops at edges")
        << blank << "LLUU S RRRRRRRRRDDDDDDDDD S" << glyph("80 000000000000 01") << 2;
    QTest::newRow("press moves cursor") << blank << "p42,42 S" << blank << 2;
  }
  void editorStrokesAndKeys() {
    QFETCH(QByteArray, start);
    QFETCH(QString, script);
    QFETCH(QByteArray, result);
    QFETCH(int, edits);
    GlyphEditor editor;
    editor.setGlyph(bytesOf(start));
    QSignalSpy spy(&editor, &GlyphEditor::edited);
    play(editor, script);
    QCOMPARE(editor.glyph(), bytesOf(result));
    QCOMPARE(spy.count(), edits);
  }

  // One lit pixel at the top left of glyph 0, glyph 1 selected.
  void painting_data() {
    QTest::addColumn<bool>("editor");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("colour");
    const QColor background(24, 24, 40);
    QTest::newRow("page grid") << false << QPoint(0, 17) << QColor(60, 60, 90);
    QTest::newRow("page dot") << false << QPoint(5, 3) << QColor(Qt::white);
    QTest::newRow("page beside dot") << false << QPoint(6, 3) << background;
    QTest::newRow("page highlight") << false << QPoint(31, 28) << QColor(70, 70, 130);
    QTest::newRow("editor grid") << true << QPoint(224, 100) << QColor(70, 70, 100);
    QTest::newRow("editor pixel") << true << QPoint(27, 27) << QColor(Qt::white);
  }
  void painting() {
    QFETCH(bool, editor);
    QFETCH(QPoint, at);
    QFETCH(QColor, colour);
    GlyphPage page;
    page.setGlyphs({tbp::Bytes{0x80}, tbp::Bytes(8, 0)});
    page.setSelected(1);
    page.resize(page.sizeHint().width(), 60);
    GlyphEditor magnifier;
    magnifier.setGlyph({0x80});
    const QImage image = (editor ? magnifier.grab() : page.grab()).toImage();
    QCOMPARE(image.pixelColor(at), colour);
  }
};

QTEST_MAIN(GlyphWidgetsTest)
#include "glyph_widgets_test.moc"
