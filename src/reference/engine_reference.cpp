#include "reference/engine_reference.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "reference/functions_table.h"
#include "reference/library_records.h"
#include "reference/reference_text.h"

// The documents live in a static library, whose resource object the linker keeps only when
// something names it; registering once here does that.
static void registerLibraryResources() {
  static bool registered = false;
  if (registered) return;
  Q_INIT_RESOURCE(library);
  registered = true;
}

namespace tbp {

namespace {

constexpr int kMaxWidth = 1150;
constexpr int kMaxHeight = 720;
constexpr int kScreenWidthMargin = 40;
constexpr int kScreenHeightMargin = 60;

const char kReferenceIntro[] =
    "<br>The <b>Engine reference</b> tab covers everything else hack code can use: the "
    "trampolines, saves (.srm files), text and the overlay, the hack registry, the memory map, "
    "the ROM layout, chords, splash screens, MSU-1, palette tables and the coprocessor chips.";

std::optional<std::string> readResource(const QString& path) {
  registerLibraryResources();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll().toStdString();
}


QLabel* buildHeader(const LibraryListing& listing) {
  QString html = QStringLiteral("<b>") + escaped(listing.versionLine) + QStringLiteral("</b><br>") +
                 escaped(listing.calling);
  if (!listing.note.empty()) html += QStringLiteral("<br><i>") + escaped(listing.note) + "</i>";
  html += QLatin1String(kReferenceIntro);
  auto* label = new QLabel(html);
  label->setObjectName(QStringLiteral("header"));
  label->setTextFormat(Qt::RichText);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QTabWidget* buildTabs(const LibraryListing& listing, const ReferenceText& reference) {
  auto* tabs = new QTabWidget;
  tabs->addTab(buildFunctionsTab(listing.records), QStringLiteral("Functions"));
  if (!reference.html.isEmpty()) {
    auto* browser = new QTextBrowser;
    browser->setOpenLinks(false);
    browser->setHtml(reference.html);
    tabs->addTab(browser, QStringLiteral("Engine reference"));
  }
  if (qgetenv("TBP_LIBTAB") == "1") tabs->setCurrentIndex(1);
  return tabs;
}

QHBoxLayout* buildButtons(QDialog* dialog, const QString& copyText) {
  auto* row = new QHBoxLayout;
  auto* copy = new QPushButton(QStringLiteral("Copy all as text"));
  auto* close = new QPushButton(QStringLiteral("Close"));
  row->addWidget(copy);
  row->addStretch();
  row->addWidget(close);
  QObject::connect(copy, &QPushButton::clicked, dialog,
                   [copyText] { QGuiApplication::clipboard()->setText(copyText); });
  QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
  return row;
}

// The screen's free area less a margin, but never more than the dialog needs.
QSize browserSize(const QWidget* parent) {
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  if (!screen) return {kMaxWidth, kMaxHeight};
  const QRect area = screen->availableGeometry();
  return {std::min(kMaxWidth, area.width() - kScreenWidthMargin),
          std::min(kMaxHeight, area.height() - kScreenHeightMargin)};
}

void resizeRows(QDialog& dialog) {
  if (auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("functions")))
    table->resizeRowsToContents();
}

}  // namespace

ReferenceText buildReferenceText() {
  const std::optional<std::string> document =
      readResource(QStringLiteral(":/library/reference.json"));
  if (!document) return {};
  const ReferenceDocument rendered = renderReference(*document);
  return {QString::fromStdString(rendered.html), QString::fromStdString(rendered.text)};
}

QDialog* createEngineReference(QWidget* parent, const QString& manifestText) {
  const LibraryListing listing = collectLibrary(manifestText.toStdString(), [](int version) {
    return readResource(QStringLiteral(":/library/library_v%1.json").arg(version));
  });
  const ReferenceText reference = buildReferenceText();
  auto* dialog = new QDialog(parent);
  dialog->setWindowTitle(QStringLiteral("Utility functions & engine reference"));
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(buildHeader(listing));
  layout->addWidget(buildTabs(listing, reference), 1);
  const std::string copyText = copyAllText(listing, reference.text.toStdString());
  layout->addLayout(buildButtons(dialog, QString::fromStdString(copyText)));
  return dialog;
}

void openEngineReference(QWidget* parent, const QString& manifestText) {
  // The parent may go away while the dialog runs; the guard then forgets the dialog.
  QPointer<QDialog> dialog = createEngineReference(parent, manifestText);
  dialog->resize(browserSize(parent));
  dialog->setModal(true);
  dialog->show();
  QApplication::processEvents();
  if (!dialog) return;
  resizeRows(*dialog);
  const QString shotPath = QString::fromLocal8Bit(qgetenv("TBP_LIBSHOT"));
  if (shotPath.isEmpty()) {
    dialog->exec();
  } else {
    QApplication::processEvents();
    if (!dialog) return;
    dialog->grab().save(shotPath);
    dialog->close();
  }
  delete dialog.data();
}

}  // namespace tbp
