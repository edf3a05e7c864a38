// The window's workflow without a window: slots and flags, the sliders with the contrast
// limit and its nested change, the x, y edits, loading and refitting.
#include <gtest/gtest.h>

#include <random>

#include "ReferenceKernels.h"
#include "TestPictures.h"
#include "base/Exceptions.h"
#include "base/Messages.h"
#include "compose/ApplyInnerTone.h"
#include "compose/Workflow.h"

namespace {

TWorkflow::TLoader Load(const TPlane& plane) {
  return [plane](TBitmap& slot) { FillBitmap(slot, plane); };
}

// Loads the visible and then the hidden picture, as the two buttons do; whether both loaded.
bool LoadBoth(TWorkflow& w, const TPlane& visible, const TPlane& hidden) {
  return w.LoadExternalImage(Load(visible)) && w.LoadInnerImage(Load(hidden));
}

TWorkflow::TLoader Failing() {
  return [](TBitmap&) -> void { throw EInvalidGraphic(SInvalidBitmap); };
}

// Records what the model asked a front end to show, and the sliders at that moment.
struct TRecorder {
  std::vector<TSlot> shown;
  std::vector<std::pair<int, int>> result_sliders;  // (A, C) each time the result is shown
  int controls = 0;
  explicit TRecorder(TWorkflow& w) {
    w.OnShow = [this, &w](TSlot slot) {
      shown.push_back(slot);
      if (slot == TSlot::slResult) result_sliders.emplace_back(w.Average(), w.Contrast());
    };
    w.OnControlsChanged = [this] { ++controls; };
  }
};

// Even cells from `visible`, odd cells from `hidden`, mapped with `tone` when given.
void ExpectCells(const TWorkflow& w, const TPlane& visible, const TPlane& hidden,
                 const TToneTable* tone) {
  const TPlane r = PlaneOf(w.ResultBitmap());
  ASSERT_EQ(r.width, visible.width);
  ASSERT_EQ(r.height, visible.height);
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x)
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_EQ(r.At(x, y, ch), (x + y) % 2 == 0 ? visible.At(x, y, ch)
                                  : tone           ? tone->map[hidden.At(x, y, ch)]
                                                   : hidden.At(x, y, ch))
            << x << "," << y;
}

void ExpectSynthesis(const TWorkflow& w, const TPlane& visible, const TPlane& hidden, int average,
                     int contrast) {
  SCOPED_TRACE(testing::Message() << "A = " << average << ", C = " << contrast);
  const TToneTable tone(average, contrast);
  ExpectCells(w, visible, hidden, &tone);
}

TEST(Workflow, StartsEmptyWithTheFormsSliders) {
  TWorkflow w;
  EXPECT_TRUE(w.ExternalBitmap().Empty());
  EXPECT_TRUE(w.InnerBitmap().Empty());
  EXPECT_TRUE(w.ResultBitmap().Empty());
  EXPECT_FALSE(w.ExternalLoaded());
  EXPECT_FALSE(w.InnerLoaded());
  EXPECT_EQ(w.Average(), 128);
  EXPECT_EQ(w.Contrast(), 127);
  EXPECT_EQ(w.ContrastMax(), 128);
  EXPECT_EQ(w.MaxLabel(), "255");  // the label does not show the maximum until A moves
  EXPECT_EQ(w.XEditText(), "0");
  EXPECT_EQ(w.YEditText(), "0");
}

TEST(Workflow, SlotFactoryMakesTheVisibleAndHiddenSlots) {
  struct TMarked : TBitmap {};
  int made = 0;
  TWorkflow w([&] {
    ++made;
    return std::make_unique<TMarked>();
  });
  EXPECT_EQ(made, 2);
  EXPECT_NE(dynamic_cast<TMarked*>(&w.ExternalBitmap()), nullptr);
  EXPECT_NE(dynamic_cast<TMarked*>(&w.InnerBitmap()), nullptr);
  EXPECT_EQ(dynamic_cast<TMarked*>(&w.ResultBitmap()), nullptr);
}

