// Choosing the band for a target: the average A and contrast C (within the limits the
// sliders keep) whose hidden picture comes back best after the target's full pipeline,
// scored as check scores it (hidden-psnr after the target), while the combined picture's
// own visible-psnr stays at or above a bound.
//
// The bound is on the combined picture as written, not after the target: how much the
// hidden picture shows in the normal view depends on the band alone (a same-size target
// changes both pictures alike), and a codec's own loss on the visible picture is not the
// band's to make up. The visible scores of every band come exactly from a few sums over
// the odd cells (the scores are quadratic in A for each C), so the bound is exact at full
// size.
//
// A target that keeps every pixel scores every band exactly the same way. A target that
// re-encodes the picture is run on a reduced copy: tiles of 64 x 64 pixels spread over the
// picture, cut on the 16-pixel grid of JPEG's blocks (each block then meets the codec as
// in the full picture), together about a quarter of a megapixel. The search tries a few
// contrasts near the widest the bound allows, with several averages each, then refines
// the best in steps of 4, 2 and 1; the band it ends with is scored once more at full size.
#pragma once

#include <functional>
#include <optional>

#include "base/Exceptions.h"
#include "reveal/Band.h"
#include "targets/Pipeline.h"

class TBitmap;

// The default bound on visible-psnr in dB: the highest round figure that every bundled
// pair can meet (the most any band keeps is 12.95 dB for astronaut over rocket, 14 to 19 dB
// for the others; the default band 128/127 gives 10.7 to 13.7 dB). Looking at their normal
// views (2 x 2 means) shows that visible-psnr cannot keep the hidden picture faint: it
// measures mostly the grey veil the band's average lays over the visible picture, and on
// pairs whose pictures are alike in tone it even rises with the contrast (coffee over
// chelsea: 13.34 dB at 128/16, where the cat does not show, 13.58 dB at 128/127, where it
// shows plainly).
inline constexpr double kDefaultMinVisiblePsnr = 12.5;

struct TBandGoal {
  // The target's full pipeline; null: the lossless case (the file as written is what counts).
  const TPipeline* pipeline = nullptr;
  // The form uploaded (its keep steps look at it).
  TUploadKind upload = TUploadKind::ukPng;
  // What the written file holds of a result (a palette form's reduction, in place); null:
  // the result itself.
  std::function<void(TBitmap&)> form;
  double min_visible = kDefaultMinVisiblePsnr;
  // Called between the bands tried after the target with how many were tried and about how
  // many there will be; false ends the search (ChooseBand then raises EBandStopped).
  std::function<bool(int done, int total)> progress;
};

enum class TBandLimit {
  blVisible,  // the visible bound stopped a wider band
  blSlider,   // every band the sliders allow meets the bound: the widest was taken
};

struct TChosenBand {
  TToneBand band;
  double visible_psnr = 0;            // the combined picture's, exact at full size
  std::optional<double> hidden_psnr;  // after the target, at full size; none without odd cells
  bool lossless = true;               // the target keeps the file's pixels: scores exact
  bool searched_reduced = false;      // the search ran on a reduced copy
  bool shrinks = false;               // the target shrinks the picture at this size
  TBandLimit limit = TBandLimit::blVisible;
  int tried = 0;  // bands run through the target
};

// The band for the pictures (24 bits, of one size, not empty). Raises EBandBound, naming
// the most visible-psnr any band reaches, when no band meets the bound.
LV_DECLARE_EXCEPTION(EBandBound, EInvalidGraphicOperation);
LV_DECLARE_EXCEPTION(EBandStopped, EInvalidGraphicOperation);
TChosenBand ChooseBand(const TBitmap& visible, const TBitmap& hidden, const TBandGoal& goal);

// A band's scores: the combined picture's visible-psnr and the hidden-psnr after the goal's
// target (its form and pipeline), both at the pictures' full size.
struct TBandScores {
  double visible_psnr = 0;
  std::optional<double> hidden_psnr;
};
TBandScores ScoreBand(const TBitmap& visible, const TBitmap& hidden, const TToneBand& band,
                      const TBandGoal& goal);

// The steps of `pipeline` that act on a picture of width x height uploaded as `upload`: the
// codecs and the shrinking steps that change its size, up to a keep step that keeps it
// (whose byte limit is left to the caller to meet); `shrinks` tells whether one shrinks.
TPipeline ActingSteps(const TPipeline& pipeline, int width, int height, TUploadKind upload,
                      bool* shrinks = nullptr, bool* kept = nullptr);
