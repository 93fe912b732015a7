#pragma once

#include <QDialog>

#include "app/prompts.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The real progress display: an application-modal dialog with a label, a bar and Cancel. Cancel,
// Escape and the close button all ask the work to stop; the dialog stays up, saying so, until
// the work has ended and its owner lets it go.
class ProgressDialog final : public QDialog, public Progress {
 public:
  ProgressDialog(QWidget* parent, const QString& title, int steps);

  void update(const QString& label, int done) override;
  void partial(double doneSteps) override;
  bool cancelled() const override { return stopping; }
  void reject() override;

 private:
  void showLabel(const QString& text);

  QLabel* label = nullptr;
  QProgressBar* bar = nullptr;
  QPushButton* cancelButton = nullptr;
  bool stopping = false;
};
