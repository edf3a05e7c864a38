// lumiveil check RESULT: what each target (a site, a server, a viewer) makes of a combined
// picture, with the real codecs and filters: the normal view, whether the hidden picture
// survives, what the thumbnail shows, the stored band, the size against the limit.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/cli/Cli.h"
#include "compose/ApplyInnerTone.h"
#include "export/SaveByFormat.h"
#include "raster/Bitmap.h"
#include "reveal/StoredBand.h"
#include "reveal/Views.h"
#include "targets/Catalogue.h"
#include "targets/Check.h"

namespace {

// A score in a line ("none" without odd cells) or in JSON (null; "inf" as a string).
std::string Score(const std::optional<double>& psnr, bool json) {
  if (!psnr) return json ? "null" : "none";
  if (json && std::isinf(*psnr)) return "\"inf\"";
  return Decibels(*psnr);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// What the place receives: the file's length and whether it is a PNG (with a palette).
TUpload UploadOf(const std::string& file, bool band_stored) {
  TUpload upload;
  struct stat st {};
  if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) upload.bytes = st.st_size;
  unsigned char head[26] = {};
  std::ifstream in(file, std::ios::binary);
  in.read(reinterpret_cast<char*>(head), sizeof head);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (in.gcount() == sizeof head && std::equal(kSignature, kSignature + 8, head)) {
    // IHDR's colour type: 3 is a palette picture.
    upload.kind = head[25] == 3 ? TUploadKind::ukPalettePng : TUploadKind::ukPng;
  }
  upload.has_text = band_stored;
  return upload;
}

// A target's name as part of a file name: letters, digits and '-' kept, others '_'.
std::string FileStem(const std::string& name) {
  std::string stem;
  for (const char c : name)
    stem += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
  return stem.empty() ? "_" : stem;
}

void WritePictures(const std::string& folder, const TTargetCheck& check,
                   const TCheckPictures& pictures) {
  const std::string stem = folder + "/" + FileStem(check.target);
  SaveByFormat(check.full.picture, stem + "-full.png", TSaveFormat::sfPNG);
  if (!check.thumbnail_picture.Empty())
    SaveByFormat(check.thumbnail_picture, stem + "-thumbnail.png", TSaveFormat::sfPNG);
  TViewOptions options;
  options.band = pictures.band;
  for (const TRevealView view : {TRevealView::rvLevels, TRevealView::rvHidden}) {
    options.view = view;
    TBitmap made;
    MakeView(check.full.picture, options, made);
    SaveByFormat(made, stem + "-" + ViewName(view) + ".png", TSaveFormat::sfPNG);
  }
}

void PrintLine(std::FILE* stream, const TTargetCheck& c, const TCheckPictures& p) {
  std::fprintf(stream, "%s: visible-psnr %s, hidden-psnr %s %s (grey %s), thumbnail %s",
               c.target.c_str(), Score(c.visible_psnr, false).c_str(),
               Score(c.hidden_psnr, false).c_str(), VerdictName(c.verdict),
               Score(c.hidden_grey_psnr, false).c_str(), ThumbnailShowsName(c.thumbnail));
  if (!c.thumbnail_picture.Empty()) {
    std::fprintf(stream, " %dx%d", c.thumbnail_picture.Width(), c.thumbnail_picture.Height());
    if (c.thumbnail_phase)
      std::fprintf(stream, " (keeps the %s cells)", *c.thumbnail_phase == 0 ? "even" : "odd");
  }
  std::fprintf(stream, ", band %d/%d %s", p.band.average, p.band.contrast,
               !c.band_stored    ? "not stored"
               : c.band_survives ? "stored, kept"
                                 : "stored, lost");
  std::fprintf(stream, ", %lld bytes", static_cast<long long>(std::max<int64_t>(0, c.full.bytes)));
  if (c.full.limit >= 0)
    std::fprintf(stream, " (upload limit %lld: %s)", static_cast<long long>(c.full.limit),
                 c.fits ? "fits" : "refused");
  std::fprintf(stream, "\n");
}

void PrintJson(std::FILE* stream, const TTargetCheck& c, const TCheckPictures& p,
               const TNamedTarget& target, const char* band_source, int64_t upload_bytes,
               bool last) {
  std::fprintf(stream, "  {\"target\": %s, \"recipe\": %s, ", JsonString(c.target).c_str(),
               JsonString(RecipeText(target.recipe)).c_str());
  std::fprintf(stream, "\"visible_psnr\": %s, \"hidden_psnr\": %s, \"hidden_grey_psnr\": %s, ",
               Score(c.visible_psnr, true).c_str(), Score(c.hidden_psnr, true).c_str(),
               Score(c.hidden_grey_psnr, true).c_str());
  std::fprintf(stream, "\"hidden_verdict\": \"%s\", \"thumbnail_shows\": \"%s\", ",
               VerdictName(c.verdict), ThumbnailShowsName(c.thumbnail));
  if (c.thumbnail_picture.Empty())
    std::fprintf(stream, "\"thumbnail_size\": null, ");
  else
    std::fprintf(stream, "\"thumbnail_size\": [%d, %d], ", c.thumbnail_picture.Width(),
                 c.thumbnail_picture.Height());
  std::fprintf(stream, "\"thumbnail_phase\": %s, ",
               !c.thumbnail_phase        ? "null"
               : *c.thumbnail_phase == 0 ? "\"even\""
                                         : "\"odd\"");
  std::fprintf(stream,
               "\"band\": {\"average\": %d, \"contrast\": %d, \"source\": \"%s\"}, "
               "\"band_stored\": %s, \"band_survives\": %s, ",
               p.band.average, p.band.contrast, band_source, c.band_stored ? "true" : "false",
               c.band_survives ? "true" : "false");
  std::fprintf(stream, "\"size\": [%d, %d], ", c.full.picture.Width(), c.full.picture.Height());
  std::fprintf(stream, "\"bytes\": %lld, \"stored_bytes\": %lld, \"limit\": %s, \"fits\": %s}%s\n",
               static_cast<long long>(upload_bytes), static_cast<long long>(c.full.bytes),
               c.full.limit >= 0 ? std::to_string(c.full.limit).c_str() : "null",
               c.fits ? "true" : "false", last ? "" : ",");
}

}  // namespace

