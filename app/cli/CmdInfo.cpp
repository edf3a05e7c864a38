// lumiveil info FILE: width, height, pixel format and the reader that read it, from the
// file's headers where the reader can tell them.
#include <cstdio>

#include "app/cli/Cli.h"
#include "raster/Bitmap.h"

namespace {

int RunInfo(const TArgs& args) {
  if (args.Positional().size() != 1) throw UsageError{"info takes one FILE"};
  std::string reader;
  const TPictureDescription picture = DescribeInput(args.Positional()[0], &reader);
  std::printf("file: %s\nwidth: %d\nheight: %d\npixel format: %s\nread by: %s\n",
              args.Positional()[0].c_str(), picture.Width, picture.Height,
              PixelFormatName(static_cast<int>(picture.Format)), reader.c_str());
  return kExitOk;
}

}  // namespace

const TCommand& InfoCommand() {
  static const TCommand command = {"info",
                                   "FILE",
                                   "print a picture's width, height, pixel format and reader",
                                   {{"FILE", "", "the picture to read"}},
                                   "",
                                   RunInfo};
  return command;
}
