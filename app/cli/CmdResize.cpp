// lumiveil resize IN OUT WIDTH HEIGHT: load, resample, save in the format OUT asks for.
#include <climits>

#include "app/cli/Cli.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

int Size(const char* name, const std::string& text) {
  const auto value = WholeNumber(text);
  if (!value || *value < 1 || *value > INT_MAX)
    throw UsageError{std::string(name) + " must be a whole number of at least 1, not '" + text +
                     "'"};
  return static_cast<int>(*value);
}

int RunResize(const TArgs& args) {
  if (args.Positional().size() != 4) throw UsageError{"resize takes IN OUT WIDTH HEIGHT"};
  const int width = Size("WIDTH", args.Positional()[2]);
  const int height = Size("HEIGHT", args.Positional()[3]);
  const std::string& out = OutputName(args.Positional()[1]);
  auto picture = LoadInput(args.Positional()[0]);
  ResizeBitmap(*picture, width, height);
  SaveByFormat(*picture, out, FormatForName(out, false));
  return kExitOk;
}

}  // namespace

const TCommand& ResizeCommand() {
  static const TCommand command = {"resize",
                                   "IN OUT WIDTH HEIGHT",
                                   "resample a picture to WIDTH x HEIGHT and save it",
                                   {{"IN", "", "the picture to read"},
                                    {"OUT", "",
                                     "the file to write: " + OutputFormatsHelp(false) +
                                         " (24 bits per pixel; - for standard output, as BMP)"},
                                    {"WIDTH", "", "the new width in pixels"},
                                    {"HEIGHT", "", "the new height in pixels"}},
                                   "",
                                   RunResize};
  return command;
}
