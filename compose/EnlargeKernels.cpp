// The enlarging kernels: piecewise cubic interpolation in 16.16 fixed point, linear in the
// first and last source intervals, a copy of the last sample.
#include <cstring>

#include "compose/ResampleTables.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

void EnlargeHorizontal(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, true, true);
  const int height = dest.Height();
  const std::vector<TEnlargeTap> table = MakeEnlargeTable(source.Width(), dest.Width());
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = source.ConstScanline(y);
    uint8_t* dst = dest.Scanline(y);
    for (const TEnlargeTap& tap : table) {
      const uint8_t* p = src + 3 * tap.idx;
      switch (tap.kind) {
        case TEnlargeKind::ekCubic:
          // Samples idx - 1 .. idx + 2 exist: 1 <= idx <= S - 3.
          for (int ch = 0; ch < 3; ++ch) {
            const int32_t sum = tap.w[0] * p[ch - 3] + tap.w[1] * p[ch] + tap.w[2] * p[ch + 3] +
                                tap.w[3] * p[ch + 6] + 32768;
            dst[ch] = CubicSample(sum);
          }
          break;
        case TEnlargeKind::ekLinear:
          for (int ch = 0; ch < 3; ++ch) dst[ch] = LinearSample(p[ch], p[ch + 3], tap.fr);
          break;
        case TEnlargeKind::ekCopy:
          dst[0] = p[0];
          dst[1] = p[1];
          dst[2] = p[2];
          break;
      }
      dst += 3;
    }
  }
}

void EnlargeVertical(const TBitmap& source, TBitmap& dest) {
  CheckPassRasters(source, dest, false, true);
  const int bytes = dest.Width() * 3;
  const std::vector<TEnlargeTap> table = MakeEnlargeTable(source.Height(), dest.Height());
  for (int b = 0; b < dest.Height(); ++b) {
    const TEnlargeTap& tap = table[static_cast<size_t>(b)];
    uint8_t* dst = dest.Scanline(b);
    switch (tap.kind) {
      case TEnlargeKind::ekCubic: {
        const uint8_t* r0 = source.ConstScanline(tap.idx - 1);
        const uint8_t* r1 = source.ConstScanline(tap.idx);
        const uint8_t* r2 = source.ConstScanline(tap.idx + 1);
        const uint8_t* r3 = source.ConstScanline(tap.idx + 2);
        const int32_t w0 = tap.w[0], w1 = tap.w[1], w2 = tap.w[2], w3 = tap.w[3];
        for (int i = 0; i < bytes; ++i) {
          int32_t sum = w0 * r0[i] + w1 * r1[i] + w2 * r2[i] + w3 * r3[i] + 32768;
          sum = sum < 0 ? 0 : sum;
          sum = sum > 16711680 ? 16711680 : sum;
          dst[i] = static_cast<uint8_t>(sum >> 16);
        }
        break;
      }
      case TEnlargeKind::ekLinear: {
        const uint8_t* r0 = source.ConstScanline(tap.idx);
        const uint8_t* r1 = source.ConstScanline(tap.idx + 1);
        for (int i = 0; i < bytes; ++i) dst[i] = LinearSample(r0[i], r1[i], tap.fr);
        break;
      }
      case TEnlargeKind::ekCopy:
        std::memcpy(dst, source.ConstScanline(tap.idx), static_cast<size_t>(bytes));
        break;
    }
  }
}
