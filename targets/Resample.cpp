#include "targets/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "base/NamedRows.h"
#include "raster/Bitmap.h"

namespace {

constexpr int kPrecision = 22;  // the weights' fixed point: 32 bits less a byte and two

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

double BoxKernel(double x) {
  return x >= -0.5 && x < 0.5 ? 1.0 : 0.0;
}

double BilinearKernel(double x) {
  x = std::fabs(x);
  return x < 1.0 ? 1.0 - x : 0.0;
}

// Keys' cubic with a = -0.5.
double BicubicKernel(double x) {
  constexpr double a = -0.5;
  x = std::fabs(x);
  if (x < 1.0) return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
  if (x < 2.0) return (((x - 5.0) * x + 8.0) * x - 4.0) * a;
  return 0.0;
}

double Lanczos3Kernel(double x) {
  return x > -3.0 && x < 3.0 ? Sinc(x) * Sinc(x / 3.0) : 0.0;
}

constexpr TFitFilterRow kFitFilters[] = {
    {TFitFilter::ffBox, "box", 0.5, BoxKernel},
    {TFitFilter::ffBilinear, "bilinear", 1.0, BilinearKernel},
    {TFitFilter::ffBicubic, "bicubic", 2.0, BicubicKernel},
    {TFitFilter::ffLanczos3, "lanczos3", 3.0, Lanczos3Kernel},
    {TFitFilter::ffPoint, "point", 0.0, nullptr},
};
static_assert(RowsInOrder(kFitFilters, static_cast<size_t>(TFitFilter::ffPoint) + 1));

// The weights of one axis: output u takes count[u] source pixels from first[u] on, with
// the weights at weights[u * taps ..].
struct TAxis {
  std::vector<int> first, count;
  std::vector<int32_t> weights;
  int taps = 0;
};

TAxis Weights(int source, int dest, TFitFilter filter) {
  const TFitFilterRow& row = RowOf(FitFilters(), filter);
  TAxis axis;
  const double scale = static_cast<double>(source) / dest;
  const double stretch = std::max(scale, 1.0);
  const double support = row.support * stretch;
  axis.taps = static_cast<int>(std::ceil(support)) * 2 + 1;
  axis.first.resize(static_cast<size_t>(dest));
  axis.count.resize(static_cast<size_t>(dest));
  axis.weights.assign(static_cast<size_t>(dest) * static_cast<size_t>(axis.taps), 0);
  std::vector<double> k(static_cast<size_t>(axis.taps));
  for (int u = 0; u < dest; ++u) {
    const double centre = (u + 0.5) * scale;
    // Truncated toward zero, as the libraries compute the span.
    const int lo = std::max(static_cast<int>(centre - support + 0.5), 0);
    const int hi = std::min(static_cast<int>(centre + support + 0.5), source);
    const int n = std::min(hi - lo, axis.taps);
    double sum = 0.0;
    for (int x = 0; x < n; ++x) {
      k[static_cast<size_t>(x)] = row.kernel((x + lo - centre + 0.5) / stretch);
      sum += k[static_cast<size_t>(x)];
    }
    int32_t* w = &axis.weights[static_cast<size_t>(u) * static_cast<size_t>(axis.taps)];
    for (int x = 0; x < n; ++x) {
      const double v = sum != 0.0 ? k[static_cast<size_t>(x)] / sum : 0.0;
      const double fixed = v * (1 << kPrecision);
      w[x] = static_cast<int32_t>(fixed < 0 ? fixed - 0.5 : fixed + 0.5);
    }
    axis.first[static_cast<size_t>(u)] = lo;
    axis.count[static_cast<size_t>(u)] = n;
  }
  return axis;
}

uint8_t Clip(int32_t acc) {
  const int32_t v = acc >> kPrecision;
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Rows: each output row is the weighted sum of whole source rows.
void ShrinkRows(const TBitmap& in, TBitmap& out, const TAxis& axis) {
  const size_t bytes = 3 * static_cast<size_t>(in.Width());
  ForEachBand(out.Height(), static_cast<int64_t>(bytes) * axis.taps, [&](int first, int last) {
    std::vector<int32_t> acc(bytes);
    for (int v = first; v < last; ++v) {
      std::fill(acc.begin(), acc.end(), int32_t{1} << (kPrecision - 1));
      const int32_t* w = &axis.weights[static_cast<size_t>(v) * static_cast<size_t>(axis.taps)];
      for (int k = 0; k < axis.count[static_cast<size_t>(v)]; ++k) {
        const uint8_t* row = in.ConstScanline(axis.first[static_cast<size_t>(v)] + k);
        const int32_t weight = w[k];
        int32_t* a = acc.data();
        for (size_t i = 0; i < bytes; ++i) a[i] += weight * row[i];
      }
      uint8_t* o = out.Scanline(v);
      for (size_t i = 0; i < bytes; ++i) o[i] = Clip(acc[i]);
    }
  });
}

// Columns: each output pixel of a row is the weighted sum of source pixels of that row.
void ShrinkColumns(const TBitmap& in, TBitmap& out, const TAxis& axis) {
  const int width = out.Width();
  ForEachBand(out.Height(), int64_t{3} * width * axis.taps, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const uint8_t* row = in.ConstScanline(y);
      uint8_t* o = out.Scanline(y);
      for (int u = 0; u < width; ++u) {
        const int32_t* w = &axis.weights[static_cast<size_t>(u) * static_cast<size_t>(axis.taps)];
        const uint8_t* p = row + 3 * static_cast<size_t>(axis.first[static_cast<size_t>(u)]);
        int32_t b = int32_t{1} << (kPrecision - 1), g = b, r = b;
        for (int k = 0; k < axis.count[static_cast<size_t>(u)]; ++k, p += 3) {
          b += w[k] * p[0];
          g += w[k] * p[1];
          r += w[k] * p[2];
        }
        o[3 * u] = Clip(b);
        o[3 * u + 1] = Clip(g);
        o[3 * u + 2] = Clip(r);
      }
    }
  });
}

