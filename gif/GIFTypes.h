// The GIF library's enumerations and its library-wide defaults. The order of every
// enumeration is part of the interface (option lists show them in this order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

class TColorLookup;
class TDitherEngine;

// How a picture of more than 8 bits per pixel is brought down to at most 256 colours.
enum TColorReduction : uint8_t {
  rmNone,             // exact colours: the picture may have at most 256 of them
  rmWindows20,        // the 20-colour default palette
  rmWindows256,       // the screen's halftone palette
  rmWindowsGray,      // 4 greys
  rmMonochrome,       // black and white
  rmGrayScale,        // 256 greys
  rmNetscape,         // the 216-colour web palette
  rmQuantize,         // an optimized palette of 2^ReductionBits colours
  rmQuantizeWindows,  // an optimized palette framed by the 20 static colours
  rmPalette,          // a palette the caller supplies
};
constexpr int kColorReductionCount = rmPalette + 1;

// How the pixels are mapped into the reduced palette.
enum TDitherMode : uint8_t {
  dmNearest,
  dmFloydSteinberg,
  dmStucki,
  dmSierra,
  dmJaJuNI,
  dmSteveArche,
  dmBurkes,
};
constexpr int kDitherModeCount = dmBurkes + 1;

// The encoder of a frame's image data.
enum TGIFCompression : uint8_t {
  gcLZW,  // hashed LZW
  gcRLE,  // run-length codes only (every standard decoder reads them)
};

enum TGIFVersion : uint8_t { gvUnknown = 0, gv87a = 1, gv89a = 2 };

// The version texts of the signature, indexed by TGIFVersion (none for gvUnknown).
inline constexpr const char* GIFVersions[3] = {"", "87a", "89a"};

// What a decoder does with a frame before it draws the next one.
enum TDisposalMethod : uint8_t { dmNone, dmNoDisposal, dmBackground, dmPrevious };

// The values a new TGIFImage starts with. Library-wide: a program may change them once for
// every image it makes afterwards.
extern TColorReduction GIFImageDefaultColorReduction;  // rmNetscape
extern TDitherMode GIFImageDefaultDitherMode;          // dmNearest
extern int GIFImageDefaultColorReductionBits;          // 8
extern TGIFCompression GIFImageDefaultCompression;     // gcLZW

// One table per enumeration: each value in its order, with its label (option lists and
// messages) and the word the command-line tool takes for it (nullptr for a value that is
// not offered, as rmPalette, whose palette a caller must supply). A value added to an
// enumeration is added to its table, and every list of options follows.
template <class T>
struct TEnumName {
  T value;
  const char* label;
  const char* word;
};

// The dither modes' table also makes each mode's engine for rows of `width` pixels.
struct TDitherModeName : TEnumName<TDitherMode> {
  std::unique_ptr<TDitherEngine> (*create)(int width, TColorLookup& lookup);
};

std::span<const TEnumName<TColorReduction>> ColorReductionNames();
std::span<const TDitherModeName> DitherModeNames();
std::span<const TEnumName<TGIFCompression>> CompressionNames();

// The row of `value`, or of the command-line word `word`; nullptr when there is none.
template <class Row, class T>
const Row* FindName(std::span<const Row> table, T value) {
  for (const Row& row : table)
    if (row.value == value) return &row;
  return nullptr;
}
template <class Row>
const Row* FindWord(std::span<const Row> table, std::string_view word) {
  for (const Row& row : table)
    if (row.word != nullptr && word == row.word) return &row;
  return nullptr;
}

// The labels of the options (for messages and option lists); "?" outside the enumeration.
const char* ColorReductionLabel(TColorReduction reduction);
const char* DitherModeLabel(TDitherMode mode);
