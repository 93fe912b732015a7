#include <iostream>
#include <stdexcept>
#include <unistd.h>
#include <utility>
#include <vector>

#include "build/audio.h"
#include "build/build_port.h"
#include "build/files.h"
#include "build/jobs_in_order.h"
#include "build/loop_search.h"
#include "build/msu_files.h"
#include "build/nes_rom.h"
#include "build/patch_files.h"
#include "build/paths.h"
#include "build/port_verdict.h"
#include "build/staged_files.h"
#include "build/track_shaping.h"
#include "cli/build_settings.h"
#include "cli/database.h"
#include "cli/output_guard.h"
#include "cli/verbs.h"
#include "formats/patches.h"

namespace tbp::cli {
namespace {

// The port of the game the NES ROM is, built as the window builds it when the ROM is opened.
struct BuiltPort {
  Bytes nesFile;  // the file as the user has it: the source of a BPS
  NesRom nes;     // with the header the base patch expects: what codes are matched with
  PortImage port;
};

BuiltPort buildFromNes(const std::string& path, const GameDatabase& database) {
  BuiltPort built;
  built.nesFile = readFile(path, FileRole::NesRom);
  built.nes = identifyNesRom(database, built.nesFile);
  if (!built.nes.game)
    throw std::runtime_error("This isn't the NES ROM the patch was made from.\n\n" +
                             describeUnknownRom(fileNameOf(path), database, built.nesFile));
  built.port = PortImage(buildPort(database, built.nes));
  // A base patch that does not make a port is refused with the window's "Not a port" report.
  if (!built.port.isPort()) throw std::runtime_error(notAPortReport(built.port.bytes()));
  return built;
}

// A code that cannot be read at all is refused before anything is built, with the report the
// Switches page shows for it.
void refuseUnreadableCodes(const std::vector<std::string>& codes) {
  std::string reports;
  for (const std::string& text : codes) {
    const GameGenieCode code = decodeGameGenie(text);
    if (!code.ok) reports += (reports.empty() ? "" : "\n") + code.code + ": " + code.error;
  }
  if (!reports.empty()) throw std::runtime_error(reports);
}

// Every file the build writes: the output, its tracks and the tracks' marker.
std::vector<std::string> outputsOf(const BuildSettings& settings) {
  std::vector<std::string> outputs{settings.output};
  const std::string base = msuBasePath(settings.output);
  for (const auto& [song, choice] : settings.tracks) outputs.push_back(msuTrackPath(base, song));
  if (!settings.tracks.empty()) outputs.push_back(msuMarkerPath(base));
  return outputs;
}

// Every file the build reads, none of which it may replace.
std::vector<std::string> inputsOf(const BuildSettings& settings, const std::string& nesPath,
                                  const DatabaseLookup& lookup) {
  std::vector<std::string> inputs{nesPath};
  for (const auto& [song, choice] : settings.tracks) inputs.push_back(choice.audioPath);
  if (lookup.loaded) {
    inputs.push_back(lookup.path);
    for (const GameEntry& game : lookup.database.games)
      inputs.push_back(lookup.database.basePatchPath(game));
  }
  return inputs;
}

void reportCodes(const std::vector<GameGenieResult>& results) {
  for (const GameGenieResult& result : results)
    std::cerr << result.code << ": " << result.report << "\n";
}

// What the save writes in place of the ROM with --bps: a patch from the NES file to the image,
// proven by applying it back.
Bytes patchAgainstNes(const BuiltPort& built, const Bytes& image) {
  return createProvenPatch(PatchFormat::Bps, built.nesFile, image,
                           "TEAM Bexulo Patcher: " + built.nes.game->port);
}

// The loop start of a track: the one given, or the one the loop search suggests for "@auto".
double loopStartOf(const TrackChoice& choice) {
  if (!choice.loop.value_or(false)) return -1.0;
  if (!choice.suggestedLoop) return choice.loopStart;
  const std::string name = fileNameOf(choice.audioPath);
  const Bytes audio = readFile(choice.audioPath, FileRole::Audio);  // its errors name the path
  LoopSuggestion loop;
  try {
    loop = findLoopStart(audio);
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(name + ": " + error.what());
  }
  if (!loop.found)
    throw std::runtime_error(name + ": no seamless loop start found; give the loop start in seconds");
  return loop.seconds;
}

// Converts every chosen track, staged beside the output: one track a core at a time, taken
// in ascending song order, so that the progress lines and the error reported are those of
// converting them one by one.
void stageTracks(StagedFiles& files, const BuildSettings& settings) {
  const std::string base = msuBasePath(settings.output);
  const bool terminal = isatty(STDERR_FILENO) == 1;
  const std::vector<std::pair<int, TrackChoice>> tracks(settings.tracks.begin(),
                                                        settings.tracks.end());
  runJobsInOrder(
      tracks.size(), 0,
      [&](std::size_t i) {
        const auto& [song, choice] = tracks[i];
        stageMsuTrack(files, choice.audioPath, loopStartOf(choice), msuTrackPath(base, song),
                      settings.shaping);
      },
      [&](std::size_t i) {
        if (terminal)
          std::cerr << "Converting " << fileNameOf(tracks[i].second.audioPath) << " ..."
                    << std::endl;
      });
  files.setMarker(msuMarkerPath(base));
}

}  // namespace

void runBuild(const Arguments& arguments) {
  BuildSettings settings = parseBuildSettings(arguments);
  refuseUnreadableCodes(settings.codes);
  const DatabaseLookup lookup = findDatabase(arguments);
  refuseOutputOverInput(outputsOf(settings), inputsOf(settings, arguments.positionals[0], lookup));
  BuiltPort built = buildFromNes(arguments.positionals[0], requireDatabase(lookup));
  for (const std::string& skip : dropForeignTracks(built.port, settings))
    std::cerr << "Skipped " << skip << "\n";
  // A track without its own loop setting follows the port's flag for the song.
  for (auto& [song, choice] : settings.tracks)
    choice.loop = choice.loop.value_or(built.port.msuLoop(song));
  for (const std::string& skip : applyBuildSettings(built.port, settings))
    std::cerr << "Skipped " << skip << "\n";

  std::vector<GameGenieResult> codeReports;
  const PortImage image =
      makeFinalImage(built.port, settings.codes, built.nes.rom, settings.size, &codeReports);
  reportCodes(codeReports);
  const Bytes output = settings.bps ? patchAgainstNes(built, image.bytes()) : image.bytes();

  StagedFiles files;
  files.stage(settings.output, output);
  if (!settings.tracks.empty()) stageTracks(files, settings);
  files.commit();

  // The header-repair note, which the window shows in its status bar.
  if (!built.nes.note.empty()) std::cerr << built.nes.note << "\n";
  const std::string tracks = settings.tracks.empty()
                                 ? ""
                                 : " + " + std::to_string(settings.tracks.size()) +
                                       " MSU-1 track(s)" + (settings.bps ? " beside it" : "");
  std::cout << (settings.bps ? "Patch saved: " : "Saved ") << settings.output << " ("
            << output.size() / kKilobyte << " KB)" << tracks << "\n";
}

}  // namespace tbp::cli
