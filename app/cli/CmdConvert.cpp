// lumiveil convert IN OUT: load, convert to 24 bits, save in the format OUT asks for.
#include "app/cli/Cli.h"
#include "raster/Bitmap.h"

namespace {

int RunConvert(const TArgs& args) {
  if (args.Positional().size() != 2) throw UsageError{"convert takes IN and OUT"};
  const std::string& out = OutputName(args.Positional()[1]);
  auto picture = LoadInput(args.Positional()[0]);
  picture->SetPixelFormat(TPixelFormat::Bits24);
  SaveByFormat(*picture, out, FormatForName(out, false));
  return kExitOk;
}

}  // namespace

const TCommand& ConvertCommand() {
  static const TCommand command = {
      "convert",
      "IN OUT",
      "load a picture, convert it to 24 bits and save it",
      {{"IN", "", "the picture to read"},
       {"OUT", "",
        "the file to write: " + OutputFormatsHelp(false) + " (- for standard output, as BMP)"}},
      "",
      RunConvert};
  return command;
}
