#include "pages/glyph_widgets.h"

#include <cmath>
#include <optional>

#include <QColor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kGlyphSide = 8;  // pixels per row and rows per glyph
constexpr int kGlyphBytes = 8;
constexpr std::uint8_t kLeftmostPixel = 0x80;

// GlyphPage: 16 glyphs per row in 30-pixel cells, each pixel a 3 x 3 square, the glyph 3 pixels
// in from its cell's top-left corner.
constexpr int kPageColumns = 16;
constexpr int kPageCell = 30;
constexpr int kPageDot = 3;
constexpr int kPageMargin = 3;
constexpr int kPageWidth = kPageColumns * kPageCell + 1;  // with the closing grid line

// GlyphEditor: 8 x 8 cells of 28 pixels, so the grid spans 0 to 224.
constexpr int kEditorCell = 28;
constexpr int kEditorGrid = kGlyphSide * kEditorCell;
constexpr int kEditorSize = kEditorGrid + 1;

constexpr QColor kBackground(24, 24, 40);
constexpr QColor kPageGrid(60, 60, 90);
constexpr QColor kPageHighlight(70, 70, 130);
constexpr QColor kEditorGridColour(70, 70, 100);
constexpr QColor kInk(255, 255, 255);
// The keyboard focus: the selected cell of the page, the cursor pixel of the editor.
constexpr QColor kFocus(255, 190, 60);

bool bitSet(const tbp::Bytes& glyph, int row, int column) {
  return row < int(glyph.size()) && (glyph[row] & (kLeftmostPixel >> column)) != 0;
}

// A two-pixel outline just inside rect, drawn only while the widget has the keyboard focus.
void drawFocusOutline(QPainter& painter, const QRect& rect) {
  painter.setPen(kFocus);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(1, 1, -2, -2));
  painter.drawRect(rect.adjusted(2, 2, -3, -3));
}

// The editor pixel under a mouse position: rounded to the nearest point (halves away from zero),
// inside the grid from 0 to 223 on both axes.
std::optional<QPoint> editorPixelAt(QPointF position) {
  const long x = std::lround(position.x());
  const long y = std::lround(position.y());
  if (x < 0 || y < 0 || x >= kEditorGrid || y >= kEditorGrid) return std::nullopt;
  return QPoint(int(x / kEditorCell), int(y / kEditorCell));
}

// The step an arrow key asks for, as a column and row difference.
std::optional<QPoint> arrowMove(int key) {
  switch (key) {
    case Qt::Key_Left:
      return QPoint(-1, 0);
    case Qt::Key_Right:
      return QPoint(1, 0);
    case Qt::Key_Up:
      return QPoint(0, -1);
    case Qt::Key_Down:
      return QPoint(0, 1);
    default:
      return std::nullopt;
  }
}

}  // namespace

GlyphPage::GlyphPage(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }

void GlyphPage::setGlyphs(const std::vector<tbp::Bytes>& replacement) {
  glyphs = replacement;
  if (selectedIndex >= int(glyphs.size())) selectedIndex = 0;
  updateGeometry();
  update();
}

void GlyphPage::setSelected(int index) {
  selectedIndex = index;
  update();
}

QRect GlyphPage::cellRect(int index) const {
  return QRect((index % kPageColumns) * kPageCell, (index / kPageColumns) * kPageCell, kPageCell,
               kPageCell);
}

int GlyphPage::rowCount() const { return (int(glyphs.size()) + kPageColumns - 1) / kPageColumns; }

QSize GlyphPage::sizeHint() const { return QSize(kPageWidth, kPageCell * rowCount() + 1); }

void GlyphPage::pick(int index) {
  selectedIndex = index;
  update();
  emit picked(index);
}

void GlyphPage::mousePressEvent(QMouseEvent* event) {
  const double x = event->position().x();
  const double y = event->position().y();
  if (x < 0 || y < 0) return;
  const int column = int(x) / kPageCell;
  const int row = int(y) / kPageCell;
  if (column >= kPageColumns) return;  // the closing grid line at x = 480
  const int index = row * kPageColumns + column;
  if (index < int(glyphs.size())) pick(index);
}

