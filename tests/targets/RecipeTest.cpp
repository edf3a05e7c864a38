// Recipes: every step read as written and written back, the defaults filled in, and
// every malformed string refused with the step named.
#include <gtest/gtest.h>

#include "targets/Recipe.h"
#include "targets/Resample.h"

namespace {

TEST(TargetRecipe, ReadsEveryStepAndWritesItBackTheSame) {
  const char* const kCanonical[] = {
      "",
      "jpeg:85:420",
      "jpeg:1:444,jpeg:100:420",
      "webp:0,webp:100:sharp,webp:lossless",
      "fit:250x250:box,fit:1x65535:bilinear,fit:7x9:bicubic,fit:640x360:lanczos3,fit:2x2:point",
      "|fit:800x600:lanczos3:down",
      "pixels:230400:lanczos3",
      "bytes:16777216,keep:palette:4096x4096:5242880,keep:png:900x900,strip,jpeg:85:420",
      "|fit:250x250:box,jpeg:50:420",
      "strip,pixels:8294400:lanczos3|pixels:230400:lanczos3",
  };
  for (const char* text : kCanonical) {
    SCOPED_TRACE(text);
    EXPECT_EQ(RecipeText(ParseTargetRecipe(text)), text);
  }
  // The chroma defaults to 4:2:0; the thumbnail pipeline is only there after '|'.
  const TTargetRecipe recipe = ParseTargetRecipe("jpeg:85|fit:20x10:point");
  ASSERT_EQ(recipe.full.size(), 1u);
  EXPECT_TRUE(recipe.full[0].subsample420);
  ASSERT_TRUE(recipe.thumbnail);
  EXPECT_EQ((*recipe.thumbnail)[0].width, 20);
  EXPECT_EQ((*recipe.thumbnail)[0].filter, TFitFilter::ffPoint);
  EXPECT_FALSE(ParseTargetRecipe("jpeg:85").thumbnail);
}

TEST(TargetRecipe, RefusesMalformedStringsNamingWhatIsWrong) {
  const std::pair<const char*, const char*> kBad[] = {
      {"jpeg", "wrong number of parts"},
      {"jpeg:0", "from 1 to 100"},
      {"jpeg:101", "from 1 to 100"},
      {"jpeg:85:422", "420 or 444"},
      {"jpeg:+85", "whole number"},
      {"jpeg: 85", "whole number"},
      {"webp:lossless:sharp", "wrong number of parts"},
      {"webp:80:blur", "sharp"},
      {"fit:250:box", "WxH"},
      {"fit:0x10:box", "from 1 to 65535"},
      {"fit:10x10:nearest", "box, bilinear, bicubic, lanczos3 or point"},
      {"fit:10x10:box:up", "rounding must be down"},
      {"pixels:0:box", "from 1"},
      {"bytes:99999999999999999999", "whole number"},
      {"keep:gif:10x10", "png or palette"},
      {"jpeg:85,bytes:100", "start of the full picture"},
      {"|bytes:100", "start of the full picture"},
      {"|strip", "full picture's pipeline"},
      {"jpeg:85,,fit:2x2:box", "empty step"},
      {"jpeg:85,", "empty step"},
      {"a|b|c", "more than one '|'"},
      {"jpeg:85|", "empty thumbnail"},
      {"png", "unknown step"},
  };
  for (const auto& [text, why] : kBad) {
    SCOPED_TRACE(text);
    try {
      ParseTargetRecipe(text);
      ADD_FAILURE() << "accepted";
    } catch (const ETargetRecipe& e) {
      EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
    }
  }
}

// The size a fit step gives: the limiting side the box's, the other rounded half up or,
// where a site computes it in whole numbers, down; never enlarged, never below 1.
TEST(FitSize, RoundsTheOtherSideHalfUpOrDownAndNeverEnlarges) {
  EXPECT_EQ(FitSize(4000, 3001, 800, 600), (TViewSize{800, 600}));  // 799.73 rounds up
  EXPECT_EQ(FitSize(4000, 3001, 800, 600, true), (TViewSize{799, 600}));
  EXPECT_EQ(FitSize(3001, 4000, 600, 800, true), (TViewSize{600, 799}));  // the width limits
  EXPECT_EQ(FitSize(1000, 500, 250, 250), (TViewSize{250, 125}));         // the width limits
  EXPECT_EQ(FitSize(200, 100, 250, 250), (TViewSize{200, 100}));          // fits: kept
  EXPECT_EQ(FitSize(100000, 1, 100, 100, true), (TViewSize{100, 1}));     // at least 1
  const TStep fit = ParseTargetRecipe("fit:800x600:lanczos3:down").full[0];
  EXPECT_EQ(StepSize(fit, 4000, 3001), (TViewSize{799, 600}));
  // A pixel budget: 1200 x 800 into 230,400 pixels is libvips' 588 x 392.
  EXPECT_EQ(StepSize(ParseTargetRecipe("pixels:230400:lanczos3").full[0], 1200, 800),
            (TViewSize{588, 392}));
  EXPECT_EQ(StepSize(ParseTargetRecipe("jpeg:85").full[0], 1200, 800), (TViewSize{1200, 800}));
}

}  // namespace
