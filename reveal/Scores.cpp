#include "reveal/Scores.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/CellRows.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

void CheckPair(const TBitmap& a, const TBitmap& b) {
  if (a.Empty() || a.Width() <= 0 || a.Height() <= 0) throw EInvalidGraphic(SRevealEmptyPicture);
  if (a.Width() != b.Width() || a.Height() != b.Height() || b.Empty())
    throw EInvalidGraphicOperation(
        Format(SRevealSizesDiffer, a.Width(), a.Height(), b.Width(), b.Height()));
  if (a.BitsPerPixel() != 24 || b.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
}

// The sum of (a[i] - b[i])^2 over count bytes: in pieces whose sum fits 32 bits, which
// the compiler turns into vector multiply-adds.
uint64_t SquaredDifferences(const uint8_t* a, const uint8_t* b, size_t count) {
  constexpr size_t kPiece = 32768;  // 32768 * 255^2 < 2^32
  uint64_t total = 0;
  for (size_t start = 0; start < count; start += kPiece) {
    const size_t end = std::min(count, start + kPiece);
    uint32_t sum = 0;
    for (size_t i = start; i < end; ++i) {
      const int d = a[i] - b[i];
      sum += static_cast<uint32_t>(d * d);
    }
    total += sum;
  }
  return total;
}

}  // namespace

double Psnr(uint64_t squares, uint64_t count) {
  if (squares == 0) return std::numeric_limits<double>::infinity();
  const double mse = static_cast<double>(squares) / static_cast<double>(count);
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

void FitToResult(const TBitmap& result, const TBitmap& picture, TBitmap& fitted) {
  fitted.Assign(&picture);
  fitted.SetPixelFormat(TPixelFormat::Bits24);
  ResizeBitmap(fitted, result.Width(), result.Height());
}

double VisiblePsnr(const TBitmap& result, const TBitmap& visible) {
  CheckPair(result, visible);
  uint64_t squares = 0;
  const size_t bytes = 3 * static_cast<size_t>(result.Width());
  for (int y = 0; y < result.Height(); ++y)
    squares += SquaredDifferences(result.ConstScanline(y), visible.ConstScanline(y), bytes);
  return Psnr(squares, static_cast<uint64_t>(bytes) * result.Height());
}

namespace {

// The PSNR of the odd cells of `result`, mapped back through the band, against `hidden`:
// each odd cell adds squares(mapped pixel, hidden pixel) to the sum and `values` to the
// count. None without odd cells.
template <class Squares>
std::optional<double> OddCellsPsnr(const TBitmap& result, const TBitmap& hidden,
                                   const TToneBand& band, int values, Squares squares_of) {
  CheckPair(result, hidden);
  const TInverseTone inverse(band);
  uint64_t squares = 0, count = 0;
  for (int y = 0; y < result.Height(); ++y) {
    const uint8_t* r = result.ConstScanline(y);
    const uint8_t* h = hidden.ConstScanline(y);
    for (int x = (y + 1) & 1; x < result.Width(); x += 2) {
      const uint8_t* p = r + 3 * x;
      const uint8_t mapped[3] = {inverse.map[p[0]], inverse.map[p[1]], inverse.map[p[2]]};
      squares += squares_of(mapped, h + 3 * x);
      count += static_cast<uint64_t>(values);
    }
  }
  if (count == 0) return std::nullopt;
  return Psnr(squares, count);
}

}  // namespace

std::optional<double> HiddenPsnr(const TBitmap& result, const TBitmap& hidden,
                                 const TToneBand& band) {
  return OddCellsPsnr(result, hidden, band, 3, [](const uint8_t* mapped, const uint8_t* h) {
    uint64_t squares = 0;
    for (int c = 0; c < 3; ++c) {
      const int d = mapped[c] - h[c];
      squares += static_cast<uint64_t>(d * d);
    }
    return squares;
  });
}

std::optional<double> HiddenGreyPsnr(const TBitmap& result, const TBitmap& hidden,
                                     const TToneBand& band) {
  return OddCellsPsnr(result, hidden, band, 1, [](const uint8_t* mapped, const uint8_t* h) {
    const int d = Luma(mapped) - Luma(h);
    return static_cast<uint64_t>(d * d);
  });
}

bool IsSynthesisOf(const TBitmap& result, const TBitmap& visible, const TBitmap& hidden,
                   const TToneBand& band) {
  CheckPair(result, visible);
  CheckPair(result, hidden);
  CheckBand(band);
  const TToneTable tone(band.average, band.contrast);
  const int width = result.Width();
  std::vector<uint8_t> row(3 * static_cast<size_t>(width));
  for (int y = 0; y < result.Height(); ++y) {
    ComposeRow(visible.ConstScanline(y), hidden.ConstScanline(y), row.data(), width, y, &tone);
    if (std::memcmp(row.data(), result.ConstScanline(y), row.size()) != 0) return false;
  }
  return true;
}

TScoreBasis::TScoreBasis(const TBitmap& visible, const TBitmap& hidden) : pairs_(65536, 0) {
  CheckPair(visible, hidden);
  const int width = visible.Width();
  for (int y = 0; y < visible.Height(); ++y) {
    const uint8_t* v = visible.ConstScanline(y);
    const uint8_t* h = hidden.ConstScanline(y);
    for (int x = (y + 1) & 1; x < width; x += 2)
      for (int c = 0; c < 3; ++c) {
        const int i = 3 * x + c;
        ++pairs_[static_cast<size_t>(h[i]) * 256 + v[i]];
        ++hidden_[h[i]];
        ++odd_bytes_;
      }
  }
  all_bytes_ = 3 * static_cast<uint64_t>(width) * static_cast<uint64_t>(visible.Height());
}

double TScoreBasis::VisiblePsnr(const TToneBand& band) const {
  CheckBand(band);
  const TToneTable tone(band.average, band.contrast);
  uint64_t squares = 0;
  for (int h = 0; h < 256; ++h) {
    if (hidden_[h] == 0) continue;
    const uint64_t* counts = &pairs_[static_cast<size_t>(h) * 256];
    for (int v = 0; v < 256; ++v) {
      const int d = tone.map[h] - v;
      squares += counts[v] * static_cast<uint64_t>(d * d);
    }
  }
  return Psnr(squares, all_bytes_);
}

std::optional<double> KeptHiddenPsnr(const uint64_t (&hidden)[256], const TToneBand& band) {
  uint64_t count = 0;
  for (const uint64_t n : hidden) count += n;
  if (count == 0) return std::nullopt;
  const TToneTable tone(band.average, band.contrast);
  const TInverseTone inverse(band);
  uint64_t squares = 0;
  for (int h = 0; h < 256; ++h) {
    const int d = inverse.map[tone.map[h]] - h;
    squares += hidden[h] * static_cast<uint64_t>(d * d);
  }
  return Psnr(squares, count);
}

std::optional<double> TScoreBasis::HiddenPsnr(const TToneBand& band) const {
  return KeptHiddenPsnr(hidden_, band);
}
