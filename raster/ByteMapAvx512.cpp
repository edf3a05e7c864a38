// The byte map in the 64-byte registers of AVX-512 (VBMI) (ByteMapVector.h): the same bytes
// as the generic loop.
#include <immintrin.h>

#include "raster/ByteMap.h"
#include "raster/ByteMapVector.h"

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t MapBytesAvx512(const uint8_t* in,
                                                                             uint8_t* out,
                                                                             size_t count,
                                                                             const TByteMap& map) {
  const __m512i t0 = _mm512_loadu_si512(map.table), t1 = _mm512_loadu_si512(map.table + 64);
  const __m512i t2 = _mm512_loadu_si512(map.table + 128), t3 = _mm512_loadu_si512(map.table + 192);
  const size_t blocks = count / 64;
  for (size_t b = 0; b < blocks; ++b) {
    _mm512_storeu_si512(out + 64 * b, MapBlock(_mm512_loadu_si512(in + 64 * b), t0, t1, t2, t3));
  }
  return blocks * 64;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t FirstFlaggedAvx512(
    const uint8_t* in, size_t count, const TByteMap& map) {
  const __m512i t0 = _mm512_loadu_si512(map.table), t1 = _mm512_loadu_si512(map.table + 64);
  const __m512i t2 = _mm512_loadu_si512(map.table + 128), t3 = _mm512_loadu_si512(map.table + 192);
  const size_t blocks = count / 64;
  for (size_t b = 0; b < blocks; ++b) {
    const __m512i mapped = MapBlock(_mm512_loadu_si512(in + 64 * b), t0, t1, t2, t3);
    const uint64_t others = _mm512_test_epi8_mask(mapped, mapped);
    if (others != 0) return 64 * b + static_cast<size_t>(__builtin_ctzll(others));
  }
  return blocks * 64;
}
