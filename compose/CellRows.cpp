#include "compose/CellRows.h"

#include <cstring>

#include "compose/ApplyInnerTone.h"
#include "compose/ResampleTables.h"

#if LUMIVEIL_X86_KERNELS
#include <immintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace {

// From pixel `from` on; the first odd cell is the first x >= from with x + y odd.
void MapOddCellsGeneric(const uint8_t* hidden, uint8_t* result, int from, int width, int y,
                        const uint8_t* map) {
  for (int x = from + ((from + y + 1) & 1); x < width; x += 2) {
    const int i = 3 * x;
    result[i] = map[hidden[i]];
    result[i + 1] = map[hidden[i + 1]];
    result[i + 2] = map[hidden[i + 2]];
  }
}

// From pixel `from` on.
void ComposeGeneric(const uint8_t* visible, const uint8_t* hidden, uint8_t* result, int from,
                    int width, int y, const uint8_t* map) {
  for (int x = from; x < width; ++x) {
    const int i = 3 * x;
    if ((x + y) % 2 == 0) {
      result[i] = visible[i], result[i + 1] = visible[i + 1], result[i + 2] = visible[i + 2];
    } else if (map != nullptr) {
      result[i] = map[hidden[i]];
      result[i + 1] = map[hidden[i + 1]];
      result[i + 2] = map[hidden[i + 2]];
    } else {
      result[i] = hidden[i], result[i + 1] = hidden[i + 1], result[i + 2] = hidden[i + 2];
    }
  }
}

#if LUMIVEIL_X86_KERNELS
// The AVX2 rows work on 32 bytes at a time. The cells repeat every 6 bytes, so the bytes
// of the odd cells form three masks that repeat every 96 bytes; each 32-byte block takes
// the hidden (or mapped) bytes where its mask is set and the other bytes elsewhere. Whole
// pixels that do not fill a block are left to the generic code.
struct TCellMasks {
  __m256i odd[3];
};

__attribute__((target("avx2"))) TCellMasks OddCellMasks(int y) {
  alignas(32) uint8_t bytes[96];
  for (int i = 0; i < 96; ++i) bytes[i] = ((i / 3 + y) & 1) != 0 ? 0xFF : 0;
  TCellMasks masks;
  for (int k = 0; k < 3; ++k)
    masks.odd[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes + 32 * k));
  return masks;
}

// The 32 hidden bytes mapped: t = (v * m) >> 16, with m the multiplier that reproduces the
// table for every byte (checked when the table is made), then (t + A - C) modulo 256.
// m is below 2^17: the part from 2^16 up adds v itself.
__attribute__((target("avx2"))) inline __attribute__((always_inline)) __m256i MapBytes(
    __m256i v, __m256i multiplier, bool add_v, __m256i offset) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i low_byte = _mm256_set1_epi16(0xFF);
  __m256i lo = _mm256_unpacklo_epi8(v, zero);
  __m256i hi = _mm256_unpackhi_epi8(v, zero);
  __m256i tlo = _mm256_mulhi_epu16(lo, multiplier);
  __m256i thi = _mm256_mulhi_epu16(hi, multiplier);
  if (add_v) {
    tlo = _mm256_add_epi16(tlo, lo);
    thi = _mm256_add_epi16(thi, hi);
  }
  tlo = _mm256_and_si256(_mm256_add_epi16(tlo, offset), low_byte);
  thi = _mm256_and_si256(_mm256_add_epi16(thi, offset), low_byte);
  return _mm256_packus_epi16(tlo, thi);
}

// Returns the number of whole pixels done.
__attribute__((target("avx2"))) int MapOddCellsAvx2(const uint8_t* hidden, uint8_t* result,
                                                    int width, int y, const TToneTable& tone) {
  const int blocks = width * 3 / 32;
  const TCellMasks masks = OddCellMasks(y);
  const __m256i multiplier = _mm256_set1_epi16(static_cast<int16_t>(tone.multiplier & 0xFFFF));
  const bool add_v = tone.multiplier >= 65536;
  const __m256i offset = _mm256_set1_epi16(static_cast<int16_t>(tone.offset));
  for (int b = 0; b < blocks; ++b) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(hidden + 32 * b));
    __m256i* out = reinterpret_cast<__m256i*>(result + 32 * b);
    const __m256i mapped = MapBytes(v, multiplier, add_v, offset);
    _mm256_storeu_si256(out, _mm256_blendv_epi8(_mm256_loadu_si256(out), mapped, masks.odd[b % 3]));
  }
  return blocks * 32 / 3;
}

