#include "app/main_window.h"

#include <exception>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include "app/prompts.h"
#include "app/startup.h"
#include "app/status_errors.h"
#include "app/user_settings.h"
#include "branding/shine_icon.h"
#include "info/info_page.h"
#include "pages/pages.h"

namespace {

constexpr int kWindowWidth = 900;
constexpr int kWindowHeight = 680;

const QString kSiteAddress = QStringLiteral("https://teambexulo.github.io/patcher/");
const QString kLinkStyle =
    QStringLiteral("color:#2b7de9; font-weight:bold; font-size:x-large; text-decoration:underline");

QPushButton* makeButton(const QString& text, const QString& toolTip) {
  auto* button = new QPushButton(text);
  button->setToolTip(toolTip);
  return button;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), dialogs(std::make_unique<QtPrompts>(this)) {
  qRegisterMetaType<tbp::Bytes>("tbp::Bytes");
  setWindowTitle(QStringLiteral("TEAM Bexulo Patcher"));
  shineIcon = new ShineIcon(this);
  undoStack = new QUndoStack(this);
  connect(undoStack, &QUndoStack::cleanChanged, this, [this](bool clean) {
    setWindowModified(!clean);
  });
  loadDatabase();
  setCentralWidget(buildFrontPage());
  buildTabs();
  buildMenus();
  setPortEnabled(false);
  setAcceptDrops(true);
  connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
    if (tabs->widget(index) != infoPage) return;
    tbp::runReportingErrors(*statusBar(), [this] { renderInfoPage(); });
  });
  renderInfoPage();
  placeOnScreen();
  statusBar()->showMessage(QStringLiteral("Ready"));
}

MainWindow::~MainWindow() = default;

void MainWindow::setPrompts(std::unique_ptr<Prompts> replacement) {
  dialogs = std::move(replacement);
}

// Takes the first games.json among the candidates next to the program and in the working
// directory. A missing or broken database never stops the window: built ports can still be
// opened without one.
void MainWindow::loadDatabase() {
  const auto path =
      tbp::locateGameDatabase(QCoreApplication::applicationDirPath().toUtf8().toStdString(),
                              QDir::currentPath().toUtf8().toStdString());
  if (!path) return;
  try {
    database = tbp::loadGameDatabase(*path);
    databaseLoaded = true;
  } catch (const std::exception& error) {
    database = tbp::GameDatabase{};
    databaseError = QStringLiteral("%1 could not be read: %2")
                        .arg(QDir::toNativeSeparators(QString::fromStdString(*path)),
                             QString::fromUtf8(error.what()));
  }
}

QString MainWindow::startUpText() const {
  if (databaseLoaded)
    return QStringLiteral("%1 game(s) in the database. Open a NES ROM to begin.")
        .arg(database.games.size());
  if (!databaseError.isEmpty())
    return databaseError + QStringLiteral(" You can still open a built SNES port.");
  return QStringLiteral(
      "No games.json found next to the program: you can still open a built SNES port.");
}

// The button row, the header line and the tabs below them. Each page scrolls on its own, so
// the tab bar and the buttons always stay in view.
QWidget* MainWindow::buildFrontPage() {
  auto* openNesButton =
      makeButton(QStringLiteral("Open NES ROM..."),
                 QStringLiteral("Pick your NES ROM: the patcher recognises the game and builds "
                                "the SNES port from it."));
  auto* openPortButton = makeButton(
      QStringLiteral("Open SNES port..."),
      QStringLiteral("Open an already-built TEAM Bexulo SNES port (.sfc) to change its settings."));
  auto* applyPatchButton =
      makeButton(QStringLiteral("Apply patch file..."),
                 QStringLiteral("Apply any BPS or IPS patch to a ROM and save the result."));
  connect(openNesButton, &QPushButton::clicked, this, &MainWindow::openNes);
  connect(openPortButton, &QPushButton::clicked, this, &MainWindow::openPort);
  connect(applyPatchButton, &QPushButton::clicked, this, &MainWindow::applyPatchFile);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(openNesButton);
  buttonRow->addWidget(openPortButton);
  buttonRow->addWidget(applyPatchButton);
  buttonRow->addStretch();
  buttonRow->addWidget(buildLinkLabel(), 0, Qt::AlignVCenter);

  // The start-up text carries a path and an error message from a file, so it is escaped: the
  // label shows rich text once a port is loaded.
  headerLabel = new QLabel;
  headerLabel->setObjectName(QStringLiteral("headerLabel"));
  headerLabel->setTextFormat(Qt::RichText);
  headerLabel->setWordWrap(true);
  headerLabel->setText(startUpText().toHtmlEscaped());

  tabs = new QTabWidget;

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->addLayout(buttonRow);
  layout->addWidget(headerLabel);
  layout->addWidget(tabs, 1);
  return central;
}

