// The names of the SNES buttons, the NES actions and the ready-made button layouts, shared by the
// Controls page, the settings document and the command line.
#include "port/button_map.h"

#include <algorithm>
#include <cctype>

namespace tbp {
namespace {

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

bool sameName(const std::string& a, const std::string& b) { return lowerCase(a) == lowerCase(b); }

}  // namespace

const std::array<const char*, snesButtonCount>& snesButtonNames() {
  static constexpr std::array<const char*, snesButtonCount> names = {
      "B", "Y", "Select", "Start", "Up", "Down", "Left", "Right", "A", "X", "L", "R"};
  return names;
}

const std::array<ButtonAction, 11>& buttonActions() {
  static constexpr std::array<ButtonAction, 11> actions = {{{"NES A", 0},
                                                            {"NES B", 1},
                                                            {"Select", 2},
                                                            {"Start", 3},
                                                            {"Up", 4},
                                                            {"Down", 5},
                                                            {"Left", 6},
                                                            {"Right", 7},
                                                            {"Turbo A", 8},
                                                            {"Turbo B", 9},
                                                            {"(nothing)", noButtonAction}}};
  return actions;
}

const std::array<ButtonPreset, 4>& buttonPresets() {
  static constexpr std::array<ButtonPreset, 4> presets = {{
      {"Standard: B jump, Y fire, A/X turbo", {0, 1, 2, 3, 4, 5, 6, 7, 9, 8, 9, 8}},
      {"NES layout: B = NES B, A = NES A", {1, 1, 2, 3, 4, 5, 6, 7, 0, 0, 9, 8}},
      {"Turbo on L / R", {0, 1, 2, 3, 4, 5, 6, 7, 1, 0, 9, 8}},
      {"No turbo", {0, 1, 2, 3, 4, 5, 6, 7, 1, 0, 255, 255}},
  }};
  return presets;
}

std::optional<int> findSnesButton(const std::string& name) {
  for (int i = 0; i < snesButtonCount; ++i)
    if (sameName(name, snesButtonNames()[std::size_t(i)])) return i;
  return std::nullopt;
}

std::optional<std::uint8_t> findButtonAction(const std::string& name) {
  if (sameName(name, "nothing")) return noButtonAction;
  for (const ButtonAction& action : buttonActions())
    if (sameName(name, action.name)) return action.value;
  return std::nullopt;
}

std::string buttonActionName(std::uint8_t value) {
  for (const ButtonAction& action : buttonActions())
    if (action.value == value) return action.name;
  return {};
}

const ButtonPreset* findButtonPreset(const std::string& name) {
  for (const ButtonPreset& preset : buttonPresets()) {
    const std::string full = preset.name;
    if (sameName(name, full) || sameName(name, full.substr(0, full.find(':')))) return &preset;
  }
  return nullptr;
}

}  // namespace tbp
