// lumiveil gif IN OUT [options]: load a picture as it is and write it as a GIF file with
// a TGIFImage whose settings start at the library's defaults and take the options given.
#include <cstring>
#include <string>

#include "app/cli/Cli.h"
#include "export/SaveAsGif.h"
#include "gif/Gifimage.h"
#include "raster/Bitmap.h"

namespace {

// The option values, in the order of their enumerations.
constexpr const char* kReductions[] = {"none",        "windows20",  "windows256",
                                       "windowsgray", "monochrome", "grayscale",
                                       "netscape",    "quantize",   "quantize256"};
constexpr const char* kDithers[] = {"nearest", "floydsteinberg", "stucki", "sierra",
                                    "jajuni",  "stevearche",     "burkes"};

template <size_t N>
int Choose(const std::string& option, const std::string& value, const char* const (&names)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (value == names[i]) return static_cast<int>(i);
  std::string known;
  for (size_t i = 0; i < N; ++i) known += std::string(i ? ", " : "") + names[i];
  throw UsageError{option + " must be one of " + known + ", not '" + value + "'"};
}

}  // namespace

int RunGif(const std::vector<std::string>& argv) {
  const TArgs args(argv, {"--reduction", "--dither", "--bits", "--compression"},
                   {"--interlace", "--panel"});
  if (args.Positional().size() != 2) throw UsageError{"gif takes IN and OUT"};
  const std::string& out = OutputName(args.Positional()[1]);
  if (args.Flag("--panel")) {
    // The window's GIF save, whose settings are fixed: no other option applies.
    for (const char* option : {"--reduction", "--dither", "--bits", "--compression"})
      if (args.Value(option))
        throw UsageError{std::string(option) + " cannot be used with --panel"};
    if (args.Flag("--interlace")) throw UsageError{"--interlace cannot be used with --panel"};
    const auto picture = LoadInput(args.Positional()[0]);
    TGifSaveTarget target;
    SaveAsGif(*picture, target, out);
    return kExitOk;
  }
  TGIFImage gif;
  if (const auto r = args.Value("--reduction"))
    gif.SetColorReduction(static_cast<TColorReduction>(Choose("--reduction", *r, kReductions)));
  if (const auto d = args.Value("--dither"))
    gif.SetDitherMode(static_cast<TDitherMode>(Choose("--dither", *d, kDithers)));
  if (const auto bits = args.Int("--bits", 3, 8)) gif.SetReductionBits(*bits);
  if (const auto c = args.Value("--compression")) {
    constexpr const char* kCompressions[] = {"lzw", "rle"};
    gif.SetCompression(static_cast<TGIFCompression>(Choose("--compression", *c, kCompressions)));
  }

  auto picture = LoadInput(args.Positional()[0]);
  gif.Assign(picture.get());
  if (args.Flag("--interlace"))
    for (int i = 0; i < gif.Images().Count(); ++i) gif.Images()[i].SetInterlaced(true);
  gif.SaveToFile(out);
  return kExitOk;
}