std::vector<TNamedTarget> ResolveTargets(const std::vector<std::string>& texts) {
  std::vector<TNamedTarget> targets;
  for (const std::string& text : texts) {
    if (text.empty()) throw UsageError{"an empty target"};
    try {
      targets.push_back(ResolveTarget(text));
    } catch (const ETargetRecipe& e) {
      throw UsageError{std::string(e.what()) + " (the targets: lumiveil targets)"};
    }
  }
  return targets;
}

void RunChecks(const std::string& file, const TBitmap& result, const TBitmap* visible,
               const TBitmap* hidden, const TCheckRequest& request, std::FILE* stream) {
  // Every target is read before any work, so a misspelt one ends the command at once.
  const std::vector<TNamedTarget> targets = ResolveTargets(request.targets);
  // The band: given, else the one the file records for this picture, else found.
  const TStoredBand stored = StoredBandFor(file, result.Width(), result.Height());
  TToneBand band;
  const char* source = "given";
  if (request.band) {
    band = *request.band;
  } else if (stored.state == TStoredBandState::sbStored) {
    band = stored.band;
    source = "stored";
  } else {
    if (stored.state == TStoredBandState::sbMalformed || stored.state == TStoredBandState::sbStale)
      std::fprintf(stderr,
                   "lumiveil check: note: %s: the \"%s\" text chunk is not used (%s: %s); the band "
                   "is found from the picture\n",
                   file.c_str(), kBandChunkKeyword, stored.chunk, stored.problem.c_str());
    band = FindBand(result).band;
    source = "found";
  }
  TCheckPictures pictures;
  PrepareCheck(result, visible, hidden, band, pictures);
  const TUpload upload = UploadOf(file, stored.state == TStoredBandState::sbStored);
  if (!request.folder.empty()) {
    // The folder is made when missing (not its parents: a mistyped path stays an error).
    std::error_code error;
    std::filesystem::create_directory(request.folder, error);
    if (!std::filesystem::is_directory(request.folder))
      throw InputError{request.folder + ": cannot be made a folder for the pictures (" +
                       (error ? error.message() : std::string("it is a file")) + ")"};
  }
  TPipelineCache cache;
  if (request.json) std::fprintf(stream, "[\n");
  for (size_t i = 0; i < targets.size(); ++i) {
    TTargetCheck check;
    CheckTarget(targets[i], pictures, upload, check, &cache);
    if (request.json)
      PrintJson(stream, check, pictures, targets[i], source, upload.bytes, i + 1 == targets.size());
    else
      PrintLine(stream, check, pictures);
    std::fflush(stream);
    if (!request.folder.empty()) WritePictures(request.folder, check, pictures);
  }
  if (request.json) std::fprintf(stream, "]\n");
}

