// The view row kernels in the 64-byte registers of AVX-512 (F, BW, VBMI), chosen where the
// processor has them (platform/Processor.h); they give the generic kernels' bytes.
#include <immintrin.h>

#include <cstdint>

#include "raster/ByteMap.h"
#include "raster/ByteMapVector.h"
#include "reveal/ViewRows.h"
#include "reveal/ViewRowsVector.h"

namespace {

// The bytes of the even cells from a row's pixel x on, for (x + y) even and odd, as bits:
// a 1 for each byte of an even cell (the pattern repeats every 192 bytes).
using TEvenBits = uint64_t[2][3];
const TEvenBits& EvenCellBits() {
  static uint64_t bits[2][3];
  static const bool made = [] {
    for (int p = 0; p < 2; ++p)
      for (int j = 0; j < 192; ++j)
        if (((j / 3 + p) & 1) == 0) bits[p][j / 64] |= uint64_t{1} << (j % 64);
    return true;
  }();
  (void)made;
  return bits;
}

// One 64-byte block of the hidden view's inner cells: the even cells (bits of `even`) get
// the mean of their left, right, upper and lower neighbours, rounded as the scalar path
// rounds them (the rounding lost by the two averaging steps taken back); the odd cells keep
// `own`.
__attribute__((target("avx512f,avx512bw"))) inline void StoreHiddenBlock(uint8_t* out, __m512i own,
                                                                         __m512i l, __m512i r,
                                                                         __m512i u, __m512i d,
                                                                         uint64_t even) {
  const __m512i one = _mm512_set1_epi8(1);
  const __m512i s1 = _mm512_avg_epu8(l, r), s2 = _mm512_avg_epu8(u, d);
  const __m512i lost = _mm512_or_si512(_mm512_xor_si512(l, r), _mm512_xor_si512(u, d));
  const __m512i fix = _mm512_and_si512(_mm512_and_si512(_mm512_xor_si512(s1, s2), lost), one);
  const __m512i mean = _mm512_sub_epi8(_mm512_avg_epu8(s1, s2), fix);
  _mm512_storeu_si512(out, _mm512_mask_blend_epi8(even, own, mean));
}

}  // namespace

// HiddenInnerAvx2 with 64-byte registers; the even cells' bytes repeat every 192 bytes.
__attribute__((target("avx512f,avx512bw"))) int HiddenInnerAvx512(const uint8_t* up,
                                                                  const uint8_t* row,
                                                                  const uint8_t* down, uint8_t* out,
                                                                  int y, int a, int b,
                                                                  int out_origin) {
  const int blocks = (3 * (b - a)) / 64;
  if (blocks == 0) return a;
  const uint64_t* even = EvenCellBits()[(a + y) & 1];
  for (int k = 0; k < blocks; ++k) {
    const int i = 3 * a + 64 * k;
    const __m512i l = _mm512_loadu_si512(row + i - 3), r = _mm512_loadu_si512(row + i + 3);
    const __m512i u = _mm512_loadu_si512(up + i), d = _mm512_loadu_si512(down + i);
    StoreHiddenBlock(out + i - 3 * out_origin, _mm512_loadu_si512(row + i), l, r, u, d,
                     even[k % 3]);
  }
  return a + (64 * blocks) / 3;
}

// HiddenInnerAvx512 that also maps the row below back as it goes: `below` gets the mapped
// bytes of `below_stored` for the blocks it does, and each block's lower neighbours are
// those just mapped. Every row is so mapped once, while the row above it is made, and is
// read back a row later (never right after its store). Returns the first pixel not done
// and, in mapped_end, the end of the bytes of `below` it mapped (from 3a).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) int HiddenMappingBelowAvx512(
    const uint8_t* up, const uint8_t* row, const uint8_t* below_stored, const uint8_t* ahead,
    uint8_t* below, const TByteMap& map, uint8_t* out, int y, int a, int b, int out_origin,
    int& mapped_end) {
  const int blocks = (3 * (b - a)) / 64;
  mapped_end = 3 * a + 64 * blocks;
  if (blocks == 0) return a;
  const uint64_t* even = EvenCellBits()[(a + y) & 1];
  const __m512i t0 = _mm512_loadu_si512(map.table), t1 = _mm512_loadu_si512(map.table + 64);
  const __m512i t2 = _mm512_loadu_si512(map.table + 128), t3 = _mm512_loadu_si512(map.table + 192);
  for (int k = 0; k < blocks; ++k) {
    const int i = 3 * a + 64 * k;
    // The row after is read by the next row's pass; asked for now, it is there by then
    // (the processor's own look-ahead starts anew at every page, and rows lie apart).
    if (ahead != nullptr) _mm_prefetch(reinterpret_cast<const char*>(ahead + i), _MM_HINT_T0);
    const __m512i d = MapBlock(_mm512_loadu_si512(below_stored + i), t0, t1, t2, t3);
    _mm512_storeu_si512(below + i, d);
    const __m512i l = _mm512_loadu_si512(row + i - 3), r = _mm512_loadu_si512(row + i + 3);
    const __m512i u = _mm512_loadu_si512(up + i);
    StoreHiddenBlock(out + i - 3 * out_origin, _mm512_loadu_si512(row + i), l, r, u, d,
                     even[k % 3]);
  }
  return a + (64 * blocks) / 3;
}
