#include "cli/build_settings.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "build/files.h"
#include "port/game_genie.h"

namespace tbp::cli {
namespace {

constexpr int kMsuSwitch = 12;
constexpr int kLastSong = 63;
constexpr int kLastPaletteSlot = 7;

template <typename Value>
Value choose(const std::vector<std::pair<std::string, Value>>& choices, const std::string& option,
             const std::string& text) {
  std::string names;
  for (const auto& [name, value] : choices) {
    if (name == text) return value;
    names += (names.empty() ? "" : ", ") + name;
  }
  throw UsageError(option + " takes one of " + names + ", not '" + text + "'");
}

// A whole number in base 10, or base 16 after "$" or "0x"; nullopt for anything else.
std::optional<long> wholeNumber(const std::string& text) {
  int base = 10;
  std::size_t start = 0;
  if (text.rfind("$", 0) == 0) base = 16, start = 1;
  if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) base = 16, start = 2;
  if (start >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[start])))
    return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str() + start, &end, base);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

std::pair<SwitchInfo, bool> parseSwitch(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::string key = text.substr(0, equals);
  const std::string state = equals == std::string::npos ? "" : text.substr(equals + 1);
  if (state != "on" && state != "off")
    throw UsageError("--set takes KEY=on or KEY=off, not '" + text + "'");
  for (const SwitchInfo& info : switchTable())
    if (key == info.key) return {info, state == "on"};
  throw UsageError("unknown switch '" + key + "'");
}

// SONG=AUDIO[@LOOP]. A "@" is a loop setting only when what follows it reads as one, so that an
// audio path may hold "@" itself.
std::pair<int, TrackChoice> parseTrack(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::optional<long> song =
      equals == std::string::npos ? std::nullopt : wholeNumber(text.substr(0, equals));
  if (!song || *song < 0 || *song > kLastSong)
    throw UsageError("--msu takes SONG=AUDIO with a song from 0 to 63, not '" + text + "'");
  TrackChoice choice;
  choice.audioPath = text.substr(equals + 1);
  const std::size_t at = choice.audioPath.rfind('@');
  if (at != std::string::npos) {
    const std::string loop = choice.audioPath.substr(at + 1);
    char* end = nullptr;
    const double seconds = std::strtod(loop.c_str(), &end);
    if (loop == "off") {
      choice.loop = false;
    } else if (loop == "auto") {
      choice.loop = true;
      choice.suggestedLoop = true;
    } else if (!loop.empty() && *end == '\0' && std::isfinite(seconds) && seconds >= 0) {
      choice.loop = true;
      choice.loopStart = seconds;
    }
    if (choice.loop) choice.audioPath.resize(at);
  }
  if (choice.audioPath.empty()) throw UsageError("--msu needs an audio file: '" + text + "'");
  return {int(*song), choice};
}

// A number of a given range for an option, or a usage error naming the option.
double decimalOption(const Arguments& arguments, const std::string& option, double low,
                     double high) {
  const std::string text = arguments.value(option);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value >= low && value <= high))
    throw UsageError(option + " takes a number from " + std::to_string(int(low)) + " to " +
                     std::to_string(int(high)) + ", not '" + text + "'");
  return value;
}

TrackShaping parseShaping(const Arguments& arguments) {
  TrackShaping shaping;
  if (arguments.has("--loudness"))
    shaping.loudnessTarget = decimalOption(arguments, "--loudness", -70, 0);
  shaping.trimSilence = arguments.has("--trim");
  if (arguments.has("--fade")) shaping.fadeSeconds = decimalOption(arguments, "--fade", 0, 60);
  return shaping;
}

void chooseTrack(PortImage& port, int song, const TrackChoice& choice) {
  if (!port.hasMsu1())
    throw std::runtime_error("This ROM has no MSU-1 support (built before it was added).");
  bool named = false;
  for (const MsuSong& known : port.msuSongs()) named = named || known.index == song;
  if (!named) throw std::runtime_error("this port has no song " + std::to_string(song));
  // Audio that cannot be read at all (missing, not a file, too large) is refused before
  // anything slow starts.
  checkReadableFile(choice.audioPath, FileRole::Audio);
  // As the Music page does: the song plays MSU-1 track number `song`, and MSU-1 is switched on.
  const bool loop = choice.loop.value_or(port.msuLoop(song));
  port.setMsuTrack(song, song);
  port.setMsuLoop(song, loop);
  port.setSwitch(kMsuSwitch, true);
}

// SNES=ACTION with the names the Controls page shows: "--button A=Turbo B", "--button L=nothing".
std::pair<int, std::uint8_t> parseButton(const std::string& text) {
  const std::size_t equals = text.find('=');
  const std::optional<int> button =
      equals == std::string::npos ? std::nullopt : findSnesButton(text.substr(0, equals));
  const std::optional<std::uint8_t> action =
      equals == std::string::npos ? std::nullopt : findButtonAction(text.substr(equals + 1));
  if (!button || !action)
    throw UsageError("--button takes SNES=ACTION with the names of the Controls page, not '" +
                     text + "'");
  return {*button, *action};
}

