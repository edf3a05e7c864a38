// The views of combined pictures synthesized from known pictures, against what they must
// hold by construction and against slow, plainly written versions; every size class
// (odd, one pixel wide or high, 1 x 1) and every kernel path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "compose/ResizeBitmap.h"
#include "reveal/Band.h"
#include "reveal/Sheet.h"
#include "tests/reveal/RevealTestSupport.h"

namespace {

struct TCase {
  int width, height;
  TToneBand band;
};

std::string CaseName(const testing::TestParamInfo<TCase>& info) {
  const TCase& c = info.param;
  return SizeName(c.width, c.height) + "_A" + std::to_string(c.band.average) + "C" +
         std::to_string(c.band.contrast);
}

class ViewsOfASynthesis : public testing::TestWithParam<TCase> {
 protected:
  void SetUp() override {
    s_ = MakeSynthesis(GetParam().width, GetParam().height, GetParam().band, 7);
    r_ = PlaneOf(s_.result);
  }
  TSynthesis s_;
  TPlane r_;
};

TEST_P(ViewsOfASynthesis, EvenHoldsTheVisibleCellsAndOddTheMappedHiddenCells) {
  const TToneTable tone(s_.band.average, s_.band.contrast);
  const int w = r_.width, h = r_.height;
  ForEachRevealPath([&] {
    const TPlane even = ViewPlane(s_.result, TRevealView::rvEven);
    ASSERT_EQ(even.width, (w + 1) / 2);
    ASSERT_EQ(even.height, (h + 1) / 2);
    for (int j = 0; j < even.height; ++j)
      for (int i = 0; i < even.width; ++i)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(even.At(i, j, c), s_.visible.At(2 * i, 2 * j, c)) << i << "," << j;

    const TPlane odd = ViewPlane(s_.result, TRevealView::rvOdd);
    if (w >= 2) {
      ASSERT_EQ(odd.width, w / 2);
      ASSERT_EQ(odd.height, (h + 1) / 2);
      for (int j = 0; j < odd.height; ++j)
        for (int i = 0; i < odd.width; ++i)
          for (int c = 0; c < 3; ++c)
            ASSERT_EQ(odd.At(i, j, c), tone.map[s_.hidden.At(2 * i + 1, 2 * j, c)]);
    } else if (h >= 2) {  // one pixel wide: the odd rows
      ASSERT_EQ(odd.width, 1);
      ASSERT_EQ(odd.height, h / 2);
      for (int j = 0; j < odd.height; ++j)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(odd.At(0, j, c), tone.map[s_.hidden.At(0, 2 * j + 1, c)]);
    } else {  // 1 x 1: no odd cell
      EXPECT_EQ(odd.bgr, std::vector<uint8_t>(3, 128));
    }
  });
}

TEST_P(ViewsOfASynthesis, AverageIsTheMeanOfEachBlockOfUpToFourPixels) {
  ForEachRevealPath([&] {
    const TPlane average = ViewPlane(s_.result, TRevealView::rvAverage);
    ASSERT_EQ(average.width, (r_.width + 1) / 2);
    ASSERT_EQ(average.height, (r_.height + 1) / 2);
    for (int j = 0; j < average.height; ++j)
      for (int i = 0; i < average.width; ++i)
        for (int c = 0; c < 3; ++c) {
          int sum = 0, n = 0;
          for (int y = 2 * j; y < std::min(2 * j + 2, r_.height); ++y)
            for (int x = 2 * i; x < std::min(2 * i + 2, r_.width); ++x) sum += r_.At(x, y, c), ++n;
          const int expected = static_cast<int>(std::floor(double(sum) / n + 0.5));
          ASSERT_EQ(average.At(i, j, c), expected) << i << "," << j << "," << c;
        }
  });
}

TEST_P(ViewsOfASynthesis, LevelsStretchesTheBandAsTheSlowVersionDoes) {
  ForEachRevealPath([&] {
    const TPlane levels = ViewPlane(s_.result, TRevealView::rvLevels, s_.band);
    ASSERT_EQ(levels.width, r_.width);
    ASSERT_EQ(levels.height, r_.height);
    for (size_t i = 0; i < r_.bgr.size(); ++i)
      ASSERT_EQ(levels.bgr[i], SlowLevels(r_.bgr[i], s_.band)) << "byte " << i;
  });
}

// The hidden view against a slow version: each odd byte b stands for the middle of the
// hidden values v with map(v) = b, searched one by one; each even cell for the rounded mean
// of its odd neighbours.
TEST_P(ViewsOfASynthesis, HiddenMapsOddCellsBackAndFillsEvenCellsFromTheirNeighbours) {
  const TToneTable tone(s_.band.average, s_.band.contrast);
  const int w = r_.width, h = r_.height;
  TPlane slow = MakePlane(w, h);
  const auto back = [&](int b) {
    int first = -1, last = -1;
    for (int v = 0; v < 256; ++v)
      if (tone.map[v] == b) {
        if (first < 0) first = v;
        last = v;
      }
    return first < 0 ? -1 : (first + last + 1) / 2;
  };
  for (int y = 0; y < h; ++y)
    for (int x = (y + 1) % 2; x < w; x += 2)
      for (int c = 0; c < 3; ++c) slow.At(x, y, c) = static_cast<uint8_t>(back(r_.At(x, y, c)));
  for (int y = 0; y < h; ++y)
    for (int x = y % 2; x < w; x += 2)
      for (int c = 0; c < 3; ++c) {
        int sum = 0, n = 0;
        const int dx[] = {-1, 1, 0, 0}, dy[] = {0, 0, -1, 1};
        for (int k = 0; k < 4; ++k) {
          const int nx = x + dx[k], ny = y + dy[k];
          if (nx >= 0 && nx < w && ny >= 0 && ny < h) sum += slow.At(nx, ny, c), ++n;
        }
        slow.At(x, y, c) = n == 0 ? 128 : static_cast<uint8_t>(std::floor(double(sum) / n + 0.5));
      }
  const int bound = s_.band.contrast == 0 ? 128 : 255 / (4 * s_.band.contrast) + 1;
  ForEachRevealPath([&] {
    const TPlane hidden = ViewPlane(s_.result, TRevealView::rvHidden, s_.band);
    ASSERT_EQ(hidden, slow);
    for (int y = 0; y < h; ++y)
      for (int x = (y + 1) % 2; x < w; x += 2)
        for (int c = 0; c < 3; ++c)
          ASSERT_LE(std::abs(hidden.At(x, y, c) - s_.hidden.At(x, y, c)), bound);
  });
}

// Every view has the size its row gives, and any part of a view that has parts equals the
// same part of the whole view.
TEST_P(ViewsOfASynthesis, APartIsThatPartOfTheWholeView) {
  std::mt19937 random(3);
  for (const TViewRow& row : ViewTable())
    for (TThumbnailFilter filter : kAllFilters) {
      TViewOptions o;
      o.view = row.value;
      o.filter = filter;
      o.band = s_.band;
      o.size = 40;
      TBitmap whole;
      MakeView(s_.result, o, whole);
      const TPlane all = PlaneOf(whole);
      ASSERT_EQ(ViewSize(s_.result.Width(), s_.result.Height(), o),
                (TViewSize{all.width, all.height}))
          << row.name << " " << FilterName(filter);
      for (int k = 0; k < 4; ++k) {
        const int left = std::uniform_int_distribution<int>(0, all.width - 1)(random);
        const int top = std::uniform_int_distribution<int>(0, all.height - 1)(random);
        const int width = std::uniform_int_distribution<int>(1, all.width - left)(random);
        const int height = std::uniform_int_distribution<int>(1, all.height - top)(random);
        TBitmap part;
        MakeViewPart(s_.result, o, left, top, width, height, part);
        const TPlane p = PlaneOf(part);
        ASSERT_EQ(p.width, width);
        ASSERT_EQ(p.height, height);
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
              ASSERT_EQ(p.At(x, y, c), all.At(left + x, top + y, c))
                  << row.name << " " << FilterName(filter);
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ViewsOfASynthesis,
                         testing::Values(TCase{1, 1, {128, 127}}, TCase{1, 2, {128, 127}},
                                         TCase{1, 7, {100, 40}}, TCase{2, 1, {128, 127}},
                                         TCase{7, 1, {230, 25}}, TCase{2, 2, {128, 128}},
                                         TCase{3, 3, {5, 3}}, TCase{5, 4, {60, 0}},
                                         TCase{64, 33, {128, 127}}, TCase{101, 57, {100, 40}},
                                         TCase{131, 20, {230, 25}}, TCase{200, 9, {128, 128}},
                                         TCase{97, 5, {1, 1}}, TCase{150, 3, {200, 55}}),
                         CaseName);

// Hidden bytes back through the band for every contrast of many averages: within the
// band's rounding, 255 / (4C) + 1 levels, and within 1 for A = 128, C = 127.
TEST(HiddenView, RecoversEveryOddCellWithinTheBandsRoundingForManyBands) {
  // Odd cells of a 32 x 16 picture hold all 256 hidden values in every channel.
  TPlane visible = MakePlane(32, 16), hidden = MakePlane(32, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x)
      for (int c = 0; c < 3; ++c) {
        hidden.At(x, y, c) = static_cast<uint8_t>((y * 16 + x / 2 + 85 * c) % 256);
        visible.At(x, y, c) = static_cast<uint8_t>(x * 8 + c);
      }
  TBitmap v, h;
  FillBitmap(v, visible);
  FillBitmap(h, hidden);
  for (int a : {0, 1, 10, 64, 100, 127, 128, 129, 170, 200, 230, 254, 255}) {
    for (int c = 0; c <= ContrastLimit(a); ++c) {
      TBitmap result;
      Synthesize(result, v, h, a, c);
      const TPlane back = ViewPlane(result, TRevealView::rvHidden, {a, c});
      const int bound = c == 0 ? 128 : 255 / (4 * c) + 1;
      int worst = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = (y + 1) % 2; x < 32; x += 2)
          for (int ch = 0; ch < 3; ++ch)
            worst = std::max(worst, std::abs(back.At(x, y, ch) - hidden.At(x, y, ch)));
      ASSERT_LE(worst, bound) << "A = " << a << ", C = " << c;
      if (a == 128 && c == 127) {
        EXPECT_LE(worst, 1);
      }
    }
  }
}

TEST(HiddenView, ContrastZeroGivesFlatGrey) {
  const TSynthesis s = MakeSynthesis(9, 6, {77, 0});
  const TPlane back = ViewPlane(s.result, TRevealView::rvHidden, s.band);
  EXPECT_EQ(back.bgr, std::vector<uint8_t>(back.bgr.size(), 128));
}

TEST(Thumbnail, SizesKeepTheAspectAndNeverEnlarge) {
  EXPECT_EQ(ThumbnailSize(4000, 3000, 256), (TViewSize{256, 192}));
  EXPECT_EQ(ThumbnailSize(3000, 4000, 256), (TViewSize{192, 256}));
  EXPECT_EQ(ThumbnailSize(600, 400, 256), (TViewSize{256, 171}));  // 170.67 rounded
  EXPECT_EQ(ThumbnailSize(5000, 1, 256), (TViewSize{256, 1}));     // never 0
  EXPECT_EQ(ThumbnailSize(1, 5000, 10), (TViewSize{1, 10}));
  EXPECT_EQ(ThumbnailSize(200, 100, 256), (TViewSize{200, 100}));  // small enough already
  EXPECT_EQ(ThumbnailSize(1, 1, 1), (TViewSize{1, 1}));
}

// Nearest and bilinear sampling at pixel centres against the real-number positions; the
// bilinear weights are kept in 1/65536, so a value is the exact one rounded, give or take
// 1/100 of a level. The
// area thumbnail against the exact mean over each pixel's area: the resampling's passes
// round twice in 16.16, so within 1 level too.
class ThumbnailFilters : public testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(ThumbnailFilters, MatchTheSlowVersions) {
  const int w = std::get<0>(GetParam()), h = std::get<1>(GetParam()), n = std::get<2>(GetParam());
  std::mt19937 random(11);
  const TPlane source = RandomPlane(w, h, random);
  TBitmap r;
  FillBitmap(r, source);
  const TViewSize size = ThumbnailSize(w, h, n);
  ForEachRevealPath([&] {
    const TPlane nearest =
        ViewPlane(r, TRevealView::rvThumbnail, {}, TThumbnailFilter::tfNearest, n);
    const TPlane bilinear =
        ViewPlane(r, TRevealView::rvThumbnail, {}, TThumbnailFilter::tfBilinear, n);
    const TPlane area = ViewPlane(r, TRevealView::rvThumbnail, {}, TThumbnailFilter::tfArea, n);
    ASSERT_EQ(nearest.width, size.width);
    ASSERT_EQ(area.height, size.height);
    const double sx = double(w) / size.width, sy = double(h) / size.height;
    for (int v = 0; v < size.height; ++v)
      for (int u = 0; u < size.width; ++u)
        for (int c = 0; c < 3; ++c) {
          const int nx = ((2 * u + 1) * w) / (2 * size.width);
          const int ny = ((2 * v + 1) * h) / (2 * size.height);
          ASSERT_EQ(nearest.At(u, v, c), source.At(nx, ny, c));
          const double px = std::max(0.0, (u + 0.5) * sx - 0.5);
          const double py = std::max(0.0, (v + 0.5) * sy - 0.5);
          const int x0 = std::min(w - 1, int(px)), y0 = std::min(h - 1, int(py));
          const int x1 = std::min(w - 1, x0 + 1), y1 = std::min(h - 1, y0 + 1);
          const double fx = px - x0, fy = py - y0;
          const double b =
              (source.At(x0, y0, c) * (1 - fx) + source.At(x1, y0, c) * fx) * (1 - fy) +
              (source.At(x0, y1, c) * (1 - fx) + source.At(x1, y1, c) * fx) * fy;
          ASSERT_LE(std::abs(bilinear.At(u, v, c) - b), 0.51) << u << "," << v;
          double sum = 0;
          for (int y = 0; y < h; ++y) {
            const double wy =
                std::max(0.0, std::min((v + 1) * sy, y + 1.0) - std::max(v * sy, double(y)));
            if (wy <= 0) continue;
            for (int x = 0; x < w; ++x) {
              const double wx =
                  std::max(0.0, std::min((u + 1) * sx, x + 1.0) - std::max(u * sx, double(x)));
              sum += wx * wy * source.At(x, y, c);
            }
          }
          ASSERT_LE(std::abs(area.At(u, v, c) - sum / (sx * sy)), 1.0) << u << "," << v;
        }
  });
}

INSTANTIATE_TEST_SUITE_P(Shrinks, ThumbnailFilters,
                         testing::Values(std::make_tuple(100, 60, 32), std::make_tuple(60, 100, 32),
                                         std::make_tuple(97, 13, 20), std::make_tuple(64, 64, 32),
                                         std::make_tuple(300, 2, 70), std::make_tuple(1, 90, 8),
                                         std::make_tuple(37, 29, 37)),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param)) + "x" +
                                  std::to_string(std::get<1>(info.param)) + "_to_" +
                                  std::to_string(std::get<2>(info.param));
                         });

