#pragma once

#include <functional>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include "app/main_window.h"
#include "app/user_settings.h"
#include "support/fake_prompts.h"

// Makes dir the working directory for the lifetime of the object. The window looks for
// games/games.json there when none sits next to the program.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const QString& dir) : previous(QDir::currentPath()) {
    QDir::setCurrent(dir);
  }
  ~ScopedWorkingDirectory() { QDir::setCurrent(previous); }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

 private:
  QString previous;
};

// The real main window built in its own empty working directory (so without a database unless
// the test puts one there), answering its dialogs from a FakePrompts.
struct WindowHarness {
  QTemporaryDir workDir;
  std::unique_ptr<MainWindow> window;
  FakePrompts* prompts = nullptr;

  // gamesJson, when given, is written to <workDir>/games/games.json before the window is built.
  explicit WindowHarness(const QByteArray* gamesJson = nullptr) {
    if (gamesJson) writeFile(QStringLiteral("games/games.json"), *gamesJson);
    build();
  }
  // prepare gets the working directory to fill before the window is built.
  explicit WindowHarness(const std::function<void(const QString&)>& prepare) {
    prepare(workDir.path());
    build();
  }

  // Writes a file under the working directory and returns its absolute path.
  QString writeFile(const QString& relativePath, const QByteArray& content) const {
    const QString path = workDir.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content);
    return path;
  }

 private:
  // Each window starts without remembered folders, recent files or a saved placement.
  void build() {
    tbp::clearUserSettings();
    const ScopedWorkingDirectory cwd(workDir.path());
    window = std::make_unique<MainWindow>();
    auto fake = std::make_unique<FakePrompts>();
    prompts = fake.get();
    window->setPrompts(std::move(fake));
  }
};
