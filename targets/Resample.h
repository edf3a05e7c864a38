// The shrinking of the fit and pixels steps: the output size, and the filters as the
// libraries that sites use define them.
//
//   box, bilinear, bicubic, lanczos3
//       a convolution, separable, whose kernel is stretched by the shrink factor: output
//       pixel u of n (from S) is centred on source position (u + 0.5) S / n; the kernel
//       (box: 1 on [-0.5, 0.5); bilinear: 1 - |x| on [-1, 1]; bicubic: Keys' cubic with
//       a = -0.5 on [-2, 2]; lanczos3: sinc(x) sinc(x / 3) on [-3, 3]) is sampled at the
//       source pixels' centres in units of the factor, cut at the picture's edges and
//       normalised to sum 1; weights in 22-bit fixed point, rounded to bytes after each
//       axis (rows first, then columns)
//   point
//       the source pixel that holds the output pixel's centre (u + 0.5) S / n; a centre on
//       a border between two pixels takes the one before it, as point samplers that keep
//       the top-left pixel of each block do. At exactly half size that is cell (2i, 2j):
//       the even cells, the visible picture of a combined picture
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "reveal/Views.h"
#include "targets/Recipe.h"

class TBitmap;

// The table of filters, one row per TFitFilter in its order: its name in recipes and,
// for the convolutions, the kernel and its support (its half-width at scale 1). Point
// samples: no kernel.
struct TFitFilterRow {
  TFitFilter value;
  const char* name;
  double support;
  double (*kernel)(double x);
};
std::span<const TFitFilterRow> FitFilters();
const char* FitFilterName(TFitFilter filter);

// The size of a W x H picture fitted within box_width x box_height: itself when it fits,
// else the side that limits becomes the box's and the other round(other * scale), half up
// (as libvips and ImageMagick round), or with round_down floor(other * scale) (as sites
// that compute the size themselves in whole numbers do), at least 1.
TViewSize FitSize(int width, int height, int box_width, int box_height, bool round_down = false);

// The size of a W x H picture brought to a budget of about N pixels: the box
// round(sqrt(N W / H)) x round(sqrt(N H / W)) and FitSize into it; a picture of at most N
// pixels keeps its size.
TViewSize PixelBudgetSize(int width, int height, int64_t pixels);

// The size a fit or pixels step brings a W x H picture to (any other step keeps it).
TViewSize StepSize(const TStep& step, int width, int height);

// Resamples a 24-bit picture to `size` (no larger on either axis) with the filter; a
// picture of that size is copied unchanged.
void Shrink(const TBitmap& picture, TViewSize size, TFitFilter filter, TBitmap& out);

// The source index that point sampling takes for each of n outputs from S.
std::vector<int> PointTaps(int source, int dest);
