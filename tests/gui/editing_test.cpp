#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QUndoStack>

#include "app/port_edit.h"
#include "app/settings_actions.h"
#include "pages/glyph_widgets.h"
#include "support/port_files.h"
#include "support/wav_writer.h"
#include "support/window_harness.h"

namespace {

enum Column { kFile = 1, kChoose, kLoop, kStart, kClear };
constexpr int kSongRow = 2;  // the fixture's third song, "Underground" ($03)
constexpr int kSong = 3;

// The window showing the fixture port from <workDir>/Game.sfc, made with the given edit of
// its bytes (none by default).
struct Editing {
  WindowHarness harness;
  MainWindow& window = *harness.window;
  explicit Editing(const std::function<void(tbp::PortImage&)>& prepare = {}) {
    tbp::PortImage port(tbp::testkit::makePortImage(tbp::testkit::makeNesRom()));
    if (prepare) prepare(port);
    window.openPortFile(harness.writeFile(QStringLiteral("Game.sfc"), asQByteArray(port.bytes())));
  }
  QString wav(const QString& name, std::size_t frames, std::uint32_t rate = 8000) {
    const tbp::testkit::WavLayout layout{tbp::testkit::WavEncoding::Pcm16, 2, rate, false};
    return harness.writeFile(
        name, asQByteArray(tbp::testkit::makeWav(
                  layout, tbp::testkit::sineTones(rate, 2, frames, 440, 0.5))));
  }
  template <typename Widget>
  Widget* songCell(Column column) const {
    return qobject_cast<Widget*>(window.musicGrid->itemAtPosition(kSongRow, column)->widget());
  }
  void chooseSong(const QString& audio) {
    harness.prompts->paths = {audio};
    songCell<QPushButton>(kChoose)->click();
  }
  QString path(const QString& name) const { return harness.workDir.filePath(name); }
};

// One stroke over three pixels of the glyph editor: press, drag, release.
void drawStroke(GlyphEditor* editor) {
  QTest::mousePress(editor, Qt::LeftButton, {}, QPoint(14, 14));
  for (const QPoint at : {QPoint(42, 14), QPoint(70, 14)}) {
    QMouseEvent move(QEvent::MouseMove, at, editor->mapToGlobal(at), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &move);
  }
  QTest::mouseRelease(editor, Qt::LeftButton, {}, QPoint(70, 14));
}

}  // namespace

class EditingTest : public QObject {
  Q_OBJECT

 private slots:
  // Every kind of change is one step; undo gives back the exact bytes and choices, redo the
  // changed ones, and every page shows them.
  void undoAndRedoRestoreTheExactBytes_data() {
    using Edit = std::function<void(Editing&)>;
    QTest::addColumn<Edit>("edit");
    const auto row = [](const char* name, Edit edit) { QTest::newRow(name) << edit; };
    row("switch", [](Editing& e) { e.window.switchBoxes.at(19)->toggle(); });
    row("FastROM", [](Editing& e) { e.window.switchBoxes.at(0)->toggle(); });
    row("palette", [](Editing& e) { e.window.paletteCombo->setCurrentIndex(5); });
    row("chip", [](Editing& e) { e.window.chipCombo->setCurrentIndex(2); });
    row("ROM size", [](Editing& e) { e.window.sizeSmallest->setChecked(true); });
    row("button", [](Editing& e) { e.window.buttonCombos[3]->setCurrentIndex(9); });
    row("preset", [](Editing& e) { e.window.presetCombo->setCurrentIndex(4); });
    row("turbo", [](Editing& e) { e.window.turboSpin->setValue(17); });
    row("chord", [](Editing& e) { e.window.chordSpin->setValue(99); });
    row("splash sound", [](Editing& e) { e.window.splashRemoveButtons[1]->click(); });
    row("glyph stroke", [](Editing& e) { drawStroke(e.window.glyphEditor); });
    row("palette hint", [](Editing& e) { e.window.paletteHintCombo->setCurrentIndex(6); });
    row("music choose", [](Editing& e) { e.chooseSong(e.wav(QStringLiteral("a.wav"), 800)); });
    row("music clear", [](Editing& e) { e.songCell<QPushButton>(kClear)->click(); });
    row("music loop", [](Editing& e) { e.songCell<QCheckBox>(kLoop)->toggle(); });
    row("loop start", [](Editing& e) { e.songCell<QDoubleSpinBox>(kStart)->setValue(0.25); });
  }

