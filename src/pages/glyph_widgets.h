#pragma once

#include <vector>

#include <QWidget>

#include "formats/bytes.h"

// A glyph is 8 bytes, one per pixel row from the top; bit 7 of a row is its leftmost pixel and a
// set bit is a lit pixel. Neither widget knows where the glyphs live: the page that uses them
// hands them bytes and writes edited bytes back itself.

// A whole font or symbol set as a grid of 16 glyphs per row. Clicking a glyph, or moving the
// highlight with the arrow keys, selects it and reports it through picked.
class GlyphPage : public QWidget {
  Q_OBJECT

 public:
  explicit GlyphPage(QWidget* parent = nullptr);

  // Keeps the selection while it is still in range, else selects glyph 0.
  void setGlyphs(const std::vector<tbp::Bytes>& glyphs);
  // Highlights index without emitting picked.
  void setSelected(int index);
  int selected() const { return selectedIndex; }
  // The cell that shows glyph index, in widget coordinates.
  QRect cellRect(int index) const;

  QSize sizeHint() const override;

 signals:
  void picked(int index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void pick(int index);
  int rowCount() const;

  std::vector<tbp::Bytes> glyphs;
  int selectedIndex = 0;
};

// One glyph magnified to 8 x 8 cells. A press on an unlit pixel starts a stroke that only draws,
// a press on a lit pixel one that only erases; dragging with the left button continues it. From
// the keyboard the arrow keys move a cursor and Space toggles the pixel under it.
class GlyphEditor : public QWidget {
  Q_OBJECT

 public:
  explicit GlyphEditor(QWidget* parent = nullptr);

  // Takes the bytes padded with zero rows or cut to exactly 8; emits nothing.
  void setGlyph(const tbp::Bytes& rows);
  const tbp::Bytes& glyph() const { return rows; }
  // Counts the strokes: a mouse press or a Space press starts a new one, so the edits of one
  // stroke share a number and can be undone as one step.
  int stroke() const { return strokes; }

 signals:
  // After every pixel change made by the user.
  void edited();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool lit(QPoint pixel) const;
  void setPixel(QPoint pixel, bool on);

  tbp::Bytes rows;
  bool drawing = true;  // the mode chosen at the last mouse press
  QPoint cursor{0, 0};  // the pixel the keyboard works on: column, row
  int strokes = 0;
};
