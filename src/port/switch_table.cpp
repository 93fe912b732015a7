// The engine switches the tool knows, in the order the pages show them.
#include "port/port_image.h"

namespace tbp {

const std::vector<SwitchInfo>& switchTable() {
  static const std::vector<SwitchInfo> table = {
      {9, "soft_reset", "Soft reset (L+R+Select+Start)", "Controls",
       "Hold L+R+Select+Start on pad 1 to return to the title (warm reboot)."},
      {20, "freeze", "Freeze / frame step (L+R+Select)", "Controls",
       "Hold L+R+Select to freeze the game; tap Select alone to step one frame."},
      {29, "speed_control", "Speed control (L+R+Start+X/Y)", "Controls",
       "L+R+Start+X = faster, +Y = slower: 1/10, 1/4, 1/2, 3/4, 1x, 1.5x, 2x, MAX."},
      {21, "save_combo", "Save / load (L+R+X / L+R+Y)", "Controls",
       "Save the game's progress with L+R+X and load it with L+R+Y (not a save state). It goes "
       "into the cartridge's battery save: the .srm file your emulator or FXPak Pro keeps for the "
       "ROM (FXPak: /sd2snes/saves/). Copy the .srm to back up or move saves."},
      {24, "splash1", "Splash 1 (game clip)", "Splash", "The opening movie / image."},
      {25, "splash2", "Splash 2 (TEAM BEXULO banner)", "Splash", "The banner with the stamp."},
      {26, "splash3", "Splash 3", "Splash", "The third splash slot."},
      {30, "debug_easter_egg", "Debug stage select (Y+Start on the title)", "Extras",
       "Easter egg: the debug stage select."},
      {31, "symbol_viewer", "Symbol / font viewer (X+Start on the title)", "Extras",
       "Browse the embedded symbols and fonts."},
      {27, "library", "Utility library (for romhacks)", "Extras",
       "Exposes the engine's library calls to hacks (lib_call)."},
      {19, "sprite_limit", "NES sprite limit (8 per line)", "Accuracy",
       "Authentic NES sprite flicker; off = no flicker."},
      {11, "tile_4bpp", "4bpp tiles (Mode 1)", "Accuracy",
       "Hack-friendly 4bpp graphics mode (two spare colour planes per tile)."},
      {1, "pal_authentic", "PAL: run 1:1 at 50 Hz", "Accuracy",
       "Off = speed-corrected to 60 game frames per second on PAL consoles."},
      {8, "deterministic_boot", "Deterministic boot", "Accuracy",
       "A cold boot clears all WRAM (identical start, for TAS / replays)."},
      {10, "silence", "Silence (no audio)", "Accuracy", "Mutes the sound chip."},
      {14, "diag_overlay", "Diagnostics overlay", "Extras",
       "Shows engine counters on the top band."},
      {12, "msu1", "MSU-1 music (your own tracks)", "Extras",
       "Plays the songs you add on the Music tab through MSU-1 (FXPak Pro, bsnes, snes9x). Without "
       "MSU-1 the NES music plays."},
      {0, "fastrom", "FastROM", "System",
       "3.58 MHz ROM access (needs 120 ns ROM; every flash cart is)."},
  };
  return table;
}

}  // namespace tbp
