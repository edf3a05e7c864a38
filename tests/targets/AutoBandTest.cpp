// The automatic band: after a real JPEG q85 4:2:0 round trip (Pillow) its hidden picture is
// within 0.5 dB of the best band of an exhaustive grid (steps of 4) that meets the same
// visible bound; without a target it is the best band there is; the scores it reports are
// those of the synthesis it names; a bound no band meets is refused; and the steps a target
// takes of an upload follow its keep and fit steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compose/ApplyInnerTone.h"
#include "reveal/Band.h"
#include "targets/AutoBand.h"
#include "targets/Catalogue.h"
#include "targets/Codecs.h"
#include "targets/Resample.h"
#include "tests/targets/TargetsTestSupport.h"

namespace {

// Small pairs of different sizes and both ways round: the grid below runs each band.
void SmallPair(int which, TPair& pair) {
  const int sizes[3][2] = {{48, 40}, {40, 48}, {64, 24}};
  LoadPair(pair, sizes[which][0], sizes[which][1]);
  if (which == 1) {
    TBitmap visible;
    visible.Assign(&pair.visible);
    pair.visible.Assign(&pair.hidden);
    pair.hidden.Assign(&visible);
  }
}

double Score(const std::optional<double>& psnr) {
  return psnr.value_or(-1);
}

TEST(AutoBand, AfterPillowsJpegIsWithinHalfADecibelOfTheBestGridBand) {
  const TTargetRecipe recipe = ParseTargetRecipe("jpeg:85:420");
  struct TCase {
    TPair pair;
    TToneBand chosen;
    size_t chosen_job = 0;
    std::deque<std::pair<TToneBand, size_t>> grid;  // bands meeting the bound, their jobs
    std::deque<TBitmap> results;
  };
  std::deque<TCase> cases;
  TOracleBatch oracles;
  for (int which = 0; which < 3; ++which) {
    TCase& c = cases.emplace_back();
    SmallPair(which, c.pair);
    // The bound 0.5 dB below the most any band of the grid keeps: a bound that limits the
    // contrast, and a grid small enough to run through Pillow.
    std::vector<std::pair<TToneBand, double>> visible;
    double most = 0;
    for (int a = 0; a <= 255; a += 4)
      for (int contrast = 0; contrast <= ContrastLimit(a); contrast += 4) {
        TBitmap r;
        Combine(c.pair, {a, contrast}, r);
        visible.emplace_back(TToneBand{a, contrast}, VisiblePsnr(r, c.pair.visible));
        most = std::max(most, visible.back().second);
      }
    TBandGoal goal;
    goal.pipeline = &recipe.full;
    goal.min_visible = most - 0.5;
    const TChosenBand chosen = ChooseBand(c.pair.visible, c.pair.hidden, goal);
    c.chosen = chosen.band;
    EXPECT_TRUE(IsSliderBand(chosen.band));
    TBitmap& result = c.results.emplace_back();
    Combine(c.pair, chosen.band, result);
    EXPECT_GE(VisiblePsnr(result, c.pair.visible), goal.min_visible) << which;
    c.chosen_job = oracles.Add("pil-jpeg 85 2", result);
    for (const auto& [band, psnr] : visible) {
      if (psnr < goal.min_visible) continue;
      TBitmap& r = c.results.emplace_back();
      Combine(c.pair, band, r);
      c.grid.emplace_back(band, oracles.Add("pil-jpeg 85 2", r));
    }
    ASSERT_FALSE(c.grid.empty()) << which;
  }
  RUN_ORACLES_OR_SKIP(oracles);
  for (size_t i = 0; i < cases.size(); ++i) {
    const TCase& c = cases[i];
    double best = -1;
    TToneBand best_band;
    for (const auto& [band, job] : c.grid) {
      const double s = Score(HiddenPsnr(oracles.Result(job), c.pair.hidden, band));
      if (s > best) best = s, best_band = band;
    }
    const double chosen = Score(HiddenPsnr(oracles.Result(c.chosen_job), c.pair.hidden, c.chosen));
    EXPECT_GE(chosen, best - 0.5) << "pair " << i << ": chosen " << c.chosen.average << "/"
                                  << c.chosen.contrast << ", grid best " << best_band.average << "/"
                                  << best_band.contrast;
  }
}

TEST(AutoBand, WithoutTargetIsTheBestBandMeetingTheBoundAndReportsItsOwnScores) {
  TPair pair;
  LoadPair(pair, 60, 44);
  for (const double bound : {kDefaultMinVisiblePsnr, 14.0}) {
    TBandGoal goal;
    goal.min_visible = bound;
    const TChosenBand chosen = ChooseBand(pair.visible, pair.hidden, goal);
    EXPECT_TRUE(chosen.lossless);
    TBitmap result;
    Combine(pair, chosen.band, result);
    // The reported scores are those of the picture the band makes.
    EXPECT_DOUBLE_EQ(chosen.visible_psnr, VisiblePsnr(result, pair.visible)) << bound;
    EXPECT_DOUBLE_EQ(Score(chosen.hidden_psnr), Score(HiddenPsnr(result, pair.hidden, chosen.band)))
        << bound;
    EXPECT_GE(chosen.visible_psnr, bound);
    // No band of the sliders that meets the bound brings the hidden picture back better.
    for (int a = 0; a <= 255; a += 3)
      for (int c = 0; c <= ContrastLimit(a); c += 3) {
        TBitmap r;
        Combine(pair, {a, c}, r);
        if (VisiblePsnr(r, pair.visible) < bound) continue;
        EXPECT_LE(Score(HiddenPsnr(r, pair.hidden, {a, c})), Score(chosen.hidden_psnr))
            << bound << ": " << a << "/" << c;
      }
  }
}

TEST(AutoBand, ReportsTheScoresOfTheTargetAtFullSizeAndRefusesAnUnmetBound) {
  // Larger than the reduced copy: the search runs on tiles, the scores at full size.
  TPair pair;
  LoadPair(pair, 600, 480);
  const TTargetRecipe recipe = ParseTargetRecipe("jpeg:85:420");
  TBandGoal goal;
  goal.pipeline = &recipe.full;
  const TChosenBand chosen = ChooseBand(pair.visible, pair.hidden, goal);
  EXPECT_TRUE(chosen.searched_reduced);
  EXPECT_FALSE(chosen.lossless);
  TBitmap result, after;
  Combine(pair, chosen.band, result);
  int64_t bytes = 0;
  JpegRoundTrip(result, {85, true}, after, bytes);
  EXPECT_DOUBLE_EQ(Score(chosen.hidden_psnr), Score(HiddenPsnr(after, pair.hidden, chosen.band)));
  EXPECT_DOUBLE_EQ(chosen.visible_psnr, VisiblePsnr(result, pair.visible));

  goal.min_visible = 60;
  EXPECT_THROW(ChooseBand(pair.visible, pair.hidden, goal), EBandBound);
  goal.min_visible = kDefaultMinVisiblePsnr;
  goal.progress = [](int, int) { return false; };
  EXPECT_THROW(ChooseBand(pair.visible, pair.hidden, goal), EBandStopped);
}

TEST(ActingSteps, FollowTheKeepAndFitStepsForTheUploadsSizeAndKind) {
  const TTargetRecipe microblog = ResolveTarget("microblog").recipe;
  bool shrinks = true, kept = false;
  // A palette PNG within 4096 x 4096 is kept; a full-colour one over 900 x 900 is not.
  EXPECT_TRUE(
      ActingSteps(microblog.full, 4000, 3000, TUploadKind::ukPalettePng, &shrinks, &kept).empty());
  EXPECT_TRUE(kept);
  EXPECT_FALSE(shrinks);
  const TPipeline png =
      ActingSteps(microblog.full, 4000, 3000, TUploadKind::ukPng, &shrinks, &kept);
  ASSERT_EQ(png.size(), 1u);
  EXPECT_EQ(png[0].kind, TStepKind::skJpeg);
  EXPECT_FALSE(kept);
  EXPECT_TRUE(ActingSteps(microblog.full, 900, 600, TUploadKind::ukPng).empty());
  // A fit step acts only where it shrinks.
  const TTargetRecipe fit = ParseTargetRecipe("bytes:100,fit:1280x1280:lanczos3,webp:80");
  EXPECT_EQ(ActingSteps(fit.full, 1280, 720, TUploadKind::ukPng, &shrinks).size(), 1u);
  EXPECT_FALSE(shrinks);
  EXPECT_EQ(ActingSteps(fit.full, 1281, 720, TUploadKind::ukPng, &shrinks).size(), 2u);
  EXPECT_TRUE(shrinks);
}

}  // namespace
