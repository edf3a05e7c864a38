// Resampling: ResizeBitmap changes a raster's size in place with a width pass and then a
// height pass; each pass enlarges with a piecewise cubic interpolator or shrinks with an
// area average, both in 16.16 fixed point.
#pragma once

#include <cstdint>
#include <functional>

class TBitmap;

// Changes `bitmap` in place to width x height. An empty bitmap, or a target of 0 or below
// on either axis, changes nothing. Otherwise the bitmap is first converted to 24 bits per
// pixel (releasing its palette), then a width pass runs when the width differs and a height
// pass when the height differs. Each pass works on a temporary copy and is copied back only
// when its kernel returns, so a failing pass leaves the bitmap as the previous pass left it.
// Enlarging both ways, the two passes run as one (EnlargeBoth) where its few rows of
// temporaries are smaller than the picture between the passes; when the final store cannot
// be had, the passes run one after the other and fail as they would.
void ResizeBitmap(TBitmap& bitmap, int width, int height);

// The pass kernels. `dest` has the target size along the pass's axis and the source's size
// along the other; both hold 24-bit pixels. A kernel writes every destination pixel and
// only reads the source. Raises EInvalidGraphic or EInvalidGraphicOperation, before writing
// anything, for rasters that do not fit this description.
void EnlargeHorizontal(const TBitmap& source, TBitmap& dest);
void ShrinkHorizontal(const TBitmap& source, TBitmap& dest);
void EnlargeVertical(const TBitmap& source, TBitmap& dest);
// Both enlarging passes at once: `dest` is wider and higher than `source`. The width pass's
// rows are made a few at a time as the height pass takes them, so the bytes are those of
// EnlargeHorizontal then EnlargeVertical without the picture between them in memory.
void EnlargeBoth(const TBitmap& source, TBitmap& dest);
// The same rows handed to `take` instead of written to a picture: each destination row of
// width x height once, on the thread that made it (a thread's rows in increasing order),
// valid until take returns. Raises as EnlargeBoth does, before any row is made.
using TEnlargedRows = std::function<void(int y, const uint8_t* row)>;
void EnlargeBothRows(const TBitmap& source, int width, int height, const TEnlargedRows& take);
// Whether ResizeBitmap to width x height runs both passes as one (EnlargeBoth): enlarging
// both ways, where the few rows the threads keep are fewer than the picture between the
// passes would hold.
bool EnlargesBothAtOnce(const TBitmap& bitmap, int width, int height);
void ShrinkVertical(const TBitmap& source, TBitmap& dest);

// The height pass of ShrinkVertical over a source whose rows are made as the pass needs
// them, a few at a time, instead of read from a whole picture: the same bytes, without
// the whole source in memory. Each thread of the pass calls `factory` once for its maker;
// a maker writes source row y (dest's width, 24 bits) to `row`, the rows of a thread in
// increasing order, some of them twice. Raises as ShrinkVertical does for a destination
// that is not 24-bit or not lower than the source.
using TMadeRows = std::function<void(int y, uint8_t* row)>;
using TMadeRowsFactory = std::function<TMadeRows()>;
void ShrinkVerticalMade(int source_height, const TMadeRowsFactory& factory, TBitmap& dest);
