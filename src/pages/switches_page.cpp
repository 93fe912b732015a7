#include <array>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/status_errors.h"
#include "formats/json.h"
#include "pages/pages.h"
#include "pages/refreshing_scope.h"
#include "pages/tab_order.h"
#include "port/game_genie.h"
#include "port/port_image.h"
#include "reference/engine_reference.h"

namespace {

constexpr int kCheckDelayMs = 500;
constexpr int kCodeBoxHeight = 70;
constexpr int kPaletteSlots = 8;
using tbp::kChipTypes;
constexpr int kFastRomBit = 0;
using tbp::kChipNone;
constexpr std::size_t kMebibyte = 1048576;

// The group boxes, in grid order: two per row.
constexpr std::array<const char*, 4> kGroups = {"Controls", "Extras", "Accuracy", "System"};
constexpr int kGroupsPerRow = 2;
// The splash switches live on the Splash & Sound page.
const QString kSplashGroup = QStringLiteral("Splash");

const QString kReferenceText = QStringLiteral("Utility functions && engine reference...");
const QString kReferenceTip = QStringLiteral(
    "Every utility-library call (id, parameters, results, what it does), plus the engine "
    "reference for hack code: trampolines, saves (.srm files), text and the overlay, the hack "
    "registry, the memory map, the ROM layout, chords, splash screens, MSU-1, palette tables "
    "and the coprocessor chips.");
const QString kCodeTitle = QStringLiteral("<b>Game Genie codes</b> (NES; one per line):");
const QString kCodePlaceholder = QStringLiteral("e.g. SXIOPO   (6 or 8 letters)");
const QString kCodeTip = QStringLiteral(
    "NES Game Genie codes. They are written into the port's copies of the NES program when you "
    "save the ROM or create a BPS, so they work on real hardware without a cheat device.\n"
    "8-letter codes only patch where the original byte matches (like a real Game Genie). A code "
    "that lands on a spot the port itself changed is not applied (and is reported).");
const QString kNoNes = QStringLiteral("No NES ROM to match the codes against (open the NES ROM).");
const QString kPaletteTip =
    QStringLiteral("Which of the ROM's 8 NES-to-SNES colour tables the game uses.");
const QStringList kChipTipLines = {
    "For romhacking. Writes a coprocessor cartridge header (SuperFX or SA-1) so the ROM",
    "starts on that board (FXPak Pro, emulators); loaders without the core won't start it.",
    "",
    "SA-1: a second 10.7 MHz 65816. On builds with the SA-1 kit (library v4 and up) the port",
    "runs a small helper on it at power-on: utility-library calls 83-90 (Utility functions & "
    "engine reference)",
    "hand it work, and SA1_CALL runs your own code there. Older builds park it (STP) until a",
    "romhacker's own code drives it. Saves (the .srm file) work on SA-1 too: from BUF141 the",
    "port keeps them in the SA-1's BW-RAM.",
    "",
    "It does NOT make the game faster: the port has no SuperFX code. The chip only does",
    "work when a romhacker's own code runs on it.",
    "",
    "LoROM details: SuperFX carts are LoROM (map $20), like the port, so nothing moves.",
    "They are SlowROM (FastROM is switched off), reach 1 MB (GSU-1) or 2 MB (GSU-2) of ROM,",
    "put the chip's registers at $3000-$34FF and its 32 KB RAM at $70:0000 (the save",
    "container lives there), and the CPU can't read ROM while the chip runs (run from WRAM).",
    "MHz = the real chip's clock (GSU-1 10.7, GSU-2 21.4). The FXPak and emulators use one",
    "SuperFX core for every revision: the FXPak runs it at the speed set in its menu, bsnes at "
    "21.4 MHz."};
const QString kChipNote = QStringLiteral(
    "For romhacking: a SuperFX or SA-1 chip doesn't make the game faster by itself. It only "
    "helps when a romhack's own code uses it (on SA-1, through utility functions 83-90). "
    "FXPak Pro / emulators only.");
const QString kChipStatus = QStringLiteral(
    "%1: cartridge header written, FastROM off, %2 MB max. For FXPak Pro / emulators.");

using GroupLayouts = std::map<QString, QVBoxLayout*>;

QLabel* grayLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: gray"));
  return label;
}

// A switch the port refuses (FastROM under a chip) is shown in a box, and the page is redrawn
// so that the check box shows the port's real state again.
void onSwitchToggled(MainWindow& window, int bit, bool on) {
  if (window.refreshing) return;
  try {
    window.editPort(on ? QStringLiteral("Switch on") : QStringLiteral("Switch off"),
                    [&] { window.portImage.setSwitch(bit, on); });
  } catch (const std::exception& error) {
    window.prompts().warning(QStringLiteral("Not possible"), QString::fromUtf8(error.what()));
    window.refreshPages();
  }
}

