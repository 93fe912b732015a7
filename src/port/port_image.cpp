#include "port/port_image.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "formats/checksums.h"
#include "port/byte_access.h"
#include "port/image_places.h"

namespace tbp {

using detail::fits;
using detail::readU16;

namespace {

constexpr std::size_t titleLength = 21;
constexpr std::size_t inesHeaderSize = 16;
constexpr std::size_t trainerSize = 512;
// Room for several of the largest NES files an iNES header can describe (about 6 MB each).
constexpr std::size_t embeddedScanBudget = 64u << 20;

// Offsets within the internal header.
constexpr std::size_t headerMapMode = 0x15;
constexpr std::size_t headerComplement = 0x1C;
constexpr std::size_t headerChecksum = 0x1E;

bool complementPairAt(const Bytes& image, std::size_t base) {
  return (readU16(image, base + headerComplement) ^ readU16(image, base + headerChecksum)) ==
         0xFFFF;
}

std::size_t headerBase(const Bytes& image) {
  if (complementPairAt(image, place::loRomHeader)) {
    return place::loRomHeader;
  }
  if (fits(image, 0, place::hiRomHeader + place::headerSize) &&
      complementPairAt(image, place::hiRomHeader)) {
    return place::hiRomHeader;
  }
  return place::loRomHeader;
}

std::string decodeTitle(const Bytes& image, std::size_t base) {
  std::string title;
  for (std::size_t i = 0; i < titleLength; ++i) {
    const std::uint8_t c = image[base + i];
    title.push_back(c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : '.');
  }
  while (!title.empty() && title.back() == ' ') {
    title.pop_back();
  }
  return title;
}

std::uint32_t sumBytes(const std::uint8_t* data, std::size_t length) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < length; ++i) {
    sum += data[i];
  }
  return sum;
}

// Size of an iNES file whose header starts at `offset`: header, trainer if flagged,
// 16 KB program banks and 8 KB graphics banks.
std::size_t inesFileSize(const Bytes& image, std::size_t offset) {
  const std::size_t prgBanks = image[offset + 4];
  const std::size_t chrBanks = image[offset + 5];
  const bool trainer = (image[offset + 6] & 0x04) != 0;
  return (prgBanks * 2 + chrBanks) * 8192 + (trainer ? trainerSize : 0) + inesHeaderSize;
}

bool hasInesSignature(const Bytes& image, std::size_t offset) {
  return image[offset] == 'N' && image[offset + 1] == 'E' && image[offset + 2] == 'S' &&
         image[offset + 3] == 0x1A;
}

// Offset and size of the embedded NES file, or {-1, 0}. A real port holds one signature; an
// image packed with signatures could otherwise make the scan hash gigabytes, so the bytes
// hashed per scan are capped and such an image simply has no embedded file.
std::pair<std::int64_t, std::size_t> locateEmbeddedNes(const PortImage& port) {
  const std::string digest = port.nesDigestText();
  if (digest.empty()) {
    return {-1, 0};
  }
  const Bytes& image = port.bytes();
  std::size_t hashBudget = embeddedScanBudget;
  for (std::size_t o = place::firstBank; fits(image, o, inesHeaderSize); o += 16) {
    if (!hasInesSignature(image, o)) {
      continue;
    }
    const std::size_t size = inesFileSize(image, o);
    if (!fits(image, o, size)) {
      continue;
    }
    if (size > hashBudget) {
      break;
    }
    hashBudget -= size;
    if (sha256Hex(image.data() + o, size) == digest) {
      return {static_cast<std::int64_t>(o), size};
    }
  }
  return {-1, 0};
}

}  // namespace

bool PortImage::isPort() const {
  return bytes_.size() >= place::firstBank && bytes_[place::manifestBlock] == 'Z' &&
         bytes_[place::manifestBlock + 1] == 'U' && bytes_[place::manifestBlock + 2] == 'V' &&
         bytes_[place::manifestBlock + 3] == 'U';
}

