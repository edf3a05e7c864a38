#include "gif/NearestRows.h"

#include <cstdint>
#include <type_traits>
#include <vector>

#include "base/Bands.h"
#include "gif/DIB.h"
#include "gif/FastColorLookup.h"
#include "gif/FixedLookups.h"

namespace {

constexpr int kCells = 32768;

// The rows first .. last - 1 of the picture, each pixel's index through the lookup.
template <class Lookup>
void MapRows(const TConstRows& rows, TDIBWriter& dest, int width, Lookup& lookup, int first,
             int last) {
  for (int y = first; y < last; ++y) {
    const uint8_t* bgr = rows[y];
    uint8_t* indices = dest.RowPointer(y);
    for (int x = 0; x < width; ++x, bgr += 3) {
      uint8_t r, g, b;
      indices[x] = lookup.FindIndex(bgr[2], bgr[1], bgr[0], r, g, b);
    }
  }
}

// The fast lookup keeps, in each colour cell, the answer for the first colour of the cell
// that it was asked for, and gives it to every later colour of the cell: the walk's order
// counts. The walk goes row by row from the top, left to right on even rows and right to
// left on odd ones. So each band finds the first colour of every cell still unknown in
// that order; each such cell is then answered for the colour of the earliest band that
// met it, which is the colour the whole walk would have met first. After that the lookup
// no longer changes, and the bands map their pixels through it.
void FillCellsInWalkOrder(const TConstRows& rows, int width, const TBands& bands,
                          TFastColorLookup& lookup) {
  std::vector<std::vector<uint32_t>> first_colour(static_cast<size_t>(bands.count));
  RunBands(bands, [&](int band, int first, int last) {
    std::vector<uint32_t>& seen = first_colour[static_cast<size_t>(band)];
    seen.assign(kCells, 0);  // 0: not met; else the colour as 0xRRGGBB + 1
    for (int y = first; y < last; ++y) {
      const uint8_t* row = rows[y];
      const bool backwards = (y & 1) != 0;
      for (int i = 0; i < width; ++i) {
        const uint8_t* p = row + 3 * (backwards ? width - 1 - i : i);
        const int cell = TFastColorLookup::CellOf(p[2], p[1], p[0]);
        uint32_t& colour = seen[static_cast<size_t>(cell)];
        if (colour == 0 && lookup.CachedIndex(cell) < 0)
          colour = (uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]) + 1;
      }
    }
  });
  for (int cell = 0; cell < kCells; ++cell) {
    for (const std::vector<uint32_t>& seen : first_colour) {
      const uint32_t colour = seen[static_cast<size_t>(cell)];
      if (colour == 0) continue;
      const uint32_t c = colour - 1;
      uint8_t r, g, b;
      lookup.FindIndex(static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                       static_cast<uint8_t>(c), r, g, b);
      break;
    }
  }
}

template <class Lookup>
void MapInBands(const TDIBReader& source, Lookup& lookup, TDIBWriter& dest) {
  const int width = source.Width();
  const TConstRows rows = source.Bitmap().ConstRows();
  const TBands bands = PlanBands(source.Height(), int64_t{4} * width);
  // The picture's memory is made by the first row access, here; after it RowPointer only
  // computes addresses, which the bands may do at once.
  dest.RowPointer(0);
  if constexpr (std::is_same_v<Lookup, TFastColorLookup>) {
    if (bands.count > 1) FillCellsInWalkOrder(rows, width, bands, lookup);
  }
  RunBands(bands,
           [&](int, int first, int last) { MapRows(rows, dest, width, lookup, first, last); });
}

}  // namespace

bool MapNearestRows(const TDIBReader& source, TColorLookup& lookup, TDIBWriter& dest) {
  if (source.Height() <= 0 || source.Width() <= 0) return false;
  if (auto* fast = dynamic_cast<TFastColorLookup*>(&lookup)) {
    // One band walks as the engine does; the cells fill in that order.
    if (PlanBands(source.Height(), int64_t{4} * source.Width()).count == 1) return false;
    MapInBands(source, *fast, dest);
  } else if (auto* web = dynamic_cast<TNetscapeColorLookup*>(&lookup)) {
    MapInBands(source, *web, dest);
  } else if (auto* grey = dynamic_cast<TGrayScaleLookup*>(&lookup)) {
    MapInBands(source, *grey, dest);
  } else if (auto* mono = dynamic_cast<TMonochromeLookup*>(&lookup)) {
    MapInBands(source, *mono, dest);
  } else {
    return false;
  }
  return true;
}
