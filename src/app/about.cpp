#include "app/about.h"

#include <algorithm>
#include <memory>

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "branding/banner_view.h"

namespace tbp {

namespace {

constexpr int kLabelWidth = 460;
constexpr int kScreenMargin = 80;
// The box is on screen before the banner starts, so that the stamp is seen from its start.
constexpr int kBannerDelayMs = 300;

#ifndef TBP_VERSION
#define TBP_VERSION "unknown"
#endif

const QString kAboutText = QStringLiteral(
    "<b>TEAM Bexulo Patcher</b> " TBP_VERSION "<br>Builds and configures TEAM Bexulo NES-to-SNES ports."
    "<br><br>Open your own NES ROM, choose the switches, controls, splash and fonts, then save a "
    "SNES ROM or a BPS patch. No ROM data ships with the patcher: each port is a patch against "
    "your NES ROM.<br><br><b>For players <i>and</i> romhackers.</b> The options in TEAM Bexulo "
    "Patcher are not just for changing how a game plays. They are also meant to give romhackers "
    "a solid base of tools from the very start (a documented ROM layout and manifest, a utility "
    "library, fonts and symbols, an on-screen overlay, saves, freeze / frame step and speed "
    "control, MSU-1 music, SA-1, SuperFX headers) so that hacking a game, by hand or with AI, "
    "is easier and faster.");

}  // namespace

int aboutLabelMinimumWidth(int availableScreenWidth) {
  return std::min(kLabelWidth, availableScreenWidth - kScreenMargin);
}

QDialog* buildAboutDialog(QWidget* window) {
  auto* dialog = new QDialog(window);
  dialog->setWindowTitle(QStringLiteral("About TEAM Bexulo Patcher"));
  auto* layout = new QVBoxLayout(dialog);

  auto* banner = new BannerView(dialog, tbp::kAboutBanner.heightFraction, tbp::kAboutBanner.scale);
  banner->setObjectName(QStringLiteral("aboutBanner"));
  layout->addWidget(banner, 0, Qt::AlignHCenter);
  auto* play = new QPushButton(QStringLiteral("▶  Play"));
  play->setToolTip(QStringLiteral("Play the TEAM Bexulo banner and its stamp sound again."));
  QObject::connect(play, &QPushButton::clicked, banner, [banner] { banner->play(true); });
  layout->addWidget(play, 0, Qt::AlignHCenter);
  // Bound to the banner: closing the box before it fires cancels it.
  QTimer::singleShot(kBannerDelayMs, banner, [banner] { banner->play(true); });

  auto* label = new QLabel(kAboutText);
  label->setObjectName(QStringLiteral("aboutText"));
  label->setTextFormat(Qt::RichText);
  label->setWordWrap(true);
  const QScreen* screen = window ? window->screen() : nullptr;
  label->setMinimumWidth(screen ? aboutLabelMinimumWidth(screen->availableGeometry().width())
                                : kLabelWidth);
  layout->addWidget(label);

  auto* ok = new QPushButton(QStringLiteral("OK"));
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
  return dialog;
}

}  // namespace tbp

void MainWindow::about() {
  const std::unique_ptr<QDialog> dialog(tbp::buildAboutDialog(this));
  dialog->exec();
}
