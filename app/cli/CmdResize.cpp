// lumiveil resize IN OUT WIDTH HEIGHT: load, resample, save as BMP or PNG.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/cli/Cli.h"
#include "compose/ResizeBitmap.h"
#include "raster/Bitmap.h"

namespace {

int Size(const char* name, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > INT_MAX)
    throw UsageError{std::string(name) + " must be a whole number of at least 1, not '" + text +
                     "'"};
  return static_cast<int>(value);
}

}  // namespace

int RunResize(const std::vector<std::string>& argv) {
  const TArgs args(argv, {}, {});
  if (args.Positional().size() != 4) throw UsageError{"resize takes IN OUT WIDTH HEIGHT"};
  const int width = Size("WIDTH", args.Positional()[2]);
  const int height = Size("HEIGHT", args.Positional()[3]);
  auto picture = LoadInput(args.Positional()[0]);
  ResizeBitmap(*picture, width, height);
  const std::string& out = args.Positional()[1];
  SaveByFormat(*picture, out, OutputFormat(out, false));
  return kExitOk;
}
