#include "ReferenceKernels.h"

#include <cstdint>

#include "base/Extended.h"

std::vector<int> ReferenceEnlarge(const std::vector<int>& p, int dest) {
  const int s = static_cast<int>(p.size());
  std::vector<int> out(static_cast<size_t>(dest));
  for (int b = 0; b < dest; ++b) {
    const TExtended pos = TExtended(s - 1) * b / (dest - 1);
    const int idx = static_cast<int>(pos);
    const TExtended fr = pos - idx;
    int value;
    if (idx == s - 1) {
      value = p[static_cast<size_t>(s - 1)];
    } else if (idx == 0 || idx == s - 2) {
      value = static_cast<int>(p[static_cast<size_t>(idx)] * (1.0L - fr) +
                               p[static_cast<size_t>(idx) + 1] * fr + 0.5L);
    } else {
      const TExtended t = fr + 1;
      const auto weight = [](const TExtended& w) { return static_cast<int64_t>(w + 0.5L); };
      const int64_t w0 = weight((t - 1) * 65536 * (t - 2) * (t - 3) * (TExtended(-1) / 6));
      const int64_t w1 = weight((t - 0) * 65536 * (t - 2) * (t - 3) * 0.5L);
      const int64_t w2 = weight((t - 0) * 65536 * (t - 1) * (t - 3) * (-0.5L));
      const int64_t w3 = weight((t - 0) * 65536 * (t - 1) * (t - 2) * (TExtended(1) / 6));
      int64_t sum = w0 * p[static_cast<size_t>(idx - 1)] + w1 * p[static_cast<size_t>(idx)] +
                    w2 * p[static_cast<size_t>(idx + 1)] + w3 * p[static_cast<size_t>(idx + 2)] +
                    32768;
      if (sum < 0) sum = 0;
      if (sum > 255 * 65536) sum = 255 * 65536;  // 255 in 16.16
      value = static_cast<int>(sum >> 16);
    }
    out[static_cast<size_t>(b)] = value;
  }
  return out;
}

std::vector<int> ReferenceShrink(const std::vector<int>& p, int dest) {
  const int64_t s = static_cast<int64_t>(p.size());
  const int64_t d = dest;
  // Boundary i: S * i / D as an exact quotient and the truncated 16-bit fraction of the
  // remainder.
  const auto n = [&](int64_t i) { return s * i / d; };
  const auto f = [&](int64_t i) { return (s * i % d) * 65536 / d; };
  // truncate(S * 65536 / D + 0.5) = floor((2 * S * 65536 + D) / (2 * D)).
  const int64_t c = (2 * s * 65536 + d) / (2 * d);
  const int64_t half = (c + 1) / 2;
  std::vector<int> out(static_cast<size_t>(dest));
  for (int64_t b = 0; b < d; ++b) {
    int64_t sum = (65536 - f(b)) * p[static_cast<size_t>(n(b))];
    for (int64_t m = n(b) + 1; m < n(b + 1); ++m) sum += p[static_cast<size_t>(m)] * int64_t{65536};
    if (f(b + 1) != 0) sum += f(b + 1) * p[static_cast<size_t>(n(b + 1))];
    out[static_cast<size_t>(b)] = static_cast<int>((sum + half) / c);
  }
  return out;
}

namespace {

std::vector<int> Resample(const std::vector<int>& line, int dest) {
  const int s = static_cast<int>(line.size());
  if (s == dest) return line;
  return s < dest ? ReferenceEnlarge(line, dest) : ReferenceShrink(line, dest);
}

}  // namespace

TPlane ReferenceWidthPass(const TPlane& source, int width) {
  TPlane out = MakePlane(width, source.height);
  for (int y = 0; y < source.height; ++y)
    for (int ch = 0; ch < 3; ++ch) {
      std::vector<int> line(static_cast<size_t>(source.width));
      for (int x = 0; x < source.width; ++x) line[static_cast<size_t>(x)] = source.At(x, y, ch);
      const std::vector<int> r = Resample(line, width);
      for (int x = 0; x < width; ++x)
        out.At(x, y, ch) = static_cast<uint8_t>(r[static_cast<size_t>(x)]);
    }
  return out;
}

TPlane ReferenceHeightPass(const TPlane& source, int height) {
  TPlane out = MakePlane(source.width, height);
  for (int x = 0; x < source.width; ++x)
    for (int ch = 0; ch < 3; ++ch) {
      std::vector<int> line(static_cast<size_t>(source.height));
      for (int y = 0; y < source.height; ++y) line[static_cast<size_t>(y)] = source.At(x, y, ch);
      const std::vector<int> r = Resample(line, height);
      for (int y = 0; y < height; ++y)
        out.At(x, y, ch) = static_cast<uint8_t>(r[static_cast<size_t>(y)]);
    }
  return out;
}

TPlane ReferenceResize(const TPlane& source, int width, int height) {
  const TPlane wide = width == source.width ? source : ReferenceWidthPass(source, width);
  return height == wide.height ? wide : ReferenceHeightPass(wide, height);
}
