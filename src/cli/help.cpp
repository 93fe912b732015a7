#include <algorithm>
#include <string>

#include "cli/verbs.h"
#include "port/port_image.h"

#ifndef TBP_VERSION
#define TBP_VERSION "unknown"
#endif

namespace tbp::cli {
namespace {

const char* const kApplyDetails =
    "Applies PATCH to ROM and writes the result. A patch file that starts with \"BPS1\" is\n"
    "applied as BPS, which checks the ROM's size and checksum; one that starts with \"UPS1\"\n"
    "as UPS, which also undoes itself when given its target ROM; any other file as IPS.\n"
    "\n"
    "  -o, --output OUT   the file to write. Default: the ROM's folder, the patch's name and\n"
    "                     .sfc for a port or a result of 256 KB or more, .bin otherwise;\n"
    "                     never ROM or PATCH themselves\n";

const char* const kCreateDetails =
    "Creates a BPS patch (or IPS, or UPS) that turns SOURCE into TARGET, applies it back to\n"
    "SOURCE to prove that it gives TARGET, and only then writes it.\n"
    "\n"
    "  -o, --output PATCH   the file to write. Default: SOURCE's folder and name with .bps\n"
    "                       (.ips, .ups), where emulators that soft-patch look for it;\n"
    "                       never SOURCE or TARGET themselves\n"
    "  --ips                an IPS patch (files up to 16 MB)\n"
    "  --ups                a UPS patch, which checks both files' CRC32 and works both ways\n"
    "  --metadata TEXT      text stored in a BPS patch (default: none)\n";

const char* const kInfoDetails =
    "Reports on a port: its size, digests, SNES header, what its manifest says (switches,\n"
    "palette slot, chip, fonts, splash sounds, MSU-1 songs, content end) and the NES ROM it\n"
    "was built from. Reports on an NES ROM (a .nes file or any file with an iNES header): its\n"
    "digests, its iNES header and what the game database says: the game, a header repair, or\n"
    "which dump the patch needs.\n"
    "\n"
    "  --games DIR   the folder that holds games.json. Default: games/ beside the program,\n"
    "                then games/ in the current folder\n"
    "  --json        JSON for scripts instead of text\n";

const char* const kLoopDetails =
    "Looks for the loop start that makes the jump from the end of an audio file (WAV, MP3, OGG\n"
    "or FLAC) seamless: where the music just before it sounds like the music just before the\n"
    "end. Prints \"loop start: S s (frame F at 44100 Hz), match Q\" with Q from 0 (unlike) to\n"
    "1 (identical), or says that no start matches well enough.\n"
    "\n"
    "  --json   JSON for scripts instead of text\n";

const char* const kSettingsDetails =
    "Prints the settings of a port (a built port or a saved ROM) as a settings document, the\n"
    "JSON that 'build --settings' and the window's \"Import settings...\" apply. Glyphs and\n"
    "palette hints are listed where they differ from the port its NES ROM builds; when that\n"
    "cannot be built (no game database, no NES ROM inside the port) all of them are listed.\n"
    "\n"
    "  --games DIR   the folder that holds games.json\n";

const char* const kScanDetails =
    "Walks DIR and every folder in it (following no links) and reports each NES ROM (a file\n"
    "with an iNES header, or named .nes): the game and how it matched (exact, headerless,\n"
    "header repaired), the near-miss report when it resembles a known game but is another\n"
    "dump, or unknown. Files are read once and identified on every processor core.\n"
    "\n"
    "  --games DIR   the folder that holds games.json\n"
    "  --json        JSON for scripts instead of text\n";

// The switch keys, wrapped under the --set line.
std::string switchKeys() {
  const std::string indent(30, ' ');
  std::string text;
  std::string line;
  for (const SwitchInfo& info : switchTable()) {
    if (!line.empty() && indent.size() + line.size() + 1 + std::string(info.key).size() > 90) {
      text += indent + line + "\n";
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += info.key;
  }
  return text + indent + line + "\n";
}

std::string buildDetails() {
  return "Builds the port of a supported game from your NES ROM, applies the settings and\n"
         "writes the SNES ROM (or, with --bps, a BPS patch against the NES ROM), with the .msu\n"
         "file and the MSU-1 tracks beside it: the same files the window saves for the same\n"
         "choices. Nothing is written when anything fails: the files that were there stay\n"
         "as they were. OUT, the tracks and the .msu file may not be any of the inputs.\n"
         "\n"
         "  -o, --output OUT          the SNES ROM (or BPS patch) to write; the tracks are\n"
         "                            named after it (OUT without extension, -N.pcm)\n"
         "  --games DIR               the folder that holds games.json\n"
         "  --set KEY=on|off          turn a switch on or off (repeatable); the keys:\n" +
         switchKeys() +
         "  --palette N               NES palette slot, 0 to 7\n"
         "  --preset NAME             a button layout of the Controls page: Standard, NES layout,\n"
         "                            Turbo on L / R or No turbo\n"
         "  --button SNES=ACTION      what a SNES button does (repeatable): B Y Select Start Up\n"
         "                            Down Left Right A X L R = NES A, NES B, Select, Start,\n"
         "                            Up, Down, Left, Right, Turbo A, Turbo B or nothing\n"
         "  --turbo N                 turbo cycle, 2 to 60 frames\n"
         "  --chord N                 how long engine chords are held, 1 to 255 frames\n"
         "  --splash-sound SLOT=off   remove the sound of splash slot 1, 2 or 3 (repeatable)\n"
         "  --settings FILE           a settings document (see 'bexulo-cli settings'), applied\n"
         "                            before the options above; what the port cannot take is\n"
         "                            listed on standard error\n"
         "  --chip CHIP               coprocessor header: none, gsu1, gsu2, gsu2sp1 or sa1\n"
         "  --size SIZE               as-is (default), smallest, 2mb or 4mb\n"
         "  --gg CODES                NES Game Genie codes, separated by blanks, commas or\n"
         "                            semicolons; a code that cannot be read stops the build,\n"
         "                            and what each code did is reported on standard error\n"
         "  --msu SONG=AUDIO[@LOOP]   play AUDIO (WAV, MP3, OGG or FLAC) through MSU-1 in place\n"
         "                            of NES song SONG (decimal, or hex as $1F or 0x1F);\n"
         "                            @LOOP loops from LOOP seconds, @auto from the start that\n"
         "                            'loop' suggests, @off plays it once, and without it the\n"
         "                            port's own loop setting holds (repeatable)\n"
         "  --loudness LUFS           scale every track to this integrated loudness (EBU R 128,\n"
         "                            -20 matches the window's default), never raising a peak\n"
         "                            above -1 dBFS\n"
         "  --trim                    drop each track's leading silence (below -60 dBFS)\n"
         "  --fade SECONDS            fade out the last SECONDS of each track that does not loop\n"
         "  --bps                     write a BPS patch against the NES ROM instead\n"
         "\n"
         "The settings are applied in this order: the settings document, then chip, music,\n"
         "switches, palette, preset, buttons, timings, splash sounds; the Game Genie codes and\n"
         "the ROM size when the file is written. 'bexulo-cli help build FILE' adds the values\n"
         "of the port FILE is (or FILE's NES ROM builds).\n";
}

const OptionSpec kOutput{{"-o", "--output"}};
const OptionSpec kGames{{"--games"}};

}  // namespace

const std::vector<Verb>& verbs() {
  static const std::vector<Verb> table = {
      {"apply",
       "apply PATCH ROM [-o OUT]",
       "apply a BPS, UPS or IPS patch to a ROM",
       kApplyDetails,
       {{"PATCH", "ROM"}, {kOutput}},
       runApply},
      {"create",
       "create SOURCE TARGET [-o PATCH] [--ips | --ups | --metadata TEXT]",
       "create a BPS, IPS or UPS patch from SOURCE to TARGET",
       kCreateDetails,
       {{"SOURCE", "TARGET"}, {kOutput, {{"--metadata"}}, {{"--ips"}, false}, {{"--ups"}, false}}},
       runCreate},
      {"info",
       "info FILE [--games DIR] [--json]",
       "report on a port or an NES ROM",
       kInfoDetails,
       {{"FILE"}, {kGames, {{"--json"}, false}}},
       runInfo},
      {"build",
       "build NES -o OUT [SETTINGS]",
       "build a port from your NES ROM",
       buildDetails(),
       {{"NES"},
        {kOutput,
         kGames,
         {{"--set"}, true, true},
         {{"--palette"}},
         {{"--chip"}},
         {{"--size"}},
         {{"--gg"}},
         {{"--msu"}, true, true},
         {{"--loudness"}},
         {{"--trim"}, false},
         {{"--fade"}},
         {{"--preset"}},
         {{"--button"}, true, true},
         {{"--turbo"}},
         {{"--chord"}},
         {{"--splash-sound"}, true, true},
         {{"--settings"}},
         {{"--bps"}, false}}},
       runBuild},
      {"loop",
       "loop AUDIO [--json]",
       "suggest a seamless loop start for an audio file",
       kLoopDetails,
       {{"AUDIO"}, {{{"--json"}, false}}},
       runLoop},
      {"settings",
       "settings PORT [--games DIR]",
       "print a port's settings as a settings document",
       kSettingsDetails,
       {{"PORT"}, {kGames}},
       runSettings},
      {"scan",
       "scan DIR [--games DIR] [--json]",
       "identify every NES ROM in a folder",
       kScanDetails,
       {{"DIR"}, {kGames, {{"--json"}, false}}},
       runScan},
  };
  return table;
}

const Verb* findVerb(const std::string& name) {
  for (const Verb& verb : verbs())
    if (name == verb.name) return &verb;
  return nullptr;
}

std::string overviewHelp() {
  const auto line = [](std::string usage, const std::string& summary) {
    usage.resize(std::max<std::size_t>(usage.size() + 2, 26), ' ');
    return "  " + usage + summary + "\n";
  };
  std::string text =
      "Usage: bexulo-cli COMMAND [ARGUMENTS]\n"
      "\n"
      "Builds and configures TEAM Bexulo NES-to-SNES ports and applies patches, with the same\n"
      "results as the TEAM Bexulo Patcher window.\n"
      "\n"
      "Commands:\n";
  for (const Verb& verb : verbs()) {
    std::string usage = verb.name;
    for (const std::string& positional : verb.syntax.positionals) usage += " " + positional;
    text += line(usage, verb.summary);
  }
  return text + line("help [COMMAND]", "show this help, or a command's options") +
         "\n"
         "  -h, --help   show this help\n"
         "  --version    show the version\n"
         "\n"
         "Exit status: 0 on success, 1 when an input is refused, 2 for a usage error.\n";
}

std::string verbHelp(const Verb& verb) {
  return std::string("Usage: bexulo-cli ") + verb.synopsis + "\n\n" + verb.details;
}

std::string versionText() { return std::string("bexulo-cli ") + TBP_VERSION + "\n"; }

}  // namespace tbp::cli
