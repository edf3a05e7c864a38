#include "compose/Synthesis.h"

#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/CellRows.h"
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

  for (int y = 0; y < height; ++y)
    ComposeRow(external.ConstScanline(y), inner.ConstScanline(y), result.Scanline(y), width, y,
               tone);
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