TEST(Workflow, LoadingFillsSlotsEditsAndThePreview) {
  std::mt19937 random(31);
  const TPlane visible = RandomPlane(9, 7, random), hidden = RandomPlane(5, 4, random);
  TWorkflow w;
  TRecorder rec(w);
  EXPECT_TRUE(w.LoadExternalImage(Load(visible)));
  EXPECT_TRUE(w.ExternalLoaded());
  EXPECT_EQ(w.XEditText(), "9");
  EXPECT_EQ(w.YEditText(), "7");
  EXPECT_TRUE(w.LoadInnerImage(Load(hidden)));
  EXPECT_TRUE(w.InnerLoaded());
  // The hidden picture is fitted to the visible one and the preview composed untouched.
  const TPlane fitted = ReferenceResize(hidden, 9, 7);
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), fitted);
  ExpectCells(w, visible, fitted, nullptr);
}

TEST(Workflow, FailedOrCancelledLoadsAreSilent) {
  std::mt19937 random(32);
  const TPlane visible = RandomPlane(6, 4, random);
  TWorkflow w;
  EXPECT_FALSE(w.LoadExternalImage(Failing()));
  EXPECT_FALSE(w.LoadExternalImage(nullptr));
  EXPECT_FALSE(w.ExternalLoaded());
  EXPECT_EQ(w.XEditText(), "0");
  // A hidden picture before any visible one: the 0 x 0 fit leaves it alone, no preview.
  const TPlane hidden = RandomPlane(5, 3, random);
  EXPECT_NO_THROW(w.LoadInnerImage(Load(hidden)));
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), hidden);
  EXPECT_TRUE(w.ResultBitmap().Empty());

  ASSERT_TRUE(w.LoadExternalImage(Load(visible)));
  // A failed visible load keeps the picture, the edits and the flag.
  w.SetXEditText("3");
  EXPECT_FALSE(w.LoadExternalImage(Failing()));
  EXPECT_EQ(PlaneOf(w.ExternalBitmap()), visible);
  EXPECT_EQ(w.XEditText(), "3");
  EXPECT_TRUE(w.ExternalLoaded());
}

TEST(Workflow, AFailedLoadPutsTheSlotBackAndSaysWhy) {
  std::mt19937 random(41);
  const TPlane visible = RandomPlane(6, 4, random), hidden = RandomPlane(5, 5, random);
  TWorkflow w;
  ASSERT_TRUE(LoadBoth(w, visible, hidden));
  const TPlane fitted = PlaneOf(w.InnerBitmap());
  TRecorder rec(w);
  // A loader that changes the slot and then gives up: the slot is as it was.
  const auto half_done = [&random](TBitmap& slot) {
    FillBitmap(slot, RandomPlane(9, 9, random));
    throw EInvalidGraphic(SInvalidBitmap, "cut short");
  };
  // One that gives an empty picture, as the BMP reader does for an empty file.
  const auto nothing = [](TBitmap& slot) { slot.Assign(nullptr); };
  std::string failure = "before";
  EXPECT_FALSE(w.LoadExternalImage(half_done, &failure));
  EXPECT_EQ(failure,
            std::string(SInvalidBitmap.text) + " [" + SInvalidBitmap.sense + "]: cut short");
  EXPECT_FALSE(w.LoadExternalImage(nothing, &failure));
  EXPECT_EQ(failure, SLoadedNoPicture.text);
  EXPECT_EQ(PlaneOf(w.ExternalBitmap()), visible);
  EXPECT_EQ(w.XEditText(), "6");
  EXPECT_TRUE(rec.shown.empty());
  // The hidden picture likewise; the fit and the preview still run, from the old picture.
  EXPECT_FALSE(w.LoadInnerImage(nothing, &failure));
  EXPECT_EQ(failure, SLoadedNoPicture.text);
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), fitted);
  ExpectCells(w, visible, fitted, nullptr);
  // Success empties the reason.
  EXPECT_TRUE(w.LoadExternalImage(Load(visible), &failure));
  EXPECT_EQ(failure, "");

  // An empty picture as the first visible picture: not loaded, nothing set.
  TWorkflow fresh;
  EXPECT_FALSE(fresh.LoadExternalImage(nothing, &failure));
  EXPECT_FALSE(fresh.ExternalLoaded());
  EXPECT_EQ(fresh.XEditText(), "0");
}

