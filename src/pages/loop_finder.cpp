#include <exception>
#include <string>

#include <QFileInfo>
#include <QStatusBar>

#include "app/main_window.h"
#include "app/prompts.h"
#include "build/files.h"
#include "build/loop_search.h"
#include "pages/music_tools.h"
#include "pages/pages.h"

namespace {

struct SearchResult {
  tbp::LoopSuggestion suggestion;
  std::exception_ptr error;  // the reader's or the decoder's, shown when the result is taken
};

SearchResult searchFile(const std::string& file) {
  SearchResult result;
  try {
    result.suggestion = tbp::findLoopStart(tbp::readFile(file, tbp::FileRole::Audio));
  } catch (...) {
    result.error = std::current_exception();
  }
  return result;
}

// Loops the song from the suggestion in one step. The exact start is kept (the spin box shows
// it to two decimals), so the track is the one `bexulo-cli build --msu SONG=FILE@auto` writes.
void loopFrom(MainWindow& window, int song, const tbp::LoopSuggestion& suggestion) {
  const QString match = QString::number(suggestion.match, 'f', 3);
  if (!suggestion.found) {
    window.statusBar()->clearMessage();
    window.prompts().warning(
        QStringLiteral("No seamless loop"),
        QStringLiteral("No start in this file sounds enough like its end to loop without a "
                       "jump (best match %1). Click in the waveform or type the loop start.")
            .arg(match));
    return;
  }
  window.editPort(QStringLiteral("Find loop"), [&] {
    MusicChoice& choice = window.musicChoices.at(song);
    choice.loop = true;
    choice.loopStart = suggestion.seconds;
    window.portImage.setMsuLoop(song, true);
  });
  window.rebuildMusicList();
  window.statusBar()->showMessage(
      QStringLiteral("Loop start %1 s (frame %2 at 44100 Hz), match %3")
          .arg(QString::number(suggestion.seconds, 'f', 3))
          .arg(suggestion.msuFrame)
          .arg(match));
}

// Takes a search's result, unless the search was stopped or replaced meanwhile or the song
// has another file now (or none): a result only ever applies to the file it was made from.
void finishSearch(MainWindow& window, int song, int ticket, const SearchResult& result) {
  MusicTools& tools = musicTools(window);
  const auto search = tools.searches.find(song);
  if (search == tools.searches.end() || search->second.ticket != ticket) return;
  const QString path = search->second.path;
  tools.searches.erase(search);
  emit tools.searchesChanged();
  const auto choice = window.musicChoices.find(song);
  if (choice == window.musicChoices.end() || choice->second.path != path) return;
  runPageHandler(window, [&] {
    if (result.error) std::rethrow_exception(result.error);
    loopFrom(window, song, result.suggestion);
  });
}

}  // namespace

bool MusicTools::searching(int song, const MusicChoice& choice) const {
  const auto search = searches.find(song);
  return search != searches.end() && search->second.path == choice.path;
}

void toggleLoopSearch(MainWindow& window, int song) {
  MusicTools& tools = musicTools(window);
  const auto choice = window.musicChoices.find(song);
  if (tools.searches.count(song) || choice == window.musicChoices.end())
    return stopLoopSearch(window, song);
  const int ticket = ++tools.lastTicket;
  const QString path = choice->second.path;
  tools.searches[song] = {ticket, path};
  tools.workers.run(
      &tools, [file = path.toUtf8().toStdString()] { return searchFile(file); },
      [&window, song, ticket](const SearchResult& result) {
        finishSearch(window, song, ticket, result);
      });
  emit tools.searchesChanged();
  window.statusBar()->showMessage(
      QStringLiteral("Looking for a loop start in %1...").arg(QFileInfo(path).fileName()));
}

void stopLoopSearch(MainWindow& window, int song) {
  MusicTools& tools = musicTools(window);
  if (tools.searches.erase(song) == 0) return;
  emit tools.searchesChanged();
  window.statusBar()->clearMessage();
}
