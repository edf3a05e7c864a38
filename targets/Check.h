// What a target does to a combined picture R, measured with the real codecs and filters.
//
//   visible-psnr   the full picture after the target against the visible picture brought
//                  to its size by the target's own shrinking: how close the normal view
//                  stays to the visible picture (the scores of reveal, Scores.h)
//   hidden-psnr    the hidden picture recovered from the full picture after the target
//                  through the band, against the hidden picture (its odd cells, as reveal
//                  scores it); a target that changes the size leaves no checkerboard and
//                  is scored against the hidden picture shrunk to that size
//   grey           the same in luminance only (reveal's grey recovery)
//   verdict        survives when hidden-psnr is kSurvivesPsnr dB or more; else degraded
//                  when the grey score is kDegradedGreyPsnr or more; else destroyed
//   thumbnail      what the thumbnail shows, see ThumbnailShows
//   band           whether a stored band still describes the picture after the target
//   bytes          the uploaded file's length against the target's limit
//
// Without the original pictures, both are estimated from R: the visible picture from its
// even cells and the hidden picture from its odd cells (each missing cell the mean of its
// neighbours of that phase), so that a lossless target scores inf for the hidden picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "raster/Bitmap.h"
#include "reveal/Band.h"
#include "reveal/Views.h"
#include "targets/Catalogue.h"
#include "targets/Pipeline.h"

// The verdict's thresholds, chosen by looking at recovered pictures of the bundled pairs
// after JPEG and WebP: from 30 dB the colour recovery looks like the hidden picture with
// faint noise (below, a codec's blurred colour tints it with the visible picture's); from
// 22 dB the grey recovery still shows its forms and tones under noise (JPEG q85 4:2:0 at
// C = 40: about 24.7 dB); below, the visible picture's ghost and the noise take over (q85
// at C = 25: about 21 dB).
inline constexpr double kSurvivesPsnr = 30.0;
inline constexpr double kDegradedGreyPsnr = 22.0;

enum class TVerdict { hvSurvives, hvDegraded, hvDestroyed };
enum class TThumbnailShows { tsNone, tsVisible, tsHidden, tsBlend, tsMoire };

const char* VerdictName(TVerdict verdict);
const char* ThumbnailShowsName(TThumbnailShows shows);
TVerdict VerdictOf(std::optional<double> hidden_psnr, std::optional<double> grey_psnr);

// The pictures a check compares with, all 24 bits and of R's size.
struct TCheckPictures {
  TBitmap result;   // R
  TBitmap visible;  // the visible picture (given and fitted, or estimated)
  TBitmap hidden;   // the hidden picture, unmapped (given and fitted, or estimated)
  TBitmap mapped;   // the hidden picture mapped into the band: what R's odd cells hold
  TToneBand band;
  bool visible_given = false;
  bool hidden_given = false;
};

// Fits the pictures given to R's size as synth fits them (null: estimated from R).
void PrepareCheck(const TBitmap& result, const TBitmap* visible, const TBitmap* hidden,
                  const TToneBand& band, TCheckPictures& pictures);

// Not copied (it holds pictures): CheckTarget fills one in place.
struct TTargetCheck {
  std::string target;
  TPipelineRun full;  // the full picture after the target
  double visible_psnr = 0;
  std::optional<double> hidden_psnr, hidden_grey_psnr;  // none without odd cells
  TVerdict verdict = TVerdict::hvDestroyed;
  TThumbnailShows thumbnail = TThumbnailShows::tsNone;
  TBitmap thumbnail_picture;  // empty when the target makes none
  // Where the thumbnail keeps one phase of the checkerboard (point sampling whose every
  // sample falls on the same phase): 0 the even cells, 1 the odd cells; else none.
  std::optional<int> thumbnail_phase;
  bool band_stored = false;    // the upload holds a band chunk
  bool band_survives = false;  // it is still there and still describes the picture
  bool fits = true;            // the upload is within the target's limit
};

// Applies the target to R and scores it with the pictures' band: the one function every
// caller uses, cheap enough to run many times on reduced copies. The cache (may be null)
// shares the pipelines' pictures between targets that start alike.
void CheckTarget(const TNamedTarget& target, const TCheckPictures& pictures, const TUpload& upload,
                 TTargetCheck& check, TPipelineCache* cache = nullptr);

// What the thumbnail shows: each thumbnail pixel where the target's thumbnails of the
// visible and of the band-mapped hidden picture differ by at least kVoteDifference (summed
// over the channels) votes for the nearest of those two and their mean; visible, hidden or
// blend when one of them has at least three quarters of the votes, else moire (a pattern of
// both). A thumbnail without votes (the pictures alike there) shows the visible picture.
// A thumbnail of the picture's own size still holds the checkerboard, which the eye merges:
// CheckTarget compares the 2 x 2 means of the three then.
inline constexpr int kVoteDifference = 48;
TThumbnailShows ThumbnailShows(const TBitmap& thumbnail, const TBitmap& of_visible,
                               const TBitmap& of_hidden);

// A picture of one phase of R's checkerboard with the other phase's cells filled by the
// mean of their neighbours of this phase (phase 0: the even cells).
void PhasePicture(const TBitmap& result, int phase, TBitmap& picture);
