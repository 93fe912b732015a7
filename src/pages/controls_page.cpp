#include <array>
#include <cstdint>

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "pages/pages.h"
#include "port/button_map.h"

namespace {

constexpr int kButtons = tbp::snesButtonCount;
constexpr int kRowsPerBlock = 6;
constexpr int kBlockGap = 18;  // pixels between the left and the right block
constexpr int kTurboMin = 2;
constexpr int kTurboMax = 60;
constexpr int kChordMin = 1;
constexpr int kChordMax = 255;
constexpr double kNesFramesPerSecond = 60.0;
// Map bytes from 10 up name no NES action: they show as "(nothing)", whose byte is 0xFF.
constexpr int kFirstUnknownAction = 10;
constexpr int kNothing = 0xFF;
constexpr int kNothingItem = 10;

const QString kChordTip = QStringLiteral("How long freeze / save / load chords must be held.");
const QString kChordNote = QStringLiteral(
    "Engine chords (soft reset, freeze, speed, save / load) always read the raw buttons, so "
    "remapping never breaks them; L+R stay the chord prefix even when used as turbo.");

QString turboRate(int frames) {
  return QStringLiteral("= %1 presses per second").arg(kNesFramesPerSecond / frames, 0, 'f', 1);
}

void onPresetChosen(MainWindow& window, int item) {
  if (window.refreshing || item == 0) return;
  const tbp::ButtonPreset& preset = tbp::buttonPresets().at(std::size_t(item) - 1);
  window.editPort(QStringLiteral("Preset"), [&] {
    for (int button = 0; button < kButtons; ++button)
      window.portImage.setButtonAction(button, preset.map[std::size_t(button)]);
  });
  window.refreshPages();
}

QHBoxLayout* buildPresetRow(MainWindow& window) {
  window.presetCombo = new QComboBox;
  window.presetCombo->addItem(QStringLiteral("(as in this ROM)"));
  for (const tbp::ButtonPreset& preset : tbp::buttonPresets())
    window.presetCombo->addItem(QString::fromUtf8(preset.name));
  QObject::connect(
      window.presetCombo, &QComboBox::currentIndexChanged, &window,
      [&window](int item) { runPageHandler(window, [&] { onPresetChosen(window, item); }); });
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(QStringLiteral("Preset:")));
  row->addWidget(window.presetCombo);
  row->addStretch();
  return row;
}

// Two blocks of six: B to Down on the left, Left to R on the right.
QGridLayout* buildButtonGrid(MainWindow& window) {
  auto* grid = new QGridLayout;
  for (int button = 0; button < kButtons; ++button) {
    auto* combo = new QComboBox;
    for (const tbp::ButtonAction& action : tbp::buttonActions())
      combo->addItem(QString::fromUtf8(action.name), action.value);
    window.buttonCombos[std::size_t(button)] = combo;
    const int column = 2 * (button / kRowsPerBlock);
    auto* label = new QLabel(
        QStringLiteral("SNES %1").arg(QString::fromUtf8(tbp::snesButtonNames()[std::size_t(button)])));
    label->setBuddy(combo);
    if (column > 0) label->setIndent(kBlockGap);
    grid->addWidget(label, button % kRowsPerBlock, column);
    grid->addWidget(combo, button % kRowsPerBlock, column + 1);
    QObject::connect(combo, &QComboBox::currentIndexChanged, &window, [&window, button, combo] {
      runPageHandler(window, [&] {
        if (window.refreshing) return;
        const auto action = static_cast<std::uint8_t>(combo->currentData().toInt());
        window.editPort(QStringLiteral("Button"),
                        [&] { window.portImage.setButtonAction(button, action); });
      });
    });
  }
  // The blocks keep their natural width; the room left goes to the right of them.
  grid->setColumnStretch(2 * (kButtons / kRowsPerBlock), 1);
  return grid;
}

QFormLayout* buildTimings(MainWindow& window) {
  window.turboSpin = new QSpinBox;
  window.turboSpin->setRange(kTurboMin, kTurboMax);
  window.turboSpin->setSuffix(QStringLiteral(" frames"));
  window.turboRateLabel = new QLabel(turboRate(kTurboMin));
  window.chordSpin = new QSpinBox;
  window.chordSpin->setRange(kChordMin, kChordMax);
  window.chordSpin->setSuffix(QStringLiteral(" frames"));
  window.chordSpin->setToolTip(kChordTip);

  QObject::connect(window.turboSpin, &QSpinBox::valueChanged, &window, [&window](int frames) {
    window.turboRateLabel->setText(turboRate(frames));
    runPageHandler(window, [&] {
      if (!window.refreshing)
        window.editPort(
            QStringLiteral("Turbo cycle"), [&] { window.portImage.setTurboCycle(frames); },
            QStringLiteral("turbo"));
    });
  });
  QObject::connect(window.chordSpin, &QSpinBox::valueChanged, &window, [&window](int frames) {
    runPageHandler(window, [&] {
      if (!window.refreshing)
        window.editPort(
            QStringLiteral("Chord hold"), [&] { window.portImage.setChordHold(frames); },
            QStringLiteral("chord"));
    });
  });

  auto* turboRow = new QHBoxLayout;
  turboRow->addWidget(window.turboSpin);
  turboRow->addWidget(window.turboRateLabel);
  turboRow->addStretch();
  auto* chordRow = new QHBoxLayout;
  chordRow->addWidget(window.chordSpin);
  chordRow->addStretch();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Turbo cycle:"), turboRow);
  form->addRow(QStringLiteral("Chord hold:"), chordRow);
  return form;
}

}  // namespace

QWidget* buildControlsPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addLayout(buildPresetRow(window));
  layout->addLayout(buildButtonGrid(window));
  layout->addLayout(buildTimings(window));
  auto* note = new QLabel(kChordNote);
  note->setWordWrap(true);
  note->setStyleSheet(QStringLiteral("color: gray"));
  layout->addWidget(note);
  layout->addStretch();

  return page;
}

void refreshControlsPage(MainWindow& window) {
  for (int button = 0; button < kButtons; ++button) {
    const int action = window.portImage.buttonAction(button);
    QComboBox* combo = window.buttonCombos[std::size_t(button)];
    const int item = combo->findData(action < kFirstUnknownAction ? action : kNothing);
    combo->setCurrentIndex(item >= 0 ? item : kNothingItem);
  }
  window.turboSpin->setValue(window.portImage.turboCycle());
  window.turboRateLabel->setText(turboRate(window.turboSpin->value()));
  window.chordSpin->setValue(window.portImage.chordHold());
}

void enableTimings(MainWindow& window) {
  const bool hasConfig = window.portImage.hasConfig();
  window.turboSpin->setEnabled(hasConfig);
  window.chordSpin->setEnabled(hasConfig);
}
