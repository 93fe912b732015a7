// `settings PORT` prints a port's settings document; `help build FILE` lists a port's own values.
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "build/build_port.h"
#include "build/files.h"
#include "build/nes_rom.h"
#include "build/paths.h"
#include "build/port_settings.h"
#include "build/port_verdict.h"
#include "build/snes_header_report.h"
#include "cli/database.h"
#include "cli/verbs.h"
#include "port/button_map.h"

namespace tbp::cli {
namespace {

// A port and, where the database can build it, the port as its base patch makes it.
struct LoadedPort {
  PortImage port;
  std::optional<PortImage> original;
};

std::optional<PortImage> buildOriginal(const DatabaseLookup& lookup, const Bytes& nesFile) {
  if (!lookup.loaded || nesFile.empty()) return std::nullopt;
  const NesRom nes = identifyNesRom(lookup.database, nesFile);
  if (!nes.game) return std::nullopt;
  try {
    return PortImage(buildPort(lookup.database, nes));
  } catch (const std::exception&) {
    return std::nullopt;  // a missing base patch only costs the comparison
  }
}

// A port file (a copier header is dropped), or an NES ROM whose port is built as `build` does.
LoadedPort loadPort(const std::string& path, const DatabaseLookup& lookup) {
  Bytes file = readFile(path, FileRole::Rom);
  LoadedPort loaded;
  if (hasInesMagic(file)) {
    loaded.original = buildOriginal(lookup, file);
    if (!loaded.original)
      throw std::runtime_error("This isn't the NES ROM the patch was made from.\n\n" +
                               describeUnknownRom(fileNameOf(path), lookup.database, file));
    loaded.port = *loaded.original;
    return loaded;
  }
  if (hasPortCopierHeader(file.size()))
    file.erase(file.begin(), file.begin() + kCopierHeaderSize);
  loaded.port = PortImage(std::move(file));
  if (!loaded.port.isPort()) throw std::runtime_error(notAPortReport(loaded.port.bytes()));
  loaded.original = buildOriginal(lookup, loaded.port.embeddedNes());
  return loaded;
}

std::string onOff(bool on) { return on ? "on" : "off"; }

void listSwitches(std::ostream& out, const PortImage& port) {
  out << "  --set";
  std::size_t column = 7;
  for (const SwitchInfo& info : switchTable()) {
    if (!port.supportsSwitch(info.bit)) continue;
    const std::string item = std::string(" ") + info.key + "=" + onOff(port.flags() >> info.bit & 1u);
    if (column + item.size() > 90) out << "\n       ", column = 7;
    out << item;
    column += item.size();
  }
  out << "\n";
}

void listControls(std::ostream& out, const PortImage& port) {
  out << "  --button";
  for (int button = 0; button < snesButtonCount; ++button) {
    const std::uint8_t action = port.buttonAction(button);
    const std::string name = buttonActionName(action);
    out << (button == 6 ? "\n          " : "") << " " << snesButtonNames()[std::size_t(button)]
        << "=" << (name.empty() ? "(byte " + std::to_string(action) + ")" : name) << ";";
  }
  out << "\n";
  if (port.hasConfig())
    out << "  --turbo " << port.turboCycle() << "\n  --chord " << port.chordHold() << "\n";
  else
    out << "  --turbo, --chord: this port has no timings\n";
}

}  // namespace

void runSettings(const Arguments& arguments) {
  const DatabaseLookup lookup = findDatabase(arguments);
  const LoadedPort loaded = loadPort(arguments.positionals[0], lookup);
  if (!loaded.original)
    std::cerr << "The port as its NES ROM builds it is not known (" <<
        (lookup.loaded ? "no game in the database matches the NES ROM inside" : lookup.problem)
              << "): every glyph and palette hint is listed.\n";
  std::cout << writeSettingsJson(
      readPortSettings(loaded.port, loaded.original ? &*loaded.original : nullptr));
}

std::string portValuesHelp(const std::string& path) {
  const LoadedPort loaded = loadPort(path, findDatabase(Arguments{}));
  const PortImage& port = loaded.port;
  std::ostringstream out;
  out << "\nThe values of " << fileNameOf(path) << " (" << port.portName() << "):\n";
  listSwitches(out, port);
  out << "  --palette " << port.paletteSlot() << "\n";
  if (port.hasConfig())
    for (const auto& [name, type] : chipKeys())
      if (type == port.chip()) out << "  --chip " << name << "\n";
  listControls(out, port);
  out << "  --splash-sound:";
  for (int slot = 0; slot < 3; ++slot)
    out << " " << slot + 1 << "=" << (port.splashSoundPresent(slot) ? "with sound" : "no sound");
  out << "\n  --msu songs:";
  for (const MsuSong& song : port.msuSongs()) out << " " << song.index << " (" << song.name << ")";
  out << (port.hasMsu1() ? "\n" : " none: this port has no MSU-1 support\n");
  return out.str();
}

}  // namespace tbp::cli
