// The filters are written as plain loops over the bytes, each output byte from the
// unfiltered rows alone, which the compiler turns into vector code (this file is built
// with the vectoriser on).
#include "raster/PngFilter.h"

#include <cstdint>
#include <cstring>

#include "platform/Processor.h"

namespace {

// A filtered byte's weight in the heuristic: its magnitude as a signed byte.
inline unsigned Magnitude(uint8_t v) {
  return v < 128 ? v : 256u - v;
}

unsigned long long Sum(const uint8_t* data, size_t bytes) {
  unsigned long long sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum += Magnitude(data[i]);
  return sum;
}

// Each filter: out[i] = row[i] less the prediction from a (left), b (above), c (above left).
void Sub(const uint8_t* row, size_t bytes, size_t bpp, uint8_t* out) {
  std::memcpy(out, row, bpp < bytes ? bpp : bytes);
  for (size_t i = bpp; i < bytes; ++i) out[i] = static_cast<uint8_t>(row[i] - row[i - bpp]);
}

void Up(const uint8_t* row, const uint8_t* prior, size_t bytes, uint8_t* out) {
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(row[i] - prior[i]);
}

void Average(const uint8_t* row, const uint8_t* prior, size_t bytes, size_t bpp, uint8_t* out) {
  size_t i = 0;
  for (; i < bpp && i < bytes; ++i) out[i] = static_cast<uint8_t>(row[i] - (prior[i] >> 1));
  for (; i < bytes; ++i)
    out[i] = static_cast<uint8_t>(row[i] - ((unsigned{row[i - bpp]} + prior[i]) >> 1));
}

// In 16 bits, so that the vectoriser packs eight or sixteen bytes to a register: with
// p = a + b - c, the distances |p - a|, |p - b|, |p - c| are |b - c|, |a - c| and
// |a + b - 2c|; the nearest wins, ties in the order a, b, c.
inline __attribute__((always_inline)) uint8_t PaethPredictor(int16_t a, int16_t b, int16_t c) {
  const int16_t bc = static_cast<int16_t>(b - c), ac = static_cast<int16_t>(a - c);
  const int16_t pa = bc < 0 ? static_cast<int16_t>(-bc) : bc;
  const int16_t pb = ac < 0 ? static_cast<int16_t>(-ac) : ac;
  const int16_t sum = static_cast<int16_t>(ac + bc);
  const int16_t pc = sum < 0 ? static_cast<int16_t>(-sum) : sum;
  return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

inline __attribute__((always_inline)) void PaethLoop(const uint8_t* row, const uint8_t* prior,
                                                     size_t bytes, size_t bpp, uint8_t* out) {
  size_t i = 0;
  // No left neighbours: the predictor is the byte above.
  for (; i < bpp && i < bytes; ++i) out[i] = static_cast<uint8_t>(row[i] - prior[i]);
  for (; i < bytes; ++i)
    out[i] = static_cast<uint8_t>(row[i] - PaethPredictor(row[i - bpp], prior[i], prior[i - bpp]));
}

#if LUMIVEIL_X86_KERNELS
// The same predictor in bytes alone, so that a 32-byte register holds 32 of them: |b - c|
// and |a - c| fit a byte, and |(b - c) + (a - c)| is their sum when the two differences
// have one sign, else the difference of the two. The sum saturates at 255, which changes
// no comparison: it is at least either part all the same.
inline __attribute__((always_inline)) uint8_t PaethPredictor8(uint8_t a, uint8_t b, uint8_t c) {
  const uint8_t pa = static_cast<uint8_t>(b > c ? b - c : c - b);
  const uint8_t pb = static_cast<uint8_t>(a > c ? a - c : c - a);
  uint8_t sum = static_cast<uint8_t>(pa + pb);
  if (sum < pa) sum = 255;
  const uint8_t pc = (b >= c) == (a >= c) ? sum : static_cast<uint8_t>(pa > pb ? pa - pb : pb - pa);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The loop in 32-byte registers, with the absolute values and selects that SSE2 lacks.
__attribute__((target("avx2"))) void PaethAvx2(const uint8_t* row, const uint8_t* prior,
                                               size_t bytes, size_t bpp, uint8_t* out) {
  size_t i = 0;
  for (; i < bpp && i < bytes; ++i) out[i] = static_cast<uint8_t>(row[i] - prior[i]);
  for (; i < bytes; ++i)
    out[i] = static_cast<uint8_t>(row[i] - PaethPredictor8(row[i - bpp], prior[i], prior[i - bpp]));
}
#endif

void Paeth(const uint8_t* row, const uint8_t* prior, size_t bytes, size_t bpp, uint8_t* out) {
#if LUMIVEIL_X86_KERNELS
  if (Avx2Available()) return PaethAvx2(row, prior, bytes, bpp, out);
#endif
  PaethLoop(row, prior, bytes, bpp, out);
}

// The row filtered with `filter`: `bytes` bytes, without the type byte.
void Apply(TPngFilterType filter, const uint8_t* row, const uint8_t* prior, size_t bytes,
           size_t bpp, uint8_t* out) {
  switch (filter) {
    case pfNone:
      std::memcpy(out, row, bytes);
      break;
    case pfSub:
      Sub(row, bytes, bpp, out);
      break;
    case pfUp:
      Up(row, prior, bytes, out);
      break;
    case pfAverage:
      Average(row, prior, bytes, bpp, out);
      break;
    case pfPaeth:
      Paeth(row, prior, bytes, bpp, out);
      break;
  }
}

}  // namespace

void FilterPngRow(const uint8_t* row, const uint8_t* prior, size_t bytes, int bpp, bool adaptive,
                  uint8_t* out, uint8_t* scratch) {
  out[0] = pfNone;
  std::memcpy(out + 1, row, bytes);
  if (!adaptive) return;
  const size_t step = static_cast<size_t>(bpp);
  // Each filter's row in scratch (Sub first), the one of least magnitude kept.
  unsigned long long best = Sum(row, bytes);
  int chosen = pfNone;
  for (int filter = pfSub; filter <= pfPaeth; ++filter) {
    uint8_t* candidate = scratch + static_cast<size_t>(filter - 1) * bytes;
    Apply(static_cast<TPngFilterType>(filter), row, prior, bytes, step, candidate);
    const unsigned long long sum = Sum(candidate, bytes);
    if (sum < best) {
      best = sum;
      chosen = filter;
    }
  }
  if (chosen == pfNone) return;
  out[0] = static_cast<uint8_t>(chosen);
  std::memcpy(out + 1, scratch + static_cast<size_t>(chosen - 1) * bytes, bytes);
}

void FilterPngRowWith(TPngFilterType filter, const uint8_t* row, const uint8_t* prior, size_t bytes,
                      int bpp, uint8_t* out) {
  out[0] = filter;
  Apply(filter, row, prior, bytes, static_cast<size_t>(bpp), out + 1);
}
