#include "formats/crc_folding.h"

#include <cstring>
#include <immintrin.h>

namespace tbp::detail {
namespace {

// x^exponent mod P, P = x^width + polynomial, in the usual notation (bit d is x^d).
std::uint64_t powerModulo(unsigned exponent, unsigned width, std::uint64_t polynomial) {
  const std::uint64_t top = 1ull << width;
  std::uint64_t value = 1;
  for (unsigned i = 0; i < exponent; ++i) {
    value <<= 1;
    if (value & top) value ^= top | polynomial;
  }
  return value;
}

// A polynomial of degree below 64 as a reflected lane: x^d goes to bit 63 - d.
std::uint64_t reflectedLane(std::uint64_t value) {
  std::uint64_t lane = 0;
  for (unsigned d = 0; d < 64; ++d)
    if (value >> d & 1) lane |= 1ull << (63 - d);
  return lane;
}

// The carry-less product of two reflected lanes lands one place short of the reflected
// 128-bit register (it is the product times x), so each multiplier is x^(e-1) instead of x^e.
// Folding a block V = H x^64 + L over D bits gives H x^(D+64) + L x^D.
std::uint64_t multiplier(unsigned exponent, unsigned width, std::uint64_t polynomial) {
  return reflectedLane(powerModulo(exponent - 1, width, polynomial));
}

__attribute__((target("pclmul,sse2"))) __m128i fold(__m128i value, __m128i constants,
                                                    __m128i next) {
  const __m128i high = _mm_clmulepi64_si128(value, constants, 0x00);  // H: the earlier bytes
  const __m128i low = _mm_clmulepi64_si128(value, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

__attribute__((target("pclmul,sse2"))) __m128i load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

CrcFoldConstants crcFoldConstants(unsigned width, std::uint64_t polynomial) {
  return {multiplier(512 + 64, width, polynomial), multiplier(512, width, polynomial),
          multiplier(128 + 64, width, polynomial), multiplier(128, width, polynomial)};
}

bool crcFoldingAvailable() {
  static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return available;
}

__attribute__((target("pclmul,sse2"))) std::size_t foldCrc(const std::uint8_t* data,
                                                           std::size_t length,
                                                           std::uint32_t initial,
                                                           const CrcFoldConstants& constants,
                                                           std::array<std::uint8_t, 16>& folded) {
  const __m128i four = _mm_set_epi64x(static_cast<long long>(constants.fourLow),
                                      static_cast<long long>(constants.fourHigh));
  const __m128i one = _mm_set_epi64x(static_cast<long long>(constants.oneLow),
                                     static_cast<long long>(constants.oneHigh));
  // The register's first bits meet the first bytes, as in the table code.
  __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(initial)));
  __m128i x1 = load(data + 16);
  __m128i x2 = load(data + 32);
  __m128i x3 = load(data + 48);
  std::size_t at = 64;
  for (; length - at >= 64; at += 64) {
    x0 = fold(x0, four, load(data + at));
    x1 = fold(x1, four, load(data + at + 16));
    x2 = fold(x2, four, load(data + at + 32));
    x3 = fold(x3, four, load(data + at + 48));
  }
  __m128i value = fold(fold(fold(x0, one, x1), one, x2), one, x3);
  for (; length - at >= 16; at += 16) value = fold(value, one, load(data + at));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded.data()), value);
  return at;
}

}  // namespace tbp::detail
