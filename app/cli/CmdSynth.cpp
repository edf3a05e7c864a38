// lumiveil synth VISIBLE HIDDEN -o OUT: the main window's workflow in one command.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "app/cli/Cli.h"
#include "compose/Workflow.h"
#include "export/SaveAsGif.h"
#include "raster/Bitmap.h"

namespace {

bool EndsWithGif(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ".gif";
}

}  // namespace

int RunSynth(const std::vector<std::string>& argv) {
  const TArgs args(argv, {"-o", "--average", "--contrast", "--width", "--height"},
                   {"--preview", "--gif"});
  if (args.Positional().size() != 2) throw UsageError{"synth takes VISIBLE and HIDDEN"};
  const auto out = args.Value("-o");
  if (!out || out->empty()) throw UsageError{"synth needs an output file: -o OUT"};
  const int average = args.Int("--average", 0, 255).value_or(128);
  const std::optional<int> contrast = args.Int("--contrast", 0, 255);
  const std::optional<int> width = args.Int("--width", 1, INT32_MAX);
  const std::optional<int> height = args.Int("--height", 1, INT32_MAX);
  if (width && height) throw UsageError{"give --width or --height, not both"};
  const bool gif = args.Flag("--gif") || EndsWithGif(*out);

  // Both inputs are read first, so an unreadable one ends the command before any work.
  auto visible = LoadInput(args.Positional()[0]);
  auto hidden = LoadInput(args.Positional()[1]);

  // Nothing is shown and only the result is saved: the model skips the window's
  // refreshes and makes the result in the visible picture's store (see TWorkflow).
  TWorkflow work;
  work.BatchJob = true;
  if (!work.LoadExternalImage([&](TBitmap& slot) { slot.Assign(visible.get()); }))
    throw InputError{args.Positional()[0] + ": cannot be converted to 24 bits per pixel"};
  visible.reset();  // the slot holds the picture; no second holder keeps it alive
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
  if (gif) {
    // The window's GIF save: the halftone copy on the chart panel, exported as GIF.
    TGifSaveTarget target;
    SaveAsGif(work.ResultBitmap(), target, *out);
  } else {
    work.ResultBitmap().SaveToFile(*out);
  }
  return kExitOk;
}
