#include "reveal/Sheet.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Bands.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"
#include "reveal/CaptionFont.h"

namespace {

constexpr size_t kColumns = 3;
constexpr int kCaptionGap = 4;  // between a caption and its tile

TViewOptions TileOptions(const TViewOptions& options, TRevealView view) {
  TViewOptions o = options;
  o.view = view;
  return o;
}

// The view shrunk to the tile's size, as ShrinkToSize shrinks the view made whole. A view
// made in rows whose height the tile lowers goes into the height pass a few rows at a time
// instead: a slider step then costs the views' arithmetic, not the writing and reading of
// five pictures the result's size.
void MakeTile(const TBitmap& result, const TViewOptions& options, TViewSize size, TBitmap& tile) {
  const TViewSize view = ViewSize(result.Width(), result.Height(), options);
  if (!ViewHasParts(options) || size.height == view.height) {
    TBitmap whole;
    MakeView(result, options, whole);
    if (whole.Width() == size.width && whole.Height() == size.height)
      tile.Assign(&whole);
    else
      ShrinkToSize(whole, size, tile);
    return;
  }
  const TViewRow& row = ViewRowOf(options.view);
  TBitmap low;
  PrepareRaster(low, view.width, size.height);
  // One row maker for each thread of the pass (a maker keeps the rows it mapped last).
  ShrinkVerticalMade(
      view.height,
      [&]() -> TMadeRows {
        std::shared_ptr<TRowMaker> maker = row.rows(result, options);
        return [maker, width = view.width](int y, uint8_t* out) { maker->Row(y, 0, width, out); };
      },
      low);
  if (size.width == view.width) {
    tile.Assign(&low);
    return;
  }
  PrepareRaster(tile, size.width, size.height);
  ShrinkHorizontal(low, tile);
}

}  // namespace

TSheetLayout SheetLayout(int width, int height, const TViewOptions& options,
                         std::span<const TViewRow> views) {
  TSheetLayout layout;
  layout.caption_height = CaptionHeight() + kCaptionGap;
  // The views of the table that go on the sheet, in its order, kColumns to a row.
  for (const TViewRow& row : views) {
    if (!row.on_sheet) continue;
    TSheetTile tile;
    tile.view = row.value;
    const TViewOptions tile_options = TileOptions(options, tile.view);
    tile.caption = ViewCaption(tile_options);
    const TViewSize view = ViewSize(width, height, tile_options);
    tile.size = ThumbnailSize(view.width, view.height, kMaxTileSide);
    layout.tiles.push_back(tile);
  }
  const size_t columns = std::min(kColumns, layout.tiles.size());
  const size_t rows = columns == 0 ? 0 : (layout.tiles.size() + columns - 1) / columns;
  std::vector<int> column_width(columns), row_height(rows);
  for (size_t k = 0; k < layout.tiles.size(); ++k) {
    const TSheetTile& tile = layout.tiles[k];
    int& w = column_width[k % columns];
    w = std::max({w, tile.size.width, CaptionWidth(tile.caption)});
    row_height[k / columns] = std::max(row_height[k / columns], tile.size.height);
  }
  for (size_t k = 0; k < layout.tiles.size(); ++k) {
    const size_t column = k % columns, row = k / columns;
    int left = kSheetMargin, top = kSheetMargin;
    for (size_t c = 0; c < column; ++c) left += column_width[c] + kSheetMargin;
    for (size_t r = 0; r < row; ++r) top += layout.caption_height + row_height[r] + kSheetMargin;
    layout.tiles[k].left = left;
    layout.tiles[k].top = top + layout.caption_height;
  }
  layout.size.width = kSheetMargin;
  for (int w : column_width) layout.size.width += w + kSheetMargin;
  layout.size.height = kSheetMargin;
  for (int h : row_height) layout.size.height += layout.caption_height + h + kSheetMargin;
  return layout;
}

