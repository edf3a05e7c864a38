// The views of a combined picture R (W x H, 24 bits, row 0 at the top; cell (x, y) even when
// x + y is even): what viewers and tools make of it, and the hidden picture recovered. The
// table of views (TViewRow, ViewTable) names and describes each; Views.cpp says beside each
// view's row maker exactly what it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "reveal/Band.h"

class TBitmap;

enum class TRevealView { rvEven, rvOdd, rvAverage, rvThumbnail, rvLevels, rvHidden, rvSheet };
enum class TThumbnailFilter { tfArea, tfBilinear, tfNearest };

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

// Writes the pixels from .. to - 1 of row y of a view into out (3 bytes a pixel). A maker
// reads the combined picture it was made for, which outlives it.
class TRowMaker {
 public:
  virtual ~TRowMaker() = default;
  virtual void Row(int y, int from, int to, uint8_t* out) = 0;
};

// The table of the views, one row per view in the order of TRevealView: everything the
// command line, the window and the sheet know of a view. A view is added as a row (and its
// row maker); the help, the window's view list, the sheet and the checks follow.
struct TViewRow {
  TRevealView value;
  const char* name;         // the word that names it (--view, the window's list, captions)
  const char* description;  // one line for the help and the window's tool tips
  // The size of the view of a W x H picture (W, H >= 1).
  TViewSize (*size)(int width, int height, const TViewOptions& options);
  // Whether the view is made a part at a time with these options (by `rows`), or whole (by
  // `whole`).
  bool (*in_parts)(const TViewOptions& options);
  std::unique_ptr<TRowMaker> (*rows)(const TBitmap& result, const TViewOptions& options);
  void (*whole)(const TBitmap& result, const TViewOptions& options, TBitmap& view);
  // Whether it has a tile on the sheet, and that tile's caption (null: its name).
  bool on_sheet;
  std::string (*caption)(const TViewOptions& options);
};

// The caption of the view's tile on the sheet.
std::string ViewCaption(const TViewOptions& options);

std::span<const TViewRow> ViewTable();
const TViewRow& ViewRowOf(TRevealView view);

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
