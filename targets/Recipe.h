// A target: what a place (a site, a server, a viewer) does to an uploaded picture, written
// as a recipe. Steps are joined by commas; '|' separates the pipeline of the full
// picture from that of its thumbnail (no '|': the place makes no thumbnail). Both
// pipelines start from the uploaded picture. The steps:
//
//   jpeg:Q[:420|:444]      encoded as JPEG at quality Q (1..100) and decoded, chroma halved
//                          both ways (4:2:0, the default) or kept whole (4:4:4)
//   webp:Q[:sharp]         encoded as lossy WebP at quality Q (0..100) and decoded; sharp:
//                          the sharper RGB to YUV conversion
//   webp:lossless          encoded as lossless WebP (the pixels stay)
//   fit:WxH:FILTER[:down]  shrunk (never enlarged) to fit within W x H keeping the aspect
//                          ratio, with FILTER box, bilinear, bicubic, lanczos3 or point; the
//                          other side rounded half up, or with down rounded down
//   pixels:N:FILTER        shrunk (never enlarged) to at most about N pixels keeping the
//                          aspect ratio (a pixel budget rather than a box)
//   bytes:N                the place refuses files of more than N bytes
//   keep:KIND:WxH[:N]      a file of KIND (png: any PNG; palette: a palette PNG) within W x H
//                          (and N bytes) is kept as it is: the steps after it do not apply
//   strip                  text chunks are removed (the picture stays)
//
// bytes and keep look at the uploaded file, so they come first in the full pipeline; strip
// belongs to the full pipeline. An empty full pipeline keeps the file as uploaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Exceptions.h"

LV_DECLARE_EXCEPTION(ETargetRecipe, EConvertError);

enum class TStepKind { skJpeg, skWebp, skFit, skPixels, skBytes, skKeep, skStrip };
enum class TFitFilter { ffBox, ffBilinear, ffBicubic, ffLanczos3, ffPoint };
enum class TKeepKind { kkPng, kkPalette };

struct TStep {
  TStepKind kind = TStepKind::skStrip;
  int quality = 0;            // jpeg, webp
  bool subsample420 = true;   // jpeg
  bool lossless = false;      // webp
  bool sharp = false;         // webp
  int width = 0, height = 0;  // fit, keep
  bool round_down = false;    // fit
  int64_t count = 0;          // pixels, bytes; keep's byte limit (0: none)
  TFitFilter filter = TFitFilter::ffBox;
  TKeepKind keep = TKeepKind::kkPng;
  friend bool operator==(const TStep&, const TStep&) = default;
};

using TPipeline = std::vector<TStep>;

struct TTargetRecipe {
  TPipeline full;
  std::optional<TPipeline> thumbnail;
  friend bool operator==(const TTargetRecipe&, const TTargetRecipe&) = default;
};

// Reads a recipe; ETargetRecipe, naming the step and what is wrong, for anything else.
TTargetRecipe ParseTargetRecipe(const std::string& text);

// The recipe of a recipe: ParseTargetRecipe(RecipeText(s)) == s, and the text of a parsed
// string is the string itself when written in the canonical form (every option given:
// jpeg:85:420, not jpeg:85).
std::string RecipeText(const TTargetRecipe& recipe);
std::string PipelineText(const TPipeline& pipeline);
std::string StepText(const TStep& step);
