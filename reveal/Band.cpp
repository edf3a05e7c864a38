#include "reveal/Band.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "raster/Bitmap.h"

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

}  // namespace

TFoundBand FindBand(const TBitmap& result) {
  TFoundBand found;
  const int width = result.Width();
  const int height = result.Height();
  if (result.Empty() || width <= 0 || height <= 0) throw EInvalidGraphic(SRevealEmptyPicture);
  if (result.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  uint64_t histogram[3][256] = {};
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = result.ConstScanline(y);
    for (int x = (y + 1) & 1; x < width; x += 2) {
      ++histogram[0][row[3 * x]];
      ++histogram[1][row[3 * x + 1]];
      ++histogram[2][row[3 * x + 2]];
    }
  }
  found.odd_cells = (static_cast<uint64_t>(width) * height) / 2;
  if (found.odd_cells == 0) {
    found.band = kIdentityBand;
    return found;
  }
  int low = 255, high = 0;
  for (int c = 0; c < 3; ++c) {
    TrimmedRange(histogram[c], found.odd_cells, found.low[c], found.high[c]);
    low = std::min(low, found.low[c]);
    high = std::max(high, found.high[c]);
  }
  // The mapping gives hidden 0 to A - C and hidden 255 to A + C or, by the rounding of its
  // scale, A + C - 1; so C = (high - low + 1) / 2 and A = low + C recover the band of a
  // hidden picture that spans 0 .. 255. A band beyond the average's limit is narrowed.
  const int contrast = (high - low + 1) / 2;
  const int average = low + contrast;
  found.band = {average, std::min(contrast, ContrastLimit(average))};
  return found;
}
