#include "compose/Synthesis.h"

#include <cstring>

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

// Steps 1 to 3 of a synthesis, with the tone mapping of step 5 done in the same pass when
// `tone` is given: the mapping reads the hidden picture, not what the composition wrote,
// so writing the mapped byte at once gives the same bytes as writing the hidden byte first
// and mapping it afterwards, with one pass over the pictures instead of two.
void Compose(TBitmap& result, const TBitmap& external, const TBitmap& inner,
             const TToneTable* tone) {
  const int width = external.Width();
  const int height = external.Height();
  result.SetWidth(width);
  result.SetHeight(height);
  result.SetPixelFormat(TPixelFormat::Bits24);
  if (width <= 0 || height <= 0 || external.Empty()) return;
  if (external.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  // Every row of the hidden picture is needed; checked before any cell is written, so a
  // failure leaves the result's content as it was.
  if (inner.Empty() || inner.Width() < width || inner.Height() < height)
    throw EInvalidGraphicOperation(SScanLine);
  if (inner.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);

  const size_t pairs = static_cast<size_t>(width) / 2;
  const bool odd_width = width % 2 != 0;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = result.Scanline(y);
    const uint8_t* ext = external.ConstScanline(y);
    const uint8_t* hid = inner.ConstScanline(y);
    // On even rows a pair of pixels is (even cell, odd cell), on odd rows (odd, even).
    const size_t even = static_cast<size_t>(y & 1) * 3;
    const size_t odd = 3 - even;
    if (tone != nullptr) {
      const uint8_t* map = tone->map;
      for (size_t p = 0; p < pairs; ++p) {
        const size_t i = 6 * p;
        dst[i + even] = ext[i + even];
        dst[i + even + 1] = ext[i + even + 1];
        dst[i + even + 2] = ext[i + even + 2];
        dst[i + odd] = map[hid[i + odd]];
        dst[i + odd + 1] = map[hid[i + odd + 1]];
        dst[i + odd + 2] = map[hid[i + odd + 2]];
      }
    } else {
      for (size_t p = 0; p < pairs; ++p) {
        const size_t i = 6 * p;
        std::memcpy(dst + i + even, ext + i + even, 3);
        std::memcpy(dst + i + odd, hid + i + odd, 3);
      }
    }
    if (odd_width) {
      // The last column: an even cell on even rows, an odd cell on odd rows.
      const size_t i = 6 * pairs;
      for (size_t ch = 0; ch < 3; ++ch) {
        if (y % 2 == 0)
          dst[i + ch] = ext[i + ch];
        else
          dst[i + ch] = tone != nullptr ? tone->map[hid[i + ch]] : hid[i + ch];
      }
    }
  }
}

}  // namespace

void ComposeCheckerboard(TBitmap& result, const TBitmap& external, const TBitmap& inner) {
  Compose(result, external, inner, nullptr);
}

void Synthesize(TBitmap& result, const TBitmap& external, TBitmap& inner, int average,
                int contrast) {
  // Built before anything changes, so values outside 0 .. 255 change nothing.
  const TToneTable tone(average, contrast);
  // A visible picture loaded after the hidden one may differ in size; the hidden picture
  // is refitted as "Resize" does, so the composition never reads outside it.
  if (inner.Width() != external.Width() || inner.Height() != external.Height())
    ResizeBitmap(inner, external.Width(), external.Height());
  Compose(result, external, inner, &tone);
}
