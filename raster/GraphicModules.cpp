// The initialisation of the graphic modules, in module order. Each registers its formats
// with the registry; the registry runs this once, right after its own four entries.
#include "gif/Gifimage.h"
#include "raster/FileFormats.h"
#include "raster/JPEGImage.h"

void InitializeGraphicModules() {
  InitializeGIFModule();
  InitializeJPEGModule();
}
