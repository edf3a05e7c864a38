#include "compose/ResizeBitmap.h"

#include "base/Exceptions.h"
#include "raster/Bitmap.h"

void ResizeBitmap(TBitmap& bitmap, int width, int height) {
  if (bitmap.Empty()) return;
  // A target of 0 or below cannot be produced by either pass (shrinking divides by the
  // target size). It is rejected here, leaving the bitmap unchanged, and silently: loading
  // a hidden picture before any visible one asks for a 0 x 0 target, and nothing should
  // happen then.
  if (width <= 0 || height <= 0) return;
  if (bitmap.PixelFormat() != TPixelFormat::Bits24) {
    bitmap.SetPixelFormat(TPixelFormat::Bits24);
    bitmap.SetPalette(TPaletteHandle());
  }
  // Enlarging both ways: one pass without the picture between the passes. Not when the
  // final store cannot be had: the passes below then fail as they would, the width pass
  // done.
  if (EnlargesBothAtOnce(bitmap, width, height)) {
    TBitmap temporary;
    temporary.Assign(&bitmap);
    bool made = false;
    try {
      temporary.SetSizeForOverwrite(width, height);
      made = true;
    } catch (const Exception&) {
    }
    if (made) {
      EnlargeBoth(bitmap, temporary);
      bitmap.Assign(&temporary);
      return;
    }
  }
  if (width != bitmap.Width()) {
    TBitmap temporary;
    temporary.Assign(&bitmap);
    // The kernel writes every pixel: the new store is neither filled nor copied into.
    temporary.SetSizeForOverwrite(width, bitmap.Height());
    if (bitmap.Width() < width)
      EnlargeHorizontal(bitmap, temporary);
    else
      ShrinkHorizontal(bitmap, temporary);
    bitmap.Assign(&temporary);
  }
  if (height != bitmap.Height()) {
    TBitmap temporary;
    temporary.Assign(&bitmap);
    temporary.SetSizeForOverwrite(bitmap.Width(), height);
    if (bitmap.Height() < height)
      EnlargeVertical(bitmap, temporary);
    else
      ShrinkVertical(bitmap, temporary);
    bitmap.Assign(&temporary);
  }
}
