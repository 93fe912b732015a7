#include "formats/sha256.h"

#include <cstring>

namespace tbp {

namespace {

constexpr std::size_t kBlockSize = 64;

constexpr detail::Sha256State kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

using CompressFunction = void (*)(detail::Sha256State&, const std::uint8_t*, std::size_t);

// Hashes the whole blocks straight from the input, then the tail with the padding:
// 0x80, zeros, and the bit length as a 64-bit big-endian number (two blocks when the tail
// leaves fewer than 8 bytes for it).
Sha256Digest hashWith(CompressFunction compress, const std::uint8_t* data, std::size_t length) {
  detail::Sha256State state = kInitialState;
  const std::size_t wholeBlocks = length / kBlockSize;
  if (wholeBlocks > 0) compress(state, data, wholeBlocks);

  std::uint8_t tail[2 * kBlockSize] = {};
  const std::size_t rest = length % kBlockSize;
  if (rest > 0) std::memcpy(tail, data + wholeBlocks * kBlockSize, rest);
  tail[rest] = 0x80;
  const std::size_t tailBlocks = rest < kBlockSize - 8 ? 1 : 2;
  const std::uint64_t bitLength = static_cast<std::uint64_t>(length) * 8u;
  std::uint8_t* lengthField = tail + tailBlocks * kBlockSize - 8;
  for (int i = 0; i < 8; ++i) {
    lengthField[i] = static_cast<std::uint8_t>(bitLength >> (56 - 8 * i));
  }
  compress(state, tail, tailBlocks);

  Sha256Digest digest{};
  for (std::size_t word = 0; word < state.size(); ++word) {
    for (std::size_t byte = 0; byte < 4; ++byte) {
      digest[word * 4 + byte] = static_cast<std::uint8_t>(state[word] >> (24 - 8 * byte));
    }
  }
  return digest;
}

}  // namespace

Sha256Digest sha256(const std::uint8_t* data, std::size_t length) {
  static const Sha256Engine best =
      sha256ExtensionsAvailable() ? Sha256Engine::ShaExtensions : Sha256Engine::Portable;
  return sha256With(best, data, length);
}

Sha256Digest sha256With(Sha256Engine engine, const std::uint8_t* data, std::size_t length) {
  if (engine == Sha256Engine::ShaExtensions && sha256ExtensionsAvailable()) {
    return hashWith(detail::sha256CompressExtensions, data, length);
  }
  return hashWith(detail::sha256CompressPortable, data, length);
}

}  // namespace tbp
