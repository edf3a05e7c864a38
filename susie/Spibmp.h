// The plug-in-aware raster: TSPIBitmap, its loader TInSPIAble and ProgressCallback.
#pragma once

#include "susie/InSPIAble.h"
#include "susie/SPIBitmap.h"