void Prepare(TBitmap& picture, int width, int height) {
  PrepareRaster(picture, width, height);
}

}  // namespace

std::span<const TFitFilterRow> FitFilters() {
  return kFitFilters;
}

const char* FitFilterName(TFitFilter filter) {
  return RowOf(FitFilters(), filter).name;
}

TViewSize FitSize(int width, int height, int box_width, int box_height, bool round_down) {
  if (width <= box_width && height <= box_height) return {width, height};
  const auto scaled = [round_down](int64_t other, int64_t to, int64_t from) {
    const int64_t size = round_down ? other * to / from : (other * to * 2 + from) / (2 * from);
    return static_cast<int>(std::max<int64_t>(1, size));
  };
  // The width limits when box_width / width <= box_height / height.
  if (int64_t{box_width} * height <= int64_t{box_height} * width)
    return {box_width, scaled(height, box_width, width)};
  return {scaled(width, box_height, height), box_height};
}

TViewSize PixelBudgetSize(int width, int height, int64_t pixels) {
  if (int64_t{width} * height <= pixels) return {width, height};
  const double ratio = static_cast<double>(width) / height;
  const auto side = [](double v) {
    return static_cast<int>(std::clamp(std::floor(v + 0.5), 1.0, 65535.0));
  };
  return FitSize(width, height, side(std::sqrt(static_cast<double>(pixels) * ratio)),
                 side(std::sqrt(static_cast<double>(pixels) / ratio)));
}

TViewSize StepSize(const TStep& step, int width, int height) {
  switch (step.kind) {
    case TStepKind::skFit:
      return FitSize(width, height, step.width, step.height, step.round_down);
    case TStepKind::skPixels:
      return PixelBudgetSize(width, height, step.count);
    default:
      return {width, height};
  }
}

std::vector<int> PointTaps(int source, int dest) {
  std::vector<int> taps(static_cast<size_t>(dest));
  // The pixel holding (u + 0.5) S / n, a centre on a border going to the pixel before:
  // ceil((2u + 1) S / 2n) - 1 = floor(((2u + 1) S - 1) / 2n).
  for (int64_t u = 0; u < dest; ++u)
    taps[static_cast<size_t>(u)] =
        static_cast<int>(((2 * u + 1) * source - 1) / (2 * static_cast<int64_t>(dest)));
  return taps;
}

void Shrink(const TBitmap& picture, TViewSize size, TFitFilter filter, TBitmap& out) {
  if (picture.Empty() || picture.BitsPerPixel() != 24) throw EInvalidGraphic(SInvalidPixelFormat);
  if (size.width < 1 || size.height < 1 || size.width > picture.Width() ||
      size.height > picture.Height())
    throw EInvalidGraphicOperation(SScanLine);
  if (filter == TFitFilter::ffPoint) {
    const std::vector<int> columns = PointTaps(picture.Width(), size.width);
    const std::vector<int> rows = PointTaps(picture.Height(), size.height);
    Prepare(out, size.width, size.height);
    for (int v = 0; v < size.height; ++v) {
      const uint8_t* row = picture.ConstScanline(rows[static_cast<size_t>(v)]);
      uint8_t* o = out.Scanline(v);
      for (int u = 0; u < size.width; ++u)
        std::memcpy(o + 3 * u, row + 3 * columns[static_cast<size_t>(u)], 3);
    }
    return;
  }
  const bool rows = size.height != picture.Height();
  const bool columns = size.width != picture.Width();
  if (!rows && !columns) {
    ShrinkToSize(picture, size, out);  // a copy
    return;
  }
  if (!columns) {
    Prepare(out, size.width, size.height);
    ShrinkRows(picture, out, Weights(picture.Height(), size.height, filter));
    return;
  }
  if (!rows) {
    Prepare(out, size.width, size.height);
    ShrinkColumns(picture, out, Weights(picture.Width(), size.width, filter));
    return;
  }
  TBitmap low;
  Prepare(low, picture.Width(), size.height);
  ShrinkRows(picture, low, Weights(picture.Height(), size.height, filter));
  Prepare(out, size.width, size.height);
  ShrinkColumns(low, out, Weights(picture.Width(), size.width, filter));
}
