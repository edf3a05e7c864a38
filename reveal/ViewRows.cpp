#include "reveal/ViewRows.h"

#include <cstring>

#include "compose/ResampleTables.h"

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>
#endif

TByteMap::TByteMap(const uint8_t (&source)[256]) {
  std::memcpy(table, source, 256);
  for (int half = 0; half < 2; ++half)
    for (int k = 0; k < 8; ++k)
      for (int l = 0; l < 16; ++l) {
        const uint8_t row = table[128 * half + 16 * k + l];
        const uint8_t before = k > 0 ? table[128 * half + 16 * (k - 1) + l] : 0;
        steps[half][k][l] = static_cast<uint8_t>(row ^ before);
      }
}

namespace {

void MapBytesGeneric(const uint8_t* in, uint8_t* out, size_t count, const uint8_t* table) {
  for (size_t i = 0; i < count; ++i) out[i] = table[in[i]];
}

#if LUMIVEIL_X86_KERNELS
// The 256-entry lookup with 16-entry byte shuffles. In the first half a lane holds v for
// v < 128 and 0xFF otherwise; subtracting 16 k leaves v - 16 k, which is below 128 (the
// shuffle looks up its low four bits) exactly when k <= v / 16, and has its top bit set
// (the shuffle gives 0) when k > v / 16 or when the lane was 0xFF. The rows are stored as
// differences, so the k <= v / 16 lookups together give row v / 16 at v's low four bits.
// The second half does the same for v - 128.
__attribute__((target("avx2"))) size_t MapBytesAvx2(const uint8_t* in, uint8_t* out, size_t count,
                                                    const TByteMap& map) {
  __m256i steps[2][8];
  for (int half = 0; half < 2; ++half)
    for (int k = 0; k < 8; ++k)
      steps[half][k] = _mm256_broadcastsi128_si256(
          _mm_load_si128(reinterpret_cast<const __m128i*>(map.steps[half][k])));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i sixteen = _mm256_set1_epi8(16);
  const __m256i top_bit = _mm256_set1_epi8(static_cast<char>(0x80));
  const size_t blocks = count / 32;
  for (size_t b = 0; b < blocks; ++b) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32 * b));
    const __m256i w = _mm256_xor_si256(v, top_bit);
    __m256i first = _mm256_or_si256(v, _mm256_cmpgt_epi8(zero, v));
    __m256i second = _mm256_or_si256(w, _mm256_cmpgt_epi8(zero, w));
    __m256i r = zero;
    for (int k = 0; k < 8; ++k) {
      r = _mm256_xor_si256(r, _mm256_shuffle_epi8(steps[0][k], first));
      r = _mm256_xor_si256(r, _mm256_shuffle_epi8(steps[1][k], second));
      first = _mm256_sub_epi8(first, sixteen);
      second = _mm256_sub_epi8(second, sixteen);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * b), r);
  }
  return blocks * 32;
}
#else
size_t MapBytesAvx2(const uint8_t*, uint8_t*, size_t, const TByteMap&) {
  return 0;
}
#endif

// The mean of an even cell's odd neighbours, for any place in the picture.
inline uint8_t NeighbourMean(const uint8_t* up, const uint8_t* row, const uint8_t* down, int x,
                             int width, int c) {
  const int i = 3 * x + c;
  int sum = 0, n = 0;
  if (x > 0) sum += row[i - 3], ++n;
  if (x + 1 < width) sum += row[i + 3], ++n;
  if (up != nullptr) sum += up[i], ++n;
  if (down != nullptr) sum += down[i], ++n;
  return n == 0 ? 128 : static_cast<uint8_t>((sum + n / 2) / n);
}

void HiddenPixels(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out, int y,
                  int from, int to, int width, int out_origin) {
  for (int x = from; x < to; ++x) {
    uint8_t* o = out + 3 * (x - out_origin);
    if (((x + y) & 1) != 0) {
      o[0] = row[3 * x], o[1] = row[3 * x + 1], o[2] = row[3 * x + 2];
    } else {
      for (int c = 0; c < 3; ++c) o[c] = NeighbourMean(up, row, down, x, width, c);
    }
  }
}

#if LUMIVEIL_X86_KERNELS
__attribute__((target("avx2"))) inline __m256i Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The bytes of the even cells from a row's pixel x on, for (x + y) even and odd: 0xFF for
// each byte of an even cell (the pattern repeats every 96 bytes), and the same as bits
// (repeating every 192 bytes).
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

