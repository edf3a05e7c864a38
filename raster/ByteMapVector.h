// The vector paths of the byte map (ByteMap.h), one file per instruction set:
// ByteMapAvx2.cpp and ByteMapAvx512.cpp; each maps whole blocks and returns the bytes done,
// the rest left to the generic loop. Where the x86 kernels are not built
// (LUMIVEIL_X86_KERNELS is 0) the processor reports neither set and the inline definitions
// at the end do nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Processor.h"

struct TByteMap;

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>

// MapBytes over whole blocks of 32 bytes (AVX2) or 64 bytes (AVX-512 VBMI).
size_t MapBytesAvx2(const uint8_t* in, uint8_t* out, size_t count, const TByteMap& map);
size_t MapBytesAvx512(const uint8_t* in, uint8_t* out, size_t count, const TByteMap& map);
// FirstFlagged over whole blocks: the place of the first byte mapped to a value other than
// zero, or the bytes of the whole blocks when none is.
size_t FirstFlaggedAvx2(const uint8_t* in, size_t count, const TByteMap& map);
size_t FirstFlaggedAvx512(const uint8_t* in, size_t count, const TByteMap& map);

// 64 bytes looked up in the table t0 .. t3 (its four quarters) with two 128-entry byte
// permutes (entries 0 .. 127 and 128 .. 255), the top bit choosing between them.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i MapBlock(
    __m512i v, __m512i t0, __m512i t1, __m512i t2, __m512i t3) {
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), _mm512_permutex2var_epi8(t0, v, t1),
                                _mm512_permutex2var_epi8(t2, v, t3));
}
#else
inline size_t MapBytesAvx2(const uint8_t*, uint8_t*, size_t, const TByteMap&) {
  return 0;
}
inline size_t MapBytesAvx512(const uint8_t*, uint8_t*, size_t, const TByteMap&) {
  return 0;
}
inline size_t FirstFlaggedAvx2(const uint8_t*, size_t, const TByteMap&) {
  return 0;
}
inline size_t FirstFlaggedAvx512(const uint8_t*, size_t, const TByteMap&) {
  return 0;
}
#endif
