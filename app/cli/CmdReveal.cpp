// lumiveil reveal RESULT -o OUT: a view of a combined picture, its band and its scores.
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/cli/Cli.h"
#include "base/NamedRows.h"
#include "compose/ApplyInnerTone.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"
#include "reveal/Band.h"
#include "reveal/Scores.h"
#include "reveal/StoredBand.h"
#include "reveal/Views.h"

namespace {

// The one place where reveal writes its picture: in the format the name asks for, through
// the safe save as every file.
void SaveView(TBitmap& view, const std::string& file_name) {
  SaveByFormat(view, file_name, FormatForName(file_name, false));
}

// The band and the scores go to standard output, or to standard error when the picture
// itself goes to standard output.
std::FILE* ReportStream(const std::string& out) {
  return NamesStandardOutput(out) ? stderr : stdout;
}

}  // namespace

void PrintScores(std::FILE* stream, const TBitmap& result, const TBitmap* visible,
                 const TBitmap* hidden, const TToneBand& band, bool grey) {
  TBitmap fitted;
  if (visible != nullptr) {
    FitToResult(result, *visible, fitted);
    std::fprintf(stream, "visible-psnr: %s\n", Decibels(VisiblePsnr(result, fitted)).c_str());
  }
  if (hidden != nullptr) {
    FitToResult(result, *hidden, fitted);
    const std::optional<double> score =
        grey ? HiddenGreyPsnr(result, fitted, band) : HiddenPsnr(result, fitted, band);
    // A 1 x 1 picture has no odd cell to score.
    std::fprintf(stream, "hidden-psnr: %s\n", score ? Decibels(*score).c_str() : "none");
  }
}

namespace {

int RunReveal(const TArgs& args) {
  if (args.Positional().size() != 1) throw UsageError{"reveal takes one RESULT"};
  const std::string& input = args.Positional()[0];
  const auto out = args.Value("-o");
  if (!out || out->empty()) throw UsageError{"reveal needs an output file: -o OUT"};
  TViewOptions options;
  if (const auto name = args.Value("--view"); name && !ViewFromName(*name, options.view))
    throw UsageError{"--view must be " +
                     NamesOf(ViewTable(), [](const TViewRow&) { return true; }) + ", not '" +
                     *name + "'"};
  if (const auto name = args.Value("--filter"); name && !FilterFromName(*name, options.filter))
    throw UsageError{"--filter must be area, bilinear or nearest, not '" + *name + "'"};
  options.size = args.Int("--size", 1, kMaxThumbnailSize).value_or(kDefaultThumbnailSize);
  options.grey = args.Flag("--grey");
  const std::optional<int> average = args.Int("--average", 0, 255);
  const std::optional<int> contrast = args.Int("--contrast", 0, 255);
  if (average.has_value() != contrast.has_value())
    throw UsageError{"give --average and --contrast together, or neither"};

  const auto result = LoadInput24(input);
  std::unique_ptr<TBitmap> visible, hidden;
  if (const auto name = args.Value("--visible")) visible = LoadInput24(*name);
  if (const auto name = args.Value("--hidden")) hidden = LoadInput24(*name);

  // The band: given, else the one the file records, else found from the picture.
  const char* source = "given";
  std::string version;
  if (average) {
    options.band = {*average, *contrast};
    if (*contrast > ContrastLimit(*average)) {
      options.band.contrast = ContrastLimit(*average);
      std::fprintf(stderr,
                   "lumiveil reveal: note: contrast %d lowered to %d, the limit for average %d\n",
                   *contrast, options.band.contrast, *average);
    }
  } else {
    const TStoredBand stored = StoredBandFor(input, result->Width(), result->Height());
    if (stored.state == TStoredBandState::sbStored) {
      options.band = stored.band;
      version = stored.version;
      source = "stored";
    } else {
      if (stored.state == TStoredBandState::sbMalformed ||
          stored.state == TStoredBandState::sbStale)
        std::fprintf(stderr,
                     "lumiveil reveal: note: %s: the \"%s\" text chunk is not used (%s: %s); the "
                     "band is found from the picture\n",
                     input.c_str(), kBandChunkKeyword, stored.chunk, stored.problem.c_str());
      options.band = FindBand(*result).band;
      source = "found";
    }
  }

  TBitmap view;
  MakeView(*result, options, view);
  SaveView(view, *out);

  std::FILE* report = ReportStream(*out);
  std::fprintf(report, "band: %s\naverage: %d\ncontrast: %d\n", source, options.band.average,
               options.band.contrast);
  if (!version.empty()) std::fprintf(report, "version: %s\n", version.c_str());
  PrintScores(report, *result, visible.get(), hidden.get(), options.band, options.grey);
  return kExitOk;
}

// The views of the table, each with its description, for the help of --view.
std::vector<std::pair<std::string, std::string>> ViewList() {
  std::vector<std::pair<std::string, std::string>> list;
  for (const TViewRow& row : ViewTable()) list.emplace_back(row.name, row.description);
  return list;
}

}  // namespace

