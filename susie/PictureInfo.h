// The picture information a plug-in reports, as the API passes it and in host form.
#pragma once

#include <cstdint>
#include <string>

#include "plugins/sdk/susie_plugin.h"

// The API's record, byte-packed: four 32-bit signed numbers, two 16-bit densities, a
// 16-bit colour depth and a pointer-sized handle to the information text.
using TPictureInfo = SpiPictureInfo;
static_assert(sizeof(TPictureInfo) == 22 + sizeof(void*), "TPictureInfo must be byte-packed");

struct TPictureInfoRec {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  uint16_t XDensity = 0, YDensity = 0;
  int16_t ColorDepth = 0;
  std::string InfoText;
  bool InfoValid = false;  // true only when the plug-in's picture information was read
};
