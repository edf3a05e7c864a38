#include "compose/Synthesis.h"

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/CellRows.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

// Whether the composition of a W x H result can write its cells: the visible picture has
// 24-bit pixels and the hidden picture is a 24-bit picture at least W x H.
bool Composable(const TBitmap& external, const TBitmap& inner) {
  const int width = external.Width();
  const int height = external.Height();
  return width > 0 && height > 0 && !external.Empty() && external.BitsPerPixel() == 24 &&
         !inner.Empty() && inner.Width() >= width && inner.Height() >= height &&
         inner.BitsPerPixel() == 24;
}

// Steps 1 to 3 of a synthesis, with the tone mapping of step 5 done in the same pass when
// `tone` is given: the mapping reads the hidden picture, not what the composition wrote,
// so writing the mapped byte at once gives the same bytes as writing the hidden byte first
// and mapping it afterwards, with one pass over the pictures instead of two.
void Compose(TBitmap& result, const TBitmap& external, const TBitmap& inner,
             const TToneTable* tone) {
  const int width = external.Width();
  const int height = external.Height();
  if (!Composable(external, inner)) {
    // The result takes the visible picture's size; then the failure, if there is one,
    // before any cell is written, so that the result's content is as the resize left it.
    result.SetWidth(width);
    result.SetHeight(height);
    result.SetPixelFormat(TPixelFormat::Bits24);
    if (width <= 0 || height <= 0 || external.Empty()) return;
    if (external.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
    // An empty hidden picture (none loaded yet) has no row 0: the same error, with a sense
    // that tells the person what to do.
    if (inner.Empty()) throw EInvalidGraphicOperation(SScanLineNoHiddenPicture);
    if (inner.Width() < width || inner.Height() < height) throw EInvalidGraphicOperation(SScanLine);
    throw EInvalidGraphic(SInvalidPixelFormat);
  }
  // Every cell is written below, so the result's store is rebuilt at the new size (as
  // setting its width, height and 24 bits would) without filling or keeping its pixels.
  result.SetPixelFormat(TPixelFormat::Bits24);
  result.SetSizeForOverwrite(width, height);
  const TConstRows visible = external.ConstRows();
  const TConstRows hidden = inner.ConstRows();
  const TRows rows = result.RowsForOverwrite();
  ForEachBand(height, int64_t{9} * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) ComposeRow(visible[y], hidden[y], rows[y], width, y, tone);
  });
}

// The composition made in the visible picture's store, which the result takes over: its
// even cells hold the visible picture's bytes already, so only the odd cells are written.
// Only for a fresh result; false (nothing changed) when the store cannot be taken over.
bool ComposeInPlace(TBitmap& result, TBitmap& external, const TBitmap& inner,
                    const TToneTable* tone) {
  if (!result.Empty() || result.Palette() || !Composable(external, inner)) return false;
  const int width = external.Width();
  const int height = external.Height();
  if (!result.TakePixelsOf(external)) return false;
  const TConstRows hidden = inner.ConstRows();
  const TRows rows = result.Rows();
  ForEachBand(height, int64_t{6} * width, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      if (tone != nullptr)
        MapOddCellsRow(hidden[y], rows[y], width, y, *tone);
      else
        ComposeRow(rows[y], hidden[y], rows[y], width, y, nullptr);
    }
  });
  return true;
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

bool ComposeCheckerboardConsuming(TBitmap& result, TBitmap& external, const TBitmap& inner) {
  if (ComposeInPlace(result, external, inner, nullptr)) return true;
  Compose(result, external, inner, nullptr);
  return false;
}

bool SynthesizeConsuming(TBitmap& result, TBitmap& external, TBitmap& inner, int average,
                         int contrast) {
  const TToneTable tone(average, contrast);
  const int width = external.Width(), height = external.Height();
  if (inner.Width() != width || inner.Height() != height) {
    // Enlarged both ways, the hidden picture's rows are mapped into the odd cells as the
    // resampling makes them, never held whole: the bytes of refitting it first, without a
    // second picture of the visible one's size.
    if (!inner.Empty() && inner.BitsPerPixel() == 24 && EnlargesBothAtOnce(inner, width, height) &&
        external.BitsPerPixel() == 24 && result.Empty() && !result.Palette() &&
        result.TakePixelsOf(external)) {
      const TRows rows = result.Rows();
      EnlargeBothRows(inner, width, height, [&](int y, const uint8_t* row) {
        MapOddCellsRow(row, rows[y], width, y, tone);
      });
      return true;
    }
    ResizeBitmap(inner, width, height);
  }
  if (ComposeInPlace(result, external, inner, &tone)) return true;
  Compose(result, external, inner, &tone);
  return false;
}