TEST(Views, RefuseAnEmptyPictureABandTheSlidersCannotSetAndABadSize) {
  TBitmap empty, view;
  TViewOptions o;
  EXPECT_THROW(MakeView(empty, o, view), EInvalidGraphic);
  const TSynthesis s = MakeSynthesis(4, 4, {128, 127});
  o.band = {200, 60};  // L(200) = 55
  EXPECT_THROW(MakeView(s.result, o, view), EInvalidGraphicOperation);
  o.band = {128, 127};
  o.size = 0;
  EXPECT_THROW(MakeView(s.result, o, view), EInvalidGraphicOperation);
  EXPECT_TRUE(view.Empty());
}

// Each row of the table has a name of its own, a description, and the maker that its
// options choose (rows for a view made in parts, else the whole view).
TEST(Views, EveryRowOfTheTableCanMakeItsView) {
  std::set<std::string> names;
  for (const TViewRow& row : ViewTable()) {
    EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_GT(std::strlen(row.description), 10u) << row.name;
    for (TThumbnailFilter filter : kAllFilters) {
      TViewOptions o;
      o.view = row.value;
      o.filter = filter;
      EXPECT_TRUE(row.in_parts(o) ? row.rows != nullptr : row.whole != nullptr) << row.name;
    }
  }
}

TEST(Views, NamesReadBack) {
  for (const TViewRow& row : ViewTable()) {
    TRevealView back = TRevealView::rvSheet;
    ASSERT_TRUE(ViewFromName(ViewName(row.value), back));
    EXPECT_EQ(back, row.value);
  }
  TThumbnailFilter f;
  EXPECT_TRUE(FilterFromName("bilinear", f));
  EXPECT_EQ(f, TThumbnailFilter::tfBilinear);
  TRevealView v;
  EXPECT_FALSE(ViewFromName("Even", v));
}

}  // namespace
