#include "app/gui/Zoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// The whole numbers n of the steps 1/n and n.
constexpr std::array<int, 9> kStepFactors = {2, 3, 4, 6, 8, 12, 16, 24, 32};
// Scales this close count as equal (a fit scale a hair off a step is that step).
constexpr double kSameScale = 1e-9;

std::array<double, 2 * kStepFactors.size() + 1> Steps() {
  std::array<double, 2 * kStepFactors.size() + 1> steps{};
  size_t i = 0;
  for (auto f = kStepFactors.rbegin(); f != kStepFactors.rend(); ++f) steps[i++] = 1.0 / *f;
  steps[i++] = 1.0;
  for (int f : kStepFactors) steps[i++] = f;
  return steps;
}

}  // namespace

double ZoomInStep(double scale) {
  for (double step : Steps())
    if (step > scale * (1 + kSameScale)) return step;
  return std::max(scale, Steps().back());
}

double ZoomOutStep(double scale) {
  const auto steps = Steps();
  for (auto step = steps.rbegin(); step != steps.rend(); ++step)
    if (*step < scale * (1 - kSameScale)) return *step;
  return std::min(scale, steps.front());
}

double FitScale(int width, int height, int viewport_width, int viewport_height) {
  if (width <= 0 || height <= 0 || viewport_width <= 0 || viewport_height <= 0) return 1.0;
  const double scale = std::min(double(viewport_width) / width, double(viewport_height) / height);
  if (scale >= 1.0) return std::floor(scale);
  // The fraction, a little lowered so that ScaledLength stays within the viewport.
  return scale * (1 - kSameScale);
}

double MaxScaleFor(int length) {
  return length <= 0 ? Steps().back() : double(kMaxScaledLength) / length;
}

int ScaledLength(int length, double scale) {
  if (length <= 0) return 0;
  int64_t scaled = int64_t(std::clamp(std::ceil(length * scale), 1.0, double(kMaxScaledLength)));
  // Below 1:1 a screen pixel starts where its edge, rounded to 1/256 of a picture pixel,
  // falls (as the image box paints it); one that would start at the picture's far edge
  // would cover nothing.
  if (scale < 1.0)
    while (scaled > 1 && std::llround((scaled - 1) * (256.0 / scale)) >= int64_t(length) * 256)
      --scaled;
  return int(scaled);
}

QString ZoomText(double scale) {
  const double percent = scale * 100;
  // Two significant digits below 10%, whole percents above.
  if (percent >= 9.95) return QString::number(std::lround(percent)) + "%";
  return QString::number(percent, 'g', 2) + "%";
}
