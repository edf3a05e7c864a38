// lumiveil plugins: the plug-ins found, in list order (file name, API version,
// description, each extension with its file-type name), then every file skipped or
// rejected with its reason, then the format registry's entries in order.
#include <cstdio>

#include "app/cli/Cli.h"
#include "raster/FileFormats.h"
#include "susie/Spis.h"

namespace {

int RunPlugins(const TArgs& args) {
  if (!args.Positional().empty()) throw UsageError{"plugins takes no arguments"};
  TSPIs& plugins = Plugins();
  std::printf("plug-ins: %d\n", plugins.Count());
  for (int i = 0; i < plugins.Count(); ++i) {
    const TSPI& spi = plugins.GetPlugins(i);
    std::printf("%s\n  version: %s\n  description: %s\n", spi.FileName().c_str(),
                spi.ApiVersion().c_str(), spi.Description().c_str());
    for (size_t e = 0; e < spi.GetExtNames().size(); ++e)
      std::printf("  %s: %s\n", spi.GetExtNames()[e].c_str(), spi.GetFileTypes()[e].c_str());
  }
  // Every file found and not added, with the reason: a place others may write to, a file
  // that failed to load or is not a plug-in.
  std::printf("skipped: %zu\n", plugins.Rejected().size());
  for (const TSPIRejection& r : plugins.Rejected())
    std::printf("%s\n  reason: %s\n", r.FileName.c_str(), r.Reason.c_str());
  const TFileFormatsList& formats = GetFileFormats();
  std::printf("formats: %d\n", formats.Count());
  for (const TFileFormat& f : formats.Entries())
    std::printf("  %-5s %-12s %s\n", f.Extension.c_str(), f.GraphicClass->name,
                f.Description.c_str());
  return kExitOk;
}

}  // namespace

const TCommand& PluginsCommand() {
  static const TCommand command = {
      "plugins",
      "",
      "list the Susie plug-ins found, the files skipped, and the picture format registry",
      {},
      "  (no arguments)\n",
      RunPlugins};
  return command;
}