TEST(Workflow, CancellingTheHiddenLoadStillRefitsAndRecomposes) {
  std::mt19937 random(33);
  const TPlane hidden = RandomPlane(8, 8, random);
  TWorkflow w;
  ASSERT_TRUE(LoadBoth(w, RandomPlane(10, 6, random), hidden));
  const TPlane fitted = PlaneOf(w.InnerBitmap());
  const TPlane second = RandomPlane(4, 5, random);
  ASSERT_TRUE(w.LoadExternalImage(Load(second)));
  EXPECT_FALSE(w.LoadInnerImage(nullptr));
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), ReferenceResize(fitted, 4, 5));
  EXPECT_EQ(w.ResultBitmap().Width(), 4);
  EXPECT_EQ(w.ResultBitmap().Height(), 5);
}

TEST(Workflow, CancellingTheFirstHiddenLoadEndsWithTheScanLineError) {
  std::mt19937 random(34);
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(Load(RandomPlane(4, 4, random))));
  try {
    w.LoadInnerImage(nullptr);
    FAIL() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    // The class library's text; its sense says what to do.
    EXPECT_EQ(e.Message(), SScanLine);
    EXPECT_EQ(e.Sense(), SScanLineNoHiddenPicture.sense);
    EXPECT_NE(e.Sense().find("load a hidden picture first"), std::string::npos);
  }
  // The same for a hidden load that failed, and for Synthesize.
  EXPECT_THROW(w.LoadInnerImage(Failing()), EInvalidGraphicOperation);
  EXPECT_FALSE(w.InnerLoaded());
  try {
    w.Synthesize();
    FAIL() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Sense(), SScanLineNoHiddenPicture.sense);
  }
}

TEST(Workflow, AverageSliderLimitsTheContrastWithANestedChange) {
  std::mt19937 random(35);
  const TPlane visible = RandomPlane(7, 5, random), hidden = RandomPlane(7, 5, random);
  TWorkflow w;
  ASSERT_TRUE(LoadBoth(w, visible, hidden));
  TRecorder rec(w);
  w.AverageTrackBarChange(200);
  EXPECT_EQ(w.MaxLabel(), "55");
  EXPECT_EQ(w.ContrastMax(), 55);
  EXPECT_EQ(w.Contrast(), 55);
  // The contrast handler ran first, nested, with the new A and the lowered C; then the
  // average handler finished with the same values.
  EXPECT_EQ(rec.result_sliders, (std::vector<std::pair<int, int>>{{200, 55}, {200, 55}}));
  ExpectSynthesis(w, visible, hidden, 200, 55);
  // Moving back does not raise C again.
  rec.result_sliders.clear();
  w.AverageTrackBarChange(128);
  EXPECT_EQ(w.ContrastMax(), 128);
  EXPECT_EQ(w.Contrast(), 55);
  EXPECT_EQ(w.MaxLabel(), "128");
  EXPECT_EQ(rec.result_sliders.size(), 1u);
}

TEST(Workflow, ContrastLimitAtTheEndsAndAround128) {
  std::mt19937 random(36);
  const TPlane visible = RandomPlane(4, 3, random);
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(Load(visible)));
  ASSERT_TRUE(w.LoadInnerImage(Load(RandomPlane(4, 3, random))));
  for (const auto& [a, limit] : {std::pair{128, 128}, {127, 127}, {129, 126}}) {
    w.AverageTrackBarChange(a);
    w.MinMaxTrackBarChange(255);  // the slider stops at its maximum
    EXPECT_EQ(w.Contrast(), limit) << "A = " << a;
  }
  for (int a : {0, 255}) {
    w.AverageTrackBarChange(a);
    EXPECT_EQ(w.Contrast(), 0);
    ExpectSynthesis(w, visible, PlaneOf(w.InnerBitmap()), a, 0);  // odd cells all (a, a, a)
  }
}

TEST(Workflow, OddCellsDependOnlyOnTheFinalSliders) {
  std::mt19937 random(37);
  const TPlane visible = RandomPlane(11, 8, random), hidden = RandomPlane(11, 8, random);
  TWorkflow w;
  ASSERT_TRUE(LoadBoth(w, visible, hidden));
  w.Synthesize();
  const TPlane first = PlaneOf(w.ResultBitmap());
  for (int step = 0; step < 60; ++step) {
    if (random() % 2)
      w.AverageTrackBarChange(static_cast<int>(random() % 256));
    else
      w.MinMaxTrackBarChange(static_cast<int>(random() % 129));
    ExpectSynthesis(w, visible, hidden, w.Average(), w.Contrast());
  }
  // Back to the start: the same bytes as the first synthesis, by slider and by Synthesize.
  w.AverageTrackBarChange(128);
  w.MinMaxTrackBarChange(127);
  EXPECT_EQ(PlaneOf(w.ResultBitmap()), first);
  w.Synthesize();
  EXPECT_EQ(PlaneOf(w.ResultBitmap()), first);
}