namespace {

int RunCheck(const TArgs& args) {
  if (args.Positional().size() != 1) throw UsageError{"check takes one RESULT"};
  const std::string& input = args.Positional()[0];
  TCheckRequest request;
  request.targets = args.Values("--target");
  // Without --target every target of the catalogue; --all adds them to those named.
  if (request.targets.empty() || args.Flag("--all"))
    for (const TTarget& t : Targets()) request.targets.push_back(t.name);
  const std::optional<int> average = args.Int("--average", 0, 255);
  const std::optional<int> contrast = args.Int("--contrast", 0, 255);
  if (average.has_value() != contrast.has_value())
    throw UsageError{"give --average and --contrast together, or neither"};
  if (average) {
    request.band = TToneBand{*average, std::min(*contrast, ContrastLimit(*average))};
    if (*contrast > ContrastLimit(*average))
      std::fprintf(stderr,
                   "lumiveil check: note: contrast %d lowered to %d, the limit for average %d\n",
                   *contrast, request.band->contrast, *average);
  }
  request.folder = args.Value("-o").value_or("");
  request.json = args.Flag("--json");

  ResolveTargets(request.targets);
  const auto result = LoadInput24(input);
  std::unique_ptr<TBitmap> visible, hidden;
  if (const auto name = args.Value("--visible")) visible = LoadInput24(*name);
  if (const auto name = args.Value("--hidden")) hidden = LoadInput24(*name);
  RunChecks(input, *result, visible.get(), hidden.get(), request, stdout);
  return kExitOk;
}

}  // namespace