void onChipChosen(MainWindow& window, int index) {
  if (window.refreshing) return;
  try {
    // A size the chip rules out falls back within the same step, so undo restores both.
    window.editPort(QStringLiteral("Chip"), [&] {
      window.portImage.setChip(window.chipCombo->itemData(index).toInt());
      const RefreshingScope guard(window.refreshing);
      refreshOutputPage(window);
    });
    const int chip = window.portImage.chip();
    if (chip != kChipNone)
      window.statusBar()->showMessage(kChipStatus.arg(QString::fromStdString(tbp::chipName(chip)))
                                          .arg(tbp::chipRomReach(chip) / kMebibyte),
                                      tbp::kNoteTimeoutMs);
  } catch (const std::exception& error) {
    window.prompts().warning(QStringLiteral("Chip"), QString::fromUtf8(error.what()));
  }
  // After a refusal the combo returns to the port's actual chip.
  window.refreshPages();
}

void addSwitchBoxes(MainWindow& window, const GroupLayouts& groups) {
  for (const tbp::SwitchInfo& row : tbp::switchTable()) {
    const QString group = QString::fromUtf8(row.group);
    if (group != kSplashGroup) groups.at(group)->addWidget(makeSwitchBox(window, row));
  }
}

// The engine reference button and the Game Genie box, below the switches of "Extras". The
// browser reads the port's manifest text each time it opens, so it follows the current port.
void addCodeBox(MainWindow& window, QVBoxLayout& extras) {
  window.referenceButton = new QPushButton(kReferenceText);
  window.referenceButton->setToolTip(kReferenceTip);
  QObject::connect(window.referenceButton, &QPushButton::clicked, &window, [&window] {
    tbp::openEngineReference(&window, QString::fromStdString(window.portImage.manifestText()));
  });
  extras.addWidget(window.referenceButton);
  extras.addWidget(new QLabel(kCodeTitle));

  window.codeBox = new QPlainTextEdit;
  window.codeBox->setPlaceholderText(kCodePlaceholder);
  window.codeBox->setFixedHeight(kCodeBoxHeight);
  window.codeBox->setToolTip(kCodeTip);
  // Tab leaves the box instead of typing a tab, which no code can contain.
  window.codeBox->setTabChangesFocus(true);
  extras.addWidget(window.codeBox);

  window.codeResult = grayLabel(QString());
  window.codeResult->setTextFormat(Qt::RichText);
  extras.addWidget(window.codeResult);

  window.codeTimer = new QTimer(&window);
  window.codeTimer->setSingleShot(true);
  window.codeTimer->setInterval(kCheckDelayMs);
  QObject::connect(window.codeBox, &QPlainTextEdit::textChanged, window.codeTimer,
                   qOverload<>(&QTimer::start));
  QObject::connect(window.codeTimer, &QTimer::timeout, &window,
                   [&window] { runPageHandler(window, [&] { window.checkCodes(); }); });
}

QComboBox* makePaletteCombo() {
  auto* combo = new QComboBox;
  combo->addItem(QStringLiteral("Slot 0 (canonical)"));
  for (int slot = 1; slot < kPaletteSlots; ++slot)
    combo->addItem(QStringLiteral("Slot %1").arg(slot));
  combo->setToolTip(kPaletteTip);
  return combo;
}

QComboBox* makeChipCombo() {
  auto* combo = new QComboBox;
  combo->addItem(QString::fromStdString(tbp::chipName(kChipNone)), kChipNone);
  for (int type = 1; type < kChipTypes; ++type)
    combo->addItem(QStringLiteral("%1 \u2014 %2 MHz")
                       .arg(QString::fromStdString(tbp::chipName(type)))
                       .arg(tbp::chipClockMhz(type), 0, 'f', 1),
                   type);
  combo->setToolTip(kChipTipLines.join(QLatin1Char('\n')));
  return combo;
}

QHBoxLayout* labelledRow(QLabel* label, QWidget* field) {
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(field);
  row->addStretch();
  return row;
}

// The palette slot and the coprocessor chip, below the FastROM switch in "System".
void addSystemChoices(MainWindow& window, QVBoxLayout& system) {
  window.paletteCombo = makePaletteCombo();
  system.addLayout(labelledRow(new QLabel(QStringLiteral("NES palette:")), window.paletteCombo));
  window.chipLabel = new QLabel(QStringLiteral("Chip:"));
  window.chipCombo = makeChipCombo();
  system.addLayout(labelledRow(window.chipLabel, window.chipCombo));
  system.addWidget(grayLabel(kChipNote));

  QObject::connect(window.paletteCombo, &QComboBox::currentIndexChanged, &window,
                   [&window](int index) {
                     runPageHandler(window, [&] {
                       if (!window.refreshing)
                         window.editPort(QStringLiteral("NES palette"),
                                         [&] { window.portImage.setPaletteSlot(index); });
                     });
                   });
  QObject::connect(
      window.chipCombo, &QComboBox::currentIndexChanged, &window,
      [&window](int index) { runPageHandler(window, [&] { onChipChosen(window, index); }); });
}

