// lumiveil synth VISIBLE HIDDEN -o OUT: the main window's workflow in one command.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app/cli/Cli.h"
#include "platform/Files.h"
#include "base/Exceptions.h"
#include "compose/Workflow.h"
#include "export/SaveByFormat.h"
#include "raster/Bitmap.h"
#include "raster/BmpFormat.h"
#include "reveal/Band.h"

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

}  // namespace

int RunSynth(const std::vector<std::string>& argv) {
  const TArgs args(argv, {"-o", "--average", "--contrast", "--width", "--height"},
                   {"--preview", "--gif", "--indexed", "--report"});
  if (args.Positional().size() != 2) throw UsageError{"synth takes VISIBLE and HIDDEN"};
  const auto out = args.Value("-o");
  if (!out || out->empty()) throw UsageError{"synth needs an output file: -o OUT"};
  const int average = args.Int("--average", 0, 255).value_or(128);
  const std::optional<int> contrast = args.Int("--contrast", 0, 255);
  const std::optional<int> width = args.Int("--width", 1, INT32_MAX);
  const std::optional<int> height = args.Int("--height", 1, INT32_MAX);
  if (width && height) throw UsageError{"give --width or --height, not both"};
  TSaveOptions save;
  save.format = args.Flag("--gif") ? TSaveFormat::sfGIF : OutputFormat(*out, true);
  if (args.Flag("--indexed")) {
    if (save.format != TSaveFormat::sfPNG)
      throw UsageError{"--indexed writes a palette PNG: give an OUT ending in .png, without --gif"};
    save.indexed = true;
  }

  // Both inputs are read first, so an unreadable one ends the command before any work.
  auto visible = LoadInput(args.Positional()[0]);
  auto hidden = LoadInput(args.Positional()[1]);

  // Nothing is shown and only the result is saved: the model skips the window's
  // refreshes and makes the result in the visible picture's store (see TWorkflow). The
  // report scores the result against both pictures, so with --report they are kept.
  TWorkflow work;
  work.BatchJob = !args.Flag("--report");
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
  // A PNG records the band its hidden cells were mapped into; a preview maps none.
  if (save.format == TSaveFormat::sfPNG && work.ResultToneMapped())
    save.band = TToneBand{work.Average(), work.Contrast()};
  SaveByFormat(work.ResultBitmap(), *out, save);
  if (args.Flag("--report")) {
    // The band the odd cells hold: a preview leaves them unmapped, the identity band.
    const TToneBand band =
        work.ResultToneMapped() ? TToneBand{work.Average(), work.Contrast()} : kIdentityBand;
    std::FILE* report = NamesStandardOutput(*out) ? stderr : stdout;
    std::fprintf(report, "average: %d\ncontrast: %d\n", band.average, band.contrast);
    PrintScores(report, work.ResultBitmap(), &work.ExternalBitmap(), &work.InnerBitmap(), band);
  }
  return kExitOk;
}
