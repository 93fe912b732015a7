#include "formats/checksums.h"

#include <array>
#include <new>
#include <openssl/evp.h>

#include "formats/crc_folding.h"
#include "formats/little_endian.h"

namespace tbp {

namespace {

constexpr std::uint16_t kCrc16Polynomial = 0xA001;  // 0x8005 reflected
constexpr std::uint32_t kCrc32Polynomial = 0xEDB88320u;
constexpr std::size_t kCrc16Slices = 8;
constexpr std::size_t kCrc32Slices = 16;
constexpr unsigned int kSha256Size = 32;

using Crc16Tables = std::array<std::array<std::uint16_t, 256>, kCrc16Slices>;
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, kCrc32Slices>;

// Table 0, entry b, is the bit-by-bit CRC-16/ARC step applied to b: eight shifts, XOR-ing the
// polynomial whenever bit 0 was set. Table k maps a byte to its contribution when k further
// zero bytes follow it, so that eight input bytes fold in with eight independent lookups.
Crc16Tables buildCrc16Tables() {
  Crc16Tables tables{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint16_t value = static_cast<std::uint16_t>(byte);
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1u) ? static_cast<std::uint16_t>((value >> 1) ^ kCrc16Polynomial)
                           : static_cast<std::uint16_t>(value >> 1);
    }
    tables[0][byte] = value;
  }
  for (std::size_t slice = 1; slice < kCrc16Slices; ++slice) {
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
      const std::uint16_t previous = tables[slice - 1][byte];
      tables[slice][byte] =
          static_cast<std::uint16_t>((previous >> 8) ^ tables[0][previous & 0xFFu]);
    }
  }
  return tables;
}

const Crc16Tables& crc16Tables() {
  static const Crc16Tables tables = buildCrc16Tables();
  return tables;
}

// Folds one 8-byte block into the running value: the value meets the block's first two bytes.
std::uint16_t crc16Block8(const Crc16Tables& t, std::uint16_t value, const std::uint8_t* p) {
  const std::uint32_t a = loadLittleEndian32(p) ^ value;
  const std::uint32_t b = loadLittleEndian32(p + 4);
  return static_cast<std::uint16_t>(
      t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
      t[3][b & 0xFF] ^ t[2][(b >> 8) & 0xFF] ^ t[1][(b >> 16) & 0xFF] ^ t[0][b >> 24]);
}

// Table k maps a byte to its CRC contribution when k further zero bytes follow it, so that
// sixteen input bytes fold into the running value with sixteen independent lookups.
Crc32Tables buildCrc32Tables() {
  Crc32Tables tables{};
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    std::uint32_t value = byte;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1u) ? (value >> 1) ^ kCrc32Polynomial : value >> 1;
    }
    tables[0][byte] = value;
  }
  for (std::size_t slice = 1; slice < kCrc32Slices; ++slice) {
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
      const std::uint32_t previous = tables[slice - 1][byte];
      tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFFu];
    }
  }
  return tables;
}

const Crc32Tables& crc32Tables() {
  static const Crc32Tables tables = buildCrc32Tables();
  return tables;
}

// Folds one 16-byte block into the (inverted) running value.
std::uint32_t crc32Block16(const Crc32Tables& t, std::uint32_t value, const std::uint8_t* p) {
  const std::uint32_t a = loadLittleEndian32(p) ^ value;
  const std::uint32_t b = loadLittleEndian32(p + 4);
  const std::uint32_t c = loadLittleEndian32(p + 8);
  const std::uint32_t d = loadLittleEndian32(p + 12);
  return t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
         t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
         t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
         t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
}

// The table code from a given register value (CRC-32's register is kept inverted).
std::uint16_t crc16Run(std::uint16_t value, const std::uint8_t* data, std::size_t length) {
  const Crc16Tables& tables = crc16Tables();
  std::size_t i = 0;
  for (; length - i >= kCrc16Slices; i += kCrc16Slices) {
    value = crc16Block8(tables, value, data + i);
  }
  for (; i < length; ++i) {
    value = static_cast<std::uint16_t>((value >> 8) ^ tables[0][(value ^ data[i]) & 0xFFu]);
  }
  return value;
}

std::uint32_t crc32Run(std::uint32_t value, const std::uint8_t* data, std::size_t length) {
  const Crc32Tables& tables = crc32Tables();
  std::size_t i = 0;
  for (; length - i >= kCrc32Slices; i += kCrc32Slices) {
    value = crc32Block16(tables, value, data + i);
  }
  for (; i < length; ++i) {
    value = (value >> 8) ^ tables[0][(value ^ data[i]) & 0xFFu];
  }
  return value;
}

}  // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t length) {
  if (length < detail::kCrcFoldMinimum || !detail::crcFoldingAvailable())
    return crc16Run(0, data, length);
  static const detail::CrcFoldConstants constants = detail::crcFoldConstants(16, 0x8005);
  std::array<std::uint8_t, 16> folded{};
  const std::size_t used = detail::foldCrc(data, length, 0, constants, folded);
  return crc16Run(crc16Run(0, folded.data(), folded.size()), data + used, length - used);
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t length, std::uint32_t previous) {
  if (length < detail::kCrcFoldMinimum || !detail::crcFoldingAvailable())
    return ~crc32Run(~previous, data, length);
  static const detail::CrcFoldConstants constants = detail::crcFoldConstants(32, 0x04C11DB7u);
  std::array<std::uint8_t, 16> folded{};
  const std::size_t used = detail::foldCrc(data, length, ~previous, constants, folded);
  return ~crc32Run(crc32Run(0, folded.data(), folded.size()), data + used, length - used);
}

std::string sha256Hex(const std::uint8_t* data, std::size_t length) {
  // Fetched once: an implicit fetch on every call would cost more than hashing a short input.
  static EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestSize = 0;
  // The library fails only when it cannot allocate its context.
  if (algorithm == nullptr ||
      EVP_Digest(data, length, digest, &digestSize, algorithm, nullptr) != 1 ||
      digestSize != kSha256Size) {
    throw std::bad_alloc();
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * kSha256Size);
  for (unsigned int i = 0; i < kSha256Size; ++i) {
    text.push_back(kHex[digest[i] >> 4]);
    text.push_back(kHex[digest[i] & 0x0F]);
  }
  return text;
}

}  // namespace tbp
