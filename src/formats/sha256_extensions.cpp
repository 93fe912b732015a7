#include "formats/sha256.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define TBP_HAVE_SHA_EXTENSIONS 1
#endif

namespace tbp {

#ifdef TBP_HAVE_SHA_EXTENSIONS

bool sha256ExtensionsAvailable() {
  static const bool available = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    const bool sha = (ebx & bit_SHA) != 0;
    return ssse3 && sse41 && sha;
  }();
  return available;
}

namespace detail {

namespace {

// The two state registers hold the words in the order the SHA instructions want:
// abef = {f, e, b, a} and cdgh = {h, g, d, c} from the lowest lane up.
struct ShaRegisters {
  __m128i abef;
  __m128i cdgh;
};

__attribute__((target("sha,ssse3,sse4.1"))) ShaRegisters loadState(const Sha256State& state) {
  const __m128i dcba =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data())), 0xB1);
  const __m128i efgh =
      _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data() + 4)), 0x1B);
  return {_mm_alignr_epi8(dcba, efgh, 8), _mm_blend_epi16(efgh, dcba, 0xF0)};
}

__attribute__((target("sha,ssse3,sse4.1"))) void storeState(Sha256State& state,
                                                            ShaRegisters registers) {
  const __m128i feba = _mm_shuffle_epi32(registers.abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(registers.cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data()), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data() + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// Sixteen groups of four rounds. Group g consumes message words 4g..4g+3 (held in
// message[g % 4]); the message schedule for later groups is prepared with msg1/msg2 while
// the rounds run.
__attribute__((target("sha,ssse3,sse4.1"))) ShaRegisters compressBlock(ShaRegisters s,
                                                                       const std::uint8_t* block) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i message[4];
  for (int i = 0; i < 4; ++i) {
    message[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i)),
                                  byteSwap);
  }
  const ShaRegisters saved = s;
#pragma GCC unroll 16
  for (int g = 0; g < 16; ++g) {
    const __m128i constants =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256RoundConstants + 4 * g));
    __m128i words = _mm_add_epi32(message[g & 3], constants);
    s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, words);
    if (g >= 3 && g < 15) {
      __m128i& next = message[(g + 1) & 3];
      next = _mm_add_epi32(next, _mm_alignr_epi8(message[g & 3], message[(g - 1) & 3], 4));
      next = _mm_sha256msg2_epu32(next, message[g & 3]);
    }
    words = _mm_shuffle_epi32(words, 0x0E);
    s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, words);
    if (g >= 1 && g < 13) {
      message[(g - 1) & 3] = _mm_sha256msg1_epu32(message[(g - 1) & 3], message[g & 3]);
    }
  }
  return {_mm_add_epi32(s.abef, saved.abef), _mm_add_epi32(s.cdgh, saved.cdgh)};
}

}  // namespace

void sha256CompressExtensions(Sha256State& state, const std::uint8_t* data, std::size_t blocks) {
  ShaRegisters registers = loadState(state);
  for (std::size_t i = 0; i < blocks; ++i) registers = compressBlock(registers, data + i * 64);
  storeState(state, registers);
}

}  // namespace detail

#else

bool sha256ExtensionsAvailable() { return false; }

namespace detail {
void sha256CompressExtensions(Sha256State& state, const std::uint8_t* data, std::size_t blocks) {
  sha256CompressPortable(state, data, blocks);
}
}  // namespace detail

#endif

}  // namespace tbp
