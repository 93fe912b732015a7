#include <algorithm>

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "pages/pages.h"

namespace {

// Slot n (1 to 3) is switch bit 23 + n; the sound table counts the slots from 0.
constexpr int kFirstSplashBit = 24;
constexpr int kSlotCount = 3;

const QString kSplashNote = QStringLiteral(
    "Each game ships with its own splash movie; the banner and its stamp sound are shared. "
    "Start skips the splashes.");

// The switch table's row of a splash switch.
const tbp::SwitchInfo& switchRow(int bit) {
  const auto& table = tbp::switchTable();
  return *std::find_if(table.begin(), table.end(), [bit](auto& row) { return row.bit == bit; });
}

// One slot's group box: its switch, its sound label and its "Remove sound" button.
QGroupBox* buildSlot(MainWindow& window, int slot) {
  // The box writes its switch like every other switch box; a splash switch is never refused.
  QCheckBox* box = makeSwitchBox(window, switchRow(kFirstSplashBit + slot));
  auto* sound = new QLabel;
  window.splashSoundLabels[std::size_t(slot)] = sound;
  auto* remove = new QPushButton(QStringLiteral("Remove sound"));
  window.splashRemoveButtons[std::size_t(slot)] = remove;

  auto* group = new QGroupBox(QStringLiteral("Splash slot %1").arg(slot + 1));
  auto* row = new QHBoxLayout(group);
  row->addWidget(box);
  row->addWidget(sound);
  row->addStretch();
  row->addWidget(remove);

  QObject::connect(remove, &QPushButton::clicked, &window, [&window, slot] {
    runPageHandler(window, [&] {
      window.editPort(QStringLiteral("Remove sound"),
                      [&] { window.portImage.clearSplashSound(slot); });
      window.refreshPages();
    });
  });
  return group;
}

}  // namespace

QWidget* buildSplashPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  for (int slot = 0; slot < kSlotCount; ++slot) layout->addWidget(buildSlot(window, slot));
  auto* note = new QLabel(kSplashNote);
  note->setWordWrap(true);
  note->setStyleSheet(QStringLiteral("color: gray"));
  layout->addWidget(note);
  layout->addStretch();
  return page;
}

// The slots' check boxes are refreshed with every other box of switchBoxes.
void refreshSplashPage(MainWindow& window) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    const bool present = window.portImage.splashSoundPresent(slot);
    window.splashSoundLabels[std::size_t(slot)]->setText(present ? QStringLiteral("with sound")
                                                                 : QStringLiteral("no sound"));
    window.splashRemoveButtons[std::size_t(slot)]->setEnabled(present);
  }
}
