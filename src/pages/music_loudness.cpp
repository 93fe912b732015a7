#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>

#include "app/main_window.h"
#include "pages/music_tools.h"

namespace {

const QString kMatchKey = QStringLiteral("music/matchLoudness");
const QString kTargetKey = QStringLiteral("music/loudnessTarget");
constexpr double kLowestTarget = -40;
constexpr double kHighestTarget = -6;

QString signedDecibels(double value) {
  return (value >= 0.05 ? QStringLiteral("+") : QString()) + QString::number(value, 'f', 1);
}

void saveLoudnessSettings(const MusicTools& tools) {
  QSettings settings;
  settings.setValue(kMatchKey, tools.matchLoudness);
  settings.setValue(kTargetKey, tools.loudnessTarget);
}

void readLoudnessSettings(MusicTools& tools) {
  const QSettings settings;
  tools.matchLoudness = settings.value(kMatchKey, false).toBool();
  tools.loudnessTarget = std::clamp(settings.value(kTargetKey, -20.0).toDouble(), kLowestTarget,
                                    kHighestTarget);
}

}  // namespace

TrackDetails* MusicTools::detailsOf(int song, const MusicChoice& choice) {
  const auto found = details.find(song);
  return found != details.end() && found->second.path == choice.path ? &found->second : nullptr;
}

MusicTools& musicTools(MainWindow& window) {
  auto* tools = window.findChild<MusicTools*>(QString(), Qt::FindDirectChildrenOnly);
  if (!tools) {
    tools = new MusicTools(&window);
    readLoudnessSettings(*tools);
  }
  return *tools;
}

const MusicTools& musicTools(const MainWindow& window) {
  // The state is made on first use, whoever asks first.
  return musicTools(const_cast<MainWindow&>(window));
}

void describeAudio(MainWindow& window, int song, const QString& path,
                   const tbp::DecodedAudio& audio) {
  TrackDetails details;
  details.path = path;
  details.peaks = tbp::summarizePeaks(audio);
  const tbp::LoudnessMeasure measure = tbp::measureLoudness(audio);
  details.loudness = measure.integratedLufs;
  details.peak = measure.peak;
  musicTools(window).details[song] = std::move(details);
}

tbp::TrackShaping trackShaping(const MainWindow& window, int song, const MusicChoice& choice) {
  const MusicTools& tools = musicTools(window);
  tbp::TrackShaping shaping;
  if (tools.matchLoudness) shaping.loudnessTarget = tools.loudnessTarget;
  if (const TrackDetails* details = tools.detailsOf(song, choice)) {
    shaping.trimSilence = details->trimSilence;
    shaping.fadeSeconds = choice.loop ? 0 : details->fadeSeconds;
  }
  return shaping;
}

QString loudnessText(const MainWindow& window, int song, const MusicChoice& choice) {
  const MusicTools& tools = musicTools(window);
  const TrackDetails* details = tools.detailsOf(song, choice);
  if (!tools.matchLoudness || !details) return QString();
  if (!std::isfinite(details->loudness)) return QStringLiteral("silent, no gain");
  const double gain =
      tbp::loudnessGain({details->loudness, details->peak}, tools.loudnessTarget);
  const double decibels = 20.0 * std::log10(gain);
  const double wanted = tools.loudnessTarget - details->loudness;
  return QStringLiteral("%1 LUFS, gain %2 dB%3")
      .arg(QString::number(details->loudness, 'f', 1), signedDecibels(decibels),
           decibels < wanted - 0.05 ? QStringLiteral(" (peak-limited)") : QString());
}

QWidget* buildLoudnessBar(MainWindow& window) {
  MusicTools& tools = musicTools(window);
  auto* bar = new QWidget;
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(0, 0, 0, 0);
  tools.matchBox = new QCheckBox(QStringLiteral("Match loudness"));
  tools.matchBox->setChecked(tools.matchLoudness);
  tools.matchBox->setToolTip(
      QStringLiteral("Scale every track to the same integrated loudness (EBU R 128) when it is "
                     "saved, so that songs from different sources play evenly. Peaks stay "
                     "below -1 dBFS."));
  tools.targetBox = new QDoubleSpinBox;
  tools.targetBox->setDecimals(1);
  tools.targetBox->setRange(kLowestTarget, kHighestTarget);
  tools.targetBox->setSingleStep(1);
  tools.targetBox->setSuffix(QStringLiteral(" LUFS"));
  tools.targetBox->setValue(tools.loudnessTarget);
  tools.targetBox->setEnabled(tools.matchLoudness);
  layout->addWidget(tools.matchBox);
  layout->addWidget(tools.targetBox);
  layout->addStretch(1);

  QObject::connect(tools.matchBox, &QCheckBox::toggled, &window, [&window, &tools](bool on) {
    tools.matchLoudness = on;
    tools.targetBox->setEnabled(on);
    saveLoudnessSettings(tools);
    window.rebuildMusicList();
  });
  QObject::connect(tools.targetBox, &QDoubleSpinBox::valueChanged, &window,
                   [&window, &tools](double target) {
                     tools.loudnessTarget = target;
                     saveLoudnessSettings(tools);
                     window.rebuildMusicList();
                   });
  return bar;
}
