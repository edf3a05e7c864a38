#include "platform/Colors.h"

TPaletteHandle CreatePalette(const std::vector<TPaletteEntry>& entries) {
  auto palette = std::make_shared<TLogPalette>();
  const size_t count = entries.size() < 256 ? entries.size() : 256;
  palette->palPalEntry.assign(entries.begin(), entries.begin() + static_cast<long>(count));
  return palette;
}

std::vector<TPaletteEntry> GetPaletteEntries(const TPaletteHandle& palette) {
  if (!palette) return {};
  return palette->palPalEntry;
}

TPaletteEntry ToPaletteEntry(const TRGBQuad& quad) {
  return TPaletteEntry{quad.rgbRed, quad.rgbGreen, quad.rgbBlue, 0};
}

TRGBQuad ToRGBQuad(const TPaletteEntry& entry) {
  return TRGBQuad{entry.peBlue, entry.peGreen, entry.peRed, 0};
}
