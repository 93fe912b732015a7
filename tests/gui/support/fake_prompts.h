#pragma once

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

#include "app/prompts.h"

// Answers the window's dialogs from a script and records every dialog and box it was shown.
class FakePrompts final : public Prompts {
 public:
  struct Box {
    QString kind;  // "warning", "critical", "question" or "wrongRom"
    QString title;
    QString text;
    QString details;
  };
  struct Dialog {
    QString kind;  // "open" or "save"
    QString caption;
    QString startPath;
    QString filter;
  };

  // What the next dialogs return, in order; an exhausted list answers as a cancelled dialog.
  QStringList paths;
  // The answers to the next questions, in order; an exhausted list answers No.
  QList<bool> answers;

  QList<Box> boxes;
  QList<Dialog> dialogs;

  // Progress displays: their titles and every update as "<label> | <finished steps>".
  QStringList progressTitles;
  QStringList progressUpdates;
  // The user presses Cancel once this many updates were shown; negative: never.
  int cancelAfterUpdates = -1;
  // Every partial progress shown, in finished steps; Cancel is pressed once this many were
  // shown (negative: never), in the middle of a step.
  QList<double> partialSteps;
  int cancelAfterPartials = -1;

  // The answers to the next questions about unsaved changes, in order; an exhausted list
  // answers Discard, as if the window had not asked. Each question's text is recorded.
  QList<UnsavedAnswer> unsavedAnswers;
  QStringList unsavedQuestions;

  QString openFile(const QString& caption, const QString& filter,
                   const QString& startDirectory = QString()) override {
    dialogs.append({QStringLiteral("open"), caption, startDirectory, filter});
    return nextPath();
  }
  QString saveFile(const QString& caption, const QString& startPath,
                   const QString& filter) override {
    dialogs.append({QStringLiteral("save"), caption, startPath, filter});
    return nextPath();
  }
  void warning(const QString& title, const QString& text) override {
    boxes.append({QStringLiteral("warning"), title, text, QString()});
  }
  void critical(const QString& title, const QString& text) override {
    boxes.append({QStringLiteral("critical"), title, text, QString()});
  }
  bool question(const QString& title, const QString& text) override {
    boxes.append({QStringLiteral("question"), title, text, QString()});
    return answers.isEmpty() ? false : answers.takeFirst();
  }
  void wrongRom(const QString& title, const QString& text, const QString& details) override {
    boxes.append({QStringLiteral("wrongRom"), title, text, details});
  }
  std::unique_ptr<Progress> progress(const QString& title, int) override {
    progressTitles.append(title);
    return std::make_unique<FakeProgress>(*this);
  }
  UnsavedAnswer unsavedChanges(const QString&, const QString& text) override {
    unsavedQuestions.append(text);
    return unsavedAnswers.isEmpty() ? UnsavedAnswer::Discard : unsavedAnswers.takeFirst();
  }

 private:
  class FakeProgress final : public Progress {
   public:
    explicit FakeProgress(FakePrompts& owner) : owner(owner) {}
    void update(const QString& label, int done) override {
      owner.progressUpdates << QStringLiteral("%1 | %2").arg(label).arg(done);
    }
    void partial(double doneSteps) override { owner.partialSteps.append(doneSteps); }
    bool cancelled() const override {
      return (owner.cancelAfterUpdates >= 0 &&
              owner.progressUpdates.size() >= owner.cancelAfterUpdates) ||
             (owner.cancelAfterPartials >= 0 &&
              owner.partialSteps.size() >= owner.cancelAfterPartials);
    }

   private:
    FakePrompts& owner;
  };

  QString nextPath() { return paths.isEmpty() ? QString() : paths.takeFirst(); }
};