namespace {

// The sheet of `layout` into `sheet`, each tile made of the views of `picture` (the
// result, or a draft's sample of it). The tiles first, so that a failure leaves `sheet`
// as it was.
void PutSheet(const TSheetLayout& layout, const TBitmap& picture, const TViewOptions& options,
              TBitmap& sheet) {
  std::vector<TBitmap> tiles(layout.tiles.size());
  for (size_t k = 0; k < layout.tiles.size(); ++k) {
    const TSheetTile& tile = layout.tiles[k];
    MakeTile(picture, TileOptions(options, tile.view), tile.size, tiles[k]);
  }
  PrepareRaster(sheet, layout.size.width, layout.size.height);
  for (int y = 0; y < layout.size.height; ++y)
    std::memset(sheet.Scanline(y), kSheetBackground, 3 * static_cast<size_t>(layout.size.width));
  for (size_t k = 0; k < layout.tiles.size(); ++k) {
    const TSheetTile& tile = layout.tiles[k];
    for (int y = 0; y < tile.size.height; ++y)
      std::memcpy(sheet.Scanline(tile.top + y) + 3 * static_cast<size_t>(tile.left),
                  tiles[k].ConstScanline(y), 3 * static_cast<size_t>(tile.size.width));
    DrawCaption(sheet, tile.left, tile.top - layout.caption_height, tile.caption, kCaptionInk);
  }
}

// The sample of a draft: 2 x 2 blocks of the result's cells taken at even steps across and
// down, twice the even tile's size, so that the sample's even, odd and average views are
// their tiles as they stand and the other views are shrunk from a picture of under a
// megapixel. Its size, or (0, 0) where the result is less than four times that (its
// sheet is quick enough) or a view of the sample would be smaller than its tile.
TViewSize DraftSampleSize(int width, int height, const TViewOptions& options,
                          const TSheetLayout& layout) {
  const TViewSize even = ThumbnailSize((width + 1) / 2, (height + 1) / 2, kMaxTileSide);
  const TViewSize sample{2 * even.width, 2 * even.height};
  if (int64_t{width} * height < 4 * int64_t{sample.width} * sample.height) return {};
  const bool fits = std::all_of(layout.tiles.begin(), layout.tiles.end(), [&](const auto& tile) {
    const TViewSize view = ViewSize(sample.width, sample.height, TileOptions(options, tile.view));
    return view.width >= tile.size.width && view.height >= tile.size.height;
  });
  return fits ? sample : TViewSize{};
}

}  // namespace

void MakeSheet(const TBitmap& result, const TViewOptions& options, TBitmap& sheet) {
  const TSheetLayout layout = SheetLayout(result.Width(), result.Height(), options);
  PutSheet(layout, result, options, sheet);
}

bool MakeDraftSheet(const TBitmap& result, const TViewOptions& options, TBitmap& sheet) {
  const TSheetLayout layout = SheetLayout(result.Width(), result.Height(), options);
  const TViewSize size = DraftSampleSize(result.Width(), result.Height(), options, layout);
  if (size.width == 0) return false;
  TBitmap sample;
  SampleBlocks(result, SampledBlocks(result.Width(), size.width / 2),
               SampledBlocks(result.Height(), size.height / 2), sample);
  PutSheet(layout, sample, options, sheet);
  return true;
}

std::vector<int> SampledBlocks(int length, int count) {
  std::vector<int> from(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    from[static_cast<size_t>(i)] = 2 * static_cast<int>(int64_t{i} * (length / 2) / count);
  return from;
}

void SampleBlocks(const TBitmap& result, std::span<const int> columns, std::span<const int> rows,
                  TBitmap& sample) {
  const int width = 2 * static_cast<int>(columns.size());
  const int height = 2 * static_cast<int>(rows.size());
  PrepareRaster(sample, width, height);
  ForEachBand(height, int64_t{3} * width, [&](int top, int bottom) {
    for (int y = top; y < bottom; ++y) {
      const uint8_t* from = result.ConstScanline(rows[static_cast<size_t>(y / 2)] + y % 2);
      uint8_t* to = sample.Scanline(y);
      for (size_t i = 0; i < columns.size(); ++i)
        std::memcpy(to + 6 * i, from + 3 * static_cast<size_t>(columns[i]), 6);
    }
  });
}
