#include "app/cli/Cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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
    if (a == "--") {
      // The end of the options: what follows is taken as it stands, so that a file named
      // "--gif" or "-o" can be given.
      positional_.insert(positional_.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
      break;
    }
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      const size_t eq = a.find('=');
      const std::string name = a.substr(0, eq);
      if (is(value_options, name)) {
        if (eq != std::string::npos) {
          values_[name] = a.substr(eq + 1);
        } else {
          if (i + 1 >= args.size()) throw UsageError{"option " + name + " needs a value"};
          values_[name] = args[++i];
        }
      } else if (is(flags, name) && eq == std::string::npos) {
        flags_.push_back(name);
      } else {
        throw UsageError{"unknown option " + a};
      }
    } else if (a == "-o" && is(value_options, "-o")) {
      if (i + 1 >= args.size()) throw UsageError{"option -o needs a file name"};
      values_["-o"] = args[++i];
    } else {
      positional_.push_back(a);
    }
  }
}

std::optional<std::string> TArgs::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
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

namespace {
std::string g_command = "lumiveil";
}  // namespace

void SetCommandName(const std::string& name) {
  g_command = name;
}

const std::string& CommandName() {
  return g_command;
}

void Note(const std::string& text) {
  std::fprintf(stderr, "%s: note: %s\n", g_command.c_str(), text.c_str());
}

TSPIs& Plugins() {
  // Searched once, in all six places; the plug-in folder beside the program holds the
  // shipped plug-ins. A place that could not be used is told once.
  static TSPIs plugins;
  static const bool searched = [] {
    plugins.SearchOptions = TSPISearchOptions::All();
    plugins.Loaded();
    for (const std::string& note : plugins.Notes()) Note(note);
    return true;
  }();
  (void)searched;
  return plugins;
}

namespace {

// The reader as the tool names it: the BMP reader, or the plug-in with its description.
std::string ReaderName(const std::string& by) {
  if (by.empty()) return "BMP reader";
  std::string name = "plug-in " + by;
  TSPIs& plugins = Plugins();
  const int index = plugins.IndexOfSPIName(by);
  if (index >= 0) name += " (" + plugins.GetPlugins(index).Description() + ")";
  return name;
}

// What a read learned beside the picture, one note each, naming the file.
void NoteEach(const std::string& file_name, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) Note(file_name + ": " + note);
}

// An input is a regular file that can be reached; the system's reason when it cannot.
void CheckInputFile(const std::string& file_name) {
  struct stat st {};
  if (stat(file_name.c_str(), &st) != 0) {
    if (errno == ENOENT) throw InputError{file_name + ": no such file"};
    throw InputError{file_name + ": " + std::strerror(errno)};
  }
  if (S_ISDIR(st.st_mode)) throw InputError{file_name + ": is a directory, not a picture file"};
  if (!S_ISREG(st.st_mode)) throw InputError{file_name + ": is not a regular file"};
}

}  // namespace

std::unique_ptr<TBitmap> LoadPicture(const std::string& file_name, std::string* reader) {
  Plugins();
  auto bitmap = std::make_unique<TSPIBitmap>();
  bitmap->LoadFromFile(file_name);
  if (reader) *reader = ReaderName(bitmap->LoadedBy());
  NoteEach(file_name, bitmap->LoadNotes());
  return bitmap;
}

TPictureDescription DescribeInput(const std::string& file_name, std::string* reader) {
  CheckInputFile(file_name);
  Plugins();
  TSPIBitmap bitmap;
  try {
    TPictureDescription description = bitmap.Describe(file_name);
    if (description.Width > 0 && description.Height > 0) {
      if (reader) *reader = ReaderName(description.ReadBy);
      NoteEach(file_name, bitmap.LoadNotes());
      return description;
    }
  } catch (const Exception&) {
    // Told below by the whole read, which knows every reason (a plug-in whose picture
    // information fails may still read the picture).
  }
  const auto picture = LoadInput(file_name, reader);
  TPictureDescription description;
  description.Width = picture->Width();
  description.Height = picture->Height();
  description.Format = picture->PixelFormat();
  return description;
}

std::unique_ptr<TBitmap> LoadInput(const std::string& file_name, std::string* reader) {
  CheckInputFile(file_name);
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
       "[--preview] [--gif | --indexed] [--report]",
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
       "                the help of reveal defines them\n",
       RunSynth},
      {"reveal",
       "RESULT -o OUT [--view V] [--size N] [--filter F] [--average A --contrast C]\n"
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
       "  --average A --contrast C\n"
       "                 the band the hidden picture was mapped into (C is lowered to the\n"
       "                 limit of A with a note). Without them the band is the one a PNG\n"
       "                 file records (written by synth), else it is found from the odd\n"
       "                 cells' smallest and largest values (a few stray cells left out)\n"
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
      {"plugins", "",
       "list the Susie plug-ins found, the files skipped, and the picture format registry",
       "  (no arguments)\n", RunPlugins},
  };
  return commands;
}
