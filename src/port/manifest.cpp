// The manifest text the ZUVU block points to, and its parsing into the port's layout.
#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

#include "formats/json.h"
#include "port/byte_access.h"
#include "port/image_places.h"
#include "port/port_image.h"

namespace tbp {

namespace {

constexpr std::size_t imageNeededByOlderBuild = 0x14000;
constexpr std::size_t olderBuildMsuEnd = 0x57E7F;
constexpr int maxLayoutVersion = 255;
constexpr int maxSwitchBit = 31;

// A data table named in the manifest: its key, the bytes it needs, and where its offset goes.
struct TableSlot {
  const char* key;
  std::size_t bytes;
  std::size_t PortLayout::*offset;
};

constexpr std::array<TableSlot, 12> tableSlots = {{
    {"fonts", 0x3000, &PortLayout::fonts},
    {"font_table", 256, &PortLayout::fontTable},
    {"symbols_a", 1024, &PortLayout::symbolsA},
    {"symbols_a_hints", 128, &PortLayout::symbolsAHints},
    {"symbols_b", 1024, &PortLayout::symbolsB},
    {"symbols_b_hints", 128, &PortLayout::symbolsBHints},
    {"splash_table", 48, &PortLayout::splashTable},
    {"splash_sound", 24, &PortLayout::splashSound},
    {"config", 32, &PortLayout::config},
    {"palette_luts", 1024, &PortLayout::paletteLuts},
    {"msu_tracks", 64, &PortLayout::msuTracks},
    {"msu_loops", 64, &PortLayout::msuLoops},
}};

bool isNumberIn(const JsonValue& value, double low, double high) {
  return value.kind() == JsonKind::Number && value.number() >= low && value.number() <= high;
}

// The table offset when the whole table fits inside the image, else 0. The comparisons run on
// the double before any conversion, so huge or negative numbers never reach an integer.
std::size_t tableOffset(const JsonValue& value, std::size_t imageSize, std::size_t tableBytes) {
  if (value.kind() != JsonKind::Number) {
    return 0;
  }
  const double v = value.number();
  const auto size = static_cast<double>(imageSize);
  if (!(v > 0 && v < size && size - v >= static_cast<double>(tableBytes))) {
    return 0;
  }
  return static_cast<std::size_t>(v);
}

void readTables(const JsonValue& tables, std::size_t imageSize, PortLayout& layout) {
  layout.layoutName = "this ROM (layout v1)";
  for (const TableSlot& slot : tableSlots) {
    layout.*slot.offset = tableOffset(tables.get(slot.key), imageSize, slot.bytes);
  }
}

// Older builds carry no "tables" object; their tables sit at fixed places.
bool assumeOlderBuild(std::size_t imageSize, PortLayout& layout) {
  if (imageSize < imageNeededByOlderBuild) {
    return false;
  }
  layout.layoutVersion = 1;
  layout.layoutName = "RO1 (older build: layout v1 assumed)";
  layout.fonts = 0x10000;
  layout.fontTable = 0x12800;
  layout.symbolsA = 0x12900;
  layout.symbolsAHints = 0x12D00;
  layout.symbolsB = 0x12400;
  layout.symbolsBHints = 0x12D80;
  layout.splashTable = 0x12E00;
  layout.splashSound = 0x12E60;
  layout.config = 0x13B00;
  layout.paletteLuts = 0x13C00;
  if (imageSize > olderBuildMsuEnd) {
    layout.msuTracks = 0x57E00;
    layout.msuLoops = 0x57E40;
  }
  return true;
}

void readSwitches(const JsonValue& switches, PortLayout& layout) {
  for (const JsonValue& item : switches.items()) {
    if (isNumberIn(item, 0, maxSwitchBit)) {
      layout.switches.push_back(static_cast<int>(item.number()));
    }
  }
}

// Steps of the layout parse after the JSON text has been read. Returns false when the layout
// stays unknown (no switches are read then).
bool readLayout(const JsonValue& root, const PortImage& port, PortLayout& layout) {
  const std::size_t imageSize = port.bytes().size();
  const JsonValue& tables = root.get("tables");
  if (tables.kind() == JsonKind::Object) {
    const JsonValue& version = tables.get("layout");
    if (!isNumberIn(version, 1, maxLayoutVersion)) {
      return false;
    }
    layout.layoutVersion = static_cast<int>(version.number());
    if (layout.layoutVersion != 1) {
      return false;
    }
    readTables(tables, imageSize, layout);
    return true;
  }
  return port.portName().starts_with("RO1") && assumeOlderBuild(imageSize, layout);
}

PortLayout parseLayout(const PortImage& port) {
  PortLayout layout;
  if (!port.isPort()) {
    return layout;
  }
  JsonValue root;
  try {
    root = parseJson(port.manifestText());
  } catch (const std::exception&) {
    // A broken manifest means an unknown layout, never an error.
    return layout;
  }
  if (!readLayout(root, port, layout)) {
    const int version = layout.layoutVersion;
    layout = PortLayout{};
    layout.layoutVersion = version;
    return layout;
  }
  readSwitches(root.get("switches"), layout);
  return layout;
}

}  // namespace

std::string_view PortImage::manifestView() const {
  if (!isPort()) {
    return {};
  }
  const std::uint32_t pointer = detail::readU32(bytes_, place::manifestPointer);
  if (pointer == 0 || pointer >= bytes_.size()) {
    return {};
  }
  const char* first = reinterpret_cast<const char*>(bytes_.data()) + pointer;
  const std::size_t available = bytes_.size() - pointer;
  const void* nul = std::memchr(first, 0, available);
  return {first, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - first) : available};
}

std::string PortImage::manifestText() const { return std::string(manifestView()); }

std::string PortImage::portName() const {
  const std::string_view text = manifestView();
  const std::size_t key = text.find("\"port\"");
  if (key == std::string::npos) {
    return {};
  }
  const std::size_t colon = text.find(':', key);
  if (colon == std::string::npos) {
    return {};
  }
  const std::size_t open = text.find('"', colon);
  if (open == std::string::npos) {
    return {};
  }
  const std::size_t close = text.find('"', open + 1);
  if (close == std::string::npos) {
    return {};
  }
  return std::string(text.substr(open + 1, close - open - 1));
}

const PortLayout& PortImage::layout() const {
  if (!parsed_) {
    layout_ = parseLayout(*this);
    parsed_ = true;
  }
  return layout_;
}

bool PortImage::supportsSwitch(int bit) const {
  const std::vector<int>& offered = layout().switches;
  return offered.empty() || std::find(offered.begin(), offered.end(), bit) != offered.end();
}

}  // namespace tbp
