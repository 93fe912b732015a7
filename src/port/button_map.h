#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tbp {

// The port's button map has one byte per SNES button, in the order the controller reports them.
inline constexpr int snesButtonCount = 12;

// "B", "Y", "Select", "Start", "Up", "Down", "Left", "Right", "A", "X", "L", "R".
const std::array<const char*, snesButtonCount>& snesButtonNames();

// What a map byte makes the button do, with the name the Controls page shows for it.
struct ButtonAction {
  const char* name;
  std::uint8_t value;
};
inline constexpr std::uint8_t noButtonAction = 0xFF;

// "NES A" (0) ... "Turbo B" (9) and "(nothing)" (0xFF), in the order the page lists them.
const std::array<ButtonAction, 11>& buttonActions();

// A ready-made layout: all twelve bytes of the map.
struct ButtonPreset {
  const char* name;
  std::array<std::uint8_t, snesButtonCount> map;
};
const std::array<ButtonPreset, 4>& buttonPresets();

// The index of a SNES button by its name (any case); nullopt for no button.
std::optional<int> findSnesButton(const std::string& name);
// A map byte by the action's name (any case; "nothing" for "(nothing)"); nullopt for none.
std::optional<std::uint8_t> findButtonAction(const std::string& name);
// The name of a map byte; empty for a byte that names no action (10 to 254).
std::string buttonActionName(std::uint8_t value);
// A preset by its whole name or the part before its colon (any case); nullptr for none.
const ButtonPreset* findButtonPreset(const std::string& name);

}  // namespace tbp
