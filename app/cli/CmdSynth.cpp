// lumiveil synth VISIBLE HIDDEN -o OUT: the main window's workflow in one command.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app/cli/Cli.h"
#include "base/Exceptions.h"
#include "base/NamedRows.h"
#include "compose/Workflow.h"
#include "export/SaveByFormat.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"
#include "reveal/Band.h"
#include "targets/Catalogue.h"

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

int RunSynth(const TArgs& args) {
  if (args.Positional().size() != 2) throw UsageError{"synth takes VISIBLE and HIDDEN"};
  const auto out = args.Value("-o");
  if (!out || out->empty()) throw UsageError{"synth needs an output file: -o OUT"};
  const int average = args.Int("--average", 0, 255).value_or(128);
  const std::optional<int> contrast = args.Int("--contrast", 0, 255);
  const std::optional<int> width = args.Int("--width", 1, INT32_MAX);
  const std::optional<int> height = args.Int("--height", 1, INT32_MAX);
  if (width && height) throw UsageError{"give --width or --height, not both"};
  TSaveOptions save;
  save.format = args.Flag("--gif") ? TSaveFormat::sfGIF : FormatForName(*out, true);
  if (args.Flag("--indexed")) {
    if (!OutputFormatOf(save.format).palette_form)
      throw UsageError{"--indexed writes a palette " + PaletteFormats() +
                       ": give an OUT ending in " + PaletteEndings() + ", without --gif"};
    save.indexed = true;
  }

  // Both inputs are read first, so an unreadable one ends the command before any work.
  auto visible = LoadInput(args.Positional()[0]);
  auto hidden = LoadInput(args.Positional()[1]);

  // Nothing is shown and only the result is saved: the model skips the window's
  // refreshes and makes the result in the visible picture's store (see TWorkflow). The
  // report scores the result against both pictures, so with --report they are kept.
  TWorkflow work;
  TCheckRequest check;
  for (const std::string& target : args.Values("--check")) {
    if (target == "all")
      for (const TTarget& t : Targets()) check.targets.push_back(t.name);
    else
      check.targets.push_back(target);
  }
  if (!check.targets.empty()) {
    // The file as written is what would be posted; standard output (or another descriptor
    // the shell set up) leaves none to look at.
    if (NamesHeldDescriptor(*out))
      throw UsageError{"--check looks at the file written: give an OUT file"};
    ResolveTargets(check.targets);  // a misspelt target ends the command before any work
  }
  work.BatchJob = !args.Flag("--report") && check.targets.empty();
  if (!work.LoadExternalImage([&](TBitmap& slot) { slot.Assign(visible.get()); }))
    throw InputError{args.Positional()[0] + ": cannot be converted to 24 bits per pixel"};
  visible.reset();  // the slot holds the picture; no second holder keeps it alive
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
    hidden.reset();  // the slot's copy is resized in place of the original
  });
  if (!inner_loaded)
    throw InputError{args.Positional()[1] + ": cannot be converted to 24 bits per pixel"};

  // The sliders as a person sets them: the average first, which limits the contrast to
  // L(A); then the contrast, which the slider keeps within that limit.
  work.AverageTrackBarChange(average);
  const int wanted = contrast.value_or(127);
  if (wanted > work.ContrastMax())
    std::fprintf(stderr,
                 "lumiveil synth: note: contrast %d lowered to %d, the limit for average %d\n",
                 wanted, work.ContrastMax(), average);
  work.MinMaxTrackBarChange(wanted);

  if (args.Flag("--preview"))
    work.ComposePreview();
  else
    work.Synthesize();
  // The band the hidden cells were mapped into (a preview maps none), for a format that
  // records it.
  if (work.ResultToneMapped()) save.band = TToneBand{work.Average(), work.Contrast()};
  SaveByFormat(work.ResultBitmap(), *out, save);
  if (args.Flag("--report")) {
    // The band the odd cells hold: a preview leaves them unmapped, the identity band.
    const TToneBand band =
        work.ResultToneMapped() ? TToneBand{work.Average(), work.Contrast()} : kIdentityBand;
    std::FILE* report = NamesStandardOutput(*out) ? stderr : stdout;
    std::fprintf(report, "average: %d\ncontrast: %d\n", band.average, band.contrast);
    PrintScores(report, work.ResultBitmap(), &work.ExternalBitmap(), &work.InnerBitmap(), band);
  }
  if (!check.targets.empty()) {
    check.band =
        work.ResultToneMapped() ? TToneBand{work.Average(), work.Contrast()} : kIdentityBand;
    // Read back: a GIF or a palette PNG holds the reduced colours, not the result's.
    const auto written = LoadInput24(*out);
    RunChecks(*out, *written, &work.ExternalBitmap(), &work.InnerBitmap(), check, stdout);
  }
  return kExitOk;
}

}  // namespace

const TCommand& SynthCommand() {
  static const TCommand command = {
      "synth",
      "VISIBLE HIDDEN -o OUT [--average A] [--contrast C] [--width X | --height Y] "
      "[--preview] [--gif | --indexed] [--report] [--check TARGET]...",
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
       {"--report", "",
        "then print the band used (average, contrast; a preview is unmapped: 128 and 128) and "
        "the scores visible-psnr and hidden-psnr, as the help of reveal defines them"},
       {"--check", "TARGET",
        "then print what TARGET (a name of lumiveil targets, or a recipe; may be given "
        "more than once, or 'all') makes of the file written, as lumiveil check with both "
        "pictures does"}},
      "",
      RunSynth};
  return command;
}