SnesHeader snesHeaderAt(const Bytes& image, std::size_t base) {
  SnesHeader header;
  if (!fits(image, base, place::headerSize)) {
    return header;
  }
  header.valid = true;
  header.hiRom = base == place::hiRomHeader;
  header.title = decodeTitle(image, base);
  header.mapMode = image[base + headerMapMode];
  header.cartType = image[base + headerMapMode + 1];
  header.romSizeCode = image[base + headerMapMode + 2];
  header.ramSizeCode = image[base + headerMapMode + 3];
  header.region = image[base + headerMapMode + 4];
  header.developer = image[base + headerMapMode + 5];
  header.version = image[base + headerMapMode + 6];
  header.complement = readU16(image, base + headerComplement);
  header.checksum = readU16(image, base + headerChecksum);
  return header;
}

SnesHeader PortImage::header() const {
  if (!fits(bytes_, 0, place::loRomHeader + place::headerSize)) {
    return SnesHeader{};
  }
  return snesHeaderAt(bytes_, headerBase(bytes_));
}

std::size_t PortImage::contentSize() const {
  std::size_t end = bytes_.size();
  while (end > 0 && bytes_[end - 1] == 0xFF) {
    --end;
  }
  return end;
}

// Every byte summed with the weights of the SNES rule: the largest power of two p of the size
// once, the rest repeated until it fills another p. The four checksum bytes count as the
// placeholder FF FF 00 00 instead of their contents, with the weight of where they lie.
std::uint16_t snesChecksum(const Bytes& image, std::size_t complementPlace) {
  const std::size_t size = image.size();
  if (size == 0) {
    return 0;
  }
  const std::size_t p = std::bit_floor(size);
  const std::size_t rest = size - p;
  std::uint32_t sum = sumBytes(image.data(), p);
  if (rest > 0) {
    sum += sumBytes(image.data() + p, rest) * static_cast<std::uint32_t>(p / rest);
  }
  if (fits(image, complementPlace, 4)) {
    const std::uint32_t weight = complementPlace < p ? 1 : static_cast<std::uint32_t>(p / rest);
    sum -= sumBytes(image.data() + complementPlace, 4) * weight;
    sum += (0xFF + 0xFF) * weight;
  }
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t PortImage::expectedChecksum() const {
  return snesChecksum(bytes_, place::checksumComplement);
}

void PortImage::fixChecksum() {
  if (bytes_.size() < place::firstBank) {
    return;
  }
  const std::uint16_t checksum = expectedChecksum();
  detail::writeU16(bytes_, place::checksumComplement, static_cast<std::uint16_t>(~checksum));
  detail::writeU16(bytes_, place::checksum, checksum);
}

bool PortImage::checksumValid() const {
  if (bytes_.size() < place::firstBank) {
    return true;  // fixing leaves such an image as it is
  }
  const std::uint16_t checksum = expectedChecksum();
  return readU16(bytes_, place::checksumComplement) == static_cast<std::uint16_t>(~checksum) &&
         readU16(bytes_, place::checksum) == checksum;
}

std::string PortImage::nesDigestText() const {
  if (!isPort()) {
    return {};
  }
  const auto first = bytes_.begin() + place::nesDigest;
  const auto last = first + place::nesDigestSize;
  if (std::all_of(first, last, [](std::uint8_t b) { return b == 0x00 || b == 0xFF; })) {
    return {};
  }
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (auto it = first; it != last; ++it) {
    text.push_back(digits[*it >> 4]);
    text.push_back(digits[*it & 0x0F]);
  }
  return text;
}

std::int64_t PortImage::findEmbeddedNes() const { return locateEmbeddedNes(*this).first; }

std::size_t PortImage::embeddedNesSize() const { return locateEmbeddedNes(*this).second; }

Bytes PortImage::embeddedNes() const {
  const auto [offset, size] = locateEmbeddedNes(*this);
  if (offset < 0) {
    return {};
  }
  const auto first = bytes_.begin() + offset;
  return Bytes(first, first + static_cast<std::ptrdiff_t>(size));
}

}  // namespace tbp
