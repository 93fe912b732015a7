#include "app/prompts.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

QtPrompts::QtPrompts(QWidget* parent) : parent(parent) {}

QString QtPrompts::openFile(const QString& caption, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString QtPrompts::saveFile(const QString& caption, const QString& startPath,
                            const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, startPath, filter);
}

void QtPrompts::warning(const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

void QtPrompts::critical(const QString& title, const QString& text) {
  QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

bool QtPrompts::question(const QString& title, const QString& text) {
  const auto answer = QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                            QMessageBox::NoButton);
  return answer == QMessageBox::Yes;
}

void QtPrompts::wrongRom(const QString& title, const QString& text, const QString& details) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.setInformativeText(details);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The report lines up digests in columns, so the whole box is monospaced.
  QFont font;
  font.setFamilies({QStringLiteral("Consolas"), QStringLiteral("monospace")});
  font.setStyleHint(QFont::Monospace);
  box.setFont(font);
  QPushButton* copy = box.addButton(QStringLiteral("Copy details"), QMessageBox::ActionRole);
  box.exec();
  if (box.clickedButton() == copy) QGuiApplication::clipboard()->setText(details);
}
