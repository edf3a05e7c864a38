// The byte map in AVX2 (ByteMapVector.h): the same bytes as the generic loop.
#include <immintrin.h>

#include "raster/ByteMap.h"
#include "raster/ByteMapVector.h"

namespace {

// The 16-entry rows of the table's halves, each in both 128-bit lanes.
struct TSteps {
  __m256i rows[2][8];
};

__attribute__((target("avx2"))) inline TSteps StepsOf(const TByteMap& map) {
  TSteps steps;
  for (int half = 0; half < 2; ++half)
    for (int k = 0; k < 8; ++k)
      steps.rows[half][k] = _mm256_broadcastsi128_si256(
          _mm_load_si128(reinterpret_cast<const __m128i*>(map.steps[half][k])));
  return steps;
}

// The 256-entry lookup with 16-entry byte shuffles. In the first half a lane holds v for
// v < 128 and 0xFF otherwise; subtracting 16 k leaves v - 16 k, which is below 128 (the
// shuffle looks up its low four bits) exactly when k <= v / 16, and has its top bit set
// (the shuffle gives 0) when k > v / 16 or when the lane was 0xFF. The rows are stored as
// differences, so the k <= v / 16 lookups together give row v / 16 at v's low four bits.
// The second half does the same for v - 128.
__attribute__((target("avx2"))) inline __m256i MapBlockAvx2(__m256i v, const TSteps& steps) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i sixteen = _mm256_set1_epi8(16);
  const __m256i w = _mm256_xor_si256(v, _mm256_set1_epi8(static_cast<char>(0x80)));
  __m256i first = _mm256_or_si256(v, _mm256_cmpgt_epi8(zero, v));
  __m256i second = _mm256_or_si256(w, _mm256_cmpgt_epi8(zero, w));
  __m256i r = zero;
  for (int k = 0; k < 8; ++k) {
    r = _mm256_xor_si256(r, _mm256_shuffle_epi8(steps.rows[0][k], first));
    r = _mm256_xor_si256(r, _mm256_shuffle_epi8(steps.rows[1][k], second));
    first = _mm256_sub_epi8(first, sixteen);
    second = _mm256_sub_epi8(second, sixteen);
  }
  return r;
}

}  // namespace

__attribute__((target("avx2"))) size_t MapBytesAvx2(const uint8_t* in, uint8_t* out, size_t count,
                                                    const TByteMap& map) {
  const TSteps steps = StepsOf(map);
  const size_t blocks = count / 32;
  for (size_t b = 0; b < blocks; ++b) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32 * b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * b), MapBlockAvx2(v, steps));
  }
  return blocks * 32;
}

__attribute__((target("avx2"))) size_t FirstFlaggedAvx2(const uint8_t* in, size_t count,
                                                        const TByteMap& map) {
  const TSteps steps = StepsOf(map);
  const size_t blocks = count / 32;
  for (size_t b = 0; b < blocks; ++b) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32 * b));
    const __m256i zero = _mm256_cmpeq_epi8(MapBlockAvx2(v, steps), _mm256_setzero_si256());
    const auto others = ~static_cast<uint32_t>(_mm256_movemask_epi8(zero));
    if (others != 0) return 32 * b + static_cast<size_t>(__builtin_ctz(others));
  }
  return blocks * 32;
}