  void undoAndRedoRestoreTheExactBytes() {
    QFETCH(std::function<void(Editing&)>, edit);
    const QString tag = QTest::currentDataTag();
    const bool needsChoice = tag == "music clear" || tag == "music loop" || tag == "loop start";
    Editing e;
    if (needsChoice) e.chooseSong(e.wav(QStringLiteral("b.wav"), 8000));
    const tbp::Bytes before = e.window.portImage.bytes();
    const PageChoices choicesBefore = e.window.pageChoices();
    const int steps = e.window.undoStack->count();
    edit(e);
    const tbp::Bytes after = e.window.portImage.bytes();
    const PageChoices choicesAfter = e.window.pageChoices();
    QVERIFY(after != before || !(choicesAfter == choicesBefore));
    QCOMPARE(e.window.undoStack->count(), steps + 1);
    QVERIFY(e.window.isWindowModified());

    e.window.undoStack->undo();
    QVERIFY(e.window.portImage.bytes() == before);
    QVERIFY(e.window.pageChoices() == choicesBefore);
    e.window.undoStack->redo();
    QVERIFY(e.window.portImage.bytes() == after);
    QVERIFY(e.window.pageChoices() == choicesAfter);
    QCOMPARE(e.window.undoStack->count(), steps + 1);
  }

  void aSaveClearsTheModifiedStateAndAnotherPortClearsTheHistory() {
    Editing e;
    QCOMPARE(e.window.windowTitle(), QStringLiteral("Game.sfc[*] - TEAM Bexulo Patcher"));
    QVERIFY(!e.window.isWindowModified());
    e.window.paletteCombo->setCurrentIndex(6);
    QVERIFY(e.window.isWindowModified());
    e.harness.prompts->paths = {e.path(QStringLiteral("Out.sfc"))};
    e.window.saveRom();
    QVERIFY(!e.window.isWindowModified());
    e.window.undoStack->undo();
    QVERIFY(e.window.isWindowModified());  // the image differs from the saved file again
    e.window.openPortFile(e.path(QStringLiteral("Out.sfc")));
    QCOMPARE(e.harness.prompts->unsavedQuestions.size(), 1);  // answered Discard
    QCOMPARE(e.window.undoStack->count(), 0);
    QVERIFY(!e.window.isWindowModified());
    QCOMPARE(e.window.windowTitle(), QStringLiteral("Out.sfc[*] - TEAM Bexulo Patcher"));
  }