TEST(Workflow, SlidersBeforeAnyPictureDoNothing) {
  TWorkflow w;
  EXPECT_NO_THROW(w.AverageTrackBarChange(40));
  EXPECT_NO_THROW(w.MinMaxTrackBarChange(10));
  EXPECT_TRUE(w.ResultBitmap().Empty());
  EXPECT_EQ(w.Contrast(), 10);
}

TEST(Workflow, XEditKeepsTheAspectRatioAndRefitsTheHiddenPicture) {
  std::mt19937 random(38);
  const TPlane visible =
      PlaneFrom(640, 480, [](int x, int y, int ch) { return (x + 2 * y + ch) % 256; });
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(Load(visible)));
  ASSERT_TRUE(w.LoadInnerImage(Load(RandomPlane(50, 40, random))));
  TRecorder rec(w);
  w.SetXEditText("320");
  w.XEditChange();
  EXPECT_EQ(w.YEditText(), "240");
  EXPECT_EQ(PlaneOf(w.ExternalBitmap()), ReferenceResize(visible, 320, 240));
  EXPECT_EQ(w.InnerBitmap().Width(), 320);
  EXPECT_EQ(w.InnerBitmap().Height(), 240);
  EXPECT_EQ(rec.shown, (std::vector<TSlot>{TSlot::slExternal, TSlot::slInner}));
  // The result is not resized by the edits.
  EXPECT_EQ(w.ResultBitmap().Width(), 640);
  // Leaving YEdit is the mirror image: X from XEdit's text and the current height.
  w.SetYEditText("120");
  w.YEditChange();
  EXPECT_EQ(w.XEditText(), "160");
  EXPECT_EQ(w.ExternalBitmap().Width(), 160);
  EXPECT_EQ(w.InnerBitmap().Height(), 120);
  // Truncated, not rounded: 99 * 160 / 120 = 132.
  w.SetYEditText("99");
  w.YEditChange();
  EXPECT_EQ(w.XEditText(), "132");
}

TEST(Workflow, BadEditTextsChangeNothing) {
  std::mt19937 random(39);
  const TPlane visible = RandomPlane(20, 10, random);
  TWorkflow w;
  ASSERT_TRUE(w.LoadExternalImage(Load(visible)));
  TRecorder rec(w);
  const auto expect_unchanged = [&](const char* x, const char* y) {
    EXPECT_EQ(w.XEditText(), x);
    EXPECT_EQ(w.YEditText(), y);
    EXPECT_EQ(PlaneOf(w.ExternalBitmap()), visible);
    EXPECT_TRUE(rec.shown.empty());
  };
  w.SetXEditText("12a");
  EXPECT_THROW(w.XEditChange(), EConvertError);  // not an integer
  expect_unchanged("12a", "10");
  w.SetXEditText("10");
  w.SetYEditText("ten");
  EXPECT_THROW(w.XEditChange(), EConvertError);  // the partner is not a number
  expect_unchanged("10", "ten");
  w.SetYEditText("10");
  w.SetXEditText("0");  // would ask for 0 x 0
  EXPECT_THROW(w.XEditChange(), EInvalidGraphicOperation);
  expect_unchanged("0", "10");
  w.SetXEditText("-4");
  EXPECT_THROW(w.XEditChange(), EInvalidGraphicOperation);
  w.SetXEditText("1");  // 10 * 1 / 20 truncates to 0
  try {
    w.XEditChange();
    FAIL() << "no error";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "画像のサイズが不正です (1 x 0)");
  }
  expect_unchanged("1", "10");
  w.SetXEditText("5");
  w.SetYEditText("1e30");  // 1e30 * 5 / 20 is no integer at all
  EXPECT_THROW(w.XEditChange(), EInvalidOp);
  expect_unchanged("5", "1e30");
  w.SetYEditText("10");
  w.SetXEditText("2000000000");  // 10 * 2e9 / 20 = 1e9: fits an integer, too large a picture
  EXPECT_THROW(w.XEditChange(), EInvalidGraphic);
  EXPECT_EQ(PlaneOf(w.ExternalBitmap()), visible);
}

