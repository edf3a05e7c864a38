#include "gif/ReduceColors.h"

#include <optional>

#include "base/Format.h"
#include "base/Messages.h"
#include "gif/DIB.h"
#include "gif/GIFException.h"
#include "raster/Bitmap.h"

TPaletteHandle CreateReductionPalette(TColorReduction reduction, int, const TPaletteHandle&,
                                      TDIBReader&) {
  if (reduction >= kColorReductionCount) return nullptr;
  // rmNone needs no palette; the fixed, optimized and caller's palettes come with the
  // colour-reduction modes.
  throw GIFException(Format(SGIFReductionNotAvailable, ColorReductionLabel(reduction)));
}

std::unique_ptr<TColorLookup> CreateColorLookup(TColorReduction reduction, const TPaletteHandle&) {
  if (reduction >= kColorReductionCount) return nullptr;
  throw GIFException(Format(SGIFReductionNotAvailable, ColorReductionLabel(reduction)));
}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode dither, int width,
                                                  TColorLookup& lookup) {
  if (dither >= kDitherModeCount) return nullptr;
  if (dither == dmNearest) return std::make_unique<TDitherEngine>(width, lookup);
  throw GIFException(Format(SGIFDitherNotAvailable, DitherModeLabel(dither)));
}

void DitherRows(const TDIBReader& source, TDitherEngine& engine, TDIBWriter& dest) {
  const int width = source.Width();
  for (int y = 0; y < source.Height(); ++y) {
    const uint8_t* src = source.ScanLine(y);
    uint8_t* dst = dest.RowPointer(y);
    // The engine moves its own column; each pixel is the one under it.
    for (int x = engine.Column(); x >= 0 && x < width; x = engine.Column()) {
      uint8_t r, g, b;
      dst[x] = engine.ProcessPixel(src[3 * x + 2], src[3 * x + 1], src[3 * x], r, g, b);
    }
    engine.AdvanceRow();
  }
}

std::unique_ptr<TBitmap> ReduceColors(TBitmap& bitmap, TColorReduction reduction,
                                      TDitherMode dither, int reduction_bits,
                                      const TPaletteHandle& custom_palette) {
  auto result = std::make_unique<TBitmap>();
  if (reduction == rmNone) {
    result->Assign(&bitmap);
    result->SetPixelFormat(TPixelFormat::Bits24);
    return result;
  }
  // Declared in the reverse of the order they are released in: the lookup, the engine,
  // the writer, the reader, the palette.
  TPaletteHandle palette;
  TDIBReader reader(bitmap, TPixelFormat::Bits24);
  std::optional<TDIBWriter> writer;
  std::unique_ptr<TDitherEngine> engine;
  std::unique_ptr<TColorLookup> lookup;

  palette = CreateReductionPalette(reduction, reduction_bits, custom_palette, reader);
  if (!palette) return result;
  lookup = CreateColorLookup(reduction, palette);
  if (!lookup || lookup->Colors() == 0) return result;
  engine = CreateDitherEngine(dither, bitmap.Width(), *lookup);
  if (!engine) return result;
  writer.emplace(*result, TPixelFormat::Bits8, bitmap.Width(), bitmap.Height(), palette);
  DitherRows(reader, *engine, *writer);
  lookup.reset();
  engine.reset();
  writer->Finish();  // places the picture into the result
  return result;
}
