// The view row kernels in AVX2, chosen where the processor has it (platform/Processor.h)
// and the composition's kernel path allows; they give the generic kernels' bytes.
#include <immintrin.h>

#include <cstdint>

#include "reveal/ViewRows.h"
#include "reveal/ViewRowsVector.h"

namespace {

__attribute__((target("avx2"))) inline __m256i Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// (a + b + c + d + 2) >> 2 for each byte lane without widening: s1 and s2 are the rounded
// means of the pairs, and their rounded mean is one too high exactly when s1 + s2 is odd
// and a pair lost a half (a ^ b or c ^ d odd). Checked for all 2^32 inputs.
__attribute__((target("avx2"))) inline __m256i Mean4(__m256i a, __m256i b, __m256i c, __m256i d) {
  const __m256i s1 = _mm256_avg_epu8(a, b), s2 = _mm256_avg_epu8(c, d);
  const __m256i lost = _mm256_or_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(c, d));
  const __m256i fix =
      _mm256_and_si256(_mm256_and_si256(_mm256_xor_si256(s1, s2), lost), _mm256_set1_epi8(1));
  return _mm256_sub_epi8(_mm256_avg_epu8(s1, s2), fix);
}

__attribute__((target("avx2"))) inline __m128i Mean4(__m128i a, __m128i b, __m128i c, __m128i d) {
  const __m128i s1 = _mm_avg_epu8(a, b), s2 = _mm_avg_epu8(c, d);
  const __m128i lost = _mm_or_si128(_mm_xor_si128(a, b), _mm_xor_si128(c, d));
  const __m128i fix = _mm_and_si128(_mm_and_si128(_mm_xor_si128(s1, s2), lost), _mm_set1_epi8(1));
  return _mm_sub_epi8(_mm_avg_epu8(s1, s2), fix);
}

// The bytes of the even cells from a row's pixel x on, for (x + y) even and odd: 0xFF for
// each byte of an even cell (the pattern repeats every 96 bytes).
using TEvenBytes = uint8_t[2][96];
const TEvenBytes& EvenCellBytes() {
  alignas(32) static uint8_t bytes[2][96];
  static const bool made = [] {
    for (int p = 0; p < 2; ++p)
      for (int j = 0; j < 96; ++j) bytes[p][j] = ((j / 3 + p) & 1) == 0 ? 0xFF : 0;
    return true;
  }();
  (void)made;
  return bytes;
}

}  // namespace

// Pixels a .. b - 1 of an inner row (both neighbour rows present, 1 <= a, b <= width - 1):
// every even cell has all four neighbours. 32 bytes at a time; the bytes of the even cells
// form a mask that repeats every 96 bytes (32 pixels). Returns the first pixel not done.
__attribute__((target("avx2"))) int HiddenInnerAvx2(const uint8_t* up, const uint8_t* row,
                                                    const uint8_t* down, uint8_t* out, int y, int a,
                                                    int b, int out_origin) {
  const int blocks = (3 * (b - a)) / 32;
  if (blocks == 0) return a;
  const uint8_t* bytes = EvenCellBytes()[(a + y) & 1];
  __m256i even[3];
  for (int k = 0; k < 3; ++k)
    even[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes + 32 * k));
  for (int k = 0; k < blocks; ++k) {
    const int i = 3 * a + 32 * k;
    const __m256i mean = Mean4(Load(row + i - 3), Load(row + i + 3), Load(up + i), Load(down + i));
    const __m256i result = _mm256_blendv_epi8(Load(row + i), mean, even[k % 3]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i - 3 * out_origin), result);
  }
  return a + (32 * blocks) / 3;  // whole pixels done; the pixel cut by the last block is redone
}

// Output pixels from .. of a row pair with a bottom row, eight at a time while the eight
// pairs and the pixel after them lie in the row: the means of all 48 bytes of the sixteen
// pixels are formed (byte j with byte j + 3 of both rows), and the bytes of the pairs' first
// pixels, three of every six, are gathered into the 24 output bytes. Returns the first
// output pixel not done.
__attribute__((target("avx2"))) int AverageRowAvx2(const uint8_t* top, const uint8_t* bottom,
                                                   uint8_t* out, int from, int to, int width) {
  const __m128i m00 = _mm_setr_epi8(0, 1, 2, 6, 7, 8, 12, 13, 14, -1, -1, -1, -1, -1, -1, -1);
  const __m128i m01 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 3, 4, 8, 9, 10, 14);
  const __m128i m11 = _mm_setr_epi8(15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i m12 = _mm_setr_epi8(-1, 0, 4, 5, 6, 10, 11, 12, -1, -1, -1, -1, -1, -1, -1, -1);
  int i = from;
  for (; i + 8 <= to && 2 * (i + 8) < width; i += 8) {
    const uint8_t* t = top + 6 * i;
    const uint8_t* b = bottom + 6 * i;
    __m128i u[3];
    for (int k = 0; k < 3; ++k)
      u[k] = Mean4(Load16(t + 16 * k), Load16(t + 16 * k + 3), Load16(b + 16 * k),
                   Load16(b + 16 * k + 3));
    const __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(u[0], m00), _mm_shuffle_epi8(u[1], m01));
    const __m128i o1 = _mm_or_si128(_mm_shuffle_epi8(u[1], m11), _mm_shuffle_epi8(u[2], m12));
    uint8_t* o = out + 3 * (i - from);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), o0);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), o1);
  }
  return i;
}
