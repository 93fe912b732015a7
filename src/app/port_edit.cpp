#include "app/port_edit.h"

#include <exception>
#include <utility>

#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>

#include "app/main_window.h"
#include "app/status_errors.h"
#include "pages/pages.h"

namespace {

// The id QUndoStack compares before it asks to merge; the merge key then decides.
constexpr int kMergeableEdit = 1;

}  // namespace

PortEditCommand::PortEditCommand(MainWindow& window, const QString& label, tbp::ImageDelta delta,
                                 const PageChoices& before, const PageChoices& after,
                                 const QString& mergeKey)
    : QUndoCommand(label), window(window), delta(std::move(delta)), mergeKey(mergeKey) {
  if (before != after) {
    choicesBefore = before;
    choicesAfter = after;
  }
}

void PortEditCommand::undo() { apply(delta.before, choicesBefore); }

void PortEditCommand::redo() {
  if (!pushed) {
    pushed = true;
    return;
  }
  apply(delta.after, choicesAfter);
}

int PortEditCommand::id() const { return mergeKey.isEmpty() ? -1 : kMergeableEdit; }

bool PortEditCommand::mergeWith(const QUndoCommand* other) {
  const auto* later = dynamic_cast<const PortEditCommand*>(other);
  if (!later || later->mergeKey != mergeKey) return false;
  if (!tbp::mergeDeltas(delta, later->delta)) return false;
  if (later->choicesAfter) {
    if (!choicesBefore) choicesBefore = later->choicesBefore;
    choicesAfter = later->choicesAfter;
  }
  return true;
}

void PortEditCommand::apply(const tbp::ImageSide& side, const std::optional<PageChoices>& choices) {
  tbp::applySide(window.portImage.bytes(), side);
  if (choices) window.setPageChoices(*choices);
  window.showEditedPort();
}

// Runs the edit and records what it changed as one step. An edit that throws leaves the port
// and the choices as they were, so a refused change never half-applies.
void MainWindow::editPort(const QString& label, const std::function<void()>& edit,
                          const QString& mergeKey) {
  // Without a port there is nothing to save or to undo: a choice made then (the ROM size on
  // the greyed-out Output page) simply holds for the port to come.
  if (!portImage.isPort()) {
    edit();
    return;
  }
  const tbp::Bytes before = portImage.bytes();
  const PageChoices choicesBefore = pageChoices();
  try {
    edit();
  } catch (...) {
    portImage.bytes() = before;
    setPageChoices(choicesBefore);
    throw;
  }
  tbp::ImageDelta delta = tbp::diffImages(before, portImage.bytes());
  const PageChoices choicesAfter = pageChoices();
  if (delta.empty() && choicesAfter == choicesBefore) return;
  undoStack->push(new PortEditCommand(*this, label, std::move(delta), choicesBefore,
                                      choicesAfter, mergeKey));
}

PageChoices MainWindow::pageChoices() const { return PageChoices{musicChoices, romSize}; }

void MainWindow::setPageChoices(const PageChoices& choices) {
  musicChoices = choices.music;
  romSize = choices.romSize;
}

// Every view of the port: the option pages, the glyph grid and editor, the song list, the Game
// Genie results and, when it is on screen, the information page.
void MainWindow::showEditedPort() {
  refreshPages();
  tbp::runReportingErrors(*statusBar(), [this] {
    showFont();
    showPickedGlyph(*this);
  });
  rebuildMusicList();
  tbp::runReportingErrors(*statusBar(), [this] { checkCodes(); });
  if (tabs->currentWidget() == infoPage)
    tbp::runReportingErrors(*statusBar(), [this] { renderInfoPage(); });
}