#if !defined(_WIN32)
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
#endif

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

#if !defined(_WIN32)
// The lookup with two 128-entry byte permutes (entries 0 .. 127 and 128 .. 255), the top
// bit choosing between them. Not on Windows, where the compilers do not keep the stack
// aligned for 64-byte registers.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t MapBytesAvx512(const uint8_t* in,
                                                                             uint8_t* out,
                                                                             size_t count,
                                                                             const TByteMap& map) {
  const __m512i t0 = _mm512_loadu_si512(map.table), t1 = _mm512_loadu_si512(map.table + 64);
  const __m512i t2 = _mm512_loadu_si512(map.table + 128), t3 = _mm512_loadu_si512(map.table + 192);
  const size_t blocks = count / 64;
  for (size_t b = 0; b < blocks; ++b) {
    const __m512i v = _mm512_loadu_si512(in + 64 * b);
    const __m512i low = _mm512_permutex2var_epi8(t0, v, t1);
    const __m512i high = _mm512_permutex2var_epi8(t2, v, t3);
    _mm512_storeu_si512(out + 64 * b, _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high));
  }
  return blocks * 64;
}
#endif

#if !defined(_WIN32)
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

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Map64(const uint8_t* p,
                                                                            __m512i t0, __m512i t1,
                                                                            __m512i t2,
                                                                            __m512i t3) {
  const __m512i v = _mm512_loadu_si512(p);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), _mm512_permutex2var_epi8(t0, v, t1),
                                _mm512_permutex2var_epi8(t2, v, t3));
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
    const __m512i v = _mm512_loadu_si512(below_stored + i);
    const __m512i d =
        _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), _mm512_permutex2var_epi8(t0, v, t1),
                               _mm512_permutex2var_epi8(t2, v, t3));
    _mm512_storeu_si512(below + i, d);
    const __m512i l = _mm512_loadu_si512(row + i - 3), r = _mm512_loadu_si512(row + i + 3);
    const __m512i u = _mm512_loadu_si512(up + i);
    StoreHiddenBlock(out + i - 3 * out_origin, _mm512_loadu_si512(row + i), l, r, u, d,
                     even[k % 3]);
  }
  return a + (64 * blocks) / 3;
}
#endif
#else
// Without x86 vector code every kernel path is the generic one (Avx2Available() is false);
// these stand in for the vector rows and do nothing.
int AverageRowAvx2(const uint8_t*, const uint8_t*, uint8_t*, int from, int, int) {
  return from;
}
int HiddenInnerAvx2(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int a, int,
                    int) {
  return a;
}
#endif

bool Avx512VbmiAvailable() {
#if defined(_WIN32) || !LUMIVEIL_X86_KERNELS
  return false;
#else
  static const bool available = __builtin_cpu_supports("avx512f") &&
                                __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vbmi");
  return available;
#endif
}

bool& Avx512Allowed() {
  static bool allowed = true;
  return allowed;
}

bool Avx512InUse() {
  return Avx512Allowed() && Avx512VbmiAvailable();
}

}  // namespace

void SetAvx512Allowed(bool allowed) {
  Avx512Allowed() = allowed;
}

bool Avx512Available() {
  return Avx512VbmiAvailable();
}

bool ByteMapKernelAvailable(TByteMapKernel kernel) {
  switch (kernel) {
    case TByteMapKernel::bkGeneric:
      return true;
    case TByteMapKernel::bkAvx2:
      return Avx2Available();
    case TByteMapKernel::bkAvx512:
      return Avx512VbmiAvailable();
  }
  return false;
}

void MapBytesWith(TByteMapKernel kernel, const uint8_t* in, uint8_t* out, size_t count,
                  const TByteMap& map) {
  size_t done = 0;
  if (kernel == TByteMapKernel::bkAvx2 && Avx2Available()) done = MapBytesAvx2(in, out, count, map);
#if LUMIVEIL_X86_KERNELS && !defined(_WIN32)
  if (kernel == TByteMapKernel::bkAvx512 && Avx512VbmiAvailable())
    done = MapBytesAvx512(in, out, count, map);
#endif
  MapBytesGeneric(in + done, out + done, count - done, map.table);
}