__attribute__((target("avx2"))) int ComposeAvx2(const uint8_t* visible, const uint8_t* hidden,
                                                uint8_t* result, int width, int y,
                                                const TToneTable* tone) {
  const int blocks = width * 3 / 32;
  const TCellMasks masks = OddCellMasks(y);
  const __m256i multiplier =
      _mm256_set1_epi16(static_cast<int16_t>(tone ? tone->multiplier & 0xFFFF : 0));
  const bool add_v = tone != nullptr && tone->multiplier >= 65536;
  const __m256i offset = _mm256_set1_epi16(static_cast<int16_t>(tone ? tone->offset : 0));
  for (int b = 0; b < blocks; ++b) {
    const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(visible + 32 * b));
    __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(hidden + 32 * b));
    if (tone != nullptr) h = MapBytes(h, multiplier, add_v, offset);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(result + 32 * b),
                        _mm256_blendv_epi8(e, h, masks.odd[b % 3]));
  }
  return blocks * 32 / 3;
}
#elif defined(__wasm_simd128__)
// WebAssembly's 128-bit vectors, as the AVX2 rows above: 16 bytes at a time, the odd
// cells' bytes chosen by three masks that repeat every 48 bytes.
struct TCellMasks {
  v128_t odd[3];
};

TCellMasks OddCellMasks(int y) {
  uint8_t bytes[48];
  for (int i = 0; i < 48; ++i) bytes[i] = ((i / 3 + y) & 1) != 0 ? 0xFF : 0;
  TCellMasks masks;
  for (int k = 0; k < 3; ++k) masks.odd[k] = wasm_v128_load(bytes + 16 * k);
  return masks;
}

// Four 32-bit lanes of bytes times m, shifted down by 16: t for each.
inline v128_t Scaled(v128_t words, bool high, v128_t multiplier) {
  const v128_t lanes =
      high ? wasm_u32x4_extend_high_u16x8(words) : wasm_u32x4_extend_low_u16x8(words);
  return wasm_u32x4_shr(wasm_i32x4_mul(lanes, multiplier), 16);
}

// The multiplier m as the vector rows take it: m = 256 high + low. While v * m / 256 stays
// below 2^16 for every byte (m <= 65793, every band the sliders allow), t is found in
// 16-bit lanes: floor(v * m / 2^16) = (v * high + (v * low >> 8)) >> 8, each product below
// 2^16, twice as many lanes per step as 32-bit products; larger m take 32-bit lanes.
struct TMultiplier {
  explicit TMultiplier(int32_t m)
      : wide(wasm_i32x4_splat(m)),
        high(wasm_i16x8_splat(static_cast<int16_t>(m >> 8))),
        low(wasm_i16x8_splat(static_cast<int16_t>(m & 0xFF))),
        narrow(m <= 65793) {}
  v128_t wide, high, low;
  bool narrow;
};

// Eight bytes widened to 16-bit lanes, times m, shifted down by 16: t for each.
inline v128_t ScaledWords(v128_t words, const TMultiplier& m) {
  if (m.narrow)
    return wasm_u16x8_shr(wasm_i16x8_add(wasm_i16x8_mul(words, m.high),
                                         wasm_u16x8_shr(wasm_i16x8_mul(words, m.low), 8)),
                          8);
  return wasm_u16x8_narrow_i32x4(Scaled(words, false, m.wide), Scaled(words, true, m.wide));
}

// The 16 hidden bytes mapped: t = (v * m) >> 16 (see TMultiplier), then (t + A - C)
// modulo 256.
inline v128_t MapBytes(v128_t v, const TMultiplier& multiplier, v128_t offset) {
  const v128_t low_byte = wasm_i16x8_splat(0xFF);
  v128_t tlo = ScaledWords(wasm_u16x8_extend_low_u8x16(v), multiplier);
  v128_t thi = ScaledWords(wasm_u16x8_extend_high_u8x16(v), multiplier);
  tlo = wasm_v128_and(wasm_i16x8_add(tlo, offset), low_byte);
  thi = wasm_v128_and(wasm_i16x8_add(thi, offset), low_byte);
  return wasm_u8x16_narrow_i16x8(tlo, thi);
}

