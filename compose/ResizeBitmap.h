// Resampling: ResizeBitmap changes a raster's size in place with a width pass and then a
// height pass; each pass enlarges with a piecewise cubic interpolator or shrinks with an
// area average, both in 16.16 fixed point.
#pragma once

class TBitmap;

// Changes `bitmap` in place to width x height. An empty bitmap, or a target of 0 or below
// on either axis, changes nothing. Otherwise the bitmap is first converted to 24 bits per
// pixel (releasing its palette), then a width pass runs when the width differs and a height
// pass when the height differs. Each pass works on a temporary copy and is copied back only
// when its kernel returns, so a failing pass leaves the bitmap as the previous pass left it.
void ResizeBitmap(TBitmap& bitmap, int width, int height);

// The pass kernels. `dest` has the target size along the pass's axis and the source's size
// along the other; both hold 24-bit pixels. A kernel writes every destination pixel and
// only reads the source. Raises EInvalidGraphic or EInvalidGraphicOperation, before writing
// anything, for rasters that do not fit this description.
void EnlargeHorizontal(const TBitmap& source, TBitmap& dest);
void ShrinkHorizontal(const TBitmap& source, TBitmap& dest);
void EnlargeVertical(const TBitmap& source, TBitmap& dest);
void ShrinkVertical(const TBitmap& source, TBitmap& dest);
