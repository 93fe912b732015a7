#include "build/msu_track_builder.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TBP_HAVE_AVX2_RESAMPLER 1
#endif

namespace tbp {

bool resamplerEngineAvailable(ResamplerEngine engine) {
  if (engine == ResamplerEngine::Portable) return true;
#ifdef TBP_HAVE_AVX2_RESAMPLER
  // The builtins also check that the operating system saves the 256-bit registers.
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  }();
  return available;
#else
  return false;
#endif
}

#ifdef TBP_HAVE_AVX2_RESAMPLER

namespace {

__attribute__((target("avx2,fma"))) double horizontalSum(__m256d a, __m256d b, __m256d c,
                                                         __m256d d) {
  const __m256d sum = _mm256_add_pd(_mm256_add_pd(a, b), _mm256_add_pd(c, d));
  const __m128d half = _mm_add_pd(_mm256_castpd256_pd128(sum), _mm256_extractf128_pd(sum, 1));
  return _mm_cvtsd_f64(_mm_add_sd(half, _mm_unpackhi_pd(half, half)));
}

}  // namespace

// Four running sums of four lanes per side: each weight vector is loaded once for both sides.
__attribute__((target("avx2,fma"))) void detail::dotProductsAvx2Fma(const DotBatch& batch) {
  for (std::size_t f = 0; f < batch.count; ++f) {
    const double* weights = batch.weights[f];
    const double* left = batch.left + batch.starts[f];
    const double* right = batch.right + batch.starts[f];
    __m256d l[4], r[4];
    for (int u = 0; u < 4; ++u) l[u] = r[u] = _mm256_setzero_pd();
    for (int k = 0; k < 64; k += 16) {
      for (int u = 0; u < 4; ++u) {
        const __m256d w = _mm256_loadu_pd(weights + k + 4 * u);
        l[u] = _mm256_fmadd_pd(w, _mm256_loadu_pd(left + k + 4 * u), l[u]);
        r[u] = _mm256_fmadd_pd(w, _mm256_loadu_pd(right + k + 4 * u), r[u]);
      }
    }
    batch.sums[2 * f] = horizontalSum(l[0], l[1], l[2], l[3]);
    batch.sums[2 * f + 1] = horizontalSum(r[0], r[1], r[2], r[3]);
  }
}

// Eight values at a time, step for step as the portable conversion: the hardware rounds a
// double to single precision as roundToFloat does (to nearest, beyond the range to infinity);
// then v * 32767 in single precision, NaN to 0, clamped to -32768..32767, rounded half away
// from zero.
__attribute__((target("avx2,fma"))) void detail::trackSamplesAvx2(const double* values,
                                                                  std::size_t count,
                                                                  std::uint8_t* out) {
  const __m256 scale = _mm256_set1_ps(32767.0f);
  const __m256 lowest = _mm256_set1_ps(-32768.0f);
  const __m256 highest = _mm256_set1_ps(32767.0f);
  const __m256 half = _mm256_set1_ps(0.5f);
  const __m256 minusHalf = _mm256_set1_ps(-0.5f);
  const __m256 one = _mm256_set1_ps(1.0f);
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8, out += 16) {
    const __m128 low = _mm256_cvtpd_ps(_mm256_loadu_pd(values + k));
    const __m128 high = _mm256_cvtpd_ps(_mm256_loadu_pd(values + k + 4));
    __m256 scaled = _mm256_mul_ps(_mm256_set_m128(high, low), scale);
    scaled = _mm256_and_ps(scaled, _mm256_cmp_ps(scaled, scaled, _CMP_ORD_Q));
    scaled = _mm256_min_ps(_mm256_max_ps(scaled, lowest), highest);
    const __m256 whole = _mm256_round_ps(scaled, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256 rest = _mm256_sub_ps(scaled, whole);
    const __m256 up = _mm256_and_ps(_mm256_cmp_ps(rest, half, _CMP_GE_OQ), one);
    const __m256 down = _mm256_and_ps(_mm256_cmp_ps(rest, minusHalf, _CMP_LE_OQ), one);
    const __m256i rounded = _mm256_cvttps_epi32(_mm256_sub_ps(_mm256_add_ps(whole, up), down));
    const __m128i packed =
        _mm_packs_epi32(_mm256_castsi256_si128(rounded), _mm256_extracti128_si256(rounded, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packed);
  }
  trackSamplesPortable(values + k, count - k, out);
}

#else

void detail::dotProductsAvx2Fma(const DotBatch& batch) { dotProductsPortable(batch); }

void detail::trackSamplesAvx2(const double* values, std::size_t count, std::uint8_t* out) {
  trackSamplesPortable(values, count, out);
}

#endif

}  // namespace tbp
