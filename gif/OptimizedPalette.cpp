#include "gif/OptimizedPalette.h"

#include "base/Messages.h"
#include "gif/ColorQuantizer.h"
#include "gif/GIFException.h"
#include "platform/Palettes.h"

namespace {

constexpr int kWindowsColors = 236;  // what the 20 static colours leave of 256

void ScanBitmap(TColorQuantizer& quantizer, const TBitmap& bitmap) {
  TBitmap copy;  // shares the pixels while the bitmap is 24 bits already
  copy.Assign(&bitmap);
  if (copy.Empty()) return;
  TDIBReader reader(copy, TPixelFormat::Bits24);
  quantizer.ScanPicture(reader);
}

TPaletteHandle BuildPalette(const TColorQuantizer& quantizer, int colors, bool windows_colors) {
  const std::vector<TPaletteEntry> leaves = quantizer.CollectLeaves();
  std::vector<TPaletteEntry> entries(windows_colors ? 256 : static_cast<size_t>(colors));
  size_t next = 0;
  if (windows_colors) {
    const auto& statics = DefaultPaletteEntries();
    for (int i = 0; i < 10; ++i) {
      entries[static_cast<size_t>(i)] = statics[static_cast<size_t>(i)];
      entries[static_cast<size_t>(246 + i)] = statics[static_cast<size_t>(10 + i)];
    }
    next = 10;
  }
  for (const TPaletteEntry& leaf : leaves)
    entries[next++] = TPaletteEntry{leaf.peRed, leaf.peGreen, leaf.peBlue, 0};
  return CreatePalette(entries);
}

}  // namespace

TPaletteHandle CreateOptimizedPaletteForBitmap(const TBitmap& bitmap, int colors, int color_bits,
                                               bool windows_colors) {
  TColorQuantizer quantizer(windows_colors ? kWindowsColors : colors, color_bits);
  ScanBitmap(quantizer, bitmap);
  return BuildPalette(quantizer, colors, windows_colors);
}

TPaletteHandle CreateOptimizedPaletteFromManyBitmaps(const std::vector<TBitmap*>* bitmaps,
                                                     int colors, int color_bits,
                                                     bool windows_colors) {
  if (bitmaps == nullptr || bitmaps->empty()) throw GIFException(SGIFInvalidBitmapList);
  for (const TBitmap* bitmap : *bitmaps)
    if (bitmap == nullptr) throw GIFException(SGIFInvalidBitmapList);
  TColorQuantizer quantizer(windows_colors ? kWindowsColors : colors, color_bits);
  for (const TBitmap* bitmap : *bitmaps) ScanBitmap(quantizer, *bitmap);
  return BuildPalette(quantizer, colors, windows_colors);
}
