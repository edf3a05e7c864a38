// lumiveil gif IN OUT [options]: load a picture as it is and write it as a GIF file with
// a TGIFImage whose settings start at the library's defaults and take the options given.
#include <span>
#include <string>
#include <utility>

#include "app/cli/Cli.h"
#include "gif/Gifimage.h"
#include "raster/Bitmap.h"

namespace {

// The words of a table's offered values, "a, b, c".
template <class Row>
std::string Words(std::span<const Row> table) {
  std::string words;
  for (const Row& row : table)
    if (row.word != nullptr) words += std::string(words.empty() ? "" : ", ") + row.word;
  return words;
}

// The value whose word the option gives; UsageError listing the words otherwise.
template <class Row>
auto Choose(const std::string& option, const std::string& word, std::span<const Row> table) {
  if (const Row* row = FindWord(table, word)) return row->value;
  throw UsageError{option + " must be one of " + Words(table) + ", not '" + word + "'"};
}

int RunGif(const TArgs& args) {
  if (args.Positional().size() != 2) throw UsageError{"gif takes IN and OUT"};
  const std::string& out = OutputName(args.Positional()[1]);
  if (args.Flag("--panel")) {
    // The window's GIF save, whose settings are fixed: no other option applies.
    for (const char* option : {"--reduction", "--dither", "--bits", "--compression"})
      if (args.Value(option))
        throw UsageError{std::string(option) + " cannot be used with --panel"};
    if (args.Flag("--interlace")) throw UsageError{"--interlace cannot be used with --panel"};
    const auto picture = LoadInput(args.Positional()[0]);
    SaveByFormat(std::move(*picture), out, TSaveFormat::sfGIF);
    return kExitOk;
  }
  TGIFImage gif;
  if (const auto r = args.Value("--reduction"))
    gif.SetColorReduction(Choose("--reduction", *r, ColorReductionNames()));
  if (const auto d = args.Value("--dither"))
    gif.SetDitherMode(Choose("--dither", *d, DitherModeNames()));
  if (const auto bits = args.Int("--bits", 3, 8)) gif.SetReductionBits(*bits);
  if (const auto c = args.Value("--compression"))
    gif.SetCompression(Choose("--compression", *c, CompressionNames()));

  auto picture = LoadInput(args.Positional()[0]);
  gif.Assign(picture.get());
  if (args.Flag("--interlace"))
    for (int i = 0; i < gif.Images().Count(); ++i) gif.Images()[i].SetInterlaced(true);
  gif.SaveToFile(out);
  return kExitOk;
}

}  // namespace

const TCommand& GifCommand() {
  // The option words come from the GIF library's tables of its enumerations.
  static const TCommand command = {
      "gif",
      "IN OUT [--reduction R] [--dither D] [--bits N] [--compression lzw|rle] [--interlace]\n"
      "       lumiveil gif IN OUT --panel",
      "load a picture and write it as a GIF file",
      {{"IN", "", "the picture to read (as it is: 1, 4 and 8 bits are not reduced)"},
       {"OUT", "", "the GIF file to write (- for standard output)"},
       {"--reduction", "R",
        "how more than 8 bits per pixel become at most 256 colours, one of " +
            Words(ColorReductionNames()) +
            " (default netscape); none keeps the exact colours of a picture of at most 256 "
            "colours; quantize finds 2^N colours for the picture, quantize256 finds 236 and "
            "adds the 20 static colours"},
       {"--dither", "D",
        "how pixels map to the colours: nearest (default) maps each as it is, the others "
        "diffuse its error; one of " +
            Words(DitherModeNames())},
       {"--bits", "N", "colours of quantize as 2^N, N from 3 to 8 (default 8)"},
       {"--compression", "C", "one of " + Words(CompressionNames()) + " (default lzw)"},
       {"--interlace", "", "write the rows in the four-pass interlaced order"},
       {"--panel", "",
        "save as the window does with \"GIF\" ticked: the picture reduced to the halftone "
        "palette, drawn on the chart panel with its bevel, and written run-length coded with "
        "its exact colours"}},
      "",
      RunGif};
  return command;
}
