// Colour reduction: from a picture of any pixel format to an 8-bit picture of at most 256
// palette entries (or, with rmNone, to a 24-bit copy whose exact colours a frame then
// takes as they are).
//
// A reduction is made of three parts chosen by the mode: the target palette, the colour
// lookup into it and the dither engine that walks the picture. The factories below give
// them.
//
//   mode               target palette                          lookup
//   rmWindows20        the 20-colour default palette           nearest (TFastColorLookup)
//   rmWindows256       the 256-colour halftone palette         nearest
//   rmWindowsGray      4 greys: 0, 128, 192, 255               nearest
//   rmMonochrome       black, white                            TMonochromeLookup
//   rmGrayScale        256 greys                               TGrayScaleLookup
//   rmNetscape         the 216-colour web palette              TNetscapeColorLookup
//   rmQuantize         octree palette of 2^bits entries        nearest
//   rmQuantizeWindows  236 octree colours in the 20 statics    nearest
//   rmPalette          a copy of the caller's palette          nearest
#pragma once

#include <memory>

#include "gif/ColorLookup.h"
#include "gif/DitherEngine.h"
#include "gif/GIFTypes.h"
#include "platform/Colors.h"

class TBitmap;
class TDIBReader;
class TDIBWriter;

// Returns a new bitmap owned by the caller. rmNone gives a 24-bit copy of the bitmap;
// every other mode first converts the bitmap itself to 24 bits per pixel and gives an
// 8-bit picture with a 256-entry colour table (the target palette, then black).
// reduction_bits (1 to 8, else GIFException "Invalid Bits Per Pixel value") serves
// rmQuantize, custom_palette (not consumed) rmPalette. A mode or dither value outside its
// enumeration, or a lookup of 0 colours (rmPalette without a palette or with an empty
// one), gives an empty bitmap.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& bitmap, TColorReduction reduction,
                                      TDitherMode dither, int reduction_bits,
                                      const TPaletteHandle& custom_palette);

// The parts of a reduction. Each returns nothing for a value outside its enumeration;
// CreateReductionPalette gives an empty handle for rmNone and for rmPalette without a
// palette.
TPaletteHandle CreateReductionPalette(TColorReduction reduction, int reduction_bits,
                                      const TPaletteHandle& custom_palette, TDIBReader& source);
std::unique_ptr<TColorLookup> CreateColorLookup(TColorReduction reduction,
                                                const TPaletteHandle& palette);
std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode dither, int width,
                                                  TColorLookup& lookup);

// Walks the rows of a 24-bit picture from the top, each from the engine's column in the
// engine's direction (TDitherEngine::DitherRow), and stores the index of every pixel in
// the 8-bit picture.
void DitherRows(const TDIBReader& source, TDitherEngine& engine, TDIBWriter& dest);
