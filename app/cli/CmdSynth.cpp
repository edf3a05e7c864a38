// lumiveil synth VISIBLE HIDDEN -o OUT: the main window's workflow in one command.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/cli/Cli.h"
#include "base/Exceptions.h"
#include "base/NamedRows.h"
#include "compose/Workflow.h"
#include "export/SaveByFormat.h"
#include "platform/Files.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"
#include "reveal/Band.h"
#include "targets/AutoBand.h"
#include "targets/Catalogue.h"
#include "targets/Resample.h"

namespace {

// The edit handlers scale the partner as truncate(partner * typed / size) in extended
// precision and raise the class library's floating-point error when the result leaves 32
// bits; the tool checks the same size against the picture-size limit first, so that a
// person asking for --height 2147483647 learns that the picture would be too large.
void CheckScaledSize(const TBitmap& visible, std::optional<int> width, std::optional<int> height) {
  const long double w = visible.Width();
  const long double h = visible.Height();
  if (w <= 0 || h <= 0) return;  // the handler's own error for an empty picture
  const long double x = width ? *width : std::trunc(w * *height / h);
  const long double y = height ? *height : std::trunc(h * *width / w);
  if (x < 1 || y < 1) return;  // the handler refuses a size of 0 with its own message
  constexpr long double kMax = 9.0e18L;
  const auto x64 = static_cast<int64_t>(std::min(x, kMax));
  const auto y64 = static_cast<int64_t>(std::min(y, kMax));
  if (!ComputeStoreSize(x64, y64, 24)) throw EPictureTooLarge(x64, y64, 24, MaxPixelStoreBytes());
}

// The names and endings of the formats that have a palette form: "PNG", ".png".
std::string PaletteFormats() {
  return NamesOf(OutputFormats(), [](const TOutputFormat& f) { return f.palette_form; });
}

std::string PaletteEndings() {
  std::string endings;
  for (const TOutputFormat& format : OutputFormats())
    if (format.palette_form) endings += (endings.empty() ? "" : " or ") + EndingsText(format);
  return endings;
}

// Loads the pair as the window does: the visible picture, its width or height typed into
// the edits, then the hidden picture fitted to it. With `keep` the pictures stay with the
// caller (shared with the slots) for another run; else the slots become their only holders.
void LoadPair(TWorkflow& work, std::unique_ptr<TBitmap>& visible, std::unique_ptr<TBitmap>& hidden,
              std::optional<int> width, std::optional<int> height, const TArgs& args,
              bool keep = false) {
  if (!work.LoadExternalImage([&](TBitmap& slot) { slot.Assign(visible.get()); }))
    throw InputError{args.Positional()[0] + ": cannot be converted to 24 bits per pixel"};
  if (!keep) visible.reset();  // the slot holds the picture; no second holder keeps it alive
  if (width || height) CheckScaledSize(work.ExternalBitmap(), width, height);
  if (width) {
    work.SetXEditText(std::to_string(*width));
    work.XEditChange();
  } else if (height) {
    work.SetYEditText(std::to_string(*height));
    work.YEditChange();
  }
  const bool inner_loaded = work.LoadInnerImage([&](TBitmap& slot) {
    slot.Assign(hidden.get());
    if (!keep) hidden.reset();  // the slot's copy is resized in place of the original
  });
  if (!inner_loaded)
    throw InputError{args.Positional()[1] + ": cannot be converted to 24 bits per pixel"};
}

// The sliders as a person sets them: the average first, which limits the contrast to
// L(A); then the contrast, which the slider keeps within that limit.
void SetSliders(TWorkflow& work, int average, int wanted, bool quiet = false) {
  work.AverageTrackBarChange(average);
  if (wanted > work.ContrastMax() && !quiet)
    std::fprintf(stderr,
                 "lumiveil synth: note: contrast %d lowered to %d, the limit for average %d\n",
                 wanted, work.ContrastMax(), average);
  work.MinMaxTrackBarChange(wanted);
}

// --- The target's form and the automatic band ---

// What a target keeps of a file of one size: the form written and the limit its length
// must meet (-1 none).
struct TTargetForm {
  bool palette = false;  // a palette PNG: the target keeps those but re-encodes full colour
  bool kept = false;     // the target keeps the file whole
  int64_t limit = -1;    // the bytes step's limit, and a keep step's that keeps the form
  TPipeline acting;      // what the target does to the picture (ActingSteps)
  bool shrinks = false;
};

TTargetForm FormFor(const TTargetRecipe& recipe, int width, int height) {
  TTargetForm form;
  const auto tighten = [&form](int64_t limit) {
    form.limit = form.limit < 0 ? limit : std::min(form.limit, limit);
  };
  bool shrinks[2] = {}, kept[2] = {};
  const TPipeline steps[2] = {
      ActingSteps(recipe.full, width, height, TUploadKind::ukPng, &shrinks[0], &kept[0]),
      ActingSteps(recipe.full, width, height, TUploadKind::ukPalettePng, &shrinks[1], &kept[1])};
  // Full colour where the target keeps its pixels; a palette where only that is kept whole.
  form.palette = !steps[0].empty() && steps[1].empty();
  const int f = form.palette ? 1 : 0;
  form.kept = steps[f].empty();
  form.acting = steps[f];
  form.shrinks = shrinks[f];
  for (const TStep& step : recipe.full) {
    if (step.kind == TStepKind::skBytes) tighten(step.count);
    if (step.kind != TStepKind::skKeep) continue;
    const bool kind = step.keep == TKeepKind::kkPng || form.palette;
    if (kind && width <= step.width && height <= step.height) {
      if (step.count > 0) tighten(step.count);
      break;
    }
  }
  return form;
}

// A decibel figure for a line: "inf" for identical pictures, "none" without odd cells.
std::string Db(const std::optional<double>& psnr) {
  return psnr ? Decibels(*psnr) + (std::isinf(*psnr) ? "" : " dB") : "none";
}

// The number of --min-visible: a decimal number of dB.
double MinVisible(const TArgs& args) {
  const auto text = args.Value("--min-visible");
  if (!text) return kDefaultMinVisiblePsnr;
  char* end = nullptr;
  const double value = std::strtod(text->c_str(), &end);
  if (text->empty() || *end != '\0' || !std::isfinite(value) || value < 0 || value > 100)
    throw UsageError{"--min-visible takes a number of dB from 0 to 100, not '" + *text + "'"};
  return value;
}

// Why the band was chosen, in one sentence.
std::string BandReason(const TChosenBand& chosen, const std::string& target) {
  const std::string widest = chosen.limit == TBandLimit::blSlider
                                 ? "every band meets the visible bound, and the widest"
                                 : "the widest band the visible bound allows";
  if (chosen.lossless)
    return (target.empty() ? std::string("a lossless save keeps every pixel")
                           : target + " keeps every pixel") +
           ", so the hidden picture loses only the band's rounding, and " + widest +
           " rounds least.";
  if (chosen.shrinks)
    return target + " shrinks the picture, which blends both pictures; of the " +
           std::to_string(chosen.tried) +
           " bands tried after it, this one came back closest to the hidden picture.";
  return "of the " + std::to_string(chosen.tried) + " bands within the visible bound run through " +
         (target.empty() ? std::string("the palette form") : target) +
         (chosen.searched_reduced ? " on a reduced copy" : "") +
         ", this one brought the hidden picture back best.";
}

int RunSynth(const TArgs& args) {
  if (args.Positional().size() != 2) throw UsageError{"synth takes VISIBLE and HIDDEN"};
  const auto out = args.Value("-o");
  if (!out || out->empty()) throw UsageError{"synth needs an output file: -o OUT"};
  const std::optional<int> average_given = args.Int("--average", 0, 255);
  const int average = average_given.value_or(128);
  const std::optional<int> contrast = args.Int("--contrast", 0, 255);
  const std::optional<int> width = args.Int("--width", 1, INT32_MAX);
  const std::optional<int> height = args.Int("--height", 1, INT32_MAX);
  if (width && height) throw UsageError{"give --width or --height, not both"};
  // The target and the automatic band (their options beside each other).
  const bool automatic = args.Flag("--auto");
  std::optional<TNamedTarget> target;
  if (const auto text = args.Value("--target")) target = ResolveTargets({*text})[0];
  if (args.Value("--min-visible") && !automatic)
    throw UsageError{"--min-visible is the bound of --auto: give --auto"};
  const double min_visible = MinVisible(args);
  if (automatic && (average_given || contrast))
    throw UsageError{"--auto chooses the average and contrast: give neither"};
  if ((automatic || target) && args.Flag("--preview"))
    throw UsageError{"--preview makes no band: not with --auto or --target"};
  if (target) {
    // The target decides the form: a PNG, full colour or with a palette; a name that says
    // another format would mislead the person who uploads it, so it is refused.
    if (args.Flag("--gif") || args.Flag("--indexed"))
      throw UsageError{
          "--target chooses the form (a full-colour or palette PNG): not with "
          "--gif or --indexed"};
    if (FormatForName(*out, true) != TSaveFormat::sfPNG)
      throw UsageError{"--target writes a PNG: give an OUT ending in " +
                       EndingsText(OutputFormatOf(TSaveFormat::sfPNG))};
  }

  TSaveOptions save;
  save.format = args.Flag("--gif") ? TSaveFormat::sfGIF : FormatForName(*out, true);
  if (args.Flag("--indexed")) {
    if (!OutputFormatOf(save.format).palette_form)
      throw UsageError{"--indexed writes a palette " + PaletteFormats() +
                       ": give an OUT ending in " + PaletteEndings() + ", without --gif"};
    save.indexed = true;
  }
  // The palette of the palette form: the halftone palette unless --palette says otherwise.
  if (const auto palette = args.Value("--palette")) {
    if (!save.indexed) throw UsageError{"--palette chooses the palette of --indexed"};
    if (*palette == "adaptive")
      save.palette = TPaletteKind::pkAdaptive;
    else if (*palette != "halftone")
      throw UsageError{"--palette must be one of halftone, adaptive, not '" + *palette + "'"};
  }

  // Both inputs are read first, so an unreadable one ends the command before any work;
  // at the same time, since each read waits mostly on fresh memory.
  auto [visible, hidden] = LoadInputPair(args.Positional()[0], args.Positional()[1]);

  // Nothing is shown and only the result is saved: the model skips the window's
  // refreshes and makes the result in the visible picture's store (see TWorkflow). The
  // report scores the result against both pictures, so with --report they are kept; the
  // target and the automatic band look at them too.
  auto work = std::make_unique<TWorkflow>();
  TCheckRequest check;
  for (const std::string& name : args.Values("--check")) {
    if (name == "all")
      for (const TTarget& t : Targets()) check.targets.push_back(t.name);
    else
      check.targets.push_back(name);
  }
  if (!check.targets.empty()) {
    // The file as written is what would be posted; standard output (or another descriptor
    // the shell set up) leaves none to look at.
    if (NamesHeldDescriptor(*out))
      throw UsageError{"--check looks at the file written: give an OUT file"};
    ResolveTargets(check.targets);  // a misspelt target ends the command before any work
  }
  const bool looks = automatic || target.has_value();
  work->BatchJob = !args.Flag("--report") && check.targets.empty() && !looks;
  LoadPair(*work, visible, hidden, width, height, args, target.has_value());

  std::FILE* lines = NamesStandardOutput(*out) ? stderr : stdout;
  TTargetForm form;
  const TViewSize asked{work->ExternalBitmap().Width(), work->ExternalBitmap().Height()};
  // The pair made anew with its longer side typed (the other follows, rounded down, so never
  // past a box), as --width or --height does.
  const auto load_at = [&](bool by_width, int side) {
    work = std::make_unique<TWorkflow>();
    LoadPair(*work, visible, hidden, by_width ? std::optional<int>(side) : std::nullopt,
             by_width ? std::nullopt : std::optional<int>(side), args, true);
  };
  if (target) {
    // Shrunk first where the target would shrink the picture: to the size its steps would
    // give, made by the synthesis's own resampling (the width typed, as --width does).
    for (int round = 0; round < 16; ++round) {
      const int w = work->ExternalBitmap().Width(), h = work->ExternalBitmap().Height();
      form = FormFor(target->recipe, w, h);
      if (!form.shrinks) break;
      TViewSize to{w, h};
      for (const TStep& step : form.acting) to = StepSize(step, to.width, to.height);
      const bool by_width = w >= h;
      // At least one pixel less each round, so that rounding cannot keep it at one size.
      load_at(by_width, by_width ? std::min(to.width, w - 1) : std::min(to.height, h - 1));
    }
    if (form.shrinks)
      throw std::runtime_error(*out + ": no size was found that " + target->name +
                               " keeps without shrinking it; nothing written");
    if (form.palette) UsePaletteForm(save);
  }

  TToneBand band{average, contrast.value_or(127)};
  std::optional<TChosenBand> chosen;
  TBandGoal goal;
  const TViewSize chosen_size{work->ExternalBitmap().Width(), work->ExternalBitmap().Height()};
  if (automatic) {
    if (target) goal.pipeline = &target->recipe.full;
    goal.upload = save.indexed ? TUploadKind::ukPalettePng : TUploadKind::ukPng;
    if (save.indexed)
      goal.form = [&save](TBitmap& picture) {
        TBitmap reduced;
        SavedPixels(picture, save, reduced);
        picture.Assign(&reduced);
      };
    goal.min_visible = min_visible;
    chosen = ChooseBand(work->ExternalBitmap(), work->InnerBitmap(), goal);
    band = chosen->band;
  }
  SetSliders(*work, band.average, band.contrast, automatic);
  if (args.Flag("--preview"))
    work->ComposePreview();
  else
    work->Synthesize();
  // The band the hidden cells were mapped into (a preview maps none), for a format that
  // records it.
  if (work->ResultToneMapped()) save.band = TToneBand{work->Average(), work->Contrast()};

  // The target's file, made in memory to be measured: the file written.
  std::unique_ptr<TMemoryStream> made;
  if (target) {
    // A byte limit met by the largest size found whose file meets it (the file's length
    // grows with its size, though not strictly: each size tried is made and measured).
    made = SavedPng(work->ResultBitmap(), save);
    int64_t bytes = made->Size();
    const int w0 = work->ResultBitmap().Width(), h0 = work->ResultBitmap().Height();
    if (form.limit >= 0 && bytes > form.limit) {
      const bool by_width = w0 >= h0;
      const int full = by_width ? w0 : h0;
      // The shortest long side that leaves the other side a pixel: below it, no picture.
      const int least = (full + (by_width ? h0 : w0) - 1) / (by_width ? h0 : w0);
      int good = least - 1, bad = full;  // good: the largest side known to meet the limit
      int64_t bad_bytes = bytes, good_bytes = -1;
      int made_side = full;  // the size work holds now
      auto make = [&](int side) {
        load_at(by_width, side);
        SetSliders(*work, band.average, band.contrast, true);
        work->Synthesize();
        made_side = side;
        made = SavedPng(work->ResultBitmap(), save);
        return made->Size();
      };
      for (int tries = 0; bad - good > 1 && tries < 40; ++tries) {
        // The first guesses from the length's growth with the area, then halving.
        int side = good < least ? static_cast<int>(bad * std::sqrt(0.95 * form.limit / bad_bytes))
                                : good + (bad - good) / 2;
        side = std::clamp(side, good + 1, bad - 1);
        const int64_t made = make(side);
        if (made <= form.limit)
          good = side, good_bytes = made;
        else
          bad = side, bad_bytes = made;
      }
      if (good < least)
        throw std::runtime_error(*out + ": " + target->name + " refuses files over " +
                                 std::to_string(form.limit) +
                                 " bytes, and no size of the result meets that; nothing written");
      // The last size made is often the one kept: made again only when it is not.
      bytes = made_side == good ? good_bytes : make(good);
    }
    const TBitmap& r = work->ResultBitmap();
    std::fprintf(
        lines, "form: %s PNG, %d x %d, %lld bytes (%s)\n", save.indexed ? "palette" : "full-colour",
        r.Width(), r.Height(), static_cast<long long>(bytes),
        form.palette
            ? (target->name + " keeps palette PNGs but re-encodes full-colour ones").c_str()
        : form.kept ? (target->name + " keeps it whole").c_str()
                    : (target->name + " re-encodes any PNG at this size").c_str());
    if (r.Width() != asked.width || r.Height() != asked.height)
      std::fprintf(lines, "size: shrunk from %d x %d so that %s %s\n", asked.width, asked.height,
                   target->name.c_str(),
                   r.Width() != w0 || r.Height() != h0 ? "takes the file (its byte limit)"
                                                       : "does not shrink it");
  }
  if (chosen) {
    const std::string name = target ? target->name : "";
    // Scored again when the byte limit changed the size the band was chosen at.
    if (work->ResultBitmap().Width() != chosen_size.width ||
        work->ResultBitmap().Height() != chosen_size.height) {
      const TBandScores scores = ScoreBand(work->ExternalBitmap(), work->InnerBitmap(), band, goal);
      chosen->visible_psnr = scores.visible_psnr;
      chosen->hidden_psnr = scores.hidden_psnr;
    }
    std::fprintf(lines, "average: %d\ncontrast: %d\n", band.average, band.contrast);
    std::fprintf(lines, "visible-psnr: %s (at least %.2f dB)\n", Db(chosen->visible_psnr).c_str(),
                 min_visible);
    std::fprintf(lines, "hidden-psnr: %s (%s)\n", Db(chosen->hidden_psnr).c_str(),
                 target ? ("after " + target->name).c_str() : "as written");
    std::fprintf(lines, "why: %s\n", BandReason(*chosen, name).c_str());
  }

  if (made) {
    // The file measured against the target is the file written, not made again.
    made->SaveToFile(*out);
    made.reset();
  } else if (!args.Flag("--report") && check.targets.empty()) {
    // Nothing looks at the pictures after the save: the result is handed over and the
    // rest freed first, so that the save's stores take their pages.
    TBitmap result;
    result.Assign(&work->ResultBitmap());
    work.reset();
    SaveByFormat(std::move(result), *out, save);
    return kExitOk;
  } else {
    SaveByFormat(work->ResultBitmap(), *out, save);
  }
  if (args.Flag("--report")) {
    // The band the odd cells hold: a preview leaves them unmapped, the identity band.
    const TToneBand used =
        work->ResultToneMapped() ? TToneBand{work->Average(), work->Contrast()} : kIdentityBand;
    std::FILE* report = NamesStandardOutput(*out) ? stderr : stdout;
    std::fprintf(report, "average: %d\ncontrast: %d\n", used.average, used.contrast);
    PrintScores(report, work->ResultBitmap(), &work->ExternalBitmap(), &work->InnerBitmap(), used);
  }
  if (!check.targets.empty()) {
    check.band =
        work->ResultToneMapped() ? TToneBand{work->Average(), work->Contrast()} : kIdentityBand;
    // Read back: a GIF or a palette PNG holds the reduced colours, not the result's.
    const auto written = LoadInput24(*out);
    RunChecks(*out, *written, &work->ExternalBitmap(), &work->InnerBitmap(), check, stdout);
  }
  return kExitOk;
}

}  // namespace

