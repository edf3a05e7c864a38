// Colour reduction: from a picture of any pixel format to an 8-bit picture of at most 256
// palette entries (or, with rmNone, to a 24-bit copy whose exact colours a frame then
// takes as they are).
//
// A reduction is made of three parts chosen by the mode: the target palette, the colour
// lookup into it and the dither engine that walks the picture. The factories below give
// them; modes whose parts are not built yet end with GIFException "... is not yet
// available".
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
// reduction_bits serves rmQuantize, custom_palette (not consumed) rmPalette. A mode or
// dither value outside its enumeration, or a lookup of 0 colours, gives an empty bitmap.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& bitmap, TColorReduction reduction,
                                      TDitherMode dither, int reduction_bits,
                                      const TPaletteHandle& custom_palette);

// The parts of a reduction. Each returns nothing for a value outside its enumeration.
TPaletteHandle CreateReductionPalette(TColorReduction reduction, int reduction_bits,
                                      const TPaletteHandle& custom_palette, TDIBReader& source);
std::unique_ptr<TColorLookup> CreateColorLookup(TColorReduction reduction,
                                                const TPaletteHandle& palette);
std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherMode dither, int width,
                                                  TColorLookup& lookup);

// Walks the rows of a 24-bit picture from the top, each from the engine's column in the
// engine's direction, and stores the index of every pixel in the 8-bit picture.
void DitherRows(const TDIBReader& source, TDitherEngine& engine, TDIBWriter& dest);