int numberIn(const Arguments& arguments, const std::string& option, long low, long high) {
  const std::string text = arguments.value(option);
  const std::optional<long> number = wholeNumber(text);
  if (!number || *number < low || *number > high)
    throw UsageError(option + " takes a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + text + "'");
  return int(*number);
}

void parseControls(const Arguments& arguments, BuildSettings& settings) {
  if (arguments.has("--preset")) {
    settings.preset = findButtonPreset(arguments.value("--preset"));
    if (!settings.preset)
      throw UsageError("unknown preset '" + arguments.value("--preset") + "'");
  }
  for (const std::string& text : arguments.values("--button"))
    settings.buttons.push_back(parseButton(text));
  if (arguments.has("--turbo")) settings.turboCycle = numberIn(arguments, "--turbo", 2, 60);
  if (arguments.has("--chord")) settings.chordHold = numberIn(arguments, "--chord", 1, 255);
  for (const std::string& text : arguments.values("--splash-sound")) {
    const std::optional<long> slot = wholeNumber(text.substr(0, text.find('=')));
    if (!slot || *slot < 1 || *slot > 3 || text.substr(text.find('=') + 1) != "off" ||
        text.find('=') == std::string::npos)
      throw UsageError("--splash-sound takes SLOT=off with a slot from 1 to 3, not '" + text + "'");
    settings.splashSoundsRemoved.push_back(int(*slot));
  }
}

void applyControls(PortImage& port, const BuildSettings& settings) {
  if ((settings.turboCycle || settings.chordHold) && !port.hasConfig())
    throw std::runtime_error("this port has no turbo or chord timings");
  if (settings.preset)
    for (int button = 0; button < snesButtonCount; ++button)
      port.setButtonAction(button, settings.preset->map[std::size_t(button)]);
  for (const auto& [button, action] : settings.buttons) port.setButtonAction(button, action);
  if (settings.turboCycle) port.setTurboCycle(*settings.turboCycle);
  if (settings.chordHold) port.setChordHold(*settings.chordHold);
  for (const int slot : settings.splashSoundsRemoved) {
    if (!port.hasSplashSounds()) throw std::runtime_error("this port has no splash sounds");
    // As on the Splash & Sound page, whose button is disabled for a slot without a sound.
    if (port.splashSoundPresent(slot - 1)) port.clearSplashSound(slot - 1);
  }
}

}  // namespace

BuildSettings parseBuildSettings(const Arguments& arguments) {
  BuildSettings settings;
  settings.output = arguments.value("-o");
  if (settings.output.empty()) throw UsageError("missing -o OUT");
  settings.bps = arguments.has("--bps");
  if (arguments.has("--chip")) settings.chip = choose(chipKeys(), "--chip", arguments.value("--chip"));
  if (arguments.has("--size")) settings.size = choose(romSizeKeys(), "--size", arguments.value("--size"));
  for (const std::string& text : arguments.values("--set"))
    settings.switches.push_back(parseSwitch(text));
  if (arguments.has("--palette")) {
    const std::string text = arguments.value("--palette");
    const std::optional<long> slot = wholeNumber(text);
    if (!slot || *slot < 0 || *slot > kLastPaletteSlot)
      throw UsageError("--palette takes a slot from 0 to 7, not '" + text + "'");
    settings.paletteSlot = int(*slot);
  }
  settings.codes = splitGameGenieCodes(arguments.value("--gg"));
  for (const std::string& text : arguments.values("--msu")) {
    auto [song, choice] = parseTrack(text);
    settings.tracks[song] = choice;  // a later choice for the same song replaces the earlier
  }
  settings.shaping = parseShaping(arguments);
  parseControls(arguments, settings);
  if (arguments.has("--settings")) takeSettingsFile(arguments, settings);
  return settings;
}

std::vector<std::string> applyBuildSettings(PortImage& port, const BuildSettings& settings) {
  const std::vector<std::string> skipped =
      settings.document ? applyPortSettings(port, *settings.document) : std::vector<std::string>{};
  if (settings.chip) port.setChip(*settings.chip);
  if (settings.size == RomSizeChoice::FourMegabytes && port.chip() != 0)
    throw std::runtime_error("4 MB (largest LoROM) is only for ports without a coprocessor");
  for (const auto& [song, choice] : settings.tracks) chooseTrack(port, song, choice);
  for (const auto& [info, on] : settings.switches) {
    if (!port.supportsSwitch(info.bit))
      throw std::runtime_error(std::string("this port does not offer the switch ") + info.key);
    port.setSwitch(info.bit, on);
  }
  if (settings.paletteSlot) port.setPaletteSlot(*settings.paletteSlot);
  applyControls(port, settings);
  return skipped;
}

}  // namespace tbp::cli
