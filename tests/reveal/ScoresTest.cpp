// The two scores against a slow reference computed straight from their definitions, and
// the score basis against the direct scores for many bands.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "compose/ResizeBitmap.h"
#include "reveal/ScoreWords.h"
#include "reveal/Scores.h"
#include "tests/reveal/RevealTestSupport.h"

namespace {

double SlowPsnr(double squares, double count) {
  if (squares == 0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 / (squares / count));
}

// The visible score: every cell and channel of R against the visible picture.
double SlowVisible(const TPlane& r, const TPlane& v) {
  double squares = 0;
  for (size_t i = 0; i < r.bgr.size(); ++i) squares += std::pow(double(r.bgr[i]) - v.bgr[i], 2);
  return SlowPsnr(squares, double(r.bgr.size()));
}

// The hidden score: the hidden view's odd cells against the hidden picture.
double SlowHidden(const TPlane& back, const TPlane& h) {
  double squares = 0, count = 0;
  for (int y = 0; y < h.height; ++y)
    for (int x = (y + 1) % 2; x < h.width; x += 2)
      for (int c = 0; c < 3; ++c) {
        squares += std::pow(double(back.At(x, y, c)) - h.At(x, y, c), 2);
        ++count;
      }
  return SlowPsnr(squares, count);
}

void ExpectSameScore(double score, double reference) {
  if (std::isinf(reference))
    EXPECT_TRUE(std::isinf(score)) << score;
  else
    EXPECT_NEAR(score, reference, 1e-9);
}

class Scores : public testing::TestWithParam<TToneBand> {};

TEST_P(Scores, EqualTheSlowReferenceAndTheBasisGivesTheSame) {
  const TToneBand band = GetParam();
  const TSynthesis s = MakeSynthesis(37, 23, band, 21);
  TBitmap v, h;
  FillBitmap(v, s.visible);
  FillBitmap(h, s.hidden);
  const double visible = VisiblePsnr(s.result, v);
  const std::optional<double> hidden = HiddenPsnr(s.result, h, band);
  ASSERT_TRUE(hidden.has_value());
  const TPlane back = ViewPlane(s.result, TRevealView::rvHidden, band);
  ExpectSameScore(visible, SlowVisible(PlaneOf(s.result), s.visible));
  ExpectSameScore(*hidden, SlowHidden(back, s.hidden));

  const TScoreBasis basis(v, h);
  EXPECT_DOUBLE_EQ(basis.VisiblePsnr(band), visible);
  EXPECT_DOUBLE_EQ(*basis.HiddenPsnr(band), *hidden);
  EXPECT_TRUE(IsSynthesisOf(s.result, v, h, band));
}

INSTANTIATE_TEST_SUITE_P(Bands, Scores,
                         testing::Values(TToneBand{128, 127}, TToneBand{128, 128},
                                         TToneBand{230, 25}, TToneBand{0, 0}, TToneBand{10, 10},
                                         TToneBand{64, 20}, TToneBand{255, 0}, TToneBand{129, 126}),
                         [](const auto& info) {
                           return "A" + std::to_string(info.param.average) + "C" +
                                  std::to_string(info.param.contrast);
                         });

TEST(Scores, TheBasisFollowsEveryBandOfTheSliders) {
  const TSynthesis s = MakeSynthesis(20, 15, {128, 127}, 4);
  TBitmap v, h;
  FillBitmap(v, s.visible);
  FillBitmap(h, s.hidden);
  const TScoreBasis basis(v, h);
  for (int a = 0; a <= 255; a += 17)
    for (int c = 0; c <= ContrastLimit(a); c += 11) {
      TBitmap r;
      Synthesize(r, v, h, a, c);
      ASSERT_DOUBLE_EQ(basis.VisiblePsnr({a, c}), VisiblePsnr(r, v)) << a << " " << c;
      ASSERT_DOUBLE_EQ(*basis.HiddenPsnr({a, c}), *HiddenPsnr(r, h, {a, c})) << a << " " << c;
    }
}

TEST(Scores, IdenticalPicturesScoreInfinityAndTheUnmappedPreviewComesBackExactly) {
  const TSynthesis s = MakeSynthesis(10, 10, {128, 127});
  TBitmap v, h, preview;
  FillBitmap(v, s.visible);
  FillBitmap(h, s.hidden);
  EXPECT_TRUE(std::isinf(VisiblePsnr(v, v)));
  ComposeCheckerboard(preview, v, h);
  EXPECT_TRUE(std::isinf(*HiddenPsnr(preview, h, kIdentityBand)));
  EXPECT_TRUE(IsSynthesisOf(preview, v, h, kIdentityBand));
  EXPECT_FALSE(IsSynthesisOf(preview, v, h, {128, 127}));
  EXPECT_FALSE(IsSynthesisOf(s.result, h, v, {128, 127}));
}

TEST(Scores, APictureWithoutOddCellsHasNoHiddenScoreAndSizesMustAgree) {
  const TSynthesis one = MakeSynthesis(1, 1, {128, 127});
  TBitmap h;
  FillBitmap(h, one.hidden);
  EXPECT_FALSE(HiddenPsnr(one.result, h, {128, 127}).has_value());
  EXPECT_FALSE(TScoreBasis(h, h).HiddenPsnr({128, 127}).has_value());
  const TSynthesis s = MakeSynthesis(6, 4, {128, 127});
  EXPECT_THROW(VisiblePsnr(s.result, h), EInvalidGraphicOperation);
  // Fitted to the result's size first, as the command does.
  TBitmap fitted;
  FitToResult(s.result, h, fitted);
  EXPECT_EQ(fitted.Width(), 6);
  EXPECT_EQ(fitted.Height(), 4);
  EXPECT_NO_THROW(VisiblePsnr(s.result, fitted));
}

}  // namespace

