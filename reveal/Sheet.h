// The sheet: the views of a combined picture that the view table puts on it, side by side
// in the table's order, three to a row (even, odd, average; thumbnail, levels, hidden), each
// shrunk by area averaging to at most kMaxTileSide pixels on its long side (never enlarged)
// and captioned above with its name in the built-in caption font (CaptionFont.h), light
// grey on dark grey.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "reveal/Views.h"

inline constexpr int kMaxTileSide = 512;
inline constexpr int kSheetMargin = 8;  // around the sheet and between tiles
inline constexpr int kSheetBackground = 48;
inline constexpr int kCaptionInk = 224;

struct TSheetTile {
  TRevealView view;
  std::string caption;
  int left = 0, top = 0;  // of the tile's picture; its caption sits above it
  TViewSize size;         // of the tile's picture
};

struct TSheetLayout {
  TViewSize size;
  std::vector<TSheetTile> tiles;
  int caption_height = 0;
};

// Where everything goes on the sheet of a W x H picture: a tile for each row of `views` (the
// view table) that goes on the sheet, however many there are.
TSheetLayout SheetLayout(int width, int height, const TViewOptions& options,
                         std::span<const TViewRow> views = ViewTable());

// Makes the sheet of `result` into `sheet` (see MakeView).
void MakeSheet(const TBitmap& result, const TViewOptions& options, TBitmap& sheet);

// A quicker sheet of a large result, for a picture that changes step by step (a slider
// being dragged): MakeSheet's layout, captions and tile sizes, each tile made from a
// sample of the result that keeps its checkerboard (2 x 2 blocks of cells at even steps
// across and down, under a megapixel in all). Not the sheet's bytes: a draft, to be
// followed by MakeSheet. False, with `sheet` untouched, for a result too small for a
// sample to be quicker. Raises as MakeView does.
bool MakeDraftSheet(const TBitmap& result, const TViewOptions& options, TBitmap& sheet);

// A sample of `result` that keeps its checkerboard, for drafts: 2 x 2 blocks of cells,
// block (i, j) of the sample from the block at columns[i], rows[j] of the result (even
// positions, at most its width and height less 2), so that every cell keeps its phase.
void SampleBlocks(const TBitmap& result, std::span<const int> columns, std::span<const int> rows,
                  TBitmap& sample);
// The starts of `count` blocks of 2 cells at even steps along a side of `length` (at
// least 2 count): block i from whole block i * blocks / count of the side.
std::vector<int> SampledBlocks(int length, int count);
