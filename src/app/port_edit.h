#pragma once

#include <map>
#include <optional>

#include <QString>
#include <QUndoCommand>

#include "pages/music_choice.h"
#include "port/image_delta.h"

class MainWindow;

// What the pages keep beside the port image and an undo step restores with it: the Music
// page's audio choices and the Output page's ROM size choice.
struct PageChoices {
  std::map<int, MusicChoice> music;
  int romSize = 0;
  bool operator==(const PageChoices&) const = default;
};

// One undoable change of the window's port: the image bytes it changed (both sides) and, when
// they changed, the page choices before and after. Pushing it does nothing, since the change has
// been made already; undo and redo write their side back and redraw the pages.
class PortEditCommand final : public QUndoCommand {
 public:
  PortEditCommand(MainWindow& window, const QString& label, tbp::ImageDelta delta,
                  const PageChoices& before, const PageChoices& after, const QString& mergeKey);

  void undo() override;
  void redo() override;
  // Steps with the same non-empty merge key in a row (one glyph stroke, typing in one spin
  // box) become one step.
  int id() const override;
  bool mergeWith(const QUndoCommand* other) override;

 private:
  void apply(const tbp::ImageSide& side, const std::optional<PageChoices>& choices);

  MainWindow& window;
  tbp::ImageDelta delta;
  std::optional<PageChoices> choicesBefore;  // empty when the edit left the choices alone
  std::optional<PageChoices> choicesAfter;
  QString mergeKey;
  bool pushed = false;  // the first redo comes from the push, after the change was made
};
