#include "gif/GIFTypes.h"

#include "gif/5by3Ditherer.h"
#include "gif/DitherEngine.h"
#include "gif/FloydSteinbergDitherer.h"
#include "gif/SteveArcheDitherer.h"

TColorReduction GIFImageDefaultColorReduction = rmNetscape;
TDitherMode GIFImageDefaultDitherMode = dmNearest;
int GIFImageDefaultColorReductionBits = 8;
TGIFCompression GIFImageDefaultCompression = gcLZW;

namespace {

constexpr TEnumName<TColorReduction> kColorReductions[] = {
    {rmNone, "None", "none"},
    {rmWindows20, "Windows 20", "windows20"},
    {rmWindows256, "Windows 256", "windows256"},
    {rmWindowsGray, "Windows Gray", "windowsgray"},
    {rmMonochrome, "Monochrome", "monochrome"},
    {rmGrayScale, "Gray Scale", "grayscale"},
    {rmNetscape, "Netscape", "netscape"},
    {rmQuantize, "Quantize", "quantize"},
    {rmQuantizeWindows, "Quantize 256", "quantize256"},
    {rmPalette, "Palette", nullptr},
};
static_assert(std::size(kColorReductions) == kColorReductionCount);

template <class Engine>
std::unique_ptr<TDitherEngine> Create(int width, TColorLookup& lookup) {
  return std::make_unique<Engine>(width, lookup);
}

const TDitherModeName kDitherModes[] = {
    {{dmNearest, "Nearest", "nearest"}, &Create<TDitherEngine>},
    {{dmFloydSteinberg, "Floyd Steinberg", "floydsteinberg"}, &Create<TFloydSteinbergDitherer>},
    {{dmStucki, "Stucki", "stucki"}, &Create<TStuckiDitherer>},
    {{dmSierra, "Sierra", "sierra"}, &Create<TSierraDitherer>},
    {{dmJaJuNI, "JaJuNI", "jajuni"}, &Create<TJaJuNiDitherer>},
    {{dmSteveArche, "Steve Arche", "stevearche"}, &Create<TSteveArcheDitherer>},
    {{dmBurkes, "Burkes", "burkes"}, &Create<TBurkesDitherer>},
};
static_assert(std::size(kDitherModes) == kDitherModeCount);

constexpr TEnumName<TGIFCompression> kCompressions[] = {
    {gcLZW, "LZW", "lzw"},
    {gcRLE, "RLE", "rle"},
};

}  // namespace

std::span<const TEnumName<TColorReduction>> ColorReductionNames() {
  return kColorReductions;
}

std::span<const TDitherModeName> DitherModeNames() {
  return kDitherModes;
}

std::span<const TEnumName<TGIFCompression>> CompressionNames() {
  return kCompressions;
}

const char* ColorReductionLabel(TColorReduction reduction) {
  const auto* row = FindName(ColorReductionNames(), reduction);
  return row != nullptr ? row->label : "?";
}

const char* DitherModeLabel(TDitherMode mode) {
  const auto* row = FindName(DitherModeNames(), mode);
  return row != nullptr ? row->label : "?";
}