  // Closing or opening with changes asks first: Cancel keeps the window and the port, Save
  // saves the ROM before the port goes.
  void unsavedChangesAreAskedAbout() {
    Editing e;
    e.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e.window));
    e.window.turboSpin->setValue(9);
    const tbp::Bytes edited = e.window.portImage.bytes();
    e.harness.prompts->unsavedAnswers = {UnsavedAnswer::Cancel, UnsavedAnswer::Cancel};
    QVERIFY(!e.window.close());
    QVERIFY(e.window.isVisible());
    e.window.openPortFile(e.path(QStringLiteral("Game.sfc")));
    QVERIFY(e.window.portImage.bytes() == edited);
    QCOMPARE(e.harness.prompts->unsavedQuestions.size(), 2);
    QVERIFY(e.harness.prompts->unsavedQuestions[0].startsWith(QStringLiteral("Game.sfc has ")));

    e.harness.prompts->unsavedAnswers = {UnsavedAnswer::Save};
    e.harness.prompts->paths = {e.path(QStringLiteral("Kept.sfc"))};
    QVERIFY(e.window.close());
    QCOMPARE(tbp::PortImage(readBack(e.path(QStringLiteral("Kept.sfc")))).turboCycle(), 9);
  }

  // Ctrl+Tab and Ctrl+PgDown step to the next enabled tab wherever the focus is, also in the
  // Game Genie box, which takes plain Tab for itself.
  void tabsChangeFromTheKeyboardEverywhere() {
    Editing e;
    e.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&e.window));
    e.window.tabs->setCurrentIndex(1);
    e.window.codeBox->setFocus();
    QTest::keyClick(e.window.codeBox, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(e.window.tabs->currentIndex(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(e.window.tabs->currentIndex(), 3);
  }

  // The editor always shows the glyph a stroke writes: after a set change and for a new port
  // it holds the grid's selection of the shown set, and a stroke writes exactly that glyph.
  void theGlyphEditorFollowsTheShownSet() {
    Editing e;
    e.window.glyphPage->setSelected(40);
    emit e.window.glyphPage->picked(40);
    e.window.fontCombo->setCurrentIndex(1);  // Font 0
    const int set = e.window.fontCombo->currentData().toInt();
    QCOMPARE(e.window.glyphPage->selected(), 40);
    QVERIFY(e.window.glyphEditor->glyph() == e.window.portImage.glyph(set, 40));
    QCOMPARE(e.window.glyphTitle->text(), QStringLiteral("Character 'H' (ASCII $48)"));

    drawStroke(e.window.glyphEditor);
    QVERIFY(e.window.portImage.glyph(set, 40) == e.window.glyphEditor->glyph());
    QCOMPARE(e.window.undoStack->count(), 1);

    // Another port: the first set of the new list, at the kept selection.
    e.window.openPortFile(e.path(QStringLiteral("Game.sfc")));
    QCOMPARE(e.window.fontCombo->currentData().toInt(), int(tbp::symbolPageA));
    QVERIFY(e.window.glyphEditor->glyph() ==
            e.window.portImage.glyph(tbp::symbolPageA, e.window.glyphPage->selected()));
    QVERIFY(e.window.glyphTitle->text().startsWith(QStringLiteral("Symbol 40 ")));
  }

  // A port saved with tracks and opened again shows them, Clear gives the NES music back, and
  // a save says that those tracks are not written again.
  void aReopenedPortShowsItsTracks() {
    Editing e([](tbp::PortImage& port) {
      port.setMsuTrack(kSong, kSong);
      port.setSwitch(12, true);
    });
    QCOMPARE(e.songCell<QLabel>(kFile)->text(), QStringLiteral("MSU-1 track 3, in this ROM"));
    QVERIFY(e.songCell<QPushButton>(kClear)->isEnabled());
    e.harness.prompts->paths = {e.path(QStringLiteral("Out.sfc"))};
    e.window.saveRom();
    QVERIFY(e.window.statusBar()->currentMessage().endsWith(
        QStringLiteral("1 song(s) keep the MSU-1 track of the opened ROM: its file is not "
                       "rewritten unless you choose one")));

    e.songCell<QPushButton>(kClear)->click();
    QCOMPARE(e.window.portImage.msuTrack(kSong), -1);
    QVERIFY(!(e.window.portImage.flags() >> 12 & 1));
    QVERIFY(e.songCell<QLabel>(kFile)->text().contains(QStringLiteral("original NES music")));
  }

  // Each kind of file dialog starts where that kind was last chosen; saves keep the proposed
  // name there.
  void dialogsStartInTheLastFolder() {
    Editing e;
    QDir(e.harness.workDir.path()).mkdir(QStringLiteral("roms"));
    e.harness.prompts->paths = {e.path(QStringLiteral("roms/Out.sfc"))};
    e.window.saveRom();
    e.harness.prompts->paths = {QString()};
    e.window.openPort();
    e.harness.prompts->paths = {QString()};
    e.window.openNes();
    e.window.saveRom();
    QDir(e.harness.workDir.path()).mkdir(QStringLiteral("settings"));
    e.harness.prompts->paths = {e.path(QStringLiteral("settings/Mine.json")), QString()};
    exportSettings(e.window);
    importSettings(e.window);
    const auto& dialogs = e.harness.prompts->dialogs;
    QCOMPARE(dialogs.size(), 6);
    QCOMPARE(dialogs[5].startPath, e.path(QStringLiteral("settings")));
    QCOMPARE(dialogs[0].startPath, e.path(QStringLiteral("TEAM Bexulo - Game.sfc")));
    QCOMPARE(dialogs[1].startPath, e.path(QStringLiteral("roms")));
    QVERIFY(dialogs[2].startPath.isEmpty());  // no NES ROM was chosen yet
    QCOMPARE(dialogs[3].startPath, e.path(QStringLiteral("roms/TEAM Bexulo - Game.sfc")));
  }

  // The bar moves within a track, and Cancel stops it in the middle: no track file and no
  // partial file stay, and the box names the song left without one.
  void cancelStopsATrackMidway() {
    Editing e;
    e.chooseSong(e.wav(QStringLiteral("long.wav"), 22050 * 60, 22050));
    e.window.trackThreads = 1;
    e.harness.prompts->cancelAfterPartials = 1;
    e.harness.prompts->paths = {e.path(QStringLiteral("Out.sfc"))};
    e.window.saveRom();
    QStringList left = QDir(e.harness.workDir.path()).entryList(QDir::Files);
    left.sort();
    QCOMPARE(left, (QStringList{"Game.sfc", "Out.msu", "Out.sfc", "long.wav"}));
    QCOMPARE(e.harness.prompts->boxes.size(), 1);
    QCOMPARE(e.harness.prompts->boxes[0].title, QStringLiteral("Tracks not written"));
    QVERIFY(e.harness.prompts->boxes[0].text.contains(QStringLiteral("Underground ($03)")));
    QVERIFY(!e.harness.prompts->partialSteps.isEmpty());
    QVERIFY(e.harness.prompts->partialSteps.first() < 1.0);
    QVERIFY(e.window.statusBar()->currentMessage().endsWith(
        QStringLiteral(" + 0 of 1 MSU-1 track(s) (cancelled)")));
  }
};

QTEST_MAIN(EditingTest)
#include "editing_test.moc"