TEST(ScoreWords, EachFigureFallsIntoTheBandThatStartsAtOrBelowIt) {
  // The bands' starts belong to them; just below a start is the band beneath.
  using TWords = std::function<std::string(double)>;
  const std::vector<std::pair<std::span<const TScoreBand>, TWords>> scores = {
      {VisibleScoreBands(), [](double p) { return VisibleScoreWords(p); }},
      {HiddenScoreBands(), [](double p) { return HiddenScoreWords(p); }}};
  for (const auto& [bands, words] : scores) {
    ASSERT_GE(bands.size(), 3u);
    for (size_t i = 0; i + 1 < bands.size(); ++i) {
      EXPECT_GT(bands[i].from_db, bands[i + 1].from_db);
      EXPECT_EQ(words(bands[i].from_db), bands[i].words);
      EXPECT_EQ(words(std::nextafter(bands[i].from_db, 0.0)), bands[i + 1].words);
    }
    EXPECT_EQ(words(-5), bands.back().words);
  }
  EXPECT_EQ(VisibleScoreWords(std::numeric_limits<double>::infinity()),
            VisibleScoreBands().front().words);
  EXPECT_EQ(HiddenScoreWords(std::numeric_limits<double>::infinity()), "it comes back exactly");
  EXPECT_EQ(HiddenScoreWords(std::nullopt), "there are no hidden cells to get it back from");
  // The demo's band (A 24, C 24) brings the cat back nearly exactly; C 0 hardly at all.
  EXPECT_EQ(HiddenScoreWords(44.3), "it comes back nearly exactly");
  EXPECT_EQ(HiddenScoreWords(15.26), "it hardly comes back");
}

TEST(ScoreWords, TheToolTipListsEveryThresholdWithTheDifferenceItStandsFor) {
  const std::string text = ScoreBandsText();
  // 30 dB over all cells is an RMS difference of 255 / 10^1.5 * sqrt(2) in the odd cells;
  // 40 dB in the hidden cells 255 / 100.
  for (const char* line :
       {"30 dB and up (RMS difference up to 11.4 levels): the hidden picture does not show",
        "below 12 dB: the hidden cells lie over the visible picture as a strong veil",
        "40 dB and up (RMS difference up to 2.5 levels): it comes back nearly exactly",
        "below 20 dB: it hardly comes back"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
}