// A switch's note from the manifest's "flags" object: the first member, in name order, whose
// name contains the switch key and whose value is a text. Empty when there is none.
std::string switchNote(const tbp::JsonValue& flags, const std::string& key) {
  for (const auto& [name, value] : flags.members())
    if (name.find(key) != std::string::npos && value.kind() == tbp::JsonKind::String)
      return value.text();
  return {};
}

// The manifest's "flags" object; a null value when the text is not one JSON value.
tbp::JsonValue manifestFlags(const std::string& manifest) {
  try {
    return tbp::parseJson(manifest).get("flags");
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

QCheckBox* makeSwitchBox(MainWindow& window, const tbp::SwitchInfo& row) {
  auto* box = new QCheckBox(QString::fromUtf8(row.label));
  box->setToolTip(QString::fromUtf8(row.tooltip));
  window.switchBoxes[row.bit] = box;
  const int bit = row.bit;
  QObject::connect(box, &QCheckBox::toggled, &window, [&window, bit](bool on) {
    runPageHandler(window, [&] { onSwitchToggled(window, bit, on); });
  });
  return box;
}

QWidget* buildSwitchesPage(MainWindow& window) {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  GroupLayouts groups;
  for (std::size_t index = 0; index < kGroups.size(); ++index) {
    auto* box = new QGroupBox(QString::fromUtf8(kGroups[index]));
    groups[box->title()] = new QVBoxLayout(box);
    grid->addWidget(box, int(index) / kGroupsPerRow, int(index) % kGroupsPerRow);
  }
  addSwitchBoxes(window, groups);
  addCodeBox(window, *groups.at(QStringLiteral("Extras")));
  addSystemChoices(window, *groups.at(QStringLiteral("System")));
  for (const auto& [name, layout] : groups) layout->addStretch();
  chainTabOrder(*grid);
  return page;
}

void refreshSwitchesPage(MainWindow& window) {
  const tbp::PortImage& image = window.portImage;
  const std::uint32_t flags = image.flags();
  for (const auto& [bit, box] : window.switchBoxes) box->setChecked(((flags >> bit) & 1u) != 0);
  window.paletteCombo->setCurrentIndex(image.paletteSlot());
  const int chip = image.chip();
  window.chipCombo->setCurrentIndex(window.chipCombo->findData(chip));
  window.chipCombo->setEnabled(image.hasConfig());
  if (const auto fastRom = window.switchBoxes.find(kFastRomBit);
      fastRom != window.switchBoxes.end())
    fastRom->second->setEnabled(chip == kChipNone);
}

void showSwitchNotes(MainWindow& window) {
  const tbp::JsonValue flags = manifestFlags(window.portImage.manifestText());
  for (const tbp::SwitchInfo& row : tbp::switchTable()) {
    const auto box = window.switchBoxes.find(row.bit);
    if (box == window.switchBoxes.end()) continue;
    const QString tip = QString::fromUtf8(row.tooltip);
    const std::string note = switchNote(flags, row.key);
    box->second->setToolTip(
        note.empty()
            ? tip
            : QStringLiteral("%1\n\nROM notes: %2").arg(tip, QString::fromStdString(note)));
  }
}

void showSupportedSwitches(MainWindow& window) {
  for (const auto& [bit, box] : window.switchBoxes)
    box->setVisible(window.portImage.supportsSwitch(bit));
}

std::vector<std::string> typedCodes(const MainWindow& window) {
  if (!window.codeBox) return {};
  return tbp::splitGameGenieCodes(window.codeBox->toPlainText().toUtf8().toStdString());
}

// Checks the typed codes on a scratch copy of the port: the window's image is changed only
// by saving, through finalImage.
void MainWindow::checkCodes() {
  if (!portImage.isPort()) return;
  const std::vector<std::string> codes = typedCodes(*this);
  if (codes.empty()) {
    codeResult->clear();
    return;
  }
  const tbp::Bytes nes = codeNes();
  if (nes.empty()) {
    codeResult->setText(kNoNes);
    return;
  }
  tbp::PortImage scratch = portImage;
  QStringList lines;
  for (const tbp::GameGenieResult& result : tbp::applyGameGenie(scratch, nes, codes))
    lines << QStringLiteral("%1 %2: %3")
                 .arg(result.patched != 0 ? QStringLiteral("\u2714") : QStringLiteral("\u2716"),
                      QString::fromStdString(result.code), QString::fromStdString(result.report))
                 .toHtmlEscaped();
  codeResult->setText(lines.join(QStringLiteral("<br>")));
}

tbp::Bytes MainWindow::codeNes() const {
  if (!nesRomBytes.empty()) return nesRomBytes;
  if (!nesFileBytes.empty()) return nesFileBytes;
  return portImage.embeddedNes();
}