void GlyphPage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Background.
  painter.fillRect(rect(), kBackground);
  // Each glyph in its cell, the selected cell highlighted behind it.
  for (int index = 0; index < int(glyphs.size()); ++index) {
    const QRect cell = cellRect(index);
    if (index == selectedIndex) painter.fillRect(cell, kPageHighlight);
    for (int row = 0; row < kGlyphSide; ++row)
      for (int column = 0; column < kGlyphSide; ++column)
        if (bitSet(glyphs[index], row, column))
          painter.fillRect(cell.x() + kPageMargin + kPageDot * column,
                           cell.y() + kPageMargin + kPageDot * row, kPageDot, kPageDot, kInk);
  }
  // Grid: 17 vertical lines over the whole height, one horizontal line per row boundary.
  painter.setPen(kPageGrid);
  for (int column = 0; column <= kPageColumns; ++column)
    painter.drawLine(column * kPageCell, 0, column * kPageCell, height());
  for (int row = 0; row <= rowCount(); ++row)
    painter.drawLine(0, row * kPageCell, width(), row * kPageCell);
  // Keyboard focus on the selected glyph.
  if (hasFocus() && selectedIndex < int(glyphs.size()))
    drawFocusOutline(painter, cellRect(selectedIndex));
}

// Left and Right step through the glyphs in reading order, Up and Down by a whole row; each move
// picks the glyph it lands on, as a click would, so the editor always shows the selection.
void GlyphPage::keyPressEvent(QKeyEvent* event) {
  const std::optional<QPoint> move = arrowMove(event->key());
  if (!move) {
    QWidget::keyPressEvent(event);
    return;
  }
  const int target = selectedIndex + move->x() + move->y() * kPageColumns;
  if (target >= 0 && target < int(glyphs.size())) pick(target);
}

GlyphEditor::GlyphEditor(QWidget* parent) : QWidget(parent), rows(kGlyphBytes, 0) {
  setFixedSize(kEditorSize, kEditorSize);
  setFocusPolicy(Qt::StrongFocus);
}

void GlyphEditor::setGlyph(const tbp::Bytes& replacement) {
  rows = replacement;
  rows.resize(kGlyphBytes, 0);
  update();
}

bool GlyphEditor::lit(QPoint pixel) const { return bitSet(rows, pixel.y(), pixel.x()); }

// Only a real change repaints and reports, so a stroke over pixels that already have the
// stroke's state emits nothing.
void GlyphEditor::setPixel(QPoint pixel, bool on) {
  std::uint8_t& row = rows[pixel.y()];
  const std::uint8_t mask = kLeftmostPixel >> pixel.x();
  const std::uint8_t changed = on ? row | mask : row & ~mask;
  if (changed == row) return;
  row = changed;
  update();
  emit edited();
}

void GlyphEditor::mousePressEvent(QMouseEvent* event) {
  const std::optional<QPoint> pixel = editorPixelAt(event->position());
  if (!pixel) return;
  drawing = !lit(*pixel);
  cursor = *pixel;
  ++strokes;
  setPixel(*pixel, drawing);
  update();  // the keyboard cursor follows the press
}

// The stroke keeps the mode of its press; outside the grid it pauses and goes on on return.
void GlyphEditor::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  if (const std::optional<QPoint> pixel = editorPixelAt(event->position()))
    setPixel(*pixel, drawing);
}

void GlyphEditor::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // Background.
  painter.fillRect(rect(), kBackground);
  // Lit pixels as whole cells.
  for (int row = 0; row < kGlyphSide; ++row)
    for (int column = 0; column < kGlyphSide; ++column)
      if (bitSet(rows, row, column))
        painter.fillRect(column * kEditorCell, row * kEditorCell, kEditorCell, kEditorCell, kInk);
  // Grid: nine lines each way from 0 to 224.
  painter.setPen(kEditorGridColour);
  for (int line = 0; line <= kGlyphSide; ++line) {
    painter.drawLine(line * kEditorCell, 0, line * kEditorCell, kEditorGrid);
    painter.drawLine(0, line * kEditorCell, kEditorGrid, line * kEditorCell);
  }
  // Keyboard cursor.
  if (hasFocus())
    drawFocusOutline(painter, QRect(cursor.x() * kEditorCell, cursor.y() * kEditorCell,
                                    kEditorCell + 1, kEditorCell + 1));
}

// The arrow keys move the cursor, stopping at the edges; Space toggles the pixel under it.
void GlyphEditor::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    ++strokes;
    setPixel(cursor, !lit(cursor));
    return;
  }
  const std::optional<QPoint> move = arrowMove(event->key());
  if (!move) {
    QWidget::keyPressEvent(event);
    return;
  }
  const QPoint target = cursor + *move;
  if (target.x() < 0 || target.y() < 0 || target.x() >= kGlyphSide || target.y() >= kGlyphSide)
    return;
  cursor = target;
  update();
}
