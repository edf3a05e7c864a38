// The initialisation of the graphic modules, in module order. Each registers its formats
// with the registry; the registry runs this once, right after its own four entries.
#include "raster/FileFormats.h"
#include "raster/JPEGImage.h"

void InitializeGraphicModules() {
  // The GIF module's registration ("gif", "GIF Image", TGIFImage) belongs here, before
  // the JPEG module's, once that module is part of the build.
  InitializeJPEGModule();
}
