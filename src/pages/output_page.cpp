#include <array>
#include <string>
#include <vector>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "build/final_image.h"
#include "pages/pages.h"

namespace {

using tbp::kKilobyte;
using tbp::kChipGsu1;
using tbp::kChipNone;

const QString kOutputNote = QStringLiteral(
    "<b>Note:</b> <i>Apply patch file...</i> at the top works with any BPS or IPS patch and any "
    "ROM. The option pages here (Switches, Controls, Splash &amp; Sound, Fonts &amp; Symbols, "
    "Music) are made for TEAM Bexulo NES-to-SNES ports: the ROM or BPS you save below is the "
    "port with the options you chose.");

std::array<QRadioButton*, 4> sizeButtons(const MainWindow& window) {
  return {window.sizeSmallest, window.sizeAsItIs, window.size2Mb, window.size4Mb};
}

// The ROM size choice: four exclusive radio buttons, "As it is" selected.
QGroupBox* buildSizeGroup(MainWindow& window) {
  auto* group = new QGroupBox(QStringLiteral("ROM size"));
  auto* layout = new QVBoxLayout(group);
  auto* choice = new QButtonGroup(group);
  window.sizeSmallest = new QRadioButton(QStringLiteral("Smallest (no empty space)"));
  window.sizeAsItIs = new QRadioButton(QStringLiteral("As it is"));
  window.size2Mb = new QRadioButton(QStringLiteral("2 MB (room for hacks)"));
  window.size4Mb = new QRadioButton(QStringLiteral("4 MB (largest LoROM)"));
  int index = 0;
  for (QRadioButton* button : sizeButtons(window)) {
    choice->addButton(button, index++);
    layout->addWidget(button);
  }
  window.sizeAsItIs->setChecked(true);
  // The choice is part of what a save writes, so changing it is an undoable step.
  QObject::connect(choice, &QButtonGroup::idToggled, &window, [&window](int id, bool checked) {
    if (window.refreshing || !checked || id == window.romSize) return;
    window.editPort(QStringLiteral("ROM size"), [&] { window.romSize = id; });
  });
  window.sizeLabel = new QLabel;
  window.sizeLabel->setStyleSheet(QStringLiteral("color: gray"));
  layout->addWidget(window.sizeLabel);
  return group;
}

}  // namespace

QWidget* buildOutputPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(buildSizeGroup(window));

  auto* note = new QLabel(kOutputNote);
  note->setTextFormat(Qt::RichText);
  note->setWordWrap(true);
  note->setStyleSheet(QStringLiteral("color: gray; padding: 4px 2px"));
  layout->addWidget(note);

  window.saveButton = new QPushButton(QStringLiteral("Save SNES ROM (.sfc)..."));
  window.bpsButton = new QPushButton(QStringLiteral("Create BPS patch (against the NES ROM)..."));
  window.bpsButton->setToolTip(
      QStringLiteral("A patch anyone can apply to their own copy of the NES ROM to get exactly "
                     "this configuration."));
  QObject::connect(window.saveButton, &QPushButton::clicked, &window, &MainWindow::saveRom);
  QObject::connect(window.bpsButton, &QPushButton::clicked, &window, &MainWindow::savePatch);
  layout->addWidget(window.saveButton);
  layout->addWidget(window.bpsButton);
  layout->addStretch();
  return page;
}

// 4 MB is for ports without a coprocessor; 2 MB is beyond the reach of GSU-1 only. A choice the
// chip rules out falls back to "As it is".
void refreshOutputPage(MainWindow& window) {
  const int chip = window.portImage.chip();
  const bool fourMbPossible = chip == kChipNone;
  const bool twoMbPossible = chip != kChipGsu1;
  window.size4Mb->setEnabled(fourMbPossible);
  window.size2Mb->setEnabled(twoMbPossible);
  const auto buttons = sizeButtons(window);
  if (window.romSize >= 0 && window.romSize < int(buttons.size()))
    buttons[std::size_t(window.romSize)]->setChecked(true);
  // The rule, not isEnabled(): the whole page is disabled while no port is shown.
  if ((window.size4Mb->isChecked() && !fourMbPossible) ||
      (window.size2Mb->isChecked() && !twoMbPossible)) {
    window.sizeAsItIs->setChecked(true);
    window.romSize = 1;
  }
  const std::size_t smallest = tbp::snesRomSize(window.portImage.contentSize());
  window.sizeLabel->setText(QStringLiteral("Now %1 KB; smallest %2 KB")
                                .arg(QString::number(window.portImage.bytes().size() / kKilobyte),
                                     QString::number(smallest / kKilobyte)));
}

tbp::PortImage MainWindow::finalImage() const {
  tbp::RomSizeChoice size = tbp::RomSizeChoice::AsItIs;
  if (sizeSmallest->isChecked())
    size = tbp::RomSizeChoice::Smallest;
  else if (size2Mb->isChecked())
    size = tbp::RomSizeChoice::TwoMegabytes;
  else if (size4Mb->isChecked())
    size = tbp::RomSizeChoice::FourMegabytes;
  // The Game Genie codes of the Switches page go into the copy only: the page shows their
  // results live, the window's own image never carries them.
  const std::vector<std::string> codes = typedCodes(*this);
  return tbp::makeFinalImage(portImage, codes, codes.empty() ? tbp::Bytes() : codeNes(), size);
}
