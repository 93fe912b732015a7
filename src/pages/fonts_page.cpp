#include <vector>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "pages/glyph_widgets.h"
#include "pages/pages.h"
#include "pages/refreshing_scope.h"

namespace {

// The second symbol page follows font 7 in the list, or ends it when there are fewer fonts.
constexpr int kFontsBeforeSymbols2 = 8;
constexpr int kFirstCharacter = 32;  // font glyph 0 is the blank, ASCII 32
constexpr int kSymbolsPerPage = 128;

const QString kSymbols1 = QStringLiteral("Symbols (codes 0-127)");
const QString kSymbols2 = QStringLiteral("Symbols 2 (codes 128-255)");

const QStringList kHintNames = {QStringLiteral("current row"), QStringLiteral("yellow"),
                                QStringLiteral("red"),         QStringLiteral("green"),
                                QStringLiteral("blue"),        QStringLiteral("cyan"),
                                QStringLiteral("orange"),      QStringLiteral("grey")};

bool isSymbolSet(int set) { return set == tbp::symbolPageA || set == tbp::symbolPageB; }

// The handlers act only on a port with fonts whose combo has a set chosen.
bool hasChosenSet(const MainWindow& window) {
  return window.portImage.hasFonts() && window.fontCombo->currentIndex() >= 0;
}

int chosenSet(const MainWindow& window) { return window.fontCombo->currentData().toInt(); }

void showGlyphs(MainWindow& window, const std::vector<tbp::Bytes>& glyphs) {
  window.glyphPage->setGlyphs(glyphs);
  window.glyphPage->resize(window.glyphPage->sizeHint());
}

QString hexByte(int code) {
  return QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
}

QString titleFor(int set, int glyph) {
  if (isSymbolSet(set)) {
    const int code = set == tbp::symbolPageB ? glyph + kSymbolsPerPage : glyph;
    return QStringLiteral("Symbol %1 (text code $01 $%2)")
        .arg(QString::number(code), hexByte(code));
  }
  const int code = glyph + kFirstCharacter;
  return QStringLiteral("Character '%1' (ASCII $%2)").arg(QChar(code), hexByte(code));
}

void pickGlyph(MainWindow& window, int glyph) {
  if (!hasChosenSet(window)) return;
  const int set = chosenSet(window);
  window.glyphEditor->setGlyph(window.portImage.glyph(set, glyph));
  window.glyphTitle->setText(titleFor(set, glyph));
  const RefreshingScope guard(window.refreshing);
  window.paletteHintCombo->setEnabled(isSymbolSet(set));
  window.paletteHintCombo->setCurrentIndex(
      isSymbolSet(set) ? window.portImage.symbolHint(set, glyph) : 0);
}

// The pixels of one stroke are one undo step.
void writeEditedGlyph(MainWindow& window) {
  if (!hasChosenSet(window)) return;
  const int glyph = window.glyphPage->selected();
  window.editPort(
      QStringLiteral("Draw glyph"),
      [&] { window.portImage.setGlyph(chosenSet(window), glyph, window.glyphEditor->glyph()); },
      QStringLiteral("stroke %1").arg(window.glyphEditor->stroke()));
  window.showFont();
  window.glyphPage->setSelected(glyph);
}

// A font set ignores the hint: the port keeps hints for symbols only.
void storeHint(MainWindow& window, int hint) {
  if (window.refreshing || !hasChosenSet(window)) return;
  window.editPort(QStringLiteral("Palette hint"), [&] {
    window.portImage.setSymbolHint(chosenSet(window), window.glyphPage->selected(), hint);
  });
}

// The set list over the glyph grid, which keeps its own size inside a scroll area.
QLayout* buildSetColumn(MainWindow& window, QScrollArea*& scroll) {
  auto* column = new QVBoxLayout;
  window.fontCombo = new QComboBox;
  column->addWidget(window.fontCombo);
  window.glyphPage = new GlyphPage;
  window.glyphPage->setAccessibleName(QStringLiteral("Glyphs"));
  window.glyphPage->setToolTip(
      QStringLiteral("Click a glyph, or move through them with the arrow keys, to edit it."));
  scroll = new QScrollArea;
  scroll->setWidgetResizable(false);
  scroll->setWidget(window.glyphPage);
  // The grid itself takes the keyboard focus, so Tab goes from the set list straight to it.
  scroll->setFocusPolicy(Qt::NoFocus);
  column->addWidget(scroll, 1);
  return column;
}

// The magnified glyph with its title, the palette hint and the drawing hint.
QLayout* buildEditorColumn(MainWindow& window) {
  auto* column = new QVBoxLayout;
  window.glyphTitle = new QLabel(QStringLiteral("Pick a glyph"));
  column->addWidget(window.glyphTitle);
  window.glyphEditor = new GlyphEditor;
  window.glyphEditor->setAccessibleName(QStringLiteral("Glyph editor"));
  window.glyphEditor->setToolTip(
      QStringLiteral("Arrow keys move the cursor; Space turns the pixel under it on or off."));
  column->addWidget(window.glyphEditor);

  auto* hintRow = new QHBoxLayout;
  auto* hintLabel = new QLabel(QStringLiteral("Palette hint:"));
  window.paletteHintCombo = new QComboBox;
  window.paletteHintCombo->addItems(kHintNames);
  window.paletteHintCombo->setToolTip(
      QStringLiteral("Symbols only: the colour row the symbol is drawn in by default."));
  hintLabel->setBuddy(window.paletteHintCombo);
  hintRow->addWidget(hintLabel);
  hintRow->addWidget(window.paletteHintCombo);
  hintRow->addStretch();
  column->addLayout(hintRow);

  auto* drawingHint =
      new QLabel(QStringLiteral("Click or drag to draw; click a lit pixel to erase."));
  drawingHint->setWordWrap(true);
  drawingHint->setStyleSheet(QStringLiteral("color: gray"));
  column->addWidget(drawingHint);
  column->addStretch();
  return column;
}

void connectFontsPage(MainWindow& window, QScrollArea* scroll) {
  QObject::connect(window.fontCombo, &QComboBox::currentIndexChanged, &window, [&window] {
    if (window.refreshing) return;
    runPageHandler(window, [&window] {
      window.showFont();
      showPickedGlyph(window);
    });
  });
  QObject::connect(window.glyphPage, &GlyphPage::picked, &window, [&window](int glyph) {
    runPageHandler(window, [&window, glyph] { pickGlyph(window, glyph); });
  });
  QObject::connect(window.glyphEditor, &GlyphEditor::edited, &window,
                   [&window] { runPageHandler(window, [&window] { writeEditedGlyph(window); }); });
  QObject::connect(window.paletteHintCombo, &QComboBox::currentIndexChanged, &window,
                   [&window](int hint) {
                     runPageHandler(window, [&window, hint] { storeHint(window, hint); });
                   });
  // A glyph picked from the keyboard may lie below the visible part of the grid.
  QObject::connect(window.glyphPage, &GlyphPage::picked, scroll, [&window, scroll](int glyph) {
    const QPoint centre = window.glyphPage->cellRect(glyph).center();
    scroll->ensureVisible(centre.x(), centre.y());
  });
}

}  // namespace

