#include "app/prompts.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/progress_dialog.h"

QtPrompts::QtPrompts(QWidget* parent) : parent(parent) {}

QString QtPrompts::openFile(const QString& caption, const QString& filter,
                            const QString& startDirectory) {
  return QFileDialog::getOpenFileName(parent, caption, startDirectory, filter);
}

QString QtPrompts::saveFile(const QString& caption, const QString& startPath,
                            const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, startPath, filter);
}

namespace {

// A modal box whose texts are shown as plain text: messages carry file names and file contents,
// whose markup must never be interpreted.
QMessageBox::StandardButton runBox(QMessageBox& box) {
  box.setTextFormat(Qt::PlainText);
  return QMessageBox::StandardButton(box.exec());
}

}  // namespace

void QtPrompts::warning(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  runBox(box);
}

void QtPrompts::critical(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
  runBox(box);
}

bool QtPrompts::question(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  return runBox(box) == QMessageBox::Yes;
}

void QtPrompts::wrongRom(const QString& title, const QString& text, const QString& details) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.setInformativeText(details);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The box's own flag reaches only its main text; the report is what the user selects.
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (details.isEmpty() || label->text() != details) continue;
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  // The report lines up digests in columns, so the whole box is monospaced.
  QFont font;
  font.setFamilies({QStringLiteral("Consolas"), QStringLiteral("monospace")});
  font.setStyleHint(QFont::Monospace);
  box.setFont(font);
  QPushButton* copy = box.addButton(QStringLiteral("Copy details"), QMessageBox::ActionRole);
  runBox(box);
  if (box.clickedButton() == copy) QGuiApplication::clipboard()->setText(details);
}

std::unique_ptr<Progress> QtPrompts::progress(const QString& title, int steps) {
  return std::make_unique<ProgressDialog>(parent, title, steps);
}

UnsavedAnswer QtPrompts::unsavedChanges(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (runBox(box)) {
    case QMessageBox::Save:
      return UnsavedAnswer::Save;
    case QMessageBox::Discard:
      return UnsavedAnswer::Discard;
    default:
      return UnsavedAnswer::Cancel;
  }
}
