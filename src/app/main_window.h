#pragma once

#include <array>
#include <exception>
#include <functional>
#include <map>
#include <memory>

#include <QMainWindow>
#include <QString>

#include "build/game_database.h"
#include "build/snes_header_report.h"
#include "formats/bytes.h"
#include "pages/music_choice.h"
#include "port/port_image.h"

class GlyphEditor;
class QAction;
class GlyphPage;
class Prompts;
namespace tbp {
class StagedFiles;
}
class ShineIcon;
class QAction;
class QCloseEvent;
class QResizeEvent;
class QMenu;
class QUndoStack;
struct PageChoices;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTextBrowser;
class QTimer;

// The one window of the program. It owns the run's state: the game database, the current port
// image and the NES ROM that port was built from. The option pages and the information page are
// built by their own builders, which keep their widget pointers here and read and write the
// state members directly.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Applies the enabling rules: without a port only the Info and Output tabs can be selected
  // and only the Info page is usable; with a port everything is enabled.
  void setPortEnabled(bool loaded);
  // Shows image as the current port, or reports in a "Not a port" box why it is not one.
  // The only operation that replaces portImage.
  void showPort(const tbp::PortImage& image, const QString& source);
  // Rebuilds the information page's HTML from the window's state, keeping its scroll position.
  void renderInfoPage();
  // The image that saving writes: a copy of portImage with the Game Genie codes of the
  // Switches page applied, the chosen ROM size set and the checksum fixed. portImage itself
  // never changes here. Throws when the port cannot take the chosen size.
  tbp::PortImage finalImage() const;
  // Redraws the option pages from portImage under the refreshing guard; the guard is restored
  // also when a page's refresh throws.
  void refreshPages();
  // Loads the set chosen in the font combo into the glyph grid. Throws when the port lacks it.
  void showFont();
  // The default path a save dialog proposes: D + "/" + prefix + B + extension, where D and B
  // come from the NES ROM file or else the port file; empty when neither is known.
  QString suggestOutputPath(const QString& prefix, const QString& extension) const;
  // Stages the .msu marker and one MSU-1 track per Music choice beside savedPath in files (they
  // appear when files is committed), converting on worker threads behind a modal progress
  // display. Returns the number of tracks staged, fewer than musicChoices holds only when the
  // user cancelled. A failing track does not stop the others; the first failure in song order
  // is thrown once the work is over.
  int writeMsuTracks(const QString& savedPath, tbp::StagedFiles& files);
  // Rebuilds the Music page's song list from portImage and musicChoices.
  void rebuildMusicList();
  // The apply-patch wizard with the patch already chosen (knownPatch non-empty): it asks only
  // for the ROM and where to save. With an empty knownPatch it is applyPatchFile.
  void applyPatchFrom(const QString& knownPatch);

  // Opens a file as the buttons do: a ".nes" file (in any case) as an NES ROM, anything else as
  // a port. Used for a file named on the command line or dropped on the window.
  void openFile(const QString& path);

  // The dialog seam. The window starts with the real dialogs; a test installs its own.
  Prompts& prompts() const { return *dialogs; }
  void setPrompts(std::unique_ptr<Prompts> replacement);

  // ---- Editing: every change of the port image goes through editPort ----
  // Runs edit, which changes portImage and possibly the page choices, as one undoable step
  // named label, and marks the window modified. Nothing is recorded when nothing changed; an
  // edit that throws is rolled back and the exception passes on. Steps with the same non-empty
  // mergeKey in a row become one (a glyph stroke, typing in a spin box). The caller redraws
  // what its edit changed, as before.
  void editPort(const QString& label, const std::function<void()>& edit,
                const QString& mergeKey = QString());
  // Redraws every page from portImage and the page choices (after an undo or a redo).
  void showEditedPort();
  // The choices undo restores with the image: the Music choices and the ROM size choice.
  PageChoices pageChoices() const;
  void setPageChoices(const PageChoices& choices);
  // Before the current port is replaced or the window closes: when the port has unsaved
  // changes, asks Save / Discard / Cancel. True when the port may go (saved or discarded).
  bool maySetPortAside();
  // The title names the port, with the modified marker while it has unsaved changes.
  void updateWindowTitle();
  QUndoStack* undoStack = nullptr;
  bool neverAskToSave = false;  // the automation run replaces and closes without asking

  // ---- The menus: File (actions enabled as the Output page's buttons), Edit, Help ----
  QAction* saveRomAction = nullptr;
  QAction* savePatchAction = nullptr;
  QMenu* recentMenu = nullptr;
  // Puts path first in the recent-files list (kept in the settings) and rebuilds the menu.
  void rememberRecentFile(const QString& path);
  void fillRecentMenu();

  // The game database, loaded once by the constructor and never changed afterwards.
  tbp::GameDatabase database;
  bool databaseLoaded = false;
  QString databaseError;  // "<path> could not be read: <message>" after a failed load

  // The current port; empty until the first port is shown.
  tbp::PortImage portImage;

  // The NES ROM the current port was built from.
  tbp::Bytes nesFileBytes;                      // the file exactly as the user has it
  tbp::Bytes nesRomBytes;                       // with the iNES header the base patch expects
  const tbp::GameEntry* currentGame = nullptr;  // points into database
  QString nesFileName;
  QString nesFilePath;
  QString nesNote;

  // The last SNES ROM opened that is not a port: its name and header report, for the
  // information page (empty name: none).
  QString foreignRomName;
  tbp::SnesHeaderReport foreignRomHeader;

  QString portFilePath;  // the .sfc file the current port was read from or written to
  QString sourceLine;    // where the current port came from, shown in headerLabel
  bool refreshing = false;

  ShineIcon* shineIcon = nullptr;  // glints the window's icon

  // The File menu's "Export settings..." and "Import settings...", usable while a port is shown.
  QAction* exportSettingsAction = nullptr;
  QAction* importSettingsAction = nullptr;

  QLabel* headerLabel = nullptr;
  QLabel* siteLink = nullptr;
  QTabWidget* tabs = nullptr;
  QWidget* infoPage = nullptr;
  QTextBrowser* infoBrowser = nullptr;
  QWidget* outputPage = nullptr;

  // The Switches page's controls. switchBoxes maps a switch bit to its box; the Splash & Sound
  // page adds the boxes of the splash switches.
  std::map<int, QCheckBox*> switchBoxes;
  QPushButton* referenceButton = nullptr;  // opens the engine reference browser
  QPlainTextEdit* codeBox = nullptr;       // the Game Genie codes
  QLabel* codeResult = nullptr;
  QTimer* codeTimer = nullptr;  // checks the codes 500 ms after the last edit
  QComboBox* paletteCombo = nullptr;
  QLabel* chipLabel = nullptr;
  QComboBox* chipCombo = nullptr;

  // The Controls page's controls; buttonCombos in the order of the port's button map.
  QComboBox* presetCombo = nullptr;
  std::array<QComboBox*, 12> buttonCombos{};
  QSpinBox* turboSpin = nullptr;
  QLabel* turboRateLabel = nullptr;
  QSpinBox* chordSpin = nullptr;

  // The Output page's controls.
  QRadioButton* sizeSmallest = nullptr;
  QRadioButton* sizeAsItIs = nullptr;
  QRadioButton* size2Mb = nullptr;
  QRadioButton* size4Mb = nullptr;
  int romSize = 1;  // the checked size button, in the order above: "As it is" at first
  QLabel* sizeLabel = nullptr;
  QPushButton* saveButton = nullptr;
  QPushButton* bpsButton = nullptr;

  // The Fonts & Symbols page's controls.
  QComboBox* fontCombo = nullptr;
  GlyphPage* glyphPage = nullptr;
  GlyphEditor* glyphEditor = nullptr;
  QLabel* glyphTitle = nullptr;
  QComboBox* paletteHintCombo = nullptr;

  // The Splash & Sound page's sound labels and "Remove sound" buttons, in slot order.
  std::array<QLabel*, 3> splashSoundLabels{};
  std::array<QPushButton*, 3> splashRemoveButtons{};

  // The Music page: the audio chosen per NES song (by song index) and the song list's widgets.
  std::map<int, MusicChoice> musicChoices;
  QLabel* musicIntro = nullptr;
  QWidget* musicList = nullptr;
  QGridLayout* musicGrid = nullptr;
  // Worker threads converting tracks while saving; 0 means one per processor core.
  int trackThreads = 0;

 public slots:
  // The slots keep this order: it is also their meta-object index, 0 to 9.
  void openNes();
  void openNesFile(const QString& path);
  void openPortFile(const QString& path);
  void checkCodes();
  tbp::Bytes codeNes() const;
  void openPort();
  void applyPatchFile();
  void saveRom();
  void savePatch();
  void about();

 protected:
  // A local file dragged onto the window is opened when it is dropped.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Asks about unsaved changes first; keeps the window's size and position for the next run.
  void closeEvent(QCloseEvent* event) override;
  // The site link gives way when the button row has no room for it.
  void resizeEvent(QResizeEvent* event) override;

 private:
  void loadDatabase();
  QWidget* buildFrontPage();
  QWidget* buildLinkLabel();
  void buildTabs();
  void buildMenus();
  void buildFileMenu();
  void buildEditMenu();
  void addTabShortcuts();
  void placeOnScreen();
  QString startUpText() const;
  bool askForSourceNes();
  void takeEmbeddedNes(const tbp::PortImage& port);
  void showError(const QString& message);
  void showFileError(const QString& path, const std::exception& error);

  std::unique_ptr<Prompts> dialogs;
};