QWidget* buildFontsPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);
  QScrollArea* scroll = nullptr;
  layout->addLayout(buildSetColumn(window, scroll), 1);
  layout->addLayout(buildEditorColumn(window));
  connectFontsPage(window, scroll);
  return page;
}

// The symbol pages frame the fonts: page A first, page B after font 7 or at the end. The grid of
// the previous port goes with the list, so it is never shown for this one; the selection stays
// for the new set, as with any change of set.
void fillFontCombo(MainWindow& window) {
  const RefreshingScope guard(window.refreshing);
  QComboBox& combo = *window.fontCombo;
  combo.clear();
  const int selected = window.glyphPage->selected();
  showGlyphs(window, {});
  window.glyphPage->setSelected(selected);
  if (!window.portImage.hasFonts()) return;
  const int fonts = window.portImage.fontCount();
  for (int font = 0; font < fonts; ++font) {
    combo.addItem(
        QStringLiteral("Font %1: %2")
            .arg(QString::number(font), QString::fromStdString(window.portImage.fontName(font))),
        font);
    if (font == kFontsBeforeSymbols2 - 1) combo.addItem(kSymbols2, tbp::symbolPageB);
  }
  if (fonts < kFontsBeforeSymbols2) combo.addItem(kSymbols2, tbp::symbolPageB);
  combo.insertItem(0, kSymbols1, tbp::symbolPageA);
  combo.setCurrentIndex(0);
}

void showPickedGlyph(MainWindow& window) {
  if (!hasChosenSet(window)) {
    window.glyphEditor->setGlyph({});
    window.glyphTitle->setText(QStringLiteral("Pick a glyph"));
    const RefreshingScope guard(window.refreshing);
    window.paletteHintCombo->setCurrentIndex(0);
    window.paletteHintCombo->setEnabled(false);
    return;
  }
  pickGlyph(window, window.glyphPage->selected());
}

// The palette hint in use (the pick handler enabled the combo for a symbol) is read back from the
// image, so a newly shown port shows its own hint for the selected symbol. The grid itself is
// redrawn by showFont.
void refreshFontsPage(MainWindow& window) {
  QComboBox& hints = *window.paletteHintCombo;
  if (!hasChosenSet(window) || !hints.isEnabledTo(hints.parentWidget())) return;
  const int set = chosenSet(window);
  if (isSymbolSet(set))
    hints.setCurrentIndex(window.portImage.symbolHint(set, window.glyphPage->selected()));
}

// With no set chosen (a port without fonts, or an index beyond the list) the grid is empty, so it
// never shows glyphs the handlers would not work on.
void MainWindow::showFont() {
  if (!hasChosenSet(*this)) {
    showGlyphs(*this, {});
    return;
  }
  const int set = chosenSet(*this);
  const int count = tbp::glyphsPerFont(set);
  std::vector<tbp::Bytes> glyphs;
  glyphs.reserve(count);
  for (int glyph = 0; glyph < count; ++glyph) glyphs.push_back(portImage.glyph(set, glyph));
  showGlyphs(*this, glyphs);
}
