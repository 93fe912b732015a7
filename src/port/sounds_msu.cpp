// Splash sound slots and the MSU-1 track and loop tables.
#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>

#include "formats/json.h"
#include "port/byte_access.h"
#include "port/port_image.h"

namespace tbp {

namespace {

constexpr std::size_t splashSlotBytes = 8;
constexpr std::size_t splashTableBytes = PortImage::kSplashSoundSlots * splashSlotBytes;
constexpr std::size_t sampleOffsetBytes = 3;

constexpr int msuSongCount = 64;
constexpr std::uint8_t keepNesSong = 0xFE;
constexpr std::uint8_t notASong = 0xFF;
constexpr int maxTrack = 253;

bool validSong(int song) { return song >= 0 && song < msuSongCount; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A song key read as a hexadecimal number: leading whitespace and a 0x prefix are accepted,
// text after the digits is ignored. Returns -1 when there are no digits or the number is past
// the last song (the value is capped while reading, so long keys cannot overflow).
int songIndexFromKey(const std::string& key) {
  std::size_t i = 0;
  while (i < key.size() && std::isspace(static_cast<unsigned char>(key[i]))) {
    ++i;
  }
  if (key.size() - i >= 3 && key[i] == '0' && (key[i + 1] == 'x' || key[i + 1] == 'X') &&
      hexDigit(key[i + 2]) >= 0) {
    i += 2;
  }
  int value = -1;
  for (; i < key.size() && hexDigit(key[i]) >= 0; ++i) {
    value = std::min(std::max(value, 0) * 16 + hexDigit(key[i]), msuSongCount);
  }
  return value < msuSongCount ? value : -1;
}

}  // namespace

bool PortImage::hasSplashSounds() const {
  const std::size_t table = layout().splashSound;
  return table != 0 && detail::fits(bytes_, table, splashTableBytes);
}

bool PortImage::splashSoundPresent(int slot) const {
  if (!hasSplashSounds() || slot < 0 || slot >= kSplashSoundSlots) {
    return false;
  }
  const std::size_t at = layout().splashSound + static_cast<std::size_t>(slot) * splashSlotBytes;
  const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(at);
  const auto last = first + sampleOffsetBytes;
  const bool allZero = std::all_of(first, last, [](std::uint8_t b) { return b == 0x00; });
  const bool allFf = std::all_of(first, last, [](std::uint8_t b) { return b == 0xFF; });
  return !allZero && !allFf;
}

void PortImage::clearSplashSound(int slot) {
  if (slot < 0 || slot >= kSplashSoundSlots) {
    throw std::runtime_error("splash sound slot must be 1-3");
  }
  if (!hasSplashSounds()) {
    return;
  }
  const std::size_t at = layout().splashSound + static_cast<std::size_t>(slot) * splashSlotBytes;
  std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), splashSlotBytes, 0x00);
}

bool PortImage::hasMsu1() const {
  const PortLayout& l = layout();
  return l.msuTracks != 0 && l.msuLoops != 0 && detail::fits(bytes_, l.msuTracks, msuSongCount) &&
         detail::fits(bytes_, l.msuLoops, msuSongCount) &&
         manifestView().find("\"msu1\"") != std::string::npos;
}

std::vector<MsuSong> PortImage::msuSongs() const {
  std::vector<MsuSong> songs;
  if (!hasMsu1()) {
    return songs;
  }
  JsonValue root;
  try {
    root = parseJson(manifestText());
  } catch (const std::exception&) {
    return songs;
  }
  for (const auto& [key, value] : root.get("msu1").get("songs").members()) {
    const int index = songIndexFromKey(key);
    if (index >= 0) {
      songs.push_back({index, value.kind() == JsonKind::String ? value.text() : std::string()});
    }
  }
  return songs;
}

int PortImage::msuTrack(int song) const {
  if (!validSong(song) || !hasMsu1()) {
    return -1;
  }
  const std::uint8_t track = bytes_[layout().msuTracks + static_cast<std::size_t>(song)];
  return track < keepNesSong ? track : -1;
}

void PortImage::setMsuTrack(int song, int track) {
  // A track above 253 would store one of the two markers; such a request changes nothing.
  if (!validSong(song) || track > maxTrack || !hasMsu1()) {
    return;
  }
  std::uint8_t& stored = bytes_[layout().msuTracks + static_cast<std::size_t>(song)];
  if (stored == notASong) {
    return;
  }
  stored = track < 0 ? keepNesSong : static_cast<std::uint8_t>(track);
}

bool PortImage::msuLoop(int song) const {
  if (!validSong(song) || !hasMsu1()) {
    return false;
  }
  return (bytes_[layout().msuLoops + static_cast<std::size_t>(song)] & 1) != 0;
}

void PortImage::setMsuLoop(int song, bool on) {
  if (validSong(song) && hasMsu1()) {
    bytes_[layout().msuLoops + static_cast<std::size_t>(song)] = on ? 1 : 0;
  }
}

}  // namespace tbp
