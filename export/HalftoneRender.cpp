#include "export/HalftoneRender.h"

#include <algorithm>

#include "export/TeePanel.h"
#include "platform/Palettes.h"
#include "raster/Bitmap.h"

namespace {

bool InHalftone(uint8_t red, uint8_t green, uint8_t blue) {
  const auto& table = HalftonePaletteEntries();
  return std::any_of(table.begin(), table.end(), [&](const TPaletteEntry& e) {
    return e.peRed == red && e.peGreen == green && e.peBlue == blue;
  });
}

// A colour as it is drawn: its three bytes (clNone too, as the canvas takes it).
bool InHalftone(TColor colour) {
  return InHalftone(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

}  // namespace

bool RendersExactlyInHalftone(TCustomTeePanel& panel, TColor back_color) {
  for (const TColor colour : {clWhite, back_color, panel.Color, clBtnHighlight, clBtnShadow})
    if (!InHalftone(colour)) return false;
  const TGraphic* graphic = panel.BackImage().Graphic();
  if (graphic == nullptr || graphic->Empty()) return true;
  const auto* bitmap = dynamic_cast<const TBitmap*>(graphic);
  if (bitmap == nullptr) return false;
  const TPixelFormat format = bitmap->PixelFormat();
  if (format != TPixelFormat::Bits1 && format != TPixelFormat::Bits4 &&
      format != TPixelFormat::Bits8)
    return false;
  const std::vector<TRGBQuad>& table = bitmap->ColorTable();
  // Indices beyond the table show black.
  if (table.size() < (size_t{1} << bitmap->BitsPerPixel()) && !InHalftone(clBlack)) return false;
  return std::all_of(table.begin(), table.end(),
                     [](const TRGBQuad& q) { return InHalftone(q.rgbRed, q.rgbGreen, q.rgbBlue); });
}
