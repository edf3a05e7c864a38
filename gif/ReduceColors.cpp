#include "gif/ReduceColors.h"

#include <optional>

#include "base/Messages.h"
#include "gif/DIB.h"
#include "gif/DitherEngine.h"
#include "gif/FastColorLookup.h"
#include "gif/FixedLookups.h"
#include "gif/FixedPalettes.h"
#include "gif/GIFException.h"
#include "gif/NearestRows.h"
#include "gif/OptimizedPalette.h"
#include "raster/Bitmap.h"

TPaletteHandle CreateReductionPalette(TColorReduction reduction, int reduction_bits,
                                      const TPaletteHandle& custom_palette, TDIBReader& source) {
  switch (reduction) {
    case rmNone:
      return nullptr;
    case rmWindows20:
      return Windows20Palette();
    case rmWindows256:
      return Windows256Palette();
    case rmWindowsGray:
      return WindowsGrayPalette();
    case rmMonochrome:
      return MonochromePalette();
    case rmGrayScale:
      return GrayScalePalette();
    case rmNetscape:
      return WebPalette();
    case rmQuantize:
      if (reduction_bits < 1 || reduction_bits > 8) throw GIFException(SGIFInvalidBitsPerPixel);
      return CreateOptimizedPaletteForBitmap(source.Bitmap(), 1 << reduction_bits, 8, false);
    case rmQuantizeWindows:
      return CreateOptimizedPaletteForBitmap(source.Bitmap(), 256, 8, true);
    case rmPalette:
      if (!custom_palette) return nullptr;
      return CreatePalette(GetPaletteEntries(custom_palette));
  }
  return nullptr;
}

std::unique_ptr<TColorLookup> CreateColorLookup(TColorReduction reduction,
                                                const TPaletteHandle& palette) {
  switch (reduction) {
    case rmNone:
      return nullptr;
    case rmMonochrome:
      return std::make_unique<TMonochromeLookup>();
    case rmGrayScale:
      return std::make_unique<TGrayScaleLookup>();
    case rmNetscape:
      return std::make_unique<TNetscapeColorLookup>();
    case rmWindows20:
    case rmWindows256:
    case rmWindowsGray:
    case rmQuantize:
    case rmQuantizeWindows:
    case rmPalette:
      return std::make_unique<TFastColorLookup>(palette);
  }
  return nullptr;
}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode dither, int width,
                                                  TColorLookup& lookup) {
  const TDitherModeName* mode = FindName(DitherModeNames(), dither);
  return mode != nullptr ? mode->create(width, lookup) : nullptr;
}

void DitherRows(const TDIBReader& source, TDitherEngine& engine, TDIBWriter& dest) {
  for (int y = 0; y < source.Height(); ++y) {
    engine.DitherRow(source.ScanLine(y), dest.RowPointer(y));
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
  lookup = CreateColorLookup(reduction, palette);
  if (!lookup || lookup->Colors() == 0) return result;
  engine = CreateDitherEngine(dither, bitmap.Width(), *lookup);
  if (!engine) return result;
  writer.emplace(*result, TPixelFormat::Bits8, bitmap.Width(), bitmap.Height(), palette);
  // Without error diffusion the rows are mapped in bands.
  if (dither != dmNearest || !MapNearestRows(reader, *lookup, *writer))
    DitherRows(reader, *engine, *writer);
  lookup.reset();
  engine.reset();
  writer->Finish();  // places the picture into the result
  return result;
}
