#include "platform/Palettes.h"

#include <vector>

namespace {

constexpr TPaletteEntry E(uint8_t r, uint8_t g, uint8_t b) {
  return TPaletteEntry{r, g, b, 0};
}

constexpr std::array<TPaletteEntry, 20> kDefault20 = {
    E(0, 0, 0),       E(128, 0, 0),     E(0, 128, 0),     E(128, 128, 0),   E(0, 0, 128),
    E(128, 0, 128),   E(0, 128, 128),   E(192, 192, 192), E(192, 220, 192), E(166, 202, 240),
    E(255, 251, 240), E(160, 160, 164), E(128, 128, 128), E(255, 0, 0),     E(0, 255, 0),
    E(255, 255, 0),   E(0, 0, 255),     E(255, 0, 255),   E(0, 255, 255),   E(255, 255, 255),
};

constexpr std::array<TPaletteEntry, 16> kSixteen = {
    E(0, 0, 0),       E(128, 0, 0),   E(0, 128, 0),   E(128, 128, 0),
    E(0, 0, 128),     E(128, 0, 128), E(0, 128, 128), E(128, 128, 128),
    E(192, 192, 192), E(255, 0, 0),   E(0, 255, 0),   E(255, 255, 0),
    E(0, 0, 255),     E(255, 0, 255), E(0, 255, 255), E(255, 255, 255),
};

std::array<TPaletteEntry, 256> MakeHalftone() {
  std::array<TPaletteEntry, 256> table{};
  for (int i = 0; i < 10; ++i) table[i] = kDefault20[i];
  for (int i = 0; i < 10; ++i) table[246 + i] = kDefault20[10 + i];
  int next = 10;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        table[next++] = E(static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                          static_cast<uint8_t>(51 * b));
  // Greys between the cube's levels: round(51 * k / 5) for k = 1..24, k not a multiple of 5.
  for (int k = 1; k < 25; ++k) {
    if (k % 5 == 0) continue;
    const auto level = static_cast<uint8_t>((51 * k * 2 + 5) / 10);
    table[next++] = E(level, level, level);
  }
  return table;
}

}  // namespace

const std::array<TPaletteEntry, 20>& DefaultPaletteEntries() {
  return kDefault20;
}

const std::array<TPaletteEntry, 16>& SixteenColorPaletteEntries() {
  return kSixteen;
}

const std::array<TPaletteEntry, 256>& HalftonePaletteEntries() {
  static const std::array<TPaletteEntry, 256> table = MakeHalftone();
  return table;
}

TPaletteHandle CreateHalftonePalette() {
  const auto& table = HalftonePaletteEntries();
  return CreatePalette(std::vector<TPaletteEntry>(table.begin(), table.end()));
}

TPaletteHandle DefaultPalette() {
  return CreatePalette(std::vector<TPaletteEntry>(kDefault20.begin(), kDefault20.end()));
}

TPaletteHandle SixteenColorPalette() {
  return CreatePalette(std::vector<TPaletteEntry>(kSixteen.begin(), kSixteen.end()));
}
