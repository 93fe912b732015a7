#pragma once

#include <memory>

#include <QString>

class QWidget;

// A modal progress display for long work: a label, a bar and a Cancel button. While it exists
// the window takes no input, so no other action can start.
class Progress {
 public:
  virtual ~Progress() = default;
  // Shows what is being done now and how many of the steps are finished.
  virtual void update(const QString& label, int done) = 0;
  // True once the user asked to stop; the steps already running stop too, within a second.
  virtual bool cancelled() const = 0;
  // How far the work is, counting a step in progress by its finished share (3.5: three steps
  // done and half of the fourth). Only moves the bar; update keeps the label.
  virtual void partial(double doneSteps) { static_cast<void>(doneSteps); }
};

// The answers to the question asked before unsaved changes would be lost.
enum class UnsavedAnswer { Save, Discard, Cancel };

// Every file dialog and message box of the main window and its pages goes through this seam, so
// that a test can answer the dialogs and read the boxes without a modal dialog blocking it.
class Prompts {
 public:
  virtual ~Prompts() = default;

  // The standard open-file dialog, starting in startDirectory (the dialog's own choice when
  // empty); an empty result means cancelled.
  virtual QString openFile(const QString& caption, const QString& filter,
                           const QString& startDirectory = QString()) = 0;
  // The standard save-file dialog starting at startPath; an empty result means cancelled.
  virtual QString saveFile(const QString& caption, const QString& startPath,
                           const QString& filter) = 0;
  // Message boxes with one OK button.
  virtual void warning(const QString& title, const QString& text) = 0;
  virtual void critical(const QString& title, const QString& text) = 0;
  // A Yes/No question without a default button; true only for Yes.
  virtual bool question(const QString& title, const QString& text) = 0;
  // The warning box for an unrecognised NES ROM: a monospaced box whose selectable details can
  // be copied to the clipboard with an extra button.
  virtual void wrongRom(const QString& title, const QString& text, const QString& details) = 0;
  // Opens a progress display of the given number of steps; it closes when the object goes.
  virtual std::unique_ptr<Progress> progress(const QString& title, int steps) = 0;
  // The port has changes that are not saved: Save, Discard or Cancel (the default, and what
  // closing the box answers).
  virtual UnsavedAnswer unsavedChanges(const QString& title, const QString& text) = 0;
};

// The real dialogs, parented to the given window.
class QtPrompts final : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent);

  QString openFile(const QString& caption, const QString& filter,
                   const QString& startDirectory = QString()) override;
  QString saveFile(const QString& caption, const QString& startPath,
                   const QString& filter) override;
  void warning(const QString& title, const QString& text) override;
  void critical(const QString& title, const QString& text) override;
  bool question(const QString& title, const QString& text) override;
  void wrongRom(const QString& title, const QString& text, const QString& details) override;
  std::unique_ptr<Progress> progress(const QString& title, int steps) override;
  UnsavedAnswer unsavedChanges(const QString& title, const QString& text) override;

 private:
  QWidget* parent;
};
