// The initialisation of the graphic modules, in module order: the GIF module ("gif"),
// then the JPEG module ("jpeg", "jpg"). It lives above both modules, so that the raster
// layer's registry names neither; the registry runs it once, right after its own four
// entries.
#include "gif/Gifimage.h"
#include "raster/FileFormats.h"
#include "raster/JPEGImage.h"

namespace {

void InitializeGraphicModules() {
  InitializeGIFModule();
  InitializeJPEGModule();
}

// Installed when the program starts, as the modules' initialisation sections would run.
const bool kInstalled = (SetGraphicModules(&InitializeGraphicModules), true);

}  // namespace