void MapBytes(const uint8_t* in, uint8_t* out, size_t count, const TByteMap& map) {
  // The vector paths as the composition's kernel path allows; the widest the processor has.
  TByteMapKernel kernel = TByteMapKernel::bkGeneric;
  if (KernelPath() == TKernelPath::kpAvx2)
    kernel = Avx512InUse() ? TByteMapKernel::bkAvx512 : TByteMapKernel::bkAvx2;
  MapBytesWith(kernel, in, out, count, map);
}

void GatherCells(const uint8_t* row, uint8_t* out, int first, int count) {
  const uint8_t* p = row + 3 * first;
  for (int i = 0; i < count; ++i, p += 6, out += 3) {
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
  }
}

namespace {

void AverageRowGeneric(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int from, int to,
                       int width, int out_origin) {
  for (int i = from; i < to; ++i) {
    const int x = 2 * i;
    const bool pair = x + 1 < width;
    const int n = (pair ? 2 : 1) * (bottom != nullptr ? 2 : 1);
    for (int c = 0; c < 3; ++c) {
      int sum = top[3 * x + c];
      if (pair) sum += top[3 * x + 3 + c];
      if (bottom != nullptr) {
        sum += bottom[3 * x + c];
        if (pair) sum += bottom[3 * x + 3 + c];
      }
      out[3 * (i - out_origin) + c] = static_cast<uint8_t>((sum + n / 2) / n);
    }
  }
}

}  // namespace

void AverageRow(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int from, int to,
                int width) {
  int done = from;
  if (bottom != nullptr && KernelPath() == TKernelPath::kpAvx2)
    done = AverageRowAvx2(top, bottom, out, from, to, width);
  AverageRowGeneric(top, bottom, out, done, to, width, from);
}

void HiddenRow(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint8_t* out, int y,
               int from, int to, int width) {
  if (up == nullptr || down == nullptr || KernelPath() != TKernelPath::kpAvx2 || width < 3) {
    HiddenPixels(up, row, down, out, y, from, to, width, from);
    return;
  }
  const int a = from > 1 ? from : 1;
  const int b = to < width - 1 ? to : width - 1;
  if (a >= b) {
    HiddenPixels(up, row, down, out, y, from, to, width, from);
    return;
  }
  HiddenPixels(up, row, down, out, y, from, a, width, from);
#if LUMIVEIL_X86_KERNELS && !defined(_WIN32)
  const int done = Avx512InUse() ? HiddenInnerAvx512(up, row, down, out, y, a, b, from)
                                 : HiddenInnerAvx2(up, row, down, out, y, a, b, from);
#else
  const int done = HiddenInnerAvx2(up, row, down, out, y, a, b, from);
#endif
  HiddenPixels(up, row, down, out, y, done, to, width, from);
}

bool HiddenRowMappingBelowAvailable() {
  return KernelPath() == TKernelPath::kpAvx2 && Avx512InUse();
}

void HiddenRowMappingBelow(const uint8_t* up, const uint8_t* row, const uint8_t* below_stored,
                           const uint8_t* ahead, uint8_t* below, const TByteMap& map, uint8_t* out,
                           int y, int from, int to, int width) {
  const int first = from > 0 ? from - 1 : 0, last = to < width ? to + 1 : width;
  // Pixels a .. done - 1 come from the vector code, which maps bytes mapped_from ..
  // mapped_end - 1 of the row below; with nothing done there, both ranges are empty.
  int a = from, done = from, mapped_from = 3 * first, mapped_end = 3 * first;
#if LUMIVEIL_X86_KERNELS && !defined(_WIN32)
  if (width >= 3 && HiddenRowMappingBelowAvailable()) {
    const int inner_from = from > 1 ? from : 1;
    const int inner_to = to < width - 1 ? to : width - 1;
    if (inner_from < inner_to) {
      a = inner_from;
      mapped_from = 3 * a;
      done = HiddenMappingBelowAvx512(up, row, below_stored, ahead, below, map, out, y, a, inner_to,
                                      from, mapped_end);
    }
  }
#else
  (void)ahead;  // only the AVX-512 code fetches ahead
#endif
  MapBytes(below_stored + 3 * first, below + 3 * first,
           static_cast<size_t>(mapped_from - 3 * first), map);
  MapBytes(below_stored + mapped_end, below + mapped_end,
           static_cast<size_t>(3 * last - mapped_end), map);
  HiddenPixels(up, row, below, out, y, from, a, width, from);
  HiddenPixels(up, row, below, out, y, done, to, width, from);
}
