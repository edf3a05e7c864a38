#include "export/AdaptivePalette.h"

#include <algorithm>
#include <cmath>

#include "gif/DIB.h"
#include "gif/WeightedPalette.h"
#include "raster/Bitmap.h"

namespace {

// What an even cell's colour error weighs. An odd cell's error is stretched by 255 / 2C
// when the hidden picture is recovered; weighing it by the square of that (both pictures'
// scores alike) gave the odd cells so many entries, on the bundled pairs at narrow bands,
// that the visible cells came out about 1 dB worse than a general palette tool's and the
// file larger. Weighed by the stretch itself and half as much again, the visible cells stay about
// as true as that tool keeps them and the hidden ones truer, in a smaller file
// (bench/peer_palette.py).
constexpr uint64_t kEvenWeight = 16;

uint64_t OddWeight(const TToneBand& band) {
  const double stretch = 255.0 / (2.0 * std::max(band.contrast, 1));
  return static_cast<uint64_t>(std::llround(kEvenWeight * 1.5 * stretch));
}

// What a bit of the file is worth in weighted squared error (RateAwareEntries): an even cell
// takes an entry whose index costs a bit less when that adds at most 8 to its squared
// error. Chosen with bench/peer_palette.py: a few per cent off the file for a few
// hundredths of a dB.
constexpr uint64_t kRate = 8 * kEvenWeight;

// Every cell of the picture as one key, its colour (red, green, blue from the high byte
// down) and above it its phase (1: odd), sorted.
std::vector<uint32_t> SortedCellKeys(const TBitmap& picture) {
  const int width = picture.Width(), height = picture.Height();
  std::vector<uint32_t> keys(static_cast<size_t>(width) * height);
  size_t n = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = picture.ConstScanline(y);
    for (int x = 0; x < width; ++x, p += 3)
      keys[n++] = static_cast<uint32_t>((x + y) & 1) << 24 | uint32_t{p[2]} << 16 |
                  uint32_t{p[1]} << 8 | p[0];
  }
  // Least significant digit first, three digits of 9 bits (the keys have 25).
  std::vector<uint32_t> other(keys.size());
  for (int shift = 0; shift < 27; shift += 9) {
    std::vector<size_t> start(513, 0);
    for (const uint32_t k : keys) ++start[((k >> shift) & 511) + 1];
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    for (const uint32_t k : keys) other[start[(k >> shift) & 511]++] = k;
    keys.swap(other);
  }
  return keys;
}

TWeightedColour ColourOf(uint32_t key, uint64_t weight, uint64_t count) {
  return {static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8),
          static_cast<uint8_t>(key), weight, count};
}

// The distinct colours of a picture, ordered by colour, each weighed by the cells of both
// phases that hold it; the odd cells' colours; and the colours that only even cells hold.
struct TCellColours {
  std::vector<TWeightedColour> all, odd, even_only;
};

TCellColours CellColours(const TBitmap& picture, const TToneBand& band) {
  const std::vector<uint32_t> keys = SortedCellKeys(picture);
  const uint64_t odd_weight = OddWeight(band);
  std::vector<std::pair<uint32_t, uint64_t>> even_counts, odd_counts;
  for (size_t i = 0; i < keys.size();) {
    size_t j = i;
    while (j < keys.size() && keys[j] == keys[i]) ++j;
    ((keys[i] >> 24) ? odd_counts : even_counts).push_back({keys[i] & 0xFFFFFF, j - i});
    i = j;
  }
  TCellColours colours;
  size_t e = 0, o = 0;
  while (e < even_counts.size() || o < odd_counts.size()) {
    const uint32_t colour = std::min(e < even_counts.size() ? even_counts[e].first : 0xFFFFFFFF,
                                     o < odd_counts.size() ? odd_counts[o].first : 0xFFFFFFFF);
    uint64_t even_cells = 0, odd_cells = 0;
    if (e < even_counts.size() && even_counts[e].first == colour)
      even_cells = even_counts[e++].second;
    if (o < odd_counts.size() && odd_counts[o].first == colour) odd_cells = odd_counts[o++].second;
    colours.all.push_back(ColourOf(colour, even_cells * kEvenWeight + odd_cells * odd_weight,
                                   even_cells + odd_cells));
    if (odd_cells > 0)
      colours.odd.push_back(ColourOf(colour, odd_cells * odd_weight, odd_cells));
    else
      colours.even_only.push_back(ColourOf(colour, even_cells * kEvenWeight, even_cells));
  }
  return colours;
}

std::vector<TPaletteEntry> PaletteFor(const TCellColours& colours) {
  std::vector<TPaletteEntry> palette = WeightedPalette(colours.all, 256);
  if (colours.all.size() <= 256 || colours.odd.size() >= 256) return palette;
  // Exact entries for the odd cells' colours, the rest for the visible cells' other colours
  // (an even cell of an odd cell's colour has its exact entry too).
  std::vector<TPaletteEntry> exact;
  for (const TWeightedColour& c : colours.odd) exact.push_back({c.red, c.green, c.blue, 0});
  const std::vector<TPaletteEntry> rest =
      WeightedPalette(colours.even_only, 256 - static_cast<int>(exact.size()));
  exact.insert(exact.end(), rest.begin(), rest.end());
  // The exact entries pay when they leave less weighted error (on a tie they are taken: the
  // hidden picture then comes back as the band holds it).
  if (WeightedError(colours.all, exact) <= WeightedError(colours.all, palette))
    palette = std::move(exact);
  return palette;
}

}  // namespace

std::vector<TPaletteEntry> AdaptivePaletteFor(const TBitmap& picture, const TToneBand& band) {
  return PaletteFor(CellColours(picture, band));
}

void ReduceToAdaptivePalette(TBitmap& picture, const TToneBand& band) {
  if (picture.Empty()) return;  // nothing to reduce: the writer refuses it with its own message
  picture.SetPixelFormat(TPixelFormat::Bits24);
  const TCellColours colours = CellColours(picture, band);
  const std::vector<TPaletteEntry> palette = PaletteFor(colours);
  const std::vector<uint8_t> entries = RateAwareEntries(colours.all, palette, kRate);
  // Every colour's index, by colour (16 MB whatever the picture: one read a pixel).
  std::vector<uint8_t> index(size_t{1} << 24);
  for (size_t i = 0; i < colours.all.size(); ++i) {
    const TWeightedColour& c = colours.all[i];
    index[uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue] = entries[i];
  }
  TBitmap reduced;
  TDIBWriter writer(reduced, TPixelFormat::Bits8, picture.Width(), picture.Height(),
                    CreatePalette(palette));
  for (int y = 0; y < picture.Height(); ++y) {
    const uint8_t* p = picture.ConstScanline(y);
    uint8_t* out = writer.RowPointer(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3)
      out[x] = index[uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]];
  }
  writer.Finish();
  picture.Assign(&reduced);
}