QWidget* MainWindow::buildLinkLabel() {
  auto* link = siteLink = new QLabel(
      QStringLiteral("<a href=\"%1\" style=\"%2\">%1</a>").arg(kSiteAddress, kLinkStyle));
  link->setObjectName(QStringLiteral("siteLink"));
  link->setTextFormat(Qt::RichText);
  link->setOpenExternalLinks(true);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setCursor(Qt::PointingHandCursor);
  // The link never widens the window (a set minimum width overrides the text's): resizeEvent
  // hides it when the row has no room.
  link->setMinimumWidth(1);
  link->setToolTip(
      QStringLiteral("Open %1 in your browser: releases, downloads and the web patcher.")
          .arg(kSiteAddress));
  return link;
}

namespace {

// A page in a frameless scroll area of its own: a page taller or wider than the window
// scrolls inside its tab instead of being squeezed or clipped.
QWidget* scrolling(QWidget* page) {
  auto* scroll = new QScrollArea;
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setWidget(page);
  // Tab goes from control to control; the area scrolls to the focused one by itself.
  scroll->setFocusPolicy(Qt::NoFocus);
  return scroll;
}

}  // namespace

// The information page scrolls in its own browser; every other page gets a scroll area.
void MainWindow::buildTabs() {
  infoPage = buildInfoPage(*this);
  tabs->addTab(infoPage, QStringLiteral("Info"));
  tabs->addTab(scrolling(buildSwitchesPage(*this)), QStringLiteral("Switches"));
  tabs->addTab(scrolling(buildControlsPage(*this)), QStringLiteral("Controls"));
  tabs->addTab(scrolling(buildSplashPage(*this)), QStringLiteral("Splash && Sound"));
  tabs->addTab(scrolling(buildFontsPage(*this)), QStringLiteral("Fonts && Symbols"));
  tabs->addTab(scrolling(buildMusicPage(*this)), QStringLiteral("Music"));
  outputPage = scrolling(buildOutputPage(*this));
  tabs->addTab(outputPage, QStringLiteral("Output"));
}

// The link shows only while the row holds it beside the buttons at their full width: a narrow
// window keeps its buttons readable instead.
void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  QLayout* front = centralWidget() ? centralWidget()->layout() : nullptr;
  QLayout* row = front && front->count() > 0 ? front->itemAt(0)->layout() : nullptr;
  if (!siteLink || !row) return;
  int needed = siteLink->sizeHint().width();
  for (int index = 0; index < row->count(); ++index) {
    QWidget* widget = row->itemAt(index)->widget();
    if (widget && widget != siteLink) needed += widget->sizeHint().width() + row->spacing();
  }
  const QMargins margins = front->contentsMargins();
  siteLink->setVisible(needed + margins.left() + margins.right() <= width());
}

void MainWindow::setPortEnabled(bool loaded) {
  for (int index = 0; index < tabs->count(); ++index) {
    QWidget* page = tabs->widget(index);
    // Enabling a tab also enables its page, so the page's own state is set afterwards.
    tabs->setTabEnabled(index, loaded || page == infoPage || page == outputPage);
    page->setEnabled(loaded || page == infoPage);
  }
  if (bpsButton) bpsButton->setEnabled(loaded);
  if (saveRomAction) saveRomAction->setEnabled(loaded);
  if (savePatchAction) savePatchAction->setEnabled(loaded);
  if (exportSettingsAction) exportSettingsAction->setEnabled(loaded);
  if (importSettingsAction) importSettingsAction->setEnabled(loaded);
}

// The size and position of the last run when there is one, else the default placement.
void MainWindow::placeOnScreen() {
  if (restoreGeometry(tbp::windowGeometry())) return;
  resize(kWindowWidth, kWindowHeight);
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const auto placement = tbp::placeWindow(screen->availableGeometry(), size());
  if (placement.maximised) {
    setGeometry(placement.geometry);
    setWindowState(windowState() | Qt::WindowMaximized);
  } else {
    move(placement.geometry.topLeft());
  }
}

void MainWindow::showError(const QString& message) {
  prompts().critical(QStringLiteral("Error"), message);
}
