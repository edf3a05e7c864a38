#include "app/cli/Cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Text.h"
#include "raster/Bitmap.h"
#include "susie/Spibmp.h"
#include "susie/Spis.h"

TArgs::TArgs(const std::vector<std::string>& args, const std::vector<std::string>& value_options,
             const std::vector<std::string>& flags) {
  const auto is = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      const size_t eq = a.find('=');
      const std::string name = a.substr(0, eq);
      if (is(value_options, name)) {
        if (eq != std::string::npos) {
          values_[name].push_back(a.substr(eq + 1));
        } else {
          if (i + 1 >= args.size()) throw UsageError{"option " + name + " needs a value"};
          values_[name].push_back(args[++i]);
        }
      } else if (is(flags, name) && eq == std::string::npos) {
        flags_.push_back(name);
      } else {
        throw UsageError{"unknown option " + a};
      }
    } else if (a == "-o" && is(value_options, "-o")) {
      if (i + 1 >= args.size()) throw UsageError{"option -o needs a file name"};
      values_["-o"].push_back(args[++i]);
    } else {
      positional_.push_back(a);
    }
  }
}

std::optional<std::string> TArgs::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> TArgs::Values(const std::string& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

bool TArgs::Flag(const std::string& name) const {
  return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::optional<int> TArgs::Int(const std::string& name, int low, int high) const {
  const auto text = Value(name);
  if (!text) return std::nullopt;
  const auto value = WholeNumber(*text);
  if (!value || *value < low || *value > high)
    throw UsageError{Format("%s must be a whole number from %d to %d, not '%s'", name.c_str(), low,
                            high, text->c_str())};
  return static_cast<int>(*value);
}

std::optional<long long> WholeNumber(const std::string& text) {
  // Digits with an optional minus sign and nothing else: strtol alone would also take
  // leading blanks and a plus sign, which a person typing " 7" did not mean as a number.
  const size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
  if (first == text.size()) return std::nullopt;
  for (size_t i = first; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0) return std::nullopt;
  return value;
}

const std::string& OutputName(const std::string& name) {
  if (name.empty()) throw UsageError{"the output file name is empty"};
  return name;
}

TSPIs& Plugins() {
  // Searched once, in all six places; the plug-in folder beside the program holds the
  // shipped plug-ins.
  static TSPIs plugins;
  static const bool searched = [] {
    plugins.SearchOptions = TSPISearchOptions::All();
    plugins.Loaded();
    return true;
  }();
  (void)searched;
  return plugins;
}

std::unique_ptr<TBitmap> LoadPicture(const std::string& file_name, std::string* reader) {
  Plugins();
  auto bitmap = std::make_unique<TSPIBitmap>();
  bitmap->LoadFromFile(file_name);
  if (reader) {
    const std::string& by = bitmap->LoadedBy();
    *reader = "BMP reader";
    if (!by.empty()) {
      *reader = "plug-in " + by;
      TSPIs& plugins = Plugins();
      const int index = plugins.IndexOfSPIName(by);
      if (index >= 0) *reader += " (" + plugins.GetPlugins(index).Description() + ")";
    }
  }
  return bitmap;
}

std::unique_ptr<TBitmap> LoadInput(const std::string& file_name, std::string* reader) {
  struct stat st {};
  if (stat(file_name.c_str(), &st) != 0) throw InputError{file_name + ": no such file"};
  if (S_ISDIR(st.st_mode)) throw InputError{file_name + ": is a directory, not a picture file"};
  if (!S_ISREG(st.st_mode)) throw InputError{file_name + ": is not a regular file"};
  std::unique_ptr<TBitmap> picture;
  try {
    picture = LoadPicture(file_name, reader);
  } catch (const Exception& e) {
    throw InputError{file_name + ": " + e.FullMessage()};
  }
  // The BMP reader makes an empty picture of an empty file; for the tool that is no input,
  // since whatever it wrote from it would be empty too.
  if (picture->Empty()) throw InputError{file_name + ": holds no picture: the file is empty"};
  return picture;
}

std::unique_ptr<TBitmap> LoadInput24(const std::string& file_name) {
  auto picture = LoadInput(file_name);
  try {
    picture->SetPixelFormat(TPixelFormat::Bits24);
  } catch (const std::exception& e) {
    throw InputError{file_name + ": cannot be converted to 24 bits per pixel (" + e.what() + ")"};
  }
  if (picture->Empty()) throw InputError{file_name + ": the picture is empty"};
  return picture;
}

std::string Decibels(double psnr) {
  if (std::isinf(psnr)) return "inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", psnr);
  return text;
}

TSaveFormat OutputFormat(const std::string& file_name, bool gif_by_name) {
  if (EndsWithText(file_name, ".png")) return TSaveFormat::sfPNG;
  if (gif_by_name && EndsWithText(file_name, ".gif")) return TSaveFormat::sfGIF;
  return TSaveFormat::sfBMP;
}

const char* PixelFormatName(int format) {
  static const char* const kNames[] = {"Device", "Bits1",  "Bits4",  "Bits8", "Bits15",
                                       "Bits16", "Bits24", "Bits32", "Custom"};
  return format >= 0 && format < 9 ? kNames[format] : "?";
}

const char* CheckHelp() {
  return "  RESULT          the combined picture as you would post it (the file's own bytes\n"
         "                  and format count: a site treats a palette PNG, a full-colour PNG\n"
         "                  and a BMP differently)\n"
         "  --target T      a target: a name that lumiveil targets lists, or a spec string;\n"
         "                  may be given more than once. Without it, every target\n"
         "  --all           every target of the catalogue (also after --target)\n"
         "  --visible V --hidden H\n"
         "                  the original pictures (fitted to RESULT's size). Without them\n"
         "                  they are estimated from RESULT: the visible picture from its\n"
         "                  even cells, the hidden picture from its odd cells (the hidden\n"
         "                  score then says what the target lost of what RESULT holds)\n"
         "  --average A --contrast C\n"
         "                  the band; else the one the file records, else found (as reveal)\n"
         "  -o DIR          write what each target makes of RESULT into the folder DIR, as\n"
         "                  PNG files named after it: NAME-full.png (the full picture after\n"
         "                  the target), NAME-thumbnail.png, NAME-levels.png and\n"
         "                  NAME-hidden.png (reveal's views of the full picture)\n"
         "  --json          print one JSON array, an object per target with the keys target,\n"
         "                  spec, visible_psnr, hidden_psnr, hidden_grey_psnr (numbers; \"inf\"\n"
         "                  for identical pictures; null without odd cells), hidden_verdict,\n"
         "                  thumbnail_shows, thumbnail_size, thumbnail_phase, band (average,\n"
         "                  contrast, source), band_stored, band_survives, size, bytes (the\n"
         "                  file's), stored_bytes (what the target keeps), limit, fits\n"
         "\n"
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
         "A spec string joins steps with commas; '|' separates the full picture's steps from\n"
         "the thumbnail's (both start from the file as uploaded):\n"
         "  jpeg:Q[:420|:444]   JPEG at quality Q (libjpeg's scaling), chroma halved (420, the\n"
         "                      default) or whole, decoded with the default settings\n"
         "  webp:Q[:sharp]      lossy WebP at quality Q (sharp: the sharper YUV conversion)\n"
         "  webp:lossless       lossless WebP\n"
         "  fit:WxH:FILTER      shrunk to fit within W x H (never enlarged; sizes rounded half\n"
         "                      up), FILTER box, bilinear, bicubic, lanczos3 or point (the\n"
         "                      pixel holding each output pixel's centre, the one before on a\n"
         "                      border: at exactly half size the even cells, the visible\n"
         "                      picture)\n"
         "  pixels:N:FILTER     shrunk to about N pixels at most\n"
         "  bytes:N             files over N bytes are refused\n"
         "  keep:png|palette:WxH[:N]\n"
         "                      a PNG (a palette PNG) within W x H (and N bytes) is kept as it\n"
         "                      is; the steps after it do not apply to it\n"
         "  strip               text chunks (a stored band) are removed\n"
         "For example: jpeg:85:420|fit:250x250:lanczos3,jpeg:50\n";
}

const std::vector<TCommand>& Commands() {
  static const std::vector<TCommand> commands = {
      {"convert", "IN OUT", "load a picture, convert it to 24 bits, save it as BMP or PNG",
       "  IN   the picture to read\n"
       "  OUT  the file to write: PNG (8-bit RGB) when it ends in .png, else BMP\n"
       "       (- for standard output, as BMP)\n",
       RunConvert},
      {"gif",
       "IN OUT [--reduction R] [--dither D] [--bits N] [--compression lzw|rle] [--interlace]\n"
       "       lumiveil gif IN OUT --panel",
       "load a picture and write it as a GIF file", GifHelp(), RunGif},
      {"info", "FILE", "print a picture's width, height, pixel format and reader",
       "  FILE the picture to read\n", RunInfo},
      {"resize", "IN OUT WIDTH HEIGHT",
       "resample a picture to WIDTH x HEIGHT, save it as BMP or PNG",
       "  IN      the picture to read\n"
       "  OUT     the file to write: PNG (8-bit RGB) when it ends in .png, else BMP\n"
       "          (24 bits per pixel; - for standard output, as BMP)\n"
       "  WIDTH   the new width in pixels\n"
       "  HEIGHT  the new height in pixels\n",
       RunResize},
      {"synth",
       "VISIBLE HIDDEN -o OUT [--average A] [--contrast C] [--width X | --height Y] "
       "[--preview] [--gif | --indexed] [--report] [--check TARGET]...",
       "hide HIDDEN inside VISIBLE and save the combined picture",
       "  VISIBLE       the picture that shows\n"
       "  HIDDEN        the picture to hide; fitted to VISIBLE's size\n"
       "  -o OUT        the file to write: GIF when it ends in .gif, PNG (8-bit RGB) when\n"
       "                it ends in .png, else BMP (- for standard output, as BMP or with\n"
       "                --gif as GIF); a PNG records the average and contrast used in its\n"
       "                \"Lumiveil\" text chunk (not with --preview)\n"
       "  --average A   the hidden picture's average value, 0..255 (default 128)\n"
       "  --contrast C  the hidden picture's contrast, 0..255 (default 127); lowered to\n"
       "                the limit of the average (A up to 128, 255 - A above) with a note\n"
       "  --width X     first scale VISIBLE to width X, keeping its aspect ratio\n"
       "  --height Y    first scale VISIBLE to height Y, keeping its aspect ratio\n"
       "  --preview     only the checkerboard, without the tone mapping\n"
       "  --gif         write GIF as the window saves it (also when OUT ends in .gif)\n"
       "  --indexed     with OUT.png: the result reduced to the 256-colour halftone palette\n"
       "                as the GIF save reduces it (without its bevel), as a palette PNG\n"
       "  --report      then print the band used (average, contrast; a preview is unmapped:\n"
       "                128 and 128) and the scores visible-psnr and hidden-psnr, as\n"
       "                the help of reveal defines them\n"
       "  --check TARGET\n"
       "                then print what TARGET (a name of lumiveil targets, or a spec string;\n"
       "                may be given more than once, or 'all') makes of the file written,\n"
       "                as lumiveil check with both pictures does\n",
       RunSynth},
      {"reveal",
       "RESULT -o OUT [--view V] [--size N] [--filter F] [--grey] [--average A --contrast C]\n"
       "       [--visible FILE] [--hidden FILE]",
       "show what viewers make of a combined picture and get the hidden picture back",
       "  RESULT         the combined picture to look at\n"
       "  -o OUT         the file to write the view to: PNG when it ends in .png, else BMP\n"
       "                 (- for standard output, as BMP, and the lines below then go to\n"
       "                 standard error)\n"
       "  --view V       what to write (default sheet):\n"
       "                   even       the cells (2i, 2j): a half-size thumbnail that keeps\n"
       "                              one pixel in four (the visible picture)\n"
       "                   odd        the cells (2i + 1, 2j): that thumbnail at the other\n"
       "                              phase (the hidden picture, tone-mapped)\n"
       "                   average    each 2 x 2 block averaged: a half-size averaging\n"
       "                              thumbnail\n"
       "                   thumbnail  RESULT shrunk to a long side of N (--size, --filter)\n"
       "                   levels     the band stretched to 0..255: darkened or brightened\n"
       "                   hidden     the hidden picture recovered through the band\n"
       "                   sheet      all of these side by side, captioned\n"
       "  --size N       the thumbnail's long side, 1..65535 (default 256); never enlarges\n"
       "  --filter F     the thumbnail's filter: area (average over each pixel's area, the\n"
       "                 default), bilinear (at pixel centres) or nearest\n"
       "  --grey         the hidden picture recovered in luminance only (also in the sheet),\n"
       "                 and its score against the hidden picture's luminance: the truer\n"
       "                 recovery after a lossy codec that blurs colour (JPEG 4:2:0, WebP)\n"
       "  --average A --contrast C\n"
       "                 the band the hidden picture was mapped into (C is lowered to the\n"
       "                 limit of A with a note). Without them the band is the one a PNG\n"
       "                 file records (written by synth; read from a tEXt, zTXt or iTXt\n"
       "                 chunk, and not used, with a note, when it records another size\n"
       "                 than the picture's), else it is found from the picture: the 0.5 %\n"
       "                 and 99.5 % percentiles of the odd cells' luminance, each moved\n"
       "                 out to the odd cells' extreme when that lies within 4 (exact for a\n"
       "                 lossless picture whose hidden picture spans 0..255, within a few\n"
       "                 levels after JPEG q85)\n"
       "  --visible FILE the visible picture, for the visible score\n"
       "  --hidden FILE  the hidden picture, for the hidden score\n"
       "\n"
       "Standard output gets one 'name: value' line each: band (given, stored or found),\n"
       "average, contrast, version (of the program that stored the band), and with the\n"
       "pictures the scores, each a PSNR in dB, 10 log10(255^2 / MSE), inf for MSE = 0:\n"
       "  visible-psnr   RESULT against the visible picture fitted to RESULT's size, MSE\n"
       "                 over all cells and channels: the higher, the less the hidden\n"
       "                 picture shows in the normal view\n"
       "  hidden-psnr    the hidden view's odd cells against the hidden picture fitted to\n"
       "                 RESULT's size, MSE over the odd cells and channels: the higher, the\n"
       "                 better the hidden picture comes back ('none' without odd cells)\n",
       RunReveal},
      {"targets", "", "list the targets: sites and viewers that check knows, and its sources",
       "  (no arguments)\n"
       "\n"
       "Each target is printed with its one-line description, what it does as a spec string\n"
       "(see lumiveil help check) and where that is known from: the site's own code where it\n"
       "is public (repository, files, version or date), public reports for closed sites (as\n"
       "reported, with the date).\n",
       RunTargets},
      {"check",
       "RESULT [--target NAME|SPEC]... [--all] [--visible V --hidden H]\n"
       "       [--average A --contrast C] [-o DIR] [--json]",
       "show what sites and viewers make of a combined picture before you post it", CheckHelp(),
       RunCheck},
      {"plugins", "",
       "list the Susie plug-ins found, the files skipped, and the picture format registry",
       "  (no arguments)\n", RunPlugins},
  };
  return commands;
}
