#include "reveal/Sheet.h"

#include <algorithm>
#include <cstring>

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

void MakeSheet(const TBitmap& result, const TViewOptions& options, TBitmap& sheet) {
  const TSheetLayout layout = SheetLayout(result.Width(), result.Height(), options);
  // The views first, so that a failure leaves `sheet` as it was.
  std::vector<TBitmap> tiles(layout.tiles.size());
  for (size_t k = 0; k < layout.tiles.size(); ++k) {
    const TSheetTile& tile = layout.tiles[k];
    TBitmap view;
    MakeView(result, TileOptions(options, tile.view), view);
    if (view.Width() == tile.size.width && view.Height() == tile.size.height)
      tiles[k].Assign(&view);
    else
      ShrinkToSize(view, tile.size, tiles[k]);
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