TEST(Workflow, ASizeThatCannotBeMadeChangesNeitherPicture) {
  std::mt19937 random(42);
  const TPlane visible = RandomPlane(20, 10, random), hidden = RandomPlane(7, 9, random);
  TWorkflow w;
  ASSERT_TRUE(LoadBoth(w, visible, hidden));
  w.Synthesize();
  const TPlane fitted = PlaneOf(w.InnerBitmap()), result = PlaneOf(w.ResultBitmap());
  TRecorder rec(w);
  // 1000000 x 500000 is beyond the limit of one picture (1000000 x 10, the width pass
  // alone, is not): neither picture changes, and the y edit shows its text again.
  w.SetXEditText("1000000");
  EXPECT_THROW(w.XEditChange(), EInvalidGraphic);
  EXPECT_EQ(PlaneOf(w.ExternalBitmap()), visible);
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), fitted);
  EXPECT_EQ(w.XEditText(), "1000000");
  EXPECT_EQ(w.YEditText(), "10");
  EXPECT_TRUE(rec.shown.empty());
  // The mirror image through the y edit.
  w.SetXEditText("20");
  w.SetYEditText("500000");
  EXPECT_THROW(w.YEditChange(), EInvalidGraphic);
  EXPECT_EQ(PlaneOf(w.ExternalBitmap()), visible);
  EXPECT_EQ(w.XEditText(), "20");
  // A synthesis afterwards has the pictures' old size.
  w.Synthesize();
  EXPECT_EQ(PlaneOf(w.ResultBitmap()), result);
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), fitted);
}

TEST(Workflow, EditsWithoutAVisiblePictureRaiseTheFloatingPointError) {
  TWorkflow w;
  TRecorder rec(w);
  w.SetXEditText("320");
  w.SetYEditText("240");
  try {
    w.XEditChange();  // 240 * 320 / 0
    FAIL() << "no error";
  } catch (const EZeroDivide& e) {
    EXPECT_EQ(e.Message(), SZeroDivide);
  }
  w.SetYEditText("0");
  EXPECT_THROW(w.XEditChange(), EInvalidOp);  // 0 * 320 / 0
  EXPECT_THROW(w.YEditChange(), EInvalidOp);  // 320 * 0 / 0
  EXPECT_EQ(w.XEditText(), "320");
  EXPECT_EQ(w.YEditText(), "0");
  EXPECT_TRUE(rec.shown.empty());
  EXPECT_EQ(rec.controls, 0);
}

TEST(Workflow, SizeFitAndSynthesizeRefitTheHiddenPicture) {
  std::mt19937 random(40);
  const TPlane hidden = RandomPlane(9, 9, random);
  TWorkflow w;
  ASSERT_TRUE(LoadBoth(w, RandomPlane(9, 9, random), hidden));
  const TPlane visible = RandomPlane(15, 4, random);
  ASSERT_TRUE(w.LoadExternalImage(Load(visible)));
  // Loading the visible picture does not refit the hidden one; Synthesize does.
  EXPECT_EQ(w.InnerBitmap().Width(), 9);
  TRecorder rec(w);
  w.Synthesize();
  const TPlane fitted = ReferenceResize(hidden, 15, 4);
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), fitted);
  EXPECT_EQ(rec.shown, (std::vector<TSlot>{TSlot::slInner, TSlot::slResult}));
  ExpectSynthesis(w, visible, fitted, 128, 127);
  // "Resize" fits the hidden picture to the visible one without touching the result.
  ASSERT_TRUE(w.LoadExternalImage(Load(RandomPlane(6, 6, random))));
  const TPlane result = PlaneOf(w.ResultBitmap());
  w.SizeFit();
  EXPECT_EQ(PlaneOf(w.InnerBitmap()), ReferenceResize(fitted, 6, 6));
  EXPECT_EQ(PlaneOf(w.ResultBitmap()), result);
}

}  // namespace
