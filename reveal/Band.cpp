#include "reveal/Band.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"

bool IsSliderBand(const TToneBand& band) {
  return band.average >= 0 && band.average <= 255 && band.contrast >= 0 &&
         band.contrast <= ContrastLimit(band.average);
}

void CheckBand(const TToneBand& band) {
  if (!IsSliderBand(band))
    throw EInvalidGraphicOperation(Format(SRevealInvalidBand, band.average, band.contrast));
}

TInverseTone::TInverseTone(const TToneBand& band) {
  CheckBand(band);
  // Within the sliders' range the mapping never wraps and never decreases, so the hidden
  // values that give one byte form an interval.
  const TToneTable tone(band.average, band.contrast);
  int first[256], last[256];
  std::fill(first, first + 256, -1);
  for (int v = 0; v < 256; ++v) {
    const int b = tone.map[v];
    if (first[b] < 0) first[b] = v;
    last[b] = v;
  }
  int below = -1;  // the last hidden value of the nearest given byte below
  for (int b = 0; b < 256; ++b) {
    if (first[b] >= 0) {
      map[b] = static_cast<uint8_t>((first[b] + last[b] + 1) / 2);
      below = last[b];
      continue;
    }
    int above = 256;  // the first hidden value of the nearest given byte above
    for (int u = b + 1; u < 256; ++u)
      if (first[u] >= 0) {
        above = first[u];
        break;
      }
    if (below < 0)
      map[b] = 0;
    else if (above > 255)
      map[b] = 255;
    else
      map[b] = static_cast<uint8_t>((below + above + 1) / 2);
  }
}

namespace {

// The robustness rule of the band finder: a run of values (values present, with no value
// missing between them) at either end of a channel's histogram is left out when it and
// everything beyond it hold at most one cell in a thousand and an empty value separates
// it from the rest. The hidden picture's values map into a run without holes (the
// mapping's step is at most one byte), so a picture's own tones stay whole however few
// cells hold its darkest and brightest values, while stray cells (a mark painted on the
// picture, cells of another picture) fall away when they are few and apart.
void TrimmedRange(const uint64_t histogram[256], uint64_t cells, int& low, int& high) {
  const uint64_t strays = cells / 1000;
  low = 0;
  while (low < 255 && histogram[low] == 0) ++low;
  high = 255;
  while (high > 0 && histogram[high] == 0) --high;
  uint64_t below = 0;
  for (int v = low; v <= high; ++v) {
    // below counts the cells under v: a run starting at v is the new low end.
    if (v > low && histogram[v] != 0 && histogram[v - 1] == 0 && below <= strays) low = v;
    below += histogram[v];
    if (below > strays) break;
  }
  uint64_t above = 0;
  for (int v = high; v >= low; --v) {
    if (v < high && histogram[v] != 0 && histogram[v + 1] == 0 && above <= strays) high = v;
    above += histogram[v];
    if (above > strays) break;
  }
}

// The values at rank `cells` / 200 from either end of a histogram: the 0.5 % and 99.5 %
// percentiles.
void Percentiles(const uint64_t histogram[256], uint64_t cells, int& low, int& high) {
  const uint64_t rank = cells / 200;
  uint64_t seen = 0;
  for (low = 0; low < 255; ++low)
    if ((seen += histogram[low]) > rank) break;
  seen = 0;
  for (high = 255; high > 0; --high)
    if ((seen += histogram[high]) > rank) break;
}

}  // namespace

TFoundBand FindBand(const TBitmap& result) {
  TFoundBand found;
  const int width = result.Width();
  const int height = result.Height();
  if (result.Empty() || width <= 0 || height <= 0) throw EInvalidGraphic(SRevealEmptyPicture);
  if (result.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  uint64_t histogram[3][256] = {};
  uint64_t luma[256] = {}, raw_luma[256] = {};
  // The luminance of three rows at a time: each odd cell's is averaged with that of its
  // diagonal neighbours (odd cells too), which halves a codec's noise on it while the
  // picture's own dark and light areas keep their tones.
  std::vector<uint8_t> lumas[3];
  for (auto& row : lumas) row.resize(static_cast<size_t>(width));
  const auto fill = [&](int y) {
    const uint8_t* row = result.ConstScanline(y);
    uint8_t* out = lumas[y % 3].data();
    for (int x = 0; x < width; ++x) out[x] = Luma(row + 3 * x);
  };
  fill(0);
  for (int y = 0; y < height; ++y) {
    if (y + 1 < height) fill(y + 1);  // into the slot of row y - 2, no longer needed
    const uint8_t* row = result.ConstScanline(y);
    const uint8_t* up = y > 0 ? lumas[(y + 2) % 3].data() : nullptr;
    const uint8_t* mid = lumas[y % 3].data();
    const uint8_t* down = y + 1 < height ? lumas[(y + 1) % 3].data() : nullptr;
    for (int x = (y + 1) & 1; x < width; x += 2) {
      const uint8_t* p = row + 3 * x;
      ++histogram[0][p[0]];
      ++histogram[1][p[1]];
      ++histogram[2][p[2]];
      ++raw_luma[mid[x]];
      int sum = mid[x], count = 1;
      for (const uint8_t* near : {up, down}) {
        if (near == nullptr) continue;
        if (x > 0) sum += near[x - 1], ++count;
        if (x + 1 < width) sum += near[x + 1], ++count;
      }
      ++luma[(2 * sum + count) / (2 * count)];
    }
  }
  found.odd_cells = (static_cast<uint64_t>(width) * height) / 2;
  if (found.odd_cells == 0) {
    found.band = kIdentityBand;
    return found;
  }
  int low = 255, high = 0, channel_low = 255, channel_high = 0;
  for (int c = 0; c < 3; ++c) {
    TrimmedRange(histogram[c], found.odd_cells, found.low[c], found.high[c]);
    low = std::min(low, found.low[c]);
    high = std::max(high, found.high[c]);
    int l = 0, h = 0;
    Percentiles(histogram[c], found.odd_cells, l, h);
    channel_low = std::min(channel_low, l);
    channel_high = std::max(channel_high, h);
  }
  Percentiles(luma, found.odd_cells, found.luma_low, found.luma_high);
  int raw_low = 0, raw_high = 0;
  Percentiles(raw_luma, found.odd_cells, raw_low, raw_high);
  // An end stays the extreme when the channels' own percentile is near it (a lossless
  // picture whose colours reach it in bulk; not at 0 or 255, where a codec's overshoot
  // piles up) or when a percentile of the luminance is; else it is the luminance's.
  const auto near = [](int a, int b) { return std::abs(a - b) <= kBandSnap; };
  if (!((near(low, channel_low) && low > 0) || near(low, raw_low) || near(low, found.luma_low)))
    low = found.luma_low;
  if (!((near(high, channel_high) && high < 255) || near(high, raw_high) ||
        near(high, found.luma_high)))
    high = found.luma_high;
  // The mapping gives hidden 0 to A - C and hidden 255 to A + C or, by the rounding of its
  // scale, A + C - 1; so C = (high - low + 1) / 2 and A = low + C recover the band of a
  // hidden picture that spans 0 .. 255. A band beyond the average's limit is narrowed.
  const int contrast = std::max(0, high - low + 1) / 2;
  const int average = std::min(255, low + contrast);
  found.band = {average, std::min(contrast, ContrastLimit(average))};
  return found;
}
