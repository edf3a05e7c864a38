// The views of a combined picture R (W x H, 24 bits, row 0 at the top; cell (x, y) even when
// x + y is even): what viewers and tools make of it, and the hidden picture recovered.
//
//   even       cells (2i, 2j): what a half-size thumbnail that keeps one pixel in four
//              shows (the visible picture); ceil(W/2) x ceil(H/2)
//   odd        cells (2i + 1, 2j): the same thumbnail at the other phase (the tone-mapped
//              hidden picture); floor(W/2) x ceil(H/2). A picture one pixel wide has its
//              odd cells in the odd rows: cells (0, 2j + 1), 1 x floor(H/2). A 1 x 1
//              picture has no odd cell: one mid-grey pixel (128, 128, 128)
//   average    each 2 x 2 block's mean, rounded half up: what an averaging downscaler shows
//              at half size; the blocks of the last column and row of an odd width or
//              height are 2 x 1, 1 x 2 or 1 x 1 and average the pixels they have;
//              ceil(W/2) x ceil(H/2)
//   thumbnail  R shrunk to a long side of N (see ThumbnailSize) by area averaging (the
//              resampling's own shrinking), by bilinear sampling at pixel centres or by
//              nearest sampling, the filters common viewers use
//   levels     R with the band A - C .. A + C stretched to 0 .. 255, rounded half up and
//              clamped: what darkening or brightening shows; with C = 0 bytes below A
//              become 0, A itself 128, bytes above 255; W x H
//   hidden     the hidden picture recovered: each odd cell mapped back through the band
//              (TInverseTone), each even cell the mean of the odd neighbours it has; W x H.
//              Grey: each pixel then its luminance (Luma, Scores.h): the recovery that a
//              codec's blurred colour (4:2:0 JPEG) spoils least
//   sheet      all six, each shrunk to at most kMaxTileSide on its long side and captioned
//              with its name (Sheet.h)
#pragma once

#include <string>

#include "reveal/Band.h"

class TBitmap;

enum class TRevealView { rvEven, rvOdd, rvAverage, rvThumbnail, rvLevels, rvHidden, rvSheet };
enum class TThumbnailFilter { tfArea, tfBilinear, tfNearest };

inline constexpr TRevealView kAllViews[] = {
    TRevealView::rvEven,   TRevealView::rvOdd,    TRevealView::rvAverage, TRevealView::rvThumbnail,
    TRevealView::rvLevels, TRevealView::rvHidden, TRevealView::rvSheet};
inline constexpr TThumbnailFilter kAllFilters[] = {
    TThumbnailFilter::tfArea, TThumbnailFilter::tfBilinear, TThumbnailFilter::tfNearest};

// The names the command line and the window use ("even", ..., "sheet"; "area", ...).
const char* ViewName(TRevealView view);
const char* FilterName(TThumbnailFilter filter);
bool ViewFromName(const std::string& name, TRevealView& view);
bool FilterFromName(const std::string& name, TThumbnailFilter& filter);

inline constexpr int kDefaultThumbnailSize = 256;
inline constexpr int kMaxThumbnailSize = 65535;

struct TViewOptions {
  TRevealView view = TRevealView::rvSheet;
  int size = kDefaultThumbnailSize;  // the thumbnail's long side
  TThumbnailFilter filter = TThumbnailFilter::tfArea;
  TToneBand band;     // the band of levels and hidden
  bool grey = false;  // the hidden view in luminance only
};

struct TViewSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const TViewSize&, const TViewSize&) = default;
};

// A W x H picture fitted to a long side of N: the long side becomes N and the other
// round(other * N / long), at least 1. A picture whose long side is N or less keeps its
// size (a thumbnail never enlarges).
TViewSize ThumbnailSize(int width, int height, int long_side);

// The size of a view of a W x H picture (W, H >= 1).
TViewSize ViewSize(int width, int height, const TViewOptions& options);

// Whether each part of the view can be made alone, at the cost of its own pixels (all but
// the area thumbnail and the sheet, which need the whole picture).
bool ViewHasParts(const TViewOptions& options);

// Makes the view of `result` (24 bits, not empty) into `view`, a 24-bit picture of the
// view's size; a `view` of that size and format already is written in place. Raises
// EInvalidGraphic for an empty or not 24-bit result, EInvalidGraphicOperation for a band
// the sliders cannot set or a thumbnail size outside 1 .. kMaxThumbnailSize.
void MakeView(const TBitmap& result, const TViewOptions& options, TBitmap& view);

// Makes the part left .. left + width - 1, top .. top + height - 1 of the view (the part
// lies inside the view) into `part`, width x height. For a view without parts the whole
// view is made and the part copied out of it.
void MakeViewPart(const TBitmap& result, const TViewOptions& options, int left, int top, int width,
                  int height, TBitmap& part);

// Shrinks a 24-bit picture to size (no larger on either axis) with the resampling's area
// averaging passes, width first, as ResizeBitmap runs them; a picture of that size is
// copied.
void ShrinkToSize(const TBitmap& picture, TViewSize size, TBitmap& out);

// `picture` becomes a 24-bit picture of width x height (contents undefined), unless it is
// one already.
void PrepareRaster(TBitmap& picture, int width, int height);