const TCommand& CheckCommand() {
  static const TCommand command = {
      "check",
      "RESULT [--target NAME|RECIPE]... [--all] [--visible V --hidden H]\n"
      "       [--average A --contrast C] [-o DIR] [--json]",
      "show what sites and viewers make of a combined picture before you post it",
      {{"RESULT", "",
        "the combined picture as you would post it (the file's own bytes and format count: a "
        "site treats a palette PNG, a full-colour PNG and a BMP differently)"},
       {"--target", "NAME|RECIPE",
        "a target: a name that lumiveil targets lists, or a recipe (below); may be given "
        "more than once. Without it, every target"},
       {"--all", "", "every target of the catalogue (also after --target)"},
       {"--visible", "V",
        "the visible picture (fitted to RESULT's size). Without it, it is estimated from "
        "RESULT's even cells"},
       {"--hidden", "H",
        "the hidden picture (fitted to RESULT's size). Without it, it is estimated from "
        "RESULT's odd cells (the hidden score then says what the target lost of what RESULT "
        "holds)"},
       {"--average", "A",
        "the average of the band, given with --contrast; else the band the file records, else "
        "the one found (as reveal finds it)"},
       {"--contrast", "C",
        "the contrast of that band, given with --average; lowered to the limit of A with a "
        "note"},
       {"-o", "DIR",
        "write what each target makes of RESULT into the folder DIR, as PNG files named after "
        "it: NAME-full.png (the full picture after the target), NAME-thumbnail.png, "
        "NAME-levels.png and NAME-hidden.png (reveal's views of the full picture)"},
       {"--json", "",
        "print one JSON array, an object per target with the keys target, recipe, visible_psnr, "
        "hidden_psnr, hidden_grey_psnr (numbers; \"inf\" for identical pictures; null without "
        "odd cells), hidden_verdict, thumbnail_shows, thumbnail_size, thumbnail_phase, band "
        "(average, contrast, source), band_stored, band_survives, size, bytes (the file's), "
        "stored_bytes (what the target keeps), limit, fits"}},
      "Each target gives one line:\n"
      "  visible-psnr   the full picture after the target against the visible picture\n"
      "                 shrunk as the target shrinks (reveal's visible score)\n"
      "  hidden-psnr    the hidden picture recovered through the band from the full picture\n"
      "                 after the target, against the hidden picture (reveal's hidden\n"
      "                 score; grey: the same in luminance only, reveal's grey recovery),\n"
      "                 and the verdict: survives from 30 dB (the hidden picture with faint\n"
      "                 noise), else degraded when the grey score reaches 22 dB (its forms\n"
      "                 and tones under noise, its colours tinted by the visible\n"
      "                 picture's), else destroyed\n"
      "  thumbnail      what the target's thumbnail shows: each thumbnail pixel where the\n"
      "                 same thumbnail made of the visible picture and of the hidden picture\n"
      "                 mapped into the band differ by 48 or more (over the channels) votes\n"
      "                 for the nearest of those two and their mean: visible, hidden or\n"
      "                 blend with three quarters of the votes, else moire (a pattern of\n"
      "                 both); none when the target makes no thumbnail. A point-sampled\n"
      "                 thumbnail that keeps one phase of the checkerboard says which\n"
      "  band           the band used, and whether a band stored in the file is kept by\n"
      "                 the target and still describes its picture\n"
      "  bytes          the length the target stores (the file's, or its re-encoding's),\n"
      "                 and the file against the target's upload limit\n"
      "\n"
      "A recipe joins steps with commas; '|' separates the full picture's steps from\n"
      "the thumbnail's (both start from the file as uploaded):\n"
      "  jpeg:Q[:420|:444]   JPEG at quality Q (libjpeg's scaling), chroma halved (420, the\n"
      "                      default) or whole, decoded with the default settings\n"
      "  webp:Q[:sharp]      lossy WebP at quality Q (sharp: the sharper YUV conversion)\n"
      "  webp:lossless       lossless WebP\n"
      "  fit:WxH:FILTER[:down]\n"
      "                      shrunk to fit within W x H (never enlarged; the other side\n"
      "                      rounded half up, or with down rounded down), FILTER box,\n"
      "                      bilinear, bicubic, lanczos3 or point (the pixel holding each\n"
      "                      output pixel's centre, the one before on a border: at exactly\n"
      "                      half size the even cells, the visible picture)\n"
      "  pixels:N:FILTER     shrunk to about N pixels at most\n"
      "  bytes:N             files over N bytes are refused\n"
      "  keep:png|palette:WxH[:N]\n"
      "                      a PNG (a palette PNG) within W x H (and N bytes) is kept as it\n"
      "                      is; the steps after it do not apply to it\n"
      "  strip               text chunks (a stored band) are removed\n"
      "For example: jpeg:85:420|fit:250x250:lanczos3,jpeg:50\n",
      RunCheck};
  return command;
}
