#include "gif/FixedPalettes.h"

#include <vector>

#include "platform/Palettes.h"

namespace {

TPaletteEntry Grey(int level) {
  const auto v = static_cast<uint8_t>(level);
  return TPaletteEntry{v, v, v, 0};
}

}  // namespace

TPaletteHandle Windows20Palette() {
  return DefaultPalette();
}

TPaletteHandle Windows256Palette() {
  return CreateHalftonePalette();
}

TPaletteHandle WindowsGrayPalette() {
  return CreatePalette({Grey(0), Grey(128), Grey(192), Grey(255)});
}

TPaletteHandle MonochromePalette() {
  return CreatePalette({Grey(0), Grey(255)});
}

TPaletteHandle GrayScalePalette() {
  std::vector<TPaletteEntry> entries;
  for (int i = 0; i < 256; ++i) entries.push_back(Grey(i));
  return CreatePalette(entries);
}

TPaletteHandle WebPalette() {
  std::vector<TPaletteEntry> entries;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        entries.push_back(TPaletteEntry{static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                                        static_cast<uint8_t>(51 * b), 0});
  return CreatePalette(entries);
}