const TCommand& RevealCommand() {
  static const TCommand command = {
      "reveal",
      "RESULT -o OUT [--view V] [--size N] [--filter F] [--grey] [--average A --contrast C]\n"
      "       [--visible FILE] [--hidden FILE]",
      "show what viewers make of a combined picture and get the hidden picture back",
      {{"RESULT", "", "the combined picture to look at"},
       {"-o", "OUT",
        "the file to write the view to: " + OutputFormatsHelp(false) +
            " (- for standard output, as BMP, and the lines below then go to standard error)"},
       {"--view", "V",
        std::string("what to write (default ") + ViewName(TRevealView::rvSheet) + "):", ViewList()},
       {"--size", "N", "the thumbnail's long side, 1..65535 (default 256); never enlarges"},
       {"--filter", "F",
        "the thumbnail's filter: area (average over each pixel's area, the default), bilinear "
        "(at pixel centres) or nearest"},
       {"--grey", "",
        "the hidden picture recovered in luminance only (also in the sheet), and its score "
        "against the hidden picture's luminance: the truer recovery after a lossy codec that "
        "blurs colour (JPEG 4:2:0, WebP)"},
       {"--average", "A",
        "the average of the band the hidden picture was mapped into, given with --contrast. "
        "Without them the band is the one a PNG file records (written by synth; read from a "
        "tEXt, zTXt or iTXt chunk, and not used, with a note, when it records another size "
        "than the picture's), else it is found from the picture: the 0.5 % and 99.5 % "
        "percentiles of the odd cells' luminance, each moved out to the odd cells' extreme "
        "when that lies within 4 (exact for a lossless picture whose hidden picture spans "
        "0..255, within a few levels after JPEG q85)"},
       {"--contrast", "C",
        "the contrast of that band, given with --average; lowered to the limit of A with a "
        "note"},
       {"--visible", "FILE", "the visible picture, for the visible score"},
       {"--hidden", "FILE", "the hidden picture, for the hidden score"}},
      "Standard output gets one 'name: value' line each: band (given, stored or found),\n"
      "average, contrast, version (of the program that stored the band), and with the\n"
      "pictures the scores, each a PSNR in dB, 10 log10(255^2 / MSE), inf for MSE = 0:\n"
      "  visible-psnr   RESULT against the visible picture fitted to RESULT's size, MSE\n"
      "                 over all cells and channels: the higher, the less the hidden\n"
      "                 picture shows in the normal view\n"
      "  hidden-psnr    the hidden view's odd cells against the hidden picture fitted to\n"
      "                 RESULT's size, MSE over the odd cells and channels: the higher, the\n"
      "                 better the hidden picture comes back ('none' without odd cells)\n",
      RunReveal};
  return command;
}
