#include "reveal/Sheet.h"

#include <algorithm>
#include <cstring>

#include "raster/Bitmap.h"
#include "reveal/CaptionFont.h"

namespace {

constexpr TRevealView kTileViews[] = {TRevealView::rvEven,    TRevealView::rvOdd,
                                      TRevealView::rvAverage, TRevealView::rvThumbnail,
                                      TRevealView::rvLevels,  TRevealView::rvHidden};
constexpr int kColumns = 3;
constexpr int kCaptionGap = 4;  // between a caption and its tile

std::string Caption(TRevealView view, const TViewOptions& options) {
  if (view == TRevealView::rvThumbnail)
    return std::string("thumbnail (") + FilterName(options.filter) + ", " +
           std::to_string(options.size) + ")";
  return ViewName(view);
}

TViewOptions TileOptions(const TViewOptions& options, TRevealView view) {
  TViewOptions o = options;
  o.view = view;
  return o;
}

}  // namespace

TSheetLayout SheetLayout(int width, int height, const TViewOptions& options) {
  TSheetLayout layout;
  layout.caption_height = CaptionHeight() + kCaptionGap;
  int column_width[kColumns] = {};
  int row_height[2] = {};
  for (size_t k = 0; k < std::size(kTileViews); ++k) {
    TSheetTile tile;
    tile.view = kTileViews[k];
    tile.caption = Caption(tile.view, options);
    const TViewSize view = ViewSize(width, height, TileOptions(options, tile.view));
    tile.size = ThumbnailSize(view.width, view.height, kMaxTileSide);
    const int column = static_cast<int>(k) % kColumns, row = static_cast<int>(k) / kColumns;
    column_width[column] =
        std::max({column_width[column], tile.size.width, CaptionWidth(tile.caption)});
    row_height[row] = std::max(row_height[row], tile.size.height);
    layout.tiles.push_back(tile);
  }
  for (size_t k = 0; k < layout.tiles.size(); ++k) {
    const int column = static_cast<int>(k) % kColumns, row = static_cast<int>(k) / kColumns;
    int left = kSheetMargin, top = kSheetMargin;
    for (int c = 0; c < column; ++c) left += column_width[c] + kSheetMargin;
    for (int r = 0; r < row; ++r) top += layout.caption_height + row_height[r] + kSheetMargin;
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