const TCommand& SynthCommand() {
  static const TCommand command = {
      "synth",
      "VISIBLE HIDDEN -o OUT [--average A] [--contrast C] [--width X | --height Y] "
      "[--preview] [--gif | --indexed [--palette P]] [--report] [--check TARGET]...\n"
      "       [--target TARGET] [--auto [--min-visible DB]]",
      "hide HIDDEN inside VISIBLE and save the combined picture",
      {{"VISIBLE", "", "the picture that shows"},
       {"HIDDEN", "", "the picture to hide; fitted to VISIBLE's size"},
       {"-o", "OUT",
        "the file to write: " + OutputFormatsHelp(true) +
            " (- for standard output, as BMP or with --gif as GIF); a " +
            NamesOf(OutputFormats(), [](const TOutputFormat& f) { return f.records_band; }) +
            " records the average and contrast used in its \"" + kBandKeyword +
            "\" text chunk (not with --preview)"},
       {"--average", "A", "the hidden picture's average value, 0..255 (default 128)"},
       {"--contrast", "C",
        "the hidden picture's contrast, 0..255 (default 127); lowered to the limit of the "
        "average (A up to 128, 255 - A above) with a note"},
       {"--width", "X", "first scale VISIBLE to width X, keeping its aspect ratio"},
       {"--height", "Y", "first scale VISIBLE to height Y, keeping its aspect ratio"},
       {"--preview", "", "only the checkerboard, without the tone mapping"},
       {"--gif", "", "write GIF as the window saves it (also when OUT ends in .gif)"},
       {"--indexed", "",
        "with an OUT ending in " + PaletteEndings() +
            ": the result reduced to the 256-colour halftone palette as the GIF save reduces "
            "it (without its bevel), as a palette " +
            PaletteFormats()},
       {"--palette", "P",
        "the palette of --indexed: halftone (the default: the fixed 256-colour halftone "
        "palette) or adaptive (at most 256 colours chosen for this picture, spent where "
        "both pictures come back truest: the hidden cells' colours weigh more the narrower "
        "the band; no dithering)"},
       {"--report", "",
        "then print the band used (average, contrast; a preview is unmapped: 128 and 128) and "
        "the scores visible-psnr and hidden-psnr, as the help of reveal defines them"},
       {"--check", "TARGET",
        "then print what TARGET (a name of lumiveil targets, or a recipe; may be given "
        "more than once, or 'all') makes of the file written, as lumiveil check with both "
        "pictures does"},
       {"--target", "TARGET",
        "write the result in a form TARGET (a name of lumiveil targets, or a recipe) keeps "
        "whole: a full-colour PNG where it keeps one, a palette PNG where it keeps those but "
        "re-encodes full-colour ones (else a full-colour PNG, which it re-encodes). Where "
        "TARGET would shrink the picture or refuse the file (its fit box, pixel budget or "
        "byte limit), the pair is first scaled down as --width does, to the size TARGET "
        "keeps, and for a byte limit to the largest size found whose file meets it. Prints "
        "the form, size and bytes chosen. OUT must end in .png (the form is always a PNG); "
        "not with --gif, --indexed or --preview. A limit no size meets ends the command with "
        "exit status 3 and writes nothing"},
       {"--auto", "",
        "choose the average and contrast (within the limits of the sliders) that bring the "
        "hidden picture back best after TARGET's full pipeline (hidden-psnr after the target, "
        "as check scores it; without --target, the lossless case, with --indexed its palette's "
        "loss "
        "counted) while the combined "
        "picture keeps a visible-psnr of at least DB. Prints the band, both scores and why. "
        "Not with --average or --contrast"},
       {"--min-visible", "DB",
        "the least visible-psnr of --auto, in dB (default " + Decibels(kDefaultMinVisiblePsnr) +
            "): at 18 dB the hidden picture stays faint in the normal view of the bundled "
            "pairs, where the default band 128/127 gives 10 to 13 dB. Higher hides it better "
            "and brings it back worse. No band meeting it is an error (exit status 3)"}},
      "",
      RunSynth};
  return command;
}