int MapOddCellsVector(const uint8_t* hidden, uint8_t* result, int width, int y,
                      const TToneTable& tone) {
  const int blocks = width * 3 / 16;
  const TCellMasks masks = OddCellMasks(y);
  const TMultiplier multiplier(tone.multiplier);
  const v128_t offset = wasm_i16x8_splat(static_cast<int16_t>(tone.offset));
  for (int b = 0; b < blocks; ++b) {
    const v128_t mapped = MapBytes(wasm_v128_load(hidden + 16 * b), multiplier, offset);
    uint8_t* out = result + 16 * b;
    wasm_v128_store(out, wasm_v128_bitselect(mapped, wasm_v128_load(out), masks.odd[b % 3]));
  }
  return blocks * 16 / 3;
}

// Returns the number of bytes done.
int AddMappedVector(const uint8_t* bytes, int count, const TToneTable& tone, uint16_t* sums) {
  const int blocks = count / 16;
  const TMultiplier multiplier(tone.multiplier);
  const v128_t offset = wasm_i16x8_splat(static_cast<int16_t>(tone.offset));
  const v128_t low_byte = wasm_i16x8_splat(0xFF);
  for (int b = 0; b < blocks; ++b) {
    const v128_t v = wasm_v128_load(bytes + 16 * b);
    const v128_t tlo = ScaledWords(wasm_u16x8_extend_low_u8x16(v), multiplier);
    const v128_t thi = ScaledWords(wasm_u16x8_extend_high_u8x16(v), multiplier);
    uint16_t* out = sums + 16 * b;
    wasm_v128_store(out, wasm_i16x8_add(wasm_v128_load(out),
                                        wasm_v128_and(wasm_i16x8_add(tlo, offset), low_byte)));
    wasm_v128_store(out + 8, wasm_i16x8_add(wasm_v128_load(out + 8),
                                            wasm_v128_and(wasm_i16x8_add(thi, offset), low_byte)));
  }
  return blocks * 16;
}

int ComposeVector(const uint8_t* visible, const uint8_t* hidden, uint8_t* result, int width, int y,
                  const TToneTable* tone) {
  const int blocks = width * 3 / 16;
  const TCellMasks masks = OddCellMasks(y);
  const TMultiplier multiplier(tone ? tone->multiplier : 0);
  const v128_t offset = wasm_i16x8_splat(static_cast<int16_t>(tone ? tone->offset : 0));
  for (int b = 0; b < blocks; ++b) {
    v128_t h = wasm_v128_load(hidden + 16 * b);
    if (tone != nullptr) h = MapBytes(h, multiplier, offset);
    wasm_v128_store(result + 16 * b,
                    wasm_v128_bitselect(h, wasm_v128_load(visible + 16 * b), masks.odd[b % 3]));
  }
  return blocks * 16 / 3;
}
#endif

}  // namespace

void MapOddCellsRow(const uint8_t* hidden, uint8_t* result, int width, int y,
                    const TToneTable& tone) {
  int done = 0;
#if LUMIVEIL_X86_KERNELS
  if (KernelPath() == TKernelPath::kpAvx2 && tone.multiplier >= 0)
    done = MapOddCellsAvx2(hidden, result, width, y, tone);
#elif defined(__wasm_simd128__)
  if (tone.multiplier >= 0) done = MapOddCellsVector(hidden, result, width, y, tone);
#endif
  MapOddCellsGeneric(hidden, result, done, width, y, tone.map);
}

void ComposeRow(const uint8_t* visible, const uint8_t* hidden, uint8_t* result, int width, int y,
                const TToneTable* tone) {
  int done = 0;
#if LUMIVEIL_X86_KERNELS
  if (KernelPath() == TKernelPath::kpAvx2 && (tone == nullptr || tone->multiplier >= 0))
    done = ComposeAvx2(visible, hidden, result, width, y, tone);
#elif defined(__wasm_simd128__)
  if (tone == nullptr || tone->multiplier >= 0)
    done = ComposeVector(visible, hidden, result, width, y, tone);
#endif
  ComposeGeneric(visible, hidden, result, done, width, y, tone ? tone->map : nullptr);
}

void AddMappedBytes(const uint8_t* bytes, int count, const TToneTable& tone, uint16_t* sums) {
  int done = 0;
#if defined(__wasm_simd128__) && !LUMIVEIL_X86_KERNELS
  if (tone.multiplier >= 0) done = AddMappedVector(bytes, count, tone, sums);
#endif
  for (int k = done; k < count; ++k) sums[k] = static_cast<uint16_t>(sums[k] + tone.map[bytes[k]]);
}
