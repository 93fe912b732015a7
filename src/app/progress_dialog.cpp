#include "app/progress_dialog.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Wide enough for "Converting track 12 of 20: " and a file name of common length; longer names
// are shortened in the middle so the dialog never jumps in size.
constexpr int kLabelWidth = 440;

const QString kStoppingText = QStringLiteral("Stopping: the tracks being converted are dropped...");

// The bar counts hundredths of a step, so that it moves within a long track.
constexpr int kBarScale = 100;

}  // namespace

ProgressDialog::ProgressDialog(QWidget* parent, const QString& title, int steps) : QDialog(parent) {
  setWindowTitle(title);
  setWindowModality(Qt::ApplicationModal);
  label = new QLabel;
  label->setTextFormat(Qt::PlainText);
  label->setFixedWidth(kLabelWidth);
  bar = new QProgressBar;
  bar->setRange(0, steps * kBarScale);
  bar->setValue(0);
  cancelButton = new QPushButton(QStringLiteral("Cancel"));
  connect(cancelButton, &QPushButton::clicked, this, &ProgressDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(bar);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  show();
}

void ProgressDialog::update(const QString& text, int done) {
  bar->setValue(std::max(bar->value(), done * kBarScale));
  if (!stopping) showLabel(text);
}

// The bar never goes back, whichever report comes first.
void ProgressDialog::partial(double doneSteps) {
  bar->setValue(std::max(bar->value(), int(doneSteps * kBarScale)));
}

void ProgressDialog::reject() {
  if (stopping) return;
  stopping = true;
  cancelButton->setEnabled(false);
  showLabel(kStoppingText);
}

void ProgressDialog::showLabel(const QString& text) {
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, kLabelWidth));
  label->setToolTip(text);
}
