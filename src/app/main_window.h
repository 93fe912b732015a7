#pragma once

#include <memory>

#include <QMainWindow>
#include <QString>

#include "build/game_database.h"
#include "formats/bytes.h"
#include "port/port_image.h"

class Prompts;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextBrowser;

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
  // The image that saving writes: a copy of portImage with the chosen ROM size applied and the
  // checksum fixed. portImage itself never changes here. Throws when the port cannot take the
  // chosen size.
  tbp::PortImage finalImage() const;
  // Redraws the option pages from portImage under the refreshing guard.
  void refreshPages();
  // The default path a save dialog proposes: D + "/" + prefix + B + extension, where D and B
  // come from the NES ROM file or else the port file; empty when neither is known.
  QString suggestOutputPath(const QString& prefix, const QString& extension) const;

  // Opens a file as the buttons do: a ".nes" file (in any case) as an NES ROM, anything else as
  // a port. Used for a file named on the command line or dropped on the window.
  void openFile(const QString& path);

  // The dialog seam. The window starts with the real dialogs; a test installs its own.
  Prompts& prompts() const { return *dialogs; }
  void setPrompts(std::unique_ptr<Prompts> replacement);

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

  QString portFilePath;  // the .sfc file the current port was read from or written to
  QString sourceLine;    // where the current port came from, shown in headerLabel
  bool refreshing = false;

  QLabel* headerLabel = nullptr;
  QTabWidget* tabs = nullptr;
  QWidget* infoPage = nullptr;
  QTextBrowser* infoBrowser = nullptr;
  QWidget* outputPage = nullptr;

  // The Output page's controls.
  QRadioButton* sizeSmallest = nullptr;
  QRadioButton* sizeAsItIs = nullptr;
  QRadioButton* size2Mb = nullptr;
  QRadioButton* size4Mb = nullptr;
  QLabel* sizeLabel = nullptr;
  QPushButton* saveButton = nullptr;
  QPushButton* bpsButton = nullptr;

 public slots:
  // The slots keep this order: it is also their meta-object index, 0 to 9.
  void openNes();
  void openNesFile(const QString& path);
  void openPortFile(const QString& path);
  void checkCodes();
  tbp::Bytes codeNes();
  void openPort();
  void applyPatchFile();
  void saveRom();
  void savePatch();
  void about();

 protected:
  // A local file dragged onto the window is opened when it is dropped.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void loadDatabase();
  QWidget* buildFrontPage();
  QWidget* buildLinkLabel();
  void buildTabs();
  void placeOnScreen();
  QString startUpText() const;
  bool askForSourceNes();
  void showError(const QString& message);

  std::unique_ptr<Prompts> dialogs;
};
