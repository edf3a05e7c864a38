// lumiveil convert IN OUT: load, convert to 24 bits, save as BMP or PNG.
#include "app/cli/Cli.h"
#include "raster/Bitmap.h"

int RunConvert(const std::vector<std::string>& argv) {
  const TArgs args(argv, {}, {});
  if (args.Positional().size() != 2) throw UsageError{"convert takes IN and OUT"};
  const std::string& out = OutputName(args.Positional()[1]);
  auto picture = LoadInput(args.Positional()[0]);
  picture->SetPixelFormat(TPixelFormat::Bits24);
  SaveByFormat(*picture, out, OutputFormat(out, false));
  return kExitOk;
}
