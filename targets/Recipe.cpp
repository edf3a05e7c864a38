#include "targets/Recipe.h"

#include <cstdlib>

#include "base/Format.h"
#include "base/Messages.h"
#include "base/NamedRows.h"
#include "targets/Resample.h"

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// A decimal number of digits only (no sign, no blanks) within [low, high]; nothing else.
std::optional<int64_t> Number(const std::string& text, int64_t low, int64_t high) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

class TParser {
 public:
  explicit TParser(const std::string& whole) : whole_(whole) {}

  [[noreturn]] void Fail(const std::string& why) const {
    throw ETargetRecipe(Format(STargetRecipeInvalid, whole_.c_str(), why.c_str()));
  }

  int64_t Need(const std::string& step, const std::string& text, const char* what, int64_t low,
               int64_t high) const {
    const auto value = Number(text, low, high);
    if (!value)
      Fail(Format("in \"%s\" the %s must be a whole number from %lld to %lld, not \"%s\"",
                  step.c_str(), what, static_cast<long long>(low), static_cast<long long>(high),
                  text.c_str()));
    return *value;
  }

  void Size(const std::string& step, const std::string& text, int& width, int& height) const {
    const auto parts = Split(text, 'x');
    if (parts.size() != 2) Fail("in \"" + step + "\" the size must be WxH, not \"" + text + "\"");
    width = static_cast<int>(Need(step, parts[0], "width", 1, 65535));
    height = static_cast<int>(Need(step, parts[1], "height", 1, 65535));
  }

  TFitFilter Filter(const std::string& step, const std::string& name) const {
    if (const TFitFilterRow* row = RowNamed(FitFilters(), name)) return row->value;
    Fail("in \"" + step + "\" the filter must be " +
         NamesOf(FitFilters(), [](const TFitFilterRow&) { return true; }) + ", not \"" + name +
         "\"");
  }

  TStep Step(const std::string& text) const {
    const auto p = Split(text, ':');
    const std::string& name = p[0];
    TStep s;
    const auto arity = [&](size_t low, size_t high) {
      if (p.size() < low || p.size() > high) Fail("\"" + text + "\" has the wrong number of parts");
    };
    if (name == "jpeg") {
      arity(2, 3);
      s.kind = TStepKind::skJpeg;
      s.quality = static_cast<int>(Need(text, p[1], "quality", 1, 100));
      if (p.size() == 3) {
        if (p[2] != "420" && p[2] != "444")
          Fail("in \"" + text + "\" the chroma must be 420 or 444, not \"" + p[2] + "\"");
        s.subsample420 = p[2] == "420";
      }
    } else if (name == "webp") {
      arity(2, 3);
      s.kind = TStepKind::skWebp;
      if (p[1] == "lossless") {
        arity(2, 2);
        s.lossless = true;
      } else {
        s.quality = static_cast<int>(Need(text, p[1], "quality", 0, 100));
        if (p.size() == 3) {
          if (p[2] != "sharp") Fail("in \"" + text + "\" the option must be sharp");
          s.sharp = true;
        }
      }
    } else if (name == "fit") {
      arity(3, 4);
      s.kind = TStepKind::skFit;
      Size(text, p[1], s.width, s.height);
      s.filter = Filter(text, p[2]);
      if (p.size() == 4) {
        if (p[3] != "down") Fail("in \"" + text + "\" the rounding must be down");
        s.round_down = true;
      }
    } else if (name == "pixels") {
      arity(3, 3);
      s.kind = TStepKind::skPixels;
      s.count = Need(text, p[1], "pixel count", 1, int64_t{1} << 32);
      s.filter = Filter(text, p[2]);
    } else if (name == "bytes") {
      arity(2, 2);
      s.kind = TStepKind::skBytes;
      s.count = Need(text, p[1], "byte count", 1, int64_t{1} << 40);
    } else if (name == "keep") {
      arity(3, 4);
      s.kind = TStepKind::skKeep;
      if (p[1] != "png" && p[1] != "palette")
        Fail("in \"" + text + "\" the kind must be png or palette, not \"" + p[1] + "\"");
      s.keep = p[1] == "png" ? TKeepKind::kkPng : TKeepKind::kkPalette;
      Size(text, p[2], s.width, s.height);
      if (p.size() == 4) s.count = Need(text, p[3], "byte count", 1, int64_t{1} << 40);
    } else if (name == "strip") {
      arity(1, 1);
      s.kind = TStepKind::skStrip;
    } else {
      Fail("unknown step \"" + text +
           "\" (the steps are jpeg, webp, fit, pixels, bytes, keep and strip)");
    }
    return s;
  }

  TPipeline Pipeline(const std::string& text, bool full) const {
    TPipeline pipeline;
    if (text.empty()) return pipeline;
    bool changed = false;  // a step before changed the picture
    for (const std::string& part : Split(text, ',')) {
      if (part.empty()) Fail("an empty step (two commas, or one at an end)");
      const TStep step = Step(part);
      const bool looks_at_file = step.kind == TStepKind::skBytes || step.kind == TStepKind::skKeep;
      if (looks_at_file && (!full || changed))
        Fail("\"" + part +
             "\" looks at the uploaded file: it belongs at the start of the full picture's "
             "pipeline");
      if (step.kind == TStepKind::skStrip && !full)
        Fail("strip belongs to the full picture's pipeline");
      if (!looks_at_file && step.kind != TStepKind::skStrip) changed = true;
      pipeline.push_back(step);
    }
    return pipeline;
  }

 private:
  const std::string& whole_;
};

}  // namespace

TTargetRecipe ParseTargetRecipe(const std::string& text) {
  const TParser parser(text);
  const auto halves = Split(text, '|');
  if (halves.size() > 2) parser.Fail("more than one '|'");
  TTargetRecipe recipe;
  recipe.full = parser.Pipeline(halves[0], true);
  if (halves.size() == 2) {
    if (halves[1].empty()) parser.Fail("an empty thumbnail pipeline after '|'");
    recipe.thumbnail = parser.Pipeline(halves[1], false);
  }
  return recipe;
}

std::string StepText(const TStep& s) {
  const auto size = [](int w, int h) { return std::to_string(w) + "x" + std::to_string(h); };
  switch (s.kind) {
    case TStepKind::skJpeg:
      return "jpeg:" + std::to_string(s.quality) + (s.subsample420 ? ":420" : ":444");
    case TStepKind::skWebp:
      if (s.lossless) return "webp:lossless";
      return "webp:" + std::to_string(s.quality) + (s.sharp ? ":sharp" : "");
    case TStepKind::skFit:
      return "fit:" + size(s.width, s.height) + ":" + FitFilterName(s.filter) +
             (s.round_down ? ":down" : "");
    case TStepKind::skPixels:
      return "pixels:" + std::to_string(s.count) + ":" + FitFilterName(s.filter);
    case TStepKind::skBytes:
      return "bytes:" + std::to_string(s.count);
    case TStepKind::skKeep:
      return std::string("keep:") + (s.keep == TKeepKind::kkPng ? "png:" : "palette:") +
             size(s.width, s.height) + (s.count > 0 ? ":" + std::to_string(s.count) : "");
    case TStepKind::skStrip:
      return "strip";
  }
  return "";
}

std::string PipelineText(const TPipeline& pipeline) {
  std::string text;
  for (const TStep& step : pipeline) text += (text.empty() ? "" : ",") + StepText(step);
  return text;
}

std::string RecipeText(const TTargetRecipe& recipe) {
  std::string text = PipelineText(recipe.full);
  if (recipe.thumbnail) text += "|" + PipelineText(*recipe.thumbnail);
  return text;
}
