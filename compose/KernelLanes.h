// What the enlarging and the shrinking kernels' code shares: the forced inlining of their
// per-pixel helpers, and the AVX2 code's load of one source pixel.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/Processor.h"

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>
#endif

#define LV_INLINE inline __attribute__((always_inline))

#if LUMIVEIL_X86_KERNELS
// A source pixel as 32-bit lanes: blue, green, red and the next byte, which is computed
// along and dropped. Four bytes are read, so the row's last pixel is never read this way.
__attribute__((target("avx2"))) LV_INLINE __m128i PixelLanes(const uint8_t* src, int index) {
  int32_t bytes;
  std::memcpy(&bytes, src + 3 * index, 4);
  return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes));
}
#endif
