#include <functional>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/about.h"
#include "app/prompts.h"

namespace {

// Runs inspect on the modal message box once it is open; inspect closes it with one of the
// box's buttons. A box that is still open afterwards (a failed check) is closed, so that a
// failure never leaves the test waiting.
void whenBoxOpens(const std::function<void(QMessageBox&)>& inspect) {
  QTimer::singleShot(0, [inspect] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) QFAIL("no message box is open");
    inspect(*box);
    if (box->isVisible()) box->done(QMessageBox::Cancel);
  });
}

QPushButton* buttonWithText(QWidget& parent, const QString& text) {
  for (QPushButton* button : parent.findChildren<QPushButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

QLabel* labelWithText(QWidget& parent, const QString& text) {
  for (QLabel* label : parent.findChildren<QLabel*>())
    if (label->text() == text) return label;
  return nullptr;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void aboutBoxShowsTheDescription() {
    QWidget window;
    const std::unique_ptr<QDialog> dialog(tbp::buildAboutDialog(&window));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("About TEAM Bexulo Patcher"));
    auto* label = dialog->findChild<QLabel*>(QStringLiteral("aboutText"));
    QVERIFY(label);
    QVERIFY(label->wordWrap());
    QVERIFY(label->text().startsWith(
        QStringLiteral("<b>TEAM Bexulo Patcher</b> " TBP_VERSION "<br>Builds and configures TEAM Bexulo "
                       "NES-to-SNES ports.<br><br>Open your own NES ROM,")));
    QVERIFY(label->text().endsWith(
        QStringLiteral("so that hacking a game, by hand or with AI, is easier and faster.")));
    const int screenWidth = window.screen()->availableGeometry().width();
    QCOMPARE(label->minimumWidth(), tbp::aboutLabelMinimumWidth(screenWidth));
  }

  void aboutOkAcceptsTheBox() {
    QWidget window;
    const std::unique_ptr<QDialog> dialog(tbp::buildAboutDialog(&window));
    QPushButton* ok = buttonWithText(*dialog, QStringLiteral("OK"));
    QVERIFY(ok);
    QTimer::singleShot(0, ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
    QCOMPARE(dialog->exec(), int(QDialog::Accepted));
  }

  void wrongRomBoxCopiesItsDetails() {
    QWidget window;
    QtPrompts prompts(&window);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    const QString report = QStringLiteral("report line 1\nCRC32 01234567");
    whenBoxOpens([report](QMessageBox& box) {
      QCOMPARE(box.windowTitle(), QStringLiteral("Wrong ROM"));
      QCOMPARE(box.text(), QStringLiteral("This isn't the NES ROM the patch was made from."));
      QCOMPARE(box.informativeText(), report);
      QCOMPARE(box.icon(), QMessageBox::Warning);
      QCOMPARE(box.font().styleHint(), QFont::Monospace);
      QVERIFY(box.font().families().contains(QStringLiteral("Consolas")));
      QVERIFY(box.textInteractionFlags() & Qt::TextSelectableByMouse);
      // The report itself is what the user wants to select, shown as it is.
      QLabel* details = labelWithText(box, report);
      QVERIFY(details);
      QVERIFY(details->textInteractionFlags() & Qt::TextSelectableByMouse);
      QCOMPARE(details->textFormat(), Qt::PlainText);
      QPushButton* copy = buttonWithText(box, QStringLiteral("Copy details"));
      QVERIFY(copy);
      copy->click();
    });
    prompts.wrongRom(QStringLiteral("Wrong ROM"),
                     QStringLiteral("This isn't the NES ROM the patch was made from."), report);
    QCOMPARE(QGuiApplication::clipboard()->text(), report);
  }

  void wrongRomBoxClosedWithOkCopiesNothing() {
    QWidget window;
    QtPrompts prompts(&window);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    whenBoxOpens([](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    prompts.wrongRom(QStringLiteral("Wrong ROM"), QStringLiteral("text"), QStringLiteral("x"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  }

  // Messages carry file names and file contents, so markup in them is shown literally.
  void boxesShowTheirTextAsPlainText() {
    QWidget window;
    QtPrompts prompts(&window);
    const QString text = QStringLiteral("cannot open /roms/<b>game</b>.nes");
    const auto check = [text](QMessageBox::Icon icon) {
      return [text, icon](QMessageBox& box) {
        QCOMPARE(box.icon(), icon);
        QCOMPARE(box.windowTitle(), QStringLiteral("Error"));
        QCOMPARE(box.textFormat(), Qt::PlainText);
        QLabel* label = labelWithText(box, text);
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(box.buttons().size(), 1);
        box.button(QMessageBox::Ok)->click();
      };
    };
    whenBoxOpens(check(QMessageBox::Critical));
    prompts.critical(QStringLiteral("Error"), text);
    whenBoxOpens(check(QMessageBox::Warning));
    prompts.warning(QStringLiteral("Error"), text);
    whenBoxOpens([text](QMessageBox& box) {
      QCOMPARE(box.textFormat(), Qt::PlainText);
      box.button(QMessageBox::No)->click();
    });
    QVERIFY(!prompts.question(QStringLiteral("Open it?"), text));
  }

  void fileDialogsShowTheirCaptionFilterAndStartPath() {
    QWidget window;
    QtPrompts prompts(&window);
    QStringList seen;
    const auto inspect = [&seen] {
      QTimer::singleShot(0, [&seen] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) QFAIL("no file dialog is open");
        seen << dialog->windowTitle() << dialog->nameFilters().join(QStringLiteral(";;"))
             << QString::number(int(dialog->acceptMode()));
        if (dialog->acceptMode() == QFileDialog::AcceptSave)
          seen << QFileInfo(dialog->selectedFiles().value(0)).fileName();
        dialog->reject();
      });
    };
    inspect();
    QVERIFY(prompts
                .openFile(QStringLiteral("Open NES ROM"),
                          QStringLiteral("NES ROMs (*.nes);;All files (*)"))
                .isEmpty());
    inspect();
    QVERIFY(prompts
                .saveFile(QStringLiteral("Save SNES ROM"),
                          QDir::temp().filePath(QStringLiteral("TEAM Bexulo - Game.sfc")),
                          QStringLiteral("SNES ROM (*.sfc)"))
                .isEmpty());
    const QStringList expected = {"Open NES ROM",
                                  "NES ROMs (*.nes);;All files (*)",
                                  QString::number(int(QFileDialog::AcceptOpen)),
                                  "Save SNES ROM",
                                  "SNES ROM (*.sfc)",
                                  QString::number(int(QFileDialog::AcceptSave)),
                                  "TEAM Bexulo - Game.sfc"};
    QCOMPARE(seen, expected);
  }

  // Cancel, Escape and the close button ask the work to stop; the dialog stays up, modal.
  void progressDialogStopsOnRequest_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close") << 2;
  }

  void progressDialogStopsOnRequest() {
    QFETCH(int, way);
    QWidget window;
    const std::unique_ptr<Progress> progress = QtPrompts(&window).progress("Saving", 3);
    auto* dialog = dynamic_cast<QDialog*>(progress.get());
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    auto* bar = dialog->findChild<QProgressBar*>();
    progress->update(QStringLiteral("Converting track 2 of 3: a.wav"), 1);
    QVERIFY(labelWithText(*dialog, QStringLiteral("Converting track 2 of 3: a.wav")));
    QVERIFY(!progress->cancelled());
    QPushButton* cancel = buttonWithText(*dialog, QStringLiteral("Cancel"));
    if (way == 0) QTest::mouseClick(cancel, Qt::LeftButton);
    if (way == 1) QTest::keyClick(dialog, Qt::Key_Escape);
    if (way == 2) dialog->close();
    QVERIFY(progress->cancelled() && dialog->isVisible() && !cancel->isEnabled());
    progress->update(QStringLiteral("Converting track 3 of 3: b.wav"), 2);
    // The bar counts hundredths of a step, so that it moves within a track.
    QCOMPARE(std::pair(bar->value(), bar->maximum()), std::pair(200, 300));
    progress->partial(2.5);
    QCOMPARE(bar->value(), 250);
    QVERIFY(labelWithText(
        *dialog, QStringLiteral("Stopping: the tracks being converted are dropped...")));
  }

  void questionAnswersYesOnlyForYes() {
    QWidget window;
    QtPrompts prompts(&window);
    whenBoxOpens([](QMessageBox& box) {
      QCOMPARE(box.windowTitle(), QStringLiteral("Open it?"));
      QCOMPARE(box.defaultButton(), nullptr);
      box.button(QMessageBox::Yes)->click();
    });
    QVERIFY(prompts.question(QStringLiteral("Open it?"), QStringLiteral("Open?")));
    whenBoxOpens([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    QVERIFY(!prompts.question(QStringLiteral("Open it?"), QStringLiteral("Open?")));
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
