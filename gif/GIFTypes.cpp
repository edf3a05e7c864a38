#include "gif/GIFTypes.h"

TColorReduction GIFImageDefaultColorReduction = rmNetscape;
TDitherMode GIFImageDefaultDitherMode = dmNearest;
int GIFImageDefaultColorReductionBits = 8;
TGIFCompression GIFImageDefaultCompression = gcLZW;

const char* ColorReductionLabel(TColorReduction reduction) {
  static const char* const kLabels[kColorReductionCount] = {
      "None",       "Windows 20", "Windows 256", "Windows Gray", "Monochrome",
      "Gray Scale", "Netscape",   "Quantize",    "Quantize 256", "Palette"};
  return reduction < kColorReductionCount ? kLabels[reduction] : "?";
}

const char* DitherModeLabel(TDitherMode mode) {
  static const char* const kLabels[kDitherModeCount] = {
      "Nearest", "Floyd Steinberg", "Stucki", "Sierra", "JaJuNI", "Steve Arche", "Burkes"};
  return mode < kDitherModeCount ? kLabels[mode] : "?";
}
